#include "support/test_support.h"
#include "spreadsheet/transport_workbook.h"
#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "spreadsheet/sheet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::shared_ptr<EmbeddedApplication> newApplication()
{
    return std::make_shared<EmbeddedApplication>();
}

TEST(WorkbookFile, SavedWorkbookReadsBackTheSame)
{
    TempDir dir;
    auto path = (dir / "JPK_VAT_2017 05.XLS").string();
    auto first = newApplication();
    buildTransportWorkbook(*first);
    first->activeWorkbookSaveAs(path);
    EXPECT_EQ(first->activeWorkbookName(), "JPK_VAT_2017 05.XLS");

    auto second = newApplication();
    second->workbooksOpen(path);
    EXPECT_EQ(second->activeWorkbookName(), "JPK_VAT_2017 05.XLS");
    ASSERT_EQ(second->sheetsCount(), 3);
    Workbook& a = *first->engine().activeWorkbook();
    Workbook& b = *second->engine().activeWorkbook();
    for (int i = 0; i < 3; ++i) {
        Sheet& sa = a.sheet(i);
        Sheet& sb = b.sheet(i);
        EXPECT_EQ(sa.name(), sb.name());
        EXPECT_EQ(sa.splitRow(), sb.splitRow()) << sa.name();
        for (int r = 1; r <= sa.usedRows(); ++r) {
            EXPECT_EQ(sa.rowHeight(r), sb.rowHeight(r)) << sa.name() << " row " << r;
            for (const Cell& ca : sa.rowCells(r)) {
                if (!ca.hasContent())
                    continue;
                SCOPED_TRACE(sa.name() + " R" + std::to_string(r) + "C" + std::to_string(ca.col));
                EXPECT_EQ(sa.valueText(r, ca.col), sb.valueText(r, ca.col));
                EXPECT_EQ(sa.formulaR1C1(r, ca.col), sb.formulaR1C1(r, ca.col));
                EXPECT_EQ(sa.displayText(r, ca.col), sb.displayText(r, ca.col));
                const Style& xa = a.styles().style(ca.style);
                const Style& xb = b.styles().style(sb.styleAt(r, ca.col));
                EXPECT_EQ(a.styles().format(xa.numberFormat).code(), b.styles().format(xb.numberFormat).code());
                EXPECT_EQ(xa.bold, xb.bold);
                EXPECT_EQ(xa.fontSize, xb.fontSize);
                EXPECT_EQ(xa.align, xb.align);
            }
        }
        for (int c = 1; c <= 80; ++c) {
            double wa = sa.columnWidth(c), wb = sb.columnWidth(c);
            if (wa == 0.14)
                EXPECT_EQ(wb, 0.17) << "column " << c;
            else
                EXPECT_NEAR(wa, wb, 0.005) << sa.name() << " column " << c;
        }
    }
    // The cached results are right: the reader takes them as they are.
    second->sheetsSelect(1);
    EXPECT_EQ(second->cellValue(4, 19), "2001.25");
    EXPECT_EQ(second->cellValue(5, 19), "2006.25");
    EXPECT_EQ(second->cellValue(7, 19), "4007.5");
    EXPECT_EQ(second->cellValue(4, 1), "JPK_VAT_2017 05 it's");
    // And they stay live.
    second->sheetsSelect(3);
    second->setCellValue(2, 19, "1000");
    second->sheetsSelect(1);
    EXPECT_EQ(second->cellValue(5, 19), "2805");
    EXPECT_EQ(second->cellValue(7, 19), "4806.25");
}

