#pragma once
// Workbook files as other programs write them, brought to the one form the
// import reads: relationship targets given from the package root ("/xl/...")
// become relative to their part, and strings stored inline in the cells
// (t="inlineStr") move to the shared-string table.

#include <optional>
#include <string>

namespace zbir::workbook {

// The package `zip` (bytes of a well-formed Office Open XML archive) in that
// form, as a new archive of stored entries; nothing when it has that form
// already. Raises AutomationError naming the part that cannot be read.
std::optional<std::string> normalizedPackage(const std::string& zip);

}  // namespace zbir::workbook
