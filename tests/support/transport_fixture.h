#pragma once
// A headless window, a spreadsheet that can be made to fail on cue, and a
// folder tree (parent folder with the XML files, working folder "praca"
// below it) for tests that run operations through the core.

#include "shell/app.h"
#include "support/test_support.h"
#include "spreadsheet/automation.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zbir::test {

// The window without a screen. Keeps every status shown; can press the exit
// button from inside event processing, `escapeAfter` calls after the status
// line first showed `escapeArm` (or after the start when that is empty).
class HeadlessPort : public shell::WindowPort {
public:
    void showStatus(const std::string& text, int colour) override
    {
        statuses.push_back({text, colour});
        if (!escapeArm.empty() && text == escapeArm && armedAt < 0)
            armedAt = events;
    }
    void processEvents() override
    {
        ++events;
        const long from = escapeArm.empty() ? 0 : armedAt;
        if (app && escapeAfter > 0 && from >= 0 && events - from == escapeAfter)
            app->ExiZBIR();
        if (app && escapeWhen && escapeWhen()) {
            escapeWhen = nullptr;
            app->ExiZBIR();
        }
    }
    void showProgress(const shell::Progress& p) override { progress.push_back(p); }
    void showDetail(const std::string& text) override { notices.push_back(text); }

    shell::App* app = nullptr;
    std::string escapeArm;
    long escapeAfter = 0;
    std::function<bool()> escapeWhen;  // presses the button at the first event round it answers true
    long events = 0;
    long armedAt = -1;
    std::vector<std::pair<std::string, int>> statuses;
    std::vector<shell::Progress> progress;
    std::vector<std::string> notices;
};

inline std::string argText(const std::string& s) { return s; }
inline std::string argText(bool b) { return b ? "1" : "0"; }
inline std::string argText(int i) { return std::to_string(i); }
inline std::string argText(double d)
{
    std::string s = std::to_string(d);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s;
}
template <class... A>
std::vector<std::string> argList(const A&... a)
{
    return {argText(a)...};
}

// The real spreadsheet behind a hook that sees every call, by name and
// arguments, before it is made; a test throws workbook::AutomationError from
// the hook to fail one. With `record` on, calls are kept as "name(a,b)".
class ScriptedExcel : public workbook::Application {
public:
    explicit ScriptedExcel(std::shared_ptr<workbook::Application> real) : m_real(std::move(real)) {}

    std::function<void(const std::string& call, const std::vector<std::string>& args)> hook;
    bool record = false;
    mutable std::vector<std::string> calls;
    workbook::Application& real() { return *m_real; }

