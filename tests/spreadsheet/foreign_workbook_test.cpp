// Workbook files written by other programs: strings stored in their cells
// instead of a shared-string table, part targets given from the package
// root. Made from our own files by tests/spreadsheet/data/foreign_form.py.

#include "support/test_support.h"
#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/transport_workbook.h"
#include "xlsx/workbook_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string quoted(const fs::path& p)
{
    std::string out = "'";
    for (char c : p.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void foreignForm(const fs::path& in, const fs::path& out, const std::string& modes)
{
    const fs::path script = test::sourceDir() / "tests" / "spreadsheet" / "data" / "foreign_form.py";
    std::string output;
    ASSERT_EQ(test::runCommand("python3 " + quoted(script) + " " + quoted(in) + " " + quoted(out) + " " + modes,
                               &output),
              0)
        << output;
}

class ForeignWorkbook : public ::testing::Test {
protected:
    ForeignWorkbook()
    {
        auto app = std::make_shared<EmbeddedApplication>();
        buildTransportWorkbook(*app);
        app->sheetsSelect(2);
        app->setCellValue(30, 3, "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 & <tag> \"cytat\"");
        app->setCellValue(31, 3, "  spacje  ");
        app->activeWorkbookSaveAs(ours.string());
        original = loadWorkbookFile(ours);
    }

    // Every sheet of `other` holds what the original holds, cell for cell.
    void expectSameCells(Workbook& other) const
    {
        ASSERT_EQ(other.sheetCount(), original->sheetCount());
        for (int i = 0; i < original->sheetCount(); ++i) {
            Sheet& a = original->sheet(i);
            Sheet& b = other.sheet(i);
            EXPECT_EQ(a.name(), b.name());
            ASSERT_EQ(a.usedRows(), b.usedRows()) << a.name();
            for (int r = 1; r <= a.usedRows(); ++r)
                for (const Cell& c : a.rowCells(r))
                    EXPECT_EQ(a.valueText(r, c.col), b.valueText(r, c.col))
                        << a.name() << " R" << r << "C" << c.col;
        }
    }

    TempDir dir;
    fs::path ours = dir / "ours.XLS";
    std::unique_ptr<Workbook> original;
};

TEST_F(ForeignWorkbook, InlineStringsAndRootBasedTargetsReadAsOurOwn)
{
    // Our own files hold their strings inline; other programs mostly share them.
    for (const char* modes : {"shared", "inline", "absolute", "shared absolute", "shared absolute deflate",
                              "shared inline absolute deflate"}) {
        SCOPED_TRACE(modes);
        const fs::path theirs = dir / "theirs.XLS";
        foreignForm(ours, theirs, modes);
        std::unique_ptr<Workbook> read;
        try {
            read = loadWorkbookFile(theirs);
        } catch (const AutomationError& e) {
            FAIL() << e.what();
        }
        expectSameCells(*read);
        EXPECT_EQ(read->sheet(1).valueText(30, 3), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 & <tag> \"cytat\"");
        EXPECT_EQ(read->sheet(1).valueText(31, 3), "  spacje  ");
    }
}

TEST_F(ForeignWorkbook, AValueTheSheetRefusesIsNamedWithItsSheetAndCell)
{
    auto app = std::make_shared<EmbeddedApplication>();
    buildTransportWorkbook(*app);
    app->sheetsSelect(2);
    const std::string sheet = app->sheetsName(2);
    app->setCellValue(7, 2, "dlugi");
    app->activeWorkbookSaveAs(ours.string());
    const fs::path theirs = dir / "theirs.XLS";
    foreignForm(ours, theirs, "inline long");
    try {
        loadWorkbookFile(theirs);
        ADD_FAILURE() << "a cell of 40,000 characters was taken";
    } catch (const AutomationError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("theirs.XLS"), std::string::npos) << what;
        EXPECT_NE(what.find("arkusz " + sheet + ", kom\xF3rka B7: Tekst d\xB3u\xBFszy ni\xBF 32767 znak\xF3w"),
                  std::string::npos)
            << what;
    }
}

}  // namespace
}  // namespace zbir::workbook
