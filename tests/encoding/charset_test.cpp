#include "encoding/charset.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <string>

namespace zbir::encoding {
namespace {

std::u32string decode(const std::string& utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        out += cp;
        i += static_cast<std::size_t>(n);
    }
    return out;
}

// Every byte of Windows-1250 folds as the C library's Unicode tables fold
// its character (Š Ť Ž included), and only to a byte of the code page.
TEST(Charset, LetterCaseFollowsTheCodePage)
{
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    int pairs = 0;
    for (int b = 1; b < 256; ++b) {
        const char ch = static_cast<char>(b);
        const std::u32string cp = decode(windows1250ToUtf8(std::string(1, ch)));
        ASSERT_EQ(cp.size(), 1u) << b;
        const auto lowerCp = static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp[0])));
        const char expected = lowerCp == cp[0] ? ch : static_cast<char>(0);
        const char got = lowerWindows1250(ch);
        if (expected == ch) {
            EXPECT_EQ(got, ch) << b;
            continue;
        }
        ++pairs;
        EXPECT_EQ(decode(windows1250ToUtf8(std::string(1, got))), std::u32string(1, lowerCp)) << b;
    }
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(pairs, 66);  // 26 ASCII, 30 of C0..DE, 8A 8C 8D 8E 8F, A3 A5 AA AF BC
}

TEST(Charset, NamesCompareWithoutLetterCase)
{
    EXPECT_TRUE(equalIgnoringCase("\x8A" "ar\x8D" "a \x8E" "al", "\x9A" "AR\x9D" "A \x9E" "AL"));
    EXPECT_TRUE(equalIgnoringCase("\xA3\xD3" "DKA", "\xB3\xF3" "dka"));
    EXPECT_FALSE(equalIgnoringCase("\xA3\xD3" "DKA", "\xB3\xF3" "dk"));
    EXPECT_FALSE(equalIgnoringCase("a\xD7", "a\xF7"));  // × and ÷ are no pair
}

}  // namespace
}  // namespace zbir::encoding
