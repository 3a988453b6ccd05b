// Start-up, file groups, group change, exit and stop, on temporary folder
// trees: XML files in a parent folder, the working folder "praca" below it.

#include "shell/app.h"
#include "shell/doubles.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using zbir::shell::App;
using zbir::test::readFile;
using zbir::test::RecordingPort;
using zbir::test::writeFile;
using Strings = std::vector<std::string>;

namespace {

struct Tree {
    explicit Tree(std::initializer_list<const char*> xmlFiles)
    {
        fs::create_directory(work);
        for (const char* name : xmlFiles)
            writeFile(tmp / name, "<JPK/>");
    }
    std::string log() const { return readFile(work / "ZBIR.LOG"); }

    zbir::test::TempDir tmp;
    fs::path work = tmp / "praca";
};

std::shared_ptr<zbir::workbook::Provider> noSpreadsheet()
{
    return std::make_shared<zbir::test::NoSpreadsheet>();
}

}  // namespace

TEST(StartUp, MixedCaseNamesFormOneGroup)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "jpk_vat_2017_05_b.xml"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();

    EXPECT_EQ(app.groups(), Strings{"JPK_VAT_2017_05"});
    EXPECT_EQ(app.files(), (Strings{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_05_B.XML"}));
    EXPECT_EQ(port.files, app.files());
    // A listed (upper-cased) name still opens the real file.
    EXPECT_EQ(app.resolve("..\\JPK_VAT_2017_05_B.XML"), fs::canonical(t.tmp.path()) / "jpk_vat_2017_05_b.xml");
    EXPECT_TRUE(app.lastOk());
}

TEST(StartUp, PreselectsTheAlphabeticallyLastGroup)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "JPK_FA_2017_05_X.XML", "JPK_VAT_2017_04_A.XML", "JPK_VAT_2017_04_B.xml"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();

    const Strings groups{"JPK_FA_2017_05_", "JPK_VAT_2017_04", "JPK_VAT_2017_05"};
    EXPECT_EQ(app.groups(), groups);
    EXPECT_EQ(port.groups, groups);
    EXPECT_EQ(port.selected, 2);
    EXPECT_EQ(app.groupText(), "JPK_VAT_2017_05");
    EXPECT_EQ(app.files(), Strings{"JPK_VAT_2017_05_A.XML"});
    EXPECT_EQ(port.outputName, "Plik: JPK_VAT_2017_05.XLS");
    EXPECT_EQ(port.version, "1(2)");
    EXPECT_EQ(port.folder, fs::canonical(t.work).string());
    EXPECT_EQ(app.state, 0);
}

TEST(StartUp, UploadCopiesAreSkippedOnlyWhenWrittenInLowerCase)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_05_A.upload.XML", "JPK_VAT_2017_05_B.UPLOAD.XML",
           "JPK_VAT_2017_05_C.Upload.xml"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    EXPECT_EQ(app.files(), (Strings{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_05_B.UPLOAD.XML",
                                    "JPK_VAT_2017_05_C.UPLOAD.XML"}));
}

TEST(StartUp, TheGroupsOwnCombinedFileIsNotListed)
{
    {
        Tree t{"JPK_VAT_2017_05.XML"};
        RecordingPort port;
        App app(t.work, port, noSpreadsheet());
        app.FoCreat();
        EXPECT_EQ(app.groups(), Strings{"JPK_VAT_2017_05"});
        EXPECT_TRUE(app.files().empty());
    }
    {
        // The combined file is written as "<group>.xml"; any letter case is its own.
        Tree t{"JPK_VAT_2017_05_A.XML", "jpk_vat_2017_05.xml"};
        RecordingPort port;
        App app(t.work, port, noSpreadsheet());
        app.FoCreat();
        EXPECT_EQ(app.files(), Strings{"JPK_VAT_2017_05_A.XML"});
    }
}

TEST(StartUp, WithoutXmlFilesShowsRedMessageAndWritesNoLog)
{
    Tree t{};
    fs::create_directory(t.tmp / "FOLDER.XML");  // folders are no files
    writeFile(t.tmp / "JPK_VAT_2017_05_A.TXT", "x");
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();

    EXPECT_TRUE(app.groups().empty());
    EXPECT_TRUE(app.files().empty());
    EXPECT_EQ(app.statusText(), "Nie widz\xEA plik\xF3w *.XML");
    EXPECT_EQ(app.statusColour(), zbir::shell::Red);
    EXPECT_FALSE(port.jpkEnabled);
    EXPECT_FALSE(fs::exists(t.work / "ZBIR.LOG"));
    EXPECT_FALSE(app.lastOk());
}

