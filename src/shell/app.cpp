#include "shell/app.h"

#include "shell/messages.h"
#include "jpkvat/jpk_writer.h"
#include "base/folder_lock.h"
#include "base/winfs.h"
#include "transport/ready.h"
#include "transport/transport.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <utility>

namespace zbir::shell {

namespace winfs = base::winfs;

namespace {

#ifdef _WIN32
constexpr const char* kProgramName = "ZBIR.exe";
#else
constexpr const char* kProgramName = "zbir";
#endif

std::filesystem::path absoluteFolder(const std::filesystem::path& p)
{
    std::error_code ec;
    auto c = std::filesystem::canonical(p, ec);
    return ec ? std::filesystem::absolute(p) : c;
}

}  // namespace

App::App(const std::filesystem::path& workFolder, WindowPort& port,
         std::shared_ptr<workbook::Provider> provider, std::filesystem::path programFile)
    : m_work(absoluteFolder(workFolder)),
      m_port(port),
      m_provider(std::move(provider)),
      m_programFile(std::move(programFile)),
      m_log(m_work)
{
}

std::filesystem::path App::resolve(const std::string& relative) const
{
    return winfs::resolve(m_work, relative);
}

void App::showStatus(const std::string& text, int colour)
{
    m_status = text;
    m_statusColour = colour;
    m_port.showStatus(m_status, colour);
    // A red text of an operation, which the window may elide, is in the log whole.
    if (colour == Red && m_running > 0 && !m_reporting)
        logFailure();
    m_port.processEvents();
}

void App::FoCreat()
{
    m_lastOk = false;
    m_folderText = winfs::display(m_work);
    m_port.showFolder(m_folderText);
    m_groups.clear();
    m_group.clear();
    m_files.clear();
    m_port.showGroups(m_groups, -1);
    state = Idle;
    xl.reset();

    std::vector<std::string> found = winfs::findFiles(parentFolder(), "*.XML");
    if (found.empty()) {
        showError(msg::kNoXmlFiles);
        return;
    }
    bool ok = logOrReport(operation::LogStart, msg::kStartLog);
    try {
        selfNaming();
    } catch (const std::exception& e) {
        // A failed rename ends start-up here, said on the status line and in the log.
        const std::string what = winfs::fromNative(e.what());
        logOrReport(operation::LogDetail, what);
        showError(what);
        return;
    }

    for (const std::string& name : found) {
        std::string key = winfs::upper(name).substr(0, 15);
        if (std::find(m_groups.begin(), m_groups.end(), key) == m_groups.end())
            m_groups.push_back(key);
    }
    std::sort(m_groups.begin(), m_groups.end());
    m_port.showVersion("1(2)");
    m_group = m_groups.back();
    m_port.showGroups(m_groups, static_cast<int>(m_groups.size()) - 1);
    ok = listGroup() && ok;
    m_lastOk = ok;
}

bool App::logOrReport(operation::LogCode code, const std::string& t)
{
    try {
        logEvent(code, t);
        return true;
    } catch (const std::exception& e) {
        // The log's own fault is not logged again.
        const bool outer = !m_reporting;
        m_reporting = true;
        showError(winfs::fromNative(e.what()));
        if (outer)
            m_reporting = false;
        return false;
    }
}

// The program keeps its canonical file name, but only when it runs from the
// working folder itself; elsewhere nothing is touched.
void App::selfNaming()
{
    if (m_programFile.empty())
        return;
    std::error_code ec;
    auto own = std::filesystem::weakly_canonical(m_programFile, ec);
    if (ec || own.parent_path() != m_work)
        return;
    std::string name = own.filename().string();
    if (name == kProgramName)
        return;
    auto target = m_work / kProgramName;
    if (winfs::upper(name) == winfs::upper(kProgramName)) {
        std::filesystem::rename(own, target);  // raises on failure
        return;
    }
    if (std::filesystem::is_regular_file(target, ec)) {
        if (!std::filesystem::remove(target, ec) || ec)
            throw std::runtime_error(msg::cannotRemoveBeforeRename(winfs::display(target), winfs::fromNative(name)) +
                                     (ec ? ": " + winfs::fromNative(ec.message()) : std::string()));
    }
    std::filesystem::rename(own, target, ec);
}

void App::logFailure()
{
    if (m_statusColour != Red || m_status.empty() || m_lastLogged.find(m_status) != std::string::npos)
        return;
    logOrReport(operation::LogDetail, m_status);
}

bool App::selectGroup(const std::string& text)
{
    auto it = std::find(m_groups.begin(), m_groups.end(), text);
    if (it == m_groups.end())
        return false;
    if (state != Idle) {
        auto cur = std::find(m_groups.begin(), m_groups.end(), m_group);
        m_port.showGroups(m_groups, cur == m_groups.end() ? -1 : static_cast<int>(cur - m_groups.begin()));
        return false;
    }
    m_group = *it;
    m_port.showGroups(m_groups, static_cast<int>(it - m_groups.begin()));
    G15Chan();
    return true;
}

void App::G15Chan()
{
    listGroup();
}

bool App::listGroup()
{
    const std::string g = m_group;
    // The list follows the group even when the log cannot be written.
    const bool logged = logOrReport(operation::LogFileList, g);
    m_files.clear();
    jpkType = NoType;
    if (g.size() > 4 && g.compare(0, 4, "JPK_") == 0) {
        auto pos = std::string_view(operation::kTypeLetters).find(g[4]);
        jpkType = pos == std::string_view::npos ? std::uint8_t{NoType} : static_cast<std::uint8_t>(pos + 1);
    }
    m_jpkEnabled = jpkType != NoType;
    m_port.enableJpkButton(m_jpkEnabled);
    m_outputName = msg::outputName(g);
    m_port.showOutputName(m_outputName);

    const std::string own = winfs::upper(g) + ".XML";
    for (const std::string& name : winfs::findFiles(parentFolder(), g + "*.XML")) {
        if (name.find(".upload") != std::string::npos)
            continue;
        std::string up = winfs::upper(name);
        if (up == own)
            continue;
        m_files.push_back(up);
    }
    std::sort(m_files.begin(), m_files.end());
    m_port.showFiles(m_files);
    return logged;
}

template <class F>
void App::runOperation(const char* name, F&& body, bool exclusive)
{
    ++m_running;
    {
        // Taken by the outermost operation only: a second lock in this
        // process would find the folder busy.
        std::optional<base::FolderLock> lock;
        if (exclusive && m_running == 1)
            lock.emplace(m_work);
        if (lock && lock->outcome() == base::FolderLock::Outcome::Busy) {
            m_lastOk = false;
            try {
                logEvent(operation::LogDetail,
                         std::string(name) + ": " + msg::kFolderBusy + " (" + winfs::display(lock->file()) + ")");
            } catch (const std::exception&) {
            }
            showError(msg::kFolderBusy);
        } else {
            runGuarded(name, std::forward<F>(body));
        }
    }
    --m_running;
    if (m_running == 0 && m_exitPending) {
        m_exitPending = false;
        ExiZBIR();
    }
}

template <class F>
void App::runGuarded(const char* name, F&& body)
{
    const std::uint8_t before = state;
    m_lastOk = false;
    std::string what;
    try {
        m_lastOk = body();
        return;
    } catch (const std::exception& e) {
        what = winfs::fromNative(e.what());
    } catch (...) {
    }
    // No failure may leave the window stuck: report it and return to idle
    // (unless this handler ran inside another operation, which goes on).
    if (before == Idle)
        state = Idle;
    try {
        logEvent(operation::LogDetail, std::string(name) + ": " + what);
    } catch (const std::exception&) {
    }
    showError(what.empty() ? msg::failed(name) : what);
}

void App::MakeXLS()
{
    runOperation(msg::kTransportOperation, [this] { return workbook::makeXls(*this); }, true);
}

void App::OpenXLS()
{
    runOperation(msg::kOpenOperation, [this] { return workbook::openXls(*this); }, true);
}

void App::MakeJPK()
{
    runOperation(msg::kJpkOperation, [this] {
        if (jpkType == NoType && state == Idle) {
            // The window's button is off for such a group; the command line says why.
            const std::string why = msg::notJpkGroup(m_group);
            logOrReport(operation::LogDetail, why);
            showError(why);
            return false;
        }
        return jpkvat::makeJpk(*this);
    }, true);
}

void App::SpeedButton1Click()
{
    runOperation("Excel", [this] {
        if (xl)
            xl->setVisible(true);
        return true;
    });
}

void App::ExiZBIR()
{
    if (state >= Running && state <= kLastRunningState) {
        state = Stopping;
        logOrReport(operation::LogCancelled);
        return;
    }
    if (m_running > 0) {
        // A handler that does not use the state byte still works with the
        // automation object: the program ends as soon as it returns.
        m_exitPending = true;
        return;
    }
    if (xl) {
        try {
            xl->setDisplayAlerts(true);
            xl->setScreenUpdating(true);
        } catch (const std::exception&) {
        }
        xl.reset();
    }
    // The program ends even when the log cannot be written.
    logOrReport(operation::LogEnd);
    m_closed = true;
    m_port.closeWindow();
}

}  // namespace zbir::shell
