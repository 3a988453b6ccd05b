#include "spreadsheet/formula_store.h"

#include "spreadsheet/number_format.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/workbook.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zbir::workbook {

namespace {

// Formulas evaluated inside one another before the chain is cut and
// evaluated from its far end.
constexpr int kMaxDepth = 64;
constexpr ErrorCode kCycleError = ErrorCode::Value;

bool toNumber(const CellValue& v, double& out, CellValue& error)
{
    switch (v.kind) {
    case CellValue::Kind::Empty: out = 0; return true;
    case CellValue::Kind::Number: out = v.number; return true;
    case CellValue::Kind::Bool: out = v.boolean ? 1 : 0; return true;
    case CellValue::Kind::Text:
        if (parseNumber(v.text, out))
            return true;
        error = CellValue::ofError(ErrorCode::Value);
        return false;
    case CellValue::Kind::Error: error = v; return false;
    }
    return false;
}

CellValue checked(double v)
{
    return std::isfinite(v) ? CellValue::ofNumber(v == 0 ? 0.0 : v) : CellValue::ofError(ErrorCode::Num);
}

}  // namespace

void WatchIndex::add(const ResolvedArea& a, std::uint32_t formula)
{
    Watch w{formula, a.row1, a.row2, a.col1, a.col2};
    if (a.row1 == a.row2 && a.col1 == a.col2) {
        m_cells.emplace(key(a.row1, a.col1), formula);
    } else if (a.col2 - a.col1 >= kWide) {
        m_wide.push_back(w);
    } else {
        if (static_cast<int>(m_byColumn.size()) < a.col2)
            m_byColumn.resize(static_cast<std::size_t>(a.col2));
        for (int c = a.col1; c <= a.col2; ++c)
            m_byColumn[static_cast<std::size_t>(c - 1)].push_back(w);
    }
    ++m_count;
}

void WatchIndex::remove(const ResolvedArea& a, std::uint32_t formula)
{
    auto drop = [&](std::vector<Watch>& list) {
        for (auto& w : list)
            if (w.formula == formula && w.row1 == a.row1 && w.row2 == a.row2 && w.col1 == a.col1 && w.col2 == a.col2) {
                w = list.back();
                list.pop_back();
                return;
            }
    };
    if (a.row1 == a.row2 && a.col1 == a.col2) {
        auto [first, last] = m_cells.equal_range(key(a.row1, a.col1));
        for (auto it = first; it != last; ++it)
            if (it->second == formula) {
                m_cells.erase(it);
                break;
            }
    } else if (a.col2 - a.col1 >= kWide) {
        drop(m_wide);
    } else {
        for (int c = a.col1; c <= a.col2 && c <= static_cast<int>(m_byColumn.size()); ++c)
            drop(m_byColumn[static_cast<std::size_t>(c - 1)]);
    }
    --m_count;
}

std::uint32_t FormulaStore::add(std::int32_t sheet, int row, int col, FormulaTree tree, std::string source,
                                const CellValue* cached)
{
    std::uint32_t id;
    if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
    } else {
        id = static_cast<std::uint32_t>(m_formulas.size());
        m_formulas.emplace_back();
    }
    Formula& f = m_formulas[id];
    f = Formula{};
    f.sheet = sheet;
    f.row = row;
    f.col = col;
    f.tree = std::move(tree);
    f.source = std::move(source);
    f.live = true;
    if (cached) {
        f.value = *cached;
        f.dirty = false;
    } else if (!f.tree) {
        f.value = CellValue::ofError(ErrorCode::Name);
        f.dirty = false;
    } else if (Sheet* s = m_workbook.sheetById(sheet)) {
        s->dirtyFormulas().push_back(id);
    }
    watch(id, true);
    return id;
}

void FormulaStore::remove(std::uint32_t id)
{
    watch(id, false);
    m_formulas[id] = Formula{};
    m_formulas[id].dirty = false;
    m_free.push_back(id);
}

void FormulaStore::watch(std::uint32_t id, bool on)
{
    const Formula& f = m_formulas[id];
    if (!f.tree)
        return;
    forEachReference(*f.tree, [&](const Reference& ref) {
        ResolvedArea a = resolve(ref, f.sheet, f.row, f.col);
        if (!a.valid)
            return;
        if (Sheet* s = m_workbook.sheetById(a.sheet)) {
            if (on)
                s->watches().add(a, id);
            else
                s->watches().remove(a, id);
        }
    });
}

