// From JPK_VAT(2) XML files through the transport workbook to the combined
// file, validated against the ministry's schema.

#include "jpkforms/forms.h"
#include "jpkvat/schema_check.h"
#include "shell/app.h"
#include "base/formatters.h"
#include "base/winfs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace zbir::jpkvat {
namespace {

namespace fs = std::filesystem;

const std::string kSubject =
    "KodUrzedu: 1471\r\nNIP: 5260250274\r\nPelnaNazwa: Biuro Rachunkowe \xA3\xF3" "d\x9F sp. z o.o.\r\n"
    "REGON: 012345678\r\nKodKraju: PL\r\nWojewodztwo: MAZOWIECKIE\r\nPowiat: Warszawa\r\n"
    "Gmina: Warszawa\r\nUlica: Prosta\r\nNrDomu: 1\r\nNrLokalu: 2\r\nMiejscowosc: Warszawa\r\n"
    "KodPocztowy: 00-001\r\nPoczta: Warszawa\r\n";

// Row count and tax sum of one section.
struct Control {
    long long rows = 0;
    double tax = 0;
};

// The control block `block` of an XML text, with or without prefixes.
Control control(const std::string& xml, const std::string& countElement, const std::string& taxElement)
{
    Control c;
    std::smatch m;
    if (std::regex_search(xml, m, std::regex("<(?:\\w+:)?" + countElement + ">\\s*([^<]*?)\\s*<")))
        c.rows = std::stoll(m[1]);
    if (std::regex_search(xml, m, std::regex("<(?:\\w+:)?" + taxElement + ">\\s*([^<]*?)\\s*<")))
        c.tax = std::stod(m[1]);
    return c;
}

long long occurrences(const std::string& text, const std::string& what)
{
    long long n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// Transports `group` in `work` and builds its combined file; returns the file.
fs::path transportAndCombine(const fs::path& work, const std::string& group)
{
    shell::WindowPort port;
    shell::App app(work, port);
    app.FoCreat();
    EXPECT_TRUE(app.selectGroup(group)) << group;
    app.MakeXLS();
    EXPECT_TRUE(app.lastOk()) << base::winfs::display(work) << ": " << app.statusText();
    app.MakeJPK();
    EXPECT_TRUE(app.lastOk()) << app.statusText();
    EXPECT_EQ(app.statusText(), ("Zako\xF1" "czono prac\xEA nad ..\\" + group + ".xml").substr(0, 50));
    return work.parent_path() / (group + ".xml");
}

void expectSameControls(const std::string& combined, const Control& sales, const Control& purchases)
{
    const Control s = control(combined, "LiczbaWierszySprzedazy", "PodatekNalezny");
    const Control p = control(combined, "LiczbaWierszyZakupow", "PodatekNaliczony");
    EXPECT_EQ(s.rows, sales.rows);
    EXPECT_EQ(occurrences(combined, "<SprzedazWiersz typ=\"G\">"), sales.rows);
    EXPECT_EQ(base::amountText(s.tax), base::amountText(sales.tax));
    EXPECT_EQ(p.rows, purchases.rows);
    EXPECT_EQ(occurrences(combined, "<ZakupWiersz typ=\"G\">"), purchases.rows);
    EXPECT_EQ(base::amountText(p.tax), base::amountText(purchases.tax));
}

TEST(JpkEndToEndTest, MinistrySampleBecomesAValidCombinedFileWithItsOwnControls)
{
    ZBIR_REQUIRE_SHARED(shared);
    test::TempDir root;
    const fs::path work = root / "praca";
    fs::create_directories(work);
    const fs::path sample = shared / "samples" / "JPK_VAT" / "JPK_VAT_002.xml";
    fs::copy_file(sample, root / "JPK_VAT_2017_05_A.XML");
    // The sample's own taxpayer.
    std::string subject = kSubject;
    subject.replace(subject.find("5260250274"), 10, "1111111111");
    test::writeFile(work / "Podmiot1.JPK", subject);

    const fs::path out = transportAndCombine(work, "JPK_VAT_2017_05");
    ASSERT_TRUE(fs::exists(out));
    EXPECT_TRUE(test::validBySchema(out));

    const std::string original = test::readFile(sample);
    const std::string combined = test::readFile(out);
    expectSameControls(combined, control(original, "LiczbaWierszySprzedazy", "PodatekNalezny"),
                       control(original, "LiczbaWierszyZakupow", "PodatekNaliczony"));
    EXPECT_NE(combined.find("<DataOd>2017-01-01</DataOd>"), std::string::npos);
    EXPECT_NE(combined.find("<KodUrzedu>1471</KodUrzedu>"), std::string::npos);
}

// The bundled example folder: every JPK_VAT group in it, copied to a
// temporary folder, becomes a valid combined file whose controls add up the
// controls of the group's files.
TEST(JpkEndToEndTest, ExampleGroupsBecomeValidCombinedFiles)
{
    ZBIR_REQUIRE_SHARED(shared);
    const fs::path examples = test::sourceDir() / "examples" / "jpk";
    const auto files = base::winfs::findFiles(examples, "JPK_V*.XML");
    if (files.empty())
        GTEST_SKIP() << "no JPK_VAT example files in " << examples;

    test::TempDir root;
    const fs::path work = root / "praca";
    fs::create_directories(work);
    std::map<std::string, std::pair<Control, Control>> groups;
    for (const std::string& name : files) {
        const std::string group = base::winfs::upper(name).substr(0, 15);
        const std::string text = test::readFile(examples / base::winfs::toNative(name));
        if (base::winfs::upper(name) == group + ".XML" || text.find("JPK_VAT (2)") == std::string::npos)
            continue;  // a combined file, or another JPK_VAT version
        fs::copy_file(examples / base::winfs::toNative(name), root / base::winfs::toNative(name));
        auto& [sales, purchases] = groups[group];
        const Control s = control(text, "LiczbaWierszySprzedazy", "PodatekNalezny");
        const Control p = control(text, "LiczbaWierszyZakupow", "PodatekNaliczony");
        sales.rows += s.rows;
        sales.tax += s.tax;
        purchases.rows += p.rows;
        purchases.tax += p.tax;
    }
    if (groups.empty())
        GTEST_SKIP() << "no JPK_VAT(2) example group in " << examples;
    const fs::path subject = examples / "praca" / "Podmiot1.JPK";
    if (fs::exists(subject))
        fs::copy_file(subject, work / "Podmiot1.JPK");
    else
        test::writeFile(work / "Podmiot1.JPK", kSubject);

    for (const auto& [group, controls] : groups) {
        SCOPED_TRACE(group);
        const fs::path out = transportAndCombine(work, group);
        ASSERT_TRUE(fs::exists(out));
        EXPECT_TRUE(test::validBySchema(out));
        expectSameControls(test::readFile(out), controls.first, controls.second);
    }
}

// The control block of a section as the schema defines it, from the records
// of an input file.
Control definedControl(const std::string& xml, const jpkforms::Section& section)
{
    Control c;
    const std::string record(section.record);
    const std::regex block("<(?:\\w+:)?" + record + "[^>]*>([\\s\\S]*?)</(?:\\w+:)?" + record + ">");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), block); it != std::sregex_iterator(); ++it) {
        const std::string body = (*it)[1];
        ++c.rows;
        std::smatch m;
        if (!section.excludeElement.empty() &&
            std::regex_search(body, m, std::regex("<(?:\\w+:)?" + std::string(section.excludeElement) + ">([^<]*)<")) &&
            m[1] == std::string(section.excludeValue))
            continue;
        for (const jpkforms::Term& t : section.terms)
            if (std::regex_search(body, m, std::regex("<(?:\\w+:)?" + std::string(t.name) + ">([^<]*)<")))
                c.tax += t.sign * std::stod(m[1]);
    }
    return c;
}

