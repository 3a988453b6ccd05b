#pragma once
// A month's earlier work in the folder tree of TransportFixture: the group
// JPK_VAT_2017_05 transported into its workbook and its combined file built,
// with the bytes of what that left. The checks then prove that a later run
// that met bad input, a fault or a stop lost none of it and left nothing
// half-written.

#include "base/winfs.h"
#include "support/fault_support.h"
#include "support/transport_fixture.h"
#include "spreadsheet/automation.h"
#include "xlsx/workbook_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zbir::test {

inline const std::string kGroup = "JPK_VAT_2017_05";
inline const std::string kCancelLine = "    ~~~~~  operacja anulowana  ~~~~~";

class EarlierWorkFixture : public TransportFixture {
protected:
    std::filesystem::path workbook() const { return work() / (kGroup + ".XLS"); }
    std::filesystem::path previous() const { return work() / (kGroup + "-0001.XLS"); }
    std::filesystem::path combined() const { return root / (kGroup + ".xml"); }

    // Two good files transported and the combined file built from them.
    void earlierWork()
    {
        addXml("JPK_VAT_2017_05_A.xml", vatFile({{"100.00", "23.00"}, {"200.50", "46.12"}}));
        addXml("JPK_VAT_2017_05_B.xml", vatFile({{"50", "11.50"}}));
        shell::App& a = start(kGroup);
        a.MakeXLS();
        ASSERT_TRUE(a.lastOk()) << a.statusText();
        a.MakeJPK();
        ASSERT_TRUE(a.lastOk()) << a.statusText();
        m_workbook = readFile(workbook());
        m_combined = readFile(combined());
        m_copies = snapshot(work() / "TXT");
        ASSERT_EQ(m_copies.size(), a.files().size());
        closeWorkbooks();
    }

    // The program as the user starts it again: the spreadsheet with no
    // workbook open, the window listing the group.
    shell::App& restart()
    {
        closeWorkbooks();
        port.statuses.clear();
        return start(kGroup);
    }

    // The text copy of `fileName` in TXT: ".XML" when the transport mended
    // the file, ".TXT" when not.
    std::filesystem::path copyPath(const std::string& fileName) const
    {
        std::string base = base::winfs::upper(fileName);
        base.resize(base.size() - 3);
        const std::filesystem::path mended = work() / "TXT" / (base + "XML");
        return std::filesystem::exists(mended) ? mended : work() / "TXT" / (base + "TXT");
    }

    void closeWorkbooks()
    {
        workbook::Application& x = xl();
        while (x.workbooksCount() > 0)
            x.activeWorkbookClose();
    }

    // Lines the run log gained since `before` lines.
    std::vector<std::string> newLogLines(std::size_t before) const
    {
        std::vector<std::string> all = logLines();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())),
                                        all.end());
    }

    bool logContains(const std::string& part) const
    {
        for (const std::string& l : logLines())
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }

    // Nothing temporary anywhere, and every workbook file whole.
    void expectNoLeftovers() const
    {
        for (const auto& dir : {root.path(), work()}) {
            for (const auto& e : std::filesystem::directory_iterator(dir)) {
                const std::string name = e.path().filename().string();
                EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
            }
        }
        EXPECT_FALSE(std::filesystem::exists(work() / "TXT" / "xx.tmp")) << "the temporary text copy stayed";
        for (const auto& e : std::filesystem::directory_iterator(work())) {
            if (e.path().extension() != ".XLS" || !e.is_regular_file())
                continue;
            try {
                workbook::loadWorkbookFile(e.path());
            } catch (const workbook::AutomationError& err) {
                ADD_FAILURE() << "not a whole workbook: " << e.path() << ": " << err.what();
            }
        }
    }

    // The earlier workbook kept whole under its previous-version name (the
    // transport moves a filled workbook aside before it reads any file), the
    // earlier combined file untouched, earlier copies either untouched or
    // replaced by whole ones.
    void expectEarlierWorkKept(bool workbookMovedAside = true)
    {
        if (workbookMovedAside)
            EXPECT_EQ(readFile(previous()), m_workbook);
        else
            EXPECT_EQ(readFile(workbook()), m_workbook);
        EXPECT_EQ(readFile(combined()), m_combined);
        const auto copies = snapshot(work() / "TXT");
        for (const auto& [name, bytes] : m_copies) {
            auto it = copies.find(name);
            ASSERT_NE(it, copies.end()) << name << " lost";
            if (it->second != bytes) {
                std::string error;
                EXPECT_TRUE(wellFormedXml(it->second, &error)) << name << ": " << error;
            }
        }
        expectNoLeftovers();
    }

    std::string m_workbook;
    std::string m_combined;
    std::map<std::string, std::string> m_copies;
};

}  // namespace zbir::test
