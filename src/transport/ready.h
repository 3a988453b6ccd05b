#pragma once
namespace zbir::operation { class Operation; }

namespace zbir::workbook {

// "Wczytaj gotowy XLS": opens the group's ready workbook. Returns whether it
// opened and its first sheet's A1 holds the group name.
bool openXls(operation::Operation& app);

}  // namespace zbir::workbook
