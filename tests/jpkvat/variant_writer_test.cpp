// The combined file of JPK_VAT(3) and JPK_V7 groups in the inputs' own
// variant, from file sheets laid out as the transport lays them out
// (namespace in row 1, column 76; V7 records in Ewidencja at level 3).

#include "jpkforms/forms.h"
#include "jpkvat/jpk_writer.h"
#include "jpkvat/schema_check.h"
#include "shell/app.h"
#include "support/test_support.h"
#include "jpkvat/jpk_workbook.h"
#include "jpkvat/variant_workbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>

namespace zbir::jpkvat {
namespace {

namespace fs = std::filesystem;
using jpkforms::Form;
using test::Values;
using test::VariantSheet;

using test::Variant;

const Variant kVariants[] = {
    {"JPK_VAT(3)", "JPK_VAT_2026_03", "", "", "", ""},
    {"JPK_V7M(1)", "JPK_V7M_2026_03", "VAT-7", "VAT-7 (21)", "1-2E", "21"},
    {"JPK_V7M(2)", "JPK_V7M_2026_03", "VAT-7", "VAT-7 (22)", "1-0E", "22"},
    {"JPK_V7M(3)", "JPK_V7M_2026_03", "VAT-7", "VAT-7 (23)", "1-0E", "23"},
    {"JPK_V7K(1)", "JPK_V7K_2026_03", "VAT-7K", "VAT-7K (15)", "1-2E", "15"},
    {"JPK_V7K(2)", "JPK_V7K_2026_03", "VAT-7K", "VAT-7K (16)", "1-0E", "16"},
};

std::tm clock2026()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 3;
    t.tm_mday = 10;
    t.tm_hour = 9;
    return t;
}

class VariantWriterTest : public ::testing::Test {
protected:
    void start(const std::string& group)
    {
        m_group = group;
        m_work = m_root / "praca";
        fs::create_directories(m_work);
        test::writeFile(m_root / (group + "_A.XML"), "<JPK/>");
        test::writeFile(m_root / (group + "_B.XML"), "<JPK/>");
        m_app = std::make_unique<shell::App>(m_work, m_port);
        m_app->FoCreat();
        ASSERT_EQ(m_app->groupText(), group);
        m_app->xl = workbook::embeddedProvider()->create();
        test::newTransportWorkbook(xl(), group, {}, (m_work / (group + ".XLS")).string());
    }

    workbook::Application& xl() { return *m_app->xl; }

    VariantSheet sheet(const std::string& name, const Form& form)
    {
        test::addFileSheet(xl(), name);
        return VariantSheet(xl(), form);
    }

    bool make() { return makeJpk(*m_app, clock2026); }
    fs::path output() const { return m_root / (m_group + ".xml"); }
    std::string outputText() const { return test::readFile(output()); }
    std::string log() const { return test::readFile(m_work / "ZBIR.LOG"); }
    const std::string& status() const { return m_app->statusText(); }

