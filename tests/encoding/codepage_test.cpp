#include "encoding/codepage.h"

#include <gtest/gtest.h>

#include <string>

using namespace zbir::encoding;

namespace {

std::string byte(unsigned char b)
{
    return std::string(1, static_cast<char>(b));
}

std::string xml(std::string_view text, std::uint8_t& flag)
{
    return toUtf8ForXml(text, flag);
}

}  // namespace

TEST(Codepage, ZazolcInEveryCodePage)
{
    const std::string win = "Za\xBF\xF3\xB3\xE6";
    EXPECT_EQ(fromUtf8("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"), win);
    EXPECT_EQ(fromCp852("Za\xBE\xA2\x88\x86"), win);
    EXPECT_EQ(fromMazovia("Za\xA7\xA2\x92\x8D"), win);
    std::uint8_t flag = 0;
    EXPECT_EQ(xml(win, flag), "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87");
    EXPECT_EQ(flag, 0);
}

TEST(Codepage, AllEighteenLettersInAllFourCodePages)
{
    std::string win, utf8, cp852, mazovia;
    for (const auto& l : kPolishLetters) {
        SCOPED_TRACE(static_cast<int>(l.windows1250));
        std::string pair{static_cast<char>(l.utf8[0]), static_cast<char>(l.utf8[1])};
        EXPECT_EQ(fromUtf8(pair), byte(l.windows1250));
        EXPECT_EQ(fromCp852(byte(l.cp852)), byte(l.windows1250));
        EXPECT_EQ(fromMazovia(byte(l.mazovia)), byte(l.windows1250));
        std::uint8_t flag = 0;
        EXPECT_EQ(xml(byte(l.windows1250), flag), pair);
        EXPECT_EQ(flag, 0);
        win += byte(l.windows1250) + "x";
        utf8 += pair + "x";
        cp852 += byte(l.cp852) + "x";
        mazovia += byte(l.mazovia) + "x";
    }
    EXPECT_EQ(fromUtf8(utf8), win);
    EXPECT_EQ(fromCp852(cp852), win);
    EXPECT_EQ(fromMazovia(mazovia), win);
}

TEST(Codepage, EveryWindows1250CharacterRoundTripsThroughTheCopy)
{
    // Escaped signs come back through their references, letters as UTF-8.
    std::string all;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b == 0x7F || b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98)
            continue;
        all += static_cast<char>(b);
    }
    std::uint8_t flag = 0;
    std::string utf8 = xml(all, flag);
    EXPECT_EQ(flag, kModified);
    EXPECT_EQ(fromUtf8(utf8), all);
}

TEST(Codepage, ReferencesOfTheDescription)
{
    EXPECT_EQ(fromUtf8("A &amp; B"), "A & B");
    EXPECT_EQ(fromUtf8("x &nbsp; y"), "x \x95; y");
    EXPECT_EQ(fromUtf8("R&D"), "R\x95" "D");
    EXPECT_EQ(fromUtf8("&quot;&lt;&gt;&brvbar;&sect;&deg;&hellip;"), "\"<>|\xA7\xB0\x85");
}

TEST(Codepage, ReferencesAtStringEndsAndAdjacent)
{
    EXPECT_EQ(fromUtf8("&lt;"), "<");
    EXPECT_EQ(fromUtf8("&amp;x"), "&x");
    EXPECT_EQ(fromUtf8("x&gt;"), "x>");
    EXPECT_EQ(fromUtf8("x&"), "x\x95");
    EXPECT_EQ(fromUtf8("&"), "\x95");
    EXPECT_EQ(fromUtf8("x&quot"), "x\x95quot");
    EXPECT_EQ(fromUtf8("&lt;&gt;&amp;&amp;"), "<>&&");
    EXPECT_EQ(fromUtf8("&#243;&#xF3;&#xf3;"), "\xF3\xF3\xF3");
    // A resolved "&amp;" is not read again as the start of a reference.
    EXPECT_EQ(fromUtf8("&amp;lt;"), "&lt;");
    EXPECT_EQ(fromUtf8("&#38;#60;"), "&#60;");
}

TEST(Codepage, UnrecognisedReferencesSwallowUpToTheNextSemicolon)
{
    // The semicolon of a resolved reference no longer counts.
    EXPECT_EQ(fromUtf8("a & b &lt; c"), "a \x95 b < c");
    EXPECT_EQ(fromUtf8("a&b&c;d"), "a\x95;d");
    EXPECT_EQ(fromUtf8("x&y&amp;z;"), "x\x95;");
    EXPECT_EQ(fromUtf8("&#x;"), "\x95;");
    EXPECT_EQ(fromUtf8("&#12a;"), "\x95;");
    EXPECT_EQ(fromUtf8("&#X41;"), "\x95;");
}

