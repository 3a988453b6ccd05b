// Files of every VAT form through the transport: each record element in its
// own column, the root namespace in (1, 76), element attributes in column 77,
// the -SUMA- headings of the V7 forms.

#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"
#include "support/transport_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;
using jpkforms::Family;
using jpkforms::Form;
using jpkforms::RecordElement;

// The value a test file gives element `e`: amounts by column, others told
// apart by column too.
std::string valueOf(const RecordElement& e)
{
    switch (e.kind) {
    case 'K': return std::to_string(e.column) + ".25";
    case 'P': return "1";
    default: return "w" + std::to_string(e.column);
    }
}

std::string record(const jpkforms::Section& s, const std::string& p)
{
    std::string x = "    <" + p + std::string(s.record) + ">\r\n";
    for (const RecordElement& e : s.elements)
        x += "      <" + p + std::string(e.name) + ">" + valueOf(e) + "</" + p + std::string(e.name) + ">\r\n";
    return x + "    </" + p + std::string(s.record) + ">\r\n";
}

// A file of `form` whose one sale and one purchase hold every element of
// their record (the schema's choices ignored: every column is filled).
std::string formFile(const Form& form)
{
    const bool v7 = form.family == Family::V7;
    const std::string p = "tns:";
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tns:JPK xmlns:etd=\"" + std::string(form.etdNamespace) +
                    "\" xmlns:tns=\"" + std::string(form.ns) + "\">\r\n  <tns:Naglowek>\r\n"
                    "    <tns:KodFormularza kodSystemowy=\"" + std::string(form.kodSystemowy) + "\" wersjaSchemy=\"" +
                    std::string(form.wersjaSchemy) + "\">JPK_VAT</tns:KodFormularza>\r\n"
                    "    <tns:WariantFormularza>" + std::string(form.wariant) + "</tns:WariantFormularza>\r\n";
    x += v7 ? "    <tns:CelZlozenia poz=\"P_7\">1</tns:CelZlozenia>\r\n    <tns:Rok>2026</tns:Rok>\r\n"
              "    <tns:Miesiac>3</tns:Miesiac>\r\n"
            : "    <tns:CelZlozenia>0</tns:CelZlozenia>\r\n    <tns:DataOd>2026-03-01</tns:DataOd>\r\n"
              "    <tns:DataDo>2026-03-31</tns:DataDo>\r\n";
    x += "  </tns:Naglowek>\r\n";
    if (v7)
        x += "  <tns:Deklaracja>\r\n    <tns:Naglowek>\r\n"
             "      <tns:KodFormularzaDekl kodSystemowy=\"VAT-7 (21)\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" "
             "wersjaSchemy=\"1-0E\">VAT-7</tns:KodFormularzaDekl>\r\n"
             "    </tns:Naglowek>\r\n    <tns:PozycjeSzczegolowe>\r\n      <tns:P_38>123</tns:P_38>\r\n"
             "    </tns:PozycjeSzczegolowe>\r\n  </tns:Deklaracja>\r\n";
    x += v7 ? "  <tns:Ewidencja>\r\n" : "";
    x += record(form.sales, p) +
         "    <tns:SprzedazCtrl>\r\n      <tns:LiczbaWierszySprzedazy>1</tns:LiczbaWierszySprzedazy>\r\n"
         "      <tns:PodatekNalezny>0</tns:PodatekNalezny>\r\n    </tns:SprzedazCtrl>\r\n" +
         record(form.purchases, p) +
         "    <tns:ZakupCtrl>\r\n      <tns:LiczbaWierszyZakupow>1</tns:LiczbaWierszyZakupow>\r\n"
         "      <tns:PodatekNaliczony>0</tns:PodatekNaliczony>\r\n    </tns:ZakupCtrl>\r\n";
    x += v7 ? "  </tns:Ewidencja>\r\n" : "";
    return x + "</tns:JPK>\r\n";
}

class FormsTransportTest : public TransportFixture {
protected:
    void transport(const std::string& group)
    {
        start(group).MakeXLS();
        ASSERT_TRUE(app->lastOk()) << app->statusText();
    }
    std::string cell(int r, int c) { return xl().cellValue(r, c); }

