// The window's editing bridge without the window: the grid's selection as
// the sheet's area, the cells a delete clears, and edits made all or none.

#include "engine/gui/edit_bridge.h"
#include "spreadsheet/automation.h"
#include "spreadsheet/workbook.h"

#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zbir::workbook {
namespace {

constexpr int kRows = 10;
constexpr int kCols = 6;

class EditBridgeTest : public ::testing::Test {
protected:
    // The 0-based block from (r1, c1) to (r2, c2) of the grid.
    QItemSelection block(int r1, int c1, int r2, int c2) const
    {
        return QItemSelection(m_grid.index(r1, c1), m_grid.index(r2, c2));
    }

    std::string text(int row, int col) const { return CellContent::of(m_sheet, row, col).text; }

    QStandardItemModel m_grid{kRows, kCols};
    Workbook m_book{"Zeszyt"};
    Sheet& m_sheet = m_book.addSheet(0, "A");
};

TEST_F(EditBridgeTest, SelectionBecomesTheSheetsAreaOneBased)
{
    EXPECT_EQ(selectionArea({}, 4, 2, kRows, kCols), CellArea::cell(4, 2));
    EXPECT_EQ(selectionArea(block(1, 1, 2, 3), 2, 2, kRows, kCols), CellArea::cells(2, 2, 3, 4));

    // Two blocks: their bounding area.
    QItemSelection two = block(0, 4, 0, 4);
    two.merge(block(5, 1, 6, 1), QItemSelectionModel::Select);
    EXPECT_EQ(selectionArea(two, 1, 5, kRows, kCols), CellArea::cells(1, 2, 7, 5));

    // Spanning the grid: whole rows, whole columns, everything.
    EXPECT_EQ(selectionArea(block(2, 0, 3, kCols - 1), 3, 1, kRows, kCols), CellArea::rows(3, 4));
    EXPECT_EQ(selectionArea(block(0, 1, kRows - 1, 1), 1, 2, kRows, kCols), CellArea::columns(2, 2));
    EXPECT_EQ(selectionArea(block(0, 0, kRows - 1, kCols - 1), 1, 1, kRows, kCols), CellArea::all());
}

TEST_F(EditBridgeTest, DeleteClearsOnlyCellsWithContentEachOnceInRowOrder)
{
    m_sheet.setValue(2, 2, "a");
    m_sheet.setValue(2, 5, "outside");
    m_sheet.setValue(3, 3, "b");
    m_sheet.setValue(5, 2, "c");

    QItemSelection overlapping = block(3, 1, 4, 2);  // rows 4-5, columns B-C
    overlapping.merge(block(1, 1, 2, 3), QItemSelectionModel::Select);  // rows 2-3, columns B-D
    overlapping.merge(block(1, 1, 4, 1), QItemSelectionModel::Select);  // rows 2-5, column B again
    const std::vector<CellChange> changes = cellsToClear(m_sheet, overlapping, {});
    std::vector<std::pair<int, int>> cells;
    for (const CellChange& c : changes)
        cells.emplace_back(c.row, c.col);
    EXPECT_EQ(cells, (std::vector<std::pair<int, int>>{{2, 2}, {3, 3}, {5, 2}}));

    // Nothing selected: the current cell, when it holds something.
    EXPECT_EQ(cellsToClear(m_sheet, {}, m_grid.index(2, 2)).size(), 1u);
    EXPECT_TRUE(cellsToClear(m_sheet, {}, m_grid.index(0, 0)).empty());
    EXPECT_TRUE(cellsToClear(m_sheet, {}, {}).empty());
}

TEST_F(EditBridgeTest, EditsAreMadeAllOrNone)
{
    m_sheet.setValue(1, 1, "old");
    std::vector<CellChange> changes{{1, 1, {}, {}}, {1, 2, {}, {}}};
    makeEdits(m_sheet, changes, {"new", "12"});
    EXPECT_EQ(changes[0].before.text, "old");
    EXPECT_EQ(changes[0].after.text, "new");
    EXPECT_EQ(changes[1].after.kind, CellKind::Number);

    // The second text is refused (longer than a cell holds): the first cell is put back.
    std::vector<CellChange> refused{{1, 1, {}, {}}, {1, 2, {}, {}}};
    EXPECT_THROW(makeEdits(m_sheet, refused, {"other", std::string(40000, 'x')}), AutomationError);
    EXPECT_EQ(text(1, 1), "new");
    EXPECT_EQ(CellContent::of(m_sheet, 1, 2).number, 12);
}

}  // namespace
}  // namespace zbir::workbook
