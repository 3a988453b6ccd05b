#include "transport/summary.h"

#include "operation/operation.h"
#include "base/formatters.h"
#include "jpkforms/forms.h"
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

// An amount column of -SUMA-, from the layout that filled it.
struct Amount {
    const xmlsheet::FieldEntry* entry;
    std::string heading;
    std::string label;
};

// The amount columns of the layouts the run used, each column once: the V7
// layout's first.
std::vector<Amount> amountColumns(const xmlsheet::TransportContext& ctx)
{
    std::vector<Amount> out;
    auto taken = [&](int column) {
        return std::any_of(out.begin(), out.end(), [&](const Amount& a) { return a.entry->column == column; });
    };
    if (ctx.v7Used) {
        for (int i = 1; i <= ctx.v7map.count(); ++i) {
            const xmlsheet::FieldEntry& e = ctx.v7map.entry(i);
            if (e.kind != 'K' || taken(e.column))
                continue;
            const std::string name = e.tag.substr(1, e.tag.size() - 2);
            out.push_back({&e, name, v7Label(name)});
        }
    }
    if (ctx.mapUsed || !ctx.v7Used) {
        for (int i = 1; i <= ctx.map.count(); ++i) {
            const xmlsheet::FieldEntry& e = ctx.map.entry(i);
            if (e.kind != 'K' || taken(e.column))
                continue;
            out.push_back({&e, "K_" + integerText(e.column), shortLabel(e.column)});
        }
    }
    return out;
}

}  // namespace

std::string v7Label(std::string_view name)
{
    for (const jpkforms::Form& f : jpkforms::forms()) {
        if (f.family != jpkforms::Family::V7)
            continue;
        for (const jpkforms::Section* s : {&f.sales, &f.purchases})
            if (const jpkforms::RecordElement* e = jpkforms::findElement(*s, name))
                return std::string(e->label);
    }
    return {};
}

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
    const std::vector<std::string>& files = ctx.app.files();
    const int n = static_cast<int>(files.size());

    xl.setScreenUpdating(false);
    xl.columnsSelect();
    xl.setColumnsWidth(kPlaceholderWidth);

    // Widest amount column over the file sheets 2 .. N+1.
    const std::vector<Amount> amounts = amountColumns(ctx);
    std::vector<double> widths(amounts.size(), 0.0);
    if (!amounts.empty()) {
        for (int k = 2; k <= n + 1; ++k) {
            xl.sheetsSelect(k);
            for (std::size_t a = 0; a < amounts.size(); ++a)
                widths[a] = std::max(widths[a], xl.columnWidth(amounts[a].entry->column));
        }
        xl.sheetsSelect(1);
    }
    for (std::size_t a = 0; a < amounts.size(); ++a)
        xl.setColumnWidth(amounts[a].entry->column, widths[a] > kNarrow ? widths[a] + 4 : widths[a]);

    for (int k = 2; k <= n + 1; ++k)
        xl.setCellValue(k + 2, 1, files[static_cast<std::size_t>(k - 2)]);

    xl.setScreenUpdating(true);
    xl.cellsAutoFit();

    for (const Amount& a : amounts) {
        if (a.entry->filled != 'L')
            continue;
        const int c = a.entry->column;
        if (xl.columnWidth(c) <= kNarrow)
            continue;
        for (int k = 2; k <= n + 1; ++k) {
            xl.setCellNumberFormat(k + 2, c, kAmountFormat);
            xl.setCellFormulaR1C1(k + 2, c, sheetTotalFormula(xl.sheetsName(k), c));
            xl.setCellBold(k + 2, c, xl.cellValue(k + 2, c) != "0");
        }
        xl.setCellValue(1, c, a.heading);
        xl.setCellValue(2, c, a.label);
        xl.setCellNumberFormat(n + 5, c, kAmountFormat);
        xl.setCellFormulaR1C1(n + 5, c, "=SUM(R4C:R" + integerText(n + 3) + "C)");
    }

    xl.setRowHorizontalAlignment(1, xl::Right);
    xl.setRowHorizontalAlignment(2, xl::Right);
    xl.setRowHeight(3, 4);
    xl.setRowHeight(n + 4, 4);
    xl.setCellHorizontalAlignment(1, 1, xl::Left);
    xl.setCellValue(1, 1, ctx.app.groupText());
    ctx.app.logEvent(operation::LogSummary);
    xl.setSplitRow(2);
}

}  // namespace zbir::workbook
