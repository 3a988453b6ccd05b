#pragma once
// Texts the status line and the run log show: integers, amounts, column
// letters.
#include <string>

namespace zbir::base {

// Decimal text of an integer.
std::string integerText(long long value);

// Two decimals with a point, then trailing zeros and a trailing point removed
// (12.50 gives "12.5", 3.00 gives "3").
std::string amountText(double value);

// 1..26 give A..Z, then AA..ZZ, AAA..XFD (27 AA, 255 IU, 16384 XFD). 0 gives "".
std::string columnLetters(int column);

}  // namespace zbir::base
