#include "jpkvat/values.h"

#include <gtest/gtest.h>

namespace zbir::jpkvat {
namespace {

TEST(RowValueTest, FirstCommaBecomesAPointOnlyInAmountColumns)
{
    EXPECT_EQ(rowValue("1234,56", true), "1234.56");
    EXPECT_EQ(rowValue("1234,56", false), "1234,56");
    EXPECT_EQ(rowValue("1,2,3", true), "1.2,3");
    EXPECT_EQ(rowValue("12.5", true), "12.5");
}

TEST(ParseNumberTest, AcceptsOnlyWholeDecimalNumbers)
{
    double v = 0;
    EXPECT_TRUE(parseNumber("1234.56", v));
    EXPECT_DOUBLE_EQ(v, 1234.56);
    EXPECT_TRUE(parseNumber("-0.1", v));
    EXPECT_DOUBLE_EQ(v, -0.1);
    EXPECT_TRUE(parseNumber("+5", v));
    EXPECT_DOUBLE_EQ(v, 5);
    EXPECT_TRUE(parseNumber("1e3", v));
    EXPECT_DOUBLE_EQ(v, 1000);
    EXPECT_TRUE(parseNumber(".5", v));
    EXPECT_DOUBLE_EQ(v, 0.5);

    v = 42;
    for (const char* text : {"", "BRAK", "12a", " 12", "12 ", "1234,56", ".", "-", "1e", "inf",
                             "nan", "0x10", "1 234.00"})
        EXPECT_FALSE(parseNumber(text, v)) << text;
    EXPECT_EQ(v, 42);  // untouched by a failed parse
}

TEST(HeadingNameTest, AngleBracketsGoAndLongTextsAreCutFirst)
{
    EXPECT_EQ(headingName("<K_10>"), "K_10");
    EXPECT_EQ(headingName("NrKontrahenta"), "NrKontrahenta");
    EXPECT_EQ(headingName(""), "");
    EXPECT_EQ(headingName("<"), "");
    // 30 characters are kept, then the first and the last go.
    const std::string longTag = "<" + std::string(40, 'a') + ">";
    EXPECT_EQ(headingName(longTag), std::string(28, 'a'));
}

TEST(ElementNameTest, OnlyPlainAsciiXmlNamesPass)
{
    for (const char* name : {"K_10", "LpSprzedazy", "_x", "a-b.c", "K_46"})
        EXPECT_TRUE(isElementName(name)) << name;
    for (const char* name : {"", "K_10 x", "a<b", "1A", "-a", ".a", "etd:NIP", "a>", "a&b",
                             "Za\xBF\xF3\xB3\xE6", "/K_10"})
        EXPECT_FALSE(isElementName(name)) << name;
}

TEST(ElementLineTest, ValueLineOpeningTagAndClosingTag)
{
    EXPECT_EQ(elementLine(2, "K_19", {}, "100.78"), "    <K_19>100.78</K_19>\r\n");
    EXPECT_EQ(elementLine(1, "SprzedazWiersz", "typ=\"G\"", {}), "  <SprzedazWiersz typ=\"G\">\r\n");
    EXPECT_EQ(elementLine(1, "/SprzedazWiersz", {}, {}), "  </SprzedazWiersz>\r\n");
    EXPECT_EQ(elementLine(0, "JPK", {}, {}), "<JPK>\r\n");
}

TEST(ElementLineTest, ValuesBecomeUtf8CharacterData)
{
    EXPECT_EQ(elementLine(3, "Gmina", {}, "\xA3\xF3" "d\x9F"), "      <Gmina>\xC5\x81\xC3\xB3" "d\xC5\xBA</Gmina>\r\n");
    EXPECT_EQ(elementLine(2, "N", {}, "A & <b> \"c\""),
              "    <N>A &amp; &lt;b&gt; &quot;c&quot;</N>\r\n");
    // Control characters cannot stand in XML text.
    EXPECT_EQ(elementLine(2, "N", {}, "a\tb"), "    <N>a_b</N>\r\n");
}

TEST(GenerationTimeTest, DateAndTimeJoinedByT)
{
    std::tm t{};
    t.tm_year = 2017 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 31;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 9;
    EXPECT_EQ(generationTime(t), "2017-05-31T14:03:09");
}

TEST(SubmissionPurposeTest, OneUpToThe25thOfTheFollowingMonth)
{
    EXPECT_EQ(submissionPurpose("2017-05-31", "2017-06-25T23:59:59"), "1");
    EXPECT_EQ(submissionPurpose("2017-05-31", "2017-06-26T00:00:00"), "2");
    EXPECT_EQ(submissionPurpose("2017-05-31", "2017-07-01T10:00:00"), "2");
    EXPECT_EQ(submissionPurpose("2017-05-31", "2017-05-31T10:00:00"), "2");
    EXPECT_EQ(submissionPurpose("2017-09-30", "2017-10-10T08:00:00"), "1");
    EXPECT_EQ(submissionPurpose("2019-12-31", "2020-01-05T08:00:00"), "1");
    EXPECT_EQ(submissionPurpose("2019-12-31", "2019-13-05T08:00:00"), "2");
}

TEST(SubmissionPurposeTest, PeriodThatIsNoDateGivesTwo)
{
    EXPECT_EQ(submissionPurpose("BRAK", "2017-06-01T08:00:00"), "2");
    EXPECT_EQ(submissionPurpose("", "2017-06-01T08:00:00"), "2");
    EXPECT_EQ(submissionPurpose("2017-5-31", "2017-06-01T08:00:00"), "2");
}

}  // namespace
}  // namespace zbir::jpkvat
