#pragma once
// The first sheet -SUMA-: one row per file sheet pulling that sheet's row-1
// totals of every marked amount column, a grand total row and headings.

#include <string>

namespace zbir::xmlsheet { struct TransportContext; }

namespace zbir::workbook {

// Fills sheet 1 (active) after the file sheets 2 .. N+1 of the context's run;
// ends with log code 7 and the window split below row 2.
void buildSummary(xmlsheet::TransportContext& ctx);

// Short label shown under the heading "K_<column>", or empty.
std::string shortLabel(int column);

// Reference to row 1, column `column` of the sheet named `sheetName`, in R1C1.
std::string sheetTotalFormula(const std::string& sheetName, int column);

}  // namespace zbir::workbook
