// The transport button end to end: folder trees, the embedded spreadsheet,
// the run log and the status line.

#include "base/winfs.h"
#include "support/fault_support.h"
#include "support/transport_fixture.h"
#include "transport/transport.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;
using workbook::AutomationError;

const std::string kGroup = "JPK_VAT_2017_05";
const std::string kLog4 = "  Transport plik\xF3w JPK_VAT_2017_05*.XML do zeszytu JPK_VAT_2017_05.XLS";
const std::string kLogSheets = "  Kasowanie z zeszytu JPK_VAT_2017_05 dodatkowych nies\xB3usznych arkuszy";
const std::string kLogTxt = "  Kasowanie wszystkich poprzednich poprawnych plik\xF3w z podkatalogu TXT";
const std::string kLog7 = "  Podsumowanie stworzonych arkuszy w pierwszym arkuszu o nazwie -SUMA-";
const std::string kLog6 = "  Zapis poprzedniej wersji jako ";

class TransportTest : public TransportFixture {
protected:
    fs::path book() const { return work() / (kGroup + ".XLS"); }

    void twoFiles()
    {
        addXml("JPK_VAT_2017_05_A.xml", vatFile({{"100.00", "23.00"}, {"200.50", "46.12"}}));
        addXml("JPK_VAT_2017_05_B.xml", vatFile({{"50", "11.50"}}));
    }

    std::vector<std::string> sheetNames()
    {
        std::vector<std::string> names;
        for (int i = 1; i <= xl().sheetsCount(); ++i)
            names.push_back(xl().sheetsName(i));
        return names;
    }

    // Closes everything and opens the saved workbook again.
    void reopen()
    {
        while (xl().workbooksCount() > 0)
            xl().activeWorkbookClose();
        xl().workbooksOpen(book().string());
        xl().sheetsSelect(1);
    }

    // A workbook saved at the group's path: sheet 1 with `a1` in A1 and
    // "stary" in B2, plus two more sheets.
    void oldWorkbook(const std::string& a1)
    {
        xl().workbooksAdd();
        xl().sheetsSelect(1);
        xl().setCellValue(1, 1, a1);
        xl().setCellValue(2, 2, "stary");
        xl().sheetsAddAfter(1);
        xl().sheetsAddAfter(2);
        xl().activeWorkbookSaveAs(book().string());
        xl().activeWorkbookClose();
    }

    void expectIdleWithError(const std::string& text)
    {
        EXPECT_EQ(app->state, 0);
        EXPECT_FALSE(app->lastOk());
        EXPECT_EQ(app->statusColour(), shell::Red);
        EXPECT_EQ(app->statusText(), text);
    }
};

TEST_F(TransportTest, FirstTransportSavesNewWorkbookThatReopensWithItsTotals)
{
    twoFiles();
    start(kGroup).MakeXLS();

    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_EQ(app->state, 0);
    EXPECT_TRUE(fs::exists(book()));
    EXPECT_FALSE(fs::exists(work() / (kGroup + "-0001.XLS")));
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B"}));

    // Nothing in the files needed mending: the copies are named as unchanged.
    EXPECT_TRUE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_A.TXT"));
    EXPECT_TRUE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_B.TXT"));
    EXPECT_FALSE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_A.XML"));
    EXPECT_FALSE(fs::exists(work() / "TXT" / "xx.tmp"));

    EXPECT_TRUE(logHas(kLog4));
    EXPECT_TRUE(logHas(kLogSheets));
    EXPECT_TRUE(logHas(kLog7));
    EXPECT_FALSE(logHas(kLogTxt));  // TXT was new
    for (const std::string& l : logLines())
        EXPECT_NE(l.rfind(kLog6, 0), 0u) << l;

    // Progress went through both files and counted all three records.
    ASSERT_FALSE(port.progress.empty());
    EXPECT_EQ(port.progress.back().files, 2);
    EXPECT_EQ(port.progress.back().file, 1);
    EXPECT_EQ(port.progress.back().records, 3);

    // The saved file holds the same workbook.
    reopen();
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B"}));
    EXPECT_EQ(xl().cellValue(1, 1), kGroup);
    EXPECT_EQ(xl().cellValue(4, 1), "JPK_VAT_2017_05_A.XML");
    EXPECT_DOUBLE_EQ(number(xl().cellValue(4, 19)), 300.5);
    EXPECT_DOUBLE_EQ(number(xl().cellValue(7, 19)), 350.5);
    EXPECT_DOUBLE_EQ(number(xl().cellValue(7, 20)), 80.62);
    xl().sheetsSelect(2);
    EXPECT_DOUBLE_EQ(number(xl().cellValue(1, 19)), 300.5);
}

