#include "shell/run_log.h"

#include "base/winfs.h"
#include "operation/operation.h"
#include "shell/messages.h"

#include <cstdio>
#include <stdexcept>

namespace zbir::shell {

namespace winfs = base::winfs;

RunLog::RunLog(std::filesystem::path folder) : m_path(winfs::resolve(folder, "ZBIR.LOG"))
{
}

std::string RunLog::message(std::uint8_t code, const std::string& t)
{
    switch (code) {
    case operation::LogEnd: return "-";
    case operation::LogCancelled: return "  ~~~~~  operacja anulowana  ~~~~~";
    case operation::LogStart: return "Uruchomienie funkcji " + t;
    case operation::LogFileList: return "Przygotowanie listy plik\xF3w w formacie XML dla grupy: " + t;
    case operation::LogTransport: return "Transport plik\xF3w " + t + "*.XML do zeszytu " + t + ".XLS";
    case operation::LogDelete: return "Kasowanie " + t;
    case operation::LogPreviousKept: return "Zapis poprzedniej wersji jako " + t;
    case operation::LogSummary: return "Podsumowanie stworzonych arkuszy w pierwszym arkuszu o nazwie -SUMA-";
    case operation::LogSubjectFile: return "Odczyt pliku Podmiot1.JPK z definicjami p\xF3l dla Naglowka i Podmiotu1";
    case operation::LogDetail: return "... " + t;
    default: return "Co\x9C innego ( " + t + " )";
    }
}

void RunLog::event(std::uint8_t code, const std::string& t)
{
    events(code, {t});
}

void RunLog::events(std::uint8_t code, const std::vector<std::string>& texts)
{
    std::string line;
    for (const std::string& t : texts)
        line += "  " + message(code, t) + "\r\n";
    std::FILE* f = nullptr;
    std::error_code ec;
    if (std::filesystem::is_regular_file(m_path, ec))
        f = std::fopen(m_path.c_str(), "ab");
    if (!f) {
        f = std::fopen(m_path.c_str(), "wb");
        if (!f)
            throw std::runtime_error(msg::cannotCreateLog(winfs::display(m_path)));
        line = "\r\n" + line;
    }
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        throw std::runtime_error(msg::logWriteError(winfs::display(m_path)));
}

}  // namespace zbir::shell
