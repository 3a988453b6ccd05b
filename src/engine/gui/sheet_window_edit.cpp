// The window's editing bridge: the user's selection and edits to the sheet,
// as undoable commands, and the edit line.

#include "engine/gui/sheet_window.h"

#include "engine/gui/cell_edit.h"
#include "engine/gui/edit_bridge.h"
#include "engine/gui/program_text.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_model.h"
#include "engine/gui/window_guards.h"
#include "spreadsheet/workbook.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QUndoStack>

namespace zbir::workbook {

// The user's selection becomes the sheet's: its bounding area and the current cell.
void SheetWindow::selectionToSheet()
{
    Sheet* sheet = m_model->sheet();
    const QModelIndex current = m_grid->selectionModel()->currentIndex();
    if (!sheet || !current.isValid())
        return;
    const int row = current.row() + 1;
    const int col = current.column() + 1;
    const CellArea area =
        selectionArea(m_grid->selectionModel()->selection(), row, col, m_model->rowCount(), m_model->columnCount());
    const Selection& now = sheet->selection();
    if (now.area == area && now.activeRow == row && now.activeCol == col)
        return;
    Own own(m_own);
    sheet->select(area, row, col);
}

bool SheetWindow::editCell(int row, int col, const std::string& text)
{
    Sheet* sheet = m_model->sheet();
    if (!sheet || !validRow(row) || !validColumn(col))
        return false;
    return edit(*sheet, {CellChange{row, col, {}, {}}}, {text}, cellName(row, col));
}

bool SheetWindow::edit(Sheet& sheet, std::vector<CellChange> changes, const std::vector<std::string>& texts,
                       const QString& what)
{
    Own own(m_own);
    try {
        makeEdits(sheet, changes, texts);
    } catch (const std::exception& e) {
        refresh();
        report(qtText(e.what()));
        return false;
    }
    // Every formula gets its result now, so that none changes later unasked.
    sheet.workbook().formulas().evaluateDirty(nullptr);
    CellEditCommand::Target target{[this](const std::function<void()>& work) {
                                       Own mine(m_own);
                                       work();
                                   },
                                   [this](std::int32_t id) { return sheetById(id); },
                                   [this](Sheet& s, int row, int col) { afterEdit(s, row, col); }};
    m_undo->push(new CellEditCommand(std::move(target), sheet.id(), std::move(changes), what));
    refresh();
    return true;
}

void SheetWindow::afterEdit(Sheet& sheet, int row, int col)
{
    Workbook& book = sheet.workbook();
    book.formulas().evaluateDirty(nullptr);
    for (int i = 0; i < book.sheetCount(); ++i)
        if (&book.sheet(i) == &sheet && i != book.activeSheetIndex())
            book.activateSheet(i);
    sheet.select(CellArea::cell(row, col), row, col);
    m_selectionDirty = true;
    refresh();
}

void SheetWindow::clearSelection()
{
    Sheet* sheet = m_model->sheet();
    if (!sheet)
        return;
    std::vector<CellChange> changes =
        cellsToClear(*sheet, m_grid->selectionModel()->selection(), m_grid->currentIndex());
    if (changes.empty())
        return;
    const std::vector<std::string> empty(changes.size());
    edit(*sheet, std::move(changes), empty, qtText("Usuni\xEA" "cie"));
}

void SheetWindow::commitEditLine()
{
    if (!m_lineEditing)
        return;
    m_lineEditing = false;
    const QModelIndex current = m_grid->currentIndex();
    if (Sheet* sheet = m_model->sheet(); sheet && current.isValid())
        edit(*sheet, {CellChange{current.row() + 1, current.column() + 1, {}, {}}}, {programText(m_edit->text())},
             cellName(current.row() + 1, current.column() + 1));
    updateBusy();
    showCurrentCell();
}

void SheetWindow::revertEditLine()
{
    m_lineEditing = false;
    updateBusy();
    showCurrentCell();
    m_grid->setFocus();
}

bool SheetWindow::eventFilter(QObject* object, QEvent* event)
{
    if (object == m_edit) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            revertEditLine();
            return true;
        }
        // Leaving the window keeps the edit open, as leaving a cell editor does.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason)
            commitEditLine();
    }
    return QMainWindow::eventFilter(object, event);
}

}  // namespace zbir::workbook
