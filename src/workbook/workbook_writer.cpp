#include "workbook/workbook_file.h"

#include "workbook/automation.h"
#include "workbook/text_codec.h"

namespace zbir::workbook {

std::string displayPath(const std::filesystem::path& path)
{
    return text::fromUtf8(path.string());
}

void saveWorkbookFile(Workbook&, const std::filesystem::path& path)
{
    throw AutomationError("Nie mo\xBFna jeszcze zapisa\xE6 pliku " + displayPath(path));
}

}  // namespace zbir::workbook