TEST_F(TransportTest, FilledWorkbookMovesToNextFreePreviousVersion)
{
    twoFiles();
    start(kGroup).MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();
    while (xl().workbooksCount() > 0)
        xl().activeWorkbookClose();
    const std::string before = readFile(book());
    writeFile(work() / (kGroup + "-0001.XLS"), "1");
    writeFile(work() / (kGroup + "-0002.XLS"), "2");

    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();

    ASSERT_TRUE(fs::exists(work() / (kGroup + "-0003.XLS")));
    EXPECT_EQ(readFile(work() / (kGroup + "-0003.XLS")), before);
    EXPECT_EQ(readFile(work() / (kGroup + "-0002.XLS")), "2");
    EXPECT_TRUE(fs::exists(book()));

    std::string moved;
    for (const std::string& l : logLines())
        if (l.rfind(kLog6, 0) == 0)
            moved = l.substr(kLog6.size());
    ASSERT_EQ(moved.size(), 38u) << moved;
    EXPECT_EQ(moved.substr(0, 3), "...");
    EXPECT_EQ(moved.substr(moved.size() - 24), "JPK_VAT_2017_05-0003.XLS");
}

TEST_F(TransportTest, WorkbookWithEmptyA1IsReusedInPlace)
{
    twoFiles();
    start(kGroup);
    oldWorkbook("");

    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_FALSE(fs::exists(work() / (kGroup + "-0001.XLS")));
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B"}));
    xl().sheetsSelect(1);
    EXPECT_EQ(xl().cellValue(2, 2), "");
}

TEST_F(TransportTest, UnreadableWorkbookIsKeptAsPreviousVersion)
{
    twoFiles();
    writeFile(book(), "not a workbook");
    start(kGroup).MakeXLS();

    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_EQ(readFile(work() / (kGroup + "-0001.XLS")), "not a workbook");
    bool logged = false;
    for (const std::string& l : logLines())
        logged = logged || l.rfind(kLog6, 0) == 0;
    EXPECT_TRUE(logged);
    reopen();
    EXPECT_EQ(xl().cellValue(1, 1), kGroup);
}

TEST_F(TransportTest, EmptyFileListGivesOnlySuma)
{
    addXml("JPK_VAT_2017_05.xml", vatFile({{"1", "1"}}));  // the combined file's name: never listed
    start(kGroup);
    ASSERT_TRUE(app->files().empty());
    app->MakeXLS();

    EXPECT_TRUE(app->lastOk()) << app->statusText();
    reopen();
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-"}));
    EXPECT_EQ(xl().cellValue(1, 1), kGroup);
}

TEST_F(TransportTest, ExitDuringFileLoopSkipsRestAndSummary)
{
    twoFiles();
    addXml("JPK_VAT_2017_05_C.xml", vatFile({{"7", "1.61"}}));
    port.escapeArm = "JPK_VAT_2017_05_B.XML";
    port.escapeAfter = 1;
    start(kGroup).MakeXLS();

    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->state, 0);
    EXPECT_TRUE(logHas("    ~~~~~  operacja anulowana  ~~~~~"));
    EXPECT_FALSE(logHas(kLog7));
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B"}));  // C skipped
    xl().sheetsSelect(1);
    EXPECT_EQ(xl().cellValue(1, 1), "");
    EXPECT_EQ(xl().cellValue(4, 1), "");

    // The incomplete workbook never takes the name, and the message says so.
    EXPECT_FALSE(fs::exists(book()));
    EXPECT_EQ(app->statusText(), "Transport przerwany; JPK_VAT_2017_05.XLS nie zapisany");
}

