#include "engine/gui/window_menus.h"

#include "engine/gui/program_text.h"
#include "engine/gui/sheet_window.h"

#include <QAction>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QUndoStack>

namespace zbir::workbook {

QAction* addMenus(QMainWindow& window, QUndoStack& undo, std::function<void()> save)
{
    auto* saveAction = new QAction(qtText("Zapisz"), &window);
    saveAction->setShortcut(QKeySequence::Save);
    QObject::connect(saveAction, &QAction::triggered, &window, std::move(save));
    auto* closeAction = new QAction(qtText("Zamknij"), &window);
    QObject::connect(closeAction, &QAction::triggered, &window, &QWidget::close);
    auto* undoAction = new QAction(qtText("Cofnij"), &window);
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setEnabled(false);
    QObject::connect(undoAction, &QAction::triggered, &undo, &QUndoStack::undo);
    QObject::connect(&undo, &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
    auto* redoAction = new QAction(qtText("Pon\xF3w"), &window);
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    redoAction->setShortcuts(redoKeys);
    redoAction->setEnabled(false);
    QObject::connect(redoAction, &QAction::triggered, &undo, &QUndoStack::redo);
    QObject::connect(&undo, &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);
    QMenu* file = window.menuBar()->addMenu(qtText("&Plik"));
    file->addAction(saveAction);
    file->addSeparator();
    file->addAction(closeAction);
    QMenu* edit = window.menuBar()->addMenu(qtText("&Edycja"));
    edit->addAction(undoAction);
    edit->addAction(redoAction);
    return saveAction;
}

void setDefaultDialogs(SheetWindow& window)
{
    SheetWindow* w = &window;
    window.ask = [w](const QString& question) {
        QMessageBox box(QMessageBox::Question, w->windowTitle(), question, QMessageBox::NoButton, w);
        QPushButton* save = box.addButton(qtText("Zapisz"), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(qtText("Nie zapisuj"), QMessageBox::DestructiveRole);
        box.addButton(qtText("Anuluj"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() == save)
            return SheetWindow::Answer::Save;
        return box.clickedButton() == discard ? SheetWindow::Answer::Discard : SheetWindow::Answer::Cancel;
    };
    window.report = [w](const QString& message) { QMessageBox::warning(w, w->windowTitle(), message); };
    window.chooseFile = [w](const QString& suggested) {
        return QFileDialog::getSaveFileName(w, qtText("Zapisz skoroszyt"), suggested,
                                            qtText("Skoroszyty (*.XLS *.xls *.xlsx)"));
    };
}

}  // namespace zbir::workbook
