// The combined JPK_VAT file stays well-formed XML whatever Podmiot1.JPK and a
// hand-edited workbook hold, and Podmiot1.JPK is read right whether it was
// saved in Windows-1250 or UTF-8, with any line ends, however big.

#include "jpkvat/subject.h"
#include "support/fault_support.h"
#include "support/transport_fixture.h"

#include <gtest/gtest.h>

#include <chrono>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

const std::string kGroup = "JPK_VAT_2017_05";

class CombinedFileFaultTest : public TransportFixture {
protected:
    // The group transported into its workbook, which stays open.
    void transported()
    {
        addXml("JPK_VAT_2017_05_A.xml", vatFile({{"100", "23"}, {"200", "46"}}));
        start(kGroup).MakeXLS();
        ASSERT_TRUE(app->lastOk()) << app->statusText();
    }

    std::string combined() const { return readFile(root / (kGroup + ".xml")); }

    void expectWellFormed()
    {
        ASSERT_TRUE(fs::exists(root / (kGroup + ".xml"))) << app->statusText();
        std::string error;
        EXPECT_TRUE(wellFormedXml(combined(), &error)) << error << "\n" << combined();
    }
};

// Found by fuzzing: a key with nothing after its separator left a lone
// opening tag, and the combined file was no XML document. A required
// element is now written empty, an optional one left out.
TEST_F(CombinedFileFaultTest, EmptyDefinitionNeverLeavesAnOpenTag)
{
    transported();
    writeFile(work() / "Podmiot1.JPK", "KodUrzedu: \r\nNIP: 5252614371\r\nGmina: \r\n");
    app->MakeJPK();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    expectWellFormed();
    EXPECT_NE(combined().find("\r\n    <KodUrzedu/>\r\n"), std::string::npos);
    EXPECT_EQ(combined().find("<Gmina"), std::string::npos);
}

// The same for a period cell emptied by hand.
TEST_F(CombinedFileFaultTest, EmptiedPeriodCellGivesAnEmptyElement)
{
    transported();
    workbook::Application& x = xl();
    x.sheetsSelect(2);
    int row = 1;
    while (row < 50 && x.cellValue(row, 55) != "<DataOd>")
        ++row;
    ASSERT_LT(row, 50);
    x.setCellValue(row, 75, "");
    app->MakeJPK();
    expectWellFormed();
    EXPECT_NE(combined().find("<DataOd/>"), std::string::npos);
}

TEST_F(CombinedFileFaultTest, Utf8DefinitionsWithByteOrderMarkAreReadAsUtf8)
{
    transported();
    // As a Windows editor saves it: byte-order mark, UTF-8 letters.
    writeFile(work() / "Podmiot1.JPK",
              "\xEF\xBB\xBFKodUrzedu: 1471\r\nWojewodztwo: \xC5\x81\xC3\xB3" "dzkie\r\n"
              "PelnaNazwa: \xC5\xBBuraw & Syn <sp. j.>\r\n");
    app->MakeJPK();
    expectWellFormed();
    const jpkvat::SubjectRecord& s = jpkvat::subjectRecord();
    EXPECT_EQ(s[jpkvat::SubjectField::KodUrzedu], "1471");
    EXPECT_EQ(s[jpkvat::SubjectField::Wojewodztwo], "\xA3\xF3" "dzkie");
    EXPECT_NE(combined().find("<Wojewodztwo>\xC5\x81\xC3\xB3" "dzkie</Wojewodztwo>"), std::string::npos);
    EXPECT_NE(combined().find("<etd:PelnaNazwa>\xC5\xBBuraw &amp; Syn &lt;sp. j.&gt;</etd:PelnaNazwa>"),
              std::string::npos);
}

TEST_F(CombinedFileFaultTest, Windows1250DefinitionsStayWindows1250)
{
    // Polish letters in Windows-1250 are no valid UTF-8: nothing is converted.
    const auto r = jpkvat::parseSubjectDefinitions("Gmina: \xA3\xF3" "d\x9F\r\nPoczta: \xB3\xF3\xBF" "ko\r\n");
    EXPECT_EQ(r[jpkvat::SubjectField::Gmina], "\xA3\xF3" "d\x9F");
    EXPECT_EQ(r[jpkvat::SubjectField::Poczta], "\xB3\xF3\xBF" "ko");
}

TEST_F(CombinedFileFaultTest, CrOnlyLinesAndHugeFile)
{
    transported();
    // 50 MB of lines the reader ignores, CR-only line ends, the keys at the end.
    std::string text;
    text.reserve(51u << 20);
    const std::string filler(1000, 'x');
    while (text.size() < (50u << 20))
        text += filler + "\r";
    text += "KodUrzedu: 1471\rNIP: 5252614371\r";
    writeFile(work() / "Podmiot1.JPK", text);
    const auto started = std::chrono::steady_clock::now();
    app->MakeJPK();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    expectWellFormed();
    EXPECT_NE(combined().find("<KodUrzedu>1471</KodUrzedu>"), std::string::npos);
    EXPECT_NE(combined().find("<etd:NIP>5252614371</etd:NIP>"), std::string::npos);
    RecordProperty("huge_definitions_seconds", std::to_string(seconds));
}

}  // namespace
}  // namespace zbir::test