void FormulaStore::cellChanged(const Sheet& sheet, int row, int col)
{
    std::vector<std::uint32_t> work;
    sheet.watches().forEachWatcher(row, col, [&](std::uint32_t id) { work.push_back(id); });
    markDirty(work);
}

void FormulaStore::spreadDirty()
{
    std::vector<std::uint32_t> work;
    for (const Formula& f : m_formulas)
        if (f.live && f.dirty)
            if (Sheet* s = m_workbook.sheetById(f.sheet))
                s->watches().forEachWatcher(f.row, f.col, [&](std::uint32_t id) { work.push_back(id); });
    markDirty(work);
}

void FormulaStore::markDirty(std::vector<std::uint32_t>& work)
{
    while (!work.empty()) {
        std::uint32_t id = work.back();
        work.pop_back();
        Formula& f = m_formulas[id];
        if (f.dirty || !f.live || !f.tree)
            continue;
        f.dirty = true;
        Sheet* s = m_workbook.sheetById(f.sheet);
        if (!s)
            continue;
        auto& list = s->dirtyFormulas();
        list.push_back(id);
        if (list.size() > 4096 && list.size() > 2 * size()) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
            std::erase_if(list, [&](std::uint32_t k) { return !m_formulas[k].dirty; });
        }
        // The formula's own cell changes with it.
        s->watches().forEachWatcher(f.row, f.col, [&](std::uint32_t next) { work.push_back(next); });
    }
}

const CellValue& FormulaStore::value(std::uint32_t id)
{
    if (!m_formulas[id].dirty)
        return m_formulas[id].value;
    if (m_depth > 0) {
        evaluate(id);
        return m_formulas[id].value;
    }
    std::vector<std::uint32_t> pending{id};
    while (!pending.empty()) {
        std::uint32_t top = pending.back();
        if (!m_formulas[top].dirty) {
            pending.pop_back();
            continue;
        }
        try {
            evaluate(top);
            pending.pop_back();
        } catch (const TooDeep& deep) {
            for (auto p : m_path)
                m_formulas[p].evaluating = false;
            m_path.clear();
            m_depth = 0;
            // A formula that needs itself through a long chain is a cycle.
            if (std::find(pending.begin(), pending.end(), deep.id) != pending.end())
                setResult(deep.id, CellValue::ofError(kCycleError));
            else
                pending.push_back(deep.id);
        }
    }
    return m_formulas[id].value;
}

void FormulaStore::evaluate(std::uint32_t id)
{
    if (m_depth >= kMaxDepth)
        throw TooDeep{id};
    m_formulas[id].evaluating = true;
    m_path.push_back(id);
    ++m_depth;
    const Formula& f = m_formulas[id];
    CellValue v = f.tree ? evaluateNode(*f.tree, f) : CellValue::ofError(ErrorCode::Name);
    if (v.kind == CellValue::Kind::Empty)
        v = CellValue::ofNumber(0);
    --m_depth;
    m_path.pop_back();
    m_formulas[id].evaluating = false;
    setResult(id, std::move(v));
}

void FormulaStore::setResult(std::uint32_t id, CellValue value)
{
    Formula& f = m_formulas[id];
    f.dirty = false;
    if (f.value == value)
        return;
    CellValue before = std::exchange(f.value, std::move(value));
    if (Sheet* s = m_workbook.sheetById(f.sheet))
        s->formulaResultChanged(f.row, f.col, before, m_formulas[id].value);
}

CellValue FormulaStore::cellValue(std::int32_t sheetId, int row, int col)
{
    const Sheet* s = m_workbook.sheetById(sheetId);
    if (!s)
        return CellValue::ofError(ErrorCode::Ref);
    const Cell* c = s->cell(row, col);
    if (!c)
        return {};
    if (c->kind != CellKind::Formula)
        return CellValue::ofStored(*c);
    std::uint32_t id = c->formula;
    if (m_formulas[id].evaluating)
        return CellValue::ofError(kCycleError);
    if (m_formulas[id].dirty)
        evaluate(id);
    return m_formulas[id].value;
}

