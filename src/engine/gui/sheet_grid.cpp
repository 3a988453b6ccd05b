#include "engine/gui/sheet_grid.h"

#include "spreadsheet/text_metrics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <cmath>

namespace zbir::workbook {

namespace {

const QColor kCurrentFrame(0x21, 0x73, 0x46);
const QColor kSelection(0xc6, 0xdf, 0xf5);
const QColor kFrozenEdge(0x70, 0x70, 0x70);

double pointsPerPixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return 72.0 / (dpi > 0 ? dpi : 96.0);
}

void setUpHeaders(QTableView& view)
{
    for (QHeaderView* h : {view.horizontalHeader(), view.verticalHeader()}) {
        h->setMinimumSectionSize(0);
        h->setSectionResizeMode(QHeaderView::Interactive);
        h->setHighlightSections(true);
    }
    view.horizontalHeader()->setDefaultSectionSize(metrics::columnPixels(metrics::kDefaultColumnWidth));
    view.verticalHeader()->setDefaultSectionSize(SheetGrid::rowPixels(metrics::kDefaultRowHeight));
    view.verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

void setUpView(QTableView& view)
{
    view.setWordWrap(false);
    view.setTextElideMode(Qt::ElideNone);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    view.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
    view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setUpHeaders(view);
    // The delegate paints selected cells itself; the style paints nothing under them.
    QPalette pal = view.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Highlight, Qt::transparent);
        pal.setColor(group, QPalette::HighlightedText, pal.color(group, QPalette::Text));
    }
    view.setPalette(pal);
}

}  // namespace

// The frozen rows: the same model, selection and sizes as the grid beneath,
// never scrolled vertically; the grid handles the keyboard and the scrolling.
class FrozenRowsView : public QTableView {
public:
    FrozenRowsView(SheetGrid& grid, CellDelegate* delegate) : QTableView(&grid), m_grid(grid)
    {
        setModel(&grid.m_model);
        setSelectionModel(grid.selectionModel());
        setItemDelegate(delegate);
        setUpView(*this);
        horizontalHeader()->hide();
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::NoFocus);
        setCornerButtonEnabled(false);
    }

    bool startEdit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
    {
        return edit(index, trigger, event);
    }

    void scrollTo(const QModelIndex&, ScrollHint) override {}

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        QTableView::closeEditor(editor, hint);
        m_grid.setFocus();
        if (hint == QAbstractItemDelegate::SubmitModelCache)
            m_grid.moveDown();
    }

    void wheelEvent(QWheelEvent* event) override { QCoreApplication::sendEvent(m_grid.viewport(), event); }

private:
    SheetGrid& m_grid;
};

// CellDelegate

CellDelegate::CellDelegate(SheetModel& model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect r = option.rect;
    // The current cell has its frame wherever the focus is, in the frozen rows too.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool current = view && view->currentIndex() == index;
    if ((option.state & QStyle::State_Selected) && !current)
        painter->fillRect(r, kSelection);
    if (r.width() > 4 && m_model.hasContent(index.row(), index.column())) {
        const SheetModel::Look look = m_model.look(index.row(), index.column());
        const QRect box = r.adjusted(3, 0, -3, -1);
        QString text = look.text;
        if (look.number) {
            // A number that does not fit shows as "###", never cut; a pixel
            // or two over the margin still fits.
            const QFontMetrics fm(look.font);
            if (fm.horizontalAdvance(text) > box.width() + 3)
                text = QString(box.width() / std::max(1, fm.horizontalAdvance(QLatin1Char('#'))), QLatin1Char('#'));
        }
        painter->save();
        painter->setFont(look.font);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(box, static_cast<int>(look.align) | Qt::TextSingleLine | (look.number ? Qt::TextDontClip : 0),
                          text);
        painter->restore();
    }
    if (current) {
        painter->save();
        QPen pen(kCurrentFrame, 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(r).adjusted(1, 1, -1, -1));
        painter->restore();
    }
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor)
        editor->setPalette(QApplication::palette(editor));
    const bool first = m_editor == nullptr;
    m_editor = editor;
    if (first && editor && onEditing)
        onEditing(true);
    return editor;
}

void CellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (editor == m_editor) {
        m_editor = nullptr;
        if (onEditing)
            onEditing(false);
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

void CellDelegate::finishEditing()
{
    if (QWidget* editor = m_editor) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool CellDelegate::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}

// SheetGrid

SheetGrid::SheetGrid(SheetModel& model, QWidget* parent)
    : QTableView(parent),
      m_model(model),
      m_delegate(new CellDelegate(model, this)),
      m_frozenDelegate(new CellDelegate(model, this))
{
    setModel(&m_model);
    setItemDelegate(m_delegate);
    setUpView(*this);
    setCornerButtonEnabled(true);

    m_frozen = new FrozenRowsView(*this, m_frozenDelegate);
    m_frozen->hide();
    viewport()->stackUnder(m_frozen);
    m_frozenEdge = new QWidget(this);
    m_frozenEdge->setAutoFillBackground(true);
    QPalette pal = m_frozenEdge->palette();
    pal.setColor(QPalette::Window, kFrozenEdge);
    m_frozenEdge->setPalette(pal);
    m_frozenEdge->hide();

    auto editing = [this](bool) {
        if (onEditing)
            onEditing(this->editing());
    };
    m_delegate->onEditing = editing;
    m_frozenDelegate->onEditing = editing;

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &SheetGrid::columnResized);
    connect(verticalHeader(), &QHeaderView::sectionResized, this, &SheetGrid::rowResized);
    connect(m_frozen->verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int row, int, int size) { verticalHeader()->resizeSection(row, size); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_frozen->horizontalScrollBar(), &QScrollBar::setValue);
    connect(m_frozen->horizontalScrollBar(), &QScrollBar::valueChanged, horizontalScrollBar(), &QScrollBar::setValue);
}

