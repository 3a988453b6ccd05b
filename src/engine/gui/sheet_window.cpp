#include "engine/gui/sheet_window.h"

#include "engine/gui/cell_edit.h"
#include "engine/gui/edit_bridge.h"
#include "engine/gui/program_text.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_model.h"
#include "engine/gui/window_guards.h"
#include "engine/gui/window_menus.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>

namespace zbir::workbook {

namespace {

bool sameSelection(const Selection& a, const Selection& b)
{
    return a.area == b.area && a.activeRow == b.activeRow && a.activeCol == b.activeCol;
}

bool sameProperties(const ApplicationState& a, const ApplicationState& b)
{
    return samePlace(a, b) && a.visible == b.visible && a.displayAlerts == b.displayAlerts &&
           a.screenUpdating == b.screenUpdating && a.screenTop == b.screenTop && a.screenHeight == b.screenHeight;
}

}  // namespace

SheetWindow::SheetWindow(std::shared_ptr<EmbeddedApplication> application, QWidget* parent)
    : QMainWindow(parent),
      m_application(std::move(application)),
      m_engine(m_application->engine()),
      m_model(new SheetModel(this)),
      m_undo(new QUndoStack(this)),
      m_placement(*this, m_engine, m_applying, m_own)
{
    setObjectName(QStringLiteral("SheetWindow"));
    createWidgets();
    setDefaultDialogs(*this);

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] {
        if (m_engine.state().screenUpdating)
            refresh();
    });
    m_sinceRefresh.start();

    m_placement.initialGeometry();
    m_placement.screenToEngine();
    m_properties = m_engine.state();
    m_engine.addObserver(this);
    m_placement.place();
    applyVisible();
    refresh();
}

SheetWindow::~SheetWindow()
{
    m_engine.removeObserver(this);
    m_grid->onEditing = nullptr;
    m_edit->removeEventFilter(this);
    if (m_grid->editing() || m_lineEditing)
        m_engine.setUserEditing(false);
}

void SheetWindow::createWidgets()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QWidget(central);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(2, 2, 2, 2);
    m_address = new QLabel(bar);
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setFixedWidth(80);
    m_address->setFrameShape(QFrame::StyledPanel);
    m_edit = new QLineEdit(bar);
    m_edit->setObjectName(QStringLiteral("editLine"));
    barLayout->addWidget(m_address);
    barLayout->addWidget(m_edit, 1);

    m_grid = new SheetGrid(*m_model, central);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_tabs = new QTabBar(central);
    m_tabs->setObjectName(QStringLiteral("sheetTabs"));
    m_tabs->setShape(QTabBar::RoundedSouth);
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->setFocusPolicy(Qt::NoFocus);

    layout->addWidget(bar);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_tabs);
    setCentralWidget(central);

    m_saveAction = addMenus(*this, *m_undo, [this] { save(); });

    m_model->onEdit = [this](int row, int col, const std::string& text) {
        if (Sheet* s = m_model->sheet())
            this->edit(*s, {CellChange{row, col, {}, {}}}, {text}, cellName(row, col));
    };
    m_grid->onEditing = [this](bool) { updateBusy(); };
    m_grid->onColumnWidth = [this](int col, double width) {
        if (Sheet* s = m_model->sheet()) {
            Own own(m_own);
            s->setColumnWidth(CellArea::columns(col, col), std::min(width, metrics::kMaxColumnWidth));
            updateTitle();
        }
    };
    m_grid->onRowHeight = [this](int row, double points) {
        if (Sheet* s = m_model->sheet()) {
            Own own(m_own);
            s->setRowHeight(row, std::min(points, metrics::kMaxRowHeight));
            updateTitle();
        }
    };
    m_grid->onClear = [this] { clearSelection(); };

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (m_applying || !m_book || index < 0 || index >= m_book->sheetCount())
            return;
        m_grid->finishEditing();
        {
            Own own(m_own);
            m_book->activateSheet(index);
        }
        refresh();
    });
    QItemSelectionModel* selection = m_grid->selectionModel();
    connect(selection, &QItemSelectionModel::currentChanged, this, [this] {
        if (!m_applying)
            selectionToSheet();
        showCurrentCell();
    });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_applying)
            selectionToSheet();
    });

    connect(m_edit, &QLineEdit::textEdited, this, [this] {
        if (!m_lineEditing && m_model->sheet()) {
            m_lineEditing = true;
            updateBusy();
        }
    });
    connect(m_edit, &QLineEdit::returnPressed, this, [this] {
        commitEditLine();
        m_grid->setFocus();
    });
    m_edit->installEventFilter(this);
}

