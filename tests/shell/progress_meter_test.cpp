// Counts, rates and texts of the command line's progress display.

#include "encoding/charset.h"
#include "shell/progress_meter.h"

#include <gtest/gtest.h>

#include <string>

using namespace zbir::shell;

namespace {

std::string u8(const std::string& programText)
{
    return zbir::encoding::windows1250ToUtf8(programText);
}

}  // namespace

TEST(ProgressTexts, PolishNounFormsFollowTheNumber)
{
    const struct {
        long long n;
        const char* word;
    } cases[] = {{0, "rekordów"}, {1, "rekord"},   {2, "rekordy"},   {4, "rekordy"},   {5, "rekordów"},
                 {11, "rekordów"}, {12, "rekordów"}, {14, "rekordów"}, {21, "rekordów"}, {22, "rekordy"},
                 {112, "rekordów"}, {1000, "rekordów"}, {1002, "rekordy"}};
    for (const auto& c : cases)
        EXPECT_EQ(u8(polishPlural(c.n, "rekord", "rekordy", "rekord\xF3w")), c.word) << c.n;
}

TEST(ProgressTexts, NumbersGroupedByThousandsAndClockTimes)
{
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1000), "1 000");
    EXPECT_EQ(groupedNumber(1234567), "1 234 567");
    EXPECT_EQ(groupedNumber(-1234), "-1 234");
    EXPECT_EQ(groupedNumber(-9223372036854775807LL - 1), "-9 223 372 036 854 775 808");

    EXPECT_EQ(clockText(0.9), "0:00");
    EXPECT_EQ(clockText(7), "0:07");
    EXPECT_EQ(clockText(750), "12:30");
    EXPECT_EQ(clockText(3723), "1:02:03");
}

TEST(ProgressTexts, BarFillsByWholeCharacters)
{
    EXPECT_EQ(progressBar(0, 8), "[--------]");
    EXPECT_EQ(progressBar(0.25, 8), "[##------]");
    EXPECT_EQ(progressBar(1.0 / 3, 3), "[#--]");
    EXPECT_EQ(progressBar(1, 8), "[########]");
    EXPECT_EQ(progressBar(1.7, 4), "[####]");
    EXPECT_EQ(progressBar(-1, 4), "[----]");
}

TEST(ProgressMeter, FileOfFilesRecordsRateAndTime)
{
    ProgressMeter m;
    EXPECT_FALSE(m.started());
    m.update({0, 4, 0}, 100.0);
    EXPECT_TRUE(m.started());
    // No rate until half a second has passed: the first figures mean nothing.
    m.update({0, 4, 300}, 100.2);
    EXPECT_EQ(m.rate(100.2), 0);
    EXPECT_EQ(u8(m.text(100.2)), "plik 1/4, 300 rekordów");

    m.update({1, 4, 12000}, 103.0);
    EXPECT_DOUBLE_EQ(m.rate(103.0), 4000);
    EXPECT_DOUBLE_EQ(m.fraction(), 0.25);
    EXPECT_EQ(u8(m.text(103.0)), "plik 2/4, 12 000 rekordów, 4 000 rek./s, 0:03");
    EXPECT_EQ(u8(m.text(103.0, "  ")), "plik 2/4  12 000 rekordów  4 000 rek./s  0:03");
    EXPECT_EQ(u8(m.summary(104.0)), "razem 12 000 rekordów w 4,0 s (3 000 rek./s)");
    EXPECT_EQ(u8(m.summary(175.0)), "razem 12 000 rekordów w 1:15 (160 rek./s)");
    EXPECT_EQ(u8(m.summary(100.1)), "razem 12 000 rekordów w 0,1 s (120 000 rek./s)");
    EXPECT_EQ(u8(m.summary(100.0)), "razem 12 000 rekordów w 0,0 s");

    m.reset();
    EXPECT_FALSE(m.started());
    EXPECT_EQ(m.records(), 0);
}

TEST(ProgressMeter, ACountStartingAgainAddsToTheTotal)
{
    // The JPK build counts its sales rows, then its purchase rows from 0.
    ProgressMeter m;
    m.update({0, 2, 500}, 0);
    m.update({1, 2, 1500}, 1);
    m.update({0, 2, 500}, 2);
    m.update({1, 2, 700}, 3);
    EXPECT_EQ(m.records(), 2200);
    EXPECT_EQ(u8(m.summary(4)), "razem 2 200 rekordów w 4,0 s (550 rek./s)");
}

TEST(ProgressMeter, WithoutAFileCountOnlyRecordsShow)
{
    ProgressMeter m;
    m.update({0, 0, 1}, 0);
    EXPECT_EQ(m.fraction(), 0);
    EXPECT_EQ(u8(m.text(0)), "1 rekord");
    // The file being read is never shown past the last one.
    m.update({3, 3, 2}, 0);
    EXPECT_EQ(u8(m.text(0)), "plik 3/3, 2 rekordy");
}
