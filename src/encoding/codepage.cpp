#include "encoding/codepage.h"

#include "encoding/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zbir::encoding {

const std::array<PolishLetter, 18> kPolishLetters = {{
    {0xA5, {0xC4, 0x84}, 0xA4, 0x8F},  // Ą
    {0xC6, {0xC4, 0x86}, 0x8F, 0x95},  // Ć
    {0xCA, {0xC4, 0x98}, 0xA8, 0x90},  // Ę
    {0xA3, {0xC5, 0x81}, 0x9D, 0x9C},  // Ł
    {0xD1, {0xC5, 0x83}, 0xE3, 0xA5},  // Ń
    {0xD3, {0xC3, 0x93}, 0xE0, 0xA3},  // Ó
    {0x8C, {0xC5, 0x9A}, 0x97, 0x98},  // Ś
    {0xAF, {0xC5, 0xBB}, 0xBD, 0xA1},  // Ż
    {0x8F, {0xC5, 0xB9}, 0x8D, 0xA0},  // Ź
    {0xB9, {0xC4, 0x85}, 0xA5, 0x86},  // ą
    {0xE6, {0xC4, 0x87}, 0x86, 0x8D},  // ć
    {0xEA, {0xC4, 0x99}, 0xA9, 0x91},  // ę
    {0xB3, {0xC5, 0x82}, 0x88, 0x92},  // ł
    {0xF1, {0xC5, 0x84}, 0xE4, 0xA4},  // ń
    {0xF3, {0xC3, 0xB3}, 0xA2, 0xA2},  // ó
    {0x9C, {0xC5, 0x9B}, 0x98, 0x9E},  // ś
    {0xBF, {0xC5, 0xBC}, 0xBE, 0xA7},  // ż
    {0x9F, {0xC5, 0xBA}, 0xAB, 0xA6},  // ź
}};

namespace {

constexpr char32_t kNoChar = 0xFFFFFFFF;

struct Entity {
    std::string_view name;
    unsigned char byte;
    std::string_view xml;  // how toUtf8ForXml writes the byte
};

// Entity names in the order the reference pass tries them. "apos" is
// XML's fifth predefined entity; the byte 27 it stands for needs no escape.
constexpr std::array<Entity, 9> kEntities = {{
    {"quot", 0x22, "&quot;"},
    {"amp", 0x26, "&amp;"},
    {"lt", 0x3C, "&lt;"},
    {"gt", 0x3E, "&gt;"},
    {"brvbar", 0x7C, "&#124;"},
    {"sect", 0xA7, "&#167;"},
    {"deg", 0xB0, "&#176;"},
    {"hellip", 0x85, "&#8230;"},
    {"apos", 0x27, ""},
}};

// Code point of one byte in a single-byte code page, through iconv.
class SingleByteCodePage {
public:
    explicit SingleByteCodePage(const char* name) : m_cd(iconv_open("UTF-32LE", name))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv has no code page ") + name);
    }
    ~SingleByteCodePage() { iconv_close(m_cd); }
    SingleByteCodePage(const SingleByteCodePage&) = delete;
    SingleByteCodePage& operator=(const SingleByteCodePage&) = delete;

    char32_t codePoint(unsigned char b)
    {
        char in = static_cast<char>(b);
        unsigned char out[8];
        char* src = &in;
        char* dst = reinterpret_cast<char*>(out);
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_cd, &src, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1) ||
            outLeft != sizeof out - 4)
            return kNoChar;
        return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
               char32_t(out[3]) << 24;
    }

private:
    iconv_t m_cd;
};

void appendUtf8(std::string& out, char32_t cp)
{
    appendCodePoint(out, cp);
}

struct Tables {
    // Windows-1250 byte by code point (-1 for none); its highest is U+2122.
    std::vector<short> fromCodePoint = std::vector<short>(0x2200, -1);
    std::array<unsigned char, 256> cp852{};
    std::array<unsigned char, 256> mazovia{};
    // toUtf8ForXml: what each byte becomes, and whether that raises the flag.
    std::array<std::string, 256> xml;
    std::array<bool, 256> xmlFlags{};
    // Bytes that toUtf8ForXml copies unchanged.
    std::array<bool, 256> xmlPlain{};

