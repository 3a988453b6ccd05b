#pragma once
// The formulas of one workbook: where each sits, its tree, its current
// result, and which cells each depends on. A change to a cell marks the
// formulas that depend on it, directly or through other formulas, as dirty;
// a dirty formula is evaluated again when its result is needed.

#include "spreadsheet/cell.h"
#include "spreadsheet/formula.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zbir::workbook {

class Sheet;
class Workbook;

// The formulas that watch cells of one sheet, found by column.
class WatchIndex {
public:
    bool empty() const { return m_count == 0; }
    void add(const ResolvedArea& area, std::uint32_t formula);
    void remove(const ResolvedArea& area, std::uint32_t formula);

    template <class Fn>
    void forEachWatcher(int row, int col, Fn&& fn) const
    {
        if (m_count == 0)
            return;
        if (!m_cells.empty()) {
            auto [first, last] = m_cells.equal_range(key(row, col));
            for (auto it = first; it != last; ++it)
                fn(it->second);
        }
        if (col <= static_cast<int>(m_byColumn.size()))
            for (const auto& w : m_byColumn[static_cast<std::size_t>(col - 1)])
                if (row >= w.row1 && row <= w.row2)
                    fn(w.formula);
        for (const auto& w : m_wide)
            if (row >= w.row1 && row <= w.row2 && col >= w.col1 && col <= w.col2)
                fn(w.formula);
    }

private:
    struct Watch {
        std::uint32_t formula;
        int row1, row2, col1, col2;
    };
    static constexpr int kWide = 32;  // areas wider than this are kept apart
    static std::uint64_t key(int row, int col)
    {
        return (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint64_t>(col);
    }
    std::unordered_multimap<std::uint64_t, std::uint32_t> m_cells;  // single cells
    std::vector<std::vector<Watch>> m_byColumn;                     // areas, by column
    std::vector<Watch> m_wide;
    std::size_t m_count = 0;
};

struct Formula {
    std::int32_t sheet = 0;
    int row = 0, col = 0;
    FormulaTree tree;    // null when the text did not parse
    std::string source;  // the text as written, kept when it did not parse
    CellValue value;     // the current result
    bool dirty = true;
    bool evaluating = false;
    bool live = false;
};

class FormulaStore {
public:
    explicit FormulaStore(Workbook& workbook) : m_workbook(workbook) {}

    // A formula at a cell; `cached` is a result known from a file. Without
    // one the formula starts dirty.
    std::uint32_t add(std::int32_t sheet, int row, int col, FormulaTree tree, std::string source,
                      const CellValue* cached = nullptr);
    void remove(std::uint32_t id);
    const Formula& formula(std::uint32_t id) const { return m_formulas[id]; }
    std::size_t size() const { return m_formulas.size() - m_free.size(); }

    // The current result, evaluated first when dirty.
    const CellValue& value(std::uint32_t id);

    // The content of (row, col) on `sheet` changed.
    void cellChanged(const Sheet& sheet, int row, int col);

    // Makes every formula that depends on a dirty one dirty too: formulas
    // read from a file arrive in no order of their dependencies, and one
    // added after a formula that reads it leaves that reader dirty behind
    // readers of its own that hold results from the file.
    void spreadDirty();

    // Before sheet `id` goes: its formulas go, references to it become #REF!.
    void sheetRemoving(std::int32_t id);

    // Evaluates the dirty formulas that sit on a sheet (all sheets when null).
    void evaluateDirty(const Sheet* sheet);

    // Text of a formula in R1C1 notation, "=" first.
    std::string textR1C1(std::uint32_t id) const;

private:
    struct TooDeep {
        std::uint32_t id;
    };

    Workbook& m_workbook;
    std::vector<Formula> m_formulas;
    std::vector<std::uint32_t> m_free;
    std::vector<std::uint32_t> m_path;  // formulas being evaluated, outermost first
    int m_depth = 0;

    void watch(std::uint32_t id, bool on);
    void markDirty(std::vector<std::uint32_t>& work);
    void evaluate(std::uint32_t id);
    CellValue evaluateNode(const FormulaNode& node, const Formula& at);
    CellValue cellValue(std::int32_t sheet, int row, int col);
    CellValue sum(const FormulaNode& node, const Formula& at);
    void setResult(std::uint32_t id, CellValue value);
};

}  // namespace zbir::workbook