// A stop or a failure while the files are read leaves an earlier workbook
// under its name, byte for byte, and no previous version beside it.
TEST_F(TransportTest, EarlierWorkbookKeepsItsNameUntilTheNewOneIsComplete)
{
    auto movedAside = [this] {
        for (const std::string& l : logLines())
            if (l.rfind(kLog6, 0) == 0)
                return true;
        return false;
    };
    twoFiles();
    start(kGroup);
    oldWorkbook("stary zeszyt");
    const std::string before = readFile(book());

    port.escapeArm = "JPK_VAT_2017_05_B.XML";
    port.escapeAfter = 1;
    app->MakeXLS();
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText(), "Transport przerwany; JPK_VAT_2017_05.XLS bez zmian");
    EXPECT_EQ(readFile(book()), before);
    EXPECT_FALSE(fs::exists(work() / (kGroup + "-0001.XLS")));
    EXPECT_FALSE(movedAside());

    port.escapeArm.clear();
    port.escapeAfter = 0;
    int writes = 0;
    provider->excel->hook = [&writes](const std::string& call, const std::vector<std::string>&) {
        if (call == "setCellValue" && ++writes == 20)
            throw AutomationError("za d\xB3ugi tekst");
    };
    app->MakeXLS();
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText(), "JPK_VAT_2017_05_A.XML: za d\xB3ugi tekst; JPK_VAT_2017_05.XLS bez zmian");
    EXPECT_EQ(readFile(book()), before);
    EXPECT_FALSE(fs::exists(work() / (kGroup + "-0001.XLS")));

    // Complete at last: the earlier one goes aside whole, the new one takes the name.
    provider->excel->hook = nullptr;
    app->MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_EQ(readFile(work() / (kGroup + "-0001.XLS")), before);
    EXPECT_TRUE(movedAside());
    reopen();
    EXPECT_EQ(xl().cellValue(1, 1), kGroup);
}

TEST_F(TransportTest, BusyStateMakesButtonDoNothing)
{
    twoFiles();
    start(kGroup);
    app->state = 1;
    app->MakeXLS();
    EXPECT_EQ(app->state, 1);
    EXPECT_FALSE(fs::exists(book()));
    EXPECT_FALSE(logHas(kLog4));
    app->state = 0;
}

TEST_F(TransportTest, NoSpreadsheetApplication)
{
    twoFiles();
    provider->attachFails = true;
    provider->createFails = true;
    start(kGroup).MakeXLS();
    expectIdleWithError("Nie ma \xBF" "adnego Excela w systemie");
    EXPECT_FALSE(fs::exists(book()));
}

TEST_F(TransportTest, SpreadsheetBusyEditingCell)
{
    twoFiles();
    start(kGroup);
    xl();
    provider->excel->hook = [](const std::string& call, const std::vector<std::string>&) {
        if (call == "setVisible")
            throw AutomationError("busy");
    };
    app->MakeXLS();
    expectIdleWithError("Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu");
}

TEST_F(TransportTest, RefusedSaveBringsTheEarlierWorkbookBack)
{
    twoFiles();
    start(kGroup);
    oldWorkbook("stary zeszyt");
    const std::string before = readFile(book());
    provider->excel->hook = [](const std::string& call, const std::vector<std::string>&) {
        if (call == "activeWorkbookSaveAs")
            throw AutomationError("open elsewhere");
    };
    app->MakeXLS();
    expectIdleWithError("Nie mog\xEA zapisa\xE6 pliku " + base::winfs::display(book()) +
                        "; JPK_VAT_2017_05.XLS bez zmian");
    EXPECT_TRUE(logHas("  ... " + base::winfs::display(book()) + ": open elsewhere"));
    EXPECT_EQ(readFile(book()), before);
    EXPECT_FALSE(fs::exists(work() / (kGroup + "-0001.XLS")));
}

