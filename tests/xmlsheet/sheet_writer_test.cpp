// The worksheet writer fed with scanner items directly, on a real sheet of
// the embedded spreadsheet.

#include "support/transport_fixture.h"
#include "xmlsheet/sheet_writer.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

using namespace xmlsheet;

class SheetWriterTest : public TransportFixture {
protected:
    void SetUp() override
    {
        addXml("JPK_VAT_2017_05_A.xml", "<JPK/>");
        start("JPK_VAT_2017_05");
        xl().workbooksAdd();
        ctx = std::make_unique<TransportContext>(*app, *provider->excel);
        ctx->map.addWithKind(1, "LpSprzedazy", 'P');
        ctx->map.add(3, "NazwaKontrahenta");
        ctx->map.add(5, "DowodSprzedazy");
        ctx->map.addWithKind(6, "DataWystawienia", 'C');
        ctx->map.addWithKind(19, "K_19", 'K');
        ctx->map.addWithKind(20, "K_20", 'K');
        ctx->map.addWithKind(21, "K_21", 'K');
        app->state = 1;
    }
    void TearDown() override
    {
        app->state = 0;
        TransportFixture::TearDown();
    }

    std::string cell(int r, int c) { return xl().cellValue(r, c); }

    static Element field(const std::string& name, const std::string& value, int column, int level = 3)
    {
        return Element{level, "<" + name + ">", "", value, "</" + name + ">", column};
    }

    std::unique_ptr<TransportContext> ctx;
};