    Tables()
    {
        SingleByteCodePage win("WINDOWS-1250");
        SingleByteCodePage dos852("IBM852");
        SingleByteCodePage dos437("IBM437");

        std::array<char32_t, 256> winChar{};
        for (int b = 0; b < 256; ++b) {
            winChar[b] = b < 0x80 ? char32_t(b) : win.codePoint(static_cast<unsigned char>(b));
            if (b >= 0x80 && winChar[b] != kNoChar) {
                if (winChar[b] >= fromCodePoint.size())
                    throw std::runtime_error("unexpected Windows-1250 table");
                fromCodePoint[winChar[b]] = static_cast<short>(b);
            }
        }

        auto toWin = [this](char32_t cp) {
            int b = lookup(cp);
            return static_cast<unsigned char>(b < 0 ? kReplacement : b);
        };
        for (int b = 0; b < 256; ++b) {
            auto ub = static_cast<unsigned char>(b);
            cp852[b] = b < 0x80 ? ub : toWin(dos852.codePoint(ub));
            mazovia[b] = b < 0x80 ? ub : toWin(dos437.codePoint(ub));
        }
        for (const auto& l : kPolishLetters) {
            cp852[l.cp852] = l.windows1250;
            mazovia[l.mazovia] = l.windows1250;
        }

        for (int b = 0; b < 256; ++b) {
            if (b >= 0x20 && b <= 0x7E) {
                xml[b] = std::string(1, static_cast<char>(b));
                xmlPlain[b] = true;
            } else if (b >= 0x80 && winChar[b] != kNoChar) {
                appendUtf8(xml[b], winChar[b]);
            } else {
                xml[b].assign(1, '_');
                xmlFlags[b] = true;
            }
        }
        for (const auto& l : kPolishLetters) {
            xml[l.windows1250] = std::string{static_cast<char>(l.utf8[0]), static_cast<char>(l.utf8[1])};
            xmlFlags[l.windows1250] = false;
        }
        for (const auto& e : kEntities) {
            if (e.xml.empty())
                continue;
            xml[e.byte] = std::string(e.xml);
            xmlFlags[e.byte] = true;
            xmlPlain[e.byte] = false;
        }
    }

