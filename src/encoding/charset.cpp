#include "encoding/charset.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace zbir::encoding {
namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(m_cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one character's bytes at a time on error; `onError` decides
    // what replaces input that cannot be converted.
    template <class OnError>
    std::string run(std::string_view in, OnError onError)
    {
        std::string out;
        out.reserve(in.size() * 2);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        char buf[4096];
        while (left > 0) {
            char* dst = buf;
            size_t room = sizeof buf;
            size_t r = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buf, static_cast<size_t>(dst - buf));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                // EILSEQ or EINVAL: skip the offending input
                size_t skip = onError(out, std::string_view(src, left));
                src += skip;
                left -= skip;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t m_cd;
};

// Length of the UTF-8 sequence starting at s[0], at least 1.
size_t utf8SequenceLength(std::string_view s)
{
    auto b = static_cast<unsigned char>(s[0]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (n > s.size())
        return 1;
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

}  // namespace

std::string windows1250ToUtf8(std::string_view text)
{
    thread_local Iconv cv("UTF-8", "WINDOWS-1250");
    return cv.run(text, [](std::string& out, std::string_view) {
        out += "\xEF\xBF\xBD";
        return size_t{1};
    });
}

std::string utf8ToWindows1250(std::string_view text, char replacement)
{
    thread_local Iconv cv("WINDOWS-1250", "UTF-8");
    return cv.run(text, [replacement](std::string& out, std::string_view rest) {
        out += replacement;
        return utf8SequenceLength(rest);
    });
}

bool isValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t n = utf8SequenceLength(text.substr(i));
        if (n == 1)
            return false;
        // reject overlong forms and surrogates
        auto b1 = static_cast<unsigned char>(text[i + 1]);
        if ((b == 0xC0 || b == 0xC1) || (b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 >= 0xA0) ||
            (b == 0xF0 && b1 < 0x90) || b > 0xF4 || (b == 0xF4 && b1 >= 0x90))
            return false;
        i += n;
    }
    return true;
}

char lowerWindows1250(char ch)
{
    auto b = static_cast<unsigned char>(ch);
    if (b >= 'A' && b <= 'Z')
        return static_cast<char>(b + 32);
    if (b >= 0x8A && b <= 0x8F && b != 0x8B)  // Š Ś Ť Ž Ź
        return static_cast<char>(b + 0x10);
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7)  // Ŕ .. Ţ, not ×
        return static_cast<char>(b + 0x20);
    switch (b) {
    case 0xA3: return static_cast<char>(0xB3);  // Ł
    case 0xA5: return static_cast<char>(0xB9);  // Ą
    case 0xAA: return static_cast<char>(0xBA);  // Ş
    case 0xAF: return static_cast<char>(0xBF);  // Ż
    case 0xBC: return static_cast<char>(0xBE);  // Ľ
    default: return ch;
    }
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerWindows1250(a[i]) != lowerWindows1250(b[i]))
            return false;
    return true;
}

}  // namespace zbir::encoding
