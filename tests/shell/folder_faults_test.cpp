// Faults of the folders and files around the inputs: a full disk while the
// workbook, a text copy or the combined file is written (a file-size limit
// stands in for it), a read-only working or parent folder, unreadable files,
// a workbook held by the spreadsheet or replaced by a folder. For each: what
// the user sees, what the log says, and that the earlier work is kept whole.
//
// Permissions do not stop root, and the tests run as root in CI: the cases
// that need them run the zbir program as the user "nobody" then.

#include "shell/earlier_work.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

// vatFile with `n` sales records.
std::string records(int n)
{
    std::vector<std::pair<std::string, std::string>> sales;
    for (int i = 0; i < n; ++i)
        sales.emplace_back(std::to_string(100 + i) + ".00", std::to_string(23 + i) + ".00");
    return vatFile(sales);
}

std::uintmax_t largestFile(const fs::path& dir)
{
    std::uintmax_t most = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            most = std::max(most, e.file_size());
    return most;
}

class FolderFaultTest : public EarlierWorkFixture {
protected:
    std::string status() const { return app->statusText(); }

    // The program as a subprocess on the working folder, as an unprivileged
    // user when the tests run as root.
    ProgramRun zbir(const std::string& command)
    {
        closeWorkbooks();
        return runZbir({"-C", work().string(), command, kGroup}, true);
    }

    // Everything below `dir` given to the user zbir runs as.
    void giveTree(const fs::path& dir)
    {
        giveToUnprivileged(dir);
        for (const auto& e : fs::recursive_directory_iterator(dir))
            giveToUnprivileged(e.path());
    }
};

// ---- a full disk

TEST_F(FolderFaultTest, FullDiskDuringTheWorkbookSave)
{
    // Many small files: every copy is small, the workbook with all their
    // sheets is not.
    for (char c = 'C'; c <= 'Z'; ++c)
        addXml(std::string("JPK_VAT_2017_05_") + c + ".xml", records(3));
    earlierWork();
    const std::uintmax_t workbookSize = fs::file_size(workbook());
    const std::uintmax_t small = std::max<std::uintmax_t>(largestFile(work() / "TXT"), 12000);
    ASSERT_LT(small * 2, workbookSize) << "the workbook must outgrow the limit, the rest not";
    shell::App& a = restart();
    const std::size_t before = logLines().size();
    {
        FileSizeLimit full((small + workbookSize) / 2);
        a.MakeXLS();
    }
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(status(), "Nie mog\xEA zapisa\xE6 pliku " + workbook().string() + "; " + kGroup + ".XLS bez zmian");
    // The log says the transport ran to its summary, then why the save was
    // refused; the earlier workbook, moved aside for the save, is back
    // under its name.
    const auto log = newLogLines(before);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "  Podsumowanie stworzonych arkuszy w pierwszym arkuszu o nazwie -SUMA-");
    EXPECT_EQ(log[log.size() - 2].rfind("  ... " + workbook().string() + ": ", 0), 0u) << log[log.size() - 2];
    EXPECT_EQ(log.back(), "  ... " + status());  // the whole message, as the status line has it
    EXPECT_FALSE(fs::exists(previous()));
    expectEarlierWorkKept(false);
}

TEST_F(FolderFaultTest, FullDiskDuringATextCopy)
{
    addXml("JPK_VAT_2017_05_C.xml", records(300));
    earlierWork();
    const fs::path copy = copyPath("JPK_VAT_2017_05_C.XML");
    const std::string earlierCopy = readFile(copy);
    ASSERT_GT(earlierCopy.size(), 80000u);
    shell::App& a = restart();
    const std::size_t before = logLines().size();
    {
        FileSizeLimit full(40000);
        a.MakeXLS();
    }
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(a.state, 0);
    const std::string message = "JPK_VAT_2017_05_C.XML: B\xB3\xB9" "d zapisu pliku " + (work() / "TXT" / "xx.tmp").string() +
                                "; " + kGroup + ".XLS bez zmian";
    EXPECT_EQ(status(), message);
    const auto log = newLogLines(before);
    EXPECT_NE(std::find(log.begin(), log.end(), "  ... " + message), log.end());
    // The copy that could not be written is gone; the earlier one stays.
    EXPECT_EQ(readFile(copy), earlierCopy);
    expectEarlierWorkKept(false);
}

