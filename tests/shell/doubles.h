#pragma once
// Test doubles for the shell: a window that records what the core shows, a
// spreadsheet application that only keeps its application-level flags, and
// a provider that reaches no spreadsheet application.

#include "shell/window_port.h"
#include "spreadsheet/automation.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zbir::test {

class RecordingPort : public shell::WindowPort {
public:
    void showFolder(const std::string& text) override { folder = text; }
    void showGroups(const std::vector<std::string>& g, int sel) override
    {
        groups = g;
        selected = sel;
    }
    void showFiles(const std::vector<std::string>& f) override { files = f; }
    void showOutputName(const std::string& text) override { outputName = text; }
    void showVersion(const std::string& text) override { version = text; }
    void enableJpkButton(bool on) override { jpkEnabled = on; }
    void showStatus(const std::string& text, int colour) override { statuses.emplace_back(text, colour); }
    void processEvents() override
    {
        ++pumped;
        if (onEvents)
            onEvents();
    }
    void closeWindow() override { ++closed; }

    std::string folder, outputName, version;
    std::vector<std::string> groups, files;
    int selected = -2;
    bool jpkEnabled = false;
    std::vector<std::pair<std::string, int>> statuses;
    int pumped = 0;
    int closed = 0;
    std::function<void()> onEvents;  // runs where pending window events would
};

// Keeps the application-level flags; every other call does nothing.
class StubApplication : public workbook::Application {
public:
    bool visible() const override { return m_visible; }
    void setVisible(bool on) override
    {
        if (duringSetVisible)
            duringSetVisible();
        if (failVisible)
            throw workbook::AutomationError("Excel zaj\xEAty");
        m_visible = on;
    }
    bool displayAlerts() const override { return m_alerts; }
    void setDisplayAlerts(bool on) override { m_alerts = on; }
    bool screenUpdating() const override { return m_updating; }
    void setScreenUpdating(bool on) override { m_updating = on; }
    int windowState() const override { return 0; }
    void setWindowState(int) override {}
    double top() const override { return 0; }
    void setTop(double) override {}
    double height() const override { return 0; }
    void setHeight(double) override {}
    int workbooksCount() const override { return 0; }
    void workbooksOpen(const std::string&) override { throw workbook::AutomationError("no workbook"); }
    void workbooksAdd() override {}
    std::string activeWorkbookName() const override { return {}; }
    void activeWorkbookClose() override {}
    void activeWorkbookSaveAs(const std::string&) override {}
    int sheetsCount() const override { return 0; }
    void sheetsSelect(int) override {}
    std::string sheetsName(int) const override { return {}; }
    void sheetsSetName(int, const std::string&) override {}
    void sheetsAddAfter(int) override {}
    int activeSheetIndex() const override { return 0; }
    std::string activeSheetName() const override { return {}; }
    int activeSheetUsedRows() const override { return 0; }
    void activeSheetSetName(const std::string&) override {}
    void selectedSheetsDelete() override {}
    void setSplitRow(int) override {}
    std::string cellValue(int, int) const override { return {}; }
    void setCellValue(int, int, const std::string&) override {}
    void setCellFormulaR1C1(int, int, const std::string&) override {}
    void setCellNumberFormat(int, int, const std::string&) override {}
    void setCellBold(int, int, bool) override {}
    void setCellHorizontalAlignment(int, int, int) override {}
    void cellSelect(int, int) override {}
    void cellsSelect() override {}
    void cellsAutoFit() override {}
    void rangeSelect(const std::string&) override {}
    void selectionSetNumberFormat(const std::string&) override {}
    void selectionSetFontSize(double) override {}
    void selectionSetColumnWidth(double) override {}
    void selectionClearContents() override {}
    double columnWidth(int) const override { return 0; }
    void setColumnWidth(int, double) override {}
    void setColumnHorizontalAlignment(int, int) override {}
    void setColumnNumberFormat(int, const std::string&) override {}
    void columnsSelect() override {}
    void setColumnsWidth(double) override {}
    void setRowHorizontalAlignment(int, int) override {}
    void setRowHeight(int, double) override {}

    bool failVisible = false;
    std::function<void()> duringSetVisible;  // runs inside the call, as a slow application would let events run

private:
    bool m_visible = false;
    bool m_alerts = false;
    bool m_updating = false;
};

class NoSpreadsheet : public workbook::Provider {
public:
    std::shared_ptr<workbook::Application> attach() override { throw workbook::AutomationError("none"); }
    std::shared_ptr<workbook::Application> create() override { throw workbook::AutomationError("none"); }
};

}  // namespace zbir::test
