// The real program killed with SIGKILL at many points of a transport and of
// a combined-file build: at every step of every file replacement (the crash
// points of base/durable_file.h, in test builds) and at moments spread over
// the run of a larger group. After every kill the earlier workbook and the
// earlier combined file are there byte for byte, or the new ones are whole
// (the workbook opens, the combined file is valid against its schema); what
// is left over is never taken for a result; and the next run works.

#include "base/durable_file.h"
#include "jpkforms/schema_check.h"
#include "spreadsheet/automation.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/workbook.h"
#include "xlsx/workbook_file.h"
#include "support/fault_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

const std::string kGroup = "JPK_VAT_2017_05";
const std::string kCopyTemporary = "xx.tmp";  // xmlsheet::kCopyTemporary, in TXT

// What a run is expected to keep: the files as they were before it.
struct Earlier {
    std::string workbook;  // G.XLS, empty when absent
    bool filled = false;   // its summary sheet holds something: the work to keep
    std::string combined;  // ..\G.xml, empty when absent
    std::map<std::string, std::string> copies;
};

class KillTest : public ::testing::Test {
protected:
    TempDir root;
    fs::path work = root / "praca";

    // The example group, its files repeated `times` over each (1: as they are).
    void SetUp() override { fs::create_directory(work); }

    void group(int times)
    {
        const fs::path examples = sourceDir() / "examples" / "jpk";
        for (const char* name : {"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_05_B.XML"}) {
            std::string text = readFile(examples / name);
            if (times > 1)
                text = repeated(text, times);
            writeFile(root / name, text);
        }
        fs::copy_file(examples / "praca" / "Podmiot1.JPK", work / "Podmiot1.JPK");
    }

    // The file with its record list `times` over.
    static std::string repeated(const std::string& text, int times)
    {
        const std::size_t first = text.find("<SprzedazWiersz");
        const std::size_t last = text.rfind("</ZakupWiersz>");
        if (first == std::string::npos || last == std::string::npos)
            return text;
        const std::size_t end = last + std::string("</ZakupWiersz>").size();
        const std::string records = text.substr(first, end - first);
        std::string out = text.substr(0, end);
        for (int i = 1; i < times; ++i)
            out += "\n  " + records;
        return out + text.substr(end);
    }

    fs::path workbook() const { return work / (kGroup + ".XLS"); }
    fs::path combined() const { return root / (kGroup + ".xml"); }

    Earlier earlier() const
    {
        Earlier e;
        if (fs::exists(workbook())) {
            e.workbook = readFile(workbook());
            try {
                e.filled = !workbook::loadWorkbookFile(workbook())->sheet(0).valueText(1, 1).empty();
            } catch (const workbook::AutomationError&) {
                e.filled = true;  // kept aside unread
            }
        }
        if (fs::exists(combined()))
            e.combined = readFile(combined());
        e.copies = snapshot(work / "TXT");
        return e;
    }

    int run(const std::string& command, const std::string& crashAt = {}, double killAfter = -1)
    {
        std::vector<std::pair<std::string, std::string>> env;
        if (!crashAt.empty())
            env.emplace_back("ZBIR_CRASH_AT", crashAt);
        ZbirProcess p({"-C", work.string(), command, kGroup}, env);
        const int code = killAfter >= 0 ? p.killAfter(killAfter) : p.wait();
        if (code >= 0 && code != 0)
            m_lastOutput = p.output();
        return code;
    }

    // A run to its end that must succeed.
    void cleanRun(const std::string& command)
    {
        ASSERT_EQ(run(command), 0) << command << ": " << m_lastOutput;
        EXPECT_FALSE(fs::exists(work / "TXT" / kCopyTemporary)) << command << " left its temporary text copy";
        if (command == "jpk") {
            const jpkforms::CheckResult check = jpkforms::checkFile(combined());
            EXPECT_EQ(check.verdict, jpkforms::Verdict::Valid)
                << (check.problems.empty() ? "" : check.problems.front().message);
        }
    }

    // What a killed (or finished) run left, against what was there before it.
    void expectNothingLost(const Earlier& before, const std::string& when)
    {
        SCOPED_TRACE(when);
        // The earlier workbook: still G.XLS or moved aside whole. An empty
        // one (the first save of a run that ended there) is the program's
        // own and is used again.
        bool kept = !before.filled;
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(work)) {
            const std::string name = e.path().filename().string();
            names.insert(name);
            if (e.path().extension() != ".XLS")
                continue;
            EXPECT_TRUE(name == kGroup + ".XLS" || name.rfind(kGroup + "-", 0) == 0) << name;
            const std::string bytes = readFile(e.path());
            kept = kept || bytes == before.workbook;
            if (!m_whole.insert(bytes).second)
                continue;  // opened before
            try {
                workbook::loadWorkbookFile(e.path());
            } catch (const workbook::AutomationError& err) {
                ADD_FAILURE() << "not a whole workbook: " << name << ": " << err.what();
                m_whole.erase(bytes);
            }
        }
        EXPECT_TRUE(kept) << "the earlier workbook is gone";

