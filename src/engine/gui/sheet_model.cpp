#include "engine/gui/sheet_model.h"

#include "engine/gui/program_text.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

#include <algorithm>

namespace zbir::workbook {

namespace {

constexpr int kMinRows = 200;
constexpr int kSpareRows = 100;   // empty rows below the last used one
constexpr int kFetchRows = 1000;  // more rows when the view reaches the end
constexpr int kMinColumns = 30;
constexpr int kSpareColumns = 4;

// The family cells show in: one with the digit widths column widths count
// in, when installed.
QString cellFamily()
{
    static const QString family = QFontDatabase::hasFamily(QStringLiteral("Carlito")) ? QStringLiteral("Carlito")
                                                                                     : QApplication::font().family();
    return family;
}

Qt::Alignment horizontal(HAlign align, CellValue::Kind kind)
{
    switch (align) {
    case HAlign::Left: return Qt::AlignLeft;
    case HAlign::Center: return Qt::AlignHCenter;
    case HAlign::Right: return Qt::AlignRight;
    case HAlign::General: break;
    }
    switch (kind) {
    case CellValue::Kind::Number: return Qt::AlignRight;
    case CellValue::Kind::Bool:
    case CellValue::Kind::Error: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

CellValue::Kind kindOf(const Cell& c, Sheet& sheet)
{
    switch (c.kind) {
    case CellKind::Number: return CellValue::Kind::Number;
    case CellKind::Text: return CellValue::Kind::Text;
    case CellKind::Bool: return CellValue::Kind::Bool;
    case CellKind::Error: return CellValue::Kind::Error;
    case CellKind::Formula: return sheet.workbook().formulas().formula(c.formula).value.kind;
    case CellKind::Blank: break;
    }
    return CellValue::Kind::Empty;
}

}  // namespace

SheetModel::SheetModel(QObject* parent) : QAbstractTableModel(parent) {}

// Sized so that its digits are as wide as the engine counts them at `size`,
// which keeps numbers within the columns AutoFit made for them.
QFont SheetModel::cellFont(double size, bool bold)
{
    QFont f(cellFamily());
    f.setBold(bold);
    f.setPointSizeF(size);
    const QString digits = QStringLiteral("0123456789");
    const double counted = metrics::textPixels("0123456789", size);
    for (int round = 0; round < 2; ++round) {
        const double shown = QFontMetricsF(f).horizontalAdvance(digits);
        if (shown <= counted || shown <= 0)
            break;
        f.setPointSizeF(std::max(1.0, f.pointSizeF() * counted / shown));
    }
    return f;
}

int SheetModel::wantedRows() const
{
    if (!m_sheet)
        return 0;
    return std::min(kMaxRows, std::max(kMinRows, m_sheet->usedRows() + kSpareRows));
}

int SheetModel::wantedColumns() const
{
    if (!m_sheet)
        return 0;
    return std::min(kMaxColumns, std::max(kMinColumns, m_sheet->usedColumns() + kSpareColumns));
}

void SheetModel::setSheet(Sheet* sheet)
{
    beginResetModel();
    m_sheet = sheet;
    m_fonts.clear();
    m_fontKnown.clear();
    m_rows = wantedRows();
    m_cols = wantedColumns();
    endResetModel();
}

void SheetModel::follow()
{
    if (!m_sheet)
        return;
    const int rows = wantedRows();
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    const int cols = wantedColumns();
    if (cols > m_cols) {
        beginInsertColumns({}, m_cols, cols - 1);
        m_cols = cols;
        endInsertColumns();
    }
}

int SheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int SheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

bool SheetModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_sheet && m_rows < kMaxRows;
}

void SheetModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int rows = std::min(kMaxRows, m_rows + kFetchRows);
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

const QFont& SheetModel::styleFont(std::uint32_t style) const
{
    if (style >= m_fonts.size()) {
        m_fonts.resize(style + 1);
        m_fontKnown.resize(style + 1, false);
    }
    if (!m_fontKnown[style]) {
        const Style& s = m_sheet->workbook().styles().style(style);
        m_fonts[style] = cellFont(s.fontSize, s.bold);
        m_fontKnown[style] = true;
    }
    return m_fonts[style];
}

bool SheetModel::hasContent(int row, int col) const
{
    const Cell* cell = m_sheet ? m_sheet->cell(row + 1, col + 1) : nullptr;
    return cell && cell->hasContent();
}

SheetModel::Look SheetModel::look(int row, int col) const
{
    Look look;
    if (!m_sheet)
        return look;
    const int r = row + 1;
    const int c = col + 1;
    const std::uint32_t styleId = m_sheet->styleAt(r, c);
    look.font = styleFont(styleId);
    const Cell* cell = m_sheet->cell(r, c);
    CellValue::Kind kind = CellValue::Kind::Empty;
    if (cell && cell->hasContent()) {
        if (cell->kind == CellKind::Text) {
            look.text = qtText(cell->textView());
            kind = CellValue::Kind::Text;
        } else {
            look.text = qtText(m_sheet->displayText(r, c));  // evaluates a dirty formula first
            cell = m_sheet->cell(r, c);
            kind = kindOf(*cell, *m_sheet);
        }
    }
    look.number = kind == CellValue::Kind::Number;
    const Style& style = m_sheet->workbook().styles().style(styleId);
    look.align = horizontal(style.align, kind) | Qt::AlignBottom;
    return look;
}

QString SheetModel::editText(int row, int col) const
{
    if (!m_sheet)
        return {};
    const int r = row + 1;
    const int c = col + 1;
    const Cell* cell = m_sheet->cell(r, c);
    if (!cell || !cell->hasContent())
        return {};
    switch (cell->kind) {
    case CellKind::Text: return qtText(cell->textView());
    case CellKind::Number: {
        std::string text = shortestNumberText(cell->number);
        std::replace(text.begin(), text.end(), '.', ',');
        return qtText(text);
    }
    case CellKind::Formula: {
        Workbook& book = m_sheet->workbook();
        const Formula& f = book.formulas().formula(cell->formula);
        if (!f.tree)
            return qtText(f.source);
        std::string text(1, '=');
        text += printFormulaA1(*f.tree, f.row, f.col, book);
        return qtText(text);
    }
    default: return qtText(m_sheet->displayText(r, c));
    }
}

QVariant SheetModel::data(const QModelIndex& index, int role) const
{
    if (!m_sheet || !index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole: return look(index.row(), index.column()).text;
    case Qt::EditRole: return editText(index.row(), index.column());
    case Qt::FontRole: return look(index.row(), index.column()).font;
    case Qt::TextAlignmentRole: return QVariant::fromValue(look(index.row(), index.column()).align);
    default: return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return QString::fromStdString(columnLetters(section + 1));
    return QString::number(section + 1);
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const
{
    if (!m_sheet || !index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool SheetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_sheet || !index.isValid() || role != Qt::EditRole || !onEdit)
        return false;
    onEdit(index.row() + 1, index.column() + 1, programText(value.toString()));
    emit dataChanged(index, index);
    return true;
}

}  // namespace zbir::workbook
