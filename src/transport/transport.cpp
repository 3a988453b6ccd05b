#include "transport/transport.h"

#include "operation/operation.h"
#include "base/durable_file.h"
#include "base/formatters.h"
#include "base/winfs.h"
#include "spreadsheet/automation.h"
#include "transport/layouts.h"
#include "transport/messages.h"
#include "transport/summary.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/sheet_writer.h"

#include <algorithm>
#include <fstream>

namespace zbir::workbook {

namespace fs = std::filesystem;
using App = operation::Operation;

namespace {

enum class StartCase { New, Filled, Empty };

bool nameTaken(const fs::path& folder, const std::string& name)
{
    const fs::path p = base::winfs::resolve(folder, name);
    std::error_code ec;
    // Something of that name that cannot be read is still never replaced.
    if (fs::exists(fs::symlink_status(p, ec)))
        return true;
    return std::ifstream(p).is_open();
}

// One transport run; every step that fails says so on the status line.
class Transport {
public:
    explicit Transport(App& app) : m_app(app) {}

    bool run();
    // An error that ended the run: status line and log say where, and the
    // spreadsheet redraws again.
    void failed(const std::exception& e);

private:
    bool fail(const std::string& message);
    void note(const std::exception& e);
    bool prepareWorkbook(Application& xl);
    bool saveWorkbook(Application& xl);
    // What became of the workbook file when the run ends early.
    std::string keptText() const;

