#include "workbook/workbook_file.h"

#include "workbook/automation.h"

namespace zbir::workbook {

std::unique_ptr<Workbook> loadWorkbookFile(const std::filesystem::path& path)
{
    throw AutomationError("Nie mo\xBFna jeszcze otworzy\xE6 pliku " + displayPath(path));
}

}  // namespace zbir::workbook
