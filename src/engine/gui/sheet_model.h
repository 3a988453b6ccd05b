#pragma once
// One sheet of the engine as a table model. Nothing is copied: every call
// reads the sheet, so a view costs what it shows, whatever the sheet's size.
// Rows and columns count from 0 here and from 1 in the sheet.

#include "spreadsheet/sheet.h"

#include <QAbstractTableModel>
#include <QFont>

#include <functional>
#include <string>
#include <vector>

namespace zbir::workbook {

class SheetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit SheetModel(QObject* parent = nullptr);

    Sheet* sheet() const { return m_sheet; }
    // Shows `sheet`, or nothing when null (a reset for the views).
    void setSheet(Sheet* sheet);
    // Forgets a sheet that is gone, without a word to the views, which may
    // not repaint now; they see empty cells until the next setSheet.
    void dropSheet() { m_sheet = nullptr; }
    // Adds the rows and columns the sheet came to use since.
    void follow();

    // What a cell shows, read once for painting.
    struct Look {
        QString text;
        QFont font;
        Qt::Alignment align = Qt::AlignLeft | Qt::AlignBottom;
        bool number = false;  // a number, which shows "###" where it does not fit
    };
    Look look(int row, int col) const;
    // Whether a cell holds anything to show (cheaper than look()).
    bool hasContent(int row, int col) const;
    // The text the edit line shows: the formula in A1 notation, or the value
    // (numbers with a decimal comma).
    QString editText(int row, int col) const;
    // The font a cell of `size` points shows in: one whose digits are as wide
    // as the widths of columns count them.
    static QFont cellFont(double size, bool bold);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit goes to onEdit, which changes the sheet.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Row and column (1-based) and the program text typed.
    std::function<void(int row, int col, const std::string& text)> onEdit;

private:
    Sheet* m_sheet = nullptr;
    int m_rows = 0;
    int m_cols = 0;
    mutable std::vector<QFont> m_fonts;  // by style index of the sheet's workbook
    mutable std::vector<bool> m_fontKnown;

    const QFont& styleFont(std::uint32_t style) const;
    int wantedRows() const;
    int wantedColumns() const;
};

}  // namespace zbir::workbook