TEST_F(TransportTest, FinalSaveFailureIsReported)
{
    twoFiles();
    start(kGroup);
    xl();
    provider->excel->hook = [](const std::string& call, const std::vector<std::string>&) {
        if (call == "activeWorkbookSaveAs")
            throw AutomationError("disk full");
    };
    app->MakeXLS();
    expectIdleWithError("Nie mog\xEA zapisa\xE6 pliku " + base::winfs::display(book()));
    EXPECT_TRUE(logHas(kLog7));
    EXPECT_FALSE(fs::exists(book()));
}

TEST_F(TransportTest, FailedRenameOfFilledWorkbookEndsCleanly)
{
    twoFiles();
    start(kGroup);
    oldWorkbook("stary zeszyt");
    const fs::path path = book();
    provider->excel->hook = [path](const std::string& call, const std::vector<std::string>&) {
        if (call == "cellsSelect")
            fs::remove(path);  // the file vanishes before it can be moved
    };
    app->MakeXLS();
    expectIdleWithError("Nie mog\xEA przenie\x9C\xE6 JPK_VAT_2017_05.XLS na JPK_VAT_2017_05-0001.XLS; "
                        "nowy zeszyt nie zapisany");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(TransportTest, SpreadsheetErrorInsideFileEndsRunAndSaysWhere)
{
    twoFiles();
    start(kGroup);
    xl();
    int writes = 0;
    provider->excel->hook = [&writes](const std::string& call, const std::vector<std::string>&) {
        if (call == "setCellValue" && ++writes == 20)
            throw AutomationError("komorka zablokowana");
    };
    app->MakeXLS();
    expectIdleWithError("JPK_VAT_2017_05_A.XML: komorka zablokowana; JPK_VAT_2017_05.XLS nie zapisany");
    EXPECT_TRUE(logHas("  ... JPK_VAT_2017_05_A.XML: komorka zablokowana; JPK_VAT_2017_05.XLS nie zapisany"));
    EXPECT_TRUE(xl().screenUpdating());

    // The window is usable again: the next run works.
    provider->excel->hook = nullptr;
    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
}

TEST_F(TransportTest, TxtCleanUpDeletesOnlyPlainCopies)
{
    twoFiles();
    fs::create_directories(work() / "TXT");
    writeFile(work() / "TXT" / "OLD.TXT", "x");
    writeFile(work() / "TXT" / "older.txt", "x");
    writeFile(work() / "TXT" / "KEEP.XML", "x");
    start(kGroup).MakeXLS();

    EXPECT_TRUE(logHas(kLogTxt));
    EXPECT_FALSE(fs::exists(work() / "TXT" / "OLD.TXT"));
    EXPECT_FALSE(fs::exists(work() / "TXT" / "older.txt"));
    EXPECT_TRUE(fs::exists(work() / "TXT" / "KEEP.XML"));
    // This run's own plain copies stay.
    EXPECT_TRUE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_A.TXT"));
    EXPECT_TRUE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_B.TXT"));
}

// A copy cut short by a killed run stays under its temporary name in TXT,
// which no run reads as a copy; the next transport removes it, also when it
// writes no copy of its own.
TEST_F(TransportTest, TemporaryCopyOfAKilledRunIsRemovedNotTaken)
{
    const fs::path temp = work() / "TXT" / "xx.tmp";
    fs::create_directories(work() / "TXT");
    writeFile(temp, "<?xml version=\"1.0\"?>\r\n<JPK>\r\n  <Naglo");
    addXml("JPK_VAT_2017_05.xml", vatFile({{"1", "1"}}));  // the group without a file
    start(kGroup);
    ASSERT_TRUE(app->files().empty());
    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_FALSE(fs::exists(temp));

    writeFile(temp, "<JPK><Naglo");
    twoFiles();
    start(kGroup).MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_FALSE(fs::exists(temp));
    for (const char* name : {"JPK_VAT_2017_05_A.TXT", "JPK_VAT_2017_05_B.TXT"}) {
        std::string error;
        EXPECT_TRUE(wellFormedXml(readFile(work() / "TXT" / name), &error)) << name << ": " << error;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work() / "TXT"), fs::directory_iterator()), 2);
}

