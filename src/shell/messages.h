#pragma once
// The program's own messages to the user (status line, run log, terminal),
// program text (Windows-1250): fixed texts as constants, texts with names in
// them as functions. The run log's entry texts are the log's (run_log.cpp),
// the command line's usage and help texts their own (usage_errors.cpp,
// help_text.cpp).

#include <string>

namespace zbir::shell::msg {

inline constexpr char kError[] = "B\xB3\xB9" "d";  // a failure without words of its own
inline constexpr char kFolderBusy[] = "Trwa inna operacja w tym folderze, spr\xF3" "buj p\xF3\x9F" "niej";
inline constexpr char kNoXmlFiles[] = "Nie widz\xEA plik\xF3w *.XML";
inline constexpr char kStartLog[] = "startowych, przygotowanie listy grup plik\xF3w JPK";
inline constexpr char kStopped[] = "operacja anulowana";
inline constexpr char kNoScreen[] =
    "nie ma ekranu do okna (DISPLAY nie jest ustawiony). Bez okna dzia\xB3" "aj\xB9 "
    "polecenia: zbir groups, zbir files, zbir transport, zbir open, zbir jpk "
    "(zbir --help)";
inline constexpr char kBuiltWithoutWindow[] =
    "ten program zbudowano bez okna; dzia\xB3" "aj\xB9 polecenia (zbir --help)";
inline constexpr char kInterruptHint[] = "zbir: Ctrl+C: zatrzymuj\xEA operacj\xEA (jeszcze raz Ctrl+C: "
                                         "koniec od razu)\n";

// The operations, as their buttons name them (in the run log and on failure).
inline constexpr char kTransportOperation[] = "Transport XML do XLS";
inline constexpr char kOpenOperation[] = "Wczytaj gotowy XLS";
inline constexpr char kJpkOperation[] = "Zr\xF3" "b zbiorczy JPK";

// The system's reason follows.
std::string cannotRemoveBeforeRename(const std::string& target, const std::string& name);
std::string outputName(const std::string& group);
std::string failed(const std::string& operation);
std::string notJpkGroup(const std::string& group);
std::string noSuchGroup(const std::string& group, const std::string& known);
std::string cannotEnterFolder(const std::string& folder);
std::string cannotCreateLog(const std::string& path);
std::string logWriteError(const std::string& path);

}  // namespace zbir::shell::msg
