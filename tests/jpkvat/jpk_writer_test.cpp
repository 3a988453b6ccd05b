#include "jpkvat/jpk_writer.h"

#include "jpkvat/jpk_workbook.h"
#include "jpkvat/schema_check.h"
#include "shell/app.h"
#include "support/test_support.h"
#include "support/transport_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zbir::jpkvat {
namespace {

using test::FileSheetBuilder;
using test::JpkRecord;

const std::string kGroup = "JPK_VAT_2017_05";
const std::string kOutput = "JPK_VAT_2017_05.xml";

class RecordingPort : public shell::WindowPort {
public:
    void showStatus(const std::string& text, int colour) override { statuses.push_back({text, colour}); }
    void processEvents() override
    {
        if (app && !stopAt.empty() && !statuses.empty() && statuses.back().first == stopAt &&
            app->state == 1)
            app->ExiZBIR();
    }
    shell::Geometry geometry() const override { return geometryValue; }

    bool shown(const std::string& text) const
    {
        return std::any_of(statuses.begin(), statuses.end(),
                           [&](const auto& s) { return s.first == text; });
    }

    shell::App* app = nullptr;
    std::string stopAt;  // the exit button is pressed when this status shows
    shell::Geometry geometryValue;
    std::vector<std::pair<std::string, int>> statuses;
};

class NoSpreadsheet : public workbook::Provider {
public:
    std::shared_ptr<workbook::Application> attach() override { throw workbook::AutomationError("none"); }
    std::shared_ptr<workbook::Application> create() override { throw workbook::AutomationError("none"); }
};

std::tm fixedClock()
{
    std::tm t{};
    t.tm_year = 2017 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 10;
    t.tm_hour = 8;
    t.tm_min = 30;
    t.tm_sec = 5;
    return t;
}

const std::string kCompleteSubject =
    "KodUrzedu: 1471\r\nNIP: 5260250274\r\nPelnaNazwa: Firma \xA3\xF3" "d\x9F sp. z o.o.\r\n"
    "REGON: 012345678\r\nKodKraju: PL\r\nWojewodztwo: MAZOWIECKIE\r\nPowiat: Warszawa\r\n"
    "Gmina: Warszawa\r\nUlica: Prosta\r\nNrDomu: 1\r\nNrLokalu: 2\r\nMiejscowosc: Warszawa\r\n"
    "KodPocztowy: 00-001\r\nPoczta: Warszawa\r\n";

const std::string kHeaderAndSubject =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<JPK xmlns:etd=\"http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/\" "
    "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/\">\r\n"
    "  <Naglowek>\r\n"
    "    <KodFormularza kodSystemowy=\"JPK_VAT (2)\" wersjaSchemy=\"1-0\">JPK_VAT</KodFormularza>\r\n"
    "    <WariantFormularza>2</WariantFormularza>\r\n"
    "    <CelZlozenia>1</CelZlozenia>\r\n"
    "    <DataWytworzeniaJPK>2017-06-10T08:30:05</DataWytworzeniaJPK>\r\n"
    "    <DataOd>2017-05-01</DataOd>\r\n"
    "    <DataDo>2017-05-31</DataDo>\r\n"
    "    <DomyslnyKodWaluty>PLN</DomyslnyKodWaluty>\r\n"
    "    <KodUrzedu>1471</KodUrzedu>\r\n"
    "  </Naglowek>\r\n"
    "  <Podmiot1>\r\n"
    "    <IdentyfikatorPodmiotu>\r\n"
    "      <etd:NIP>5260250274</etd:NIP>\r\n"
    "      <etd:PelnaNazwa>Firma \xC5\x81\xC3\xB3" "d\xC5\xBA sp. z o.o.</etd:PelnaNazwa>\r\n"
    "      <etd:REGON>012345678</etd:REGON>\r\n"
    "    </IdentyfikatorPodmiotu>\r\n"
    "    <AdresPodmiotu>\r\n"
    "      <KodKraju>PL</KodKraju>\r\n"
    "      <Wojewodztwo>MAZOWIECKIE</Wojewodztwo>\r\n"
    "      <Powiat>Warszawa</Powiat>\r\n"
    "      <Gmina>Warszawa</Gmina>\r\n"
    "      <Ulica>Prosta</Ulica>\r\n"
    "      <NrDomu>1</NrDomu>\r\n"
    "      <NrLokalu>2</NrLokalu>\r\n"
    "      <Miejscowosc>Warszawa</Miejscowosc>\r\n"
    "      <KodPocztowy>00-001</KodPocztowy>\r\n"
    "      <Poczta>Warszawa</Poczta>\r\n"
    "    </AdresPodmiotu>\r\n"
    "  </Podmiot1>\r\n";

JpkRecord sale(const std::string& lp, const std::string& doc,
               std::vector<std::pair<int, std::string>> amounts)
{
    JpkRecord r;
    r.cells = {{1, lp}, {2, "5260250274"}, {3, "Nabywca"}, {4, "Adres"}, {5, doc}, {6, "2017-05-02"}};
    r.cells.insert(r.cells.end(), amounts.begin(), amounts.end());
    return r;
}

JpkRecord purchase(const std::string& lp, const std::string& doc,
                   std::vector<std::pair<int, std::string>> amounts)
{
    JpkRecord r;
    r.cells = {{1, lp}, {2, "1111111111"}, {3, "Dostawca"}, {4, "Adres"}, {5, doc}, {7, "2017-05-03"}};
    r.cells.insert(r.cells.end(), amounts.begin(), amounts.end());
    return r;
}

class JpkWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_work = m_root / "praca";
        std::filesystem::create_directories(m_work);
        test::writeFile(m_root / (kGroup + "_A.XML"), "<JPK/>");
        test::writeFile(m_work / "Podmiot1.JPK", kCompleteSubject);
        m_app = std::make_unique<shell::App>(m_work, m_port);
        m_port.app = m_app.get();
        m_app->FoCreat();
        ASSERT_EQ(m_app->groupText(), kGroup);
        m_app->xl = workbook::embeddedProvider()->create();
    }

    workbook::Application& xl() { return *m_app->xl; }

    // -SUMA- with the given amount columns, saved under the group's name.
    void newWorkbook(const std::vector<int>& amountColumns, const std::string& name = kGroup + ".XLS")
    {
        test::newTransportWorkbook(xl(), kGroup, amountColumns, (m_work / name).string());
    }

    FileSheetBuilder fileSheet(const std::string& name)
    {
        test::addFileSheet(xl(), name);
        FileSheetBuilder b(xl());
        b.header("2017-05-01", "2017-05-31");
        return b;
    }

    bool make() { return makeJpk(*m_app, fixedClock); }

    std::filesystem::path output() const { return m_root / kOutput; }
    std::string outputText() const { return test::readFile(output()); }
    std::string log() const { return test::readFile(m_work / "ZBIR.LOG"); }
    const std::string& status() const { return m_app->statusText(); }

    test::TempDir m_root;
    std::filesystem::path m_work;
    RecordingPort m_port;
    std::unique_ptr<shell::App> m_app;
};