TEST(StartUp, TypeLetterDecidesTheJpkButton)
{
    struct Case {
        const char* file;
        const char* group;
        int type;
    };
    const Case cases[] = {
        {"JPK_KR_2017.XML", "JPK_KR_2017.XML", 1},  {"JPK_WB_2017_05_1.XML", "JPK_WB_2017_05_", 2},
        {"JPK_MAG_01.XML", "JPK_MAG_01.XML", 3},    {"jpk_vat_2017_05_a.xml", "JPK_VAT_2017_05", 4},
        {"JPK_FA_2017_05_1.XML", "JPK_FA_2017_05_", 5}, {"JPK_PKPIR_2017.XML", "JPK_PKPIR_2017.", 6},
        {"JPK_EWP_2017.XML", "JPK_EWP_2017.XM", 7}, {"JPK_XYZ_2017.XML", "JPK_XYZ_2017.XM", 0},
        {"JPK_.XML", "JPK_.XML", 0},                {"VAT_2017_05_A.XML", "VAT_2017_05_A.X", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Tree t{c.file};
        RecordingPort port;
        App app(t.work, port, noSpreadsheet());
        app.FoCreat();
        ASSERT_EQ(app.groups(), Strings{c.group});
        EXPECT_EQ(app.jpkType, c.type);
        EXPECT_EQ(port.jpkEnabled, c.type != 0);
        EXPECT_EQ(app.jpkButtonEnabled(), c.type != 0);
    }
}

TEST(StartUp, LogLinesAreExact)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_04_A.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    ASSERT_TRUE(app.selectGroup("JPK_VAT_2017_04"));
    app.ExiZBIR();
    EXPECT_EQ(t.log(),
              "\r\n"
              "  Uruchomienie funkcji startowych, przygotowanie listy grup plik\xF3w JPK\r\n"
              "  Przygotowanie listy plik\xF3w w formacie XML dla grupy: JPK_VAT_2017_05\r\n"
              "  Przygotowanie listy plik\xF3w w formacie XML dla grupy: JPK_VAT_2017_04\r\n"
              "  -\r\n");
}

TEST(StartUp, UnwritableLogIsShownAndTheGroupsAreStillListed)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    fs::create_directory(t.work / "ZBIR.LOG");  // neither appendable nor creatable
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();

    EXPECT_EQ(app.groups(), Strings{"JPK_VAT_2017_05"});
    EXPECT_EQ(app.files(), Strings{"JPK_VAT_2017_05_A.XML"});
    EXPECT_EQ(app.statusColour(), zbir::shell::Red);
    EXPECT_EQ(app.statusText().rfind("Nie mog\xEA zapisa\xE6 dziennika", 0), 0u) << app.statusText();
    EXPECT_FALSE(app.lastOk());

    app.ExiZBIR();  // the program still ends
    EXPECT_TRUE(app.closed());
    EXPECT_EQ(port.closed, 1);
}

TEST(GroupChange, ListsTheChosenGroupButNotWhileAnOperationRuns)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_04_A.XML", "JPK_VAT_2017_04_B.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();

    EXPECT_FALSE(app.selectGroup("JPK_VAT_2017_06"));
    EXPECT_EQ(app.groupText(), "JPK_VAT_2017_05");

    app.state = 1;  // the running operation reads Lis: the group stays
    EXPECT_FALSE(app.selectGroup("JPK_VAT_2017_04"));
    EXPECT_EQ(app.groupText(), "JPK_VAT_2017_05");
    EXPECT_EQ(port.selected, 1);
    EXPECT_EQ(app.files(), Strings{"JPK_VAT_2017_05_A.XML"});

    app.state = 0;
    EXPECT_TRUE(app.selectGroup("JPK_VAT_2017_04"));
    EXPECT_EQ(port.selected, 0);
    EXPECT_EQ(app.files(), (Strings{"JPK_VAT_2017_04_A.XML", "JPK_VAT_2017_04_B.XML"}));
    EXPECT_EQ(port.outputName, "Plik: JPK_VAT_2017_04.XLS");
}

TEST(Exit, DuringAnOperationRequestsStopAndKeepsTheWindow)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    const std::string before = t.log();

    // The exit button is pressed while the operation shows its progress.
    app.state = 1;
    bool pressed = false;
    port.onEvents = [&] {
        if (!pressed) {
            pressed = true;
            app.ExiZBIR();
        }
    };
    app.showProgress("Czytam plik JPK_VAT_2017_05_A.XML");
    EXPECT_EQ(app.state, 2);
    EXPECT_FALSE(app.closed());
    EXPECT_EQ(port.closed, 0);

    app.ExiZBIR();  // pressed again before the operation noticed
    EXPECT_EQ(app.state, 2);
    EXPECT_EQ(t.log(), before + "    ~~~~~  operacja anulowana  ~~~~~\r\n"
                                "    ~~~~~  operacja anulowana  ~~~~~\r\n");
}

