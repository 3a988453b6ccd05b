#include "transport/messages.h"

namespace zbir::workbook::msg {

std::string noWorkbook(const std::string& group)
{
    return "Nie ma  " + group;
}

std::string cannotReadWorkbook(const std::string& group, const std::string& why)
{
    return "Nie mog\xEA wczyta\xE6 " + group + ".XLS: " + why;
}

std::string workbookLoaded(const std::string& group)
{
    return "Wczytany  " + group;
}

std::string strangeWorkbook(const std::string& group, const std::string& seenInA1)
{
    return "Dziwny  " + group + ": w A1 pierwszego arkusza " + seenInA1 + ", nie " + group;
}

std::string workbookUnchanged(const std::string& name)
{
    return name + " bez zmian";
}

std::string workbookNotSaved(const std::string& name)
{
    return name + " nie zapisany";
}

std::string transportStopped(const std::string& kept)
{
    return "Transport przerwany; " + kept;
}

std::string cannotMoveAside(const std::string& group, const std::string& previous)
{
    return "Nie mog\xEA przenie\x9C\xE6 " + group + ".XLS na " + previous + "; nowy zeszyt nie zapisany";
}

std::string cannotSaveFile(const std::string& path)
{
    return "Nie mog\xEA zapisa\xE6 pliku " + path;
}

std::string previousStaysAs(const std::string& name)
{
    return "; poprzedni zeszyt zostaje jako " + name;
}

std::string extraSheets(const std::string& group)
{
    return "z zeszytu " + group + " dodatkowych nies\xB3usznych arkuszy";
}

std::string noFreeName(const std::string& name)
{
    return "Brak wolnej nazwy dla " + name;
}

std::string txtDeleteFailed(const std::string& name)
{
    return "TXT\\" + name + " nieudane";
}

}  // namespace zbir::workbook::msg