TEST_F(JpkWriterTest, WritesHeaderSubjectSectionsAndControls)
{
    newWorkbook({19, 20, 45, 46});
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}),
              {sale("1", "FV/1", {{19, "100"}, {20, "23"}}), sale("2", "FV/2", {{19, "10,5"}, {20, "2,42"}})})
        .control("SprzedazCtrl", {{"LiczbaWierszySprzedazy", "2"}, {"PodatekNalezny", "25.42"}})
        .list("<ZakupWiersz>", test::purchaseHeadings({45, 46}), {purchase("1", "Z/1", {{45, "50"}, {46, "11.5"}})})
        .control("ZakupCtrl", {{"LiczbaWierszyZakupow", "1"}, {"PodatekNaliczony", "11.5"}})
        .end();
    fileSheet("B")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "FV/9", {{19, "1"}, {20, "0.23"}})})
        .end();

    ASSERT_TRUE(make());
    const std::string row =
        "    <NrKontrahenta>5260250274</NrKontrahenta>\r\n"
        "    <NazwaKontrahenta>Nabywca</NazwaKontrahenta>\r\n"
        "    <AdresKontrahenta>Adres</AdresKontrahenta>\r\n";
    EXPECT_EQ(outputText(),
              kHeaderAndSubject +
                  "  <SprzedazWiersz typ=\"G\">\r\n    <LpSprzedazy>1</LpSprzedazy>\r\n" + row +
                  "    <DowodSprzedazy>FV/1</DowodSprzedazy>\r\n"
                  "    <DataWystawienia>2017-05-02</DataWystawienia>\r\n"
                  "    <K_19>100</K_19>\r\n    <K_20>23</K_20>\r\n  </SprzedazWiersz>\r\n"
                  "  <SprzedazWiersz typ=\"G\">\r\n    <LpSprzedazy>2</LpSprzedazy>\r\n" + row +
                  "    <DowodSprzedazy>FV/2</DowodSprzedazy>\r\n"
                  "    <DataWystawienia>2017-05-02</DataWystawienia>\r\n"
                  "    <K_19>10.5</K_19>\r\n    <K_20>2.42</K_20>\r\n  </SprzedazWiersz>\r\n"
                  "  <SprzedazWiersz typ=\"G\">\r\n    <LpSprzedazy>3</LpSprzedazy>\r\n" + row +
                  "    <DowodSprzedazy>FV/9</DowodSprzedazy>\r\n"
                  "    <DataWystawienia>2017-05-02</DataWystawienia>\r\n"
                  "    <K_19>1</K_19>\r\n    <K_20>0.23</K_20>\r\n  </SprzedazWiersz>\r\n"
                  "  <SprzedazCtrl>\r\n    <LiczbaWierszySprzedazy>3</LiczbaWierszySprzedazy>\r\n"
                  "    <PodatekNalezny>25.65</PodatekNalezny>\r\n  </SprzedazCtrl>\r\n"
                  "  <ZakupWiersz typ=\"G\">\r\n    <LpZakupu>1</LpZakupu>\r\n"
                  "    <NrDostawcy>1111111111</NrDostawcy>\r\n    <NazwaDostawcy>Dostawca</NazwaDostawcy>\r\n"
                  "    <AdresDostawcy>Adres</AdresDostawcy>\r\n    <DowodZakupu>Z/1</DowodZakupu>\r\n"
                  "    <DataZakupu>2017-05-03</DataZakupu>\r\n"
                  "    <K_45>50</K_45>\r\n    <K_46>11.5</K_46>\r\n  </ZakupWiersz>\r\n"
                  "  <ZakupCtrl>\r\n    <LiczbaWierszyZakupow>1</LiczbaWierszyZakupow>\r\n"
                  "    <PodatekNaliczony>11.5</PodatekNaliczony>\r\n  </ZakupCtrl>\r\n"
                  "</JPK>");
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_EQ(status(), "Zako\xF1" "czono prac\xEA nad ..\\" + kOutput);
    EXPECT_EQ(m_app->statusColour(), shell::Red);
    EXPECT_EQ(m_app->state, 0);
    EXPECT_FALSE(std::filesystem::exists(m_root / (kOutput + ".tmp")));
    const std::string logText = log();
    EXPECT_NE(logText.find("  Uruchomienie funkcji tworzenia pliku zbiorczego: " + kGroup + ".xml\r\n"),
              std::string::npos);
    EXPECT_NE(logText.find("  Odczyt pliku Podmiot1.JPK"), std::string::npos);
    EXPECT_TRUE(m_port.shown("Widz\xEA arkusz -SUMA- w zeszycie " + kGroup + ".XLS"));
    EXPECT_EQ(xl().activeSheetIndex(), 1);
}

