#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zbir::workbook {
namespace {

std::shared_ptr<Application> freshApplication()
{
    auto app = makeEmbeddedProvider()->create();
    app->workbooksAdd();
    return app;
}

TEST(EmbeddedProvider, AttachFindsOnlyAnApplicationThisRunCreated)
{
    auto provider = makeEmbeddedProvider();
    EXPECT_THROW(provider->attach(), AutomationError);
    auto created = provider->create();
    EXPECT_EQ(provider->attach(), created);
    EXPECT_EQ(provider->create(), created) << "one application per run";
    created.reset();
    EXPECT_THROW(provider->attach(), AutomationError) << "released application has quit";
}

TEST(EmbeddedProvider, ProgramProviderIsOneObject)
{
    EXPECT_EQ(embeddedProvider(), embeddedProvider());
}

TEST(Workbooks, AddGivesOneSheetNamedArkusz1AndBecomesActive)
{
    auto app = makeEmbeddedProvider()->create();
    EXPECT_EQ(app->workbooksCount(), 0);
    EXPECT_THROW(app->activeWorkbookName(), AutomationError);
    app->workbooksAdd();
    app->workbooksAdd();
    EXPECT_EQ(app->workbooksCount(), 2);
    EXPECT_EQ(app->activeWorkbookName(), "Zeszyt2");
    EXPECT_EQ(app->sheetsCount(), 1);
    EXPECT_EQ(app->sheetsName(1), "Arkusz1");
    app->activeWorkbookClose();
    EXPECT_EQ(app->activeWorkbookName(), "Zeszyt1");
    app->activeWorkbookClose();
    EXPECT_EQ(app->workbooksCount(), 0);
}

TEST(Sheets, AddAfterInsertsAndActivatesTheNewSheet)
{
    auto app = freshApplication();
    app->sheetsAddAfter(1);
    app->sheetsSetName(2, "drugi");
    app->sheetsAddAfter(1);
    EXPECT_EQ(app->sheetsCount(), 3);
    EXPECT_EQ(app->activeSheetIndex(), 2);
    EXPECT_EQ(app->sheetsName(3), "drugi");
    app->activeSheetSetName("-SUMA-");
    EXPECT_EQ(app->sheetsName(2), "-SUMA-");
    EXPECT_THROW(app->sheetsSelect(4), AutomationError);
    EXPECT_THROW(app->sheetsSelect(0), AutomationError);
}

TEST(Sheets, NamesAreRefusedLikeARealSpreadsheet)
{
    auto app = freshApplication();
    app->sheetsAddAfter(1);
    app->sheetsSetName(2, "Zakupy");
    const std::string refused[] = {
        "", std::string(32, 'x'), "a[b", "a]b", "a:b", "a*b", "a?b", "a/b", "a\\b", "'lead", "trail'",
    };
    for (const auto& name : refused)
        EXPECT_THROW(app->sheetsSetName(2, name), AutomationError) << name;
    app->sheetsSetName(1, "\xB3\xF3" "d\x9F");  // "łódź"
    EXPECT_THROW(app->sheetsSetName(1, "ZAKUPY"), AutomationError) << "another sheet's name in other letter case";
    EXPECT_THROW(app->sheetsSetName(2, "\xA3\xD3" "D\x8F"), AutomationError) << "Polish letters compare without case";
    app->sheetsSetName(2, "ZAKUPY");  // its own name in other letter case
    app->sheetsSetName(2, std::string(31, 'x'));
    app->sheetsSetName(2, "-SUMA- (1)");
    app->activeSheetSetName("-SUMA- (1)");  // its own name again
    EXPECT_EQ(app->sheetsName(2), "-SUMA- (1)");
}

TEST(Sheets, DeletingSelectedSheetNeverRemovesTheLast)
{
    auto app = freshApplication();
    app->sheetsAddAfter(1);
    app->sheetsAddAfter(2);
    app->sheetsSetName(3, "trzeci");
    app->sheetsSelect(2);
    app->selectedSheetsDelete();
    EXPECT_EQ(app->sheetsCount(), 2);
    EXPECT_EQ(app->activeSheetName(), "trzeci");
    app->selectedSheetsDelete();
    EXPECT_EQ(app->activeSheetIndex(), 1);
    EXPECT_THROW(app->selectedSheetsDelete(), AutomationError);
    EXPECT_EQ(app->sheetsCount(), 1);
}

TEST(Cells, TextFormatKeepsTextExactlyOtherFormatsMakeNumbers)
{
    auto app = freshApplication();
    app->setColumnNumberFormat(1, "@");
    struct Case {
        const char* written;
        const char* underText;
        const char* underGeneral;
    } cases[] = {
        {"007", "007", "7"},
        {"1234,50", "1234,50", "1234.5"},
        {"-0,1", "-0,1", "-0.1"},
        {"+12.25", "+12.25", "12.25"},
        {"1e3", "1e3", "1000"},
        {"0", "0", "0"},
        {"-0", "-0", "0"},
        {"1 234,56", "1 234,56", "1 234,56"},
        {"12,", "12,", "12"},
        {",5", ",5", "0.5"},
        {"1,2,3", "1,2,3", "1,2,3"},
        {"BRAK", "BRAK", "BRAK"},
        {"2017-05-31", "2017-05-31", "2017-05-31"},
        {"0.1", "0.1", "0.1"},
        {"123456789012345678", "123456789012345678", "123456789012345680"},
    };
    int row = 1;
    for (const auto& c : cases) {
        app->setCellValue(row, 1, c.written);
        app->setCellValue(row, 2, c.written);
        EXPECT_EQ(app->cellValue(row, 1), c.underText) << c.written;
        EXPECT_EQ(app->cellValue(row, 2), c.underGeneral) << c.written;
        ++row;
    }
    app->setCellValue(1, 2, "");
    EXPECT_EQ(app->cellValue(1, 2), "");
    EXPECT_EQ(app->cellValue(500, 300), "");
    EXPECT_THROW(app->setCellValue(0, 1, "x"), AutomationError);
    EXPECT_THROW(app->setCellValue(1, 16385, "x"), AutomationError);
    EXPECT_THROW(app->setCellValue(1, 1, std::string(32768, 'x')), AutomationError);
}

TEST(Cells, AmountColumnUnderTextSheetTakesNumbers)
{
    // The writer's sheet set-up: every cell text, then one amount column.
    auto app = freshApplication();
    app->cellsSelect();
    app->selectionSetNumberFormat("@");
    app->selectionSetFontSize(8);
    app->selectionSetColumnWidth(0.14);
    app->setColumnNumberFormat(19, "# ##0,00");
    app->setCellValue(5, 19, "1234.5");
    app->setCellValue(5, 18, "1234.5");
    app->setCellValue(6, 19, "BRAK");
    EXPECT_EQ(app->cellValue(5, 19), "1234.5");
    EXPECT_EQ(app->cellValue(5, 18), "1234.5");
    app->setCellFormulaR1C1(7, 19, "=SUM(R2C:R6C)");
    app->setCellFormulaR1C1(7, 18, "=SUM(R2C:R6C)");
    EXPECT_EQ(app->cellValue(7, 19), "1234.5") << "text cells do not count";
    EXPECT_EQ(app->cellValue(7, 18), "0");
}

TEST(Cells, ValueStartingWithEqualsIsAFormulaOnlyOutsideTextFormat)
{
    auto app = freshApplication();
    app->setCellValue(1, 1, "2");
    app->setCellValue(1, 2, "=A1*3");
    EXPECT_EQ(app->cellValue(1, 2), "6");
    app->setCellNumberFormat(1, 3, "@");
    app->setCellValue(1, 3, "=A1*3");
    EXPECT_EQ(app->cellValue(1, 3), "=A1*3");
}

// A row read at once gives what each cell gives alone, whatever the strings held before.
TEST(Cells, RowValuesAreTheCellsValues)
{
    auto app = freshApplication();
    app->setCellValue(2, 2, "tekst d\xB3u\xBFszy ni\xBF pi\xEAtna\x9C" "cie znak\xF3w");
    app->setCellValue(2, 4, "12,5");
    app->setCellValue(2, 5, "=2+3");
    app->setCellFormulaR1C1(2, 7, "=RC[-3]*2");
    app->setCellValue(2, 8, "=1/0");
    app->setCellNumberFormat(2, 9, "0.00");  // formatted, no value
    app->setCellValue(2, 12, "za zakresem");
    app->setCellValue(3, 3, "inny wiersz");
    for (int row : {1, 2, 3, 500}) {
        std::vector<std::string> values(20, "stare warto\x9C" "ci, d\xB3u\xBFsze ni\xBF bufor");
        app->rowValues(row, 2, 11, values);
        ASSERT_EQ(values.size(), 10u);
        for (int col = 2; col <= 11; ++col)
            EXPECT_EQ(values[static_cast<std::size_t>(col - 2)], app->cellValue(row, col)) << row << "," << col;
    }
    std::vector<std::string> values;
    app->rowValues(2, 4, 8, values);
    EXPECT_EQ(values, (std::vector<std::string>{"12.5", "5", "", "25", app->cellValue(2, 8)}));
    EXPECT_THROW(app->rowValues(2, 0, 3, values), AutomationError);
}

TEST(Selection, FormatsFollowTheSelectionMadeJustBefore)
{
    auto app = freshApplication();
    app->setCellValue(2, 2, "5");
    app->rangeSelect("B2:C3");
    app->selectionSetNumberFormat("@");
    app->setCellValue(3, 3, "05");
    app->setCellValue(4, 3, "05");
    EXPECT_EQ(app->cellValue(3, 3), "05");
    EXPECT_EQ(app->cellValue(4, 3), "5");
    EXPECT_EQ(app->cellValue(2, 2), "5") << "formatting keeps a number a number";

    app->rangeSelect("B2");
    app->selectionClearContents();
    EXPECT_EQ(app->cellValue(2, 2), "");
    app->setCellValue(2, 2, "05");
    EXPECT_EQ(app->cellValue(2, 2), "05") << "clearing keeps the format";

    EXPECT_THROW(app->rangeSelect("B0"), AutomationError);
    EXPECT_THROW(app->rangeSelect("XFE1"), AutomationError);
    EXPECT_THROW(app->rangeSelect("A1:"), AutomationError);
    EXPECT_THROW(app->rangeSelect(""), AutomationError);
}

TEST(Selection, ClearContentsOfAllCellsEmptiesEverySheetCell)
{
    auto app = freshApplication();
    for (int r = 1; r <= 20; ++r)
        for (int c = 1; c <= 5; ++c)
            app->setCellValue(r, c, "x" + std::to_string(r * c));
    app->setCellFormulaR1C1(21, 1, "=SUM(R1C:R20C)");
    app->cellsSelect();
    app->selectionClearContents();
    for (int r = 1; r <= 21; ++r)
        for (int c = 1; c <= 5; ++c)
            EXPECT_EQ(app->cellValue(r, c), "");
    app->setCellValue(3, 3, "ok");
    EXPECT_EQ(app->cellValue(3, 3), "ok");
}

TEST(Formats, RowFormatsMeetColumnFormats)
{
    auto app = freshApplication();
    app->setColumnNumberFormat(2, "@");
    app->setRowHorizontalAlignment(1, xl::Right);
    app->setCellValue(1, 2, "007");
    EXPECT_EQ(app->cellValue(1, 2), "007") << "the row's format did not wipe the column's text format";
    app->setCellValue(1, 3, "007");
    EXPECT_EQ(app->cellValue(1, 3), "7");
    EXPECT_THROW(app->setRowHorizontalAlignment(1, 5), AutomationError);
    EXPECT_THROW(app->setCellHorizontalAlignment(1, 1, -1), AutomationError);
}

TEST(Application, PropertiesAreKept)
{
    auto app = makeEmbeddedProvider()->create();
    EXPECT_FALSE(app->visible());
    app->setVisible(true);
    app->setDisplayAlerts(false);
    app->setScreenUpdating(false);
    EXPECT_TRUE(app->visible());
    EXPECT_FALSE(app->displayAlerts());
    EXPECT_FALSE(app->screenUpdating());
    app->setWindowState(xl::Normal);
    app->setTop(120);
    app->setHeight(300);
    EXPECT_EQ(app->top(), 120);
    EXPECT_EQ(app->height(), 300);
    app->setWindowState(xl::Maximized);
    EXPECT_EQ(app->windowState(), xl::Maximized);
    EXPECT_GT(app->height(), 0);
    app->setWindowState(xl::Normal);
    EXPECT_EQ(app->top(), 120);
    EXPECT_THROW(app->setWindowState(7), AutomationError);
}

TEST(Sizes, WidthsHeightsAndSplit)
{
    auto app = freshApplication();
    EXPECT_NEAR(app->columnWidth(3), 8.43, 1e-9);
    app->columnsSelect();
    app->selectionSetColumnWidth(0.14);
    EXPECT_EQ(app->columnWidth(3), 0.14);
    EXPECT_EQ(app->columnWidth(16384), 0.14);
    app->setColumnWidth(3, 12.5);
    EXPECT_EQ(app->columnWidth(3), 12.5);
    app->setColumnsWidth(2);
    EXPECT_EQ(app->columnWidth(3), 2) << "Columns.ColumnWidth sets every column";
    app->rangeSelect("D5:E6");
    app->selectionSetColumnWidth(7);
    EXPECT_EQ(app->columnWidth(4), 7);
    EXPECT_EQ(app->columnWidth(5), 7);
    EXPECT_EQ(app->columnWidth(6), 2);
    EXPECT_THROW(app->setColumnWidth(1, 256), AutomationError);
    EXPECT_THROW(app->setColumnWidth(1, -1), AutomationError);
    EXPECT_THROW(app->columnWidth(0), AutomationError);
    app->setRowHeight(3, 4);
    EXPECT_THROW(app->setRowHeight(3, 410), AutomationError);
    app->setSplitRow(2);
    EXPECT_THROW(app->setSplitRow(-1), AutomationError);
    EXPECT_THROW(app->selectionSetFontSize(0), AutomationError);
}

}  // namespace
}  // namespace zbir::workbook
