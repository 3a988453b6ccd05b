#include "spreadsheet/sheet.h"

#include "spreadsheet/automation.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"

#include <algorithm>
#include <cmath>

namespace zbir::workbook {

namespace {

constexpr std::size_t kMaxTextLength = 32767;
constexpr std::string_view kTrueText = "PRAWDA";
constexpr std::string_view kFalseText = "FA\xA3SZ";

auto byColumn = [](const Cell& c, int col) { return c.col < col; };

std::string valueAsText(const CellValue& v)
{
    switch (v.kind) {
    case CellValue::Kind::Empty: return {};
    case CellValue::Kind::Number: return shortestNumberText(v.number);
    case CellValue::Kind::Text: return v.text;
    case CellValue::Kind::Bool: return v.boolean ? "TRUE" : "FALSE";
    case CellValue::Kind::Error: return std::string(errorText(v.error));
    }
    return {};
}

}  // namespace

void Sheet::WidthCounts::add(int pixels)
{
    auto it = std::lower_bound(m_counts.begin(), m_counts.end(), pixels,
                               [](const auto& e, int px) { return e.first < px; });
    if (it != m_counts.end() && it->first == pixels)
        ++it->second;
    else
        m_counts.insert(it, {pixels, 1u});
}

void Sheet::WidthCounts::remove(int pixels)
{
    auto it = std::lower_bound(m_counts.begin(), m_counts.end(), pixels,
                               [](const auto& e, int px) { return e.first < px; });
    if (it == m_counts.end() || it->first != pixels)
        return;
    if (--it->second == 0)
        m_counts.erase(it);
}

Sheet::Sheet(Workbook& workbook, std::int32_t id, std::string name)
    : m_workbook(workbook), m_id(id), m_name(std::move(name)), m_defaultWidth(metrics::kDefaultColumnWidth)
{
}

void Sheet::checkPosition(int row, int col) const
{
    if (!validRow(row) || !validColumn(col))
        throw AutomationError("Nieprawid\xB3owy adres kom\xF3rki (" + std::to_string(row) + ", " +
                              std::to_string(col) + ")");
}

const Cell* Sheet::cell(int row, int col) const
{
    if (row < 1 || row > usedRows())
        return nullptr;
    const auto& cells = m_rows[static_cast<std::size_t>(row - 1)].cells;
    if (cells.empty() || cells.back().col < col)
        return nullptr;
    auto it = std::lower_bound(cells.begin(), cells.end(), col, byColumn);
    return it != cells.end() && it->col == col ? &*it : nullptr;
}

Cell* Sheet::findCell(int row, int col)
{
    return const_cast<Cell*>(static_cast<const Sheet*>(this)->cell(row, col));
}

std::span<const Cell> Sheet::rowCells(int row) const
{
    if (row < 1 || row > usedRows())
        return {};
    return m_rows[static_cast<std::size_t>(row - 1)].cells;
}

std::uint32_t Sheet::inheritedStyle(int row, int col) const
{
    if (row <= usedRows() && m_rows[static_cast<std::size_t>(row - 1)].style >= 0)
        return static_cast<std::uint32_t>(m_rows[static_cast<std::size_t>(row - 1)].style);
    if (col <= usedColumns() && m_columns[static_cast<std::size_t>(col - 1)].style >= 0)
        return static_cast<std::uint32_t>(m_columns[static_cast<std::size_t>(col - 1)].style);
    return m_defaultStyle;
}

std::uint32_t Sheet::styleAt(int row, int col) const
{
    const Cell* c = cell(row, col);
    return c ? c->style : inheritedStyle(row, col);
}

std::int32_t Sheet::rowStyle(int row) const
{
    return row >= 1 && row <= usedRows() ? m_rows[static_cast<std::size_t>(row - 1)].style : -1;
}

std::int32_t Sheet::columnStyle(int col) const
{
    return col >= 1 && col <= usedColumns() ? m_columns[static_cast<std::size_t>(col - 1)].style : -1;
}

Sheet::Column& Sheet::column(int col)
{
    if (col > usedColumns())
        m_columns.resize(static_cast<std::size_t>(col));
    return m_columns[static_cast<std::size_t>(col - 1)];
}

Cell& Sheet::cellForWrite(int row, int col)
{
    if (row > usedRows())
        m_rows.resize(static_cast<std::size_t>(row));
    auto& cells = m_rows[static_cast<std::size_t>(row - 1)].cells;
    auto it = cells.end();
    if (!cells.empty() && cells.back().col >= col) {
        it = std::lower_bound(cells.begin(), cells.end(), col, byColumn);
        if (it != cells.end() && it->col == col)
            return *it;
    }
    Cell c;
    c.col = static_cast<std::uint16_t>(col);
    c.style = inheritedStyle(row, col);
    ++m_cellCount;
    return *cells.insert(it, c);
}

int Sheet::valuePixels(const CellValue& v, std::uint32_t style) const
{
    const StyleTable& styles = m_workbook.styles();
    double size = styles.style(style).fontSize;
    switch (v.kind) {
    case CellValue::Kind::Empty: return 0;
    case CellValue::Kind::Number: return metrics::textPixels(styles.formatOf(style).display(v.number), size);
    case CellValue::Kind::Text: return metrics::textPixels(v.text, size);
    case CellValue::Kind::Bool: return metrics::textPixels(v.boolean ? kTrueText : kFalseText, size);
    case CellValue::Kind::Error: return metrics::textPixels(errorText(v.error), size);
    }
    return 0;
}

int Sheet::contentPixels(const Cell& c)
{
    const StyleTable& styles = m_workbook.styles();
    double size = styles.style(c.style).fontSize;
    switch (c.kind) {
    case CellKind::Blank: return 0;
    case CellKind::Text: return metrics::textPixels(c.textView(), size);
    case CellKind::Number: return metrics::textPixels(styles.formatOf(c.style).display(c.number), size);
    case CellKind::Bool: return metrics::textPixels(c.number != 0 ? kTrueText : kFalseText, size);
    case CellKind::Error: return metrics::textPixels(errorText(c.error), size);
    case CellKind::Formula: return valuePixels(m_workbook.formulas().formula(c.formula).value, c.style);
    }
    return 0;
}

void Sheet::countWidth(int col, int before, int after)
{
    if (before == after)
        return;
    auto& widths = column(col).widths;
    if (before > 0)
        widths.remove(before);
    if (after > 0)
        widths.add(after);
}

void Sheet::dropContent(Cell& c)
{
    if (c.kind == CellKind::Text)
        m_texts.release(c.text);
    else if (c.kind == CellKind::Formula)
        m_workbook.formulas().remove(c.formula);
    c.kind = CellKind::Blank;
    c.number = 0;
}

void Sheet::contentChanged(int row, int col)
{
    m_workbook.setModified(true);
    if (!m_watches.empty())
        m_workbook.formulas().cellChanged(*this, row, col);
    if (m_texts.wasteful())
        compactTexts();
    if (auto* obs = m_workbook.observers())
        obs->notify([&](EngineObserver& o) { o.cellsChanged(*this, CellArea::cell(row, col)); });
}

void Sheet::compactTexts()
{
    TextStore fresh;
    for (auto& r : m_rows)
        for (auto& c : r.cells)
            if (c.kind == CellKind::Text)
                c.text = fresh.add(c.textView());
    m_texts = std::move(fresh);
}

void Sheet::touched(const CellArea& area)
{
    m_workbook.setModified(true);
    if (auto* obs = m_workbook.observers())
        obs->notify([&](EngineObserver& o) { o.cellsChanged(*this, area); });
}

void Sheet::layoutChanged()
{
    m_workbook.setModified(true);
    if (auto* obs = m_workbook.observers())
        obs->notify([&](EngineObserver& o) { o.sheetChanged(*this); });
}

CellValue Sheet::value(int row, int col)
{
    const Cell* c = cell(row, col);
    if (!c)
        return {};
    if (c->kind == CellKind::Formula)
        return m_workbook.formulas().value(c->formula);
    return CellValue::ofStored(*c);
}

std::string Sheet::valueText(int row, int col)
{
    const Cell* c = cell(row, col);
    if (!c)
        return {};
    switch (c->kind) {
    case CellKind::Blank: return {};
    case CellKind::Number: return shortestNumberText(c->number);
    case CellKind::Text: return std::string(c->textView());
    case CellKind::Formula: return valueAsText(m_workbook.formulas().value(c->formula));
    default: return valueAsText(value(row, col));
    }
}

void Sheet::valueTexts(int row, int first, int last, std::vector<std::string>& out)
{
    out.resize(static_cast<std::size_t>(last >= first ? last - first + 1 : 0));
    for (std::string& text : out)
        text.clear();
    if (row < 1 || row > usedRows() || last < first)
        return;
    const auto r = static_cast<std::size_t>(row - 1);
    const auto& start = m_rows[r].cells;
    auto i = static_cast<std::size_t>(std::lower_bound(start.begin(), start.end(), first, byColumn) - start.begin());
    // By index: a formula's evaluation may move the row's cells.
    for (; i < m_rows[r].cells.size(); ++i) {
        const Cell& c = m_rows[r].cells[i];
        if (c.col > last)
            break;
        std::string& text = out[static_cast<std::size_t>(c.col - first)];
        switch (c.kind) {
        case CellKind::Blank: break;
        case CellKind::Text: text.assign(c.textView()); break;
        case CellKind::Number: text = shortestNumberText(c.number); break;
        default: text = valueText(row, c.col); break;
        }
    }
}

std::string Sheet::displayText(int row, int col)
{
    const Cell* c = cell(row, col);
    if (!c)
        return {};
    CellValue v = value(row, col);
    c = cell(row, col);
    switch (v.kind) {
    case CellValue::Kind::Empty: return {};
    case CellValue::Kind::Number: return m_workbook.styles().formatOf(c->style).display(v.number);
    case CellValue::Kind::Text: return v.text;
    case CellValue::Kind::Bool: return std::string(v.boolean ? kTrueText : kFalseText);
    case CellValue::Kind::Error: return std::string(errorText(v.error));
    }
    return {};
}

std::string Sheet::formulaR1C1(int row, int col) const
{
    const Cell* c = cell(row, col);
    if (!c || c->kind != CellKind::Formula)
        return {};
    return m_workbook.formulas().textR1C1(c->formula);
}

double Sheet::columnWidth(int col) const
{
    if (col >= 1 && col <= usedColumns() && m_columns[static_cast<std::size_t>(col - 1)].width >= 0)
        return m_columns[static_cast<std::size_t>(col - 1)].width;
    return m_defaultWidth;
}

bool Sheet::columnWidthSet(int col) const
{
    return col >= 1 && col <= usedColumns() && m_columns[static_cast<std::size_t>(col - 1)].width >= 0;
}

double Sheet::rowHeight(int row) const
{
    if (rowHeightSet(row))
        return m_rows[static_cast<std::size_t>(row - 1)].height;
    return metrics::kDefaultRowHeight;
}

bool Sheet::rowHeightSet(int row) const
{
    return row >= 1 && row <= usedRows() && m_rows[static_cast<std::size_t>(row - 1)].height >= 0;
}

void Sheet::setValue(int row, int col, std::string_view text)
{
    checkPosition(row, col);
    if (text.empty()) {
        clearContents(CellArea::cell(row, col));
        return;
    }
    if (!m_workbook.styles().isText(styleAt(row, col))) {
        double v;
        if (parseNumber(text, v)) {
            setNumber(row, col, v);
            return;
        }
        if (text[0] == '=' && text.size() > 1) {
            setFormulaA1(row, col, text);
            return;
        }
    }
    setText(row, col, text);
}

void Sheet::setText(int row, int col, std::string_view text)
{
    checkPosition(row, col);
    if (text.empty()) {
        clearContents(CellArea::cell(row, col));
        return;
    }
    if (text.size() > kMaxTextLength)
        throw AutomationError("Tekst d\xB3u\xBFszy ni\xBF 32767 znak\xF3w");
    Cell& c = cellForWrite(row, col);
    int before = c.hasContent() ? contentPixels(c) : 0;
    dropContent(c);
    c.text = m_texts.add(text);
    c.kind = CellKind::Text;
    countWidth(col, before, metrics::textPixels(text, m_workbook.styles().style(c.style).fontSize));
    contentChanged(row, col);
}

void Sheet::setNumber(int row, int col, double value)
{
    checkPosition(row, col);
    if (!std::isfinite(value)) {
        setError(row, col, ErrorCode::Num);
        return;
    }
    Cell& c = cellForWrite(row, col);
    int before = c.hasContent() ? contentPixels(c) : 0;
    dropContent(c);
    c.number = value == 0 ? 0.0 : value;  // no negative zero
    c.kind = CellKind::Number;
    countWidth(col, before, contentPixels(c));
    contentChanged(row, col);
}

void Sheet::setBool(int row, int col, bool value)
{
    checkPosition(row, col);
    Cell& c = cellForWrite(row, col);
    int before = c.hasContent() ? contentPixels(c) : 0;
    dropContent(c);
    c.number = value ? 1 : 0;
    c.kind = CellKind::Bool;
    countWidth(col, before, contentPixels(c));
    contentChanged(row, col);
}

void Sheet::setError(int row, int col, ErrorCode error)
{
    checkPosition(row, col);
    Cell& c = cellForWrite(row, col);
    int before = c.hasContent() ? contentPixels(c) : 0;
    dropContent(c);
    c.error = error;
    c.kind = CellKind::Error;
    countWidth(col, before, contentPixels(c));
    contentChanged(row, col);
}

void Sheet::setFormulaR1C1(int row, int col, std::string_view text)
{
    checkPosition(row, col);
    if (text.size() < 2 || text[0] != '=') {
        setValue(row, col, text);
        return;
    }
    FormulaTree tree = parseFormulaR1C1(text, m_workbook);
    setFormula(row, col, tree, tree ? std::string() : std::string(text));
}

void Sheet::setFormulaA1(int row, int col, std::string_view text)
{
    checkPosition(row, col);
    FormulaTree tree = parseFormulaA1(text, row, col, m_workbook);
    setFormula(row, col, tree, tree ? std::string() : std::string(text));
}

void Sheet::setFormula(int row, int col, FormulaTree tree, std::string source, const CellValue* cached)
{
    checkPosition(row, col);
    int before = 0;
    {
        Cell& c = cellForWrite(row, col);
        before = c.hasContent() ? contentPixels(c) : 0;
        dropContent(c);
    }
    std::uint32_t id = m_workbook.formulas().add(m_id, row, col, std::move(tree), std::move(source), cached);
    Cell& c = *findCell(row, col);
    c.kind = CellKind::Formula;
    c.formula = id;
    countWidth(col, before, contentPixels(c));
    contentChanged(row, col);
}

void Sheet::clearContents(const CellArea& area)
{
    int lastRow = std::min(area.row2, usedRows());
    bool watched = !m_watches.empty();
    std::vector<std::pair<int, int>> changed;
    for (int r = area.row1; r <= lastRow; ++r) {
        auto& cells = m_rows[static_cast<std::size_t>(r - 1)].cells;
        auto it = std::lower_bound(cells.begin(), cells.end(), area.col1, byColumn);
        for (; it != cells.end() && it->col <= area.col2; ++it) {
            if (!it->hasContent())
                continue;
            countWidth(it->col, contentPixels(*it), 0);
            dropContent(*it);
            if (watched)
                changed.emplace_back(r, it->col);
        }
        // Blank cells that add nothing to their row's or column's style go.
        auto keep = [&](const Cell& c) {
            return c.col < area.col1 || c.col > area.col2 || c.hasContent() ||
                   c.style != inheritedStyle(r, c.col);
        };
        auto end = std::stable_partition(cells.begin(), cells.end(), keep);
        m_cellCount -= static_cast<std::size_t>(cells.end() - end);
        cells.erase(end, cells.end());
    }
    if (m_texts.liveBytes() == 0)
        m_texts.clear();
    for (auto [r, c] : changed)
        m_workbook.formulas().cellChanged(*this, r, c);
    touched(area);
}

void Sheet::applyStyle(const CellArea& area, const StyleChange& change)
{
    StyleDeriver derive(m_workbook.styles(), change);
    auto restyle = [&](Cell& c) {
        std::uint32_t next = derive(c.style);
        if (next == c.style)
            return;
        int before = c.hasContent() ? contentPixels(c) : 0;
        c.style = next;
        if (before > 0 || c.hasContent())
            countWidth(c.col, before, contentPixels(c));
    };
    auto restyleRange = [&](int row, int col1, int col2) {
        auto& cells = m_rows[static_cast<std::size_t>(row - 1)].cells;
        auto it = std::lower_bound(cells.begin(), cells.end(), col1, byColumn);
        for (; it != cells.end() && it->col <= col2; ++it)
            restyle(*it);
    };
    auto derived = [&](std::int32_t own) {
        return static_cast<std::int32_t>(derive(own >= 0 ? static_cast<std::uint32_t>(own) : m_defaultStyle));
    };

    switch (area.kind) {
    case CellArea::Kind::Cells:
        for (int r = area.row1; r <= area.row2; ++r)
            for (int c = area.col1; c <= area.col2; ++c) {
                Cell* cell = findCell(r, c);
                if (!cell) {
                    std::uint32_t inherited = inheritedStyle(r, c);
                    if (derive(inherited) == inherited)
                        continue;
                    cell = &cellForWrite(r, c);
                }
                restyle(*cell);
            }
        break;
    case CellArea::Kind::Rows:
        for (int r = area.row1; r <= area.row2; ++r) {
            if (r > usedRows())
                m_rows.resize(static_cast<std::size_t>(r));
            if (m_rows[static_cast<std::size_t>(r - 1)].style < 0) {
                // Cells under formatted columns keep their column's format under the row's.
                for (int c = 1; c <= usedColumns(); ++c)
                    if (m_columns[static_cast<std::size_t>(c - 1)].style >= 0 && !findCell(r, c))
                        cellForWrite(r, c);
            }
            auto& row = m_rows[static_cast<std::size_t>(r - 1)];
            row.style = derived(row.style);
            restyleRange(r, 1, kMaxColumns);
        }
        break;
    case CellArea::Kind::Columns:
        for (int c = area.col1; c <= area.col2; ++c) {
            if (column(c).style < 0) {
                for (int r = 1; r <= usedRows(); ++r)
                    if (m_rows[static_cast<std::size_t>(r - 1)].style >= 0 && !findCell(r, c))
                        cellForWrite(r, c);
            }
            Column& col = m_columns[static_cast<std::size_t>(c - 1)];
            col.style = derived(col.style);
        }
        for (int r = 1; r <= usedRows(); ++r)
            restyleRange(r, area.col1, area.col2);
        break;
    case CellArea::Kind::All:
        m_defaultStyle = derive(m_defaultStyle);
        for (auto& col : m_columns)
            if (col.style >= 0)
                col.style = static_cast<std::int32_t>(derive(static_cast<std::uint32_t>(col.style)));
        for (int r = 1; r <= usedRows(); ++r) {
            auto& row = m_rows[static_cast<std::size_t>(r - 1)];
            if (row.style >= 0)
                row.style = static_cast<std::int32_t>(derive(static_cast<std::uint32_t>(row.style)));
            restyleRange(r, 1, kMaxColumns);
        }
        break;
    }
    touched(area);
}

void Sheet::setColumnWidth(const CellArea& area, double width)
{
    if (area.kind == CellArea::Kind::All || area.kind == CellArea::Kind::Rows) {
        m_defaultWidth = width;
        for (auto& col : m_columns)
            col.width = -1;
    } else {
        for (int c = area.col1; c <= area.col2; ++c)
            column(c).width = width;
    }
    layoutChanged();
}

void Sheet::setRowHeight(int row, double points)
{
    checkPosition(row, 1);
    if (row > usedRows())
        m_rows.resize(static_cast<std::size_t>(row));
    m_rows[static_cast<std::size_t>(row - 1)].height = static_cast<float>(points);
    layoutChanged();
}

void Sheet::setSplitRow(int row)
{
    m_splitRow = std::clamp(row, 0, kMaxRows - 1);
    layoutChanged();
}

void Sheet::select(const CellArea& area, int activeRow, int activeCol)
{
    m_selection = {area, activeRow, activeCol};
    if (auto* obs = m_workbook.observers())
        obs->notify([&](EngineObserver& o) { o.sheetChanged(*this); });
}

void Sheet::autoFit()
{
    m_workbook.formulas().evaluateDirty(this);
    bool changed = false;
    for (auto& col : m_columns) {
        if (col.widths.empty())
            continue;
        double width = metrics::autoFitWidth(col.widths.widest());
        if (width != col.width) {
            col.width = width;
            changed = true;
        }
    }
    if (changed)
        layoutChanged();
}

void Sheet::rename(std::string name)
{
    m_name = std::move(name);
    layoutChanged();
}

void Sheet::setCellStyle(int row, int col, std::uint32_t style)
{
    checkPosition(row, col);
    Cell& c = cellForWrite(row, col);
    if (c.style == style)
        return;
    int before = c.hasContent() ? contentPixels(c) : 0;
    c.style = style;
    if (c.hasContent())
        countWidth(col, before, contentPixels(c));
}

void Sheet::setDefaultColumnWidth(double width)
{
    m_defaultWidth = width;
}

void Sheet::formulaResultChanged(int row, int col, const CellValue& before, const CellValue& after)
{
    std::uint32_t style = styleAt(row, col);
    countWidth(col, valuePixels(before, style), valuePixels(after, style));
    if (auto* obs = m_workbook.observers())
        obs->notify([&](EngineObserver& o) { o.cellsChanged(*this, CellArea::cell(row, col)); });
}

}  // namespace zbir::workbook
