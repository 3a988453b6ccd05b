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

// A JPK_VAT(2) file of two sales.
std::string vat2File()
{
    std::string x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/\" "
        "xmlns:etd=\"http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/\">\r\n"
        "<Naglowek><KodFormularza kodSystemowy=\"JPK_VAT (2)\" wersjaSchemy=\"1-0\">JPK_VAT</KodFormularza>"
        "<WariantFormularza>2</WariantFormularza><CelZlozenia>0</CelZlozenia>"
        "<DataWytworzeniaJPK>2017-06-01T10:00:00</DataWytworzeniaJPK><DataOd>2017-05-01</DataOd>"
        "<DataDo>2017-05-31</DataDo><DomyslnyKodWaluty>PLN</DomyslnyKodWaluty><KodUrzedu>1471</KodUrzedu>"
        "</Naglowek>\r\n<Podmiot1><IdentyfikatorPodmiotu><etd:NIP>5252614371</etd:NIP>"
        "<etd:PelnaNazwa>Firma</etd:PelnaNazwa></IdentyfikatorPodmiotu></Podmiot1>\r\n";
    for (const char* lp : {"1", "2"})
        x += std::string("<SprzedazWiersz typ=\"G\"><LpSprzedazy>") + lp +
             "</LpSprzedazy><NrKontrahenta>5213004183</NrKontrahenta><NazwaKontrahenta>Nabywca"
             "</NazwaKontrahenta><AdresKontrahenta>Adres</AdresKontrahenta><DowodSprzedazy>FV/" + lp +
             "</DowodSprzedazy><DataWystawienia>2017-05-02</DataWystawienia><K_19>100</K_19><K_20>23</K_20>"
             "</SprzedazWiersz>\r\n";
    x += "<SprzedazCtrl><LiczbaWierszySprzedazy>2</LiczbaWierszySprzedazy><PodatekNalezny>46</PodatekNalezny>"
         "</SprzedazCtrl>\r\n</JPK>\r\n";
    return x;
}

class CombinedFileFaultTest : public TransportFixture {
protected:
    // The group transported into its workbook, which stays open.
    void transported()
    {
        addXml("JPK_VAT_2017_05_A.xml", vat2File());
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
// opening tag, and the combined file was no XML document. A required key
// left empty now refuses the build; an empty optional one is left out.
TEST_F(CombinedFileFaultTest, EmptyDefinitionNeverLeavesAnOpenTag)
{
    transported();
    writeFile(work() / "Podmiot1.JPK", "KodUrzedu: \r\nNIP: 5252614371\r\nGmina: \r\n");
    app->MakeJPK();
    EXPECT_FALSE(app->lastOk());
    const std::string refusal = "Podmiot1.JPK: brak KodUrzedu, PelnaNazwa, Miejscowosc";
    EXPECT_EQ(app->statusText(), refusal);
    EXPECT_NE(readFile(work() / "ZBIR.LOG").find(refusal), std::string::npos);
    EXPECT_FALSE(fs::exists(root / (kGroup + ".xml")));

    writeFile(work() / "Podmiot1.JPK", "KodUrzedu: 1471\r\nNIP: 5252614371\r\nPelnaNazwa: F\r\nMiejscowosc: W\r\nGmina: \r\n");
    app->MakeJPK();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    expectWellFormed();
    EXPECT_EQ(combined().find("<Gmina"), std::string::npos);
}

// An emptied period cell is named and nothing is written.
TEST_F(CombinedFileFaultTest, EmptiedPeriodCellIsRefused)
{
    transported();
    writeFile(work() / "Podmiot1.JPK", "KodUrzedu: 1471\r\nNIP: 5252614371\r\nPelnaNazwa: F\r\nMiejscowosc: W\r\n");
    workbook::Application& x = xl();
    x.sheetsSelect(2);
    int row = 1;
    while (row < 50 && x.cellValue(row, 55) != "<DataOd>")
        ++row;
    ASSERT_LT(row, 50);
    x.setCellValue(row, 75, "");
    app->MakeJPK();
    EXPECT_FALSE(app->lastOk());
    EXPECT_FALSE(fs::exists(root / (kGroup + ".xml")));
    EXPECT_EQ(app->statusText(), "Plik niezapisany, b\xB3\xEA" "d\xF3w: 1, zob. ZBIR.LOG");
    EXPECT_NE(readFile(work() / "ZBIR.LOG").find("A!BW" + std::to_string(row) + ": DataOd \"\" to nie data"),
              std::string::npos);
}

TEST_F(CombinedFileFaultTest, Utf8DefinitionsWithByteOrderMarkAreReadAsUtf8)
{
    transported();
    // As a Windows editor saves it: byte-order mark, UTF-8 letters.
    writeFile(work() / "Podmiot1.JPK",
              "\xEF\xBB\xBFKodUrzedu: 1471\r\nNIP: 5252614371\r\nMiejscowosc: W\r\nWojewodztwo: \xC5\x81\xC3\xB3" "dzkie\r\n"
              "PelnaNazwa: \xC5\xBBuraw & Syn <sp. j.>\r\n");
    app->MakeJPK();
    expectWellFormed();
    const jpkvat::SubjectRecord s = jpkvat::ReadSubjectDefinitions(*app);
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
    text += "KodUrzedu: 1471\rNIP: 5252614371\rPelnaNazwa: F\rMiejscowosc: W\r";
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
