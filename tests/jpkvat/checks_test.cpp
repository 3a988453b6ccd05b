// The cell checks of the combined file and Podmiot1.JPK's reader warnings.

#include "jpkvat/checks.h"
#include "jpkvat/subject.h"

#include <gtest/gtest.h>

namespace zbir::jpkvat {
namespace {

TEST(NipTest, ValuesThatAreNipsAndTheirCheckDigit)
{
    EXPECT_EQ(nipDigits("5252614371"), "5252614371");
    EXPECT_EQ(nipDigits("PL 525-261-43-71"), "5252614371");
    EXPECT_EQ(nipDigits("pl5252614371"), "5252614371");
    // No NIPs: not checked.
    EXPECT_EQ(nipDigits("brak"), "");
    EXPECT_EQ(nipDigits("BRAK"), "");
    EXPECT_EQ(nipDigits("DE811907980"), "");
    EXPECT_EQ(nipDigits("525261437"), "");
    EXPECT_EQ(nipDigits("52526143711"), "");

    EXPECT_TRUE(nipCheckDigitOk("5252614371"));
    EXPECT_TRUE(nipCheckDigitOk("7018631981"));
    EXPECT_FALSE(nipCheckDigitOk("5252614372"));
    EXPECT_FALSE(nipCheckDigitOk("1234567890"));  // the sum leaves 10: never valid
    EXPECT_FALSE(nipCheckDigitOk("525261437x"));
}

TEST(DateTest, CalendarDatesAndMonths)
{
    EXPECT_TRUE(isValidDate("2024-02-29"));
    EXPECT_FALSE(isValidDate("2023-02-29"));
    EXPECT_TRUE(isValidDate("2000-02-29"));
    EXPECT_FALSE(isValidDate("1900-02-29"));
    EXPECT_FALSE(isValidDate("2026-04-31"));
    EXPECT_FALSE(isValidDate("2026-13-01"));
    EXPECT_FALSE(isValidDate("2026-3-01"));
    EXPECT_FALSE(isValidDate("01.03.2026"));
    EXPECT_FALSE(isValidDate(""));

    const DateRange feb = monthPeriod("2024", "2");
    EXPECT_EQ(feb.from, "2024-02-01");
    EXPECT_EQ(feb.to, "2024-02-29");
    EXPECT_EQ(monthPeriod("2026", "12").to, "2026-12-31");
    EXPECT_FALSE(monthPeriod("2026", "13").known());
    EXPECT_FALSE(monthPeriod("26", "1").known());
}

TEST(CheckValueTest, ProblemsNameTheCell)
{
    const DateRange march{"2026-03-01", "2026-03-31"};
    Problems p;
    checkValue(kindOf("K_19"), "K_19", "12a", {"A", 34, 19}, march, p);
    checkValue(kindOf("K_19"), "K_19", "-12.5", {"A", 35, 19}, march, p);
    checkValue(kindOf("SprzedazVAT_Marza"), "SprzedazVAT_Marza", "1,5", {"A", 3, 38}, march, p);
    checkValue(kindOf("DataWystawienia"), "DataWystawienia", "2026-04-02", {"A", 34, 6}, march, p);
    checkValue(kindOf("TerminPlatnosci"), "TerminPlatnosci", "2026-05-02", {"A", 34, 79}, march, p);
    checkValue(kindOf("DataSprzedazy"), "DataSprzedazy", "2026-02-30", {"A", 34, 7}, march, p);
    checkValue(kindOf("NrKontrahenta"), "NrKontrahenta", "5252614372", {"A", 34, 2}, march, p);
    checkValue(kindOf("NrKontrahenta"), "NrKontrahenta", "brak", {"A", 35, 2}, march, p);
    checkValue(kindOf("NazwaKontrahenta"), "NazwaKontrahenta", "12a", {"A", 34, 3}, march, p);
    ASSERT_EQ(p.errors().size(), 4u);
    EXPECT_EQ(p.errors()[0], "A!S34: K_19 \"12a\" to nie kwota");
    EXPECT_EQ(p.errors()[1], "A!AL3: SprzedazVAT_Marza \"1,5\" to nie kwota");
    EXPECT_EQ(p.errors()[2], "A!G34: DataSprzedazy \"2026-02-30\" to nie data rrrr-mm-dd");
    EXPECT_EQ(p.errors()[3], "A!B34: NrKontrahenta \"5252614372\": z\xB3" "a cyfra kontrolna NIP");
    // A document date after the period is a warning; a payment date is not compared.
    ASSERT_EQ(p.warnings().size(), 1u);
    EXPECT_EQ(p.warnings()[0], "A!F34: DataWystawienia 2026-04-02 poza okresem 2026-03-01 .. 2026-03-31");
    EXPECT_EQ(p.summary(), "Plik niezapisany, b\xB3\xEA" "d\xF3w: 4, zob. ZBIR.LOG");
}

TEST(CheckValueTest, AddressesBeyondColumnZ)
{
    EXPECT_EQ(cellAddress("A", 34, 19), "A!S34");
    EXPECT_EQ(cellAddress("Arkusz 2", 7, 75), "Arkusz 2!BW7");
    EXPECT_EQ(cellAddress("B", 1, 109), "B!DE1");
}

TEST(SubjectFileTest, LinesTheReaderSkipsAreWarnedWithTheirNumbers)
{
    const SubjectFile f = parseSubjectFile("NIP: 5252614371\r\n\r\nPelnaNazwa Firma\r\nKodUrzedu: 1471\r\n"
                                           "Telefon: 123\r\nREGON: \r\n");
    ASSERT_EQ(f.warnings.size(), 2u);
    EXPECT_EQ(f.warnings[0], "Podmiot1.JPK, wiersz 3: bez \": \", pomini\xEAty");
    EXPECT_EQ(f.warnings[1], "Podmiot1.JPK, wiersz 5: nieznany klucz \"Telefon\", pomini\xEAty");
    EXPECT_TRUE(f.has(SubjectField::NIP));
    EXPECT_TRUE(f.has(SubjectField::KodUrzedu));
    EXPECT_FALSE(f.has(SubjectField::PelnaNazwa));
    EXPECT_FALSE(f.has(SubjectField::REGON));  // set, but empty
    EXPECT_TRUE(f.set[static_cast<std::size_t>(SubjectField::REGON)]);
}

}  // namespace
}  // namespace zbir::jpkvat