// Notifications

void SheetWindow::cellsChanged(const Sheet& sheet, const CellArea&)
{
    if (!m_own && m_undo->count() > 0)
        m_undo->clear();  // changed by automation: the window's edits no longer undo cleanly
    if (&sheet == m_model->sheet()) {
        m_cellsDirty = true;
        schedule();
    }
}

void SheetWindow::sheetChanged(const Sheet& sheet)
{
    if (&sheet != m_model->sheet())
        return;
    // select() tells of a new selection; every other call of a layout change.
    if (!m_selectionSeen || !sameSelection(*m_selectionSeen, sheet.selection())) {
        m_selectionSeen = sheet.selection();
        if (!m_own)
            m_selectionDirty = true;
    } else {
        m_layoutDirty = true;
    }
    schedule();
}

void SheetWindow::workbookChanged(const Workbook& workbook)
{
    if (&workbook != m_book)
        return;
    forgetGoneSheet();
    m_structureDirty = true;
    schedule();
}

void SheetWindow::applicationChanged()
{
    const ApplicationState& s = m_engine.state();
    if (sameProperties(s, m_properties)) {
        // Workbooks opened, closed or activated.
        if (!m_own && m_undo->count() > 0)
            m_undo->clear();
        forgetGoneSheet();
        m_structureDirty = true;
        schedule();
        return;
    }
    const bool updatingAgain = s.screenUpdating && !m_properties.screenUpdating;
    const bool moved = !samePlace(s, m_properties);
    const bool shown = s.visible != m_properties.visible;
    m_properties = s;
    if (shown)
        applyVisible();
    if (moved)
        m_placement.post();
    if (updatingAgain)
        schedule();
}

// The shown workbook or sheet may be gone already; it is never read again.
void SheetWindow::forgetGoneSheet()
{
    bool bookOpen = false;
    for (int i = 0; i < m_engine.workbookCount() && !bookOpen; ++i)
        bookOpen = &m_engine.workbook(i) == m_book;
    if (!bookOpen)
        m_book = nullptr;
    if (m_model->sheet() && !ownsSheet(m_model->sheet()))
        m_model->dropSheet();
}

bool SheetWindow::ownsSheet(const Sheet* sheet) const
{
    if (!m_book)
        return false;
    for (int i = 0; i < m_book->sheetCount(); ++i)
        if (&m_book->sheet(i) == sheet)
            return true;
    return false;
}

Sheet* SheetWindow::sheetById(std::int32_t id) const
{
    return m_book ? m_book->sheetById(id) : nullptr;
}

void SheetWindow::schedule()
{
    if (!m_engine.state().screenUpdating || !isVisible() || m_refreshTimer.isActive())
        return;
    const qint64 costMs = (m_refreshNs + m_grid->paintNanoseconds() - m_paintNsBefore) / 1000000;
    const qint64 wait = std::max<qint64>(kRefreshMs, kCostShare * costMs) - m_sinceRefresh.elapsed();
    m_refreshTimer.start(wait > 0 ? static_cast<int>(wait) : 0);
}

void SheetWindow::refresh()
{
    QElapsedTimer cost;
    cost.start();
    m_refreshTimer.stop();
    ++m_refreshes;
    m_sinceRefresh.restart();
    m_paintNsBefore = m_grid->paintNanoseconds();
    Raise applying(m_applying);

    Workbook* book = m_engine.activeWorkbook();
    if (book != m_book || m_structureDirty) {
        m_book = book;
        rebuildTabs();
    }
    Sheet* sheet = book && book->sheetCount() > 0 ? &book->activeSheet() : nullptr;
    if (sheet != m_model->sheet()) {
        m_model->setSheet(sheet);
        m_selectionSeen.reset();
        if (sheet)
            m_selectionSeen = sheet->selection();
        m_layoutDirty = m_selectionDirty = m_cellsDirty = true;
    }
    if (sheet) {
        m_model->follow();
        if (m_layoutDirty) {
            m_grid->applySizes(*sheet);
            m_grid->setFrozenRows(sheet->splitRow());
        }
        if (m_selectionDirty)
            showSelection();
    } else {
        m_grid->setFrozenRows(0);
    }
    if (m_cellsDirty) {
        m_grid->viewport()->update();
        m_grid->frozenView()->viewport()->update();
    }
    showCurrentCell();
    updateTitle();
    m_structureDirty = m_layoutDirty = m_cellsDirty = m_selectionDirty = false;
    m_refreshNs = cost.nsecsElapsed();
}

