#pragma once
// The spreadsheet room: the automation interface (this header) and the
// workbook model behind it.
//
// The spreadsheet application as the rest of the program sees it: one
// automation object whose calls follow the application's object paths
// (application, Workbooks, ActiveWorkBook, Sheets, ActiveSheet, ActiveWindow,
// Cells, Range, Selection, Columns, Rows).
//
// Texts (cell values, sheet and workbook names, number formats) are program
// text: single-byte Windows-1250. Paths are native file-system paths.
// Rows, columns and sheets are numbered from 1.
// Every call may raise AutomationError.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zbir::workbook {

class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace xl {
constexpr int Right = -4152;
constexpr int Left = -4131;
constexpr int Center = -4108;
constexpr int Maximized = -4137;
constexpr int Normal = -4143;
constexpr int Minimized = -4140;
}  // namespace xl

class Application {
public:
    virtual ~Application() = default;

    // application
    virtual bool visible() const = 0;
    virtual void setVisible(bool on) = 0;
    virtual bool displayAlerts() const = 0;
    virtual void setDisplayAlerts(bool on) = 0;
    virtual bool screenUpdating() const = 0;
    virtual void setScreenUpdating(bool on) = 0;
    virtual int windowState() const = 0;
    virtual void setWindowState(int state) = 0;
    virtual double top() const = 0;
    virtual void setTop(double points) = 0;
    virtual double height() const = 0;
    virtual void setHeight(double points) = 0;

    // Workbooks: the opened or added workbook becomes the active one.
    virtual int workbooksCount() const = 0;
    virtual void workbooksOpen(const std::string& path) = 0;
    virtual void workbooksAdd() = 0;

    // ActiveWorkBook
    virtual std::string activeWorkbookName() const = 0;  // file name with extension
    virtual void activeWorkbookClose() = 0;
    virtual void activeWorkbookSaveAs(const std::string& path) = 0;

    // Sheets of the active workbook
    virtual int sheetsCount() const = 0;
    virtual void sheetsSelect(int index) = 0;
    virtual std::string sheetsName(int index) const = 0;
    virtual void sheetsSetName(int index, const std::string& name) = 0;
    virtual void sheetsAddAfter(int index) = 0;  // the new sheet becomes ActiveSheet

    // ActiveSheet
    virtual int activeSheetIndex() const = 0;
    virtual std::string activeSheetName() const = 0;
    virtual void activeSheetSetName(const std::string& name) = 0;
    // UsedRange: the last row holding anything (0 for an empty sheet)
    virtual int activeSheetUsedRows() const = 0;

    // ActiveWindow
    virtual void selectedSheetsDelete() = 0;
    virtual void setSplitRow(int row) = 0;

    // Cells of the active sheet
    virtual std::string cellValue(int row, int col) const = 0;  // as text; formulas give their result
    // cellValue of columns first..last of one row, into out[0..last-first];
    // the strings' storage is used again.
    virtual void rowValues(int row, int first, int last, std::vector<std::string>& out) const
    {
        out.resize(static_cast<std::size_t>(last >= first ? last - first + 1 : 0));
        for (int col = first; col <= last; ++col)
            out[static_cast<std::size_t>(col - first)] = cellValue(row, col);
    }
    virtual void setCellValue(int row, int col, const std::string& text) = 0;
    virtual void setCellFormulaR1C1(int row, int col, const std::string& formula) = 0;
    virtual void setCellNumberFormat(int row, int col, const std::string& format) = 0;
    virtual void setCellBold(int row, int col, bool bold) = 0;
    virtual void setCellHorizontalAlignment(int row, int col, int alignment) = 0;
    virtual void cellSelect(int row, int col) = 0;
    virtual void cellsSelect() = 0;     // Cells.Select
    virtual void cellsAutoFit() = 0;    // Cells.EntireColumn.AutoFit

    // Range(address).Select, A1-style address
    virtual void rangeSelect(const std::string& address) = 0;

    // Selection: acts on the selection made just before
    virtual void selectionSetNumberFormat(const std::string& format) = 0;
    virtual void selectionSetFontSize(double size) = 0;
    virtual void selectionSetColumnWidth(double width) = 0;
    virtual void selectionClearContents() = 0;

    // Columns
    virtual double columnWidth(int col) const = 0;  // character units
    virtual void setColumnWidth(int col, double width) = 0;
    virtual void setColumnHorizontalAlignment(int col, int alignment) = 0;
    virtual void setColumnNumberFormat(int col, const std::string& format) = 0;
    virtual void columnsSelect() = 0;                  // Columns.Select
    virtual void setColumnsWidth(double width) = 0;    // Columns.ColumnWidth of every column

    // Rows
    virtual void setRowHorizontalAlignment(int row, int alignment) = 0;
    virtual void setRowHeight(int row, double points) = 0;
};

// Obtains the automation object: attach to a running instance, or create one.
class Provider {
public:
    virtual ~Provider() = default;
    virtual std::shared_ptr<Application> attach() = 0;  // raises AutomationError when none runs
    virtual std::shared_ptr<Application> create() = 0;  // raises AutomationError on failure
};

// The embedded spreadsheet application of this program (one per process).
std::shared_ptr<Provider> embeddedProvider();

}  // namespace zbir::workbook
