// The -SUMA- sheet as a transport leaves it.

#include "support/transport_fixture.h"
#include "transport/summary.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

class SummaryTest : public TransportFixture {
protected:
    // Runs the transport of `group` with call recording on.
    void transport(const std::string& group)
    {
        start(group);
        xl();
        provider->excel->record = true;
        app->MakeXLS();
        ASSERT_TRUE(app->lastOk()) << app->statusText();
        xl().sheetsSelect(1);
    }
    bool called(const std::string& call) { return provider->excel->called(call); }
    std::string cell(int r, int c) { return xl().cellValue(r, c); }
};

// Two JPK_VAT files in which only K_19 and K_20 hold amounts other than 0.
TEST_F(SummaryTest, TwoVatFilesSumK19AndK20Only)
{
    const std::string zeroK21 = "    <tns:K_21>0</tns:K_21>\r\n";
    addXml("JPK_VAT_2017_05_A.xml", vatFile({{"100.00", "23.00"}, {"200.50", "46.12"}}, zeroK21));
    addXml("JPK_VAT_2017_05_B.xml", vatFile({{"0", "5.75"}}, zeroK21));
    transport("JPK_VAT_2017_05");

    EXPECT_EQ(xl().activeSheetName(), "-SUMA-");
    EXPECT_EQ(cell(1, 1), "JPK_VAT_2017_05");
    EXPECT_EQ(cell(4, 1), "JPK_VAT_2017_05_A.XML");
    EXPECT_EQ(cell(5, 1), "JPK_VAT_2017_05_B.XML");
    EXPECT_EQ(cell(1, 19), "K_19");
    EXPECT_EQ(cell(2, 19), "dost.23 %");
    EXPECT_EQ(cell(1, 20), "K_20");
    EXPECT_EQ(cell(2, 20), "ptiu 23 %");
    for (int c = 2; c <= 51; ++c) {
        if (c != 19 && c != 20) {
            EXPECT_EQ(cell(1, c), "") << "column " << c;
        }
    }

    EXPECT_TRUE(called("setCellFormulaR1C1(4,19,='A'!R1C19)"));
    EXPECT_TRUE(called("setCellFormulaR1C1(5,20,='B'!R1C20)"));
    EXPECT_TRUE(called("setCellFormulaR1C1(7,19,=SUM(R4C:R5C))"));
    EXPECT_TRUE(called("setCellNumberFormat(7,20,# ##0,00)"));
    EXPECT_DOUBLE_EQ(number(cell(4, 19)), 300.5);
    EXPECT_DOUBLE_EQ(number(cell(5, 19)), 0);
    EXPECT_DOUBLE_EQ(number(cell(7, 19)), 300.5);
    EXPECT_DOUBLE_EQ(number(cell(7, 20)), 74.87);
    EXPECT_EQ(cell(6, 19), "");

    // A total of 0 in normal weight, the others bold.
    EXPECT_TRUE(called("setCellBold(4,19,1)"));
    EXPECT_TRUE(called("setCellBold(5,19,0)"));
    EXPECT_TRUE(called("setCellBold(5,20,1)"));

    EXPECT_TRUE(called("setRowHorizontalAlignment(1,-4152)"));
    EXPECT_TRUE(called("setRowHorizontalAlignment(2,-4152)"));
    EXPECT_TRUE(called("setCellHorizontalAlignment(1,1,-4131)"));
    EXPECT_TRUE(called("setRowHeight(3,4)"));
    EXPECT_TRUE(called("setRowHeight(6,4)"));
    EXPECT_TRUE(called("setSplitRow(2)"));
    EXPECT_TRUE(logHas("  Podsumowanie stworzonych arkuszy w pierwszym arkuszu o nazwie -SUMA-"));

    // Widths: an amount column is 4 wider than its widest file sheet column
    // when that has content (K_21 holds only its heading), and keeps the
    // placeholder width when it has none (K_10).
    double widest19 = 0, widest21 = 0;
    for (int k = 2; k <= 3; ++k) {
        xl().sheetsSelect(k);
        widest19 = std::max(widest19, xl().columnWidth(19));
        widest21 = std::max(widest21, xl().columnWidth(21));
        EXPECT_NEAR(xl().columnWidth(10), 0.14, 0.01);
    }
    xl().sheetsSelect(1);
    EXPECT_GT(widest21, 0.28);
    EXPECT_NEAR(xl().columnWidth(19), widest19 + 4, 0.01);
    EXPECT_NEAR(xl().columnWidth(21), widest21 + 4, 0.01);
    EXPECT_NEAR(xl().columnWidth(10), 0.14, 0.01);
    EXPECT_EQ(cell(1, 21), "");
}

