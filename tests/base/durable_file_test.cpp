#include "base/durable_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace zbir;
using zbir::test::readFile;
using zbir::test::TempDir;
using zbir::test::writeFile;

TEST(DurableFile, ReplaceTakesTheTargetsPlaceInItsFolderOrFromAnother)
{
    TempDir dir;
    writeFile(dir / "G.XLS", "earlier");
    writeFile(dir / ".~G.XLS.tmp", "new");
    EXPECT_FALSE(base::durable::replace(dir / ".~G.XLS.tmp", dir / "G.XLS", "workbook"));
    EXPECT_EQ(readFile(dir / "G.XLS"), "new");
    EXPECT_FALSE(fs::exists(dir / ".~G.XLS.tmp"));

    // A text copy is written in the working folder and placed in TXT.
    fs::create_directory(dir / "TXT");
    writeFile(dir / "xx", "copy");
    EXPECT_FALSE(base::durable::replace(dir / "xx", dir / "TXT" / "A.TXT", "copy"));
    EXPECT_EQ(readFile(dir / "TXT" / "A.TXT"), "copy");
    EXPECT_FALSE(fs::exists(dir / "xx"));
}

TEST(DurableFile, FailedReplaceKeepsTheTargetAndTheTemporaryFile)
{
    TempDir dir;
    writeFile(dir / "G.xml", "earlier");
    EXPECT_TRUE(base::durable::replace(dir / "G.xml.tmp", dir / "G.xml", "combined"));  // nothing written
    EXPECT_EQ(readFile(dir / "G.xml"), "earlier");

    // A folder in the target's place is never replaced.
    fs::create_directory(dir / "busy.xml");
    writeFile(dir / "busy.xml" / "inside", "x");
    writeFile(dir / "busy.xml.tmp", "new");
    EXPECT_TRUE(base::durable::replace(dir / "busy.xml.tmp", dir / "busy.xml", "combined"));
    EXPECT_EQ(readFile(dir / "busy.xml" / "inside"), "x");
    EXPECT_EQ(readFile(dir / "busy.xml.tmp"), "new");

    EXPECT_TRUE(base::durable::replace(dir / "busy.xml.tmp", dir / "missing" / "G.xml", "combined"));
    EXPECT_EQ(readFile(dir / "busy.xml.tmp"), "new");
}

TEST(DurableFile, MoveKeepsTheFileUnderItsNewName)
{
    TempDir dir;
    writeFile(dir / "G.XLS", "filled");
    EXPECT_FALSE(base::durable::move(dir / "G.XLS", dir / "G-0001.XLS", "move"));
    EXPECT_FALSE(fs::exists(dir / "G.XLS"));
    EXPECT_EQ(readFile(dir / "G-0001.XLS"), "filled");
    EXPECT_TRUE(base::durable::move(dir / "G.XLS", dir / "G-0002.XLS", "move"));
    EXPECT_FALSE(fs::exists(dir / "G-0002.XLS"));
}

TEST(DurableFile, SyncReportsWhatCannotBeOpened)
{
    TempDir dir;
    writeFile(dir / "a", "x");
    EXPECT_FALSE(base::durable::syncFile(dir / "a"));
    EXPECT_FALSE(base::durable::syncFolder(dir.path()));
    EXPECT_TRUE(base::durable::syncFile(dir / "missing"));
    EXPECT_TRUE(base::durable::syncFolder(dir / "a"));  // not a folder
}
