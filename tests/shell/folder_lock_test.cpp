// One operation at a time per working folder: a second one, in the window or
// on the command line, in this process or another, is refused with a clear
// message while the first runs, and two transports started together lose
// nothing.

#include "base/folder_lock.h"
#include "shell/earlier_work.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;
using base::FolderLock;

const std::string kBusy = "Trwa inna operacja w tym folderze, spr\xF3" "buj p\xF3\x9F" "niej";

TEST(FolderLock, OneHolderAtATimeUntilItGoes)
{
    TempDir dir;
    {
        FolderLock first(dir.path());
        EXPECT_EQ(first.outcome(), FolderLock::Outcome::Taken);
        EXPECT_EQ(first.file(), dir / "ZBIR.LCK");
        FolderLock second(dir.path());  // another open file: as another process
        EXPECT_EQ(second.outcome(), FolderLock::Outcome::Busy);
    }
    FolderLock again(dir.path());
    EXPECT_EQ(again.outcome(), FolderLock::Outcome::Taken);
    EXPECT_TRUE(fs::exists(dir / "ZBIR.LCK"));  // kept for the next holder

    FolderLock nowhere(dir / "missing");  // no lock file can be made: no lock
    EXPECT_EQ(nowhere.outcome(), FolderLock::Outcome::Unavailable);
}

class FolderLockTest : public EarlierWorkFixture {};

// The window: every operation on the folder's files is refused while
// another process holds the folder; nothing is touched, the state byte
// stays 0 and the log says why.
TEST_F(FolderLockTest, WindowOperationsAreRefusedWhileAnotherHoldsTheFolder)
{
    earlierWork();
    ASSERT_FALSE(HasFatalFailure());
    shell::App& a = restart();
    const auto before = snapshot(root.path());
    {
        FolderLock other(work());
        ASSERT_EQ(other.outcome(), FolderLock::Outcome::Taken);
        for (const char* name : {"Transport XML do XLS", "Wczytaj gotowy XLS", "Zr\xF3" "b zbiorczy JPK"}) {
            const std::string n = name;
            const std::size_t lines = logLines().size();
            if (n[0] == 'T')
                a.MakeXLS();
            else if (n[0] == 'W')
                a.OpenXLS();
            else
                a.MakeJPK();
            EXPECT_FALSE(a.lastOk()) << n;
            EXPECT_EQ(a.state, 0) << n;
            EXPECT_EQ(a.statusText(), kBusy) << n;
            EXPECT_EQ(a.statusColour(), shell::Red) << n;
            const auto added = newLogLines(lines);
            ASSERT_EQ(added.size(), 1u) << n;
            EXPECT_NE(added[0].find(n + ": " + kBusy), std::string::npos) << added[0];
            EXPECT_NE(added[0].find("ZBIR.LCK"), std::string::npos) << added[0];
        }
        auto after = snapshot(root.path());
        after.erase("praca/ZBIR.LOG");
        auto expected = before;
        expected.erase("praca/ZBIR.LOG");
        EXPECT_EQ(changedOrGone(expected, after), std::vector<std::string>{});
    }
    a.MakeXLS();  // the folder free again
    EXPECT_TRUE(a.lastOk()) << a.statusText();
}

// The command line: the same refusal on stderr, with a failure exit code.
TEST_F(FolderLockTest, CommandLineIsRefusedWhileAnotherHoldsTheFolder)
{
    earlierWork();
    ASSERT_FALSE(HasFatalFailure());
    closeWorkbooks();
    const auto before = snapshot(root.path());
    FolderLock other(work());
    ASSERT_EQ(other.outcome(), FolderLock::Outcome::Taken);
    for (const char* command : {"transport", "open", "jpk"}) {
        const ProgramRun run = runZbir({"-C", work().string(), command, kGroup});
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_NE(run.output.find("zbir: b\xC5\x82\xC4\x85" "d: Trwa inna operacja w tym folderze, spr\xC3\xB3" "buj p\xC3\xB3\xC5\xBA" "niej"),
                  std::string::npos)
            << command << ": " << run.output;
    }
    auto after = snapshot(root.path());
    after.erase("praca/ZBIR.LOG");
    auto expected = before;
    expected.erase("praca/ZBIR.LOG");
    EXPECT_EQ(changedOrGone(expected, after), std::vector<std::string>{});
}

// Two transports of one group started together, again and again: one may be
// refused, none loses anything. Every workbook kept aside is a filled one,
// the last one is whole and filled, and TXT holds every file's copy.
TEST_F(FolderLockTest, TwoTransportsAtOnceLoseNothing)
{
    earlierWork();
    ASSERT_FALSE(HasFatalFailure());
    closeWorkbooks();
    for (int round = 0; round < 8; ++round) {
        ZbirProcess first({"-C", work().string(), "transport", kGroup});
        ZbirProcess second({"-C", work().string(), "transport", kGroup});
        const int codes[] = {first.wait(), second.wait()};
        EXPECT_TRUE(codes[0] == 0 || codes[1] == 0) << first.output() << second.output();
        // A run that did not succeed was refused, and said so.
        for (int i = 0; i < 2; ++i) {
            const std::string out = (i == 0 ? first : second).output();
            if (codes[i] != 0) {
                EXPECT_EQ(codes[i], 1) << out;
                EXPECT_NE(out.find("Trwa inna operacja w tym folderze"), std::string::npos) << out;
            }
        }
    }
    for (const auto& e : fs::directory_iterator(work())) {
        if (e.path().extension() != ".XLS")
            continue;
        auto wb = workbook::loadWorkbookFile(e.path());
        EXPECT_FALSE(wb->sheet(0).valueText(1, 1).empty()) << "an empty workbook: " << e.path();
        EXPECT_EQ(wb->sheetCount(), 3) << e.path();
    }
    EXPECT_EQ(snapshot(work() / "TXT").size(), 2u);
}

}  // namespace
}  // namespace zbir::test
