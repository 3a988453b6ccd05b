#pragma once
// Lossless-as-possible conversion between program text (Windows-1250) and
// UTF-8 for display, terminals and file names, through iconv. These are not
// the JPK value conversions (see codepage.h).

#include <string>
#include <string_view>

namespace zbir::encoding {

// Windows-1250 to UTF-8. Bytes Windows-1250 leaves undefined become U+FFFD.
std::string windows1250ToUtf8(std::string_view text);

// UTF-8 to Windows-1250. A character Windows-1250 cannot hold, or an invalid
// sequence, becomes `replacement`.
std::string utf8ToWindows1250(std::string_view text, char replacement = '?');

// True when `text` is valid UTF-8.
bool isValidUtf8(std::string_view text);

// Lower case of one Windows-1250 byte: ASCII and every Central European
// letter of the code page (Ą Ć Ę Ł Ń Ó Ś Ź Ż, Š Ť Ž, ...).
char lowerWindows1250(char ch);
// Program texts compared without regard to letter case, as the spreadsheet
// compares sheet and workbook names.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace zbir::encoding
