#include "shell/console_commands.h"

#include "shell/app.h"
#include "shell/console_port.h"
#include "shell/messages.h"
#include "base/winfs.h"

#include <ostream>
#include <stdexcept>

namespace zbir::shell {

namespace winfs = base::winfs;

namespace {

int stopped(ConsolePort& port)
{
    port.message(msg::kStopped);
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
            const std::string why = msg::noSuchGroup(group, known);
            port.error(why);
            try {
                app.logEvent(operation::LogDetail, why);
            } catch (const std::exception&) {
                // the message is on the terminal
            }
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
        // a stop request while it opens ends the command there. A group of
        // no JPK type has no combined file: the build says so at once.
        if (app.jpkType == NoType) {
            app.MakeJPK();
            break;
        }
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
    // Every failure leaves its line in the log, as on the terminal.
    if (code == ExitFailed)
        app.logFailure();
    // A stop request seen while no operation ran has closed the window already.
    if (!app.closed())
        app.ExiZBIR();
    return code;
}

}  // namespace zbir::shell
