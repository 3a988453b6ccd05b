#pragma once
namespace zbir::shell { class App; }

namespace zbir::jpkvat {

// "Zrób zbiorczy JPK": the combined JPK_VAT(2) file of the group from the
// open workbook. Returns whether the file was written completely.
bool makeJpk(shell::App& app);

}  // namespace zbir::jpkvat
