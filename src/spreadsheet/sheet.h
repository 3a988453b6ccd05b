#pragma once
// One worksheet: cells by row, column and row settings, the selection and
// the split. Formats reach a new cell from its row, else its column, else
// the sheet. Each column keeps the widths of the texts its cells show, so
// that AutoFit costs one step per column.
//
// A grid window reads cell(), rowCells(), styleAt(), columnWidth(),
// rowHeight(), splitRow() and selection() without copying, and value() or
// displayText(), which first evaluate a dirty formula. The workbook's
// StyleTable resolves style indices.

#include "spreadsheet/cell.h"
#include "spreadsheet/cell_address.h"
#include "spreadsheet/formula_store.h"
#include "spreadsheet/style.h"
#include "spreadsheet/text_store.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::workbook {

class Workbook;

struct Selection {
    CellArea area = CellArea::cell(1, 1);
    int activeRow = 1, activeCol = 1;
};

class Sheet {
public:
    Sheet(Workbook& workbook, std::int32_t id, std::string name);
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    std::int32_t id() const { return m_id; }
    const std::string& name() const { return m_name; }
    Workbook& workbook() const { return m_workbook; }

    // Rows and columns in use (cells, formats or sizes): 0 when none.
    int usedRows() const { return static_cast<int>(m_rows.size()); }
    int usedColumns() const { return static_cast<int>(m_columns.size()); }
    std::size_t cellCount() const { return m_cellCount; }

    const Cell* cell(int row, int col) const;
    // The cells of a row, by column.
    std::span<const Cell> rowCells(int row) const;
    // The style a cell has, or a new cell there would get.
    std::uint32_t styleAt(int row, int col) const;

    // Current value; formulas are evaluated first when dirty.
    CellValue value(int row, int col);
    // The value as text: numbers in the shortest form with a point, formula results, error texts.
    std::string valueText(int row, int col);
    // valueText of columns first..last of a row, into out[0..last-first],
    // reusing the strings' storage; only the row's cells are visited.
    void valueTexts(int row, int first, int last, std::vector<std::string>& out);
    // The text the cell shows through its number format.
    std::string displayText(int row, int col);
    // The formula in R1C1 notation; empty when the cell holds none.
    std::string formulaR1C1(int row, int col) const;

    double columnWidth(int col) const;  // characters
    double defaultColumnWidth() const { return m_defaultWidth; }
    bool columnWidthSet(int col) const;
    double rowHeight(int row) const;  // points
    bool rowHeightSet(int row) const;
    std::int32_t rowStyle(int row) const;     // -1 when the row has none
    std::int32_t columnStyle(int col) const;  // -1 when the column has none
    std::uint32_t defaultStyle() const { return m_defaultStyle; }
    int splitRow() const { return m_splitRow; }
    const Selection& selection() const { return m_selection; }

    // Value := text: a number when the cell's format is not text and the
    // text reads as one, a formula (A1 notation) when it begins with "=" in
    // such a cell, else the text. An empty text empties the cell.
    void setValue(int row, int col, std::string_view text);
    void setText(int row, int col, std::string_view text);
    void setNumber(int row, int col, double value);
    void setBool(int row, int col, bool value);
    void setError(int row, int col, ErrorCode error);
    // FormulaR1C1 := text. A text without "=" is written as Value.
    void setFormulaR1C1(int row, int col, std::string_view text);
    void setFormulaA1(int row, int col, std::string_view text);
    void setFormula(int row, int col, FormulaTree tree, std::string source, const CellValue* cached = nullptr);

    void clearContents(const CellArea& area);
    void applyStyle(const CellArea& area, const StyleChange& change);
    // Width of the columns an area spans; for the whole sheet, every column.
    void setColumnWidth(const CellArea& area, double width);
    void setRowHeight(int row, double points);
    void setSplitRow(int row);
    void select(const CellArea& area, int activeRow, int activeCol);
    // Fits every column that shows any text to its widest text.
    void autoFit();

    void rename(std::string name);  // the workbook checks the name

    // Reading a file: a cell's style set directly, and the default width.
    void setCellStyle(int row, int col, std::uint32_t style);
    void setDefaultColumnWidth(double width);

    // The formulas that watch this sheet's cells.
    WatchIndex& watches() { return m_watches; }
    const WatchIndex& watches() const { return m_watches; }
    // Called by the formula store when a formula on this sheet gets a new result.
    void formulaResultChanged(int row, int col, const CellValue& before, const CellValue& after);
    // Formulas on this sheet that became dirty since the last AutoFit (may repeat or be stale).
    std::vector<std::uint32_t>& dirtyFormulas() { return m_dirtyFormulas; }

private:
    struct Row {
        std::vector<Cell> cells;
        std::int32_t style = -1;
        float height = -1;
    };
    // Pixel widths of the texts a column's cells show, counted, ascending.
    class WidthCounts {
    public:
        void add(int pixels);
        void remove(int pixels);
        bool empty() const { return m_counts.empty(); }
        int widest() const { return m_counts.back().first; }
        void clear() { m_counts.clear(); }

    private:
        std::vector<std::pair<int, std::uint32_t>> m_counts;
    };
    struct Column {
        double width = -1;
        std::int32_t style = -1;
        WidthCounts widths;
    };

    Workbook& m_workbook;
    std::int32_t m_id;
    std::string m_name;
    std::vector<Row> m_rows;
    std::vector<Column> m_columns;
    std::size_t m_cellCount = 0;
    TextStore m_texts;
    WatchIndex m_watches;
    std::vector<std::uint32_t> m_dirtyFormulas;
    std::uint32_t m_defaultStyle = 0;
    double m_defaultWidth;
    int m_splitRow = 0;
    Selection m_selection;

    Cell* findCell(int row, int col);
    Cell& cellForWrite(int row, int col);
    std::uint32_t inheritedStyle(int row, int col) const;
    Column& column(int col);
    int contentPixels(const Cell& cell);
    int valuePixels(const CellValue& value, std::uint32_t style) const;
    void countWidth(int col, int before, int after);
    // Removes what the cell holds (text, formula), leaving it blank.
    void dropContent(Cell& cell);
    void contentChanged(int row, int col);
    void compactTexts();
    void touched(const CellArea& area);
    void layoutChanged();
    void checkPosition(int row, int col) const;
};

}  // namespace zbir::workbook