TEST(Codepage, NumericReferences)
{
    EXPECT_EQ(fromUtf8("&#65;&#x42;"), "AB");
    EXPECT_EQ(fromUtf8("&#8364;"), "\x80");     // euro sign
    EXPECT_EQ(fromUtf8("&#1046;"), "\x95");     // Cyrillic, not in Windows-1250
    EXPECT_EQ(fromUtf8("&#0;"), "\x95");
    EXPECT_EQ(fromUtf8("&#99999999999999;"), "\x95");
    EXPECT_EQ(fromUtf8("&#38;"), "&");
    EXPECT_EQ(fromUtf8("O&apos;Neil"), "O'Neil");
    // The copy's own references read back.
    EXPECT_EQ(fromUtf8("&#124;&#167;&#176;&#8230;"), "|\xA7\xB0\x85");
}

TEST(Codepage, MultiplicationSignIsNotTheAmpersandPlaceholder)
{
    EXPECT_EQ(fromUtf8("2\xC3\x97" "3"), "2\xD7" "3");
    EXPECT_EQ(fromUtf8("&#215;&amp;"), "\xD7&");
    EXPECT_EQ(decodeReferences("\xD7 &amp; \xD7"), "\xD7 & \xD7");
}

TEST(Codepage, WholeWindows1250RepertoireFromUtf8)
{
    EXPECT_EQ(fromUtf8("M\xC3\xBCller"), "M\xFCller");
    EXPECT_EQ(fromUtf8("\xC5\xA0koda"), "\x8Akoda");
    EXPECT_EQ(fromUtf8("Soci\xC3\xA9t\xC3\xA9"), "Soci\xE9t\xE9");
    EXPECT_EQ(fromUtf8("\xE2\x82\xAC 5"), "\x80 5");
    // Not in Windows-1250: one byte 95 per character.
    EXPECT_EQ(fromUtf8("\xD0\x96\xD1\x83\xD0\xBA"), "\x95\x95\x95");
    EXPECT_EQ(fromUtf8("a\xF0\x9F\x98\x80" "b"), "a\x95" "b");
    // No valid UTF-8: the bytes pass unchanged.
    EXPECT_EQ(fromUtf8("\xF3w \xC4"), "\xF3w \xC4");
    // The letter walk goes from the end: the pair's second byte may be a
    // letter put in place just before (C4 85 is "ą", B9; C5 B9 is "Ź").
    EXPECT_EQ(fromUtf8("\xC5\xC4\x85"), "\x8F");
}

TEST(Codepage, WholeRepertoireFromCp852AndMazovia)
{
    EXPECT_EQ(fromCp852("\x81\xE6\x82"), "\xFC\x8A\xE9");   // ü Š é
    EXPECT_EQ(fromCp852("\xC4\xFF"), "\x95\xA0");           // box line, no-break space
    EXPECT_EQ(fromMazovia("\x81\x82\x84"), "\xFC\xE9\xE4");  // ü é ä, as in code page 437
    EXPECT_EQ(fromMazovia("\xB3\x9B"), "\x95\x95");          // box line, cent sign
    EXPECT_EQ(fromCp852("A<b>&\x01"), "A<b>&\x01");
    EXPECT_EQ(fromMazovia("A<b>&\x01"), "A<b>&\x01");
}

TEST(Codepage, ToUtf8ForXml)
{
    std::uint8_t flag = 0;
    EXPECT_EQ(xml("<b>", flag), "&lt;b&gt;");
    EXPECT_EQ(flag, kModified);

    flag = 0;
    EXPECT_EQ(xml("\xE9", flag), "\xC3\xA9");
    EXPECT_EQ(flag, 0);

    flag = 7;
    EXPECT_EQ(xml("plain ASCII 123 'x'", flag), "plain ASCII 123 'x'");
    EXPECT_EQ(flag, 7);

    flag = 0;
    EXPECT_EQ(xml("\x95 \xA0", flag), "\xE2\x80\xA2 \xC2\xA0");
    EXPECT_EQ(flag, 0);

    flag = 0;
    EXPECT_EQ(xml("a|b\xA7" "c\xB0" "d\x85", flag), "a&#124;b&#167;c&#176;d&#8230;");
    EXPECT_EQ(flag, kModified);

    flag = 0;
    EXPECT_EQ(xml("\"&", flag), "&quot;&amp;");
    EXPECT_EQ(flag, kModified);

    for (const char* replaced : {"\x01", "\x7F", "\x81", "\x83", "\x88", "\x90", "\x98", "\n"}) {
        flag = 0;
        EXPECT_EQ(xml(replaced, flag), "_");
        EXPECT_EQ(flag, kModified);
    }
}

TEST(Codepage, LongStringsAreNotCut)
{
    std::string utf8, win;
    for (int i = 0; i < 100000; ++i) {
        utf8 += "\xC4\x85";
        win += "\xB9";
    }
    EXPECT_EQ(fromUtf8(utf8), win);
    std::uint8_t flag = 0;
    EXPECT_EQ(xml(win, flag), utf8);
}