    // Rows of the active sheet up to its totals row.
    int lastRow()
    {
        for (int r = 2; r < 2000; ++r)
            if (cell(r, 1) == "LuKa-Werks")
                return r;
        ADD_FAILURE() << "no totals row";
        return 0;
    }
    // The first row whose structure columns (53..74) hold `tag`, or 0.
    int rowOfTag(const std::string& tag)
    {
        const int last = lastRow();
        for (int r = 1; r <= last; ++r)
            for (int c = 53; c <= 74; ++c)
                if (cell(r, c) == tag)
                    return r;
        return 0;
    }
    // Tags (from the structure columns) of the rows whose value went to column 75.
    std::set<std::string> unmappedTags()
    {
        std::set<std::string> tags;
        const int last = lastRow();
        for (int r = 1; r <= last; ++r) {
            if (cell(r, 75).empty())
                continue;
            for (int c = 53; c <= 74; ++c)
                if (!cell(r, c).empty())
                    tags.insert(cell(r, c));
        }
        return tags;
    }

    // Checks the sheet of a file made by formFile(form): one record row per
    // section with every element in its column under its name.
    void expectRecords(const Form& form)
    {
        SCOPED_TRACE(std::string(form.name));
        EXPECT_EQ(cell(1, 76), form.ns);
        const std::set<std::string> unmapped = unmappedTags();
        for (const jpkforms::Section* s : {&form.sales, &form.purchases}) {
            const int heading = rowOfTag("<" + std::string(s->record) + ">");
            ASSERT_GT(heading, 0) << s->record;
            const int row = heading + 1;
            for (const RecordElement& e : s->elements) {
                SCOPED_TRACE(std::string(e.name));
                EXPECT_EQ(unmapped.count("<" + std::string(e.name) + ">"), 0u);
                EXPECT_EQ(cell(heading, e.column), "<" + std::string(e.name) + ">");
                if (e.kind == 'K')
                    EXPECT_DOUBLE_EQ(number(cell(row, e.column)), e.column + 0.25);
                else
                    EXPECT_EQ(cell(row, e.column), valueOf(e));
            }
        }
        // The header's attributes beside their values.
        const int kod = rowOfTag("<KodFormularza>");
        ASSERT_GT(kod, 0);
        EXPECT_EQ(cell(kod, 75), "JPK_VAT");
        EXPECT_EQ(cell(kod, 77), "kodSystemowy=\"" + std::string(form.kodSystemowy) + "\" wersjaSchemy=\"" +
                                     std::string(form.wersjaSchemy) + "\"");
    }
};

TEST_F(FormsTransportTest, EveryV7FormLaysEveryRecordElementInItsColumn)
{
    std::vector<const Form*> v7;
    for (const Form& f : jpkforms::forms())
        if (f.family == Family::V7)
            v7.push_back(&f);
    ASSERT_EQ(v7.size(), 5u);
    for (std::size_t i = 0; i < v7.size(); ++i)
        addXml("JPK_V7M_2026_03_" + std::string(1, static_cast<char>('A' + i)) + ".xml", formFile(*v7[i]));
    transport("JPK_V7M_2026_03");

    for (std::size_t i = 0; i < v7.size(); ++i) {
        xl().sheetsSelect(static_cast<int>(i) + 2);
        expectRecords(*v7[i]);
        const int cel = rowOfTag("<CelZlozenia>");
        ASSERT_GT(cel, 0);
        EXPECT_EQ(cell(cel, 75), "1");
        EXPECT_EQ(cell(cel, 77), "poz=\"P_7\"");
        EXPECT_EQ(cell(rowOfTag("<Rok>"), 75), "2026");
        EXPECT_EQ(cell(rowOfTag("<Miesiac>"), 75), "3");
        const int dekl = rowOfTag("<KodFormularzaDekl>");
        ASSERT_GT(dekl, 0);
        EXPECT_EQ(cell(dekl, 77), "kodSystemowy=\"VAT-7 (21)\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" "
                                  "wersjaSchemy=\"1-0E\"");
        EXPECT_EQ(cell(rowOfTag("<P_38>"), 75), "123");
        // Markers past the engine's own columns get their alignment and the
        // amounts their totals in row 1.
        EXPECT_EQ(cell(1, 10), cell(lastRow(), 10));
        EXPECT_DOUBLE_EQ(number(cell(1, 10)), 10.25);
    }

    // -SUMA-: the element's name over its V7 meaning.
    xl().sheetsSelect(1);
    EXPECT_EQ(cell(1, 11), "K_11");
    EXPECT_EQ(cell(2, 11), "poza kraj.");
    EXPECT_EQ(cell(1, 37), "K_360");
    EXPECT_EQ(cell(2, 37), "kaucja");
    EXPECT_EQ(cell(1, 38), "SprzedazVAT_Marza");
    EXPECT_EQ(cell(1, 39), "ZakupVAT_Marza");
    EXPECT_EQ(cell(1, 40), "K_40");
    EXPECT_EQ(cell(2, 43), "ptiu TiU");
    EXPECT_EQ(cell(2, 32), "ptiu odwr.obc.");
    // K_360 only in V7M(3): one file's amount; K_10 in all five.
    EXPECT_DOUBLE_EQ(number(cell(5 + 5, 37)), 37.25);
    EXPECT_DOUBLE_EQ(number(cell(5 + 5, 10)), 5 * 10.25);
    // No column outside the V7 layout holds a total.
    for (int c : {48, 49, 50})
        EXPECT_EQ(cell(1, c), "") << c;
}

