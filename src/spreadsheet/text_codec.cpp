#include "spreadsheet/text_codec.h"

#include "encoding/charset.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace zbir::workbook::text {
namespace {

// The code page's upper half, taken once from the program's converter.
struct Tables {
    std::array<std::string, 128> utf8;
    std::unordered_map<char32_t, char> bytes;

    Tables()
    {
        for (int b = 0x80; b <= 0xFF; ++b) {
            char c = static_cast<char>(b);
            utf8[b - 0x80] = encoding::windows1250ToUtf8(std::string_view(&c, 1));
            char32_t cp = decode(utf8[b - 0x80]);
            if (cp != 0xFFFD)
                bytes.emplace(cp, c);
        }
    }

    static char32_t decode(std::string_view s)
    {
        auto b = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
        if (s.size() == 2)
            return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
        if (s.size() == 3)
            return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        return 0xFFFD;
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

}  // namespace

bool isAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void appendUtf8(std::string& out, std::string_view text)
{
    if (isAscii(text)) {
        out.append(text);
        return;
    }
    const auto& t = tables();
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.push_back(c);
        else
            out.append(t.utf8[b - 0x80]);
    }
}

std::string toUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendUtf8(out, text);
    return out;
}

std::string fromUtf8(std::string_view s)
{
    if (isAscii(s))
        return std::string(s);
    const auto& t = tables();
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            out.push_back(static_cast<char>(b0));
            ++i;
            continue;
        }
        size_t n = (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
        bool ok = n > 0 && i + n <= s.size();
        char32_t cp = n == 2 ? (b0 & 0x1F) : n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
        for (size_t k = 1; ok && k < n; ++k) {
            auto bk = static_cast<unsigned char>(s[i + k]);
            ok = (bk & 0xC0) == 0x80;
            cp = (cp << 6) | (bk & 0x3F);
        }
        if (!ok) {
            out.push_back('?');
            ++i;
            continue;
        }
        auto it = t.bytes.find(cp);
        out.push_back(it == t.bytes.end() ? '?' : it->second);
        i += n;
    }
    return out;
}

}  // namespace zbir::workbook::text
