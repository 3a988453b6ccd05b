#include "engine/gui/edit_bridge.h"

#include <algorithm>

namespace zbir::workbook {

QString cellName(int row, int col)
{
    return QString::fromStdString(columnLetters(col)) + QString::number(row);
}

CellArea selectionArea(const QItemSelection& selection, int row, int col, int rows, int cols)
{
    if (selection.isEmpty())
        return CellArea::cell(row, col);
    int top = selection.front().top(), bottom = selection.front().bottom();
    int left = selection.front().left(), right = selection.front().right();
    for (const QItemSelectionRange& r : selection) {
        top = std::min(top, r.top());
        bottom = std::max(bottom, r.bottom());
        left = std::min(left, r.left());
        right = std::max(right, r.right());
    }
    const bool allRows = top == 0 && bottom == rows - 1;
    const bool allCols = left == 0 && right == cols - 1;
    if (allRows && allCols)
        return CellArea::all();
    if (allCols)
        return CellArea::rows(top + 1, bottom + 1);
    if (allRows)
        return CellArea::columns(left + 1, right + 1);
    return CellArea::cells(top + 1, left + 1, bottom + 1, right + 1);
}

std::vector<CellChange> cellsToClear(const Sheet& sheet, QItemSelection selection, const QModelIndex& current)
{
    if (selection.isEmpty() && current.isValid())
        selection.select(current, current);
    std::vector<CellChange> changes;
    for (const QItemSelectionRange& range : selection) {
        const int last = std::min(range.bottom() + 1, sheet.usedRows());
        for (int r = range.top() + 1; r <= last; ++r)
            for (const Cell& c : sheet.rowCells(r))
                if (c.col > range.right() + 1)
                    break;
                else if (c.col >= range.left() + 1 && c.hasContent())
                    changes.push_back(CellChange{r, c.col, {}, {}});
    }
    std::sort(changes.begin(), changes.end(),
              [](const CellChange& a, const CellChange& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
    changes.erase(std::unique(changes.begin(), changes.end(),
                              [](const CellChange& a, const CellChange& b) { return a.row == b.row && a.col == b.col; }),
                  changes.end());
    return changes;
}

void makeEdits(Sheet& sheet, std::vector<CellChange>& changes, const std::vector<std::string>& texts)
{
    std::size_t done = 0;
    try {
        for (; done < changes.size(); ++done) {
            CellChange& c = changes[done];
            c.before = CellContent::of(sheet, c.row, c.col);
            sheet.setValue(c.row, c.col, texts[done]);
            c.after = CellContent::of(sheet, c.row, c.col);
        }
    } catch (const std::exception&) {
        while (done-- > 0)
            changes[done].before.restore(sheet, changes[done].row, changes[done].col);
        throw;
    }
}

}  // namespace zbir::workbook
