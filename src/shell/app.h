#pragma once
// The shell room: the program itself (this core, the run log, the command
// line, the window); nothing includes it.
//
// The program's core: the main window's state and handlers, without a toolkit.

#include "shell/run_log.h"
#include "shell/window_port.h"
#include "operation/operation.h"
#include "spreadsheet/automation.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zbir::shell {

class App : public operation::Operation {
public:
    // `workFolder` must exist; it is made absolute. `programFile` is the
    // running program's own file (empty: unknown, self-naming is skipped).
    App(const std::filesystem::path& workFolder, WindowPort& port,
        std::shared_ptr<workbook::Provider> provider = workbook::embeddedProvider(),
        std::filesystem::path programFile = {});

    // -- global state: state, jpkType and xl, as the operations see them

    // -- handlers
    void FoCreat();
    void G15Chan();
    void MakeXLS();
    void OpenXLS();
    void MakeJPK();
    void ExiZBIR();
    void SpeedButton1Click();

    // Selects the group `text` in G15 and runs G15Chan. False when absent,
    // or while an operation runs (the operation reads Lis, so G15 keeps the
    // group it started with).
    bool selectGroup(const std::string& text);

    // -- controls' contents
    const std::vector<std::string>& groups() const { return m_groups; }  // G15 items, sorted
    const std::string& groupText() const override { return m_group; }    // G15 text
    const std::vector<std::string>& files() const override { return m_files; }  // Lis items, sorted
    const std::string& folderText() const { return m_folderText; }       // Fol
    bool jpkButtonEnabled() const { return m_jpkEnabled; }               // XLSJPK
    const std::string& outputNameText() const { return m_outputName; }  // Wyj
    bool closed() const { return m_closed; }
    // Whether an operation handler is running (with or without the state byte).
    bool busy() const { return m_running > 0; }

    // -- status line (program text, whole; the window may elide it)
    void showStatus(const std::string& text, int colour) override;
    const std::string& statusText() const { return m_status; }
    int statusColour() const { return m_statusColour; }
    void processEvents() override { m_port.processEvents(); }
    void reportProgress(const Progress& p) override { m_port.showProgress(p); }

    // -- run log
    void logEvent(operation::LogCode code, const std::string& t = {}) override
    {
        m_log.event(code, t);
        m_lastLogged = RunLog::message(code, t);
    }
    void logEvents(operation::LogCode code, const std::vector<std::string>& texts) override
    {
        m_log.events(code, texts);
        if (!texts.empty())
            m_lastLogged = RunLog::message(code, texts.back());
    }
    void showDetail(const std::string& text) override { m_port.showDetail(text); }
    RunLog& log() { return m_log; }
    // The red text on the status line goes to the log, unless the last
    // entry holds it already (showStatus does this for an operation's).
    void logFailure();

    // -- places
    const std::filesystem::path& workFolder() const override { return m_work; }
    std::filesystem::path parentFolder() const { return m_work.parent_path(); }
    // Native path of a program-text path relative to the working folder
    // ("..\NAME.XML", "TXT\x.TXT"), names matched without regard to case.
    std::filesystem::path resolve(const std::string& relative) const override;

    WindowPort& port() { return m_port; }
    workbook::Provider& provider() override { return *m_provider; }
    Geometry windowGeometry() const override { return m_port.geometry(); }

    // Whether the last operation handler, or FoCreat, did what was asked
    // (for exit codes). FoCreat fails when it shows an error.
    bool lastOk() const { return m_lastOk; }

private:
    // `exclusive`: the operation works on the folder's files and runs only
    // while no other process runs one there (base/folder_lock.h).
    template <class F>
    void runOperation(const char* name, F&& body, bool exclusive = false);
    template <class F>
    void runGuarded(const char* name, F&& body);
    void selfNaming();
    bool listGroup();  // G15Chan; false when its log entry failed
    // Writes a log entry; a log that cannot be written is shown in red
    // instead of ending the handler. Returns whether the entry was written.
    bool logOrReport(operation::LogCode code, const std::string& t = {});

    std::filesystem::path m_work;
    WindowPort& m_port;
    std::shared_ptr<workbook::Provider> m_provider;
    std::filesystem::path m_programFile;
    RunLog m_log;

    std::vector<std::string> m_groups;
    std::string m_group;
    std::vector<std::string> m_files;
    std::string m_folderText;
    std::string m_outputName;
    bool m_jpkEnabled = false;
    std::string m_status;
    int m_statusColour = DarkRed;
    std::string m_lastLogged;  // message of the last log entry written
    bool m_reporting = false;  // showing the log's own fault
    bool m_closed = false;
    bool m_lastOk = true;
    int m_running = 0;           // operation handlers on the call stack
    bool m_exitPending = false;  // exit pressed while one of them ran
};

}  // namespace zbir::shell
