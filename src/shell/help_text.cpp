#include "shell/help_text.h"

#include <cstdlib>
#include <string_view>

namespace zbir::shell {

namespace {

const HelpText kPolish = {
    "ZBIR - integrator jednolitych plik\xF3w kontrolnych (JPK).\n"
    "Bez polecenia otwiera okno programu w folderze roboczym; pliki *.XML "
    "le\xBF\xB9 w folderze nadrz\xEA" "dnym.",

    "Praca miesi\xEA" "czna, w folderze roboczym pod folderem z plikami JPK:\n"
    "  zbir transport   pliki *.XML grupy do zeszytu GRUPA.XLS: arkusz -SUMA-\n"
    "                   i po arkuszu na ka\xBF" "dy plik; kopie UTF-8 w podfolderze TXT\n"
    "  zbir jpk         zbiorczy plik JPK_VAT ../GRUPA.xml z zeszytu grupy\n"
    "                   i z danych podmiotu w pliku Podmiot1.JPK\n"
    "Post\xEAp wida\xE6 na pasku (plik k z n, rekordy, tempo); ka\xBF" "d\xB9 "
    "operacj\xEA zapisuje ZBIR.LOG.\n"
    "Ctrl+C zatrzymuje operacj\xEA tak jak przycisk \"Koniec pracy ZBIR\"; "
    "drugie Ctrl+C\nko\xF1" "czy program od razu. Wcze\x9Cniej zapisane pliki "
    "zostaj\xB9 nienaruszone.\n"
    "Komunikaty id\xB9 na stderr, wyniki na stdout. Kod wyj\x9C" "cia: 0 gdy "
    "polecenie si\xEA uda\xB3" "o,\n1 b\xB3\xB9" "d, 2 z\xB3" "e wywo\xB3" "anie "
    "lub nieznana grupa, 130 zatrzymane przez Ctrl+C.\n"
    "Wi\xEA" "cej: man zbir",

    "folder roboczy (domy\x9Clnie bie\xBF\xB9" "cy)",
    "folder roboczy, jak -C",
    "grupa plik\xF3w (domy\x9Clnie wybrana na starcie)",
    "wersja programu",
    "ta pomoc",
    {
        {"groups", Command::Groups, false, "grupy plik\xF3w (* przy grupie wybranej na starcie)"},
        {"files", Command::Files, true, "pliki grupy, tak jak lista w oknie"},
        {"transport", Command::Transport, true, "Transport XML do XLS: zeszyt grupy w folderze roboczym"},
        {"open", Command::Open, true, "Wczytaj gotowy XLS: otwiera zeszyt grupy"},
        {"jpk", Command::Jpk, true, "Zr\xF3" "b zbiorczy JPK: wczytuje zeszyt grupy i tworzy plik zbiorczy"},
    },
    "sprawdza pliki JPK wzgl\xEA" "dem schemat\xF3w ich formularzy (kod 1: plik niepoprawny lub nieznany)",
    "pliki JPK do sprawdzenia",
};

const HelpText kEnglish = {
    "ZBIR - integrator of Polish JPK audit files.\n"
    "Without a command it opens the program's window in the working folder; the "
    "*.XML files lie in the folder above it.",

    "A month's work, in the working folder below the folder with the JPK files:\n"
    "  zbir transport   the group's *.XML files into the workbook GROUP.XLS: a sheet\n"
    "                   -SUMA- and one sheet per file; UTF-8 copies in the folder TXT\n"
    "  zbir jpk         the combined JPK_VAT file ../GROUP.xml from the group's\n"
    "                   workbook and the taxpayer's data in the file Podmiot1.JPK\n"
    "A bar shows progress (file k of n, records, rate); ZBIR.LOG records every "
    "operation.\n"
    "Ctrl+C stops an operation as the button \"Koniec pracy ZBIR\" does; a second "
    "Ctrl+C\nends the program at once. Files saved before stay intact.\n"
    "Messages go to stderr, results to stdout. Exit code: 0 when the command did\n"
    "what was asked, 1 on failure, 2 on a usage error or an unknown group, 130 when\n"
    "stopped by Ctrl+C.\n"
    "More: man zbir",

    "working folder (default: the current one)",
    "working folder, as -C",
    "file group (default: the one chosen at start)",
    "program version",
    "this help",
    {
        {"groups", Command::Groups, false, "file groups (* marks the group chosen at start)"},
        {"files", Command::Files, true, "the group's files, as the window lists them"},
        {"transport", Command::Transport, true, "Transport XML do XLS: the group's workbook in the working folder"},
        {"open", Command::Open, true, "Wczytaj gotowy XLS: opens the group's workbook"},
        {"jpk", Command::Jpk, true,
         "Zr\xF3" "b zbiorczy JPK: opens the group's workbook and writes the combined file"},
    },
    "checks JPK files against the schemas of their forms (exit 1: a file invalid or unknown)",
    "JPK files to check",
};

}  // namespace

bool polishHelpWanted()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (!v || !*v)
            continue;
        const std::string_view locale(v);
        if (locale == "C" || locale.starts_with("C.") || locale == "POSIX")
            return true;
        return locale.starts_with("pl");
    }
    return true;
}

const HelpText& helpText(bool polish)
{
    return polish ? kPolish : kEnglish;
}

}  // namespace zbir::shell
