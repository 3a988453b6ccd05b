#pragma once
// The combined-file room: the one file of a group built from its workbook,
// with the subject definitions of Podmiot1.JPK and the output value rules.
#include <ctime>
#include <functional>

namespace zbir::operation { class Operation; }

namespace zbir::jpkvat {

// "Zrób zbiorczy JPK": the combined JPK_VAT(2) file of the group from the
// open workbook, written to a temporary file in the parent folder and renamed
// to <group>.xml once complete. Returns whether the file was written
// completely.
bool makeJpk(operation::Operation& app);

// The same with the clock that gives the generation time.
bool makeJpk(operation::Operation& app, const std::function<std::tm()>& clock);

}  // namespace zbir::jpkvat
