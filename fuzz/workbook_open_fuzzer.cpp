// Opening a workbook file, as "Wczytaj gotowy XLS" and the transport do with
// whatever lies under the workbook's name. The input is the file's bytes.
// Beyond not crashing: a file that opens saves again, and the saved file
// opens with the same sheets, the same values and the same formulas.

#include "fuzz_support.h"
#include "spreadsheet/automation.h"
#include "xlsx/workbook_file.h"

#include <cstdint>
#include <string>

using namespace zbir;

namespace {

std::string describe(workbook::Workbook& wb)
{
    std::string out;
    for (int s = 0; s < wb.sheetCount(); ++s) {
        workbook::Sheet& sheet = wb.sheet(s);
        out += "sheet " + sheet.name() + "\n";
        for (int row = 1; row <= sheet.usedRows(); ++row) {
            for (const workbook::Cell& cell : sheet.rowCells(row)) {
                if (!cell.hasContent())
                    continue;
                // A formula by its text: a file's cached result may disagree
                // with the formula (the engine trusts it, as spreadsheets do,
                // until the formula is computed again, as a save does).
                const std::string formula = sheet.formulaR1C1(row, cell.col);
                out += std::to_string(row) + "," + std::to_string(cell.col) + " " +
                       (formula.empty() ? sheet.valueText(row, cell.col) : formula) + "\n";
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto file = fuzz::workFolder() / "JPK_VAT_2017_05.XLS";
    const auto again = fuzz::workFolder() / "AGAIN.XLS";
    fuzz::writeFile(file, std::string_view(reinterpret_cast<const char*>(data), size));

    std::unique_ptr<workbook::Workbook> wb;
    try {
        wb = workbook::loadWorkbookFile(file);
    } catch (const workbook::AutomationError&) {
        return 0;  // refused with a message: what an unreadable workbook must give
    }
    const std::string before = describe(*wb);
    try {
        workbook::saveWorkbookFile(*wb, again);
    } catch (const workbook::AutomationError& e) {
        fuzz::violated("a workbook that opened could not be saved", e.what());
    }
    std::unique_ptr<workbook::Workbook> back;
    try {
        back = workbook::loadWorkbookFile(again);
    } catch (const workbook::AutomationError& e) {
        fuzz::violated("a saved workbook does not open", e.what());
    }
    const std::string after = describe(*back);
    if (before != after)
        fuzz::violated("a workbook saved and opened again differs", before + "\n--- became ---\n" + after);
    return 0;
}
