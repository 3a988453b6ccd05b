#include "xmlsheet/messages.h"

#include "base/formatters.h"

namespace zbir::xmlsheet::msg {

std::string itemTooLong(std::size_t megabytes)
{
    return "element d\xB3u\xBFszy ni\xBF " + std::to_string(megabytes) +
           " MB, dalsza cz\xEA\x9C\xE6 pliku pomini\xEAta";
}

std::string cutShort(const std::string& missingClosing)
{
    return "plik urwany, brak " + missingClosing;
}

std::string closesNothing(const std::string& tag)
{
    return "znacznik " + tag + " nie zamyka otwartego elementu";
}

std::string nestedTooDeep(int levels)
{
    return "zagnie\xBF" "d\xBF" "enie g\xB3\xEA" "bsze ni\xBF " + std::to_string(levels) + " poziom\xF3w";
}

std::string cutInElement(const std::string& tag)
{
    return "plik urwany w elemencie " + tag;
}

std::string mixedContent(const std::string& tag)
{
    return "element " + tag + " pomini\xEAty, tekst mieszany ze znacznikami";
}

std::string schemaLine(long long line)
{
    return ", wiersz " + base::integerText(line);
}

std::string notSchemaValid(const std::string& fileName)
{
    return fileName + ": plik niezgodny ze schematem";
}

std::string cannotRead(const std::string& fileName)
{
    return fileName + ": nie mo\xBFna odczyta\xE6 pliku";
}

std::string noSheetName(const std::string& fileName)
{
    return "Arkusz bez nazwy dla " + fileName;
}

std::string cannotCreateFile(const std::string& path)
{
    return "Nie mog\xEA utworzy\xE6 pliku " + path;
}

std::string writeError(const std::string& path)
{
    return "B\xB3\xB9" "d zapisu pliku " + path;
}

}  // namespace zbir::xmlsheet::msg
