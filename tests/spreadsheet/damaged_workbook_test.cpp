// Workbook files that are damaged, truncated or something else entirely:
// opening them is refused with a message naming the file, never a crash and
// never an exception of another kind (the transport and "Wczytaj gotowy XLS"
// catch only the spreadsheet's own errors).

#include "support/fault_support.h"
#include "support/test_support.h"
#include "spreadsheet/automation.h"
#include "spreadsheet/zip_parts.h"
#include "engine/embedded_application.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"
#include "xlsx/workbook_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

const char* const kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";

// The message a refused file gives; fails the test when the file opens or
// something else than the spreadsheet's error comes out.
std::string refusal(const fs::path& file)
{
    try {
        workbook::loadWorkbookFile(file);
    } catch (const workbook::AutomationError& e) {
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not the spreadsheet's error: " << e.what();
        return {};
    }
    ADD_FAILURE() << file << " opened";
    return {};
}

// A real workbook as the engine saves it.
std::string savedWorkbook(const TempDir& dir)
{
    workbook::EmbeddedApplication xl;
    xl.workbooksAdd();
    for (int row = 1; row <= 200; ++row)
        xl.setCellValue(row, 1, "wiersz " + std::to_string(row));
    xl.activeWorkbookSaveAs((dir / "real.XLS").string());
    return readFile(dir / "real.XLS");
}

// Found by fuzzing: orcus's parser read past the end of a part that ends
// inside an attribute value holding a reference, and crashed.
TEST(DamagedWorkbook, PartEndingInsideAnAttributeValueIsRefused)
{
    TempDir dir;
    writeFile(dir / "G.XLS", storedZip({{"[Content_Types].xml", kContentTypes},
                                        {"_rels/.rels", "<?l e=\"\"?>s s=\"\"><p d=\"\"e=\"&V;"}}));
    const std::string message = refusal(dir / "G.XLS");
    EXPECT_NE(message.find("G.XLS"), std::string::npos) << message;
    EXPECT_NE(message.find("_rels/.rels"), std::string::npos) << message;
}

// Found by fuzzing: the format detection's parse error escaped as an orcus
// exception instead of the spreadsheet's refusal.
TEST(DamagedWorkbook, MalformedContentTypesIsRefused)
{
    TempDir dir;
    writeFile(dir / "G.XLS", storedZip({{"[Content_Types].xml", "<Types><Override B34/></Types>"}}));
    EXPECT_NE(refusal(dir / "G.XLS").find("[Content_Types].xml"), std::string::npos);
}

// Found by fuzzing: a central directory entry claiming a part of 772 MB in a
// file of 30 KB made orcus set aside that much memory before reading it.
TEST(DamagedWorkbook, ImpossibleEntrySizeIsRefusedBeforeAnyIsSetAside)
{
    TempDir dir;
    std::string zip = storedZip({{"[Content_Types].xml", kContentTypes}, {"xl/workbook.xml", "<workbook/>"}});
    const std::size_t central = zip.find("PK\x01\x02", 0);
    ASSERT_NE(central, std::string::npos);
    const std::size_t second = zip.find("PK\x01\x02", central + 4);  // xl/workbook.xml
    ASSERT_NE(second, std::string::npos);
    for (std::size_t field : {second + 20, second + 24})  // compressed, then uncompressed size
        zip.replace(field, 4, std::string("\x00\x00\x04\x2E", 4));
    writeFile(dir / "G.XLS", zip);
    EXPECT_NE(refusal(dir / "G.XLS").find("xl/workbook.xml"), std::string::npos);
}

