#include "engine/gui/sheet_window.h"

#include "engine/gui/cell_edit.h"
#include "engine/gui/program_text.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_model.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zbir::workbook {

namespace {


// Sets a flag for a scope.
class Raise {
public:
    explicit Raise(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~Raise() { m_flag = m_old; }
    Raise(const Raise&) = delete;
    Raise& operator=(const Raise&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

// Counts a change the window itself makes, for its scope.
class Own {
public:
    explicit Own(int& count) : m_count(count) { ++m_count; }
    ~Own() { --m_count; }
    Own(const Own&) = delete;
    Own& operator=(const Own&) = delete;

private:
    int& m_count;
};

bool sameSelection(const Selection& a, const Selection& b)
{
    return a.area == b.area && a.activeRow == b.activeRow && a.activeCol == b.activeCol;
}

// The properties that place the window.
bool samePlace(const ApplicationState& a, const ApplicationState& b)
{
    return a.windowState == b.windowState && a.top == b.top && a.height == b.height;
}

bool sameProperties(const ApplicationState& a, const ApplicationState& b)
{
    return samePlace(a, b) && a.visible == b.visible && a.displayAlerts == b.displayAlerts &&
           a.screenUpdating == b.screenUpdating && a.screenTop == b.screenTop && a.screenHeight == b.screenHeight;
}

QString cellName(int row, int col)
{
    return QString::fromStdString(columnLetters(col)) + QString::number(row);
}

}  // namespace

SheetWindow::SheetWindow(std::shared_ptr<EmbeddedApplication> application, QWidget* parent)
    : QMainWindow(parent),
      m_application(std::move(application)),
      m_engine(m_application->engine()),
      m_model(new SheetModel(this)),
      m_undo(new QUndoStack(this))
{
    setObjectName(QStringLiteral("SheetWindow"));
    createWidgets();

    ask = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::NoButton, this);
        QPushButton* save = box.addButton(qtText("Zapisz"), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(qtText("Nie zapisuj"), QMessageBox::DestructiveRole);
        box.addButton(qtText("Anuluj"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() == save)
            return Answer::Save;
        return box.clickedButton() == discard ? Answer::Discard : Answer::Cancel;
    };
    report = [this](const QString& message) { QMessageBox::warning(this, windowTitle(), message); };
    chooseFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, qtText("Zapisz skoroszyt"), suggested,
                                            qtText("Skoroszyty (*.XLS *.xls *.xlsx)"));
    };

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] {
        if (m_engine.state().screenUpdating)
            refresh();
    });
    m_sinceRefresh.start();

    // Left and width are the window's own; Top and Height come from the engine.
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        const int width = std::min(area.width(), 1100);
        setGeometry(area.left() + (area.width() - width) / 2, area.top(), width, std::min(area.height(), 700));
    }
    screenToEngine();
    m_properties = m_engine.state();
    m_engine.addObserver(this);
    placeWindow();
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

    m_saveAction = new QAction(qtText("Zapisz"), this);
    m_saveAction->setShortcut(QKeySequence::Save);
    connect(m_saveAction, &QAction::triggered, this, [this] { save(); });
    auto* closeAction = new QAction(qtText("Zamknij"), this);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    auto* undoAction = new QAction(qtText("Cofnij"), this);
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setEnabled(false);
    connect(undoAction, &QAction::triggered, m_undo, &QUndoStack::undo);
    connect(m_undo, &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
    auto* redoAction = new QAction(qtText("Pon\xF3w"), this);
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    redoAction->setShortcuts(redoKeys);
    redoAction->setEnabled(false);
    connect(redoAction, &QAction::triggered, m_undo, &QUndoStack::redo);
    connect(m_undo, &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);
    QMenu* file = menuBar()->addMenu(qtText("&Plik"));
    file->addAction(m_saveAction);
    file->addSeparator();
    file->addAction(closeAction);
    QMenu* edit = menuBar()->addMenu(qtText("&Edycja"));
    edit->addAction(undoAction);
    edit->addAction(redoAction);

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
        postPlacement();
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

// The user's selection becomes the sheet's: its bounding area and the current cell.
void SheetWindow::selectionToSheet()
{
    Sheet* sheet = m_model->sheet();
    const QModelIndex current = m_grid->selectionModel()->currentIndex();
    if (!sheet || !current.isValid())
        return;
    const int row = current.row() + 1;
    const int col = current.column() + 1;
    CellArea area = CellArea::cell(row, col);
    const QItemSelection selection = m_grid->selectionModel()->selection();
    if (!selection.isEmpty()) {
        int top = selection.front().top(), bottom = selection.front().bottom();
        int left = selection.front().left(), right = selection.front().right();
        for (const QItemSelectionRange& r : selection) {
            top = std::min(top, r.top());
            bottom = std::max(bottom, r.bottom());
            left = std::min(left, r.left());
            right = std::max(right, r.right());
        }
        const bool allRows = top == 0 && bottom == m_model->rowCount() - 1;
        const bool allCols = left == 0 && right == m_model->columnCount() - 1;
        if (allRows && allCols)
            area = CellArea::all();
        else if (allCols)
            area = CellArea::rows(top + 1, bottom + 1);
        else if (allRows)
            area = CellArea::columns(left + 1, right + 1);
        else
            area = CellArea::cells(top + 1, left + 1, bottom + 1, right + 1);
    }
    const Selection& now = sheet->selection();
    if (now.area == area && now.activeRow == row && now.activeCol == col)
        return;
    Own own(m_own);
    sheet->select(area, row, col);
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

// Editing

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
    std::size_t done = 0;
    try {
        for (; done < changes.size(); ++done) {
            CellChange& c = changes[done];
            c.before = CellContent::of(sheet, c.row, c.col);
            sheet.setValue(c.row, c.col, texts[done]);
            c.after = CellContent::of(sheet, c.row, c.col);
        }
    } catch (const std::exception& e) {
        while (done-- > 0)
            changes[done].before.restore(sheet, changes[done].row, changes[done].col);
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
    QItemSelection selection = m_grid->selectionModel()->selection();
    const QModelIndex current = m_grid->currentIndex();
    if (selection.isEmpty() && current.isValid())
        selection.select(current, current);
    std::vector<CellChange> changes;
    for (const QItemSelectionRange& range : selection) {
        const int last = std::min(range.bottom() + 1, sheet->usedRows());
        for (int r = range.top() + 1; r <= last; ++r)
            for (const Cell& c : sheet->rowCells(r))
                if (c.col > range.right() + 1)
                    break;
                else if (c.col >= range.left() + 1 && c.hasContent())
                    changes.push_back(CellChange{r, c.col, {}, {}});
    }
    if (changes.empty())
        return;
    std::sort(changes.begin(), changes.end(),
              [](const CellChange& a, const CellChange& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
    changes.erase(std::unique(changes.begin(), changes.end(),
                              [](const CellChange& a, const CellChange& b) { return a.row == b.row && a.col == b.col; }),
                  changes.end());
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

// Window placement

double SheetWindow::pointsPerPixel() const
{
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 72.0 / (dpi > 0 ? dpi : 96.0);
}

// Where a maximised window would be: the screen's work area, in points.
void SheetWindow::screenToEngine()
{
    const QScreen* s = screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const double p = pointsPerPixel();
    const double top = area.top() * p;
    const double height = area.height() * p;
    const ApplicationState& now = m_engine.state();
    if (now.screenTop == top && now.screenHeight == height)
        return;
    Own own(m_own);
    m_engine.changeState([&](ApplicationState& st) {
        st.screenTop = top;
        st.screenHeight = height;
    });
}

void SheetWindow::applyVisible()
{
    Raise applying(m_applying);
    if (!m_engine.state().visible) {
        hide();
        return;
    }
    if (m_placePending)
        placeWindow();
    show();
}

// Automation often changes the state and place several times in one go (the
// placement below the main window maximises the window, reads, restores and
// moves it): the window takes the last of them once events are handled.
void SheetWindow::postPlacement()
{
    if (m_placePending)
        return;
    m_placePending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_placePending)
            placeWindow();
    });
}

void SheetWindow::placeWindow()
{
    m_placePending = false;
    Raise applying(m_applying);
    const ApplicationState& s = m_engine.state();
    const Qt::WindowStates want = s.windowState == xl::Maximized ? Qt::WindowMaximized
                                  : s.windowState == xl::Minimized  ? Qt::WindowMinimized
                                                                 : Qt::WindowNoState;
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) != want)
        setWindowState(want);
    if (want == Qt::WindowNoState)
        placeNormal();
}

