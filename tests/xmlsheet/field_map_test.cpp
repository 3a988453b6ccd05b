#include "xmlsheet/field_map.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using zbir::xmlsheet::FieldMap;

TEST(FieldMap, TagsAreCutToThirtyCharacters)
{
    FieldMap map;
    map.add(1, std::string(28, 'A'));  // "<" + 28 + ">" is exactly 30
    map.add(2, std::string(29, 'B'));
    EXPECT_EQ(map.entry(1).tag, "<" + std::string(28, 'A') + ">");
    EXPECT_EQ(map.entry(2).tag, "<" + std::string(29, 'B'));
    EXPECT_EQ(map.findColumnForTag("<" + std::string(28, 'A') + ">"), 1);
    EXPECT_EQ(map.findColumnForTag("<" + std::string(29, 'B') + ">"), 75);
}

TEST(FieldMap, LastMatchWinsByTagAndByColumn)
{
    FieldMap map;
    map.addWithKind(3, "Nazwa", 'K');
    map.add(3, "NazwaKontrahenta");
    map.add(4, "Nazwa");
    EXPECT_EQ(map.count(), 3);
    EXPECT_EQ(map.findColumnForTag("<Nazwa>"), 4);
    EXPECT_EQ(map.findColumnForTag("<NazwaKontrahenta>"), 3);
    // Column 3's last entry has no kind: no amount column.
    ASSERT_NE(map.findEntryForColumn(3), nullptr);
    EXPECT_EQ(map.findEntryForColumn(3), &map.entry(2));
    EXPECT_EQ(map.findEntryForColumn(3)->kind, 0);
    EXPECT_EQ(map.findEntryForColumn(5), nullptr);
}

TEST(FieldMap, TagSearchIsExactAndCaseSensitive)
{
    FieldMap map;
    map.add(7, "DataZakupu");
    EXPECT_EQ(map.findColumnForTag("<datazakupu>"), 75);
    EXPECT_EQ(map.findColumnForTag("DataZakupu"), 75);
    EXPECT_EQ(map.findColumnForTag("<DataZakupu >"), 75);
    EXPECT_EQ(map.findColumnForTag("<DataZakupu>"), 7);
}

TEST(FieldMap, EmptyNameGivesAKindWithoutMappingAnElement)
{
    FieldMap map;
    map.addWithKind(9, "", 'C');
    EXPECT_EQ(map.entry(1).tag, "<>");
    EXPECT_EQ(map.findEntryForColumn(9)->kind, 'C');
}

TEST(FieldMap, EmptyMapSendsEverythingToColumn75)
{
    FieldMap map;
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.findColumnForTag("<K_10>"), 75);
    EXPECT_EQ(map.findEntryForColumn(1), nullptr);
}

TEST(FieldMap, CapacityAndClear)
{
    FieldMap map;
    for (int i = 0; i < FieldMap::kCapacity; ++i)
        map.addWithKind(1 + i % 51, "F" + std::to_string(i), 'K');
    EXPECT_EQ(map.count(), 200);
    EXPECT_THROW(map.add(1, "Over"), std::length_error);
    EXPECT_EQ(map.count(), 200);

    map.findEntryForColumn(10)->filled = 'L';
    map.clear();
    EXPECT_EQ(map.count(), 0);
    for (int i = 1; i <= FieldMap::kCapacity; ++i) {
        const auto& e = map.entry(i);
        EXPECT_TRUE(e.column == 0 && e.tag.empty() && e.kind == 0 && e.filled == 0) << i;
    }
    // A new entry after clear starts without kind or mark.
    map.add(2, "X");
    EXPECT_EQ(map.entry(1).kind, 0);
    EXPECT_EQ(map.entry(1).filled, 0);
}

TEST(FieldMap, ColumnsBeyondTheEnginesOwnAreKeptWholeAndOutOfRangeRefused)
{
    FieldMap map;
    map.addWithKind(109, "B_MPV_PROWIZJA", 'C');
    map.add(255, "Last");
    EXPECT_EQ(map.findColumnForTag("<B_MPV_PROWIZJA>"), 109);
    EXPECT_EQ(map.findColumnForTag("<Last>"), 255);
    EXPECT_THROW(map.add(256, "Wraps"), std::out_of_range);
    EXPECT_THROW(map.add(-1, "Negative"), std::out_of_range);
    EXPECT_EQ(map.count(), 2);
}