TEST_F(TransportTest, UnopenableFileLeavesOnlyItsNameOnItsSheet)
{
    twoFiles();
    fs::create_symlink(root / "gone.xml", root / "JPK_VAT_2017_05_C.xml");
    start(kGroup).MakeXLS();

    // The run completes and saves, but says which file it could not read.
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText(), std::string("JPK_VAT_2017_05_C.XML: nie mo\xBFna odczyta\xE6 pliku"));
    EXPECT_TRUE(logHas("  ... JPK_VAT_2017_05_C.XML: nie mo\xBFna odczyta\xE6 pliku"));
    EXPECT_TRUE(logHas(kLog7));
    ASSERT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B", "C"}));
    xl().sheetsSelect(4);
    EXPECT_EQ(xl().cellValue(1, 77), "JPK_VAT_2017_05_C.XML");
    EXPECT_EQ(xl().cellValue(1, 19), "");  // no totals
    EXPECT_EQ(xl().cellValue(1, 1), "");
    EXPECT_FALSE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_C.XML"));
    EXPECT_FALSE(fs::exists(work() / "TXT" / "JPK_VAT_2017_05_C.TXT"));
    xl().sheetsSelect(1);
    EXPECT_EQ(xl().cellValue(6, 1), "JPK_VAT_2017_05_C.XML");
}

TEST_F(TransportTest, FileEndingOnScannerFaultIsShownLoggedAndFailsTheRun)
{
    twoFiles();
    // One value larger than the scanner takes.
    addXml("JPK_VAT_2017_05_C.xml", "<JPK><Naglowek><Opis>" + std::string(17u << 20, 'x'));
    start(kGroup).MakeXLS();

    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->state, 0);
    EXPECT_EQ(app->statusColour(), shell::Red);
    EXPECT_EQ(app->statusText().rfind("JPK_VAT_2017_05_C.xml: ", 0), 0u) << app->statusText();
    bool logged = false;
    for (const std::string& l : logLines())
        logged = logged || l.rfind("  ... JPK_VAT_2017_05_C.xml: ", 0) == 0;
    EXPECT_TRUE(logged);
    // What was read is kept: the workbook is complete and saved.
    EXPECT_TRUE(logHas(kLog7));
    reopen();
    EXPECT_EQ(sheetNames(), (std::vector<std::string>{"-SUMA-", "A", "B", "C"}));
}

TEST(PreviousVersionName, CountsDigitsWithCarryAndSkipsTakenNames)
{
    TempDir dir;
    EXPECT_EQ(workbook::previousVersionName(dir.path(), "G.XLS"), "G-0001.XLS");
    for (int i = 1; i <= 9; ++i)
        writeFile(dir / ("G-000" + std::to_string(i) + ".XLS"), "");
    EXPECT_EQ(workbook::previousVersionName(dir.path(), "G.XLS"), "G-0010.XLS");
    fs::create_directory(dir / "G-0010.XLS");  // taken, though not a file one could read
    writeFile(dir / "g-0011.xls", "");           // taken, whatever the letter case
    EXPECT_EQ(workbook::previousVersionName(dir.path(), "G.XLS"), "G-0012.XLS");
}

TEST(PreviousVersionName, LogTextIsThirtyEightCharacters)
{
    EXPECT_EQ(workbook::logName("G-0001.XLS"), std::string(28, '.') + "G-0001.XLS");
    const std::string longName = "/home/ksiegowa/praca/JPK_VAT_2017_05-0003.XLS";
    EXPECT_EQ(workbook::logName(longName), "..." + longName.substr(longName.size() - 35));
}

}  // namespace
}  // namespace zbir::test