TEST_F(FormsTransportTest, JpkVat3KeepsTheJpkVatLayoutAndMeanings)
{
    const Form* vat3 = jpkforms::findFormByName("JPK_VAT(3)");
    ASSERT_NE(vat3, nullptr);
    addXml("JPK_VAT_2026_03_A.xml", formFile(*vat3));
    transport("JPK_VAT_2026_03");
    xl().sheetsSelect(2);
    expectRecords(*vat3);
    EXPECT_EQ(cell(rowOfTag("<DataOd>"), 75), "2026-03-01");
    xl().sheetsSelect(1);
    EXPECT_EQ(cell(1, 11), "K_11");
    EXPECT_EQ(cell(2, 11), "dost.poza.");
    EXPECT_EQ(cell(1, 37), "K_37");
    EXPECT_EQ(cell(2, 43), "nab. \x8C-T");
}

TEST_F(FormsTransportTest, NamespaceInRowOneSurvivesSaveAndReopen)
{
    const Form* v7m2 = jpkforms::findFormByName("JPK_V7M(2)");
    ASSERT_NE(v7m2, nullptr);
    addXml("JPK_V7M_2026_03_A.xml", formFile(*v7m2));
    // Not a JPK file: no namespace, nothing in (1, 76).
    addXml("JPK_V7M_2026_03_B.xml", "<JPK><Naglowek><Rok>2026</Rok></Naglowek></JPK>");
    transport("JPK_V7M_2026_03");
    while (xl().workbooksCount() > 0)
        xl().activeWorkbookClose();
    xl().workbooksOpen((work() / "JPK_V7M_2026_03.XLS").string());
    xl().sheetsSelect(2);
    EXPECT_EQ(cell(1, 76), "http://crd.gov.pl/wzor/2021/07/08/07081/");
    EXPECT_DOUBLE_EQ(number(cell(1, 10)), 10.25);
    EXPECT_EQ(cell(rowOfTag("<SprzedazWiersz>") + 1, 95), "w95");
    xl().sheetsSelect(3);
    EXPECT_EQ(cell(1, 76), "");
}

}  // namespace
}  // namespace zbir::test