TEST_F(SheetWriterTest, RecordListLayout)
{
    SheetWriter w(*ctx, 0);
    w.start();
    EXPECT_EQ(w.sheetName(), "A");
    EXPECT_EQ(xl().activeSheetName(), "A");
    EXPECT_EQ(cell(1, 77), "JPK_VAT_2017_05_A.XML");

    w.declaration({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 19});
    w.opening({1, "<JPK>", "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"", OpeningClass::Root});
    w.opening({2, "<Naglowek>", "", OpeningClass::Other});
    w.element(field("KodFormularza", "JPK_VAT", 75));
    w.closing({2, "</Naglowek>", false});

    w.opening({2, "<SprzedazWiersz>", "typ=\"G\"", OpeningClass::RecordStart});
    w.element(field("LpSprzedazy", "1", 1));
    w.element(field("NazwaKontrahenta", "Firma", 3));
    w.element(field("K_19", "100", 19));
    w.element(field("K_20", "0", 20));
    w.closing({2, "</SprzedazWiersz>", true});

    w.opening({2, "<SprzedazWiersz>", "typ=\"G\"", OpeningClass::RecordRepeat});
    w.element(field("LpSprzedazy", "2", 1));
    w.element(field("Uwagi", "=1+2", 75));        // unmapped: a row of its own, and text
    w.element(field("K_19", "BRAK", 19));         // continues on the new row
    w.element(field("NazwaKontrahenta", "X", 3));
    w.element(field("NazwaKontrahenta", "Y", 3));  // same column: overwrites, headings end
    w.closing({2, "</SprzedazWiersz>", true});

    w.opening({2, "<SprzedazWiersz>", "", OpeningClass::RecordRepeat});
    w.element(field("DowodSprzedazy", "FV/3", 5));
    w.element(field("K_20", "5", 20));
    w.element(field("K_21", "0", 21));
    w.element(field("DataWystawienia", "false", 6));
    w.closing({2, "</SprzedazWiersz>", true});

    w.opening({2, "<SprzedazCtrl>", "", OpeningClass::Control});
    w.element(field("LiczbaWierszySprzedazy", "3", 75));
    w.closing({2, "</SprzedazCtrl>", false});
    w.closing({1, "</JPK>", false});
    w.finish();

    // The declaration took (1, 77) over from the file name.
    EXPECT_EQ(cell(1, 77), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(cell(2, 53), "<JPK>");
    EXPECT_EQ(cell(2, 77), "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"");
    EXPECT_EQ(cell(3, 54), "<Naglowek>");
    EXPECT_EQ(cell(4, 55), "<KodFormularza>");
    EXPECT_EQ(cell(4, 75), "JPK_VAT");
    EXPECT_EQ(cell(5, 54), "</Naglowek>");

    // Row 6: the record-start tag and the headings of the fields written while
    // headings were wanted; "0" heads its column though it is not written.
    EXPECT_EQ(cell(6, 54), "<SprzedazWiersz>");
    EXPECT_EQ(cell(6, 77), "typ=\"G\"");
    EXPECT_EQ(cell(6, 1), "<LpSprzedazy>");
    EXPECT_EQ(cell(6, 3), "<NazwaKontrahenta>");
    EXPECT_EQ(cell(6, 19), "<K_19>");
    EXPECT_EQ(cell(6, 20), "<K_20>");
    EXPECT_EQ(cell(6, 5), "");  // written after the headings ended

    EXPECT_EQ(cell(7, 1), "1");
    EXPECT_EQ(cell(7, 3), "Firma");
    EXPECT_DOUBLE_EQ(std::stod(cell(7, 19)), 100);
    EXPECT_EQ(cell(7, 20), "");

    // Second record: its row 8 holds the number, the unmapped element opened
    // row 9 where the rest of the record went.
    EXPECT_EQ(cell(8, 1), "2");
    EXPECT_EQ(cell(8, 54), "");  // a record repeat writes no structure cell
    EXPECT_EQ(cell(9, 55), "<Uwagi>");
    EXPECT_EQ(cell(9, 75), "=1+2");
    EXPECT_EQ(cell(9, 19), "BRAK");
    EXPECT_EQ(cell(9, 3), "Y");

    EXPECT_EQ(cell(10, 5), "FV/3");
    EXPECT_DOUBLE_EQ(std::stod(cell(10, 20)), 5);
    EXPECT_EQ(cell(10, 21), "");
    EXPECT_EQ(cell(10, 6), "");

    EXPECT_EQ(cell(11, 54), "<SprzedazCtrl>");
    EXPECT_EQ(cell(12, 55), "<LiczbaWierszySprzedazy>");
    EXPECT_EQ(cell(13, 54), "</SprzedazCtrl>");
    EXPECT_EQ(cell(14, 53), "</JPK>");

    // Totals row 15 and row 1: "BRAK" marked K_19, "0" alone left K_21 unmarked.
    EXPECT_EQ(cell(15, 1), "LuKa-Werks");
    EXPECT_DOUBLE_EQ(std::stod(cell(15, 19)), 100);
    EXPECT_DOUBLE_EQ(std::stod(cell(1, 19)), 100);
    EXPECT_DOUBLE_EQ(std::stod(cell(1, 20)), 5);
    EXPECT_EQ(cell(1, 21), "");
    EXPECT_EQ(ctx->map.findEntryForColumn(19)->filled, 'L');
    EXPECT_EQ(ctx->map.findEntryForColumn(21)->filled, 0);
    EXPECT_EQ(w.currentRow(), 15);
}

TEST_F(SheetWriterTest, ValueBeginningWithEqualsNeverBecomesFormula)
{
    SheetWriter w(*ctx, 0);
    w.start();
    w.opening({1, "<JPK>", "", OpeningClass::Root});
    w.opening({2, "<SprzedazWiersz>", "", OpeningClass::RecordStart});
    w.element(field("K_19", "=R1C1*1000", 19));
    w.element(field("NazwaKontrahenta", "=HYPERLINK(\"x\")", 3));
    w.closing({2, "</SprzedazWiersz>", true});
    w.finish();

    EXPECT_EQ(cell(3, 19), "=R1C1*1000");
    EXPECT_EQ(cell(3, 3), "=HYPERLINK(\"x\")");
    EXPECT_EQ(cell(1, 3), "");  // row 1 holds totals only
    EXPECT_DOUBLE_EQ(std::stod(cell(1, 19)), 0);
}

TEST_F(SheetWriterTest, SetUpFormatsColumnsByKindAndEndsWithTotalsAlsoInRowOne)
{
    provider->excel->record = true;
    SheetWriter w(*ctx, 0);
    w.start();
    auto& calls = provider->excel->calls;
    EXPECT_TRUE(provider->excel->called("sheetsAddAfter(1)"));
    EXPECT_TRUE(provider->excel->called("selectionSetNumberFormat(@)"));
    EXPECT_TRUE(provider->excel->called("selectionSetFontSize(8)"));
    EXPECT_TRUE(provider->excel->called("selectionSetColumnWidth(0.14)"));
    EXPECT_TRUE(provider->excel->called("setColumnHorizontalAlignment(1,-4152)"));
    EXPECT_TRUE(provider->excel->called("setColumnHorizontalAlignment(6,-4108)"));
    EXPECT_TRUE(provider->excel->called("setColumnNumberFormat(19,# ##0,00)"));
    EXPECT_FALSE(provider->excel->called("setColumnNumberFormat(3,# ##0,00)"));

    w.opening({1, "<JPK>", "", OpeningClass::Root});
    w.opening({2, "<Naglowek>", "", OpeningClass::Other});
    w.element(field("K_20", "7", 20));
    w.closing({2, "</Naglowek>", false});
    w.closing({1, "</JPK>", false});
    calls.clear();
    w.finish();
    EXPECT_TRUE(provider->excel->called("setCellFormulaR1C1(5,20,=SUM(R2C:R4C))"));
    EXPECT_TRUE(provider->excel->called("setCellFormulaR1C1(1,20,=SUM(R2C:R4C))"));
    EXPECT_TRUE(provider->excel->called("setCellValue(5,1,LuKa-Werks)"));
    EXPECT_DOUBLE_EQ(std::stod(cell(1, 20)), 7);
}

TEST_F(SheetWriterTest, FileWithoutRowsGetsNoBackwardTotals)
{
    ctx->map.findEntryForColumn(19)->filled = 'L';  // marked by an earlier file
    SheetWriter w(*ctx, 0);
    w.start();
    w.finish();
    EXPECT_EQ(cell(1, 1), "LuKa-Werks");
    EXPECT_EQ(cell(1, 19), "");
}

TEST_F(SheetWriterTest, AutoFitOnlyOnEarlyRowsAndFirstRowsOfEachThousand)
{
    SheetWriter w(*ctx, 0);
    w.start();
    provider->excel->record = true;
    for (int r = 1; r <= 2100; ++r)
        w.writeInNewRow(75, "x");
    long fits = 0;
    for (const std::string& c : provider->excel->calls)
        fits += c == "cellsAutoFit()";
    EXPECT_EQ(fits, 499 + 30 + 30);  // rows 1..499, 1000..1029, 2000..2029
}

TEST_F(SheetWriterTest, ExitButtonIsSeenAtColumnOneWrites)
{
    port.escapeAfter = port.events + 4;
    SheetWriter w(*ctx, 0);
    w.start();  // the status line and the set-up: two event rounds
    w.opening({1, "<JPK>", "", OpeningClass::Root});
    w.opening({2, "<SprzedazWiersz>", "", OpeningClass::RecordStart});  // a level-2 opening: the third
    EXPECT_EQ(app->state, 1);
    w.element(field("LpSprzedazy", "1", 1));  // a column-1 write: the fourth
    EXPECT_EQ(app->state, 2);
}

TEST(SheetName, FromFileName)
{
    EXPECT_EQ(sheetNameFor("JPK_VAT_2017_05_A.XML"), "A");
    EXPECT_EQ(sheetNameFor("JPK_VAT_2017_05_KOREKTA.V2.XML"), "KOREKTA");
    EXPECT_EQ(sheetNameFor("JPK_VAT_2017_05.OLD.XML"), "");
    EXPECT_EQ(sheetNameFor("JPK_VAT_2017_051.XML"), "");  // 16 characters
    EXPECT_EQ(sheetNameFor("JPK_VAT_2017_05_" + std::string(120, 'x') + ".XML"), std::string(99, 'x'));
}

TEST(SheetName, ValidityAsTheSpreadsheetSeesIt)
{
    EXPECT_TRUE(isValidSheetName("A"));
    EXPECT_TRUE(isValidSheetName("O'K"));
    EXPECT_TRUE(isValidSheetName(std::string(31, 'x')));
    EXPECT_FALSE(isValidSheetName(""));
    EXPECT_FALSE(isValidSheetName(std::string(32, 'x')));
    EXPECT_FALSE(isValidSheetName("'A"));
    EXPECT_FALSE(isValidSheetName("A'"));
    EXPECT_FALSE(isValidSheetName("[1]"));
    EXPECT_FALSE(isValidSheetName("a/b"));
    EXPECT_FALSE(isValidSheetName("history"));
    EXPECT_TRUE(sameSheetName("\xB3\xF3" "dka", "\xA3\xD3" "DKA"));
    // As the spreadsheet compares names: Š Ť Ž fold too.
    EXPECT_TRUE(sameSheetName("\x8A" "ar\x8D" "a\x8E", "\x9A" "AR\x9D" "A\x9E"));
}

TEST(SheetName, FallbacksAreValidAndDistinct)
{
    EXPECT_EQ(fallbackSheetName("JPK_VAT_2017_05.OLD.XML", 0), "JPK_VAT_2017_05");
    EXPECT_EQ(fallbackSheetName("JPK_VAT_2017_05_[1].XML", 0), "_1_");
    EXPECT_EQ(fallbackSheetName("JPK_VAT_2017_05_A.XML", 1), "A (2)");
    EXPECT_EQ(fallbackSheetName(".XML", 0), "Arkusz");
    const std::string longFile = "JPK_VAT_2017_05_" + std::string(40, 'y') + "'.XML";
    for (int attempt : {0, 1, 12}) {
        const std::string name = fallbackSheetName(longFile, attempt);
        EXPECT_TRUE(isValidSheetName(name)) << name;
    }
    EXPECT_EQ(fallbackSheetName(longFile, 12), std::string(26, 'y') + " (13)");
}

}  // namespace
}  // namespace zbir::test
