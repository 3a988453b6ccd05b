#include "workbook/embedded_application.h"

#include "workbook/cell_address.h"
#include "workbook/number_format.h"
#include "workbook/text_metrics.h"

#include <cmath>

namespace zbir::workbook {

namespace {

constexpr int kGeneralAlignment = 1;
constexpr int kMinimized = -4140;

void checkCell(int row, int col)
{
    if (!validRow(row) || !validColumn(col))
        throw AutomationError("Nieprawid\xB3owy adres kom\xF3rki (" + std::to_string(row) + ", " +
                              std::to_string(col) + ")");
}

void checkColumn(int col)
{
    if (!validColumn(col))
        throw AutomationError("Nieprawid\xB3owy numer kolumny: " + std::to_string(col));
}

void checkRow(int row)
{
    if (!validRow(row))
        throw AutomationError("Nieprawid\xB3owy numer wiersza: " + std::to_string(row));
}

std::string number(double v)
{
    return shortestNumberText(v);
}

void checkWidth(double width)
{
    if (!(width >= 0 && width <= metrics::kMaxColumnWidth))
        throw AutomationError("Nieprawid\xB3owa szeroko\x9C\xE6 kolumny: " + number(width));
}

StyleChange alignment(int value)
{
    StyleChange change;
    switch (value) {
    case xl::Left: change.align = HAlign::Left; break;
    case xl::Center: change.align = HAlign::Center; break;
    case xl::Right: change.align = HAlign::Right; break;
    case kGeneralAlignment: change.align = HAlign::General; break;
    default: throw AutomationError("Nieprawid\xB3owe wyr\xF3wnanie: " + std::to_string(value));
    }
    return change;
}

class EmbeddedProvider final : public Provider {
public:
    std::shared_ptr<Application> attach() override
    {
        if (auto app = m_app.lock())
            return app;
        throw AutomationError("Arkusz kalkulacyjny nie jest uruchomiony");
    }

