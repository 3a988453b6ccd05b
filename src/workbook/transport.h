#pragma once
namespace zbir::shell { class App; }

namespace zbir::workbook {

// "Transport XML do XLS": the group's files into the group's workbook.
// Returns whether the workbook was built and saved.
bool makeXls(shell::App& app);

}  // namespace zbir::workbook