TEST_F(JpkWriterTest, EmptySubjectValuesLeaveOptionalElementsOutAndKeepTheFileWellFormed)
{
    test::writeFile(m_work / "Podmiot1.JPK", kCompleteSubject + "NrLokalu: \r\nREGON: \r\nPowiat: \r\n");
    newWorkbook({19, 20});
    fileSheet("A").list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})}).end();
    ASSERT_TRUE(make());
    std::string text = outputText();
    EXPECT_EQ(text.find("NrLokalu"), std::string::npos);
    EXPECT_EQ(text.find("REGON"), std::string::npos);
    EXPECT_NE(text.find("      <Wojewodztwo>MAZOWIECKIE</Wojewodztwo>\r\n      <Gmina>"), std::string::npos);
    EXPECT_TRUE(test::validBySchema(output()));

    // A required key left empty: refused, the earlier file stays.
    test::writeFile(m_work / "Podmiot1.JPK", kCompleteSubject + "NIP: \r\nPelnaNazwa: \r\n");
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Podmiot1.JPK: brak NIP, PelnaNazwa");
    EXPECT_EQ(outputText(), text);
}

TEST_F(JpkWriterTest, WorkbookNameDifferingOnlyInCaseIsAccepted)
{
    newWorkbook({19, 20}, "jpk_vat_2017_05.xls");
    fileSheet("A").list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})}).end();
    EXPECT_TRUE(make());
    EXPECT_TRUE(std::filesystem::exists(output()));
}

