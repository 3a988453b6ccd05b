#pragma once
// The window as the command line sees it: status messages go to the error
// stream as UTF-8 lines, errors marked as such; results are printed by the
// commands themselves.

#include "shell/window_port.h"

#include <iostream>
#include <string>

namespace zbir::shell {

class ConsolePort : public WindowPort {
public:
    explicit ConsolePort(std::ostream& out = std::cout, std::ostream& err = std::cerr);

    // "zbir: text" for progress, "zbir: błąd: text" for errors (colour 255).
    // Empty texts (a cleared status line) and a repeat of the previous line
    // print nothing.
    void showStatus(const std::string& text, int colour) override;

    // The command line has no events to handle yet; this is the place where
    // a stop request from the terminal would be noticed.
    void processEvents() override;

    // Messages of the command line itself (program text, never cut).
    void message(const std::string& text);
    void error(const std::string& text);

    // Program text to the terminal, as UTF-8.
    static std::string terminalText(const std::string& programText);

    std::ostream& out() { return m_out; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_lastLine;
};

}  // namespace zbir::shell
