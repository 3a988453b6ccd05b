#pragma once
// The first sheet -SUMA-: one row per file sheet pulling that sheet's row-1
// totals of every marked amount column, a grand total row and headings: for
// the V7 forms' layout the element's name over its meaning, for the others
// "K_<column>" over the JPK_VAT(2) meaning.

#include <string>
#include <string_view>

namespace zbir::xmlsheet { struct TransportContext; }

namespace zbir::workbook {

// Fills sheet 1 (active) after the file sheets 2 .. N+1 of the context's run;
// ends with log code 7 and the window split below row 2.
void buildSummary(xmlsheet::TransportContext& ctx);

// Short label shown under the heading "K_<column>", or empty.
std::string shortLabel(int column);

// Short meaning of the V7 record element `name` (forms table), or empty.
std::string v7Label(std::string_view name);

// Reference to row 1, column `column` of the sheet named `sheetName`, in R1C1.
std::string sheetTotalFormula(const std::string& sheetName, int column);

}  // namespace zbir::workbook