TEST_F(JpkWriterTest, ChecksBeforeTheFileEndWithTheirMessageAndWriteNothing)
{
    // Another workbook active.
    newWorkbook({19}, "JPK_VAT_2017_06.XLS");
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Bie\xBF\xB9" "cy zeszyt to nie " + kGroup);
    EXPECT_EQ(m_app->state, 0);

    // First sheet not -SUMA-.
    newWorkbook({19});
    xl().activeSheetSetName("Arkusz1");
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Aktualny arkusz to nie -SUMA-");

    // -SUMA- alone, then a file sheet without a period.
    xl().activeSheetSetName("-SUMA-");
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Nie ma prawid\xB3owych dalszych arkuszy");
    test::addFileSheet(xl(), "A");
    FileSheetBuilder(xl()).end();
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Nie ma prawid\xB3owych dalszych arkuszy");
    EXPECT_EQ(m_app->statusColour(), shell::Red);

    EXPECT_FALSE(std::filesystem::exists(output()));
    EXPECT_EQ(m_app->state, 0);
}

TEST_F(JpkWriterTest, NoSpreadsheetRunningAndBusyState)
{
    shell::App app(m_work, m_port, std::make_shared<NoSpreadsheet>());
    app.FoCreat();
    EXPECT_FALSE(makeJpk(app, fixedClock));
    EXPECT_EQ(app.statusText(), "Nie ma Excela");
    EXPECT_EQ(app.state, 0);

    // A running operation: nothing happens.
    m_app->state = 1;
    EXPECT_FALSE(make());
    EXPECT_EQ(m_app->state, 1);
    m_app->state = 0;
}

TEST_F(JpkWriterTest, NoSalesRowsGiveNoSalesControlAndZeroRowsAreSkipped)
{
    newWorkbook({45, 46});
    // A sheet without a sales list, then one whose only sale has no amounts.
    fileSheet("A")
        .list("<ZakupWiersz>", test::purchaseHeadings({45, 46}), {purchase("1", "Z/1", {{45, "80,25"}})})
        .end();
    fileSheet("B")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "FV/0", {})})
        .list("<ZakupWiersz>", test::purchaseHeadings({43, 44, 45, 46}),
              {purchase("1", "Z/2", {}), purchase("2", "Z/3", {{43, "10"}}), purchase("3", "Z/4", {{46, "4"}})})
        .end();

    ASSERT_TRUE(make());
    const std::string text = outputText();
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_EQ(text.find("Sprzedaz"), std::string::npos);
    EXPECT_TRUE(m_port.shown("Adres FV/0 2017-05-02"));  // the skipped sale
    EXPECT_TRUE(m_port.shown("Adres Z/2 "));              // the skipped purchase
    // K_46 = 0 after K_45, K_44 = 0 after K_43, K_45 = 0 before a lone K_46.
    EXPECT_NE(text.find("<K_45>80.25</K_45>\r\n    <K_46>0</K_46>\r\n  </ZakupWiersz>"), std::string::npos);
    EXPECT_NE(text.find("<K_43>10</K_43>\r\n    <K_44>0</K_44>\r\n"), std::string::npos);
    EXPECT_NE(text.find("<DataZakupu>2017-05-03</DataZakupu>\r\n    <K_45>0</K_45>\r\n    <K_46>4</K_46>"),
              std::string::npos);
    EXPECT_NE(text.find("<LiczbaWierszyZakupow>3</LiczbaWierszyZakupow>\r\n"
                        "    <PodatekNaliczony>4</PodatekNaliczony>"),
              std::string::npos);
    EXPECT_NE(text.find("<LpZakupu>3</LpZakupu>"), std::string::npos);
}

