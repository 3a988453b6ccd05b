#pragma once
// The transport's messages to the user (status line and run log), program
// text (Windows-1250): fixed texts as constants, texts with names in them as
// functions.

#include <string>

namespace zbir::workbook::msg {

inline constexpr char kNoExcel[] = "Nie ma \xBF" "adnego Excela w systemie";
inline constexpr char kEditing[] = "Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu";
inline constexpr char kNothing[] = "nic";  // an empty A1
inline constexpr char kAllTxtCopies[] = "wszystkich poprzednich poprawnych plik\xF3w z podkatalogu TXT";

// Opening a ready workbook.
std::string noWorkbook(const std::string& group);
std::string cannotReadWorkbook(const std::string& group, const std::string& why);
std::string workbookLoaded(const std::string& group);
std::string strangeWorkbook(const std::string& group, const std::string& seenInA1);

// The transport.
std::string workbookUnchanged(const std::string& name);
std::string workbookNotSaved(const std::string& name);
std::string transportStopped(const std::string& kept);
std::string cannotMoveAside(const std::string& group, const std::string& previous);
std::string cannotSaveFile(const std::string& path);
std::string previousStaysAs(const std::string& name);
std::string extraSheets(const std::string& group);
std::string noFreeName(const std::string& name);
std::string txtDeleteFailed(const std::string& name);

}  // namespace zbir::workbook::msg