    test::TempDir m_root;
    fs::path m_work;
    std::string m_group;
    shell::WindowPort m_port;
    std::unique_ptr<shell::App> m_app;
};

Values sale(const Form& f, const std::string& doc, const std::string& net, const std::string& tax)
{
    Values v{{"LpSprzedazy", "9"}, {"NrKontrahenta", "5213004183"}, {"NazwaKontrahenta", "Nabywca"},
             {"DowodSprzedazy", doc}, {"DataWystawienia", "2026-03-05"}, {"K_19", net}, {"K_20", tax}};
    if (f.family != jpkforms::Family::V7)
        v.push_back({"AdresKontrahenta", "Prosta 1"});
    if (jpkforms::findElement(f.sales, "BFK"))  // V7M(3): an invoice outside the national system
        v.push_back({"BFK", "1"});
    return v;
}

Values purchase(const Form& f, const std::string& doc, const std::string& tax)
{
    const bool v7 = f.family == jpkforms::Family::V7;
    Values v{{"LpZakupu", "1"}, {"NrDostawcy", "PL 813-376-44-27"}, {"NazwaDostawcy", "Dostawca"},
             {"DowodZakupu", doc}, {"DataZakupu", "2026-03-04"}, {v7 ? "K_42" : "K_45", "100"},
             {v7 ? "K_43" : "K_46", tax}};
    if (!v7)
        v.push_back({"AdresDostawcy", "Krzywa 2"});
    if (jpkforms::findElement(f.purchases, "BFK"))
        v.push_back({"BFK", "1"});
    return v;
}

std::vector<std::string> all(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

class EachVariant : public VariantWriterTest, public ::testing::WithParamInterface<Variant> {};

// Two files of one taxpayer and month: every record in file order with its
// values, numbers from 1, the control sums as the schema defines them, the
// one declaration, valid against the variant's schema.
TEST_P(EachVariant, GroupOfTwoFilesBecomesOneValidFile)
{
    const Variant& v = GetParam();
    const Form& f = *jpkforms::findFormByName(v.form);
    const bool v7 = f.family == jpkforms::Family::V7;
    start(v.group);

    Values fp = sale(f, "FP/1", "1000", "230");  // a receipt invoice: outside the tax due in V7
    if (v7)
        fp.push_back({"TypDokumentu", "FP"});
    Values deposit = sale(f, "FV/3", "50", "11.5");
    const bool k360 = jpkforms::findElement(f.sales, "K_360") != nullptr;
    if (k360)
        deposit.push_back({"K_360", "2,5"});
    auto a = sheet("A", f);
    a.header("03", "5252614371");
    if (v7)
        a.declaration(v, "123");
    a.records(f.sales, {sale(f, "FV/1", "100", "23"), fp}).records(f.purchases, {purchase(f, "Z/1", "23")}).end();
    auto b = sheet("B", f);
    b.header("03", "5252614371").records(f.sales, {deposit, sale(f, "FV/4", "10", "2,3")}).end();
    b.records(f.purchases, {purchase(f, "Z/2", "4.6")});  // below the totals row: not read
    ASSERT_TRUE(make()) << status() << "\n" << log();

    EXPECT_TRUE(test::validBySchema(output()));
    const std::string text = outputText();
    EXPECT_NE(text.find("xmlns:tns=\"" + std::string(f.ns) + "\""), std::string::npos);
    EXPECT_NE(text.find("<tns:DataWytworzeniaJPK>2026-04-10T09:00:00<"), std::string::npos);
    EXPECT_EQ(all(text, "<tns:LpSprzedazy>(\\d+)<"), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(all(text, "<tns:DowodSprzedazy>([^<]+)<"), (std::vector<std::string>{"FV/1", "FP/1", "FV/3", "FV/4"}));
    EXPECT_EQ(all(text, "<tns:K_20>([^<]+)<"), (std::vector<std::string>{"23", "230", "11.5", "2.3"}));
    EXPECT_EQ(all(text, "<tns:LpZakupu>(\\d+)<"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(all(text, "<tns:NrDostawcy>([^<]+)<"), (std::vector<std::string>{"PL 813-376-44-27"}));
    // 23 + 11.5 + 2.3, the FP invoice only where the schema leaves it out,
    // the deposit returned (K_360) taken off in V7M(3).
    const std::string due = v7 ? (k360 ? "34.3" : "36.8") : "266.8";
    EXPECT_EQ(all(text, "<tns:PodatekNalezny>([^<]+)<"), (std::vector<std::string>{due}));
    EXPECT_EQ(all(text, "<tns:LiczbaWierszySprzedazy>([^<]+)<"), (std::vector<std::string>{"4"}));
    EXPECT_EQ(all(text, "<tns:PodatekNaliczony>([^<]+)<"), (std::vector<std::string>{"23"}));
    EXPECT_EQ(all(text, "<tns:P_38>([^<]+)<"), v7 ? std::vector<std::string>{"123"} : std::vector<std::string>{});
    EXPECT_NE(text.find("\xC5\x81\xC3\xB3" "d\xC5\xBA"), std::string::npos);  // Polish letters in UTF-8
}

INSTANTIATE_TEST_SUITE_P(Forms, EachVariant, ::testing::ValuesIn(kVariants),
                         [](const auto& info) {
                             std::string n = info.param.form;
                             n.erase(std::remove_if(n.begin(), n.end(), [](char c) { return !std::isalnum(c); }),
                                     n.end());
                             return n;
                         });

// A natural person in V7: the identity in the shared types' namespace; the
// workbook saved and opened again gives the same file.
TEST_F(VariantWriterTest, NaturalPersonAndReopenedWorkbook)
{
    const Form& f = *jpkforms::findFormByName("JPK_V7K(2)");
    start("JPK_V7K_2026_03");
    sheet("A", f).header("03", "7018631981", true).records(f.sales, {sale(f, "FV/1", "100", "23")}).end();
    const fs::path book = m_work / (m_group + ".XLS");
    xl().activeWorkbookSaveAs(book.string());
    xl().activeWorkbookClose();
    xl().workbooksOpen(book.string());
    ASSERT_TRUE(make()) << status() << "\n" << log();
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_NE(outputText().find("<tns:OsobaFizyczna>\r\n      <etd:NIP>7018631981</etd:NIP>\r\n"
                                "      <etd:ImiePierwsze>Jan</etd:ImiePierwsze>"),
              std::string::npos);
    EXPECT_NE(outputText().find("<tns:Email>biuro@firma.pl</tns:Email>"), std::string::npos);
}

// Groups that cannot make one file: refused with the sheet named, nothing
// written, the earlier file kept.
TEST_F(VariantWriterTest, GroupsThatDifferAreRefused)
{
    const Form& m2 = *jpkforms::findFormByName("JPK_V7M(2)");
    const Form& m3 = *jpkforms::findFormByName("JPK_V7M(3)");
    const Variant& v2 = kVariants[2];
    start("JPK_V7M_2026_03");
    test::writeFile(output(), "earlier");
    const auto build = [&](const Form& second, const std::string& month, const std::string& nip,
                           const std::string& p38) {
        xl().activeWorkbookClose();
        test::newTransportWorkbook(xl(), m_group, {}, (m_work / (m_group + ".XLS")).string());
        sheet("A", m2).header("03", "5252614371").declaration(v2, "10").end();
        auto b = sheet("B", second);
        b.header(month, nip);
        if (!p38.empty())
            b.declaration(v2, p38);
        b.records(second.sales, {sale(second, "FV/1", "1", "0.23")}).end();
        return make();
    };
    EXPECT_FALSE(build(m3, "03", "5252614371", ""));
    EXPECT_EQ(status(), "Arkusz B: JPK_V7M(3), a arkusz A: JPK_V7M(2)");
    EXPECT_FALSE(build(m2, "04", "5252614371", ""));
    EXPECT_EQ(status(), "Arkusz B: okres 2026-04-01 .. 2026-04-30, a w arku");
    EXPECT_NE(log().find("Arkusz B: okres 2026-04-01 .. 2026-04-30, a w arkuszu A: 2026-03-01 .. 2026-03-31"),
              std::string::npos);
    EXPECT_FALSE(build(m2, "03", "5213004183", ""));
    EXPECT_NE(log().find("Arkusz B: NIP 5213004183, a w arkuszu A: 5252614371"), std::string::npos);
    EXPECT_FALSE(build(m2, "03", "5252614371", "11"));
    EXPECT_EQ(status(), std::string("Arkusz B: deklaracja inna ni\xBF w arkuszu A; zostaw j\xB9 w jednym pliku")
                            .substr(0, 50));
    EXPECT_EQ(test::readFile(output()), "earlier");

    // The same declaration twice is one declaration.
    ASSERT_TRUE(build(m2, "03", "5252614371", "10")) << status();
    EXPECT_TRUE(test::validBySchema(output()));
    EXPECT_EQ(all(outputText(), "<tns:P_38>([^<]+)<").size(), 1u);

    // Podmiot1.JPK of another taxpayer.
    test::writeFile(m_work / "Podmiot1.JPK", "NIP: 5213004183\r\nAdres: x\r\n");
    EXPECT_FALSE(build(m2, "03", "5252614371", ""));
    EXPECT_NE(log().find("Podmiot1.JPK: NIP 5213004183, a w plikach grupy: 5252614371"), std::string::npos);
}

// Bad cells of V7 sheets are named by cell; foreign ids and "brak" are no NIPs.
TEST_F(VariantWriterTest, CellProblemsOfV7SheetsAreNamed)
{
    const Form& f = *jpkforms::findFormByName("JPK_V7M(2)");
    start("JPK_V7M_2026_03");
    Values foreign = sale(f, "FV/2", "1", "0.23");
    foreign[1].second = "DE123456789";
    foreign.push_back({"KodKrajuNadaniaTIN", "DE"});
    Values none = sale(f, "FV/3", "1", "0.23");
    none[1].second = "brak";
    Values bad = sale(f, "FV/4", "1x", "0.23");
    bad[1].second = "5213004184";
    auto a = sheet("A", f);
    a.header("03", "5252614371").records(f.sales, {foreign, none, bad}).end();
    EXPECT_FALSE(make());
    EXPECT_EQ(status(), "Plik niezapisany, b\xB3\xEA" "d\xF3w: 2, zob. ZBIR.LOG");
    const std::string text = log();
    const int row = a.row() - 7;  // the third record's row
    EXPECT_NE(text.find("A!S" + std::to_string(row) + ": K_19 \"1x\" to nie kwota"), std::string::npos) << text;
    EXPECT_NE(text.find("A!B" + std::to_string(row) + ": NrKontrahenta \"5213004184\""), std::string::npos);
    EXPECT_FALSE(fs::exists(output()));
}

}  // namespace
}  // namespace zbir::jpkvat
