#pragma once
// The automation interface over the embedded engine.

#include "spreadsheet/automation.h"
#include "engine/engine.h"

#include <memory>
#include <string>

namespace zbir::workbook {

class EmbeddedApplication final : public Application {
public:
    EmbeddedApplication() = default;

    // The engine behind the interface, for a window that shows it.
    Engine& engine() { return m_engine; }

    bool visible() const override;
    void setVisible(bool on) override;
    bool displayAlerts() const override;
    void setDisplayAlerts(bool on) override;
    bool screenUpdating() const override;
    void setScreenUpdating(bool on) override;
    int windowState() const override;
    void setWindowState(int state) override;
    double top() const override;
    void setTop(double points) override;
    double height() const override;
    void setHeight(double points) override;

    int workbooksCount() const override;
    void workbooksOpen(const std::string& path) override;
    void workbooksAdd() override;

    std::string activeWorkbookName() const override;
    void activeWorkbookClose() override;
    void activeWorkbookSaveAs(const std::string& path) override;

    int sheetsCount() const override;
    void sheetsSelect(int index) override;
    std::string sheetsName(int index) const override;
    void sheetsSetName(int index, const std::string& name) override;
    void sheetsAddAfter(int index) override;

    int activeSheetIndex() const override;
    std::string activeSheetName() const override;
    void activeSheetSetName(const std::string& name) override;
    int activeSheetUsedRows() const override;

    void selectedSheetsDelete() override;
    void setSplitRow(int row) override;

    std::string cellValue(int row, int col) const override;
    void rowValues(int row, int first, int last, std::vector<std::string>& out) const override;
    void setCellValue(int row, int col, const std::string& text) override;
    void setCellFormulaR1C1(int row, int col, const std::string& formula) override;
    void setCellNumberFormat(int row, int col, const std::string& format) override;
    void setCellBold(int row, int col, bool bold) override;
    void setCellHorizontalAlignment(int row, int col, int alignment) override;
    void cellSelect(int row, int col) override;
    void cellsSelect() override;
    void cellsAutoFit() override;

    void rangeSelect(const std::string& address) override;

    void selectionSetNumberFormat(const std::string& format) override;
    void selectionSetFontSize(double size) override;
    void selectionSetColumnWidth(double width) override;
    void selectionClearContents() override;

    double columnWidth(int col) const override;
    void setColumnWidth(int col, double width) override;
    void setColumnHorizontalAlignment(int col, int alignment) override;
    void setColumnNumberFormat(int col, const std::string& format) override;
    void columnsSelect() override;
    void setColumnsWidth(double width) override;

    void setRowHorizontalAlignment(int row, int alignment) override;
    void setRowHeight(int row, double points) override;

private:
    mutable Engine m_engine;

    // Every call starts here: refused while the user edits a cell.
    void admit() const;
    Workbook& book() const;
    Sheet& sheet() const;
    int sheetPosition(int index) const;  // 1-based index to 0-based, checked
    StyleChange numberFormat(const std::string& format) const;
    void selectAll();
};

// A provider with an application of its own (the program uses embeddedProvider()).
std::shared_ptr<Provider> makeEmbeddedProvider();

}  // namespace zbir::workbook
