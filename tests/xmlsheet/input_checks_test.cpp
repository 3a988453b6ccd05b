// The schema checks of a group's files on their own thread: a result for
// every file in its order, and a stop that ends a check still running.

#include "support/test_support.h"
#include "xmlsheet/input_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace zbir::test {
namespace {

using jpkforms::Verdict;
using xmlsheet::InputChecks;

// A generated JPK_VAT group of `files` files of `records` records in `dir`.
std::vector<std::filesystem::path> generatedGroup(const TempDir& dir, int files, int records)
{
    const std::filesystem::path generator = sourceDir() / "bench" / "make_jpk_vat_group.py";
    std::string out;
    EXPECT_EQ(runCommand("python3 '" + generator.string() + "' '" + dir.path().string() + "' JPK_VAT_2017_05 " +
                             std::to_string(files) + " " + std::to_string(records),
                         &out),
              0)
        << out;
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i <= files; ++i) {
        std::string n = std::to_string(i);
        paths.push_back(dir / ("JPK_VAT_2017_05_" + std::string(2 - n.size(), '0') + n + ".xml"));
        EXPECT_TRUE(std::filesystem::exists(paths.back())) << paths.back();
    }
    return paths;
}

TEST(InputChecks, EveryFileInItsOrder)
{
    TempDir dir;
    std::vector<std::filesystem::path> files = generatedGroup(dir, 2, 20);
    std::string broken = readFile(files[1]);
    broken.resize(broken.size() / 2);
    writeFile(dir / "broken.xml", broken);
    files.insert(files.begin() + 1, dir / "broken.xml");
    files.push_back(dir / "missing.xml");

    int asked = 0;
    InputChecks checks(files);
    const auto never = [&] { ++asked; return false; };
    const jpkforms::CheckResult first = checks.wait(0, never);
    const jpkforms::CheckResult cut = checks.wait(1, never);
    const jpkforms::CheckResult second = checks.wait(2, never);
    const jpkforms::CheckResult missing = checks.wait(3, never);
    EXPECT_EQ(first.verdict, Verdict::Valid);
    EXPECT_TRUE(first.problems.empty());
    EXPECT_EQ(cut.verdict, Verdict::Invalid);
    EXPECT_FALSE(cut.problems.empty());
    EXPECT_EQ(second.verdict, Verdict::Valid);
    EXPECT_EQ(missing.verdict, Verdict::Invalid);
    ASSERT_FALSE(missing.problems.empty());
    EXPECT_NE(missing.problems.front().message.find("missing.xml"), std::string::npos);
    EXPECT_GE(asked, 4);  // asked at least once for every file
}

// The stop asked for on the second round of waiting, while the check of a
// file of several megabytes runs: that check and the ones after it end
// without a verdict, and the thread is given back at once.
TEST(InputChecks, StopEndsTheRunningCheck)
{
    TempDir dir;
    const std::vector<std::filesystem::path> files = generatedGroup(dir, 2, 40000);
    ASSERT_GT(std::filesystem::file_size(files[0]), 10u << 20);
    InputChecks checks(files);
    int asked = 0;
    const jpkforms::CheckResult r = checks.wait(0, [&] { return ++asked == 2; });
    EXPECT_EQ(r.verdict, Verdict::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(checks.wait(1, [] { return false; }).verdict, Verdict::Stopped);
}

}  // namespace
}  // namespace zbir::test
