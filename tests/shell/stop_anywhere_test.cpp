// The exit button pressed after every possible number of status-line
// updates (the only places the window handles events) during a transport
// and during a combined-file build of a small group, until the operation
// runs to its end unstopped. After each: the state byte back to 0, the
// cancel marker in the log when the stop came while the operation ran, the
// workbook and combined file on disk whole (the earlier ones or the new
// complete ones), no partial or temporary file anywhere.

#include "shell/earlier_work.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

constexpr long kGiveUp = 5000;  // status updates: far more than a small group needs

class StopAnywhereTest : public EarlierWorkFixture {
protected:
    // The folder as the earlier work left it.
    void backToEarlierWork()
    {
        closeWorkbooks();
        for (const auto& e : fs::directory_iterator(work()))
            if (e.path().extension() == ".XLS")
                fs::remove_all(e.path());
        writeFile(workbook(), m_workbook);
        fs::remove_all(work() / "TXT");
        fs::create_directory(work() / "TXT");
        for (const auto& [name, bytes] : m_copies)
            writeFile(work() / "TXT" / name, bytes);
        writeFile(combined(), earlierCombined());
    }

    // The earlier combined file, marked: a build in the same second would
    // otherwise write the very same bytes.
    std::string earlierCombined() const { return m_combined + "\r\n<!-- wcze\xC5\x9Bniejszy -->"; }

    // Presses the exit button at the `n`th status-line update from now.
    void stopAt(long n)
    {
        port.events = 0;
        port.escapeArm.clear();
        port.armedAt = -1;
        port.escapeAfter = n;
    }

    bool cancelLogged(std::size_t logBefore) const
    {
        const auto lines = newLogLines(logBefore);
        return std::find(lines.begin(), lines.end(), kCancelLine) != lines.end();
    }

    // Sheet names and A1 of a saved workbook.
    static std::vector<std::string> sheetsOf(const fs::path& path)
    {
        auto wb = workbook::loadWorkbookFile(path);
        std::vector<std::string> names;
        for (int i = 0; i < wb->sheetCount(); ++i)
            names.push_back(wb->sheet(i).name());
        return names;
    }
};

TEST_F(StopAnywhereTest, TransportStoppedAfterEveryStatusUpdate)
{
    earlierWork();
    const std::vector<std::string> complete = sheetsOf(workbook());
    ASSERT_EQ(complete, (std::vector<std::string>{"-SUMA-", "A", "B"}));

    long n = 1;
    for (; n < kGiveUp; ++n) {
        SCOPED_TRACE("stop at status update " + std::to_string(n));
        backToEarlierWork();
        shell::App& a = restart();
        const std::size_t logBefore = logLines().size();
        stopAt(n);
        a.MakeXLS();
        const bool pressed = port.events >= n;

        EXPECT_EQ(a.state, 0);
        EXPECT_EQ(cancelLogged(logBefore), pressed);
        // Either the new workbook is complete under the name and the earlier
        // one went aside whole, or the earlier one keeps the name untouched.
        const bool saved = fs::exists(previous());
        if (saved) {
            EXPECT_EQ(readFile(previous()), m_workbook);
            EXPECT_EQ(sheetsOf(workbook()), complete);
        } else {
            EXPECT_TRUE(pressed);
            EXPECT_EQ(readFile(workbook()), m_workbook);
            EXPECT_NE(a.statusText().find(kGroup + ".XLS bez zmian"), std::string::npos) << a.statusText();
        }
        EXPECT_EQ(a.lastOk(), !pressed || saved);
        EXPECT_EQ(readFile(combined()), earlierCombined());
        // Text copies: the earlier ones, or whole new ones; never a partial one.
        EXPECT_EQ(snapshot(work() / "TXT"), m_copies);
        expectNoLeftovers();
        if (HasFailure() || !pressed)
            break;
    }
    EXPECT_GT(n, 10);  // the run did update the status line as it went
    RecordProperty("transport_stop_points", std::to_string(n - 1));
}

// The exit button pressed while the transport waits for the schema check of
// a file it has scanned (the check runs beside the scan): the file's copy is
// written whole but still under its temporary name. The run ends as at any
// other stop.
TEST_F(StopAnywhereTest, TransportStoppedWhileWaitingForTheCheck)
{
    earlierWork();
    backToEarlierWork();
    shell::App& a = restart();
    const std::size_t logBefore = logLines().size();
    bool pressed = false;
    port.escapeWhen = [&] {
        const fs::path temp = work() / "TXT" / "xx.tmp";
        pressed = fs::exists(temp) && readFile(temp).ends_with("JPK>\r\n");
        return pressed;
    };
    a.MakeXLS();
    port.escapeWhen = nullptr;

    ASSERT_TRUE(pressed);
    EXPECT_EQ(a.state, 0);
    EXPECT_FALSE(a.lastOk());
    EXPECT_TRUE(cancelLogged(logBefore));
    EXPECT_NE(a.statusText().find(kGroup + ".XLS bez zmian"), std::string::npos) << a.statusText();
    EXPECT_EQ(readFile(workbook()), m_workbook);
    EXPECT_FALSE(fs::exists(previous()));
    EXPECT_EQ(readFile(combined()), earlierCombined());
    EXPECT_EQ(snapshot(work() / "TXT"), m_copies);
    expectNoLeftovers();
}

TEST_F(StopAnywhereTest, CombinedFileStoppedAfterEveryStatusUpdate)
{
    earlierWork();
    long n = 1;
    for (; n < kGiveUp; ++n) {
        SCOPED_TRACE("stop at status update " + std::to_string(n));
        backToEarlierWork();
        shell::App& a = restart();
        a.OpenXLS();
        ASSERT_TRUE(a.lastOk()) << a.statusText();
        const std::size_t logBefore = logLines().size();
        stopAt(n);
        a.MakeJPK();
        const bool pressed = port.events >= n;

        EXPECT_EQ(a.state, 0);
        EXPECT_EQ(cancelLogged(logBefore), pressed);
        const std::string written = readFile(combined());
        if (written == earlierCombined()) {
            // Stopped: the earlier combined file stays, no partial one anywhere.
            EXPECT_TRUE(pressed);
            EXPECT_FALSE(a.lastOk());
            EXPECT_EQ(a.statusText(), "Plik wyj\x9C" "ciowy ..\\" + kGroup + ".xml usuni\xEAty");
        } else {
            // The new complete file: built to its end before the press came.
            std::string error;
            EXPECT_TRUE(wellFormedXml(written, &error)) << error;
            // The group's files are JPK_VAT(3): the file is in their form, prefixed.
            EXPECT_NE(written.find("LiczbaWierszySprzedazy>3</"), std::string::npos);
            EXPECT_NE(written.rfind("JPK>"), std::string::npos);
            EXPECT_EQ(written.find_last_not_of("\r\n"), written.rfind("JPK>") + 3);
        }
        EXPECT_EQ(readFile(workbook()), m_workbook);  // the build only reads it
        expectNoLeftovers();
        if (HasFailure() || !pressed)
            break;
    }
    EXPECT_GT(n, 3);
    RecordProperty("jpk_stop_points", std::to_string(n - 1));
}

}  // namespace
}  // namespace zbir::test