TEST_F(SummaryTest, LaterFileWithoutAmountsStillGetsTotalsOfMarkedColumns)
{
    addXml("JPK_VAT_2017_05_A.xml", vatFile({{"10", "2.30"}}));
    addXml("JPK_VAT_2017_05_B.xml", vatFile({{"0", "0"}}));
    transport("JPK_VAT_2017_05");
    xl().sheetsSelect(3);
    int totals = 2;
    while (totals < 100 && cell(totals, 1) != "LuKa-Werks")
        ++totals;
    ASSERT_EQ(cell(totals, 1), "LuKa-Werks");
    EXPECT_DOUBLE_EQ(number(cell(totals, 19)), 0);
    EXPECT_DOUBLE_EQ(number(cell(1, 20)), 0);
}

TEST_F(SummaryTest, AccountBooksHaveNoSummedColumns)
{
    addXml("JPK_KR_2017_05_A.xml",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03091/\">\r\n"
           "<ZOiS><KodKonta>100</KodKonta><BilansOtwarciaWinien>12.50</BilansOtwarciaWinien></ZOiS>\r\n"
           "</JPK>\r\n");
    transport("JPK_KR_2017_05_");
    EXPECT_EQ(cell(1, 1), "JPK_KR_2017_05_");
    EXPECT_EQ(cell(4, 1), "JPK_KR_2017_05_A.XML");
    for (int c = 2; c <= 51; ++c) {
        EXPECT_EQ(cell(1, c), "") << "column " << c;
        EXPECT_EQ(cell(4, c), "") << "column " << c;
    }
}

TEST_F(SummaryTest, InvoiceAmountColumnTwelveIsHeadedArt100)
{
    addXml("JPK_FA_2017_05_A.xml",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<JPK>\r\n<Faktura>\r\n<P_1>2017-05-02</P_1>\r\n"
           "<P_2A>FV/1</P_2A>\r\n<P_13_1>81.30</P_13_1>\r\n<P_14_1>18.70</P_14_1>\r\n</Faktura>\r\n"
           "<FakturaCtrl>\r\n<LiczbaFaktur>1</LiczbaFaktur>\r\n</FakturaCtrl>\r\n</JPK>\r\n");
    transport("JPK_FA_2017_05_");
    EXPECT_EQ(cell(1, 12), "K_12");
    EXPECT_EQ(cell(2, 12), "art. 100");
    EXPECT_EQ(cell(1, 13), "K_13");
    EXPECT_EQ(cell(2, 13), "dost.0 %");
    EXPECT_DOUBLE_EQ(number(cell(4, 12)), 81.3);
    EXPECT_DOUBLE_EQ(number(cell(6, 13)), 18.7);
}

TEST_F(SummaryTest, OddFileNamesGetUsableSheetsAndTheirTotals)
{
    // Sorted: the empty name, a duplicate, one too long, an apostrophe, a forbidden character.
    addXml("JPK_VAT_2017_05.OLD.xml", vatFile({{"1", "0"}}));
    addXml("JPK_VAT_2017_05_A.BAK.xml", vatFile({{"2", "0"}}));
    addXml("JPK_VAT_2017_05_A.xml", vatFile({{"4", "0"}}));
    addXml("JPK_VAT_2017_05_" + std::string(40, 'L') + ".xml", vatFile({{"8", "0"}}));
    addXml("JPK_VAT_2017_05_O'K.xml", vatFile({{"16", "0"}}));
    addXml("JPK_VAT_2017_05_[1].xml", vatFile({{"32", "0"}}));
    transport("JPK_VAT_2017_05");

    std::vector<std::string> names;
    for (int i = 1; i <= xl().sheetsCount(); ++i)
        names.push_back(xl().sheetsName(i));
    EXPECT_EQ(names, (std::vector<std::string>{"-SUMA-", "JPK_VAT_2017_05", "A", "A (2)", std::string(31, 'L'),
                                               "O'K", "_1_"}));
    xl().sheetsSelect(1);
    for (int k = 0; k < 6; ++k)
        EXPECT_DOUBLE_EQ(number(cell(4 + k, 19)), double(1 << k)) << "row " << 4 + k;
    EXPECT_DOUBLE_EQ(number(cell(11, 19)), 63);
}

TEST(SummaryText, LabelsAndSheetReferences)
{
    EXPECT_EQ(workbook::shortLabel(43), "nab. \x8C-T");
    EXPECT_EQ(workbook::shortLabel(27), "");
    EXPECT_EQ(workbook::sheetTotalFormula("A", 19), "='A'!R1C19");
    EXPECT_EQ(workbook::sheetTotalFormula("O'K", 5), "='O''K'!R1C5");
}

}  // namespace
}  // namespace zbir::test