CellValue FormulaStore::evaluateNode(const FormulaNode& node, const Formula& at)
{
    using T = FormulaNode::Type;
    switch (node.type) {
    case T::Number: return CellValue::ofNumber(node.number);
    case T::Text: return node.op == 'o' ? CellValue{} : CellValue::ofText(node.text);
    case T::Bool: return CellValue::ofBool(node.boolean);
    case T::Error: return CellValue::ofError(node.error);
    case T::Name: return CellValue::ofError(ErrorCode::Name);
    case T::Paren: return evaluateNode(node.args[0], at);
    case T::Ref: {
        ResolvedArea a = resolve(node.ref, at.sheet, at.row, at.col);
        if (!a.valid)
            return CellValue::ofError(ErrorCode::Ref);
        if (a.row1 != a.row2 || a.col1 != a.col2 || node.ref.kind != Reference::Kind::Cell)
            return CellValue::ofError(ErrorCode::Value);
        return cellValue(a.sheet, a.row1, a.col1);
    }
    case T::Unary: {
        if (node.op == '%')
            return CellValue::ofError(ErrorCode::Value);
        CellValue error;
        double v;
        if (!toNumber(evaluateNode(node.args[0], at), v, error))
            return error;
        return checked(node.op == '-' ? -v : v);
    }
    case T::Binary: {
        if (node.op != '+' && node.op != '-' && node.op != '*' && node.op != '/')
            return CellValue::ofError(ErrorCode::Value);
        CellValue error;
        double a, b;
        if (!toNumber(evaluateNode(node.args[0], at), a, error))
            return error;
        if (!toNumber(evaluateNode(node.args[1], at), b, error))
            return error;
        switch (node.op) {
        case '+': return checked(a + b);
        case '-': return checked(a - b);
        case '*': return checked(a * b);
        default: return b == 0 ? CellValue::ofError(ErrorCode::Div0) : checked(a / b);
        }
    }
    case T::Function:
        if (node.text == "SUM")
            return sum(node, at);
        return CellValue::ofError(ErrorCode::Name);
    }
    return CellValue::ofError(ErrorCode::Value);
}

CellValue FormulaStore::sum(const FormulaNode& node, const Formula& at)
{
    double total = 0;
    for (const auto& arg : node.args) {
        if (arg.type != FormulaNode::Type::Ref) {
            CellValue error;
            double v;
            if (!toNumber(evaluateNode(arg, at), v, error))
                return error;
            total += v;
            continue;
        }
        ResolvedArea a = resolve(arg.ref, at.sheet, at.row, at.col);
        const Sheet* s = a.valid ? m_workbook.sheetById(a.sheet) : nullptr;
        if (!s)
            return CellValue::ofError(ErrorCode::Ref);
        int last = std::min(a.row2, s->usedRows());
        for (int r = a.row1; r <= last; ++r) {
            auto cells = s->rowCells(r);
            auto it = std::lower_bound(cells.begin(), cells.end(), a.col1,
                                       [](const Cell& c, int col) { return c.col < col; });
            for (; it != cells.end() && it->col <= a.col2; ++it) {
                switch (it->kind) {
                case CellKind::Number: total += it->number; break;
                case CellKind::Error: return CellValue::ofError(it->error);
                case CellKind::Formula: {
                    CellValue v = cellValue(a.sheet, r, it->col);
                    if (v.kind == CellValue::Kind::Number)
                        total += v.number;
                    else if (v.kind == CellValue::Kind::Error)
                        return v;
                    break;
                }
                default: break;  // texts and truth values in an area do not count
                }
            }
        }
    }
    return checked(total);
}

void FormulaStore::evaluateDirty(const Sheet* sheet)
{
    if (sheet) {
        auto& list = const_cast<Sheet*>(sheet)->dirtyFormulas();
        if (list.empty())
            return;
        auto ids = std::exchange(list, {});
        for (auto id : ids)
            if (m_formulas[id].live && m_formulas[id].dirty && m_formulas[id].sheet == sheet->id())
                value(id);
        return;
    }
    for (int i = 0; i < m_workbook.sheetCount(); ++i)
        m_workbook.sheet(i).dirtyFormulas().clear();
    for (std::uint32_t id = 0; id < m_formulas.size(); ++id)
        if (m_formulas[id].live && m_formulas[id].dirty)
            value(id);
}

void FormulaStore::sheetRemoving(std::int32_t id)
{
    std::vector<std::uint32_t> work;
    for (std::uint32_t k = 0; k < m_formulas.size(); ++k) {
        Formula& f = m_formulas[k];
        if (!f.live)
            continue;
        if (f.sheet == id) {
            remove(k);
            continue;
        }
        if (!f.tree)
            continue;
        if (FormulaTree lost = withoutSheet(*f.tree, id)) {
            watch(k, false);
            m_formulas[k].tree = std::move(lost);
            watch(k, true);
            work.push_back(k);
        }
    }
    markDirty(work);
}

std::string FormulaStore::textR1C1(std::uint32_t id) const
{
    const Formula& f = m_formulas[id];
    return f.tree ? printFormulaR1C1(*f.tree, m_workbook) : f.source;
}

}  // namespace zbir::workbook
