// Prints a workbook file as the cell script the JPK_VAT fuzz target reads
// (see fuzz_support.h), within the target's limits: seeds for its corpus.
// Usage: cell_script WORKBOOK.XLS > seed

#include "fuzz_support.h"
#include "spreadsheet/automation.h"
#include "xlsx/workbook_file.h"

#include <cstdio>
#include <iostream>

using namespace zbir;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cell_script WORKBOOK.XLS\n");
        return 2;
    }
    std::unique_ptr<workbook::Workbook> wb;
    try {
        wb = workbook::loadWorkbookFile(argv[1]);
    } catch (const workbook::AutomationError& e) {
        std::fprintf(stderr, "cell_script: %s\n", e.what());
        return 1;
    }
    using Limits = fuzz::CellScriptLimits;
    for (int s = 0; s < wb->sheetCount() && s < Limits::kSheets; ++s) {
        workbook::Sheet& sheet = wb->sheet(s);
        std::cout << "S\t" << sheet.name() << "\n";
        for (int col = 1; col <= Limits::kColumns; ++col)
            if (sheet.columnWidthSet(col))
                std::cout << "W\t" << col << "\t" << sheet.columnWidth(col) << "\n";
        for (int row = 1; row <= sheet.usedRows() && row <= Limits::kRows; ++row) {
            for (const workbook::Cell& cell : sheet.rowCells(row)) {
                if (!cell.hasContent() || cell.col > Limits::kColumns)
                    continue;
                const std::string formula = sheet.formulaR1C1(row, cell.col);
                if (!formula.empty())
                    std::cout << "F\t" << row << "\t" << cell.col << "\t" << formula << "\n";
                else
                    std::cout << "V\t" << row << "\t" << cell.col << "\t" << sheet.valueText(row, cell.col) << "\n";
            }
        }
    }
    return 0;
}