        // The combined file: the earlier one, or a new valid one.
        if (fs::exists(combined())) {
            const std::string now = readFile(combined());
            if (now != before.combined) {
                const jpkforms::CheckResult check = jpkforms::checkFile(combined());
                EXPECT_EQ(check.verdict, jpkforms::Verdict::Valid)
                    << "a new combined file that is not valid: "
                    << (check.problems.empty() ? "" : check.problems.front().message);
            }
        } else {
            EXPECT_TRUE(before.combined.empty()) << "the earlier combined file is gone";
        }

        // Text copies: the earlier ones or whole new ones; copies of files
        // needing no correction (*.TXT) go at the start of every transport.
        // A copy killed while written stays under its temporary name, which
        // is no copy's.
        auto copies = snapshot(work / "TXT");
        copies.erase(kCopyTemporary);
        for (const auto& [name, bytes] : before.copies) {
            if (name == kCopyTemporary)
                continue;
            auto it = copies.find(name);
            if (it == copies.end()) {
                EXPECT_EQ(fs::path(name).extension(), ".TXT") << name << " lost";
                continue;
            }
            std::string error;
            EXPECT_TRUE(it->second == bytes || wellFormedXml(it->second, &error)) << name << ": " << error;
        }
        for (const auto& [name, bytes] : copies) {
            std::string error;
            EXPECT_TRUE(wellFormedXml(bytes, &error)) << name << ": " << error;
        }

        // Nothing left over under a name a later run reads as a result: the
        // parent folder lists the group's files and the combined file only.
        for (const auto& e : fs::directory_iterator(root.path())) {
            const std::string name = e.path().filename().string();
            if (name == "praca" || name.rfind(kGroup + "_", 0) == 0 || name == kGroup + ".xml")
                continue;
            EXPECT_EQ(e.path().extension(), ".tmp") << "left in the parent folder: " << name;
        }
    }

    std::string m_lastOutput;
    std::set<std::string> m_whole;  // workbooks found whole
};

// Every step of every replacement, in the order a run meets them; the run
// after each kill starts from what the kill left.
TEST_F(KillTest, KilledAtEveryStepOfEverySaveLosesNothing)
{
    if (!base::durable::crashPointsBuiltIn())
        GTEST_SKIP() << "this build has no crash points (ZBIR_CRASH_POINTS)";
    group(1);
    cleanRun("transport");
    cleanRun("jpk");

    struct Point {
        std::string command;
        std::string at;
        bool filledFirst;  // the move needs a filled workbook to move aside
    };
    std::vector<Point> points;
    for (const char* step : {"moving", "moved"})
        points.push_back({"transport", std::string("move:") + step, true});
    // The transport saves its workbook once, when complete.
    for (const char* step : {"written", "synced", "renamed", "done"})
        points.push_back({"transport", std::string("workbook:") + step + ":1", false});
    for (const char* step : {"written", "synced", "renamed", "done"})  // the first file's copy
        points.push_back({"transport", std::string("copy:") + step + ":1", false});
    for (const char* step : {"written", "synced", "renamed", "done"})
        points.push_back({"jpk", std::string("combined:") + step, true});

    for (const Point& p : points) {
        if (p.filledFirst) {
            cleanRun("transport");
            if (HasFatalFailure())
                return;
        }
        const Earlier before = earlier();
        EXPECT_EQ(run(p.command, p.at), -SIGKILL) << p.at << " not reached";
        expectNothingLost(before, p.command + " killed at " + p.at);
    }
    // The next runs work: the kills released the folder's lock too.
    cleanRun("transport");
    cleanRun("jpk");
    expectNothingLost(earlier(), "after the kills");
}

// Kills at moments spread over the runs of a group of a few thousand
// records, where most fall inside reading and writing.
TEST_F(KillTest, KilledAtMomentsSpreadOverTheRunLosesNothing)
{
    group(40);
    const auto t0 = std::chrono::steady_clock::now();
    cleanRun("transport");
    const auto t1 = std::chrono::steady_clock::now();
    cleanRun("jpk");
    const auto t2 = std::chrono::steady_clock::now();
    if (HasFatalFailure())
        return;
    const double transport = std::chrono::duration<double>(t1 - t0).count();
    const double jpk = std::chrono::duration<double>(t2 - t1).count();

    int killed = 0;
    constexpr int kTransportKills = 6;
    constexpr int kJpkKills = 4;
    for (int k = 1; k <= kTransportKills; ++k) {
        const Earlier before = earlier();
        const double at = transport * k / (kTransportKills + 1);
        killed += run("transport", {}, at) == -SIGKILL;
        expectNothingLost(before, "transport killed after " + std::to_string(at) + " s");
    }
    cleanRun("transport");
    for (int k = 1; k <= kJpkKills; ++k) {
        const Earlier before = earlier();
        const double at = jpk * k / (kJpkKills + 1);
        killed += run("jpk", {}, at) == -SIGKILL;
        expectNothingLost(before, "jpk killed after " + std::to_string(at) + " s");
    }
    cleanRun("jpk");
    expectNothingLost(earlier(), "after the kills");
    // Most moments fall before the end of a run.
    EXPECT_GE(killed, (kTransportKills + kJpkKills) / 2);
}

}  // namespace
}  // namespace zbir::test