    App& m_app;
    std::string m_doing;  // what the run is busy with, for failure messages
    // A file of the workbook's name exists: it keeps the name until the new
    // workbook is complete, then goes aside as a previous version.
    bool m_earlier = false;
};

std::string Transport::keptText() const
{
    const std::string name = m_app.groupText() + ".XLS";
    std::error_code ec;
    return fs::exists(fs::symlink_status(workbookPath(m_app), ec)) ? msg::workbookUnchanged(name)
                                                                   : msg::workbookNotSaved(name);
}

// The spreadsheet's own reason for a refused save goes to the log: the
// status line names only the situation (the disk may be full, say).
void Transport::note(const std::exception& e)
{
    try {
        m_app.logEvent(operation::LogDetail, base::winfs::display(workbookPath(m_app)) + ": " + e.what());
    } catch (const std::exception&) {
    }
}

bool Transport::fail(const std::string& message)
{
    m_app.state = operation::Stopping;
    m_app.showError(message);
    return false;
}

void Transport::failed(const std::exception& e)
{
    const std::string what = e.what();
    const std::string message = (m_doing.empty() ? what : m_doing + ": " + what) + "; " + keptText();
    m_app.state = operation::Stopping;
    if (m_app.xl) {
        try {
            m_app.xl->setScreenUpdating(true);
        } catch (const AutomationError&) {
        }
    }
    try {
        m_app.logEvent(operation::LogDetail, message);
    } catch (const std::exception&) {
    }
    m_app.showError(message);
}

bool Transport::run()
{
    const std::string group = m_app.groupText();
    m_doing = group + ".XLS";
    if (!connect(m_app))
        return fail(msg::kNoExcel);
    Application& xl = *m_app.xl;
    try {
        xl.setVisible(true);
    } catch (const AutomationError&) {
        return fail(msg::kEditing);
    }
    if (!prepareWorkbook(xl))
        return false;

    xmlsheet::TransportContext ctx(m_app, xl);
    ctx.map.clear();
    declareLayout(m_app.jpkType, ctx.map);
    declareV7Layout(ctx.v7map);

    for (std::size_t i = 0; i < m_app.files().size(); ++i) {
        if (m_app.state != operation::Running)
            continue;
        m_doing = m_app.files()[i];
        xmlsheet::transportFile(ctx, static_cast<int>(i));
    }

    // Earlier plain copies go once every file has its new copy: a run that
    // stops or fails on the way leaves them as they were.
    if (m_app.state == operation::Running && ctx.faults.empty()) {
        m_doing = "TXT";
        cleanTxtFolder(m_app, ctx.copies);
    }

    m_doing = "-SUMA-";
    xl.setDisplayAlerts(true);
    xl.sheetsSelect(1);
    xl.setScreenUpdating(true);
    if (m_app.state > operation::Running) {
        // Stopped: the files read so far are not a whole workbook.
        m_app.showError(msg::transportStopped(keptText()));
        return false;
    }
    buildSummary(ctx);

    xl.setDisplayAlerts(false);
    const bool saved = saveWorkbook(xl);
    xl.setDisplayAlerts(true);
    if (saved && ctx.schemaProblems > 0)
        m_app.showProgress(schemaSummary(ctx.schemaProblems, ctx.filesWithProblems));
    if (saved && !ctx.faults.empty())
        m_app.showError(ctx.faults.front());
    return saved && ctx.faults.empty();
}

// The complete workbook takes its name: an earlier file of that name goes
// aside as the next previous version first, and comes back when the save
// is refused.
bool Transport::saveWorkbook(Application& xl)
{
    const std::string group = m_app.groupText();
    const fs::path path = workbookPath(m_app);
    fs::path aside;
    if (m_earlier) {
        const std::string previous = previousVersionName(m_app.workFolder(), group + ".XLS");
        aside = m_app.resolve(previous);
        const std::error_code ec = base::durable::move(path, aside, "move");
        if (ec) {
            m_app.logEvent(operation::LogDetail, base::winfs::display(path) + " -> " + previous + ": " +
                                                     base::winfs::fromNative(ec.message()));
            return fail(msg::cannotMoveAside(group, previous));
        }
        m_app.logEvent(operation::LogPreviousKept, logName(base::winfs::display(aside)));
    }
    try {
        xl.activeWorkbookSaveAs(path.string());
        return true;
    } catch (const std::exception& e) {
        note(e);
        // The spreadsheet's reason is in the log (a full disk, a workbook of
        // that name open elsewhere).
        std::string message = msg::cannotSaveFile(base::winfs::display(path));
        if (m_earlier) {
            const std::error_code ec = base::durable::move(aside, path, "restore");
            message += ec ? msg::previousStaysAs(base::winfs::display(aside.filename()))
                          : "; " + keptText();
        }
        return fail(message);
    }
}

bool Transport::prepareWorkbook(Application& xl)
{
    const std::string group = m_app.groupText();
    const fs::path path = workbookPath(m_app);
    xl.setDisplayAlerts(false);

    StartCase start = StartCase::New;
    bool opened = false;
    try {
        xl.workbooksOpen(path.string());
        opened = true;
        start = StartCase::Filled;
        xl.sheetsSelect(1);
        if (xl.cellValue(1, 1).empty())
            start = StartCase::Empty;
    } catch (const AutomationError&) {
    }
    std::error_code ec;
    if (start == StartCase::New && fs::exists(fs::symlink_status(path, ec)))
        start = StartCase::Filled;  // unreadable: kept aside, never overwritten

    fs::create_directory(m_app.resolve("TXT"), ec);
    fs::remove(m_app.resolve(xmlsheet::kCopyTemporary), ec);  // a copy a killed run left unfinished

    switch (start) {
    case StartCase::New:
        xl.workbooksAdd();
        break;
    case StartCase::Empty:
        break;
    case StartCase::Filled:
        // The earlier file keeps its name until the new workbook is saved.
        if (opened)
            xl.activeWorkbookClose();
        m_earlier = true;
        xl.workbooksAdd();
        break;
    }

    m_app.logEvent(operation::LogDelete, msg::extraSheets(group));
    emptyGroupWorkbook(xl);
    return true;
}

}  // namespace

void emptyGroupWorkbook(Application& xl)
{
    while (xl.sheetsCount() > 1) {
        xl.sheetsSelect(2);
        xl.selectedSheetsDelete();
    }
    xl.sheetsSelect(1);
    xl.cellsSelect();
    xl.selectionClearContents();
    xl.selectionSetNumberFormat("@");
    xl.activeSheetSetName("-SUMA-");
    xl.cellSelect(1, 1);
}

bool connect(App& app)
{
    if (app.xl)
        return true;
    try {
        app.xl = app.provider().attach();
    } catch (const AutomationError&) {
        try {
            app.xl = app.provider().create();
        } catch (const AutomationError&) {
            return false;
        }
    }
    return app.xl != nullptr;
}

fs::path workbookPath(const App& app)
{
    return app.resolve(app.groupText() + ".XLS");
}

std::string previousVersionName(const fs::path& folder, const std::string& name)
{
    const std::size_t at = name.size() >= 4 ? name.size() - 4 : 0;
    std::string candidate = name.substr(0, at) + "-0000" + name.substr(at);
    const std::size_t thousands = at + 1;
    // The thousands digit takes no carry; past '9' it runs on through the
    // character set, so the names end after 256 rounds of a thousand.
    for (int round = 0; round < 256 * 1000; ++round) {
        for (std::size_t i = thousands + 3;; --i) {
            if (i == thousands) {
                candidate[i] = static_cast<char>(static_cast<unsigned char>(candidate[i]) + 1);
                break;
            }
            if (candidate[i] != '9') {
                ++candidate[i];
                break;
            }
            candidate[i] = '0';
        }
        if (!nameTaken(folder, candidate))
            return candidate;
    }
    throw std::runtime_error(msg::noFreeName(name));
}

std::string schemaSummary(int problems, int files)
{
    return "Schemat: uwag " + base::integerText(problems) + " w plikach: " + base::integerText(files) +
           ", zob. ZBIR.LOG";
}

std::string logName(const std::string& name)
{
    std::string s = name.size() > 35 ? name.substr(name.size() - 35) : name;
    return std::string(38 - s.size(), '.') + s;
}

void cleanTxtFolder(App& app, const std::vector<fs::path>& keep)
{
    std::vector<std::string> found = base::winfs::findFiles(app.resolve("TXT"), "*.TXT");
    std::erase_if(found, [&](const std::string& name) {
        return std::find(keep.begin(), keep.end(), app.resolve("TXT\\" + name)) != keep.end();
    });
    if (found.empty())
        return;
    app.logEvent(operation::LogDelete, msg::kAllTxtCopies);
    for (const std::string& name : found) {
        std::error_code ec;
        if (!fs::remove(app.resolve("TXT\\" + name), ec) || ec)
            app.logEvent(operation::LogDelete, msg::txtDeleteFailed(name));
    }
}

bool makeXls(App& app)
{
    if (app.state != operation::Idle)
        return false;
    app.state = operation::Running;
    Transport transport(app);
    bool ok = false;
    try {
        app.showProgress("");
        app.logEvent(operation::LogTransport, app.groupText());
        ok = transport.run();
    } catch (const std::exception& e) {
        transport.failed(e);
    }
    app.state = operation::Idle;
    return ok;
}

}  // namespace zbir::workbook
