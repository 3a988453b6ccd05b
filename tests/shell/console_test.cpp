// The command line: the console window in-process, and the program itself
// run as a subprocess on temporary folder trees.

#include "shell/app.h"
#include "shell/console_commands.h"
#include "shell/console_port.h"
#include "shell/doubles.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace zbir::shell;
using zbir::test::readFile;
using zbir::test::runCommand;
using zbir::test::TempDir;
using zbir::test::writeFile;

namespace {

struct Tree {
    Tree()
    {
        fs::create_directory(work);
        for (const char* name : {"JPK_VAT_2017_05_A.XML", "jpk_vat_2017_05_b.xml", "JPK_VAT_2017_04_A.XML"})
            writeFile(tmp / name, "<JPK/>");
    }
    TempDir tmp;
    fs::path work = tmp / "praca";
};

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// Runs zbir with `args`; keeps only stdout or only stderr in *text.
int runZbir(const std::string& args, std::string* text, bool stdoutOnly)
{
    const std::string cmd = "{ " + quoted(ZBIR_BINARY) + " " + args +
                            (stdoutOnly ? " 2>/dev/null; }" : " >/dev/null; }");
    return runCommand(cmd, text);
}

}  // namespace

TEST(ConsolePort, PrintsStatusLinesAsUtf8WithErrorsMarked)
{
    std::ostringstream out, err;
    ConsolePort port(out, err);
    port.showStatus("Czytam JPK_VAT_2017_05_A.XML", DarkRed);
    port.showStatus("Czytam JPK_VAT_2017_05_A.XML", DarkRed);  // repeated: once
    port.showStatus("", DarkRed);                               // a cleared status line
    port.showStatus("Nie widz\xEA plik\xF3w *.XML", Red);
    port.error("nie ma grupy plik\xF3w X");
    EXPECT_EQ(err.str(), "zbir: Czytam JPK_VAT_2017_05_A.XML\n"
                         "zbir: błąd: Nie widzę plików *.XML\n"
                         "zbir: błąd: nie ma grupy plików X\n");
    EXPECT_EQ(out.str(), "");
}

TEST(ConsoleCommands, RunTheWindowsStartUpAndEndLikeTheExitButton)
{
    Tree t;
    std::ostringstream out, err;
    ConsolePort port(out, err);
    App app(t.work, port, std::make_shared<zbir::test::NoSpreadsheet>());
    EXPECT_EQ(runConsoleCommand(app, port, Command::Files, "jpk_vat_2017_04"), ExitOk);
    EXPECT_EQ(out.str(), "JPK_VAT_2017_04_A.XML\n");
    EXPECT_TRUE(app.closed());
    const std::string log = readFile(t.work / "ZBIR.LOG");
    EXPECT_EQ(log.substr(log.size() - 5), "  -\r\n");
}

TEST(CommandLine, GroupsMarksThePreselectedGroup)
{
    Tree t;
    std::string text;
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " groups", &text, true), 0);
    EXPECT_EQ(text, "  JPK_VAT_2017_04\n* JPK_VAT_2017_05\n");
    EXPECT_EQ(runZbir("--folder " + quoted(t.work) + " groups", &text, true), 0);
    EXPECT_EQ(text, "  JPK_VAT_2017_04\n* JPK_VAT_2017_05\n");
    EXPECT_TRUE(fs::exists(t.work / "ZBIR.LOG"));  // the log lies in the working folder
}

TEST(CommandLine, FilesOfTheChosenOrPreselectedGroup)
{
    Tree t;
    writeFile(t.tmp / "JPK_VAT_2017_05_Ż.XML", "<JPK/>");
    std::string text;
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " files", &text, true), 0);
    EXPECT_EQ(text, "JPK_VAT_2017_05_A.XML\nJPK_VAT_2017_05_B.XML\nJPK_VAT_2017_05_Ż.XML\n");
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " files Jpk_Vat_2017_04", &text, true), 0);
    EXPECT_EQ(text, "JPK_VAT_2017_04_A.XML\n");
}

TEST(CommandLine, UnknownGroupIsAClearError)
{
    Tree t;
    std::string text;
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " files JPK_VAT_2017_06", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nie ma grupy plików JPK_VAT_2017_06 (grupy: JPK_VAT_2017_04, "
                    "JPK_VAT_2017_05)\n");
}

TEST(CommandLine, NoXmlFilesFails)
{
    TempDir tmp;
    fs::create_directory(tmp / "praca");
    std::string text;
    EXPECT_EQ(runZbir("-C " + quoted(tmp / "praca") + " groups", &text, false), 1);
    EXPECT_EQ(text, "zbir: błąd: Nie widzę plików *.XML\n");
}

TEST(CommandLine, OperationsOnAMissingWorkbookFail)
{
    Tree t;
    std::string text;
    // No workbook exists, so opening it or building from it fails.
    for (const char* op : {"open", "jpk"}) {
        SCOPED_TRACE(op);
        EXPECT_EQ(runZbir("-C " + quoted(t.work) + " " + op + " JPK_VAT_2017_04", &text, false), 1);
        EXPECT_NE(text.find("zbir: błąd: "), std::string::npos) << text;
    }
    EXPECT_FALSE(fs::exists(t.tmp / "JPK_VAT_2017_04.xml"));
}

TEST(CommandLine, HelpVersionAndUsageErrors)
{
    Tree t;
    std::string text;
    EXPECT_EQ(runZbir("--version", &text, true), 0);
    EXPECT_EQ(text, std::string("zbir ") + ZBIR_VERSION + "\n");
    EXPECT_EQ(runZbir("--help", &text, true), 0);
    for (const char* word : {"groups", "files", "transport", "open", "jpk", "--folder"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
    EXPECT_NE(runZbir("bogus", &text, false), 0);
    EXPECT_NE(runZbir("-C " + quoted(t.tmp / "missing") + " groups", &text, false), 0);
    EXPECT_NE(runZbir("groups extra", &text, false), 0);
}

TEST(CommandLine, WithoutADisplayTheWindowPointsToTheCommands)
{
    Tree t;
    std::string text;
    const int code = runCommand("{ env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + quoted(ZBIR_BINARY) +
                                    " -C " + quoted(t.work) + " >/dev/null; }",
                                &text);
    EXPECT_EQ(code, 2);
    EXPECT_NE(text.find("zbir: błąd: "), std::string::npos) << text;
    EXPECT_NE(text.find("zbir groups"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(t.work / "ZBIR.LOG"));
}