// Found by the fuzzing campaign: a compressed size of FF FF FF FF (the Zip64
// marker, with no Zip64 field behind it) passed the size check and orcus
// set aside 4 GB for it.
TEST(DamagedWorkbook, Zip64MarkerSizeIsRefusedBeforeAnyIsSetAside)
{
    TempDir dir;
    std::string zip = storedZip({{"[Content_Types].xml", kContentTypes}, {"xl/workbook.xml", "<workbook/>"}});
    const std::size_t central = zip.find("PK\x01\x02", 0);
    ASSERT_NE(central, std::string::npos);
    for (std::size_t field : {central + 20, central + 24}) {  // compressed, then uncompressed size
        std::string damaged = zip;
        damaged.replace(field, 4, std::string("\xFF\xFF\xFF\xFF", 4));
        writeFile(dir / "G.XLS", damaged);
        EXPECT_NE(refusal(dir / "G.XLS").find("[Content_Types].xml"), std::string::npos) << field;
    }
    // The campaign's input: a transported workbook with that marker on _rels/.rels.
    EXPECT_NE(refusal(sourceDir() / "fuzz/corpus/workbook_open/finding-zip64-marker-size").find("_rels/.rels"),
              std::string::npos);
}

TEST(DamagedWorkbook, EmptyJunkTruncatedAndFolderAreRefused)
{
    TempDir dir;
    const std::string real = savedWorkbook(dir);
    ASSERT_GT(real.size(), 1000u);

    writeFile(dir / "empty.XLS", "");
    EXPECT_NE(refusal(dir / "empty.XLS").find("pusty plik"), std::string::npos);

    std::string junk;
    for (int i = 0; i < 5000; ++i)
        junk += static_cast<char>((i * 7919) % 251);
    writeFile(dir / "junk.XLS", junk);
    EXPECT_NE(refusal(dir / "junk.XLS").find("Office Open XML"), std::string::npos);

    // A save cut short by a full disk or a lost connection.
    for (std::size_t keep : {real.size() / 2, real.size() - 30, std::size_t{40}}) {
        writeFile(dir / "cut.XLS", real.substr(0, keep));
        EXPECT_NE(refusal(dir / "cut.XLS").find("cut.XLS"), std::string::npos) << keep;
    }

    // Every byte of the middle flipped in turn would take long; a stride does.
    for (std::size_t at = 100; at < real.size(); at += real.size() / 40) {
        std::string damaged = real;
        damaged[at] = static_cast<char>(~damaged[at]);
        writeFile(dir / "flip.XLS", damaged);
        try {
            workbook::loadWorkbookFile(dir / "flip.XLS");  // a flip in padding may go unnoticed
        } catch (const workbook::AutomationError&) {
        }
    }

    fs::create_directory(dir / "folder.XLS");
    EXPECT_NE(refusal(dir / "folder.XLS").find("folderem"), std::string::npos);
}

// Found by fuzzing: a column width of 428515625 characters (about 3e9 pixels)
// overflowed int on its way to pixels. Widths beyond the widest column a
// sheet allows open as that widest column, and save so.
TEST(DamagedWorkbook, ColumnWidthBeyondTheSheetsRangeOpensAsTheWidest)
{
    TempDir dir;
    workbook::EmbeddedApplication xl;
    xl.workbooksOpen((sourceDir() / "tests/spreadsheet/data/findings/column-width-overflow.xlsx").string());
    xl.sheetsSelect(2);
    EXPECT_EQ(xl.columnWidth(76), workbook::metrics::kMaxColumnWidth);
    EXPECT_EQ(xl.columnWidth(75), 25.57);  // its neighbour as before
    xl.activeWorkbookSaveAs((dir / "again.XLS").string());
    auto again = workbook::loadWorkbookFile(dir / "again.XLS");
    EXPECT_EQ(again->sheet(1).columnWidth(76), workbook::metrics::kMaxColumnWidth);
}