TEST(Exit, WhenIdleReleasesTheSpreadsheetAndCloses)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    auto sheet = std::make_shared<zbir::test::StubApplication>();
    app.xl = sheet;

    app.ExiZBIR();
    EXPECT_TRUE(sheet->displayAlerts());
    EXPECT_TRUE(sheet->screenUpdating());
    EXPECT_FALSE(sheet->visible());  // the application is not told to quit or hide
    EXPECT_EQ(app.xl, nullptr);
    EXPECT_TRUE(app.closed());
    EXPECT_EQ(port.closed, 1);
    const std::string log = t.log();
    EXPECT_EQ(log.substr(log.size() - 5), "  -\r\n");
}

TEST(Exit, WhileAHandlerWithoutTheStateByteRunsEndsWhenItReturns)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    auto sheet = std::make_shared<zbir::test::StubApplication>();
    app.xl = sheet;
    bool closedMeanwhile = true;
    sheet->duringSetVisible = [&] {
        EXPECT_TRUE(app.busy());
        app.ExiZBIR();  // state 0: not a stop request
        closedMeanwhile = app.closed() || app.xl == nullptr;
    };

    app.SpeedButton1Click();
    EXPECT_FALSE(closedMeanwhile);
    EXPECT_TRUE(sheet->visible());
    EXPECT_TRUE(app.closed());
    EXPECT_EQ(app.xl, nullptr);
    EXPECT_EQ(port.closed, 1);
    EXPECT_FALSE(app.busy());
}

TEST(Operation, AnEscapedErrorIsShownAndReturnsToIdle)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    app.FoCreat();
    auto sheet = std::make_shared<zbir::test::StubApplication>();
    sheet->failVisible = true;
    app.xl = sheet;
    const std::string before = t.log();

    app.SpeedButton1Click();
    EXPECT_EQ(app.state, 0);
    EXPECT_FALSE(app.lastOk());
    EXPECT_EQ(app.statusText(), "Excel zaj\xEAty");
    EXPECT_EQ(app.statusColour(), zbir::shell::Red);
    EXPECT_EQ(t.log(), before + "  ... Excel: Excel zaj\xEAty\r\n");

    sheet->failVisible = false;
    app.SpeedButton1Click();
    EXPECT_TRUE(sheet->visible());
    EXPECT_TRUE(app.lastOk());
}

TEST(StatusLine, KeepsTheWholeTextAndProcessesEvents)
{
    Tree t{};
    RecordingPort port;
    App app(t.work, port, noSpreadsheet());
    const std::string text = std::string(49, 'x') + "\xB3" + std::string(200, 'y');
    app.showProgress(text);
    EXPECT_EQ(app.statusText(), text);
    EXPECT_EQ(port.statuses.back(), std::make_pair(text, 128));
    EXPECT_EQ(port.pumped, 1);
    app.showError("B\xB3\xB9" "d");
    EXPECT_EQ(port.statuses.back(), std::make_pair(std::string("B\xB3\xB9" "d"), 255));
    EXPECT_EQ(port.pumped, 2);
}

// The program keeps the name "zbir", but renames and deletes only in its own folder.
TEST(SelfNaming, OnlyInTheProgramsOwnFolder)
{
    {
        Tree t{"JPK_VAT_2017_05_A.XML"};
        fs::create_directory(t.tmp / "bin");
        writeFile(t.tmp / "bin" / "zbir-new", "program");
        writeFile(t.work / "zbir", "a user's file");
        RecordingPort port;
        App app(t.work, port, noSpreadsheet(), t.tmp / "bin" / "zbir-new");
        app.FoCreat();
        EXPECT_EQ(readFile(t.work / "zbir"), "a user's file");
        EXPECT_TRUE(fs::exists(t.tmp / "bin" / "zbir-new"));
    }
    {
        Tree t{"JPK_VAT_2017_05_A.XML"};
        writeFile(t.work / "zbir-new", "program");
        writeFile(t.work / "zbir", "older program");
        RecordingPort port;
        App app(t.work, port, noSpreadsheet(), t.work / "zbir-new");
        app.FoCreat();
        EXPECT_EQ(readFile(t.work / "zbir"), "program");
        EXPECT_FALSE(fs::exists(t.work / "zbir-new"));
        EXPECT_EQ(app.groups(), Strings{"JPK_VAT_2017_05"});
    }
    {
        Tree t{"JPK_VAT_2017_05_A.XML"};
        writeFile(t.work / "ZBIR", "program");
        RecordingPort port;
        App app(t.work, port, noSpreadsheet(), t.work / "ZBIR");
        app.FoCreat();
        EXPECT_EQ(readFile(t.work / "zbir"), "program");
        EXPECT_FALSE(fs::exists(t.work / "ZBIR"));
    }
    {
        // Nothing happens before XML files are found.
        Tree t{};
        writeFile(t.work / "zbir-new", "program");
        RecordingPort port;
        App app(t.work, port, noSpreadsheet(), t.work / "zbir-new");
        app.FoCreat();
        EXPECT_TRUE(fs::exists(t.work / "zbir-new"));
        EXPECT_FALSE(fs::exists(t.work / "zbir"));
    }
}
