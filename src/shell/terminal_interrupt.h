#pragma once
// Ctrl+C on the command line. The first press only records the request (the
// console port turns it into the exit button's stop); a second press ends
// the program at once, by the signal's own default action. Files already
// saved stay whole: every save goes through a temporary file and a rename.

#include <string>

namespace zbir::shell {

class TerminalInterrupt {
public:
    // Installs the SIGINT handler. `notice` (terminal text) is written to
    // stderr at the first press. A program started with SIGINT ignored (a
    // command run in the background by a shell) keeps ignoring it; returns
    // false then.
    static bool install(const std::string& notice);
    // Puts back the handling SIGINT had before install().
    static void uninstall();
    // Whether Ctrl+C has been pressed since install().
    static bool pressed();
};

}  // namespace zbir::shell
