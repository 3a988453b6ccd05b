#pragma once
// Texts of `zbir --help`, in Polish and in English (program text).

#include "shell/console_commands.h"

namespace zbir::shell {

struct CommandHelp {
    const char* name;
    Command command;
    bool takesGroup;
    const char* text;
};

struct HelpText {
    const char* description;
    const char* footer;
    const char* folderOption;
    const char* folderArgument;
    const char* groupArgument;
    const char* versionFlag;
    const char* helpFlag;
    CommandHelp commands[5];
    const char* checkCommand;  // zbir sprawdz PLIK...
    const char* checkFiles;
};

// Polish unless the locale (LC_ALL, LC_MESSAGES, LANG: the first one set)
// names another language; the C and POSIX locales name none.
bool polishHelpWanted();

const HelpText& helpText(bool polish);

}  // namespace zbir::shell