    std::shared_ptr<Application> create() override
    {
        if (auto app = m_app.lock())
            return app;
        auto app = std::make_shared<EmbeddedApplication>();
        m_app = app;
        return app;
    }

private:
    std::weak_ptr<EmbeddedApplication> m_app;
};

}  // namespace

std::shared_ptr<Provider> makeEmbeddedProvider()
{
    return std::make_shared<EmbeddedProvider>();
}

std::shared_ptr<Provider> embeddedProvider()
{
    static const std::shared_ptr<Provider> provider = makeEmbeddedProvider();
    return provider;
}

Workbook& EmbeddedApplication::book() const
{
    Workbook* wb = m_engine.activeWorkbook();
    if (!wb)
        throw AutomationError("Nie ma otwartego skoroszytu");
    return *wb;
}

Sheet& EmbeddedApplication::sheet() const
{
    return book().activeSheet();
}

int EmbeddedApplication::sheetPosition(int index) const
{
    if (index < 1 || index > book().sheetCount())
        throw AutomationError("Nie ma arkusza numer " + std::to_string(index));
    return index - 1;
}

StyleChange EmbeddedApplication::numberFormat(const std::string& format) const
{
    StyleChange change;
    change.numberFormat = book().styles().formatIndex(format.empty() ? "General" : localToCanonical(format));
    return change;
}

// application

bool EmbeddedApplication::visible() const { return m_engine.state().visible; }
void EmbeddedApplication::setVisible(bool on) { m_engine.changeState([&](ApplicationState& s) { s.visible = on; }); }
bool EmbeddedApplication::displayAlerts() const { return m_engine.state().displayAlerts; }
void EmbeddedApplication::setDisplayAlerts(bool on)
{
    m_engine.changeState([&](ApplicationState& s) { s.displayAlerts = on; });
}
bool EmbeddedApplication::screenUpdating() const { return m_engine.state().screenUpdating; }
void EmbeddedApplication::setScreenUpdating(bool on)
{
    m_engine.changeState([&](ApplicationState& s) { s.screenUpdating = on; });
}
int EmbeddedApplication::windowState() const { return m_engine.state().windowState; }

void EmbeddedApplication::setWindowState(int state)
{
    if (state != xl::Maximized && state != xl::Normal && state != kMinimized)
        throw AutomationError("Nieprawid\xB3owy stan okna: " + std::to_string(state));
    m_engine.changeState([&](ApplicationState& s) { s.windowState = state; });
}

double EmbeddedApplication::top() const
{
    const auto& s = m_engine.state();
    return s.windowState == xl::Maximized ? s.screenTop : s.top;
}

void EmbeddedApplication::setTop(double points)
{
    if (!std::isfinite(points))
        throw AutomationError("Nieprawid\xB3owe po\xB3o\xBF" "enie okna");
    m_engine.changeState([&](ApplicationState& s) { s.top = points; });
}

double EmbeddedApplication::height() const
{
    const auto& s = m_engine.state();
    return s.windowState == xl::Maximized ? s.screenHeight : s.height;
}

void EmbeddedApplication::setHeight(double points)
{
    if (!(points >= 0 && std::isfinite(points)))
        throw AutomationError("Nieprawid\xB3owa wysoko\x9C\xE6 okna: " + number(points));
    m_engine.changeState([&](ApplicationState& s) { s.height = points; });
}

// Workbooks

int EmbeddedApplication::workbooksCount() const { return m_engine.workbookCount(); }
void EmbeddedApplication::workbooksOpen(const std::string& path) { m_engine.openWorkbook(path); }
void EmbeddedApplication::workbooksAdd() { m_engine.addWorkbook(); }

// ActiveWorkBook

std::string EmbeddedApplication::activeWorkbookName() const { return book().name(); }

void EmbeddedApplication::activeWorkbookClose()
{
    book();
    m_engine.closeWorkbook(m_engine.activeWorkbookIndex());
}

void EmbeddedApplication::activeWorkbookSaveAs(const std::string& path)
{
    book();
    m_engine.saveWorkbookAs(m_engine.activeWorkbookIndex(), path);
}

// Sheets

int EmbeddedApplication::sheetsCount() const { return book().sheetCount(); }
void EmbeddedApplication::sheetsSelect(int index) { book().activateSheet(sheetPosition(index)); }
std::string EmbeddedApplication::sheetsName(int index) const { return book().sheet(sheetPosition(index)).name(); }

void EmbeddedApplication::sheetsSetName(int index, const std::string& name)
{
    book().renameSheet(sheetPosition(index), name);
}

void EmbeddedApplication::sheetsAddAfter(int index)
{
    int after = sheetPosition(index);
    Workbook& wb = book();
    wb.addSheet(after + 1, wb.freeSheetName());
}

// ActiveSheet

int EmbeddedApplication::activeSheetIndex() const { return book().activeSheetIndex() + 1; }
std::string EmbeddedApplication::activeSheetName() const { return sheet().name(); }

void EmbeddedApplication::activeSheetSetName(const std::string& name)
{
    book().renameSheet(book().activeSheetIndex(), name);
}

// ActiveWindow

void EmbeddedApplication::selectedSheetsDelete() { book().deleteSheet(book().activeSheetIndex()); }

void EmbeddedApplication::setSplitRow(int row)
{
    if (row < 0 || row >= kMaxRows)
        throw AutomationError("Nieprawid\xB3owy podzia\xB3 okna: " + std::to_string(row));
    sheet().setSplitRow(row);
}

// Cells

std::string EmbeddedApplication::cellValue(int row, int col) const
{
    checkCell(row, col);
    return sheet().valueText(row, col);
}

void EmbeddedApplication::setCellValue(int row, int col, const std::string& text)
{
    checkCell(row, col);
    sheet().setValue(row, col, text);
}

void EmbeddedApplication::setCellFormulaR1C1(int row, int col, const std::string& formula)
{
    checkCell(row, col);
    sheet().setFormulaR1C1(row, col, formula);
}

void EmbeddedApplication::setCellNumberFormat(int row, int col, const std::string& format)
{
    checkCell(row, col);
    sheet().applyStyle(CellArea::cell(row, col), numberFormat(format));
}

void EmbeddedApplication::setCellBold(int row, int col, bool bold)
{
    checkCell(row, col);
    StyleChange change;
    change.bold = bold;
    sheet().applyStyle(CellArea::cell(row, col), change);
}

void EmbeddedApplication::setCellHorizontalAlignment(int row, int col, int value)
{
    checkCell(row, col);
    sheet().applyStyle(CellArea::cell(row, col), alignment(value));
}

void EmbeddedApplication::cellSelect(int row, int col)
{
    checkCell(row, col);
    sheet().select(CellArea::cell(row, col), row, col);
}

void EmbeddedApplication::selectAll()
{
    Sheet& s = sheet();
    s.select(CellArea::all(), s.selection().activeRow, s.selection().activeCol);
}

void EmbeddedApplication::cellsSelect() { selectAll(); }
void EmbeddedApplication::cellsAutoFit() { sheet().autoFit(); }

// Range

void EmbeddedApplication::rangeSelect(const std::string& address)
{
    auto area = parseA1Area(address);
    if (!area)
        throw AutomationError("Nieprawid\xB3owy adres: " + address);
    sheet().select(*area, area->row1, area->col1);
}

// Selection

void EmbeddedApplication::selectionSetNumberFormat(const std::string& format)
{
    Sheet& s = sheet();
    s.applyStyle(s.selection().area, numberFormat(format));
}

void EmbeddedApplication::selectionSetFontSize(double size)
{
    if (!(size >= 1 && size <= 409))
        throw AutomationError("Nieprawid\xB3owy rozmiar czcionki: " + number(size));
    StyleChange change;
    change.fontSize = static_cast<float>(size);
    Sheet& s = sheet();
    s.applyStyle(s.selection().area, change);
}

void EmbeddedApplication::selectionSetColumnWidth(double width)
{
    checkWidth(width);
    Sheet& s = sheet();
    s.setColumnWidth(s.selection().area, width);
}

void EmbeddedApplication::selectionClearContents()
{
    Sheet& s = sheet();
    s.clearContents(s.selection().area);
}

// Columns

double EmbeddedApplication::columnWidth(int col) const
{
    checkColumn(col);
    return sheet().columnWidth(col);
}

void EmbeddedApplication::setColumnWidth(int col, double width)
{
    checkColumn(col);
    checkWidth(width);
    sheet().setColumnWidth(CellArea::columns(col, col), width);
}

void EmbeddedApplication::setColumnHorizontalAlignment(int col, int value)
{
    checkColumn(col);
    sheet().applyStyle(CellArea::columns(col, col), alignment(value));
}

void EmbeddedApplication::setColumnNumberFormat(int col, const std::string& format)
{
    checkColumn(col);
    sheet().applyStyle(CellArea::columns(col, col), numberFormat(format));
}

void EmbeddedApplication::columnsSelect() { selectAll(); }

void EmbeddedApplication::setColumnsWidth(double width)
{
    checkWidth(width);
    sheet().setColumnWidth(CellArea::all(), width);
}

// Rows

void EmbeddedApplication::setRowHorizontalAlignment(int row, int value)
{
    checkRow(row);
    sheet().applyStyle(CellArea::rows(row, row), alignment(value));
}

void EmbeddedApplication::setRowHeight(int row, double points)
{
    checkRow(row);
    if (!(points >= 0 && points <= metrics::kMaxRowHeight))
        throw AutomationError("Nieprawid\xB3owa wysoko\x9C\xE6 wiersza: " + number(points));
    sheet().setRowHeight(row, points);
}

}  // namespace zbir::workbook
