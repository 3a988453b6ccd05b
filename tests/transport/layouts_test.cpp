#include "transport/layouts.h"

#include "jpkforms/forms.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using zbir::workbook::declareLayout;
using zbir::xmlsheet::FieldMap;

namespace {

FieldMap layout(int type)
{
    FieldMap map;
    declareLayout(type, map);
    return map;
}

}  // namespace

TEST(Layouts, JpkVatHas61EntriesWithK39K49K50)
{
    FieldMap map = layout(4);
    ASSERT_EQ(map.count(), 61);  // 22 named, K_10..K_39, K_42..K_50
    for (int n = 10; n <= 50; ++n) {
        std::string tag = "<K_" + std::to_string(n) + ">";
        if (n >= 40 && n <= 41) {
            EXPECT_EQ(map.findColumnForTag(tag), 75) << tag;
            continue;
        }
        EXPECT_EQ(map.findColumnForTag(tag), n) << tag;
        EXPECT_EQ(map.findEntryForColumn(n)->kind, 'K') << tag;
    }
    EXPECT_EQ(map.findEntryForColumn(9), nullptr);
    EXPECT_EQ(map.findEntryForColumn(40), nullptr);
    EXPECT_EQ(map.findEntryForColumn(41), nullptr);
}

TEST(Layouts, JpkVatSalesAndPurchasesShareColumns)
{
    FieldMap map = layout(4);
    EXPECT_EQ(map.findColumnForTag("<NrKontrahenta>"), 2);
    EXPECT_EQ(map.findColumnForTag("<NrDostawcy>"), 2);
    EXPECT_EQ(map.findColumnForTag("<NazwaNabywcy>"), 3);
    EXPECT_EQ(map.findColumnForTag("<DowodZakupu>"), 5);
    EXPECT_EQ(map.findColumnForTag("<DataWplywu>"), 8);
    // Declaration order decides the kind of a shared column.
    EXPECT_EQ(map.findEntryForColumn(1)->tag, "<LpZakupu>");
    EXPECT_EQ(map.findEntryForColumn(1)->kind, 'P');
    EXPECT_EQ(map.findEntryForColumn(7)->tag, "<DataZakupu>");
    EXPECT_EQ(map.findEntryForColumn(7)->kind, 0);
    EXPECT_EQ(map.findEntryForColumn(6)->kind, 'C');
    EXPECT_EQ(map.entry(1).tag, "<LpSprzedazy>");
    EXPECT_EQ(map.entry(22).tag, "<DataWplywu>");
    EXPECT_EQ(map.entry(23).tag, "<K_10>");
}

TEST(Layouts, JpkKrOrderAndColumns)
{
    FieldMap map = layout(1);
    ASSERT_EQ(map.count(), 34);
    EXPECT_EQ(map.entry(1).tag, "<KodKonta>");
    EXPECT_EQ(map.entry(15).tag, "<SaldoMa>");
    EXPECT_EQ(map.entry(16).tag, "<LpZapisuDziennika>");
    EXPECT_EQ(map.entry(26).tag, "<DziennikKwotaOperacji>");
    EXPECT_EQ(map.entry(34).tag, "<OpisZapisuMa>");
    EXPECT_EQ(map.findColumnForTag("<KwotaWinien>"), 5);
    EXPECT_EQ(map.findColumnForTag("<KwotaMa>"), 8);
    EXPECT_EQ(map.findColumnForTag("<DziennikKwotaOperacji>"), 12);
    EXPECT_EQ(map.findEntryForColumn(5)->tag, "<KwotaWinien>");
    for (int i = 1; i <= map.count(); ++i)
        EXPECT_EQ(map.entry(i).kind, 0) << map.entry(i).tag;
}

TEST(Layouts, JpkFaColumnsAndKinds)
{
    FieldMap map = layout(5);
    ASSERT_EQ(map.count(), 51);
    for (int i = 1; i <= 51; ++i)
        EXPECT_EQ(map.entry(i).column, i);
    EXPECT_EQ(map.findColumnForTag("<P_13_1>"), 12);
    EXPECT_EQ(map.findEntryForColumn(12)->kind, 'K');
    EXPECT_EQ(map.findColumnForTag("<P_2A>"), 2);
    EXPECT_EQ(map.findEntryForColumn(2)->kind, 'P');
    EXPECT_EQ(map.findEntryForColumn(41)->kind, 'P');
    EXPECT_EQ(map.findEntryForColumn(51)->tag, "<ZALPodatek>");
    EXPECT_EQ(map.findEntryForColumn(51)->kind, 'K');
    EXPECT_EQ(map.findEntryForColumn(25)->kind, 0);
}

TEST(Layouts, OtherTypesDeclareNothing)
{
    for (int type : {0, 2, 3, 6, 7, 8})
        EXPECT_EQ(layout(type).count(), 0) << type;
}

TEST(Layouts, V7LayoutIsTheUnionOfEveryV7VersionsRecordElements)
{
    FieldMap map;
    zbir::workbook::declareV7Layout(map);
    std::set<std::string> names;
    for (const auto& form : zbir::jpkforms::forms()) {
        if (form.family != zbir::jpkforms::Family::V7)
            continue;
        for (const auto* section : {&form.sales, &form.purchases})
            for (const auto& e : section->elements) {
                names.insert(std::string(e.name));
                const std::string tag = "<" + std::string(e.name) + ">";
                EXPECT_EQ(map.findColumnForTag(tag), e.column) << tag;
            }
    }
    // Each element once; none in the engine's own columns 52..77.
    EXPECT_EQ(map.count(), static_cast<int>(names.size()));
    EXPECT_EQ(map.count(), 89);  // 71 sales, 18 purchases only
    for (int i = 1; i <= map.count(); ++i) {
        const auto& e = map.entry(i);
        EXPECT_TRUE(e.column < 52 || e.column > 77) << e.tag;
    }
    EXPECT_EQ(map.findEntryForColumn(37)->tag, "<K_360>");
    EXPECT_EQ(map.findEntryForColumn(37)->kind, 'K');
    EXPECT_EQ(map.findEntryForColumn(109)->tag, "<B_MPV_PROWIZJA>");
    EXPECT_EQ(map.findEntryForColumn(109)->kind, 'C');
    EXPECT_EQ(map.findColumnForTag("<AdresKontrahenta>"), 75);  // not a V7 element
}
