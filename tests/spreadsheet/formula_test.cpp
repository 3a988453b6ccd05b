#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "spreadsheet/formula.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zbir::workbook {
namespace {

class Names : public SheetNames {
public:
    std::map<std::string, std::int32_t> ids{{"-SUMA-", 1}, {"JPK_VAT_2017 05", 2}, {"it's", 3}};
    std::optional<std::int32_t> sheetId(std::string_view name) const override
    {
        auto it = ids.find(std::string(name));
        return it == ids.end() ? std::nullopt : std::optional<std::int32_t>(it->second);
    }
    std::string sheetName(std::int32_t id) const override
    {
        for (const auto& [name, i] : ids)
            if (i == id)
                return name;
        return {};
    }
};

TEST(FormulaText, R1C1ReadsAndPrintsBack)
{
    Names names;
    const std::pair<const char*, const char*> cases[] = {
        {"=SUM(R2C:R10C)", "=SUM(R2C:R10C)"},
        {"='-SUMA-'!R1C19", "='-SUMA-'!R1C19"},
        {"='JPK_VAT_2017 05'!R1C19+1", "='JPK_VAT_2017 05'!R1C19+1"},
        {"='it''s'!RC", "='it''s'!RC"},
        {"='it's'!RC", "='it''s'!RC"},
        {"=sum( R[-1]C[2] , 2.5 )", "=SUM(R[-1]C[2],2.5)"},
        {"=(R1C1+R1C2)*-3/4", "=(R1C1+R1C2)*-3/4"},
        {"=SUM(R2:R3)", "=SUM(R2:R3)"},
        {"=SUM(C3:C5)+C", "=SUM(C3:C5)+C"},
        {"=\"a\"\"b\"", "=\"a\"\"b\""},
        {"=ROUND(RC1,2)", "=ROUND(RC1,2)"},
        {"=#REF!+1", "=#REF!+1"},
        {"=TRUE", "=TRUE"},
        {"=1E+21", "=1E+21"},
        {"=unknown!R1C1", "=#REF!"},
    };
    for (const auto& [in, out] : cases) {
        auto tree = parseFormulaR1C1(in, names);
        ASSERT_TRUE(tree) << in;
        EXPECT_EQ(printFormulaR1C1(*tree, names), out) << in;
    }
    for (const char* bad : {"=SUM(R2C:R10C", "=1+", "=\"open", "=R1C1)", "=)", "='-SUMA-'", "=R1048577C1", "=R1C16385"})
        EXPECT_FALSE(parseFormulaR1C1(bad, names)) << bad;
    EXPECT_FALSE(parseFormulaR1C1("=" + std::string(200, '(') + "1" + std::string(200, ')'), names));
}

TEST(FormulaText, A1FormIsRelativeToTheCellAndQuotesEverySheet)
{
    Names names;
    // (row, col) of the formula cell, R1C1 text, A1 text
    struct Case {
        int row, col;
        const char* r1c1;
        const char* a1;
    } cases[] = {
        {11, 19, "=SUM(R2C:R10C)", "SUM(S$2:S$10)"},
        {4, 19, "='-SUMA-'!R1C19", "'-SUMA-'!$S$1"},
        {1, 1, "=R[1]C[1]*2", "B2*2"},
        {5, 27, "=SUM(R2:R3)+SUM(C[-1]:C)", "SUM($2:$3)+SUM(Z:AA)"},
        {1, 1, "=R[-1]C", "#REF!"},
    };
    for (const auto& c : cases) {
        auto tree = parseFormulaR1C1(c.r1c1, names);
        ASSERT_TRUE(tree) << c.r1c1;
        std::string a1 = printFormulaA1(*tree, c.row, c.col, names);
        EXPECT_EQ(a1, c.a1) << c.r1c1;
        if (std::string(c.a1) == "#REF!")
            continue;
        auto back = parseFormulaA1(a1, c.row, c.col, names);
        ASSERT_TRUE(back) << a1;
        EXPECT_EQ(printFormulaR1C1(*back, names), c.r1c1) << a1;
    }
    auto range = parseFormulaA1("SUM($A1:B$2,3:5,'it''s'!XFD1048576)", 10, 10, names);
    ASSERT_TRUE(range);
    EXPECT_EQ(printFormulaR1C1(*range, names), "=SUM(R[-9]C1:R2C[-8],R[-7]:R[-5],'it''s'!R[1048566]C[16374])");
    EXPECT_TRUE(parseFormulaA1("LOG10(A1)", 1, 2, names));
    EXPECT_EQ(printFormulaR1C1(*parseFormulaA1("LOG10(A1)", 1, 2, names), names), "=LOG10(RC[-1])");
}

class FormulaResults : public ::testing::Test {
protected:
    std::shared_ptr<Application> app = makeEmbeddedProvider()->create();
    void SetUp() override { app->workbooksAdd(); }
};

TEST_F(FormulaResults, SumAndArithmeticFollowTheirInputs)
{
    app->setCellValue(2, 3, "10");
    app->setCellValue(3, 3, "2,5");
    app->setCellValue(4, 3, "tekst");
    app->setCellFormulaR1C1(5, 3, "=SUM(R2C:R4C)");
    app->setCellFormulaR1C1(1, 3, "=SUM(R2C:R4C)");
    app->setCellFormulaR1C1(6, 3, "=(R5C*2-R2C/R3C)*-1");
    EXPECT_EQ(app->cellValue(5, 3), "12.5");
    EXPECT_EQ(app->cellValue(6, 3), "-21");
    app->setCellValue(3, 3, "5");
    EXPECT_EQ(app->cellValue(1, 3), "15");
    EXPECT_EQ(app->cellValue(5, 3), "15");
    EXPECT_EQ(app->cellValue(6, 3), "-28");
    app->setCellValue(2, 3, "");
    EXPECT_EQ(app->cellValue(5, 3), "5");
    EXPECT_EQ(app->cellValue(6, 3), "-10");
    app->rangeSelect("C3");
    app->selectionClearContents();
    EXPECT_EQ(app->cellValue(6, 3), "#DIV/0!");
}

TEST_F(FormulaResults, ErrorsInsteadOfWhatTheEngineDoesNotKnow)
{
    app->setCellValue(1, 1, "abc");
    const std::pair<const char*, const char*> cases[] = {
        {"=AVERAGE(R1C1:R2C1)", "#NAME?"},
        {"=R1C1+1", "#VALUE!"},
        {"=2^3", "#VALUE!"},
        {"=\"a\"&\"b\"", "#VALUE!"},
        {"=1/0", "#DIV/0!"},
        {"=R1C1:R2C1", "#VALUE!"},
        {"=SUM(R1C1,\"x\")", "#VALUE!"},
        {"=SUM(R1C1,\"4\",TRUE)", "5"},
        {"=nazwa", "#NAME?"},
        {"=SUM(", "#NAME?"},
        {"=R1C1", "abc"},
        {"=R99C99", "0"},
        {"=1E+308*10", "#NUM!"},
    };
    int row = 2;
    for (const auto& [formula, shown] : cases) {
        app->setCellFormulaR1C1(row, 2, formula);
        EXPECT_EQ(app->cellValue(row, 2), shown) << formula;
        ++row;
    }
}

TEST_F(FormulaResults, CyclesGiveErrorsAndRecoverWhenBroken)
{
    app->setCellFormulaR1C1(1, 1, "=R1C2+1");
    app->setCellFormulaR1C1(1, 2, "=R1C1+1");
    EXPECT_EQ(app->cellValue(1, 1), "#VALUE!");
    EXPECT_EQ(app->cellValue(1, 2), "#VALUE!");
    app->setCellValue(1, 2, "4");
    EXPECT_EQ(app->cellValue(1, 1), "5");
    app->setCellFormulaR1C1(3, 3, "=SUM(R1C3:R5C3)");
    EXPECT_EQ(app->cellValue(3, 3), "#VALUE!") << "a sum over its own cell";
}

TEST_F(FormulaResults, LongChainsAndLongCyclesEvaluateWithoutExhaustingTheStack)
{
    const int n = 2000;
    app->setCellValue(1, 1, "1");
    for (int r = 2; r <= n; ++r)
        app->setCellFormulaR1C1(r, 1, "=R[-1]C+1");
    EXPECT_EQ(app->cellValue(n, 1), std::to_string(n));
    app->setCellValue(1, 1, "10");
    EXPECT_EQ(app->cellValue(n, 1), std::to_string(n + 9));
    app->setCellFormulaR1C1(1, 1, "=R2000C1");
    EXPECT_EQ(app->cellValue(n, 1), "#VALUE!");
    EXPECT_EQ(app->cellValue(1000, 1), "#VALUE!");
}

TEST_F(FormulaResults, SheetReferencesFollowRenamesAndBreakOnDeletes)
{
    app->sheetsSetName(1, "-SUMA-");
    app->sheetsAddAfter(1);
    app->activeSheetSetName("JPK 1");
    app->setCellValue(5, 19, "100");
    app->setCellFormulaR1C1(1, 19, "=SUM(R2C:R9C)");
    app->sheetsSelect(1);
    app->setCellFormulaR1C1(4, 19, "='JPK 1'!R1C19");
    app->setCellFormulaR1C1(5, 19, "=SUM(R4C:R4C)*2");
    EXPECT_EQ(app->cellValue(4, 19), "100");
    EXPECT_EQ(app->cellValue(5, 19), "200");

    app->sheetsSetName(2, "nowa nazwa");
    EXPECT_EQ(app->cellValue(4, 19), "100");
    app->sheetsSelect(2);
    app->setCellValue(6, 19, "23,5");
    app->sheetsSelect(1);
    EXPECT_EQ(app->cellValue(4, 19), "123.5");
    EXPECT_EQ(app->cellValue(5, 19), "247");

    app->sheetsSelect(2);
    app->selectedSheetsDelete();
    EXPECT_EQ(app->cellValue(4, 19), "#REF!");
    EXPECT_EQ(app->cellValue(5, 19), "#REF!");
    app->sheetsAddAfter(1);
    app->activeSheetSetName("nowa nazwa");
    app->sheetsSelect(1);
    EXPECT_EQ(app->cellValue(4, 19), "#REF!") << "a deleted sheet stays lost";
    app->setCellFormulaR1C1(6, 1, "='brak takiego'!R1C1");
    EXPECT_EQ(app->cellValue(6, 1), "#REF!");
}

TEST_F(FormulaResults, OverwritingAFormulaStopsItsUpdates)
{
    app->setCellValue(1, 1, "1");
    app->setCellFormulaR1C1(1, 2, "=RC[-1]*2");
    app->setCellValue(1, 2, "7");
    app->setCellValue(1, 1, "3");
    EXPECT_EQ(app->cellValue(1, 2), "7");
    app->setCellFormulaR1C1(1, 3, "=RC[-1]+RC[-1]");
    EXPECT_EQ(app->cellValue(1, 3), "14");
    app->setCellFormulaR1C1(1, 3, "plain");
    app->setCellValue(1, 2, "8");
    EXPECT_EQ(app->cellValue(1, 3), "plain");
}

}  // namespace
}  // namespace zbir::workbook
