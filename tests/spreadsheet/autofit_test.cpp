#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "spreadsheet/text_metrics.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zbir::workbook {
namespace {

class AutoFit : public ::testing::Test {
protected:
    std::shared_ptr<Application> app = makeEmbeddedProvider()->create();
    void SetUp() override
    {
        app->workbooksAdd();
        app->cellsSelect();
        app->selectionSetNumberFormat("@");
        app->selectionSetFontSize(8);
        app->selectionSetColumnWidth(0.14);
        app->rangeSelect("A1");
    }
};

TEST_F(AutoFit, EmptyColumnsKeepTheirWidthFilledOnesFitTheirWidestText)
{
    app->setCellValue(1, 2, "krotki");
    app->setCellValue(2, 2, "znacznie d\xB3u\xBFszy tekst w tej kolumnie");
    app->setCellValue(3, 4, "x");
    app->cellsAutoFit();
    EXPECT_EQ(app->columnWidth(1), 0.14);
    EXPECT_EQ(app->columnWidth(3), 0.14);
    EXPECT_EQ(app->columnWidth(200), 0.14);
    double wide = app->columnWidth(2);
    EXPECT_GT(wide, 15);
    EXPECT_LT(wide, 40);
    EXPECT_GT(app->columnWidth(4), 0.28) << "any content gives an amount-sized width";
    EXPECT_LT(app->columnWidth(4), 2);
}

TEST_F(AutoFit, WidthFollowsOverwritesAndClearing)
{
    app->setCellValue(1, 2, std::string(40, 'W'));
    app->setCellValue(2, 2, "abc");
    app->cellsAutoFit();
    double wide = app->columnWidth(2);
    app->setCellValue(1, 2, "ab");
    app->cellsAutoFit();
    double narrow = app->columnWidth(2);
    EXPECT_LT(narrow, wide / 4);
    app->rangeSelect("B:B");
    app->selectionClearContents();
    app->cellsAutoFit();
    EXPECT_EQ(app->columnWidth(2), narrow) << "a column emptied keeps its last width";
}

TEST_F(AutoFit, LargerFontAndAmountFormatWidenTheColumn)
{
    app->setCellValue(1, 2, "1234567");
    app->setCellValue(1, 3, "1234567");
    app->setColumnNumberFormat(4, "# ##0,00");
    app->setCellValue(1, 4, "1234567");
    app->rangeSelect("C1");
    app->selectionSetFontSize(16);
    app->cellsAutoFit();
    EXPECT_GT(app->columnWidth(3), app->columnWidth(2) * 1.7);
    EXPECT_GT(app->columnWidth(4), app->columnWidth(2)) << "\"1 234 567,00\" is wider than \"1234567\"";
}

TEST_F(AutoFit, FormulaResultsCountAndFollowTheirInputs)
{
    app->setColumnNumberFormat(5, "# ##0,00");
    app->setCellValue(2, 5, "1");
    app->setCellFormulaR1C1(1, 5, "=SUM(R2C:R3C)");
    app->rangeSelect("E2");
    app->selectionClearContents();
    app->cellsAutoFit();
    double small = app->columnWidth(5);
    EXPECT_GT(small, 0.28);
    app->setCellValue(3, 5, "123456789012");
    app->rangeSelect("E3");
    app->selectionSetNumberFormat("@");
    app->setCellValue(3, 5, "1");
    app->setColumnWidth(5, 0.14);
    app->cellsAutoFit();
    EXPECT_NEAR(app->columnWidth(5), small, 1e-9);
}

TEST(TextMetrics, PixelWidthsRoundTripThroughFiles)
{
    // What files store for a width, and what a spreadsheet reports back.
    EXPECT_EQ(metrics::columnPixels(0.14), 2);
    EXPECT_EQ(metrics::widthOfPixels(2), 0.17);
    EXPECT_EQ(metrics::widthFromFile(0.28515625), 0.17);  // 0.14 as written
    EXPECT_EQ(metrics::widthFromFile(0.29), 0.17);        // and re-saved elsewhere
    EXPECT_EQ(metrics::widthFromFile(20.7109375), 20);
    EXPECT_EQ(metrics::widthFromFile(20.71), 20);
    EXPECT_EQ(metrics::widthFromFile(0), 0);
    for (int px = 1; px < 600; ++px) {
        double w = metrics::widthOfPixels(px);
        EXPECT_EQ(metrics::columnPixels(w), px) << px;
        EXPECT_EQ(metrics::autoFitWidth(px), metrics::widthOfPixels(px + 5));
    }
    EXPECT_EQ(metrics::autoFitWidth(100000), metrics::kMaxColumnWidth);
}

// Widths and font sizes read from files may be anything a double holds: the
// pixels stay within an int and the widths within the sheet's range.
TEST(TextMetrics, ExtremeWidthsAndFontSizesStayInRange)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double w : {428515625.0, 3e9, 1e300, inf})
        EXPECT_EQ(metrics::widthFromFile(w), metrics::kMaxColumnWidth) << w;
    EXPECT_EQ(metrics::widthFromFile(nan), 0);
    EXPECT_EQ(metrics::widthFromFile(-1e300), 0);
    const int widest = metrics::columnPixels(metrics::kMaxColumnWidth);
    EXPECT_EQ(metrics::columnPixels(1e300), widest);
    EXPECT_EQ(metrics::columnPixels(inf), widest);
    EXPECT_EQ(metrics::columnPixels(nan), 0);
    EXPECT_EQ(metrics::widthOfPixels(std::numeric_limits<int>::max()), metrics::kMaxColumnWidth);
    EXPECT_GT(metrics::textPixels("ABC", 1e300), 0);
    EXPECT_EQ(metrics::textPixels("ABC", nan), 0);
    EXPECT_EQ(metrics::autoFitWidth(metrics::textPixels(std::string(1000, 'W'), 1e300)), metrics::kMaxColumnWidth);
}

}  // namespace
}  // namespace zbir::workbook
