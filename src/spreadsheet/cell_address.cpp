#include "spreadsheet/cell_address.h"

#include <algorithm>
#include <cctype>

namespace zbir::workbook {

bool validRow(int row)
{
    return row >= 1 && row <= kMaxRows;
}

bool validColumn(int col)
{
    return col >= 1 && col <= kMaxColumns;
}

std::optional<int> parseColumnLetters(std::string_view letters)
{
    if (letters.empty() || letters.size() > 3)
        return std::nullopt;
    int col = 0;
    for (char ch : letters) {
        auto c = static_cast<unsigned char>(ch);
        if (!std::isalpha(c) || c >= 0x80)
            return std::nullopt;
        col = col * 26 + (std::toupper(c) - 'A' + 1);
    }
    if (!validColumn(col))
        return std::nullopt;
    return col;
}

namespace {

struct Part {
    std::optional<int> row, col;
};

// One end of an area: letters, digits or both, each optionally behind "$".
std::optional<Part> parsePart(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && s[i] == '$')
        ++i;
    size_t letters = i;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])))
        ++i;
    Part part;
    if (i > letters) {
        part.col = parseColumnLetters(s.substr(letters, i - letters));
        if (!part.col)
            return std::nullopt;
        if (i < s.size() && s[i] == '$')
            ++i;
    } else if (letters > 0 && i == letters && (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i])))) {
        return std::nullopt;
    }
    size_t digits = i;
    long row = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        row = row * 10 + (s[i] - '0');
        if (row > kMaxRows)
            return std::nullopt;
        ++i;
    }
    if (i != s.size())
        return std::nullopt;
    if (i > digits) {
        if (!validRow(static_cast<int>(row)))
            return std::nullopt;
        part.row = static_cast<int>(row);
    }
    if (!part.row && !part.col)
        return std::nullopt;
    return part;
}

}  // namespace

std::optional<CellArea> parseA1Area(std::string_view address)
{
    auto colon = address.find(':');
    auto first = parsePart(address.substr(0, colon));
    if (!first)
        return std::nullopt;
    Part second = *first;
    if (colon != std::string_view::npos) {
        auto p = parsePart(address.substr(colon + 1));
        if (!p)
            return std::nullopt;
        second = *p;
    }
    bool cells = first->row && first->col && second.row && second.col;
    bool rows = first->row && !first->col && second.row && !second.col && colon != std::string_view::npos;
    bool cols = !first->row && first->col && !second.row && second.col && colon != std::string_view::npos;
    CellArea area;
    if (cells) {
        area = CellArea::cells(std::min(*first->row, *second.row), std::min(*first->col, *second.col),
                               std::max(*first->row, *second.row), std::max(*first->col, *second.col));
    } else if (rows) {
        area = CellArea::rows(std::min(*first->row, *second.row), std::max(*first->row, *second.row));
        if (area.row1 == 1 && area.row2 == kMaxRows)
            area = CellArea::all();
    } else if (cols) {
        area = CellArea::columns(std::min(*first->col, *second.col), std::max(*first->col, *second.col));
        if (area.col1 == 1 && area.col2 == kMaxColumns)
            area = CellArea::all();
    } else {
        return std::nullopt;
    }
    return area;
}

}  // namespace zbir::workbook