TEST_F(JpkWriterTest, SalesPairsGetTheirZeroTax)
{
    newWorkbook({15, 17, 19, 20, 32});
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({15, 16, 17, 18, 19, 20, 32, 33}),
              {sale("1", "F", {{15, "5"}, {17, "8"}, {18, "0.64"}, {19, "100"}, {32, "7"}})})
        .end();
    ASSERT_TRUE(make());
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_NE(outputText().find("<K_15>5</K_15>\r\n    <K_16>0.0</K_16>\r\n    <K_17>8</K_17>\r\n"
                                "    <K_18>0.64</K_18>\r\n    <K_19>100</K_19>\r\n    <K_20>0.0</K_20>\r\n"
                                "    <K_32>7</K_32>\r\n    <K_33>0.0</K_33>\r\n"),
              std::string::npos);
}

TEST_F(JpkWriterTest, ControlSumsFollowTheSchemaDefinition)
{
    // Columns 36..38 as amount columns: their commas become points.
    newWorkbook({19, 20, 36, 37, 38, 44, 47, 48});
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20, 36, 37, 38}),
              {sale("1", "F", {{19, "10"}, {20, "2,30"}, {36, "1,5"}, {37, "2"}, {38, "0.5"}}),
               sale("2", "G", {{19, "1"}}),
               JpkRecord{{{1, "3"}, {2, "brak"}, {3, "N"}, {4, "A"}, {5, "H"}, {6, "2017-05-09"}, {19, "4"},
                          {20, "0.92"}},
                         {{"K_39", "0.25"}}}})
        .list("<ZakupWiersz>", test::purchaseHeadings({43, 44, 47, 48}),
              {purchase("1", "Z", {{43, "5"}, {44, "1,15"}, {47, "2"}, {48, "3"}}),
               JpkRecord{{{1, "2"}, {2, "DE811907980"}, {3, "D"}, {4, "A"}, {5, "Y"}, {7, "2017-05-09"},
                          {47, "1"}},
                         {{"K_49", "0.5"}, {"K_50", "0.25"}}}})
        .end();

    ASSERT_TRUE(make()) << status();
    EXPECT_TRUE(test::validBySchema(output()));
    const std::string text = outputText();
    EXPECT_NE(text.find("<K_20>2.30</K_20>"), std::string::npos);
    EXPECT_NE(text.find("<K_36>1.5</K_36>"), std::string::npos);
    // 2.30 + 0 + 0.92 + 1.5 + 2 - 0.5 - 0.25
    EXPECT_NE(text.find("<PodatekNalezny>5.97</PodatekNalezny>"), std::string::npos);
    // 1.15 + 2 + 3 + 1 + 0.5 + 0.25
    EXPECT_NE(text.find("<PodatekNaliczony>7.9</PodatekNaliczony>"), std::string::npos);
    // Elements without a column follow their record and the list goes on.
    EXPECT_NE(text.find("<K_20>0.92</K_20>\r\n    <K_39>0.25</K_39>\r\n  </SprzedazWiersz>"),
              std::string::npos);
    EXPECT_NE(text.find("<K_47>1</K_47>\r\n    <K_49>0.5</K_49>\r\n    <K_50>0.25</K_50>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("<LiczbaWierszySprzedazy>3</LiczbaWierszySprzedazy>"), std::string::npos);
}

// Every bad cell is named by sheet and address; nothing is written and the
// earlier file stays.
TEST_F(JpkWriterTest, CellProblemsAreListedByCellAndNothingIsWritten)
{
    test::writeFile(output(), "earlier");
    newWorkbook({19, 20});
    auto bad = sale("2", "G", {{19, "12a"}});
    bad.cells[1].second = "5260250275";  // wrong check digit
    bad.cells[5].second = "2017-02-30";  // no such day
    auto noName = sale("3", "H", {{19, "1"}});
    noName.cells[2].second = "";
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}),
              {sale("1", "F", {{19, "10"}, {20, "zero"}}), bad, noName,
               sale("4", "K", {{19, "1"}})})  // a valid record after them
        .end();
    fileSheet("B")
        .list("<SprzedazWiersz>", test::salesHeadings({19}), {sale("1", "F", {{19, "5"}})})
        .end();
    xl().sheetsSelect(3);
    xl().setCellValue(19, 6, "2017-06-02");  // a date after the period: a warning only

    EXPECT_FALSE(make());
    EXPECT_EQ(test::readFile(output()), "earlier");
    EXPECT_FALSE(std::filesystem::exists(m_root / (kOutput + ".tmp")));
    EXPECT_EQ(status(), "Plik niezapisany, b\xB3\xEA" "d\xF3w: 5, zob. ZBIR.LOG");
    const std::string logText = log();
    for (const char* where : {"A!T19: K_20 \"zero\" to nie kwota", "A!S20: K_19 \"12a\" to nie kwota",
                              "A!B20: NrKontrahenta \"5260250275\": z\xB3" "a cyfra kontrolna NIP",
                              "A!F20: DataWystawienia \"2017-02-30\" to nie data", "A!C21: NazwaKontrahenta puste",
                              "uwaga: B!F19: DataWystawienia 2017-06-02 poza okresem 2017-05-01 .. 2017-05-31"})
        EXPECT_NE(logText.find(where), std::string::npos) << where << "\n" << logText;
}

