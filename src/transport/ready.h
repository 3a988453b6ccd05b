#pragma once
namespace zbir::shell { class App; }

namespace zbir::workbook {

// "Wczytaj gotowy XLS": opens the group's ready workbook. Returns whether it
// opened and its first sheet's A1 holds the group name.
bool openXls(shell::App& app);

}  // namespace zbir::workbook
