// zbir: the window, or one command of the command line, in a working folder.

#include "encoding/charset.h"
#include "shell/app.h"
#include "shell/console_commands.h"
#include "shell/console_port.h"
#include "shell/winfs.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#ifdef ZBIR_WITH_GUI
#include "shell/gui/t_fo.h"

#include <QApplication>
#endif

namespace {

using namespace zbir::shell;

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
        console.error("nie ma ekranu do okna (DISPLAY nie jest ustawiony). Bez okna dzia\xB3" "aj\xB9 "
                      "polecenia: zbir groups, zbir files, zbir transport, zbir open, zbir jpk "
                      "(zbir --help)");
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
    console.error("ten program zbudowano bez okna; dzia\xB3" "aj\xB9 polecenia (zbir --help)");
    return ExitUsage;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App cli{u8("ZBIR - integrator jednolitych plik\xF3w kontrolnych (JPK).\n"
                    "Bez polecenia otwiera okno programu w folderze roboczym; pliki *.XML "
                    "le\xBF\xB9 w folderze nadrz\xEA" "dnym."),
                 "zbir"};
    cli.set_version_flag("--version", std::string("zbir ") + ZBIR_VERSION, u8("wersja programu"));
    cli.set_help_flag("-h,--help", u8("ta pomoc"));

    std::string folder;
    cli.add_option("-C,--folder", folder, u8("folder roboczy (domy\x9Clnie bie\xBF\xB9" "cy)"))
        ->check(CLI::ExistingDirectory)
        ->option_text("DIR");

    std::string group;
    struct Sub {
        const char* name;
        Command command;
        const char* help;
        bool takesGroup;
    };
    const Sub subs[] = {
        {"groups", Command::Groups, "grupy plik\xF3w (* przy grupie wybranej na starcie)", false},
        {"files", Command::Files, "pliki grupy, tak jak lista w oknie", true},
        {"transport", Command::Transport, "Transport XML do XLS: zeszyt grupy w folderze roboczym", true},
        {"open", Command::Open, "Wczytaj gotowy XLS: otwiera zeszyt grupy", true},
        {"jpk", Command::Jpk, "Zr\xF3" "b zbiorczy JPK: wczytuje zeszyt grupy i tworzy plik zbiorczy", true},
    };
    Command chosen = Command::Groups;
    bool any = false;
    for (const Sub& s : subs) {
        CLI::App* sub = cli.add_subcommand(s.name, u8(s.help));
        if (s.takesGroup)
            sub->add_option("GROUP", group, u8("grupa plik\xF3w (domy\x9Clnie wybrana na starcie)"));
        sub->callback([&chosen, &any, c = s.command] {
            chosen = c;
            any = true;
        });
    }
    cli.require_subcommand(0, 1);
    cli.footer(u8("Komunikaty id\xB9 na stderr, wyniki na stdout; kod wyj\x9C" "cia 0, gdy polecenie "
                  "si\xEA uda\xB3" "o."));

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = cli.exit(e);
        return code == 0 ? ExitOk : ExitUsage;
    }

    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::current_path(folder, ec);
        if (ec) {
            ConsolePort().error("nie mog\xEA wej\x9C\xE6 do folderu " + winfs::fromNative(folder));
            return ExitUsage;
        }
    }
    const std::filesystem::path program = programFile();
    if (!any)
        return runWindow(argc, argv, program);

    ConsolePort port;
    App app(std::filesystem::current_path(), port, zbir::workbook::embeddedProvider(), program);
    return runConsoleCommand(app, port, chosen, zbir::shell::winfs::fromNative(group));
}
