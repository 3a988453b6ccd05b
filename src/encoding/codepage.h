#pragma once
// The encoding room: code-page conversion of JPK values (this header) and of
// program text for terminals and file names (charset.h).
//
// Conversion of JPK values between the code pages files arrive in (UTF-8,
// code page 852, Mazovia) and program text (Windows-1250), with the XML
// character references. The eighteen Polish letters follow the fixed letter
// table; every other character Windows-1250 can hold is converted through
// glibc's iconv tables, and one it cannot hold becomes the byte 95 ("\x95").

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zbir::encoding {

struct PolishLetter {
    unsigned char windows1250;
    unsigned char utf8[2];
    unsigned char cp852;
    unsigned char mazovia;
};

// Ą Ć Ę Ł Ń Ó Ś Ż Ź ą ć ę ł ń ó ś ż ź, in this order.
extern const std::array<PolishLetter, 18> kPolishLetters;

// Byte put in place of an unrecognised reference or a character that
// Windows-1250 cannot hold.
inline constexpr char kReplacement = '\x95';

// Value of the modified flag once a conversion escaped or replaced a character.
inline constexpr std::uint8_t kModified = 255;

// UTF-8 to program text, resolving named ("&amp;") and numeric ("&#243;",
// "&#xF3;") character references; an unrecognised reference "&name;" becomes
// "\x95;", an "&" with no ";" after it "\x95". Bytes that are no valid UTF-8
// pass unchanged.
std::string fromUtf8(std::string_view text);

// UTF-8 to program text without touching references (CDATA, tags, attributes).
std::string fromUtf8Text(std::string_view text);

// Appending form of fromUtf8Text.
void appendFromUtf8Text(std::string& out, std::string_view text);

// Code page 852 and Mazovia to program text, byte by byte.
std::string fromCp852(std::string_view text);
std::string fromMazovia(std::string_view text);

// The reference passes of fromUtf8 alone, on program text.
std::string decodeReferences(std::string_view programText);

// Program text to UTF-8 for an XML text node. Sets `modified` to kModified
// when it escaped a character ("&lt;", "&#167;", ...) or replaced one by "_"
// (control characters and bytes Windows-1250 leaves undefined); leaves it
// alone otherwise.
std::string toUtf8ForXml(std::string_view text, std::uint8_t& modified);

// Appending form of toUtf8ForXml for writers that build their output in place.
void appendUtf8ForXml(std::string& out, std::string_view text, std::uint8_t& modified);

// Number of leading bytes below 80 (hex); the size when the text is all ASCII.
std::size_t asciiPrefixLength(std::string_view text);

// Windows-1250 byte of a Unicode code point, or -1 when it has none.
int windows1250Byte(char32_t codePoint);

}  // namespace zbir::encoding
