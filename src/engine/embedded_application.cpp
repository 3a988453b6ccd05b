#include "engine/embedded_application.h"

#include "spreadsheet/cell_address.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/text_metrics.h"

#include <cmath>

namespace zbir::workbook {

namespace {

constexpr int kGeneralAlignment = 1;

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

void EmbeddedApplication::admit() const
{
    if (m_engine.userEditing())
        throw AutomationError("Arkusz kalkulacyjny jest zaj\xEAty: u\xBFytkownik edytuje kom\xF3rk\xEA");
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

bool EmbeddedApplication::visible() const { admit(); return m_engine.state().visible; }
void EmbeddedApplication::setVisible(bool on) { admit(); m_engine.changeState([&](ApplicationState& s) { s.visible = on; }); }
bool EmbeddedApplication::displayAlerts() const { admit(); return m_engine.state().displayAlerts; }
void EmbeddedApplication::setDisplayAlerts(bool on)
{
    admit();
    m_engine.changeState([&](ApplicationState& s) { s.displayAlerts = on; });
}
bool EmbeddedApplication::screenUpdating() const { admit(); return m_engine.state().screenUpdating; }
void EmbeddedApplication::setScreenUpdating(bool on)
{
    admit();
    m_engine.changeState([&](ApplicationState& s) { s.screenUpdating = on; });
}
int EmbeddedApplication::windowState() const { admit(); return m_engine.state().windowState; }

void EmbeddedApplication::setWindowState(int state)
{
    admit();
    if (state != xl::Maximized && state != xl::Normal && state != xl::Minimized)
        throw AutomationError("Nieprawid\xB3owy stan okna: " + std::to_string(state));
    m_engine.changeState([&](ApplicationState& s) { s.windowState = state; });
}

double EmbeddedApplication::top() const
{
    admit();
    const auto& s = m_engine.state();
    return s.windowState == xl::Maximized ? s.screenTop : s.top;
}

void EmbeddedApplication::setTop(double points)
{
    admit();
    if (!std::isfinite(points))
        throw AutomationError("Nieprawid\xB3owe po\xB3o\xBF" "enie okna");
    m_engine.changeState([&](ApplicationState& s) { s.top = points; });
}

double EmbeddedApplication::height() const
{
    admit();
    const auto& s = m_engine.state();
    return s.windowState == xl::Maximized ? s.screenHeight : s.height;
}

void EmbeddedApplication::setHeight(double points)
{
    admit();
    if (!(points >= 0 && std::isfinite(points)))
        throw AutomationError("Nieprawid\xB3owa wysoko\x9C\xE6 okna: " + number(points));
    m_engine.changeState([&](ApplicationState& s) { s.height = points; });
}

// Workbooks

int EmbeddedApplication::workbooksCount() const { admit(); return m_engine.workbookCount(); }
void EmbeddedApplication::workbooksOpen(const std::string& path) { admit(); m_engine.openWorkbook(path); }
void EmbeddedApplication::workbooksAdd() { admit(); m_engine.addWorkbook(); }

// ActiveWorkBook

std::string EmbeddedApplication::activeWorkbookName() const { admit(); return book().name(); }

void EmbeddedApplication::activeWorkbookClose()
{
    admit();
    book();
    m_engine.closeWorkbook(m_engine.activeWorkbookIndex());
}

void EmbeddedApplication::activeWorkbookSaveAs(const std::string& path)
{
    admit();
    book();
    m_engine.saveWorkbookAs(m_engine.activeWorkbookIndex(), path);
}

// Sheets

int EmbeddedApplication::sheetsCount() const { admit(); return book().sheetCount(); }
void EmbeddedApplication::sheetsSelect(int index) { admit(); book().activateSheet(sheetPosition(index)); }
std::string EmbeddedApplication::sheetsName(int index) const { admit(); return book().sheet(sheetPosition(index)).name(); }

void EmbeddedApplication::sheetsSetName(int index, const std::string& name)
{
    admit();
    book().renameSheet(sheetPosition(index), name);
}

void EmbeddedApplication::sheetsAddAfter(int index)
{
    admit();
    int after = sheetPosition(index);
    Workbook& wb = book();
    wb.addSheet(after + 1, wb.freeSheetName());
}

// ActiveSheet

int EmbeddedApplication::activeSheetIndex() const { admit(); return book().activeSheetIndex() + 1; }
std::string EmbeddedApplication::activeSheetName() const { admit(); return sheet().name(); }

int EmbeddedApplication::activeSheetUsedRows() const { admit(); return sheet().usedRows(); }

void EmbeddedApplication::activeSheetSetName(const std::string& name)
{
    admit();
    book().renameSheet(book().activeSheetIndex(), name);
}

// ActiveWindow

void EmbeddedApplication::selectedSheetsDelete() { admit(); book().deleteSheet(book().activeSheetIndex()); }

void EmbeddedApplication::setSplitRow(int row)
{
    admit();
    if (row < 0 || row >= kMaxRows)
        throw AutomationError("Nieprawid\xB3owy podzia\xB3 okna: " + std::to_string(row));
    sheet().setSplitRow(row);
}

// Cells

std::string EmbeddedApplication::cellValue(int row, int col) const
{
    admit();
    checkCell(row, col);
    return sheet().valueText(row, col);
}

void EmbeddedApplication::rowValues(int row, int first, int last, std::vector<std::string>& out) const
{
    admit();
    checkCell(row, first);
    checkCell(row, last);
    sheet().valueTexts(row, first, last, out);
}

void EmbeddedApplication::setCellValue(int row, int col, const std::string& text)
{
    admit();
    checkCell(row, col);
    sheet().setValue(row, col, text);
}

void EmbeddedApplication::setCellFormulaR1C1(int row, int col, const std::string& formula)
{
    admit();
    checkCell(row, col);
    sheet().setFormulaR1C1(row, col, formula);
}

void EmbeddedApplication::setCellNumberFormat(int row, int col, const std::string& format)
{
    admit();
    checkCell(row, col);
    sheet().applyStyle(CellArea::cell(row, col), numberFormat(format));
}

void EmbeddedApplication::setCellBold(int row, int col, bool bold)
{
    admit();
    checkCell(row, col);
    StyleChange change;
    change.bold = bold;
    sheet().applyStyle(CellArea::cell(row, col), change);
}

void EmbeddedApplication::setCellHorizontalAlignment(int row, int col, int value)
{
    admit();
    checkCell(row, col);
    sheet().applyStyle(CellArea::cell(row, col), alignment(value));
}

void EmbeddedApplication::cellSelect(int row, int col)
{
    admit();
    checkCell(row, col);
    sheet().select(CellArea::cell(row, col), row, col);
}

void EmbeddedApplication::selectAll()
{
    Sheet& s = sheet();
    s.select(CellArea::all(), s.selection().activeRow, s.selection().activeCol);
}

void EmbeddedApplication::cellsSelect() { admit(); selectAll(); }
void EmbeddedApplication::cellsAutoFit() { admit(); sheet().autoFit(); }

// Range

void EmbeddedApplication::rangeSelect(const std::string& address)
{
    admit();
    auto area = parseA1Area(address);
    if (!area)
        throw AutomationError("Nieprawid\xB3owy adres: " + address);
    sheet().select(*area, area->row1, area->col1);
}

// Selection

void EmbeddedApplication::selectionSetNumberFormat(const std::string& format)
{
    admit();
    Sheet& s = sheet();
    s.applyStyle(s.selection().area, numberFormat(format));
}

void EmbeddedApplication::selectionSetFontSize(double size)
{
    admit();
    if (!(size >= 1 && size <= 409))
        throw AutomationError("Nieprawid\xB3owy rozmiar czcionki: " + number(size));
    StyleChange change;
    change.fontSize = static_cast<float>(size);
    Sheet& s = sheet();
    s.applyStyle(s.selection().area, change);
}

void EmbeddedApplication::selectionSetColumnWidth(double width)
{
    admit();
    checkWidth(width);
    Sheet& s = sheet();
    s.setColumnWidth(s.selection().area, width);
}

void EmbeddedApplication::selectionClearContents()
{
    admit();
    Sheet& s = sheet();
    s.clearContents(s.selection().area);
}

// Columns

double EmbeddedApplication::columnWidth(int col) const
{
    admit();
    checkColumn(col);
    return sheet().columnWidth(col);
}

void EmbeddedApplication::setColumnWidth(int col, double width)
{
    admit();
    checkColumn(col);
    checkWidth(width);
    sheet().setColumnWidth(CellArea::columns(col, col), width);
}

void EmbeddedApplication::setColumnHorizontalAlignment(int col, int value)
{
    admit();
    checkColumn(col);
    sheet().applyStyle(CellArea::columns(col, col), alignment(value));
}

void EmbeddedApplication::setColumnNumberFormat(int col, const std::string& format)
{
    admit();
    checkColumn(col);
    sheet().applyStyle(CellArea::columns(col, col), numberFormat(format));
}

void EmbeddedApplication::columnsSelect() { admit(); selectAll(); }

void EmbeddedApplication::setColumnsWidth(double width)
{
    admit();
    checkWidth(width);
    sheet().setColumnWidth(CellArea::all(), width);
}

// Rows

void EmbeddedApplication::setRowHorizontalAlignment(int row, int value)
{
    admit();
    checkRow(row);
    sheet().applyStyle(CellArea::rows(row, row), alignment(value));
}

void EmbeddedApplication::setRowHeight(int row, double points)
{
    admit();
    checkRow(row);
    if (!(points >= 0 && points <= metrics::kMaxRowHeight))
        throw AutomationError("Nieprawid\xB3owa wysoko\x9C\xE6 wiersza: " + number(points));
    sheet().setRowHeight(row, points);
}

}  // namespace zbir::workbook
