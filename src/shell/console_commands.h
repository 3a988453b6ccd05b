#pragma once
// The commands of the command line, run on the same core as the window.

#include <string>

namespace zbir::shell {

class App;
class ConsolePort;

enum class Command { Groups, Files, Transport, Open, Jpk };

// Exit codes of the command line.
enum ExitCode : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Runs `command` as the window would: start-up (FoCreat), the group `group`
// chosen in G15 (program text, any letter case; empty: the preselected
// group), the command's handlers, then the exit button. `app` must use
// `port`. Results go to port.out(): `Groups` prints every group, the
// preselected one marked "*"; `Files` prints the group's files as Lis lists
// them. Returns ExitOk when the command did what was asked, ExitFailed when
// it failed or was stopped, ExitUsage for an unknown group.
int runConsoleCommand(App& app, ConsolePort& port, Command command, const std::string& group = {});

}  // namespace zbir::shell