    bool called(const std::string& call) const
    {
        for (const std::string& c : calls)
            if (c == call)
                return true;
        return false;
    }

private:
    void see(const char* name, const std::vector<std::string>& args) const
    {
        if (record) {
            std::string c = std::string(name) + "(";
            for (std::size_t i = 0; i < args.size(); ++i)
                c += (i ? "," : "") + args[i];
            calls.push_back(c + ")");
        }
        if (hook)
            hook(name, args);
    }

public:
#define ZBIR_FORWARD(ret, name, params, args, cv)                                                           \
    ret name params cv override                                                                             \
    {                                                                                                       \
        see(#name, argList args);                                                                           \
        return m_real->name args;                                                                           \
    }
    ZBIR_FORWARD(bool, visible, (), (), const)
    ZBIR_FORWARD(void, setVisible, (bool on), (on), )
    ZBIR_FORWARD(bool, displayAlerts, (), (), const)
    ZBIR_FORWARD(void, setDisplayAlerts, (bool on), (on), )
    ZBIR_FORWARD(bool, screenUpdating, (), (), const)
    ZBIR_FORWARD(void, setScreenUpdating, (bool on), (on), )
    ZBIR_FORWARD(int, windowState, (), (), const)
    ZBIR_FORWARD(void, setWindowState, (int state), (state), )
    ZBIR_FORWARD(double, top, (), (), const)
    ZBIR_FORWARD(void, setTop, (double points), (points), )
    ZBIR_FORWARD(double, height, (), (), const)
    ZBIR_FORWARD(void, setHeight, (double points), (points), )
    ZBIR_FORWARD(int, workbooksCount, (), (), const)
    ZBIR_FORWARD(void, workbooksOpen, (const std::string& path), (path), )
    ZBIR_FORWARD(void, workbooksAdd, (), (), )
    ZBIR_FORWARD(std::string, activeWorkbookName, (), (), const)
    ZBIR_FORWARD(void, activeWorkbookClose, (), (), )
    ZBIR_FORWARD(void, activeWorkbookSaveAs, (const std::string& path), (path), )
    ZBIR_FORWARD(int, sheetsCount, (), (), const)
    ZBIR_FORWARD(void, sheetsSelect, (int index), (index), )
    ZBIR_FORWARD(std::string, sheetsName, (int index), (index), const)
    ZBIR_FORWARD(void, sheetsSetName, (int index, const std::string& name), (index, name), )
    ZBIR_FORWARD(void, sheetsAddAfter, (int index), (index), )
    ZBIR_FORWARD(int, activeSheetIndex, (), (), const)
    ZBIR_FORWARD(std::string, activeSheetName, (), (), const)
    ZBIR_FORWARD(void, activeSheetSetName, (const std::string& name), (name), )
    ZBIR_FORWARD(int, activeSheetUsedRows, (), (), const)
    ZBIR_FORWARD(void, selectedSheetsDelete, (), (), )
    ZBIR_FORWARD(void, setSplitRow, (int row), (row), )
    ZBIR_FORWARD(std::string, cellValue, (int row, int col), (row, col), const)
    ZBIR_FORWARD(void, setCellValue, (int row, int col, const std::string& text), (row, col, text), )
    ZBIR_FORWARD(void, setCellFormulaR1C1, (int row, int col, const std::string& f), (row, col, f), )
    ZBIR_FORWARD(void, setCellNumberFormat, (int row, int col, const std::string& f), (row, col, f), )
    ZBIR_FORWARD(void, setCellBold, (int row, int col, bool bold), (row, col, bold), )
    ZBIR_FORWARD(void, setCellHorizontalAlignment, (int row, int col, int a), (row, col, a), )
    ZBIR_FORWARD(void, cellSelect, (int row, int col), (row, col), )
    ZBIR_FORWARD(void, cellsSelect, (), (), )
    ZBIR_FORWARD(void, cellsAutoFit, (), (), )
    ZBIR_FORWARD(void, rangeSelect, (const std::string& address), (address), )
    ZBIR_FORWARD(void, selectionSetNumberFormat, (const std::string& f), (f), )
    ZBIR_FORWARD(void, selectionSetFontSize, (double size), (size), )
    ZBIR_FORWARD(void, selectionSetColumnWidth, (double width), (width), )
    ZBIR_FORWARD(void, selectionClearContents, (), (), )
    ZBIR_FORWARD(double, columnWidth, (int col), (col), const)
    ZBIR_FORWARD(void, setColumnWidth, (int col, double width), (col, width), )
    ZBIR_FORWARD(void, setColumnHorizontalAlignment, (int col, int a), (col, a), )
    ZBIR_FORWARD(void, setColumnNumberFormat, (int col, const std::string& f), (col, f), )
    ZBIR_FORWARD(void, columnsSelect, (), (), )
    ZBIR_FORWARD(void, setColumnsWidth, (double width), (width), )
    ZBIR_FORWARD(void, setRowHorizontalAlignment, (int row, int a), (row, a), )
    ZBIR_FORWARD(void, setRowHeight, (int row, double points), (row, points), )
#undef ZBIR_FORWARD

private:
    std::shared_ptr<workbook::Application> m_real;
};

// Hands out one ScriptedExcel over the embedded spreadsheet; either way of
// obtaining it can be made to fail.
class ScriptedProvider : public workbook::Provider {
public:
    bool attachFails = false;
    bool createFails = false;
    std::shared_ptr<ScriptedExcel> excel;

    std::shared_ptr<workbook::Application> attach() override
    {
        if (attachFails || !excel)
            throw workbook::AutomationError("no running spreadsheet");
        return excel;
    }
    std::shared_ptr<workbook::Application> create() override
    {
        if (createFails)
            throw workbook::AutomationError("cannot start the spreadsheet");
        if (!excel) {
            auto real = workbook::embeddedProvider();
            std::shared_ptr<workbook::Application> app;
            try {
                app = real->attach();
            } catch (const workbook::AutomationError&) {
                app = real->create();
            }
            excel = std::make_shared<ScriptedExcel>(app);
        }
        return excel;
    }
};

// Podmiot1.JPK of the taxpayer of vatFile, every key set.
inline const std::string kFixtureSubject =
    "KodUrzedu: 1471\r\nNIP: 5252614371\r\nPelnaNazwa: Hurtownia\r\nREGON: 146293813\r\nKodKraju: PL\r\n"
    "Wojewodztwo: mazowieckie\r\nPowiat: Warszawa\r\nGmina: Warszawa\r\nUlica: Prosta\r\nNrDomu: 1\r\n"
    "NrLokalu: 2\r\nMiejscowosc: Warszawa\r\nKodPocztowy: 00-845\r\nPoczta: Warszawa\r\n";

// The folder tree and the core over it.
class TransportFixture : public ::testing::Test {
protected:
    TransportFixture()
    {
        std::filesystem::create_directory(work());
        writeFile(work() / "Podmiot1.JPK", kFixtureSubject);
    }

