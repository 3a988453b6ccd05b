#pragma once
// The grid of one sheet: column letters, row numbers, cells painted as the
// sheet formats them, and the sheet's first rows frozen above the rest. The
// frozen rows are a second view of the same model laid over the top of the
// grid; the grid scrolls beneath it.

#include "engine/gui/sheet_model.h"

#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace zbir::workbook {

class FrozenRowsView;

// Paints cells from the model's Look and reports when cell editors open and close.
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    CellDelegate(SheetModel& model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

    QWidget* editor() const { return m_editor; }
    // Ends an open edit, keeping what was typed.
    void finishEditing();
    // true when its editor opens, false when it closes.
    std::function<void(bool)> onEditing;

protected:
    // An editor stays open while its window is not the active one, as the
    // user left it; other ways of losing the focus end the edit.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    SheetModel& m_model;
    mutable QWidget* m_editor = nullptr;
};

class SheetGrid : public QTableView {
    Q_OBJECT

public:
    explicit SheetGrid(SheetModel& model, QWidget* parent = nullptr);
    ~SheetGrid() override;

    SheetModel& sheetModel() const { return m_model; }
    QTableView* frozenView() const;

    // Rows 1..n stay in place above the rest; 0: none.
    void setFrozenRows(int rows);
    int frozenRows() const { return m_frozenRows; }
    // Column widths and row heights as the sheet has them.
    void applySizes(const Sheet& sheet);
    // Opens the editor of a cell, in the part of the grid that shows it.
    bool editCell(const QModelIndex& index);
    // Whether a cell editor is open, and the editor.
    bool editing() const;
    QWidget* cellEditor() const;
    // Ends an open edit, keeping what was typed.
    void finishEditing();
    // true when a cell editor opens, false when it closes.
    std::function<void(bool)> onEditing;

    static int rowPixels(double points);
    // Time the grid has spent painting its cells so far.
    qint64 paintNanoseconds() const { return m_paintNs; }

    // The user dragged a column to `width` characters or a row to `points`.
    std::function<void(int col, double width)> onColumnWidth;
    std::function<void(int row, double points)> onRowHeight;
    // Delete pressed: clear the selected cells.
    std::function<void()> onClear;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;

private:
    friend class FrozenRowsView;
    SheetModel& m_model;
    CellDelegate* m_delegate;
    CellDelegate* m_frozenDelegate;  // a view's editors go through a delegate of its own
    FrozenRowsView* m_frozen = nullptr;
    QWidget* m_frozenEdge = nullptr;
    int m_frozenRows = 0;
    bool m_applying = false;
    qint64 m_paintNs = 0;

    void layoutFrozen();
    void columnResized(int col, int oldSize, int newSize);
    void rowResized(int row, int oldSize, int newSize);
    void moveDown();
};

}  // namespace zbir::workbook
