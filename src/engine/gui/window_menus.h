#pragma once
// The spreadsheet window's menus and its own dialogs: the file menu (save,
// close) and the edit menu (undo, redo over the window's undo stack); the
// question about unsaved edits, the warning and the save-as dialog.

#include <functional>

class QAction;
class QMainWindow;
class QUndoStack;

namespace zbir::workbook {

class SheetWindow;

// Adds the menus to `window`; returns the save action (Ctrl+S), which calls `save`.
QAction* addMenus(QMainWindow& window, QUndoStack& undo, std::function<void()> save);

// Sets the window's ask, report and chooseFile to message boxes and the file dialog.
void setDefaultDialogs(SheetWindow& window);

}  // namespace zbir::workbook