// Every length a file gives that becomes a whole number (column widths,
// frozen rows, a time of day) is kept within the sheet's range: huge,
// infinite and NaN values open without undefined behaviour.
TEST(DamagedWorkbook, HugeLengthsAndTimesOpenWithinTheSheetsRange)
{
    TempDir dir;
    const std::string real = savedWorkbook(dir);
    std::vector<std::pair<std::string, std::string>> parts = partsOf(real);
    for (auto& [name, part] : parts) {
        if (name == "xl/worksheets/sheet1.xml")
            part = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                   "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                   "<sheetViews><sheetView workbookViewId=\"0\">"
                   "<pane ySplit=\"1e300\" topLeftCell=\"A3\" activePane=\"bottomLeft\"/></sheetView></sheetViews>"
                   "<cols><col min=\"1\" max=\"1\" width=\"1e300\" customWidth=\"1\"/>"
                   "<col min=\"2\" max=\"2\" width=\"INF\" customWidth=\"1\"/>"
                   "<col min=\"3\" max=\"3\" width=\"NaN\" customWidth=\"1\"/>"
                   "<col min=\"4\" max=\"4\" width=\"3000000000\" customWidth=\"1\"/>"
                   "<col min=\"5\" max=\"5\" width=\"-1e300\" customWidth=\"1\"/></cols>"
                   "<sheetData><row r=\"1\"><c r=\"A1\" t=\"d\"><v>2017-05-01T2147483647:00:00</v></c>"
                   "<c r=\"B1\"><v>7</v></c></row></sheetData></worksheet>";
    }
    writeFile(dir / "huge.XLS", storedZip(parts));
    auto wb = workbook::loadWorkbookFile(dir / "huge.XLS");
    workbook::Sheet& sheet = wb->sheet(0);
    EXPECT_EQ(sheet.columnWidth(1), workbook::metrics::kMaxColumnWidth);
    EXPECT_EQ(sheet.columnWidth(4), workbook::metrics::kMaxColumnWidth);
    EXPECT_LE(sheet.columnWidth(2), workbook::metrics::kMaxColumnWidth);
    EXPECT_GE(sheet.columnWidth(3), 0);
    EXPECT_GE(sheet.columnWidth(5), 0);
    EXPECT_EQ(sheet.valueText(1, 2), "7");
}

// A compressed sheet is opened by its beginning for everything but its
// cells, then inflated whole once for them: damage after the cells, or
// cells cut short, is still refused naming the part.
TEST(DamagedWorkbook, CompressedSheetsDamagedAnywhereAreRefused)
{
    TempDir dir;
    const auto parts = partsOf(savedWorkbook(dir));
    auto withSheet = [&](const std::string& sheet) {
        auto changed = parts;
        for (auto& [name, part] : changed)
            if (name == "xl/worksheets/sheet1.xml")
                part = sheet;
        return deflatedZip(changed);
    };
    std::string sheet;
    for (const auto& [name, part] : parts)
        if (name == "xl/worksheets/sheet1.xml")
            sheet = part;
    const std::size_t dataEnd = sheet.find("</sheetData>");
    ASSERT_NE(dataEnd, std::string::npos);

    writeFile(dir / "whole.XLS", withSheet(sheet));
    EXPECT_EQ(workbook::loadWorkbookFile(dir / "whole.XLS")->sheet(0).valueText(200, 1), "wiersz 200");
    const std::string damaged[] = {
        sheet.substr(0, dataEnd),                                               // cells cut short
        sheet.substr(0, dataEnd + 12) + "<pageMargins left=\"0.7",               // cut after the cells
        sheet.substr(0, dataEnd + 12) + "<pageMargins/></worksheet></worksheet>",  // more than one root
    };
    for (const std::string& part : damaged) {
        writeFile(dir / "damaged.XLS", withSheet(part));
        EXPECT_NE(refusal(dir / "damaged.XLS").find("xl/worksheets/sheet1.xml"), std::string::npos)
            << part.substr(part.size() - 40);
    }
}

TEST(DamagedWorkbook, IntactPartsPassTheCheckStoredOrCompressed)
{
    TempDir dir;
    const std::string real = savedWorkbook(dir);
    writeFile(dir / "stored.XLS", storedZip(partsOf(real)));
    for (const char* name : {"real.XLS", "stored.XLS"}) {
        auto wb = workbook::loadWorkbookFile(dir / name);
        EXPECT_EQ(wb->sheet(0).valueText(200, 1), "wiersz 200") << name;
    }
}

}  // namespace
}  // namespace zbir::test
