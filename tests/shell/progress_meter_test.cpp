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
    EXPECT_FALSE(m.update({0, 4, 0}, 100.0));
    EXPECT_TRUE(m.started());
    // No rate until a second has passed: the first figures mean nothing.
    m.update({0, 4, 300}, 100.8);
    EXPECT_EQ(m.rate(100.8), 0);
    EXPECT_EQ(u8(m.text(100.8)), "plik 1/4: 300 rekordów");

    // The next file's start report ends the first with its own count.
    m.update({0, 4, 5000}, 101.5);
    EXPECT_TRUE(m.update({1, 4, 5000}, 101.5));
    ASSERT_TRUE(m.endedFile());
    EXPECT_EQ(u8(ProgressMeter::fileText(*m.endedFile())), "plik 1/4: 5 000 rekordów");
    m.update({1, 4, 12000}, 103.0);
    EXPECT_DOUBLE_EQ(m.rate(103.0), 4000);
    EXPECT_DOUBLE_EQ(m.fraction(), 0.25);
    EXPECT_EQ(m.fileRecords(), 7000);
    EXPECT_EQ(u8(m.text(103.0)), "plik 2/4: 7 000 rekordów, razem 12 000, 4 000 rek./s, 0:03");
    EXPECT_EQ(u8(m.text(103.0, "  ")), "plik 2/4: 7 000 rekordów  razem 12 000  4 000 rek./s  0:03");
    EXPECT_EQ(u8(m.summary(104.0)), "razem 12 000 rekordów w 4,0 s (3 000 rek./s)");
    EXPECT_EQ(u8(m.summary(175.0)), "razem 12 000 rekordów w 1:15 (160 rek./s)");
    // Within a second a rate would be noise: none.
    EXPECT_EQ(u8(m.summary(100.9)), "razem 12 000 rekordów w 0,9 s");
    EXPECT_EQ(u8(m.summary(100.0)), "razem 12 000 rekordów w 0,0 s");

    m.endFile();
    ASSERT_TRUE(m.endedFile());
    EXPECT_EQ(u8(ProgressMeter::fileText(*m.endedFile())), "plik 2/4: 7 000 rekordów");

    m.reset();
    EXPECT_FALSE(m.started());
    EXPECT_EQ(m.records(), 0);
    EXPECT_FALSE(m.endedFile());
}

TEST(ProgressMeter, AFileWhoseStartWentUnseenHasNoCountOfItsOwn)
{
    // The JPK build reports every so many rows: a sheet's first report comes
    // after some of its rows, so only the total is known.
    ProgressMeter m;
    m.update({0, 3, 1000}, 0);
    EXPECT_FALSE(m.fileCounted());
    EXPECT_EQ(u8(m.text(0)), "plik 1/3, razem 1 000 rekordów");
    EXPECT_FALSE(m.update({1, 3, 3000}, 0.5));
    EXPECT_FALSE(m.endedFile());
    EXPECT_EQ(u8(m.text(0.5)), "plik 2/3, razem 3 000 rekordów");
    m.endFile();
    EXPECT_FALSE(m.endedFile());
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

    // A new count that starts at 0 counts its first file from there.
    ProgressMeter n;
    n.update({0, 1, 0}, 0);
    n.update({0, 1, 40}, 0);
    EXPECT_TRUE(n.update({0, 1, 0}, 0));
    EXPECT_EQ(n.endedFile()->records, 40);
    n.update({0, 1, 25}, 0);
    EXPECT_EQ(n.fileRecords(), 25);
    EXPECT_EQ(n.records(), 65);
}

TEST(ProgressMeter, WithoutAFileCountOnlyRecordsShow)
{
    ProgressMeter m;
    m.update({0, 0, 1}, 0);
    EXPECT_EQ(m.fraction(), 0);
    EXPECT_EQ(u8(m.text(0)), "1 rekord");
    // The file being read is never shown past the last one.
    m.update({3, 3, 2}, 0);
    EXPECT_EQ(u8(m.text(0)), "plik 3/3, razem 2 rekordy");
}
