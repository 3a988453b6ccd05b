#include "base/formatters.h"

#include <cmath>
#include <cstdio>

namespace zbir::base {

std::string integerText(long long value)
{
    return std::to_string(value);
}

std::string amountText(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    std::string s = buf;
    if (s == "-0.00")
        s = "0.00";
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

std::string columnLetters(int column)
{
    std::string s;
    while (column > 0) {
        s.insert(s.begin(), static_cast<char>('A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return s;
}

}  // namespace zbir::base