// A row whose number cell was emptied is still a record; a wholly empty row
// is skipped and counted.
TEST_F(JpkWriterTest, RowsWithoutNumberAreKeptAndEmptyRowsCounted)
{
    newWorkbook({19, 20});
    auto unnumbered = sale("", "FV/2", {{19, "5"}});
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}),
              {sale("1", "FV/1", {{19, "1"}}), unnumbered, JpkRecord{}, sale("4", "FV/4", {{19, "2"}})})
        .end();
    ASSERT_TRUE(make()) << status();
    const std::string text = outputText();
    EXPECT_NE(text.find("<LpSprzedazy>3</LpSprzedazy>\r\n    <NrKontrahenta>5260250274</NrKontrahenta>\r\n"
                        "    <NazwaKontrahenta>Nabywca</NazwaKontrahenta>\r\n    <AdresKontrahenta>Adres"
                        "</AdresKontrahenta>\r\n    <DowodSprzedazy>FV/4"),
              std::string::npos);
    EXPECT_NE(text.find("<DowodSprzedazy>FV/2</DowodSprzedazy>"), std::string::npos);
    EXPECT_NE(text.find("<LiczbaWierszySprzedazy>3</LiczbaWierszySprzedazy>"), std::string::npos);
    EXPECT_EQ(status(), "Zako\xF1" "czono prac\xEA z uwagami (1), zob. ZBIR.LOG");
    EXPECT_NE(log().find("uwaga: A!A21: pusty wiersz pomini\xEAty"), std::string::npos);
}