namespace zbir::test {
namespace {

// Count of openings of element `name`, prefixed or not, in an XML text.
int openings(const std::string& xml, const std::string& name)
{
    const std::regex opening("<(?:\\w+:)?" + name + "[\\s>]");
    return static_cast<int>(std::distance(std::sregex_iterator(xml.begin(), xml.end(), opening), std::sregex_iterator()));
}

// Every shared sample of the VAT forms through the transport, one group per
// form family: records whole in their columns, period and purpose readable.
TEST_F(FormsTransportTest, SharedSamplesOfV7AndJpkVat3EndToEnd)
{
    ZBIR_REQUIRE_SHARED(shared);
    struct Group {
        std::string name;
        std::vector<fs::path> files;
    };
    std::vector<Group> groups = {{"JPK_V7M_2020_09", {}}, {"JPK_VAT_2020_01", {}}};
    for (const auto& entry : fs::directory_iterator(shared / "samples" / "JPK_V7"))
        groups[0].files.push_back(entry.path());
    for (const auto& entry : fs::directory_iterator(shared / "samples" / "JPK_VAT"))
        if (entry.path().filename().string().rfind("jpk_vat3_", 0) == 0)
            groups[1].files.push_back(entry.path());
    for (Group& g : groups) {
        std::sort(g.files.begin(), g.files.end());
        ASSERT_FALSE(g.files.empty()) << g.name;
        for (std::size_t i = 0; i < g.files.size(); ++i)
            addXml(g.name + "_" + std::string(1, static_cast<char>('A' + i)) + ".xml", readFile(g.files[i]));
    }

    for (const Group& g : groups) {
        SCOPED_TRACE(g.name);
        transport(g.name);
        for (std::size_t i = 0; i < g.files.size(); ++i) {
            SCOPED_TRACE(g.files[i].filename().string());
            const std::string xml = readFile(g.files[i]);
            xl().sheetsSelect(static_cast<int>(i) + 2);
            const Form* form = jpkforms::findForm(cell(1, 76));
            ASSERT_NE(form, nullptr) << cell(1, 76);
            EXPECT_NE(xml.find("\"" + std::string(form->ns) + "\""), std::string::npos);
            EXPECT_EQ(form->family == Family::V7, g.name.rfind("JPK_V7", 0) == 0);

            const std::set<std::string> unmapped = unmappedTags();
            const int last = lastRow();
            for (const jpkforms::Section* s : {&form->sales, &form->purchases})
                for (const RecordElement& e : s->elements)
                    EXPECT_EQ(unmapped.count("<" + std::string(e.name) + ">"), 0u) << e.name;
            // One row per record, each with its document number (sales and
            // purchases share the column).
            const RecordElement* number = jpkforms::findElement(form->sales, "DowodSprzedazy");
            ASSERT_NE(number, nullptr);
            ASSERT_EQ(number->column, jpkforms::findElement(form->purchases, "DowodZakupu")->column);
            int rows = 0;
            for (int r = 2; r < last; ++r)
                if (!cell(r, number->column).empty() && cell(r, number->column)[0] != '<')
                    ++rows;
            EXPECT_EQ(rows, openings(xml, "DowodSprzedazy") + openings(xml, "DowodZakupu"));
            const int kod = rowOfTag("<KodFormularza>");
            ASSERT_GT(kod, 0);
            EXPECT_NE(cell(kod, 77).find("kodSystemowy=\"" + std::string(form->kodSystemowy) + "\""), std::string::npos);
            EXPECT_GT(rowOfTag("<CelZlozenia>"), 0);
            for (const char* period : form->period == jpkforms::Period::Month ? std::vector<const char*>{"Rok", "Miesiac"}
                                                                               : std::vector<const char*>{"DataOd", "DataDo"}) {
                const int r = rowOfTag("<" + std::string(period) + ">");
                ASSERT_GT(r, 0) << period;
                EXPECT_NE(xml.find(">" + cell(r, 75) + "</"), std::string::npos) << period;
            }
        }
        // Valid inputs: no problems reported, and copies valid as well.
        EXPECT_EQ(app->statusText().rfind("Schemat:", 0), std::string::npos) << app->statusText();
        int copies = 0;
        for (const auto& copy : fs::directory_iterator(work() / "TXT")) {
            SCOPED_TRACE(copy.path().filename().string());
            ++copies;
            const jpkforms::CheckResult check = jpkforms::checkFile(copy.path());
            EXPECT_EQ(check.verdict, jpkforms::Verdict::Valid)
                << (check.problems.empty() ? std::string() : check.problems.front().message);
        }
        EXPECT_EQ(copies, static_cast<int>(g.files.size()));
        while (xl().workbooksCount() > 0)
            xl().activeWorkbookClose();
    }
}

}  // namespace
}  // namespace zbir::test
