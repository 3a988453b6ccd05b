#include "jpkvat/subject.h"

#include "shell/app.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace zbir::jpkvat {
namespace {

using test::TempDir;

const std::array<std::string, 14> kPlaceholders = {
    "1234", "1234567890", "BRAK", "123456789", "PL", "\xA3\xF3" "dzkie", "BRAK",
    "BRAK", "BRAK", "BRAK", "BRAK", "BRAK", "12-345", "BRAK",
};

class SubjectTest : public ::testing::Test {
protected:
    void read(const std::string* fileBytes)
    {
        if (fileBytes)
            test::writeFile(m_dir / "Podmiot1.JPK", *fileBytes);
        shell::App app(m_dir.path(), m_port);
        m_record = ReadSubjectDefinitions(app);
    }
    const SubjectRecord& record() const { return m_record; }

    TempDir m_dir;
    shell::WindowPort m_port;
    SubjectRecord m_record;
};

TEST_F(SubjectTest, MissingOrEmptyFileGivesThePlaceholdersAndLogsCode8)
{
    read(nullptr);
    EXPECT_EQ(record().fields, kPlaceholders);
    EXPECT_EQ(test::readFile(m_dir / "ZBIR.LOG"),
              "\r\n  Odczyt pliku Podmiot1.JPK z definicjami p\xF3l dla Naglowka i Podmiotu1\r\n");

    const std::string empty;
    read(&empty);
    EXPECT_EQ(record().fields, kPlaceholders);
}

TEST_F(SubjectTest, CompleteFileSetsEveryFieldInTableOrder)
{
    std::string text;
    for (int i = 0; i < SubjectRecord::kFields; ++i)
        text += std::string(SubjectRecord::key(static_cast<SubjectField>(i))) + ": v" +
                std::to_string(i) + "\r\n";
    read(&text);
    for (int i = 0; i < SubjectRecord::kFields; ++i)
        EXPECT_EQ(record().fields[static_cast<size_t>(i)], "v" + std::to_string(i));
    EXPECT_EQ(test::readFile(m_dir / "Podmiot1.JPK"), text);  // only read
}

TEST_F(SubjectTest, OnlyTheExactKeyWithColonBlankSetsAField)
{
    const std::string text =
        "NIP:1111111111\r\n"    // no blank after the colon
        "nip: 2222222222\r\n"   // wrong letter case
        " REGON: 3\r\n"         // blank before the key
        "Powiat : 4\r\n"        // blank before the colon
        "Unknown: 5\r\n"
        "no separator at all\r\n";
    read(&text);
    EXPECT_EQ(record().fields, kPlaceholders);
}

TEST_F(SubjectTest, ValueIsTakenVerbatimAfterTheFirstSeparator)
{
    const std::string text =
        "Ulica: Aleja: Nowa 5 \r\n"   // a later colon-blank stays in the value
        "Gmina:  Dwie\r\n"            // the second blank begins the value
        "NrLokalu: \r\n";             // an empty value empties the field
    read(&text);
    EXPECT_EQ(record()[SubjectField::Ulica], "Aleja: Nowa 5 ");
    EXPECT_EQ(record()[SubjectField::Gmina], " Dwie");
    EXPECT_EQ(record()[SubjectField::NrLokalu], "");
}

TEST_F(SubjectTest, LastLineWinsAndOtherFieldsKeepTheirPlaceholders)
{
    const std::string text = "NrDomu: 1\nKodUrzedu: 1471\nNrDomu: 2\nNIP: 5260250274\nPelnaNazwa: Firma\n";
    read(&text);
    auto expected = kPlaceholders;
    expected[0] = "1471";
    expected[1] = "5260250274";
    expected[2] = "Firma";
    expected[9] = "2";
    EXPECT_EQ(record().fields, expected);
}

TEST_F(SubjectTest, ValuesAreCutTo200Characters)
{
    const std::string value(250, 'x');
    const std::string text = "PelnaNazwa: " + value + "\r\n";
    read(&text);
    EXPECT_EQ(record()[SubjectField::PelnaNazwa], value.substr(0, 200));
}

TEST_F(SubjectTest, LineEndsCrLfLfAndLoneCrAllSeparateLines)
{
    const std::string text = "NIP: 1\r\nREGON: 2\nPowiat: 3\rGmina: 4";  // last line without an end
    read(&text);
    EXPECT_EQ(record()[SubjectField::NIP], "1");
    EXPECT_EQ(record()[SubjectField::REGON], "2");
    EXPECT_EQ(record()[SubjectField::Powiat], "3");
    EXPECT_EQ(record()[SubjectField::Gmina], "4");
}

TEST_F(SubjectTest, LongLinesAndEndOfFileMarkDoNotDisturbOtherLines)
{
    // A separator beyond the 255th character, then a usable line; an end of
    // file mark (character 26) hides what follows it.
    const std::string text = std::string(300, 'K') + ": x\r\nNIP: 7\r\n\x1APoczta: hidden\r\n";
    read(&text);
    EXPECT_EQ(record()[SubjectField::NIP], "7");
    EXPECT_EQ(record()[SubjectField::Poczta], "BRAK");
}

TEST_F(SubjectTest, EveryCallStartsAgainFromThePlaceholders)
{
    const std::string text = "NIP: 9999999999\r\n";
    read(&text);
    EXPECT_EQ(record()[SubjectField::NIP], "9999999999");
    std::filesystem::remove(m_dir / "Podmiot1.JPK");
    read(nullptr);
    EXPECT_EQ(record().fields, kPlaceholders);
}

}  // namespace
}  // namespace zbir::jpkvat