SheetGrid::~SheetGrid() = default;

QTableView* SheetGrid::frozenView() const
{
    return m_frozen;
}

int SheetGrid::rowPixels(double points)
{
    return static_cast<int>(std::lround(points / pointsPerPixel()));
}

bool SheetGrid::editing() const
{
    return m_delegate->editor() || m_frozenDelegate->editor();
}

QWidget* SheetGrid::cellEditor() const
{
    return m_delegate->editor() ? m_delegate->editor() : m_frozenDelegate->editor();
}

void SheetGrid::finishEditing()
{
    m_delegate->finishEditing();
    m_frozenDelegate->finishEditing();
}

bool SheetGrid::editCell(const QModelIndex& index)
{
    return edit(index, AllEditTriggers, nullptr);
}

void SheetGrid::setFrozenRows(int rows)
{
    if (rows == m_frozenRows)
        return;
    m_frozenRows = std::max(0, rows);
    layoutFrozen();
}

void SheetGrid::applySizes(const Sheet& sheet)
{
    m_applying = true;
    QHeaderView* columns = horizontalHeader();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const int px = metrics::columnPixels(sheet.columnWidth(c + 1));
        if (columns->sectionSize(c) != px)
            columns->resizeSection(c, px);
    }
    QHeaderView* rows = verticalHeader();
    const int standard = rows->defaultSectionSize();
    const int last = std::min(m_model.rowCount(), sheet.usedRows());
    for (int r = 0; r < last; ++r) {
        const int px = sheet.rowHeightSet(r + 1) ? rowPixels(sheet.rowHeight(r + 1)) : standard;
        if (rows->sectionSize(r) != px)
            rows->resizeSection(r, px);
    }
    m_applying = false;
    layoutFrozen();
}

void SheetGrid::columnResized(int col, int, int size)
{
    m_frozen->setColumnWidth(col, size);
    if (!m_applying && onColumnWidth)
        onColumnWidth(col + 1, metrics::widthOfPixels(size));
}

void SheetGrid::rowResized(int row, int, int size)
{
    if (row < m_frozenRows) {
        m_frozen->setRowHeight(row, size);
        layoutFrozen();
    }
    if (!m_applying && onRowHeight)
        onRowHeight(row + 1, std::round(size * pointsPerPixel() * 100) / 100);
}

void SheetGrid::layoutFrozen()
{
    if (!m_frozen)
        return;  // not built yet
    if (m_frozenRows <= 0 || !m_model.sheet()) {
        m_frozen->hide();
        m_frozenEdge->hide();
        return;
    }
    int height = 0;
    for (int r = 0; r < m_frozenRows && r < m_model.rowCount(); ++r)
        height += rowHeight(r);
    const int fw = frameWidth();
    const int top = fw + horizontalHeader()->height();
    const int width = verticalHeader()->width() + viewport()->width();
    m_frozen->verticalHeader()->setFixedWidth(verticalHeader()->width());
    for (int r = 0; r < m_frozenRows && r < m_model.rowCount(); ++r)
        m_frozen->setRowHeight(r, rowHeight(r));
    m_frozen->setGeometry(fw, top, width, height);
    m_frozen->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
    m_frozenEdge->setGeometry(fw, top + height - 1, width, 1);
    m_frozen->show();
    m_frozen->raise();
    m_frozenEdge->show();
    m_frozenEdge->raise();
}

void SheetGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (m_frozenRows <= 0 || !index.isValid()) {
        QTableView::scrollTo(index, hint);
        return;
    }
    QScrollBar* v = verticalScrollBar();
    const int before = v->value();
    QTableView::scrollTo(index, hint);
    if (index.row() < m_frozenRows) {
        v->setValue(before);  // frozen rows are always in view
        return;
    }
    // The first rows of the scrolled part lie under the frozen ones.
    if (index.row() - m_frozenRows < v->value())
        v->setValue(index.row() - m_frozenRows);
}

bool SheetGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (index.isValid() && index.row() < m_frozenRows && m_frozen->isVisible())
        return m_frozen->startEdit(index, trigger, event);
    return QTableView::edit(index, trigger, event);
}

void SheetGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        moveDown();
}

void SheetGrid::moveDown()
{
    const QModelIndex cur = currentIndex();
    if (!cur.isValid())
        return;
    const QModelIndex next = m_model.index(std::min(cur.row() + 1, m_model.rowCount() - 1), cur.column());
    selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
}

void SheetGrid::keyPressEvent(QKeyEvent* event)
{
    if (state() != EditingState && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Delete:
            if (onClear)
                onClear();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            moveDown();
            return;
        default: break;
        }
    }
    QTableView::keyPressEvent(event);
}

void SheetGrid::paintEvent(QPaintEvent* event)
{
    QElapsedTimer timer;
    timer.start();
    QTableView::paintEvent(event);
    m_paintNs += timer.nsecsElapsed();
}

void SheetGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    layoutFrozen();
}

void SheetGrid::updateGeometries()
{
    QTableView::updateGeometries();
    layoutFrozen();
}

}  // namespace zbir::workbook
