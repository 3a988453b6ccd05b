#pragma once
// The context an operation below the shell runs in (the transport, opening a
// ready workbook, the combined file): the state byte that carries a stop
// request, the status line, progress, the run log, the working folder, the
// group and its files, and the automation object. The shell implements it.
// Needs base and the spreadsheet's automation interface only.

#include "spreadsheet/automation.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zbir::operation {

enum Colour : int { DarkRed = 128, Red = 255 };

// Values of the state byte. The exit button asks a stop of any running state
// up to kLastRunningState.
enum State : std::uint8_t {
    Idle = 0,
    Running = 1,
    Stopping = 2,  // stop requested, or the operation failed
    kLastRunningState = 51,
};

// Codes of the run log's entries; the shell's run log has their texts.
enum LogCode : std::uint8_t {
    LogEnd = 0,          // "-": the program ends
    LogCancelled = 1,    // the user stopped the operation
    LogStart = 2,        // "Uruchomienie funkcji <text>"
    LogFileList = 3,     // the group's file list
    LogTransport = 4,    // the transport of the group's files
    LogDelete = 5,       // "Kasowanie <text>"
    LogPreviousKept = 6, // the earlier workbook kept aside
    LogSummary = 7,      // the -SUMA- sheet
    LogSubjectFile = 8,  // Podmiot1.JPK read
    LogDetail = 9,       // "... <text>": a problem, a message
};

// The group's JPK type: the position of its fifth letter in "KWMVFPE".
enum JpkType : std::uint8_t { NoType = 0, Kr = 1, Wb = 2, Mag = 3, Vat = 4, Fa = 5, Pkpir = 6, Ewp = 7 };
constexpr char kTypeLetters[] = "KWMVFPE";

// The main window's place on the screen.
struct Geometry {
    int top = 0;           // window top on the screen, pixels
    int height = 245;      // window height including its frame
    int width = 564;       // window width including its frame
    int clientWidth = 564;
    int screenHeight = 768;
};

struct Progress {
    int file = 0;             // 0-based index of the file being read
    int files = 0;            // files in the operation
    long long records = 0;    // records written so far in the whole operation
};

class Operation {
public:
    virtual ~Operation() = default;

    std::uint8_t state = Idle;     // a State
    std::uint8_t jpkType = NoType; // a JpkType
    std::shared_ptr<workbook::Application> xl;  // the automation object, kept for the run

    // Status line (program text); processes pending window events.
    virtual void showStatus(const std::string& text, int colour) = 0;
    void showProgress(const std::string& text) { showStatus(text, DarkRed); }
    void showError(const std::string& text) { showStatus(text, Red); }
    // Lets the window handle pending events: the exit button may run meanwhile.
    virtual void processEvents() = 0;
    virtual void reportProgress(const Progress& p) = 0;

    // Run log entry `code` with its text (program text).
    virtual void logEvent(LogCode code, const std::string& text = {}) = 0;
    // One entry for each text, written at once.
    virtual void logEvents(LogCode code, const std::vector<std::string>& texts)
    {
        for (const std::string& t : texts)
            logEvent(code, t);
    }
    // One line of a list of problems whose summary the status line shows:
    // the command line prints it, the window leaves it to the run log.
    virtual void showDetail(const std::string& /*text*/) {}

    virtual const std::string& groupText() const = 0;               // the chosen group
    virtual const std::vector<std::string>& files() const = 0;      // its files, sorted
    virtual const std::filesystem::path& workFolder() const = 0;
    // Native path of a program-text path relative to the working folder
    // ("..\NAME.XML", "TXT\x.TXT"), names matched without regard to case.
    virtual std::filesystem::path resolve(const std::string& relative) const = 0;

    virtual workbook::Provider& provider() = 0;
    virtual Geometry windowGeometry() const = 0;
};

}  // namespace zbir::operation
