#include "shell/messages.h"

namespace zbir::shell::msg {

std::string cannotRemoveBeforeRename(const std::string& target, const std::string& name)
{
    return "Nie mog\xEA usun\xB9\xE6 " + target + " przed zmian\xB9 nazwy " + name;
}

std::string outputName(const std::string& group)
{
    return "Plik: " + group + ".XLS";
}

std::string failed(const std::string& operation)
{
    return std::string(kError) + ": " + operation;
}

std::string notJpkGroup(const std::string& group)
{
    return "Grupa " + group +
           " nie jest grup\xB9 JPK: zbiorczy plik tylko dla nazw JPK_K, JPK_W, JPK_M, JPK_V, JPK_F, JPK_P, JPK_E...";
}

std::string noSuchGroup(const std::string& group, const std::string& known)
{
    return "nie ma grupy plik\xF3w " + group + " (grupy: " + known + ")";
}

std::string cannotEnterFolder(const std::string& folder)
{
    return "nie mog\xEA wej\x9C\xE6 do folderu " + folder;
}

std::string cannotCreateLog(const std::string& path)
{
    return "Nie mog\xEA zapisa\xE6 dziennika " + path;
}

std::string logWriteError(const std::string& path)
{
    return "B\xB3\xB9" "d zapisu dziennika " + path;
}

}  // namespace zbir::shell::msg
