// What the scanner tells when a file cannot be laid out as written. The items
// stay those the non-validating scan gives; error() says what went wrong, so
// that the transport shows and logs it instead of reporting success.

#include "xmlsheet/scan_recorder.h"

#include <gtest/gtest.h>

#include <string>

namespace zbir::test {
namespace {

const std::string kRoot = "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">";

// The message after "JPK_TEST.xml: ", or "" when the scan saw no problem.
std::string noticeOf(const std::string& text, std::function<bool()> keepGoing = {})
{
    const std::string error = scanText(text, 4, {}, std::move(keepGoing)).error;
    const std::string prefix = "JPK_TEST.xml: ";
    if (error.empty())
        return {};
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    return error.substr(prefix.size());
}

TEST(ScannerNotices, WellFormedFilesGiveNone)
{
    EXPECT_EQ(noticeOf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + kRoot +
                       "<Naglowek><DataOd>2017-05-01</DataOd></Naglowek>"
                       "<SprzedazWiersz><K_19>1</K_19><P/><Q a=\"1\"/></SprzedazWiersz><!-- x --></JPK>\r\n"),
              "");
    EXPECT_EQ(noticeOf("<?xml version=\"1.0\" encoding=\"windows-1250\"?>" + kRoot + "<N>\xB3\xF3" "d\x9F</N></JPK>"),
              "");
    // Windows-1250 letters in a file declared UTF-8 are read as Windows-1250, rightly.
    EXPECT_EQ(scanText(kRoot + "<N>\xB3\xF3" "d\x9F</N></JPK>").items[1], "elem 2 <N> [] \xB3\xF3" "d\x9F </N> 75");
}

TEST(ScannerNotices, CutShortFiles)
{
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A>"), "plik urwany, brak </JPK>");
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A><B>2"), "plik urwany w elemencie <B>");
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A><B"), "plik urwany w znaczniku");
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A><B x=\"1"), "plik urwany w znaczniku");
}

TEST(ScannerNotices, FilesWithoutTags)
{
    EXPECT_EQ(noticeOf(""), "brak znacznik\xF3w XML");
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>(i % 256 == '<' ? 0 : i % 256);
    EXPECT_EQ(noticeOf(junk), "brak znacznik\xF3w XML");
}

// A value with tags inside it loses the element; the user is told which.
TEST(ScannerNotices, MixedContent)
{
    EXPECT_EQ(noticeOf(kRoot + "<Opis>tekst<B>1</B></Opis></JPK>"),
              "element <Opis> pomini\xEAty, tekst mieszany ze znacznikami");
}

TEST(ScannerNotices, ClosingTagThatClosesNothing)
{
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A></B></JPK>"), "znacznik </B> nie zamyka otwartego elementu");
}

// Ten thousand nested containers: the levels stop at 20, the user is told,
// and the scan still reaches the end.
TEST(ScannerNotices, NestingDeeperThanTwentyLevels)
{
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "<L>";
    text += "<V>x</V>";
    for (int i = 0; i < 10000; ++i)
        text += "</L>";
    auto r = scanText(text);
    EXPECT_EQ(r.error, "JPK_TEST.xml: zagnie\xBF" "d\xBF" "enie g\xB3\xEA" "bsze ni\xBF 20 poziom\xF3w");
    EXPECT_EQ(r.items[10000], "elem 21 <V> [] x </V> 75");
}

// A UTF-8 file declared in a single-byte code page would give wrong letters.
TEST(ScannerNotices, Utf8TextUnderASingleByteDeclaration)
{
    for (const char* declared : {"windows-1250", "latin2", "Mazovia"}) {
        EXPECT_EQ(noticeOf("<?xml version=\"1.0\" encoding=\"" + std::string(declared) + "\"?>" + kRoot +
                           "<N>\xC5\x81\xC3\xB3" "d\xC5\xBA</N></JPK>"),
                  "tekst w UTF-8 wbrew deklaracji kodowania")
            << declared;
    }
}

TEST(ScannerNotices, TheFirstProblemIsKeptAndAStopIsNoProblem)
{
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A></B><C>x<D/></C>"), "znacznik </B> nie zamyka otwartego elementu");
    int steps = 0;
    EXPECT_EQ(noticeOf(kRoot + "<A>1</A><B>2</B></JPK>", [&] { return ++steps < 2; }), "");
}

}  // namespace
}  // namespace zbir::test
