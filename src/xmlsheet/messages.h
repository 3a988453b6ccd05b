#pragma once
// The messages of reading one JPK file into a sheet and a copy (status line
// and run log), program text (Windows-1250): fixed texts as constants, texts
// with names or numbers in them as functions.

#include <cstddef>
#include <string>

namespace zbir::xmlsheet::msg {

// The scanner's notices, after "<file>: ".
inline constexpr char kReadError[] = "b\xB3\xB9" "d odczytu, dalsza cz\xEA\x9C\xE6 pliku pomini\xEAta";
inline constexpr char kUtf8AgainstDeclaration[] = "tekst w UTF-8 wbrew deklaracji kodowania";
inline constexpr char kNoTags[] = "brak znacznik\xF3w XML";
inline constexpr char kDoctypeSkipped[] = "deklaracja DOCTYPE pomini\xEAta, encje nie s\xB9 rozwijane";
inline constexpr char kCutInTag[] = "plik urwany w znaczniku";
std::string itemTooLong(std::size_t megabytes);
std::string cutShort(const std::string& missingClosing);
std::string closesNothing(const std::string& tag);
std::string nestedTooDeep(int levels);
std::string cutInElement(const std::string& tag);
std::string mixedContent(const std::string& tag);

// The schema check and the sheet.
std::string schemaLine(long long line);  // after the file's name
std::string notSchemaValid(const std::string& fileName);
std::string cannotRead(const std::string& fileName);
std::string noSheetName(const std::string& fileName);

// The corrected copy.
std::string cannotCreateFile(const std::string& path);
std::string writeError(const std::string& path);

}  // namespace zbir::xmlsheet::msg
