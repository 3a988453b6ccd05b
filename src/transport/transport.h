#pragma once
// The transport room: a group's XML files laid out in the group's workbook
// (the driver, the column layouts, the -SUMA- sheet, opening a ready
// workbook). Below it: xmlsheet, jpkforms, encoding, base and the
// spreadsheet's automation interface.
#include <filesystem>
#include <string>
#include <vector>

namespace zbir::operation { class Operation; }
namespace zbir::workbook { class Application; }

namespace zbir::workbook {

// "Transport XML do XLS": the group's files into the group's workbook.
// Returns whether the workbook was built and saved with every file read whole.
bool makeXls(operation::Operation& app);

// The active workbook as a transport starts it: one sheet "-SUMA-", empty,
// formatted as text.
void emptyGroupWorkbook(Application& xl);

// Sets app.xl when it is empty: attaches to a running spreadsheet
// application, or creates one. False when neither works.
bool connect(operation::Operation& app);

// The group's workbook in the working folder: group name + ".XLS".
std::filesystem::path workbookPath(const operation::Operation& app);

// The first free previous-version name of the workbook `name` (program text,
// ending in ".XLS") in `folder`: "-0001" upwards inserted before the
// extension. A name is free when no file of that name can be opened for
// reading. Raises std::runtime_error when every name is taken.
std::string previousVersionName(const std::filesystem::path& folder, const std::string& name);

// The status line after a transport whose inputs broke their schemas, at most
// 50 characters for up to 99 999 problems in up to 999 files: how many, where
// to read them.
std::string schemaSummary(int problems, int files);

// A name for the run log: its last 35 characters, padded on the left with
// "." to 38 characters.
std::string logName(const std::string& name);

// Empties TXT of the working folder of its *.TXT files but those in `keep`
// (this run's copies), with log lines.
void cleanTxtFolder(operation::Operation& app, const std::vector<std::filesystem::path>& keep = {});

}  // namespace zbir::workbook
