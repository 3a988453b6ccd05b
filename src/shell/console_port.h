#pragma once
// The window as the command line sees it: status messages go to the error
// stream as UTF-8 lines, errors marked as such; results are printed by the
// commands themselves. Progress of the transport and the JPK build shows as
// one redrawn bar line on a terminal and as plain lines elsewhere.

#include "shell/progress_meter.h"
#include "shell/window_port.h"

#include <functional>
#include <iostream>
#include <string>

namespace zbir::shell {

struct ConsoleOptions {
    bool terminal = false;  // the error stream is a terminal: a redrawn bar
    bool colour = false;    // errors in red (terminal only)
    int columns = 80;       // terminal width in characters
    double plainEvery = 10;  // seconds between plain progress lines within one file
    std::function<double()> clock;  // seconds; a steady clock when empty
};

class ConsolePort : public WindowPort {
public:
    using Options = ConsoleOptions;
    // Options for a program whose error stream is the file descriptor `fd`:
    // a terminal unless TERM is "dumb"; colour unless NO_COLOR is set.
    static Options optionsFor(int fd);

    explicit ConsolePort(std::ostream& out = std::cout, std::ostream& err = std::cerr, Options options = {});

    // "zbir: text" for progress, "zbir: błąd: text" for errors (colour 255).
    // Empty texts (a cleared status line) and a repeat of the previous line
    // print nothing.
    void showStatus(const std::string& text, int colour) override;

    // Terminal: redraws the bar line ("zbir: [###---] plik 2/5  120 000
    // rekordów  45 000 rek./s  0:12") at most ten times a second. Otherwise:
    // a plain line when a new file begins and every `plainEvery` seconds.
    void showProgress(const Progress& progress) override;

    // "zbir: text", never cut.
    void showDetail(const std::string& text) override;

    // Where the window would handle the exit button: the first time the
    // watched stop request is seen, its action runs (once).
    void processEvents() override;

    // Ends the progress of one operation: the bar goes, and a line with the
    // records, the time and the rate stays (when there was any progress).
    void finishProgress();

    // `requested` is polled by processEvents; `stop` is the exit button.
    void watchStop(std::function<bool()> requested, std::function<void()> stop);
    bool stopSeen() const { return m_stopSeen; }

    // Messages of the command line itself (program text, never cut).
    void message(const std::string& text);
    void error(const std::string& text);

    // Program text to the terminal, as UTF-8.
    static std::string terminalText(const std::string& programText);

    std::ostream& out() { return m_out; }

private:
    double now() const;
    void printLine(const std::string& programText, bool red);
    void drawBar(double now);
    void clearBar();

    std::ostream& m_out;
    std::ostream& m_err;
    Options m_options;
    std::string m_lastLine;

    ProgressMeter m_meter;
    std::string m_bar;  // terminal text of the bar line on screen; empty: none
    double m_lastDraw = -1e9;
    int m_drawnFile = -1;

    std::function<bool()> m_stopRequested;
    std::function<void()> m_stop;
    bool m_stopSeen = false;
};

}  // namespace zbir::shell
