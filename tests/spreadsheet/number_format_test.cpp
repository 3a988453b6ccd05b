#include "spreadsheet/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zbir::workbook {
namespace {

TEST(NumberFormat, PolishAmountFormatShowsGroupedTwoDecimals)
{
    NumberFormat amount(localToCanonical("# ##0,00"));
    EXPECT_EQ(amount.code(), "#,##0.00");
    EXPECT_EQ(amount.kind(), NumberFormat::Kind::Number);
    EXPECT_EQ(amount.display(1234.5), "1\xA0" "234,50");
    EXPECT_EQ(amount.display(-1234567.891), "-1\xA0" "234\xA0" "567,89");
    EXPECT_EQ(amount.display(0), "0,00");
    EXPECT_EQ(amount.display(0.005), "0,01");
    EXPECT_EQ(amount.display(999.999), "1\xA0" "000,00");
    EXPECT_EQ(amount.display(1e20), "100\xA0" "000\xA0" "000\xA0" "000\xA0" "000\xA0" "000\xA0" "000,00");
}

TEST(NumberFormat, OtherCodesShowAsASpreadsheetWould)
{
    struct Case {
        const char* code;
        double value;
        const char* shown;
    } cases[] = {
        {"General", 1234.5, "1234,5"},
        {"General", 1.0 / 3, "0,333333333"},
        {"General", 123456789012345.0, "1,23457E+14"},
        {"@", 12, "12"},
        {"0", 2.5, "3"},
        {"0.00%", 0.1234, "12,34%"},
        {"#,##0.00;[Red](#,##0.00)", -5, "(5,00)"},
        {"0.00;-0.00;\"zero\"", 0, "zero"},
        {"0.00E+00", 12345, "1,23E+04"},
        {"#,##0,", 1234567, "1\xA0" "235"},
        {"[$-415]yyyy-mm-dd", 42886, "2017-05-31"},
        {"yyyy-mm-dd hh:mm:ss", 42886.5, "2017-05-31 12:00:00"},
        {"d mmm yyyy", 43000, "22 wrz 2017"},
        {"dd/mm/yy", 1, "01/01/00"},
        {"h:mm AM/PM", 0.75, "6:00 PM"},
        {"[h]:mm", 1.5, "36:00"},
        {"\"Razem: \"0", 7, "Razem: 7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberFormat(c.code).display(c.value), c.shown) << c.code;
    EXPECT_TRUE(NumberFormat("@").isText());
    EXPECT_FALSE(NumberFormat("0;@").isText());
    EXPECT_EQ(NumberFormat("dd.mm.yyyy").kind(), NumberFormat::Kind::Date);
    EXPECT_EQ(localToCanonical("Standardowy"), "General");
    EXPECT_EQ(localToCanonical("0,00\" z\xB3\""), "0.00\" z\xB3\"");
}

TEST(NumberFormat, BuiltinIds)
{
    EXPECT_EQ(builtinFormatCode(4), "#,##0.00");
    EXPECT_EQ(builtinFormatCode(49), "@");
    EXPECT_EQ(builtinFormatCode(14), "yyyy-mm-dd");
    EXPECT_EQ(builtinFormatCode(163), "");
    EXPECT_EQ(portableBuiltinFormatId("#,##0.00"), 4);
    EXPECT_EQ(portableBuiltinFormatId("@"), 49);
    EXPECT_EQ(portableBuiltinFormatId("yyyy-mm-dd"), -1) << "date built-ins differ by locale";
}

TEST(NumberText, ParsingAcceptsPointOrCommaAndNothingElse)
{
    double v = 0;
    EXPECT_TRUE(parseNumber("1234,56", v));
    EXPECT_EQ(v, 1234.56);
    EXPECT_TRUE(parseNumber("-0.5", v));
    EXPECT_EQ(v, -0.5);
    EXPECT_TRUE(parseNumber("2E-3", v));
    EXPECT_EQ(v, 0.002);
    for (const char* no : {"", "-", "+", ".", ",", "1e", "1 000", "1,000.5", "12a", " 1", "1 ", "0x10", "inf", "nan",
                           "1e400", "--1"})
        EXPECT_FALSE(parseNumber(no, v)) << no;
}

TEST(NumberText, ShortestTextReadsBackExactly)
{
    EXPECT_EQ(shortestNumberText(1234.5), "1234.5");
    EXPECT_EQ(shortestNumberText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(shortestNumberText(-0.0), "0");
    EXPECT_EQ(shortestNumberText(1e21), "1e+21");
    for (double v : {0.1, 1.0 / 3, 123456.789, -9.87e-12, std::numeric_limits<double>::max()}) {
        double back = 0;
        ASSERT_TRUE(parseNumber(shortestNumberText(v), back)) << v;
        EXPECT_EQ(back, v);
    }
}

}  // namespace
}  // namespace zbir::workbook