TEST(WorkbookFile, AmountColumnTestGivesTheSameAnswerAfterReopening)
{
    TempDir dir;
    auto path = (dir / "G.XLS").string();
    auto app = newApplication();
    buildTransportWorkbook(*app);
    app->sheetsSelect(2);
    std::string before;
    for (int c = 1; c <= 80; ++c)
        before += app->columnWidth(c) > 0.28 ? 'K' : '.';
    app->activeWorkbookSaveAs(path);
    app->activeWorkbookClose();
    app->workbooksOpen(path);
    app->sheetsSelect(2);
    std::string after;
    for (int c = 1; c <= 80; ++c) {
        after += app->columnWidth(c) > 0.28 ? 'K' : '.';
        EXPECT_LE(app->columnWidth(c) > 0.28 ? 0 : app->columnWidth(c), 0.28);
    }
    EXPECT_EQ(before, after);
    EXPECT_EQ(after.substr(0, 6), "K...KK");
    EXPECT_EQ(after[18], 'K');
}

TEST(WorkbookFile, ExtensionDoesNotDecideTheFormat)
{
    TempDir dir;
    auto app = newApplication();
    app->workbooksAdd();
    app->setCellValue(1, 1, "x");
    for (const char* name : {"a.txt", "b", "c.ods"}) {
        app->activeWorkbookSaveAs((dir / name).string());
        auto other = newApplication();
        other->workbooksOpen((dir / name).string());
        EXPECT_EQ(other->cellValue(1, 1), "x") << name;
    }
}