void SheetWindow::rebuildTabs()
{
    std::vector<std::string> names;
    if (m_book)
        for (int i = 0; i < m_book->sheetCount(); ++i)
            names.push_back(m_book->sheet(i).name());
    const QSignalBlocker block(m_tabs);
    if (names != m_tabNames) {
        while (m_tabs->count() > 0)
            m_tabs->removeTab(m_tabs->count() - 1);
        for (const std::string& name : names)
            m_tabs->addTab(qtText(name));
        m_tabNames = names;
    }
    if (m_book)
        m_tabs->setCurrentIndex(m_book->activeSheetIndex());
}

void SheetWindow::showSelection()
{
    const Sheet* sheet = m_model->sheet();
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
    if (!sheet || rows == 0 || cols == 0)
        return;
    const Selection& sel = sheet->selection();
    auto row = [rows](int r) { return std::clamp(r - 1, 0, rows - 1); };
    auto col = [cols](int c) { return std::clamp(c - 1, 0, cols - 1); };
    const QModelIndex current = m_model->index(row(sel.activeRow), col(sel.activeCol));
    const QItemSelection area(m_model->index(row(sel.area.row1), col(sel.area.col1)),
                              m_model->index(row(sel.area.row2), col(sel.area.col2)));
    QItemSelectionModel* model = m_grid->selectionModel();
    model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    model->select(area, QItemSelectionModel::ClearAndSelect);
    m_grid->scrollTo(current);
}

void SheetWindow::showCurrentCell()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || !m_model->sheet()) {
        m_address->clear();
        if (!m_lineEditing)
            m_edit->clear();
        return;
    }
    m_address->setText(cellName(current.row() + 1, current.column() + 1));
    if (!m_lineEditing) {
        m_edit->setText(m_model->editText(current.row(), current.column()));
        m_edit->setCursorPosition(0);
    }
}

void SheetWindow::updateTitle()
{
    const QString app = qtText("Arkusz kalkulacyjny ZBIR");
    setWindowTitle(m_book ? qtText(m_book->name()) + QStringLiteral("[*] - ") + app : app);
    setWindowModified(m_book && m_book->modified());
}

void SheetWindow::updateBusy()
{
    m_engine.setUserEditing(m_grid->editing() || m_lineEditing);
}

// Saving and closing

bool SheetWindow::save()
{
    m_grid->finishEditing();
    commitEditLine();
    const int index = m_engine.activeWorkbookIndex();
    return index >= 0 && saveWorkbook(index);
}

bool SheetWindow::saveWorkbook(int index)
{
    Workbook& book = m_engine.workbook(index);
    std::filesystem::path path = book.path();
    if (path.empty()) {
        const QString chosen = chooseFile(qtText(book.name()) + QStringLiteral(".XLS"));
        if (chosen.isEmpty())
            return false;
        path = std::filesystem::path(chosen.toStdU16String());
    }
    try {
        Own own(m_own);
        m_engine.saveWorkbookAs(index, path);
    } catch (const std::exception& e) {
        report(qtText(e.what()));
        return false;
    }
    updateTitle();
    return true;
}

// Closing the window ends the application's work with its workbooks, as a
// spreadsheet application that is closed does; the engine stays for the
// automation object, which can open them again. Unsaved edits are asked
// about whatever DisplayAlerts says: that setting is for automation's prompts.
void SheetWindow::closeEvent(QCloseEvent* event)
{
    m_grid->finishEditing();
    commitEditLine();
    for (int i = 0; i < m_engine.workbookCount(); ++i) {
        Workbook& book = m_engine.workbook(i);
        if (!book.modified())
            continue;
        switch (ask(qtText("Zapisa\xE6 zmiany w skoroszycie " + book.name() + "?"))) {
        case Answer::Save:
            if (!saveWorkbook(i)) {
                event->ignore();
                return;
            }
            break;
        case Answer::Discard: break;
        case Answer::Cancel: event->ignore(); return;
        }
    }
    while (m_engine.workbookCount() > 0)
        m_engine.closeWorkbook(m_engine.workbookCount() - 1);
    m_engine.changeState([](ApplicationState& s) { s.visible = false; });
    event->accept();
}

// Window placement and events

void SheetWindow::applyVisible()
{
    Raise applying(m_applying);
    if (!m_engine.state().visible) {
        hide();
        return;
    }
    if (m_placement.pending())
        m_placement.place();
    show();
}

void SheetWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_placement.screenToEngine();
    refresh();
    if (!m_lineEditing && !m_grid->editing())
        m_grid->setFocus();
}

void SheetWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    m_placement.store();
}

void SheetWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_placement.store();
}

void SheetWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_placement.stateToEngine();
}

}  // namespace zbir::workbook
