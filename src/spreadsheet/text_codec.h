#pragma once
// Fast conversions between program text (Windows-1250) and the UTF-8 that
// workbook files hold, for the millions of cell texts a save or an open
// passes. Letter case of names: encoding/charset.h.

#include <string>
#include <string_view>

namespace zbir::workbook::text {

// Appends the UTF-8 form of `text` to `out`.
void appendUtf8(std::string& out, std::string_view text);
std::string toUtf8(std::string_view text);

// UTF-8 to Windows-1250; characters without a Windows-1250 byte and
// malformed sequences become '?'.
std::string fromUtf8(std::string_view utf8);

bool isAscii(std::string_view text);

}  // namespace zbir::workbook::text