TEST_F(FolderFaultTest, FullDiskDuringTheCombinedFile)
{
    addXml("JPK_VAT_2017_05_C.xml", records(300));
    earlierWork();
    ASSERT_GT(m_combined.size(), 80000u);
    shell::App& a = restart();
    a.OpenXLS();
    ASSERT_TRUE(a.lastOk()) << status();
    const std::size_t before = logLines().size();
    {
        FileSizeLimit full(40000);
        a.MakeJPK();
    }
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(status(), "B\xB3\xB9" "d zapisu ..\\" + kGroup + ".xml");
    const auto log = newLogLines(before);
    EXPECT_EQ(log.front(), "  Uruchomienie funkcji tworzenia pliku zbiorczego: " + kGroup + ".xml");
    expectEarlierWorkKept(false);
}

// ---- the workbook held or replaced

TEST_F(FolderFaultTest, WorkbookOfThatNameOpenInTheSpreadsheet)
{
    earlierWork();
    shell::App& a = restart();
    // Another workbook of the same file name, from another folder, stays open.
    fs::create_directory(root / "inny");
    xl().workbooksAdd();
    xl().activeWorkbookSaveAs((root / "inny" / (kGroup + ".XLS")).string());
    a.MakeXLS();
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(status(), "Nie mog\xEA zapisa\xE6 pliku " + workbook().string() + "; " + kGroup + ".XLS bez zmian");
    // Moved aside for the save, back under its name when it was refused;
    // the reason is logged.
    EXPECT_FALSE(fs::exists(previous()));
    EXPECT_TRUE(logContains("Jest ju\xBF otwarty inny skoroszyt o nazwie " + kGroup + ".XLS"));
    expectEarlierWorkKept(false);
}

TEST_F(FolderFaultTest, WorkbookReplacedByAFolder)
{
    earlierWork();
    fs::remove(workbook());
    fs::create_directory(workbook());
    writeFile(workbook() / "notatka.txt", "nie rusza\xE6");
    shell::App& a = restart();
    a.OpenXLS();
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(status(), "Nie mog\xEA wczyta\xE6 " + kGroup + ".XLS: " + workbook().string() + " jest folderem, nie skoroszytem");
    a.MakeXLS();
    EXPECT_TRUE(a.lastOk()) << status();
    // The folder went aside whole, as a filled workbook would.
    EXPECT_EQ(readFile(previous() / "notatka.txt"), "nie rusza\xE6");
    workbook::loadWorkbookFile(workbook());
    EXPECT_EQ(readFile(combined()), m_combined);
    expectNoLeftovers();
}

// The workbook saved again by another program that stores strings in the
// cells and names parts from the package root: it opens, and the combined
// file built from it is the one built from our own.
TEST_F(FolderFaultTest, WorkbookSavedByAnotherProgram)
{
    earlierWork();
    const fs::path script = sourceDir() / "tests" / "spreadsheet" / "data" / "foreign_form.py";
    const fs::path ours = work() / "ours.bin";
    fs::rename(workbook(), ours);
    std::string output;
    ASSERT_EQ(runCommand("python3 '" + script.string() + "' '" + ours.string() + "' '" + workbook().string() +
                             "' shared absolute deflate",
                         &output),
              0)
        << output;
    fs::remove(ours);
    auto withoutStamp = [](std::string xml) {
        // Unprefixed or prefixed (the file is in its inputs' form).
        const auto from = xml.find("DataWytworzeniaJPK>");
        const auto to = xml.find("</", from == std::string::npos ? 0 : from);
        return from == std::string::npos || to == std::string::npos ? xml : xml.erase(from, to - from);
    };

    shell::App& a = restart();
    a.OpenXLS();
    ASSERT_TRUE(a.lastOk()) << status();
    EXPECT_EQ(status(), "Wczytany  " + kGroup);
    a.MakeJPK();
    ASSERT_TRUE(a.lastOk()) << status();
    EXPECT_EQ(withoutStamp(readFile(combined())), withoutStamp(m_combined));
}