// Top and Height in points are the frame's; left and width stay.
void SheetWindow::placeNormal()
{
    const ApplicationState& s = m_engine.state();
    const double p = pointsPerPixel();
    const QRect frame = frameGeometry();
    const int top = static_cast<int>(std::lround(s.top / p));
    const int frameHeight = static_cast<int>(std::lround(s.height / p));
    const int clientHeight = std::max(frameHeight - (frame.height() - height()), minimumSizeHint().height());
    if (frame.top() != top)
        move(frame.left(), top);
    if (height() != clientHeight)
        resize(width(), clientHeight);
}

void SheetWindow::storeGeometry()
{
    if (m_applying || !isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        return;
    const double p = pointsPerPixel();
    const QRect frame = frameGeometry();
    const double top = frame.top() * p;
    const double height = frame.height() * p;
    const ApplicationState& now = m_engine.state();
    if (std::lround(now.top / p) == frame.top() && std::lround(now.height / p) == frame.height())
        return;
    Own own(m_own);
    m_engine.changeState([&](ApplicationState& st) {
        st.top = top;
        st.height = height;
    });
}

void SheetWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    screenToEngine();
    refresh();
    if (!m_lineEditing && !m_grid->editing())
        m_grid->setFocus();
}

void SheetWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    storeGeometry();
}

void SheetWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    storeGeometry();
}

void SheetWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_applying)
        return;
    const int state = isMaximized() ? xl::Maximized : isMinimized() ? xl::Minimized : xl::Normal;
    if (state == m_engine.state().windowState)
        return;
    Own own(m_own);
    m_engine.changeState([state](ApplicationState& s) { s.windowState = state; });
}

}  // namespace zbir::workbook
