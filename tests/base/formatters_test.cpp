#include "base/formatters.h"

#include <gtest/gtest.h>

using namespace zbir::base;

TEST(Formatters, IntegerText)
{
    EXPECT_EQ(integerText(0), "0");
    EXPECT_EQ(integerText(-17), "-17");
    EXPECT_EQ(integerText(9007199254740993LL), "9007199254740993");
}

TEST(Formatters, AmountTextDropsTrailingZerosAndPoint)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},         {1234.5, "1234.5"}, {-0.1, "-0.1"},  {12.50, "12.5"},  {3.00, "3"},
        {100, "100"},     {0.05, "0.05"},     {-0.001, "0"},   {-0.004, "0"},    {2.996, "3"},
        {1e12, "1000000000000"}, {-1234.567, "-1234.57"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(amountText(c.value), c.text) << c.value;
}

TEST(Formatters, ColumnLetters)
{
    const struct {
        int column;
        const char* letters;
    } cases[] = {
        {1, "A"}, {26, "Z"}, {27, "AA"}, {52, "AZ"}, {53, "BA"}, {75, "BW"}, {77, "BY"},
        {78, "BZ"}, {79, "CA"}, {255, "IU"}, {0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(columnLetters(c.column), c.letters) << c.column;
}
