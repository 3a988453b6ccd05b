// The four code-page conversions on any bytes. Beyond not crashing:
// - the single-byte conversions keep the length, the UTF-8 one never grows;
// - toUtf8ForXml gives only printable ASCII and the UTF-8 of characters of
//   the Windows-1250 repertoire, is valid XML character data, and raises the
//   flag exactly when it escaped or replaced something;
// - reading that output back (fromUtf8) gives one byte per input byte, and
//   the input itself whenever every byte could be written as it was.

#include "encoding/charset.h"
#include "encoding/codepage.h"
#include "fuzz_support.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using namespace zbir;

namespace {

// Bytes toUtf8ForXml writes as their own character: printable ASCII and the
// characters Windows-1250 defines above 7F.
struct Repertoire {
    std::array<bool, 256> kept{};
    Repertoire()
    {
        for (int b = 0x20; b <= 0x7E; ++b)
            kept[static_cast<std::size_t>(b)] = true;
        for (int b = 0x80; b < 0x100; ++b) {
            std::string one(1, static_cast<char>(b));
            kept[static_cast<std::size_t>(b)] = encoding::windows1250ToUtf8(one) != "\xEF\xBF\xBD";
        }
    }
};

const Repertoire kRepertoire;

// Length of the UTF-8 sequence at s[i] when it encodes a character of the
// Windows-1250 repertoire above 7F; 0 otherwise.
std::size_t repertoireSequence(std::string_view s, std::size_t i)
{
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    char32_t cp = n == 2 ? b & 0x1F : b & 0x0F;
    for (std::size_t k = 1; k < n; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800))
        return 0;
    return encoding::windows1250Byte(cp) >= 0x80 ? n : 0;
}

void checkXmlOutput(std::string_view in, std::string_view out, std::uint8_t flag)
{
    for (std::size_t i = 0; i < out.size();) {
        auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x20 && b <= 0x7E) {
            ++i;
            continue;
        }
        std::size_t n = repertoireSequence(out, i);
        if (n == 0)
            fuzz::violated("toUtf8ForXml wrote a byte outside printable ASCII and the Windows-1250 letters",
                           "at output byte " + std::to_string(i));
        i += n;
    }
    std::string doc = "<a>" + std::string(out) + "</a>";
    std::string error;
    if (!fuzz::wellFormedXml(doc, &error))
        fuzz::violated("toUtf8ForXml output is not XML character data", error);

    bool plain = true;  // every byte written as its own character
    bool escaped = false;
    for (char c : in) {
        auto b = static_cast<unsigned char>(c);
        if (!kRepertoire.kept[b])
            plain = false;
        if (!kRepertoire.kept[b] || c == '&' || c == '<' || c == '>' || c == '"' || c == '|' || b == 0xA7 ||
            b == 0xB0 || b == 0x85)
            escaped = true;
    }
    if ((flag != 0) != escaped)
        fuzz::violated("toUtf8ForXml's flag does not tell whether it escaped or replaced");

    std::string back = encoding::fromUtf8(out);
    if (back.size() != in.size())
        fuzz::violated("toUtf8ForXml output read back is not one byte per input byte",
                       std::to_string(in.size()) + " bytes in, " + std::to_string(back.size()) + " back");
    if (plain && back != in)
        fuzz::violated("toUtf8ForXml output read back differs from the input");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);

    if (encoding::fromCp852(in).size() != size)
        fuzz::violated("fromCp852 changed the length");
    if (encoding::fromMazovia(in).size() != size)
        fuzz::violated("fromMazovia changed the length");
    if (encoding::fromUtf8(in).size() > size)
        fuzz::violated("fromUtf8 made the text longer");
    if (encoding::fromUtf8Text(in).size() > size)
        fuzz::violated("fromUtf8Text made the text longer");

    std::uint8_t flag = 0;
    const std::string out = encoding::toUtf8ForXml(in, flag);
    checkXmlOutput(in, out, flag);

    // The same on what the other conversions made of the bytes.
    for (const std::string& text : {encoding::fromUtf8(in), encoding::fromCp852(in), encoding::fromMazovia(in)}) {
        std::uint8_t f = 0;
        checkXmlOutput(text, encoding::toUtf8ForXml(text, f), f);
    }
    return 0;
}
