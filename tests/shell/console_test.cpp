// The command line: the console window in-process, and the program itself
// run as a subprocess on temporary folder trees.

#include "encoding/charset.h"
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

TEST(ConsolePort, PlainProgressLinesCountEachFileAndComeNowAndThen)
{
    double clock = 0;
    ConsoleOptions options;
    options.plainEvery = 10;
    options.clock = [&clock] { return clock; };
    std::ostringstream out, err;
    ConsolePort port(out, err, options);

    // As the transport reports: each file's start, every so many records, its end.
    port.finishProgress();  // nothing to sum up yet
    port.showStatus("JPK_VAT_2017_05_A.XML", DarkRed);
    port.showProgress({0, 2, 0});
    clock = 5;
    port.showProgress({0, 2, 100});  // the same file, within 10 s: no line
    clock = 12;
    port.showProgress({0, 2, 6000});
    port.showStatus("JPK_VAT_2017_05_B.XML", DarkRed);
    clock = 13;
    port.showProgress({1, 2, 6000});
    clock = 14;
    port.showProgress({1, 2, 6500});
    clock = 16;
    port.finishProgress();
    port.finishProgress();
    EXPECT_EQ(err.str(), "zbir: JPK_VAT_2017_05_A.XML\n"
                         "zbir: plik 1/2: 6 000 rekordów, 500 rek./s, 0:12\n"
                         "zbir: plik 1/2: 6 000 rekordów\n"
                         "zbir: JPK_VAT_2017_05_B.XML\n"
                         "zbir: plik 2/2: 500 rekordów\n"
                         "zbir: razem 6 500 rekordów w 16 s (406 rek./s)\n");
    EXPECT_EQ(out.str(), "");
}

TEST(ConsolePort, ASmallRunCountsItsFileAndGivesNoRate)
{
    double clock = 0;
    ConsoleOptions options;
    options.clock = [&clock] { return clock; };
    std::ostringstream out, err;
    ConsolePort port(out, err, options);
    port.showStatus("JPK_VAT_2017_05_PFX7.XML", DarkRed);
    port.showProgress({0, 1, 0});
    clock = 0.011;
    port.showProgress({0, 1, 53});
    port.finishProgress();
    EXPECT_EQ(err.str(), "zbir: JPK_VAT_2017_05_PFX7.XML\n"
                         "zbir: plik 1/1: 53 rekordy\n"
                         "zbir: razem 53 rekordy w 0,0 s\n");
}

TEST(ConsolePort, FilesSeenOnlyInTheirCourseShowTheTotal)
{
    // As the JPK build reports: every so many rows, its sales then its purchases.
    double clock = 0;
    ConsoleOptions options;
    options.clock = [&clock] { return clock; };
    std::ostringstream out, err;
    ConsolePort port(out, err, options);
    port.showProgress({0, 2, 1000});
    clock = 2;
    port.showProgress({1, 2, 3000});
    clock = 4;
    port.showProgress({0, 2, 1000});
    port.finishProgress();
    EXPECT_EQ(err.str(), "zbir: plik 1/2, razem 1 000 rekordów\n"
                         "zbir: plik 2/2, razem 3 000 rekordów, 1 500 rek./s, 0:02\n"
                         "zbir: plik 1/2, razem 4 000 rekordów, 1 000 rek./s, 0:04\n"
                         "zbir: razem 4 000 rekordów w 4,0 s (1 000 rek./s)\n");
}

