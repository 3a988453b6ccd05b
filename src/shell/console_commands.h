#pragma once
// The commands of the command line, run on the same core as the window.

#include <string>

namespace zbir::shell {

class App;
class ConsolePort;

enum class Command { Groups, Files, Transport, Open, Jpk };

// Exit codes of the command line: 130 (128 + SIGINT, as shells count it)
// when Ctrl+C stopped the command.
enum ExitCode : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitStopped = 130 };

// Runs `command` as the window would: start-up (FoCreat), the group `group`
// chosen in G15 (program text, any letter case; empty: the preselected
// group), the command's handlers, then the exit button. `app` must use
// `port`. Results go to port.out(): `Groups` prints every group, the
// preselected one marked "*"; `Files` prints the group's files as Lis lists
// them. A stop request seen by the port (Ctrl+C) is the exit button: the
// running operation stops as the window's would, and no further handler
// runs. Returns ExitOk when the command did what was asked, ExitStopped
// when it was stopped, ExitFailed when it failed, ExitUsage for an unknown
// group.
int runConsoleCommand(App& app, ConsolePort& port, Command command, const std::string& group = {});

}  // namespace zbir::shell