    void TearDown() override
    {
        if (provider->excel) {
            provider->excel->hook = nullptr;
            workbook::Application& xl = provider->excel->real();
            try {
                while (xl.workbooksCount() > 0)
                    xl.activeWorkbookClose();
            } catch (const workbook::AutomationError&) {
            }
        }
    }

    std::filesystem::path work() const { return root / "praca"; }
    void addXml(const std::string& name, const std::string& text) { writeFile(root / name, text); }

    // The core started in the working folder with `group` selected.
    shell::App& start(const std::string& group = {})
    {
        app = std::make_unique<shell::App>(work(), port, provider);
        port.app = app.get();
        app->FoCreat();
        if (!group.empty()) {
            EXPECT_TRUE(app->selectGroup(group)) << group;
        }
        return *app;
    }

    // The spreadsheet itself, bypassing the hook.
    workbook::Application& xl()
    {
        if (!provider->excel)
            provider->create();
        return provider->excel->real();
    }

    // Lines of ZBIR.LOG without their line ends.
    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        std::string text = readFile(work() / "ZBIR.LOG");
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }

    bool logHas(const std::string& line) const
    {
        for (const std::string& l : logLines())
            if (l == line)
                return true;
        return false;
    }

    TempDir root;
    HeadlessPort port;
    std::shared_ptr<ScriptedProvider> provider = std::make_shared<ScriptedProvider>();
    std::unique_ptr<shell::App> app;
};

// A JPK_VAT(3) file valid against its schema: header, subject, one sale
// record per pair of K_19/K_20 amounts, the sales control section. Amounts
// are written as given ("0", "-", "" allowed; only numbers make the
// combined file).
inline std::string vatFile(const std::vector<std::pair<std::string, std::string>>& sales,
                           const std::string& extraRecordFields = {})
{
    std::string x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<tns:JPK xmlns:etd=\"http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/\" "
        "xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2017/11/13/1113/\">\r\n"
        "  <tns:Naglowek>\r\n"
        "    <tns:KodFormularza kodSystemowy=\"JPK_VAT (3)\" wersjaSchemy=\"1-1\">JPK_VAT</tns:KodFormularza>\r\n"
        "    <tns:WariantFormularza>3</tns:WariantFormularza>\r\n"
        "    <tns:CelZlozenia>0</tns:CelZlozenia>\r\n"
        "    <tns:DataWytworzeniaJPK>2017-06-01T10:00:00</tns:DataWytworzeniaJPK>\r\n"
        "    <tns:DataOd>2017-05-01</tns:DataOd>\r\n"
        "    <tns:DataDo>2017-05-31</tns:DataDo>\r\n"
        "    <tns:NazwaSystemu>Test</tns:NazwaSystemu>\r\n"
        "  </tns:Naglowek>\r\n"
        "  <tns:Podmiot1>\r\n"
        "    <tns:NIP>5252614371</tns:NIP>\r\n"
        "    <tns:PelnaNazwa>Hurtownia</tns:PelnaNazwa>\r\n"
        "  </tns:Podmiot1>\r\n";
    int lp = 0;
    for (const auto& [k19, k20] : sales) {
        ++lp;
        x += "  <tns:SprzedazWiersz>\r\n"
             "    <tns:LpSprzedazy>" + std::to_string(lp) + "</tns:LpSprzedazy>\r\n"
             "    <tns:NrKontrahenta>5213004183</tns:NrKontrahenta>\r\n"
             "    <tns:NazwaKontrahenta>Firma " + std::to_string(lp) + "</tns:NazwaKontrahenta>\r\n"
             "    <tns:AdresKontrahenta>Prosta " + std::to_string(lp) + "</tns:AdresKontrahenta>\r\n"
             "    <tns:DowodSprzedazy>FV/" + std::to_string(lp) + "</tns:DowodSprzedazy>\r\n"
             "    <tns:DataWystawienia>2017-05-02</tns:DataWystawienia>\r\n" + extraRecordFields +
             "    <tns:K_19>" + k19 + "</tns:K_19>\r\n"
             "    <tns:K_20>" + k20 + "</tns:K_20>\r\n"
             "  </tns:SprzedazWiersz>\r\n";
    }
    x += "  <tns:SprzedazCtrl>\r\n"
         "    <tns:LiczbaWierszySprzedazy>" + std::to_string(lp) + "</tns:LiczbaWierszySprzedazy>\r\n"
         "    <tns:PodatekNalezny>0</tns:PodatekNalezny>\r\n"
         "  </tns:SprzedazCtrl>\r\n"
         "</tns:JPK>\r\n";
    return x;
}

// The number a cell's text holds; a test failure when it holds none.
inline double number(const std::string& text)
{
    try {
        return std::stod(text);
    } catch (const std::exception&) {
        ADD_FAILURE() << "not a number: \"" << text << "\"";
        return -1e300;
    }
}

}  // namespace zbir::test
