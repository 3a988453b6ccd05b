#pragma once
// The xlsx room: the workbook model saved as a package and a package
// opened into the model.
//
// Workbook files: Office Open XML spreadsheets, whatever their name says.

#include "spreadsheet/workbook.h"

#include <filesystem>
#include <memory>

namespace zbir::workbook {

// Writes the workbook to `path` through a temporary file in the same folder
// that then replaces the target. Raises AutomationError on failure; a file
// that was at `path` then stays as it was.
void saveWorkbookFile(Workbook& workbook, const std::filesystem::path& path);

// Reads a workbook file. Raises AutomationError when the file is missing or
// cannot be read as a workbook.
std::unique_ptr<Workbook> loadWorkbookFile(const std::filesystem::path& path);

// The program text of a native path, for messages and names.
std::string displayPath(const std::filesystem::path& path);

}  // namespace zbir::workbook
