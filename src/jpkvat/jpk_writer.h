#pragma once
// The combined-file room: the one file of a group built from its workbook,
// with the subject definitions of Podmiot1.JPK and the output value rules.
#include <ctime>
#include <functional>

namespace zbir::operation { class Operation; }

namespace zbir::jpkvat {

// "Zrób zbiorczy JPK": the combined file of the group from the open
// workbook, in the variant of its file sheets (JPK_VAT(2) from the sheets and
// Podmiot1.JPK; JPK_VAT(3), JPK_V7M, JPK_V7K as the inputs carry it). Refused
// when the sheets differ in form, period or taxpayer; the cells are checked
// first (problems by cell to the run log and showDetail); the output is
// written to a temporary file in the parent folder and becomes <group>.xml
// only when complete and valid against the form's schema (an invalid one is
// kept as <group>.xml.bledny). Returns whether <group>.xml was written.
bool makeJpk(operation::Operation& app);

// The same with the clock that gives the generation time.
bool makeJpk(operation::Operation& app, const std::function<std::tm()>& clock);

}  // namespace zbir::jpkvat
