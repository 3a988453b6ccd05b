#include "support/test_support.h"
#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> folderNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Files may grow only to `bytes` while it lives, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

TEST(AtomicSave, FailedSaveLeavesTheEarlierFileAndRaises)
{
    TempDir dir;
    auto path = dir / "G.XLS";
    auto app = std::make_shared<EmbeddedApplication>();
    app->workbooksAdd();
    app->setCellValue(1, 1, "pierwsza wersja");
    app->activeWorkbookSaveAs(path.string());
    const std::string earlier = test::readFile(path);

    for (int r = 1; r <= 3000; ++r)
        for (int c = 1; c <= 8; ++c)
            app->setCellValue(r, c, "warto\x9C\xE6 " + std::to_string(r * 31 + c * 7));
    try {
        FileSizeLimit full(16 * 1024);
        app->activeWorkbookSaveAs(path.string());
        ADD_FAILURE() << "the save succeeded on a full disk";
    } catch (const AutomationError& e) {
        EXPECT_NE(std::string(e.what()).find("Nie mo\xBFna zapisa\xE6 pliku"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::readFile(path), earlier);
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"G.XLS"}) << "no temporary file is left";

    app->activeWorkbookSaveAs(path.string());
    auto reader = std::make_shared<EmbeddedApplication>();
    reader->workbooksOpen(path.string());
    EXPECT_EQ(reader->cellValue(3000, 8), "warto\x9C\xE6 " + std::to_string(3000 * 31 + 8 * 7));
}

// A save killed half-way leaves its temporaries; the next save of that
// workbook removes them, but never those of a process still running.
TEST(AtomicSave, TemporariesOfKilledSavesGoWithTheNextSave)
{
    TempDir dir;
    const pid_t ended = fork();
    ASSERT_GE(ended, 0);
    if (ended == 0)
        _exit(0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string gone = std::to_string(ended);
    const std::vector<std::string> left{".~G.XLS." + gone + "-0.tmp", ".~G.XLS." + gone + "-0.3.tmp",
                                        ".~G.XLS.1-0.tmp", ".~H.XLS." + gone + "-0.tmp", "notatki.tmp"};
    for (const std::string& name : left)
        test::writeFile(dir / name, "x");
    auto app = std::make_shared<EmbeddedApplication>();
    app->workbooksAdd();
    app->setCellValue(1, 1, "x");
    app->activeWorkbookSaveAs((dir / "G.XLS").string());
    EXPECT_EQ(folderNames(dir.path()),
              (std::vector<std::string>{".~G.XLS.1-0.tmp", ".~H.XLS." + gone + "-0.tmp", "G.XLS", "notatki.tmp"}));
}

TEST(AtomicSave, TargetsThatCannotBeReplacedRaise)
{
    TempDir dir;
    auto app = std::make_shared<EmbeddedApplication>();
    app->workbooksAdd();
    app->setCellValue(1, 1, "x");
    fs::create_directory(dir / "folder.XLS");
    test::writeFile(dir / "folder.XLS" / "inside.txt", "keep");
    EXPECT_THROW(app->activeWorkbookSaveAs((dir / "folder.XLS").string()), AutomationError);
    EXPECT_EQ(test::readFile(dir / "folder.XLS" / "inside.txt"), "keep");
    EXPECT_THROW(app->activeWorkbookSaveAs((dir / "missing" / "G.XLS").string()), AutomationError);
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"folder.XLS"});
    EXPECT_EQ(app->activeWorkbookName(), "Zeszyt1") << "a failed save does not rename the workbook";
}

}  // namespace
}  // namespace zbir::workbook
