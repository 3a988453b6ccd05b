#pragma once
// Between the grid and the sheet: the grid's selection as the sheet's, the
// cells a delete clears, and a set of cell edits made all or none.

#include "engine/gui/cell_edit.h"

#include <QItemSelection>
#include <QString>

#include <string>
#include <vector>

namespace zbir::workbook {

// "B7" for row 7, column 2.
QString cellName(int row, int col);

// The sheet's area for the grid's selection (0-based, in a grid of `rows` x
// `cols`): its bounding cells, whole rows or columns when they span the grid;
// the current cell (1-based `row`, `col`) alone when nothing is selected.
CellArea selectionArea(const QItemSelection& selection, int row, int col, int rows, int cols);

// The cells with content in the selection, or the current cell when nothing
// is selected, in row order, each once.
std::vector<CellChange> cellsToClear(const Sheet& sheet, QItemSelection selection, const QModelIndex& current);

// Puts texts[i] into the cell of changes[i] as the user typing it would,
// recording each cell's content before and after. When one is refused
// (Sheet::setValue throws), the cells already changed are put back and the
// exception goes on.
void makeEdits(Sheet& sheet, std::vector<CellChange>& changes, const std::vector<std::string>& texts);

}  // namespace zbir::workbook