// Transports the files in `root` of `group` and builds the combined file;
// false (after a visible skip) when the transport does not yet record each
// file's form on its sheet.
bool transportAndBuild(const fs::path& work, const std::string& group, fs::path& out)
{
    shell::WindowPort port;
    shell::App app(work, port);
    app.FoCreat();
    EXPECT_TRUE(app.selectGroup(group)) << group;
    app.MakeXLS();
    EXPECT_TRUE(app.lastOk()) << app.statusText();
    app.xl->sheetsSelect(2);
    if (app.xl->cellValue(1, 76).empty())
        return false;
    app.MakeJPK();
    EXPECT_TRUE(app.lastOk()) << app.statusText() << "\n" << test::readFile(work / "ZBIR.LOG");
    out = work.parent_path() / (group + ".xml");
    return true;
}

struct SampleGroup {
    const char* group;
    const char* form;
    std::vector<std::string> files;  // in the samples folder, in file order
};

// The shared V7 and JPK_VAT(3) samples, each group of files of one taxpayer
// and period, through the transport to one valid combined file whose
// controls are the schema's sums over every input record.
TEST(JpkEndToEndTest, VariantSamplesBecomeOneValidFileInTheirOwnVariant)
{
    ZBIR_REQUIRE_SHARED(shared);
    const std::vector<SampleGroup> groups = {
        {"JPK_V7M_2020_09", "JPK_V7M(1)",
         {"JPK_V7/jpk_v7m1_valid_sprzedaz_zakupy_osoba_niefizyczna.xml",
          "JPK_V7/jpk_v7m1_valid_sprzedaz_zakupy_osoba_niefizyczna.xml"}},
        {"JPK_V7K_2022_02", "JPK_V7K(2)",
         {"JPK_V7/jpk_v7k2_valid_sprzedaz_zakupy_osoba_fizyczna.xml",
          "JPK_V7/jpk_v7k2_valid_sprzedaz_zakupy_osoba_fizyczna.xml"}},
        {"JPK_VAT_2020_01", "JPK_VAT(3)",
         {"JPK_VAT/jpk_vat3_valid_empty.xml", "JPK_VAT/jpk_vat3_valid_sprzedaz_and_zakupy.xml",
          "JPK_VAT/jpk_vat3_valid_sprzedaz_only.xml", "JPK_VAT/jpk_vat3_valid_zakupy_only.xml"}},
    };
    for (const SampleGroup& g : groups) {
        SCOPED_TRACE(g.group);
        const jpkforms::Form& form = *jpkforms::findFormByName(g.form);
        test::TempDir root;
        const fs::path work = root / "praca";
        fs::create_directories(work);
        Control sales, purchases;
        char letter = 'A';
        for (const std::string& f : g.files) {
            const std::string text = test::readFile(shared / "samples" / f);
            test::writeFile(root / (std::string(g.group) + "_" + letter++ + ".XML"), text);
            const Control s = definedControl(text, form.sales);
            const Control p = definedControl(text, form.purchases);
            sales.rows += s.rows;
            sales.tax += s.tax;
            purchases.rows += p.rows;
            purchases.tax += p.tax;
        }
        fs::path out;
        if (!transportAndBuild(work, g.group, out))
            GTEST_SKIP() << "the transport does not record the files' forms on their sheets yet";
        ASSERT_TRUE(fs::exists(out));
        EXPECT_TRUE(test::validBySchema(out));
        const std::string combined = test::readFile(out);
        EXPECT_NE(combined.find("xmlns:tns=\"" + std::string(form.ns) + "\""), std::string::npos);
        const Control s = control(combined, "LiczbaWierszySprzedazy", "PodatekNalezny");
        const Control p = control(combined, "LiczbaWierszyZakupow", "PodatekNaliczony");
        if (sales.rows > 0 || form.family == jpkforms::Family::V7) {
            EXPECT_EQ(s.rows, sales.rows);
            EXPECT_EQ(base::amountText(s.tax), base::amountText(sales.tax));
        }
        if (purchases.rows > 0 || form.family == jpkforms::Family::V7) {
            EXPECT_EQ(p.rows, purchases.rows);
            EXPECT_EQ(base::amountText(p.tax), base::amountText(purchases.tax));
        }
        EXPECT_EQ(occurrences(combined, "<tns:LpSprzedazy>"), sales.rows);
        EXPECT_NE(combined.find("<tns:LpSprzedazy>" + std::to_string(sales.rows) + "<"), std::string::npos);
    }
}

}  // namespace
}  // namespace zbir::jpkvat
