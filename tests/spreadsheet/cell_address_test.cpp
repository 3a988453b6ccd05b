#include "spreadsheet/cell_address.h"

#include <gtest/gtest.h>

namespace zbir::workbook {
namespace {

TEST(CellAddress, ColumnLettersAtTheirBoundaries)
{
    const std::pair<int, const char*> cases[] = {{1, "A"},     {26, "Z"},     {27, "AA"},   {52, "AZ"},
                                                 {53, "BA"},   {77, "BY"},    {702, "ZZ"},  {703, "AAA"},
                                                 {16384, "XFD"}};
    for (const auto& [col, letters] : cases) {
        EXPECT_EQ(columnLetters(col), letters);
        EXPECT_EQ(parseColumnLetters(letters), col);
    }
    EXPECT_EQ(parseColumnLetters("xfd"), 16384);
    for (const char* bad : {"", "XFE", "AAAA", "A1", "\xA5"})
        EXPECT_FALSE(parseColumnLetters(bad)) << bad;
}

TEST(CellAddress, AreasInA1Notation)
{
    const std::pair<const char*, CellArea> cases[] = {
        {"A1", CellArea::cell(1, 1)},
        {"$BY$123", CellArea::cell(123, 77)},
        {"C5:A1", CellArea::cells(1, 1, 5, 3)},
        {"B:D", CellArea::columns(2, 4)},
        {"3:3", CellArea::rows(3, 3)},
        {"$2:$4", CellArea::rows(2, 4)},
        {"A:XFD", CellArea::all()},
        {"1:1048576", CellArea::all()},
        {"XFD1048576", CellArea::cell(1048576, 16384)},
    };
    for (const auto& [text, area] : cases) {
        auto parsed = parseA1Area(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(*parsed, area) << text;
    }
    for (const char* bad : {"", "A", "1", "A0", "A1048577", "XFE1", "A1:", ":A1", "A1:B", "A1B2", "$", "A$", "1A",
                            "A1 ", "A:1", "R1C1"})
        EXPECT_FALSE(parseA1Area(bad)) << bad;
}

}  // namespace
}  // namespace zbir::workbook