TEST_F(JpkWriterTest, HeadingsThatAreNoElementNamesAreLeftOutAndReported)
{
    newWorkbook({19, 20});
    auto headings = test::salesHeadings({19, 20});
    headings[6].second = "Data Sprzedazy";  // column 7
    headings.push_back({8, "a<b"});
    fileSheet("A")
        .list("<SprzedazWiersz>", headings,
              {sale("1", "F", {{7, "2017-05-03"}, {8, "x"}, {19, "10"}, {20, "2.3"}}),
               sale("2", "G", {{8, "y"}, {19, "1"}})})
        .end();
    ASSERT_TRUE(make());
    const std::string text = outputText();
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_EQ(text.find("2017-05-03"), std::string::npos);
    EXPECT_EQ(text.find("<a"), std::string::npos);
    EXPECT_EQ(text.find("Data Sprzedazy"), std::string::npos);
    EXPECT_NE(text.find("<LpSprzedazy>2</LpSprzedazy>"), std::string::npos);
    EXPECT_TRUE(m_port.shown("Pomijam kolumn\xEA G, z\xB3y nag\xB3\xF3wek: Data Sprzedazy"));
    EXPECT_TRUE(m_port.shown("Pomijam kolumn\xEA H, z\xB3y nag\xB3\xF3wek: a<b"));
    const std::string logText = log();
    EXPECT_NE(logText.find("arkusz A, kolumna G: nag\xB3\xF3wek \"Data Sprzedazy\""), std::string::npos);
    // Reported once per sheet.
    EXPECT_EQ(logText.find("kolumna H", logText.find("kolumna H") + 1), std::string::npos);
}

TEST_F(JpkWriterTest, SheetsWithoutMarkersAndStoppedTransportsEndTheirLists)
{
    newWorkbook({19, 20});
    fileSheet("A")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "10"}, {20, "2.3"}})})
        .totals();  // a stopped transport: the totals row follows the last record
    test::addFileSheet(xl(), "Notatki");  // a sheet the user added
    xl().setCellValue(1, 1, "uwagi");
    xl().setCellValue(3, 2, "123");
    ASSERT_TRUE(make());
    const std::string text = outputText();
    EXPECT_EQ(text.find("LuKa-Werks"), std::string::npos);
    EXPECT_NE(text.find("<LiczbaWierszySprzedazy>1</LiczbaWierszySprzedazy>"), std::string::npos);
}

TEST_F(JpkWriterTest, StopRemovesTheNewFileAndKeepsTheEarlierOne)
{
    test::writeFile(output(), "earlier");
    newWorkbook({19, 20});
    fileSheet("A").list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})}).end();
    m_port.stopAt = "Tworzenie sekcji \"Sprzeda\xBF\"";
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Plik wyj\x9C" "ciowy ..\\" + kOutput + " usuni\xEAty");
    EXPECT_EQ(test::readFile(output()), "earlier");
    EXPECT_FALSE(std::filesystem::exists(m_root / (kOutput + ".tmp")));
    EXPECT_EQ(m_app->state, 0);
    EXPECT_NE(log().find("operacja anulowana"), std::string::npos);
}

TEST_F(JpkWriterTest, AutomationErrorInTheSectionsRemovesTheTemporaryFile)
{
    test::writeFile(output(), "earlier");
    auto provider = std::make_shared<test::ScriptedProvider>();
    shell::App app(m_work, m_port, provider);
    app.FoCreat();
    app.xl = provider->create();
    test::newTransportWorkbook(provider->excel->real(), kGroup, {19, 20}, (m_work / (kGroup + ".XLS")).string());
    test::addFileSheet(provider->excel->real(), "A");
    FileSheetBuilder(provider->excel->real())
        .header("2017-05-01", "2017-05-31")
        .list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})})
        .end();
    int names = 0;  // the second sheet name asked for is the sales section's
    provider->excel->hook = [&](const std::string& call, const std::vector<std::string>&) {
        if (call == "activeSheetName" && ++names == 2)
            throw workbook::AutomationError("spreadsheet gone");
    };
    app.MakeJPK();
    provider->excel->hook = nullptr;
    EXPECT_FALSE(app.lastOk());
    EXPECT_EQ(app.state, 0);
    EXPECT_EQ(test::readFile(output()), "earlier");
    EXPECT_FALSE(std::filesystem::exists(m_root / (kOutput + ".tmp")));
}