    int lookup(char32_t cp) const
    {
        if (cp < 0x80)
            return static_cast<int>(cp);
        return cp < fromCodePoint.size() ? fromCodePoint[cp] : -1;
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

}  // namespace

std::size_t asciiPrefixLength(std::string_view text)
{
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

namespace {

bool hasHighByte(std::string_view text)
{
    return asciiPrefixLength(text) < text.size();
}

// Length of a well-formed UTF-8 sequence of 2..4 bytes at s[0] (lead byte
// not ASCII), or 0. `usable(i)` tells whether byte i may take part.
template <class Usable>
size_t sequenceLength(const unsigned char* s, size_t avail, Usable usable, char32_t& cp)
{
    unsigned char b = s[0];
    size_t n;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (n > avail)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80 || !usable(i))
            return 0;
        cp = cp << 6 | (s[i] & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

// The "&" that a resolved "&amp;" leaves; kept apart from every byte so that
// a real byte D7 ("×") is never taken for it.
constexpr int kAmpersandMark = 0x100;

// Named or numeric reference at text[i] ("&" ...): its byte (or the
// ampersand mark) and its length; false when it is none of them.
bool matchReference(std::string_view text, size_t i, int& byte, size_t& length)
{
    std::string_view rest = text.substr(i + 1);
    for (const auto& e : kEntities) {
        if (rest.size() > e.name.size() && rest.substr(0, e.name.size()) == e.name &&
            rest[e.name.size()] == ';') {
            byte = e.byte == '&' ? kAmpersandMark : e.byte;
            length = e.name.size() + 2;
            return true;
        }
    }
    if (rest.size() < 3 || rest[0] != '#')
        return false;
    bool hex = rest[1] == 'x';
    size_t pos = hex ? 2 : 1;
    size_t digits = 0;
    char32_t cp = 0;
    bool tooBig = false;
    for (; pos < rest.size(); ++pos, ++digits) {
        char c = rest[pos];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (cp > 0x10FFFF)
            tooBig = true;
        else
            cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    if (digits == 0 || pos >= rest.size() || rest[pos] != ';')
        return false;
    int b = tooBig || cp == 0 ? -1 : windows1250Byte(cp);
    if (b < 0)
        byte = static_cast<unsigned char>(kReplacement);
    else
        byte = b == '&' ? kAmpersandMark : b;
    length = pos + 2;
    return true;
}

}  // namespace

int windows1250Byte(char32_t codePoint)
{
    return tables().lookup(codePoint);
}

namespace {

// Well-formed UTF-8: a forward walk gives what the letter walk from the end
// and the widening give, since no pair then spans two characters.
bool appendWellFormedUtf8(std::string& out, std::string_view text)
{
    const Tables& t = tables();
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const std::size_t start = out.size();
    out.resize(start + n);  // never more bytes out than in
    char* o = out.data() + start;
    for (std::size_t j = 0; j < n;) {
        unsigned char b = s[j];
        if (b < 0x80) {
            std::size_t run = asciiPrefixLength(text.substr(j));
            std::memcpy(o, s + j, run);
            o += run;
            j += run;
            continue;
        }
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF && j + 1 < n && (s[j + 1] & 0xC0) == 0x80) {
            cp = char32_t(b & 0x1F) << 6 | (s[j + 1] & 0x3F);
            j += 2;
        } else {
            std::size_t len = sequenceLength(s + j, n - j, [](std::size_t) { return true; }, cp);
            if (len == 0) {
                out.resize(start);
                return false;
            }
            j += len;
        }
        int w = t.lookup(cp);
        *o++ = w < 0 ? kReplacement : static_cast<char>(w);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return true;
}

// Any bytes, exactly: the letter walk from the end, then the widening.
void appendAnyUtf8(std::string& out, std::string_view text)
{

    // The eighteen letters: walking from the last position to the first, a
    // letter's UTF-8 pair at a position becomes its Windows-1250 byte (the
    // pair's second byte may be a letter already put in place). Built in
    // reverse so that each replacement is O(1).
    std::string rev;
    std::vector<bool> revLetter;
    rev.reserve(text.size());
    revLetter.reserve(text.size());
    for (size_t i = text.size(); i-- > 0;) {
        auto b = static_cast<unsigned char>(text[i]);
        bool replaced = false;
        if (!rev.empty() && (b == 0xC3 || b == 0xC4 || b == 0xC5)) {
            auto next = static_cast<unsigned char>(rev.back());
            for (const auto& l : kPolishLetters) {
                if (l.utf8[0] == b && l.utf8[1] == next) {
                    rev.back() = static_cast<char>(l.windows1250);
                    revLetter.back() = true;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            rev += static_cast<char>(b);
            revLetter.push_back(false);
        }
    }

    // Every other well-formed sequence: its Windows-1250 byte, or 95.
    const size_t n = rev.size();
    auto at = [&](size_t j) { return static_cast<unsigned char>(rev[n - 1 - j]); };
    auto isLetter = [&](size_t j) { return revLetter[n - 1 - j]; };
    unsigned char seq[4];
    for (size_t j = 0; j < n;) {
        unsigned char b = at(j);
        if (b < 0x80 || isLetter(j)) {
            out += static_cast<char>(b);
            ++j;
            continue;
        }
        size_t avail = std::min<size_t>(4, n - j);
        for (size_t k = 0; k < avail; ++k)
            seq[k] = at(j + k);
        char32_t cp = 0;
        size_t len = sequenceLength(seq, avail, [&](size_t k) { return !isLetter(j + k); }, cp);
        if (len == 0) {
            out += static_cast<char>(b);  // no valid UTF-8: passes unchanged
            ++j;
            continue;
        }
        int w = windows1250Byte(cp);
        out += w < 0 ? kReplacement : static_cast<char>(w);
        j += len;
    }
}

}  // namespace

void appendFromUtf8Text(std::string& out, std::string_view text)
{
    if (!hasHighByte(text)) {
        out += text;
        return;
    }
    std::size_t start = out.size();
    if (!appendWellFormedUtf8(out, text)) {
        out.resize(start);
        appendAnyUtf8(out, text);
    }
}

std::string fromUtf8Text(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendFromUtf8Text(out, text);
    return out;
}

std::string decodeReferences(std::string_view text)
{
    if (text.find('&') == std::string_view::npos)
        return std::string(text);

    // Known references to their bytes ("&amp;" to the ampersand mark).
    std::vector<int> tokens;
    tokens.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        int byte;
        size_t length;
        if (text[i] == '&' && matchReference(text, i, byte, length)) {
            tokens.push_back(byte);
            i += length;
        } else {
            tokens.push_back(static_cast<unsigned char>(text[i]));
            ++i;
        }
    }

    // Every "&" left starts an unrecognised reference: up to the next ";"
    // (which stays) it becomes the byte 95; with no ";" after it, the "&"
    // alone does. Then the mark becomes "&".
    std::string out;
    out.reserve(tokens.size());
    for (size_t i = 0; i < tokens.size();) {
        int t = tokens[i];
        if (t == '&') {
            out += kReplacement;
            auto semi = std::find(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, tokens.end(), ';');
            i = semi == tokens.end() ? i + 1 : static_cast<size_t>(semi - tokens.begin());
            continue;
        }
        out += t == kAmpersandMark ? '&' : static_cast<char>(t);
        ++i;
    }
    return out;
}

std::string fromUtf8(std::string_view text)
{
    std::string letters = fromUtf8Text(text);
    if (letters.find('&') == std::string::npos)
        return letters;
    return decodeReferences(letters);
}

std::string fromCp852(std::string_view text)
{
    const auto& t = tables().cp852;
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(t[static_cast<unsigned char>(c)]);
    return out;
}

std::string fromMazovia(std::string_view text)
{
    const auto& t = tables().mazovia;
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(t[static_cast<unsigned char>(c)]);
    return out;
}

void appendUtf8ForXml(std::string& out, std::string_view text, std::uint8_t& modified)
{
    const Tables& t = tables();
    size_t plainStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (t.xmlPlain[b])
            continue;
        out.append(text.data() + plainStart, i - plainStart);
        out += t.xml[b];
        if (t.xmlFlags[b])
            modified = kModified;
        plainStart = i + 1;
    }
    out.append(text.data() + plainStart, text.size() - plainStart);
}

std::string toUtf8ForXml(std::string_view text, std::uint8_t& modified)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    appendUtf8ForXml(out, text, modified);
    return out;
}

}  // namespace zbir::encoding
