#pragma once
// The embedded spreadsheet application's window: the active workbook's
// sheets as tabs, the grid of the active sheet and an edit line above it.
//
// It follows the engine through EngineObserver. Visible applies at once,
// WindowState, Top and Height once events are handled; changes of cells,
// sizes, sheets and the selection are collected and shown together while
// ScreenUpdating is on, never while it is off, and at most every kRefreshMs,
// or less often when showing them costs more: the window takes no more than
// about 1/kCostShare of the time of bulk writes.
//
// The user's edits follow the automation interface's rules (Sheet::setValue)
// and can be undone. While a cell is being edited, the engine is marked busy
// and refuses automation calls.

#include "engine/embedded_application.h"
#include "engine/gui/window_placement.h"
#include "spreadsheet/engine_observer.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QTabBar;
class QUndoStack;
class QAction;

namespace zbir::workbook {

class SheetGrid;
class SheetModel;
struct CellChange;

class SheetWindow : public QMainWindow, private EngineObserver {
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 100;
    static constexpr int kCostShare = 25;

    explicit SheetWindow(std::shared_ptr<EmbeddedApplication> application, QWidget* parent = nullptr);
    ~SheetWindow() override;

    EmbeddedApplication& application() const { return *m_application; }
    SheetGrid* grid() const { return m_grid; }
    SheetModel* model() const { return m_model; }
    QTabBar* tabs() const { return m_tabs; }
    QLineEdit* editLine() const { return m_edit; }
    QUndoStack* undoStack() const { return m_undo; }
    QAction* saveAction() const { return m_saveAction; }

    // Shows what changed in the engine now.
    void refresh();
    // How many times the window refreshed (shows changes).
    long refreshCount() const { return m_refreshes; }

    // Ctrl+S: saves the active workbook to its file.
    bool save();
    // Puts `text` into a cell of the shown sheet as the user typing it would (1-based).
    bool editCell(int row, int col, const std::string& text);

    // What to do with unsaved edits when the window closes.
    enum class Answer { Save, Discard, Cancel };
    std::function<Answer(const QString& question)> ask;
    std::function<void(const QString& message)> report;
    std::function<QString(const QString& suggestedName)> chooseFile;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    // EngineObserver
    void cellsChanged(const Sheet& sheet, const CellArea& area) override;
    void sheetChanged(const Sheet& sheet) override;
    void workbookChanged(const Workbook& workbook) override;
    void applicationChanged() override;

    void createWidgets();
    void schedule();
    void applyVisible();
    bool ownsSheet(const Sheet* sheet) const;
    void forgetGoneSheet();
    void rebuildTabs();
    void showSelection();
    void selectionToSheet();
    void showCurrentCell();
    void updateTitle();
    void updateBusy();
    // The editing bridge (sheet_window_edit.cpp).
    void clearSelection();
    bool edit(Sheet& sheet, std::vector<CellChange> changes, const std::vector<std::string>& texts,
              const QString& what);
    void afterEdit(Sheet& sheet, int row, int col);
    Sheet* sheetById(std::int32_t id) const;
    bool saveWorkbook(int index);
    void commitEditLine();
    void revertEditLine();

    std::shared_ptr<EmbeddedApplication> m_application;
    Engine& m_engine;
    SheetModel* m_model;
    SheetGrid* m_grid = nullptr;
    QTabBar* m_tabs = nullptr;
    QLineEdit* m_edit = nullptr;
    QLabel* m_address = nullptr;
    QUndoStack* m_undo;
    QAction* m_saveAction = nullptr;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    long m_refreshes = 0;
    qint64 m_refreshNs = 0;  // the last refresh and the grid's painting after it
    qint64 m_paintNsBefore = 0;

    // What the window shows, and what changed in the engine since.
    Workbook* m_book = nullptr;
    std::vector<std::string> m_tabNames;
    std::optional<Selection> m_selectionSeen;  // the shown sheet's selection at its last notification
    ApplicationState m_properties;
    bool m_structureDirty = true;
    bool m_layoutDirty = true;
    bool m_cellsDirty = true;
    bool m_selectionDirty = true;

    int m_own = 0;            // changes the window itself makes
    bool m_applying = false;  // showing engine state, not user action
    bool m_lineEditing = false;
    WindowPlacement m_placement;  // after the flags it is given
};

}  // namespace zbir::workbook