TEST_F(JpkWriterTest, OutputThatCannotBeCreatedIsReportedBusy)
{
    std::filesystem::create_directory(m_root / (kOutput + ".tmp"));
    newWorkbook({19, 20});
    fileSheet("A").list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})}).end();
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Zaj\xEAty ..\\" + kOutput);
    EXPECT_FALSE(std::filesystem::exists(output()));
    EXPECT_EQ(m_app->state, 0);
}

TEST_F(JpkWriterTest, PlacesTheSpreadsheetWindowBelowTheProgram)
{
    newWorkbook({19, 20});
    fileSheet("A").end();
    m_port.geometryValue = {100, 283, 580, 564, 1080};
    xl().setWindowState(workbook::xl::Maximized);
    const double t = xl().top(), h = xl().height();
    ASSERT_TRUE(make());
    const double k = h / (1080 + 2 * 8 + 2);
    EXPECT_DOUBLE_EQ(xl().top(), std::nearbyint(384 * k + k * 8 + t));
    EXPECT_DOUBLE_EQ(xl().height(), std::nearbyint((1080 - 384 - 20) * k));
}

// Without the schemas nothing is reported as done: the file is kept aside
// unchecked and the earlier one stays.
TEST_F(JpkWriterTest, WithoutSchemasTheFileIsKeptUncheckedAndNotReportedDone)
{
    test::writeFile(output(), "earlier");
    newWorkbook({19, 20});
    fileSheet("A").list("<SprzedazWiersz>", test::salesHeadings({19, 20}), {sale("1", "F", {{19, "1"}})}).end();
    const test::TempDir empty;
    const char* before = std::getenv("ZBIR_SCHEMA_DIR");
    const std::string saved = before ? before : "";
    setenv("ZBIR_SCHEMA_DIR", empty.path().c_str(), 1);
    const bool made = make();
    if (before)
        setenv("ZBIR_SCHEMA_DIR", saved.c_str(), 1);
    else
        unsetenv("ZBIR_SCHEMA_DIR");
    EXPECT_FALSE(made);
    EXPECT_EQ(status(), "Brak schemat\xF3w: plik niesprawdzony, zob. ZBIR.LOG");
    EXPECT_EQ(outputText(), "earlier");
    EXPECT_NE(test::readFile(m_root / (kOutput + ".niesprawdzony")).find("<K_19>1</K_19>"), std::string::npos);
    EXPECT_NE(log().find("nie ma schemat\xF3w w "), std::string::npos);
}

TEST_F(JpkWriterTest, OtherTypesWriteEmptyLinesForHeaderAndSections)
{
    test::writeFile(m_root / "JPK_FA_2017_05_A.XML", "<JPK/>");
    const auto spreadsheet = m_app->xl;
    m_app->FoCreat();
    m_app->xl = spreadsheet;
    ASSERT_TRUE(m_app->selectGroup("JPK_FA_2017_05_"));
    test::newTransportWorkbook(xl(), "JPK_FA_2017_05_", {}, (m_work / "JPK_FA_2017_05_.XLS").string());
    fileSheet("A").end();
    // No combined file of that form: what is written fails the schema check
    // and is kept aside, never as the group's file.
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Plik niezgodny ze schematem, zob. ZBIR.LOG");
    EXPECT_FALSE(std::filesystem::exists(m_root / "JPK_FA_2017_05_.xml"));
    const std::string text = test::readFile(m_root / "JPK_FA_2017_05_.xml.bledny");
    const std::string head = kHeaderAndSubject.substr(0, kHeaderAndSubject.find("    <KodFormularza"));
    const std::string subject = kHeaderAndSubject.substr(kHeaderAndSubject.find("  </Naglowek>"));
    EXPECT_EQ(text, head + "\r\n" + subject + "\r\n\r\n</JPK>");
}

}  // namespace
}  // namespace zbir::jpkvat
