#include "shell/console_commands.h"

#include "shell/app.h"
#include "shell/console_port.h"
#include "base/winfs.h"

#include <ostream>

namespace zbir::shell {

namespace winfs = base::winfs;

namespace {

int stopped(ConsolePort& port)
{
    port.message("operacja anulowana");
    return ExitStopped;
}

int runInGroup(App& app, ConsolePort& port, Command command, const std::string& group)
{
    const bool started = app.lastOk();
    if (app.groups().empty())
        return ExitFailed;  // start-up has shown why
    if (!group.empty() && winfs::upper(group) != app.groupText()) {
        if (!app.selectGroup(winfs::upper(group))) {
            std::string known;
            for (const std::string& g : app.groups())
                known += (known.empty() ? "" : ", ") + g;
            port.error("nie ma grupy plik\xF3w " + group + " (grupy: " + known + ")");
            return ExitUsage;
        }
    }
    std::ostream& out = port.out();
    switch (command) {
    case Command::Groups:
        for (const std::string& g : app.groups())
            out << (g == app.groupText() ? "* " : "  ") << ConsolePort::terminalText(g) << '\n';
        out.flush();
        return started ? ExitOk : ExitFailed;
    case Command::Files:
        for (const std::string& f : app.files())
            out << ConsolePort::terminalText(f) << '\n';
        out.flush();
        return started ? ExitOk : ExitFailed;
    case Command::Transport:
        app.MakeXLS();
        port.finishProgress();
        break;
    case Command::Open:
        app.OpenXLS();
        break;
    case Command::Jpk:
        // The combined file is built from the group's workbook, open first;
        // a stop request while it opens ends the command there.
        app.OpenXLS();
        if (app.lastOk() && port.stopSeen())
            return stopped(port);
        if (app.lastOk()) {
            app.MakeJPK();
            port.finishProgress();
        }
        break;
    }
    // An operation that got to its end despite a late stop request did
    // what was asked.
    if (app.lastOk())
        return ExitOk;
    return port.stopSeen() ? stopped(port) : ExitFailed;
}

}  // namespace

int runConsoleCommand(App& app, ConsolePort& port, Command command, const std::string& group)
{
    app.FoCreat();
    const int code = runInGroup(app, port, command, group);
    // A stop request seen while no operation ran has closed the window already.
    if (!app.closed())
        app.ExiZBIR();
    return code;
}

}  // namespace zbir::shell