TEST_F(FolderFaultTest, CombinedFileReplacedByAFolder)
{
    earlierWork();
    fs::remove(combined());
    fs::create_directory(combined());
    shell::App& a = restart();
    a.OpenXLS();
    a.MakeJPK();
    EXPECT_FALSE(a.lastOk());
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(status(), "Zaj\xEAty ..\\" + kGroup + ".xml");
    EXPECT_TRUE(fs::is_directory(combined()));
    expectNoLeftovers();
}

// ---- permissions (as "nobody" when the tests run as root)

TEST_F(FolderFaultTest, ReadOnlyWorkingFolder)
{
    earlierWork();
    fs::permissions(work() / "TXT", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::permissions(work(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto logBefore = readFile(work() / "ZBIR.LOG");

    // Not even the run log can be written: the operations say so and stop.
    for (const char* command : {"transport", "jpk"}) {
        const ProgramRun run = zbir(command);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_NE(run.output.find("zbir: b\xC5\x82\xC4\x85" "d: Nie mog\xC4\x99 zapisa\xC4\x87 dziennika"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_EQ(readFile(work() / "ZBIR.LOG"), logBefore);
    expectEarlierWorkKept(false);

    // A log that can be written in a folder that cannot: the first copy
    // cannot be made, and nothing is touched; the message is whole.
    giveToUnprivileged(work() / "ZBIR.LOG");
    const ProgramRun run = zbir("transport");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("zbir: b\xC5\x82\xC4\x85" "d: JPK_VAT_2017_05_A.XML: Nie mog\xC4\x99 utworzy\xC4\x87 pliku " +
                              (work() / "TXT" / "xx.tmp").string() + "; " + kGroup + ".XLS bez zmian\n"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(logContains("Zapis poprzedniej wersji"));
    expectEarlierWorkKept(false);
    fs::permissions(work(), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(FolderFaultTest, ReadOnlyParentFolder)
{
    earlierWork();
    giveTree(work());
    fs::permissions(root.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const ProgramRun run = zbir("jpk");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("zbir: b\xC5\x82\xC4\x85" "d: Zaj\xC4\x99ty ..\\" + kGroup + ".xml"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(logContains("Uruchomienie funkcji tworzenia pliku zbiorczego"));
    fs::permissions(root.path(), fs::perms::owner_write, fs::perm_options::add);
    expectEarlierWorkKept(false);
}

TEST_F(FolderFaultTest, UnreadableInputFileAndWorkbook)
{
    earlierWork();
    addXml("JPK_VAT_2017_05_C.xml", records(2));
    giveTree(root.path());
    fs::permissions(root / "JPK_VAT_2017_05_C.xml", fs::perms::none);
    fs::permissions(workbook(), fs::perms::none);
    if (!runningAsRoot() && access(workbook().c_str(), R_OK) == 0)
        GTEST_SKIP() << "permissions do not stop this user";
    const ProgramRun run = zbir("transport");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("zbir: b\xC5\x82\xC4\x85" "d: JPK_VAT_2017_05_C.XML: nie mo\xC5\xBCna odczyta\xC4\x87 pliku"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(logContains("  ... JPK_VAT_2017_05_C.XML: nie mo\xBFna odczyta\xE6 pliku"));
    // The unreadable workbook went aside untouched; a new one took its place.
    fs::permissions(previous(), fs::perms::owner_read, fs::perm_options::add);
    expectEarlierWorkKept();
}

}  // namespace
}  // namespace zbir::test
