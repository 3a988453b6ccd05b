#pragma once
// Cell positions, areas and their A1 spelling. Rows and columns count from 1.

#include "base/formatters.h"

#include <optional>
#include <string>
#include <string_view>

namespace zbir::workbook {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

// A rectangle of cells, or whole rows, whole columns or the whole sheet.
struct CellArea {
    enum class Kind { Cells, Rows, Columns, All };
    Kind kind = Kind::Cells;
    int row1 = 1, col1 = 1, row2 = 1, col2 = 1;  // for Rows only the rows count, for Columns only the columns

    static CellArea cell(int row, int col) { return {Kind::Cells, row, col, row, col}; }
    static CellArea cells(int row1, int col1, int row2, int col2) { return {Kind::Cells, row1, col1, row2, col2}; }
    static CellArea rows(int row1, int row2) { return {Kind::Rows, row1, 1, row2, kMaxColumns}; }
    static CellArea columns(int col1, int col2) { return {Kind::Columns, 1, col1, kMaxRows, col2}; }
    static CellArea all() { return {Kind::All, 1, 1, kMaxRows, kMaxColumns}; }

    bool contains(int row, int col) const { return row >= row1 && row <= row2 && col >= col1 && col <= col2; }
    bool operator==(const CellArea&) const = default;
};

bool validRow(int row);
bool validColumn(int col);

// "A", "Z", "AA", ... "XFD" for 1 ... 16384.
using base::columnLetters;

// Column number of letters (either case); nullopt when not a column within the sheet.
std::optional<int> parseColumnLetters(std::string_view letters);

// "B7", "$B$7", "A1:C5", "B:D", "3:3". Nullopt when not such an address.
std::optional<CellArea> parseA1Area(std::string_view address);

}  // namespace zbir::workbook