TEST(ConsolePort, TerminalBarIsRedrawnInPlaceAndMakesRoomForStatusLines)
{
    double clock = 0;
    ConsoleOptions options;
    options.terminal = true;
    options.colour = true;
    options.columns = 100;
    options.clock = [&clock] { return clock; };
    std::ostringstream out, err;
    ConsolePort port(out, err, options);

    const std::string bar1 = "\rzbir: [--------------------] plik 1/2: 0 rekordów\x1b[K";
    const std::string bar2 =
        "\rzbir: [##########----------] plik 2/2: 800 rekordów  razem 1 000  500 rek./s  0:02\x1b[K";
    port.showProgress({0, 2, 0});
    clock = 0.05;
    port.showProgress({0, 2, 200});  // within a tenth of a second: not drawn
    EXPECT_EQ(err.str(), bar1);
    clock = 1.5;
    port.showProgress({1, 2, 200});
    clock = 2;
    port.showProgress({1, 2, 1000});
    const std::string bar15 = "\rzbir: [##########----------] plik 2/2: 0 rekordów  razem 200  133 rek./s  0:01\x1b[K";
    port.showStatus("Nie ma  JPK_VAT_2017_05", Red);
    port.showStatus("Zako\xF1" "czono prac\xEA nad ..\\JPK_VAT_2017_05.xml", Red);
    port.finishProgress();
    EXPECT_EQ(err.str(), bar1 + "\r\x1b[Kzbir: plik 1/2: 200 rekordów\n" + bar1 + bar15 + bar2 +
                             "\r\x1b[K\x1b[31mzbir: błąd: Nie ma  JPK_VAT_2017_05\x1b[0m\n" + bar2 +
                             // A red final message that is no failure is not marked as one.
                             "\r\x1b[Kzbir: Zakończono pracę nad ..\\JPK_VAT_2017_05.xml\n" + bar2 +
                             "\r\x1b[Kzbir: plik 2/2: 800 rekordów\n"
                             "zbir: razem 1 000 rekordów w 2,0 s (500 rek./s)\n");
}

TEST(ConsolePort, TerminalBarIsCutToTheWidthInCharacters)
{
    ConsoleOptions options;
    options.terminal = true;
    options.columns = 49;  // 48 characters drawn; "ó" takes two bytes but one column
    options.clock = [] { return 0.0; };
    std::ostringstream out, err;
    ConsolePort port(out, err, options);
    port.showProgress({0, 2, 0});
    EXPECT_EQ(err.str(), "\rzbir: [--------------------] plik 1/2: 0 rekordó\x1b[K");
}

TEST(ConsolePort, AStopRequestRunsTheExitButtonOnce)
{
    std::ostringstream out, err;
    ConsolePort port(out, err);
    port.processEvents();  // nothing watched
    bool requested = false;
    int stops = 0;
    port.watchStop([&requested] { return requested; }, [&stops] { ++stops; });
    port.processEvents();
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(port.stopSeen());
    requested = true;
    port.processEvents();
    port.processEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(port.stopSeen());
}