TEST(WorkbookFile, UnreadableFilesRaiseErrorsThatSayWhy)
{
    TempDir dir;
    auto app = newApplication();
    try {
        app->workbooksOpen((dir / "brak.XLS").string());
        FAIL() << "a missing file opened";
    } catch (const AutomationError& e) {
        EXPECT_NE(std::string(e.what()).find("Nie ma pliku"), std::string::npos) << e.what();
    }

    auto good = newApplication();
    good->workbooksAdd();
    for (int r = 1; r <= 200; ++r)
        good->setCellValue(r, 1, "wiersz " + std::to_string(r));
    auto whole = (dir / "whole.XLS").string();
    good->activeWorkbookSaveAs(whole);
    std::string bytes = test::readFile(whole);

    const std::pair<const char*, std::string> bad[] = {
        {"empty.XLS", ""},
        {"text.XLS", "Nie jestem skoroszytem\r\n"},
        {"old.XLS", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')},
        {"half.XLS", bytes.substr(0, bytes.size() / 2)},
        {"zip.XLS", bytes.substr(0, 4) + std::string(100, 'x')},
    };
    for (const auto& [name, content] : bad) {
        test::writeFile(dir / name, content);
        try {
            app->workbooksOpen((dir / name).string());
            FAIL() << name << " opened";
        } catch (const AutomationError& e) {
            std::string what = e.what();
            EXPECT_NE(what.find("nie jest czytelnym skoroszytem"), std::string::npos) << name << ": " << what;
            EXPECT_NE(what.find(name), std::string::npos) << what;
        }
    }
    EXPECT_EQ(app->workbooksCount(), 0);
    fs::create_directory(dir / "folder.XLS");
    EXPECT_THROW(app->workbooksOpen((dir / "folder.XLS").string()), AutomationError);
}

TEST(WorkbookFile, FilesFromOtherSpreadsheetsOpen)
{
    // Shared formulas, rich text, built-in formats, hidden columns, a
    // formula from another workbook and a function the engine lacks.
    auto app = newApplication();
    app->workbooksOpen((test::sourceDir() / "tests/spreadsheet/data/made_elsewhere.xlsx").string());
    Workbook& wb = *app->engine().activeWorkbook();
    EXPECT_EQ(app->activeSheetIndex(), 2);
    app->sheetsSelect(1);
    Sheet& s = wb.sheet(0);
    EXPECT_EQ(app->cellValue(1, 4), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9");
    EXPECT_EQ(s.displayText(1, 3), "2017-05-31");
    EXPECT_EQ(s.displayText(2, 1), "10,00");
    EXPECT_TRUE(wb.styles().style(s.styleAt(2, 1)).bold);
    EXPECT_EQ(wb.styles().style(s.styleAt(2, 1)).fontSize, 8);
    EXPECT_EQ(wb.styles().style(s.styleAt(1, 1)).align, HAlign::Center);
    EXPECT_TRUE(wb.styles().isText(s.styleAt(1, 1)));
    EXPECT_EQ(s.formulaR1C1(3, 2), "=RC[-1]*2");
    EXPECT_EQ(s.formulaR1C1(4, 2), "=RC[-1]*2");
    EXPECT_EQ(app->cellValue(3, 3), "ab") << "cached result of a function the engine lacks";
    EXPECT_EQ(s.formulaR1C1(4, 3), "") << "a formula into another workbook keeps only its value";
    EXPECT_EQ(app->cellValue(4, 3), "5");
    EXPECT_EQ(app->cellValue(4, 4), "TRUE");
    EXPECT_EQ(app->columnWidth(1), 20);
    EXPECT_EQ(app->columnWidth(4), 0) << "hidden";
    EXPECT_EQ(s.rowHeight(2), 30);
    EXPECT_EQ(s.splitRow(), 1);

    app->setCellValue(3, 1, "100");
    EXPECT_EQ(app->cellValue(3, 2), "200");
    EXPECT_EQ(app->cellValue(2, 3), "281");
    app->sheetsSelect(2);
    EXPECT_EQ(app->cellValue(1, 1), "282");
}

TEST(Workbooks, OpeningAnOpenWorkbookActivatesItAndReloadsOnlyUnchangedCopies)
{
    TempDir dir;
    auto path = (dir / "G.XLS").string();
    auto writer = newApplication();
    writer->workbooksAdd();
    writer->setCellValue(1, 1, "pierwsza");
    writer->activeWorkbookSaveAs(path);

    auto app = newApplication();
    app->workbooksOpen(path);
    app->workbooksAdd();
    app->workbooksOpen(path);
    EXPECT_EQ(app->workbooksCount(), 2);
    EXPECT_EQ(app->activeWorkbookName(), "G.XLS");
    EXPECT_EQ(app->cellValue(1, 1), "pierwsza");

    auto rewrite = [&](const char* text) {
        writer->setCellValue(1, 1, text);
        writer->activeWorkbookSaveAs(path);
        fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    };
    rewrite("druga");
    app->workbooksOpen(path);
    EXPECT_EQ(app->cellValue(1, 1), "druga") << "changed file, no edits: read again";
    EXPECT_EQ(app->workbooksCount(), 2);

    app->setCellValue(2, 1, "edycja");
    rewrite("trzecia");
    app->workbooksOpen(path);
    EXPECT_EQ(app->cellValue(1, 1), "druga") << "unsaved edits are kept";
    EXPECT_EQ(app->cellValue(2, 1), "edycja");
}

TEST(Workbooks, TwoOpenWorkbooksNeverShareAName)
{
    TempDir dir;
    fs::create_directory(dir / "inny");
    auto app = newApplication();
    app->workbooksAdd();
    app->activeWorkbookSaveAs((dir / "G.XLS").string());
    app->workbooksAdd();
    app->activeWorkbookSaveAs((dir / "inny" / "H.XLS").string());
    EXPECT_THROW(app->activeWorkbookSaveAs((dir / "g.xls").string()), AutomationError);
    EXPECT_EQ(app->activeWorkbookName(), "H.XLS");
    app->activeWorkbookSaveAs((dir / "inny" / "H.XLS").string());  // itself again
    app->activeWorkbookSaveAs((dir / "inny" / "G2.XLS").string());

    auto other = newApplication();
    other->workbooksAdd();
    other->activeWorkbookSaveAs((dir / "inny" / "G.XLS").string());
    EXPECT_THROW(app->workbooksOpen((dir / "inny" / "G.XLS").string()), AutomationError);
    EXPECT_EQ(app->workbooksCount(), 2);
}

}  // namespace
}  // namespace zbir::workbook
