#include "transport/summary.h"

#include "operation/operation.h"
#include "base/formatters.h"
#include "spreadsheet/automation.h"
#include "xmlsheet/sheet_writer.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zbir::workbook {

using base::integerText;

namespace {

constexpr double kPlaceholderWidth = 0.14;
constexpr double kNarrow = 0.28;  // at or below: a column without content
const char* const kAmountFormat = "# ##0,00";

struct Label {
    int column;
    const char* text;
};

constexpr Label kLabels[] = {
    {10, "dost.zw."},   {11, "dost.poza."}, {12, "art. 100"},    {13, "dost.0 %"},
    {14, "art. 129"},   {15, "dost.5 %"},   {16, "ptiu 5 %"},    {17, "dost.8 %"},
    {18, "ptiu 8 %"},   {19, "dost.23 %"},  {20, "ptiu 23 %"},   {21, "ww.dost."},
    {22, "eksport"},    {23, "ww.nab."},    {24, "ptiu wwn"},    {25, "art. 33a"},
    {26, "ptiu 33a"},   {31, "odwr.obc."},  {32, "oo pkt 5"},    {33, "ptiu pkt 5"},
    {34, "oo pkt 78"},  {35, "ptiu pkt 78"}, {43, "nab. \x8C-T"}, {44, "ptiu \x8C-T"},
    {45, "nab. TiU"},   {46, "ptiu TiU"},
};

}  // namespace

std::string shortLabel(int column)
{
    for (const Label& l : kLabels)
        if (l.column == column)
            return l.text;
    return {};
}

std::string sheetTotalFormula(const std::string& sheetName, int column)
{
    // An apostrophe inside a quoted sheet name is written twice.
    std::string quoted;
    for (char c : sheetName) {
        quoted += c;
        if (c == '\'')
            quoted += c;
    }
    return "='" + quoted + "'!R1C" + integerText(column);
}

void buildSummary(xmlsheet::TransportContext& ctx)
{
    Application& xl = ctx.xl;
    const xmlsheet::FieldMap& map = ctx.map;
    const std::vector<std::string>& files = ctx.app.files();
    const int n = static_cast<int>(files.size());

    xl.setScreenUpdating(false);
    xl.columnsSelect();
    xl.setColumnsWidth(kPlaceholderWidth);

    // Widest amount column over the file sheets 2 .. N+1.
    std::vector<std::pair<int, double>> widths;  // amount columns in map order
    for (int i = 1; i <= map.count(); ++i)
        if (map.entry(i).kind == 'K')
            widths.emplace_back(map.entry(i).column, 0.0);
    if (!widths.empty()) {
        for (int k = 2; k <= n + 1; ++k) {
            xl.sheetsSelect(k);
            for (auto& [column, width] : widths)
                width = std::max(width, xl.columnWidth(column));
        }
        xl.sheetsSelect(1);
    }
    for (const auto& [column, width] : widths)
        xl.setColumnWidth(column, width > kNarrow ? width + 4 : width);

    for (int k = 2; k <= n + 1; ++k)
        xl.setCellValue(k + 2, 1, files[static_cast<std::size_t>(k - 2)]);

    xl.setScreenUpdating(true);
    xl.cellsAutoFit();

    for (int i = 1; i <= map.count(); ++i) {
        const xmlsheet::FieldEntry& e = map.entry(i);
        if (e.filled != 'L')
            continue;
        const int c = e.column;
        if (xl.columnWidth(c) <= kNarrow)
            continue;
        for (int k = 2; k <= n + 1; ++k) {
            xl.setCellNumberFormat(k + 2, c, kAmountFormat);
            xl.setCellFormulaR1C1(k + 2, c, sheetTotalFormula(xl.sheetsName(k), c));
            xl.setCellBold(k + 2, c, xl.cellValue(k + 2, c) != "0");
        }
        xl.setCellValue(1, c, "K_" + integerText(c));
        xl.setCellValue(2, c, shortLabel(c));
        xl.setCellNumberFormat(n + 5, c, kAmountFormat);
        xl.setCellFormulaR1C1(n + 5, c, "=SUM(R4C:R" + integerText(n + 3) + "C)");
    }

    xl.setRowHorizontalAlignment(1, xl::Right);
    xl.setRowHorizontalAlignment(2, xl::Right);
    xl.setRowHeight(3, 4);
    xl.setRowHeight(n + 4, 4);
    xl.setCellHorizontalAlignment(1, 1, xl::Left);
    xl.setCellValue(1, 1, ctx.app.groupText());
    ctx.app.logEvent(7);
    xl.setSplitRow(2);
}

}  // namespace zbir::workbook