TEST(ConsoleCommands, AStopRequestEndsTheOperationAsTheWindowsStopWould)
{
    Tree t;
    std::ostringstream out, err;
    ConsolePort port(out, err);
    App app(t.work, port, std::make_shared<zbir::test::NoSpreadsheet>());
    port.watchStop([] { return true; }, [&app] { app.ExiZBIR(); });
    EXPECT_EQ(runConsoleCommand(app, port, Command::Transport), ExitStopped);
    EXPECT_TRUE(app.closed());
    // The request is seen at the transport's first status update, the
    // cleared status line, just before its log entry.
    const std::string log = readFile(t.work / "ZBIR.LOG");
    EXPECT_NE(log.find("    ~~~~~  operacja anulowana  ~~~~~\r\n  Transport plik"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 5), "  -\r\n");  // the exit button, once
    EXPECT_EQ(log.find("  -\r\n"), log.size() - 5);
    EXPECT_NE(err.str().find("zbir: operacja anulowana\n"), std::string::npos) << err.str();
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

TEST(CommandLine, HelpInTheLocalesLanguage)
{
    std::string text;
    const std::string zbir = quoted(ZBIR_BINARY);
    EXPECT_EQ(runCommand("env -u LC_ALL -u LC_MESSAGES LANG=pl_PL.UTF-8 " + zbir + " --help", &text), 0);
    EXPECT_NE(text.find("Praca miesięczna"), std::string::npos) << text;
    EXPECT_NE(text.find("130 zatrzymane przez Ctrl+C"), std::string::npos) << text;
    // The C locale names no language: the program's own Polish.
    EXPECT_EQ(runCommand("env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 " + zbir + " --help", &text), 0);
    EXPECT_NE(text.find("Praca miesięczna"), std::string::npos) << text;
    EXPECT_EQ(runCommand("env -u LC_ALL LC_MESSAGES=en_GB.UTF-8 LANG=pl_PL.UTF-8 " + zbir + " --help", &text), 0);
    EXPECT_NE(text.find("A month's work"), std::string::npos) << text;
    EXPECT_NE(text.find("130 when\nstopped by Ctrl+C"), std::string::npos) << text;
}

TEST(CommandLine, AFolderArgumentIsTheWorkingFolder)
{
    Tree t;
    std::string text;
    EXPECT_EQ(runZbir(quoted(t.work) + " groups", &text, true), 0);
    EXPECT_EQ(text, "  JPK_VAT_2017_04\n* JPK_VAT_2017_05\n");
    EXPECT_EQ(runZbir(quoted(t.tmp / "missing") + " groups", &text, false), 2);
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

// The command line's own faults read like the rest of the program: Polish,
// one whole line, exit code 2; never the argument parser's English.
TEST(CommandLine, UsageErrorsInPolish)
{
    Tree t;
    std::string text;
    const fs::path missingPath = t.tmp / "nie ma";
    const std::string missing = missingPath.string();
    EXPECT_EQ(runZbir("-C " + quoted(missingPath) + " groups", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nie ma folderu " + missing + "\n");
    EXPECT_EQ(runZbir(quoted(missingPath) + " groups", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nie ma folderu " + missing + "\n");
    writeFile(t.tmp / "plik", "x");
    EXPECT_EQ(runZbir("--folder " + quoted(t.tmp / "plik") + " groups", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: " + (t.tmp / "plik").string() + " nie jest folderem\n");

    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " groups extra", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nieznany argument: extra (zbir --help podaje składnię)\n");
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " files a żółw", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nieznany argument: żółw (zbir --help podaje składnię)\n");
    EXPECT_EQ(runZbir("--bogus", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: nieznany argument: --bogus (zbir --help podaje składnię)\n");
    EXPECT_EQ(runZbir("-C", &text, false), 2);
    EXPECT_EQ(text, "zbir: błąd: opcja bez wartości (-C wymaga folderu) (zbir --help podaje składnię)\n");
    EXPECT_FALSE(fs::exists(t.work / "ZBIR.LOG"));  // no working folder was entered
}

// Every failing command leaves its message on the terminal and its line in
// the run log, with nothing cut.
TEST(CommandLine, EveryFailureIsSaidAndLogged)
{
    Tree t;
    std::string text;
    writeFile(t.tmp / "Sprzedaz maj 17.XML", "<JPK/>");

    // A group that is no JPK type has no combined file.
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " jpk \"Sprzedaz maj 17\"", &text, false), 1);
    const std::string why = "Grupa SPRZEDAZ MAJ 17 nie jest grupą JPK: zbiorczy plik tylko dla nazw JPK_K, "
                            "JPK_W, JPK_M, JPK_V, JPK_F, JPK_P, JPK_E...";
    EXPECT_EQ(text, "zbir: błąd: " + why + "\n");
    std::string log = zbir::encoding::windows1250ToUtf8(readFile(t.work / "ZBIR.LOG"));
    EXPECT_NE(log.find("  ... " + why + "\r\n"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(t.tmp / "SPRZEDAZ MAJ 17.xml"));

    // An unknown group, and a workbook that is not there.
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " files JPK_VAT_2017_06", &text, false), 2);
    EXPECT_EQ(runZbir("-C " + quoted(t.work) + " open JPK_VAT_2017_04", &text, false), 1);
    EXPECT_EQ(text, "zbir: błąd: Nie ma  JPK_VAT_2017_04\n");
    log = zbir::encoding::windows1250ToUtf8(readFile(t.work / "ZBIR.LOG"));
    EXPECT_NE(log.find("  ... nie ma grupy plików JPK_VAT_2017_06 (grupy: "), std::string::npos) << log;
    EXPECT_NE(log.find("  ... Nie ma  JPK_VAT_2017_04\r\n"), std::string::npos) << log;
    // Logged once, not again by the command line's end.
    EXPECT_EQ(log.find("  ... " + why), log.rfind("  ... " + why));
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
