#pragma once
// Transport workbooks of JPK_VAT groups built cell by cell, laid out as the
// transport lays them out: -SUMA- first with its column widths, then one
// file sheet per XML file with its structure tags, heading rows, record rows
// and "LuKa-Werks" after the last row.

#include "spreadsheet/automation.h"

#include <string>
#include <utility>
#include <vector>

namespace zbir::test {

// One record row: (column, value) cells; elements without a column of their
// own (name, value) follow on rows of their own, as the transport puts them.
struct JpkRecord {
    std::vector<std::pair<int, std::string>> cells;
    std::vector<std::pair<std::string, std::string>> unmapped;
};

// Writes one file sheet into the active sheet, row by row.
class FileSheetBuilder {
public:
    explicit FileSheetBuilder(workbook::Application& xl) : m_xl(xl) {}

    int row() const { return m_row; }

    FileSheetBuilder& header(const std::string& dataOd, const std::string& dataDo)
    {
        put(77, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        newRow();
        put(53, "<JPK>");
        newRow();
        put(54, "<Naglowek>");
        for (const auto& [tag, value] : std::vector<std::pair<std::string, std::string>>{
                 {"<KodFormularza>", "JPK_VAT"}, {"<WariantFormularza>", "2"},
                 {"<CelZlozenia>", "1"}, {"<DataWytworzeniaJPK>", "2017-06-01T10:00:00"},
                 {"<DataOd>", dataOd}, {"<DataDo>", dataDo}, {"<DomyslnyKodWaluty>", "PLN"},
                 {"<KodUrzedu>", "1471"}}) {
            newRow();
            put(55, tag);
            put(75, value);
        }
        newRow();
        put(54, "</Naglowek>");
        newRow();
        put(54, "<Podmiot1>");
        newRow();
        put(55, "<IdentyfikatorPodmiotu>");
        newRow();
        put(56, "<NIP>");
        put(75, "5260250274");
        newRow();
        put(55, "</IdentyfikatorPodmiotu>");
        newRow();
        put(54, "</Podmiot1>");
        return *this;
    }

    // A record list: the record tag and the heading tags on one row, the
    // records below it.
    FileSheetBuilder& list(const std::string& recordTag,
                           const std::vector<std::pair<int, std::string>>& headings,
                           const std::vector<JpkRecord>& records)
    {
        newRow();
        put(54, recordTag);
        put(77, "typ=\"G\"");
        for (const auto& [col, name] : headings)
            put(col, "<" + name + ">");
        for (const JpkRecord& r : records) {
            newRow();
            for (const auto& [col, value] : r.cells)
                put(col, value);
            for (const auto& [name, value] : r.unmapped) {
                newRow();
                put(55, "<" + name + ">");
                put(75, value);
            }
        }
        return *this;
    }

    FileSheetBuilder& control(const std::string& name,
                              const std::vector<std::pair<std::string, std::string>>& elements)
    {
        newRow();
        put(54, "<" + name + ">");
        for (const auto& [element, value] : elements) {
            newRow();
            put(55, "<" + element + ">");
            put(75, value);
        }
        newRow();
        put(54, "</" + name + ">");
        return *this;
    }

    // The closing root tag and the totals row.
    FileSheetBuilder& end()
    {
        newRow();
        put(53, "</JPK>");
        return totals();
    }

    // The totals row alone, as after a stopped transport.
    FileSheetBuilder& totals()
    {
        newRow();
        put(1, "LuKa-Werks");
        return *this;
    }

    void put(int col, const std::string& text) { m_xl.setCellValue(m_row, col, text); }
    void newRow() { ++m_row; }

private:
    workbook::Application& m_xl;
    int m_row = 1;
};

// Sales headings of the JPK_VAT layout for the given amount columns.
inline std::vector<std::pair<int, std::string>> salesHeadings(const std::vector<int>& amounts)
{
    std::vector<std::pair<int, std::string>> h = {
        {1, "LpSprzedazy"},      {2, "NrKontrahenta"},   {3, "NazwaKontrahenta"},
        {4, "AdresKontrahenta"}, {5, "DowodSprzedazy"},  {6, "DataWystawienia"},
        {7, "DataSprzedazy"},
    };
    for (int c : amounts)
        h.push_back({c, "K_" + std::to_string(c)});
    return h;
}

inline std::vector<std::pair<int, std::string>> purchaseHeadings(const std::vector<int>& amounts)
{
    std::vector<std::pair<int, std::string>> h = {
        {1, "LpZakupu"},      {2, "NrDostawcy"},  {3, "NazwaDostawcy"},
        {4, "AdresDostawcy"}, {5, "DowodZakupu"}, {7, "DataZakupu"},
    };
    for (int c : amounts)
        h.push_back({c, "K_" + std::to_string(c)});
    return h;
}

// A new workbook holding only -SUMA-: every column 0.14 wide, the amount
// columns wider, the group name in A1. Saved as `path` so that it carries
// the group's name.
inline void newTransportWorkbook(workbook::Application& xl, const std::string& group,
                                 const std::vector<int>& amountColumns, const std::string& path)
{
    xl.workbooksAdd();
    while (xl.sheetsCount() > 1) {
        xl.sheetsSelect(xl.sheetsCount());
        xl.selectedSheetsDelete();
    }
    xl.sheetsSelect(1);
    xl.activeSheetSetName("-SUMA-");
    xl.setColumnsWidth(0.14);
    for (int c : amountColumns)
        xl.setColumnWidth(c, 10.71);
    xl.setCellValue(1, 1, group);
    xl.activeWorkbookSaveAs(path);
}

// Adds a file sheet behind the last one and selects it; its cells take
// values as text, as the transport sets them up.
inline void addFileSheet(workbook::Application& xl, const std::string& name)
{
    xl.sheetsAddAfter(xl.sheetsCount());
    xl.activeSheetSetName(name);
    xl.cellsSelect();
    xl.selectionSetNumberFormat("@");
    xl.rangeSelect("A1");
}

}  // namespace zbir::test
