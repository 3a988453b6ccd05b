// zbir: the window, or one command of the command line, in a working folder.

#include "encoding/charset.h"
#include "shell/app.h"
#include "shell/console_check.h"
#include "shell/console_commands.h"
#include "shell/console_port.h"
#include "shell/help_text.h"
#include "shell/messages.h"
#include "shell/terminal_interrupt.h"
#include "shell/usage_errors.h"
#include "base/winfs.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include <unistd.h>

#ifdef ZBIR_WITH_GUI
#include "shell/gui/t_fo.h"

#include <QApplication>
#endif

namespace {

using namespace zbir::shell;
namespace winfs = zbir::base::winfs;

std::string u8(const std::string& programText)
{
    return zbir::encoding::windows1250ToUtf8(programText);
}

// The running program's own file, for the self-naming at start-up.
std::filesystem::path programFile()
{
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : p;
}

bool hasDisplay()
{
#if defined(__unix__) && !defined(__APPLE__)
    for (const char* var : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return true;
    }
    return false;
#else
    return true;
#endif
}

int runWindow(int argc, char** argv, const std::filesystem::path& program)
{
    ConsolePort console;
    if (!hasDisplay()) {
        console.error(msg::kNoScreen);
        return ExitUsage;
    }
#ifdef ZBIR_WITH_GUI
    QApplication qapp(argc, argv);
    // The window's own caption stays exactly as the window sets it; the
    // application's title goes to the application name.
    QApplication::setApplicationName(QString::fromStdString(u8("ZBIR integrator plik\xF3w JPK")));
    QApplication::setApplicationVersion(QStringLiteral(ZBIR_VERSION));
    TFo fo(std::filesystem::current_path(), zbir::workbook::embeddedProvider(), program);
    if (fo.app().closed())
        return ExitOk;
    fo.show();
    return QApplication::exec();
#else
    (void)argc;
    (void)argv;
    (void)program;
    console.error(msg::kBuiltWithoutWindow);
    return ExitUsage;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    const HelpText& help = helpText(polishHelpWanted());
    CLI::App cli{u8(help.description), "zbir"};
    cli.set_version_flag("--version", std::string("zbir ") + ZBIR_VERSION, u8(help.versionFlag));
    cli.set_help_flag("-h,--help", u8(help.helpFlag));

    std::string folder;
    // The folder is checked after parsing, so that its fault reads as ours.
    cli.add_option("-C,--folder", folder, u8(help.folderOption))->option_text("DIR");
    // `zbir DIR` is `zbir -C DIR`: a folder dropped on the desktop launcher.
    cli.add_option("DIR", folder, u8(help.folderArgument))->option_text(" ");

    std::string group;
    Command chosen = Command::Groups;
    bool any = false;
    for (const CommandHelp& s : help.commands) {
        CLI::App* sub = cli.add_subcommand(s.name, u8(s.text));
        if (s.takesGroup)
            sub->add_option("GROUP", group, u8(help.groupArgument));
        sub->callback([&chosen, &any, c = s.command] {
            chosen = c;
            any = true;
        });
    }
    std::vector<std::string> checkFiles;
    bool check = false;
    CLI::App* checkCommand = cli.add_subcommand("sprawdz", u8(help.checkCommand));
    checkCommand->add_option("PLIK", checkFiles, u8(help.checkFiles))->required();
    checkCommand->callback([&check] { check = true; });
    cli.require_subcommand(0, 1);
    cli.footer(u8(help.footer));

    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return cli.exit(e) == 0 ? ExitOk : ExitUsage;  // --help, --version
    } catch (const CLI::ParseError& e) {
        ConsolePort().error(usageErrorText(e, cli.remaining(true)));
        return ExitUsage;
    }

    if (!folder.empty()) {
        if (const std::string fault = folderFault(folder); !fault.empty()) {
            ConsolePort().error(fault);
            return ExitUsage;
        }
        std::error_code ec;
        std::filesystem::current_path(folder, ec);
        if (ec) {
            ConsolePort().error(msg::cannotEnterFolder(winfs::fromNative(folder)));
            return ExitUsage;
        }
    }
    if (check)
        return runCheck(checkFiles, std::cout, std::cerr) == 0 ? ExitOk : ExitFailed;
    const std::filesystem::path program = programFile();
    if (!any)
        return runWindow(argc, argv, program);

    ConsolePort port(std::cout, std::cerr, ConsolePort::optionsFor(STDERR_FILENO));
    App app(std::filesystem::current_path(), port, zbir::workbook::embeddedProvider(), program);
    // Ctrl+C is the exit button; the notice shows at once, even while a long
    // step runs that looks at the request only when it ends.
    TerminalInterrupt::install(
        std::string(isatty(STDERR_FILENO) ? "\n" : "") +
        ConsolePort::terminalText(msg::kInterruptHint));
    port.watchStop(&TerminalInterrupt::pressed, [&app] { app.ExiZBIR(); });
    const int code = runConsoleCommand(app, port, chosen, zbir::base::winfs::fromNative(group));
    TerminalInterrupt::uninstall();
    return code;
}
