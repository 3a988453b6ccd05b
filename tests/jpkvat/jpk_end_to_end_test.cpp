// From JPK_VAT(2) XML files through the transport workbook to the combined
// file, validated against the ministry's schema.

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
    test::writeFile(work / "Podmiot1.JPK", kSubject);

    const fs::path out = transportAndCombine(work, "JPK_VAT_2017_05");
    ASSERT_TRUE(fs::exists(out));
    EXPECT_TRUE(test::validJpkVat2(shared, out));

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
        EXPECT_TRUE(test::validJpkVat2(shared, out));
        expectSameControls(test::readFile(out), controls.first, controls.second);
    }
}

}  // namespace
}  // namespace zbir::jpkvat
