// The cells of worksheet parts as the engine's own reader takes them
// (inline strings, entities, cells without addresses, prefixed elements,
// parts named from the package root), damaged cell data refused, and the
// save's streaming check of the archive it wrote.

#include "support/fault_support.h"
#include "support/test_support.h"
#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "xlsx/workbook_file.h"
#include "xlsx/zip_check.h"

#include <gtest/gtest.h>

#include <string>

namespace zbir::test {
namespace {

using workbook::AutomationError;

const char* const kTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/a.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/worksheets/b.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>";

// A workbook of two sheets, "Pierwszy" from a.xml and "Drugi" from b.xml;
// the workbook's relationships name a.xml from the package root.
std::string twoSheetWorkbook(const std::string& sheetA, const std::string& sheetB)
{
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return storedZip({
        {"[Content_Types].xml", kTypes},
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                        "</Relationships>"},
        {"xl/workbook.xml", "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"" + rel + "\"><x:sheets>"
                            "<x:sheet name=\"Pierwszy\" sheetId=\"1\" r:id=\"rA\"/>"
                            "<x:sheet name=\"Drugi\" sheetId=\"2\" r:id=\"rB\"/></x:sheets></x:workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rB\" Type=\"" + rel + "/worksheet\" Target=\"./worksheets/b.xml\"/>"
         "<Relationship Id=\"rA\" Type=\"" + rel + "/worksheet\" Target=\"/xl/worksheets/a.xml\"/>"
         "</Relationships>"},
        {"xl/worksheets/a.xml", sheetA},
        {"xl/worksheets/b.xml", sheetB},
    });
}

std::string sheet(const std::string& rows, const std::string& prefix = "")
{
    const std::string p = prefix.empty() ? "" : prefix + ":";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + p + "worksheet xmlns" +
           (prefix.empty() ? "" : ":" + prefix) + "=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
           "<" + p + "sheetData>" + rows + "</" + p + "sheetData></" + p + "worksheet>";
}

TEST(SheetData, CellsOfEveryKindReachTheirSheets)
{
    TempDir dir;
    const std::string a = sheet(
        "<row r=\"1\">"
        "<c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> Za&#380;&#xF3;&#322;&#263; &amp; &lt;g&gt; </t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><r><t>bogaty </t></r><r><rPr><b/></rPr><t>tekst</t></r><rPh><t>x</t></rPh></is></c>"
        "<c t=\"inlineStr\"><is><t>0123</t></is></c>"  // C1: no address, a text that looks like a number
        "<c r=\"D1\"><v>2.5E3</v></c><c r=\"E1\" t=\"b\"><v>1</v></c><c r=\"F1\" t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"G1\" t=\"str\"><v><![CDATA[a<b]]></v></c><c r=\"H1\" t=\"d\"><v>2017-05-31T12:00:00</v></c>"
        "</row>"
        "<!-- a comment --><row><c r=\"A2\"><f>D1*2</f><v>5000</v></c></row>"  // row 2 without its number
        "<row r=\"5\" ht=\"30\" customHeight=\"1\"><c r=\"B5\" t=\"inlineStr\"><is><t/></is></c></row>");
    const std::string b = sheet("<x:row r=\"3\"><x:c r=\"C3\" t=\"inlineStr\"><x:is><x:t>drugi</x:t></x:is></x:c>"
                                "<x:c r=\"D3\"><x:f>Pierwszy!D1+1</x:f><x:v>2501</x:v></x:c></x:row>",
                                "x");
    writeFile(dir / "G.XLS", twoSheetWorkbook(a, b));
    auto wb = workbook::loadWorkbookFile(dir / "G.XLS");
    ASSERT_EQ(wb->sheetCount(), 2);
    workbook::Sheet& s = wb->sheet(0);
    EXPECT_EQ(s.name(), "Pierwszy");
    EXPECT_EQ(s.valueText(1, 1), " Za\xBF\xF3\xB3\xE6 & <g> ");
    EXPECT_EQ(s.valueText(1, 2), "bogaty tekst");
    EXPECT_EQ(s.value(1, 3), workbook::CellValue::ofText("0123"));
    EXPECT_EQ(s.value(1, 4), workbook::CellValue::ofNumber(2500));
    EXPECT_EQ(s.value(1, 5), workbook::CellValue::ofBool(true));
    EXPECT_EQ(s.value(1, 6), workbook::CellValue::ofError(workbook::ErrorCode::Div0));
    EXPECT_EQ(s.valueText(1, 7), "a<b");
    EXPECT_EQ(s.value(1, 8), workbook::CellValue::ofNumber(42886.5));
    EXPECT_EQ(s.formulaR1C1(2, 1), "=R[-1]C[3]*2");
    EXPECT_EQ(s.rowHeight(5), 30);
    EXPECT_EQ(wb->sheet(1).valueText(3, 3), "drugi");

    // A formula on the other sheet follows the cell it reads.
    s.setValue(1, 4, "10");
    EXPECT_EQ(s.valueText(2, 1), "20");
    EXPECT_EQ(wb->sheet(1).valueText(3, 4), "11");
}

// Formulas arrive in the order of their cells, not of their dependencies:
// A1 reads B1, a formula after it; D1 reads A1. A change under B1 must
// still reach D1, whose result came from the file.
TEST(SheetData, ChangesReachFormulasReadBeforeWhatTheyDependOn)
{
    TempDir dir;
    const std::string a = sheet("<row r=\"1\"><c r=\"A1\"><f>B1*2</f><v>2</v></c><c r=\"B1\"><f>C1</f><v>1</v></c>"
                                "<c r=\"C1\"><v>1</v></c><c r=\"D1\"><f>A1+1</f><v>3</v></c></row>");
    writeFile(dir / "G.XLS", twoSheetWorkbook(a, sheet("")));
    auto wb = workbook::loadWorkbookFile(dir / "G.XLS");
    workbook::Sheet& s = wb->sheet(0);
    s.setValue(1, 3, "5");
    EXPECT_EQ(s.valueText(1, 4), "11");
}

TEST(SheetData, DamagedCellDataIsRefusedNamingItsPart)
{
    TempDir dir;
    for (const std::string rows : {
             "<row r=\"1\"><c r=\"A1\"><v>1</v></row>",                 // <c> never closed
             "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</is></c></row>",  // <t> closed by </is>
             "<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>",             // a cell outside its row
             "<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>",             // no column
             "<row r=\"0\"/>",                                          // no row 0
             "<row r=\"1\"><c r=\"A1\"><v>x</v></c></row>",             // no number
             "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&bogus;</t></is></c></row>",
             "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&#0;</t></is></c></row>",
             "<row r=\"1\"><c r=\"A1\" s=\"1><v>1</v></c></row>",       // attribute never closed
         }) {
        writeFile(dir / "G.XLS", twoSheetWorkbook(sheet(rows), sheet("")));
        try {
            workbook::loadWorkbookFile(dir / "G.XLS");
            ADD_FAILURE() << rows << " opened";
        } catch (const AutomationError& e) {
            EXPECT_NE(std::string(e.what()).find("xl/worksheets/a.xml"), std::string::npos) << rows << ": "
                                                                                              << e.what();
        }
    }
}

TEST(SheetData, SavedTextsReadBackAsTextsWhateverTheyHold)
{
    TempDir dir;
    workbook::EmbeddedApplication xl;
    xl.workbooksAdd();
    xl.setCellNumberFormat(1, 1, "@");
    const std::string texts[] = {"=A2", "  spacje  ", "<&>\"'", "123", "Ma\xB3\xBF" "e\xF1stwo", "a\tb"};
    for (int c = 1; c <= 6; ++c) {
        xl.setCellNumberFormat(1, c, "@");
        xl.setCellValue(1, c, texts[c - 1]);
    }
    xl.setCellValue(2, 1, "12,5");
    xl.activeWorkbookSaveAs((dir / "G.XLS").string());

    // The sheet holds its texts inline, so the save keeps no table of them.
    const std::string bytes = readFile(dir / "G.XLS");
    EXPECT_EQ(bytes.find("sharedStrings"), std::string::npos);

    workbook::EmbeddedApplication reader;
    reader.workbooksOpen((dir / "G.XLS").string());
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(reader.cellValue(1, c), texts[c - 1]) << c;
    EXPECT_EQ(reader.cellValue(2, 1), "12.5");
}

TEST(ZipCheck, WholeArchivePassesCutOrAlteredOneDoesNot)
{
    TempDir dir;
    workbook::EmbeddedApplication xl;
    xl.workbooksAdd();
    for (int r = 1; r <= 2000; ++r)
        xl.setCellValue(r, 1, "wiersz " + std::to_string(r * 7919 % 10007));
    xl.activeWorkbookSaveAs((dir / "G.XLS").string());
    const std::string real = readFile(dir / "G.XLS");

    auto entries = workbook::checkZipFile(dir / "G.XLS");
    bool sheetSeen = false;
    for (const auto& e : entries) {
        if (e.name != "xl/worksheets/sheet1.xml")
            continue;
        sheetSeen = true;
        EXPECT_GT(e.size, 2 * workbook::CheckedZipEntry::kEdge);
        EXPECT_EQ(e.edges.size(), 2 * workbook::CheckedZipEntry::kEdge);
        EXPECT_TRUE(e.edges.starts_with("<?xml")) << e.edges.substr(0, 40);
        EXPECT_TRUE(e.edges.ends_with("</worksheet>")) << e.edges.substr(e.edges.size() - 40);
    }
    EXPECT_TRUE(sheetSeen);

    for (std::size_t keep : {real.size() - 1, real.size() - 23, real.size() / 2, std::size_t{10}}) {
        writeFile(dir / "cut.XLS", real.substr(0, keep));
        EXPECT_THROW(workbook::checkZipFile(dir / "cut.XLS"), workbook::ZipCheckError) << keep;
    }
    // A byte changed inside the sheet's compressed data: inflating fails or the CRC differs.
    const std::size_t sheetAt = real.find("xl/worksheets/sheet1.xml");
    ASSERT_NE(sheetAt, std::string::npos);
    for (std::size_t offset : {std::size_t{200}, std::size_t{2000}, std::size_t{5000}}) {
        std::string altered = real;
        altered[sheetAt + offset] = static_cast<char>(altered[sheetAt + offset] ^ 0x10);
        writeFile(dir / "altered.XLS", altered);
        EXPECT_THROW(workbook::checkZipFile(dir / "altered.XLS"), workbook::ZipCheckError) << offset;
    }
}

}  // namespace
}  // namespace zbir::test
