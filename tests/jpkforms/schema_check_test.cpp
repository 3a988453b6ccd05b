#include "jpkforms/schema_check.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

namespace zbir::jpkforms {
namespace {

namespace fs = std::filesystem;

const std::string kV7m2 = "http://crd.gov.pl/wzor/2021/07/08/07081/";

// A small JPK_V7M(2) file: header, subject, one sale, control block.
std::string v7m2(const std::string& sale = "<tns:K_19>100.00</tns:K_19><tns:K_20>23.00</tns:K_20>",
                 const std::string& prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
{
    return prolog + "<tns:JPK xmlns:etd=\"http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2021/06/08/eD/DefinicjeTypy/\" "
                    "xmlns:tns=\"" + kV7m2 + "\">\n"
           "<tns:Naglowek>\n"
           "<tns:KodFormularza kodSystemowy=\"JPK_V7M (2)\" wersjaSchemy=\"1-0E\">JPK_VAT</tns:KodFormularza>\n"
           "<tns:WariantFormularza>2</tns:WariantFormularza>\n"
           "<tns:DataWytworzeniaJPK>2026-04-02T10:00:00</tns:DataWytworzeniaJPK>\n"
           "<tns:NazwaSystemu>test</tns:NazwaSystemu>\n"
           "<tns:CelZlozenia poz=\"P_7\">1</tns:CelZlozenia>\n"
           "<tns:KodUrzedu>1471</tns:KodUrzedu>\n"
           "<tns:Rok>2026</tns:Rok>\n<tns:Miesiac>3</tns:Miesiac>\n"
           "</tns:Naglowek>\n"
           "<tns:Podmiot1 rola=\"Podatnik\"><tns:OsobaNiefizyczna>"
           "<tns:NIP>5252614371</tns:NIP><tns:PelnaNazwa>Firma</tns:PelnaNazwa>"
           "<tns:Email>biuro@example.pl</tns:Email></tns:OsobaNiefizyczna></tns:Podmiot1>\n"
           "<tns:Ewidencja>\n<tns:SprzedazWiersz><tns:LpSprzedazy>1</tns:LpSprzedazy>"
           "<tns:NrKontrahenta>brak</tns:NrKontrahenta><tns:NazwaKontrahenta>Jan</tns:NazwaKontrahenta>"
           "<tns:DowodSprzedazy>F/1</tns:DowodSprzedazy><tns:DataWystawienia>2026-03-02</tns:DataWystawienia>" +
           sale +
           "</tns:SprzedazWiersz>\n"
           "<tns:SprzedazCtrl><tns:LiczbaWierszySprzedazy>1</tns:LiczbaWierszySprzedazy>"
           "<tns:PodatekNalezny>23.00</tns:PodatekNalezny></tns:SprzedazCtrl>\n"
           "<tns:ZakupCtrl><tns:LiczbaWierszyZakupow>0</tns:LiczbaWierszyZakupow>"
           "<tns:PodatekNaliczony>0.00</tns:PodatekNaliczony></tns:ZakupCtrl>\n"
           "</tns:Ewidencja>\n</tns:JPK>\n";
}

TEST(SchemaCheck, ValidAndInvalidDocuments)
{
    const CheckResult ok = checkDocument(v7m2());
    EXPECT_EQ(ok.verdict, Verdict::Valid) << (ok.problems.empty() ? "" : ok.problems[0].message);
    ASSERT_NE(ok.form, nullptr);
    EXPECT_EQ(ok.form->name, "JPK_V7M(2)");
    EXPECT_EQ(ok.rootNamespace, kV7m2);

    // An amount that is no number, and elements out of order: the schema's
    // own messages with their lines.
    const std::string badDoc = v7m2("<tns:K_19>12a</tns:K_19><tns:K_20>23.00</tns:K_20>");
    const CheckResult bad = checkDocument(badDoc);
    EXPECT_EQ(bad.verdict, Verdict::Invalid);
    ASSERT_FALSE(bad.problems.empty());
    const auto recordLine = std::count(badDoc.begin(), badDoc.begin() + badDoc.find("<tns:SprzedazWiersz>"), '\n') + 1;
    EXPECT_EQ(bad.problems[0].line, recordLine);
    EXPECT_NE(bad.problems[0].message.find("K_19"), std::string::npos) << bad.problems[0].message;

    const CheckResult broken = checkDocument(v7m2().substr(0, 900));
    EXPECT_EQ(broken.verdict, Verdict::Invalid);
    EXPECT_FALSE(broken.problems.empty());
}

TEST(SchemaCheck, UnknownOrMissingNamespaceIsNamedNeverGuessed)
{
    std::string other = v7m2();
    other.replace(other.find(kV7m2), kV7m2.size(), "http://crd.gov.pl/wzor/2099/01/01/99999/");
    const CheckResult unknown = checkDocument(other);
    EXPECT_EQ(unknown.verdict, Verdict::UnknownForm);
    EXPECT_EQ(unknown.form, nullptr);
    ASSERT_EQ(unknown.problems.size(), 1u);
    EXPECT_NE(unknown.problems[0].message.find("http://crd.gov.pl/wzor/2099/01/01/99999/"),
              std::string::npos);

    const CheckResult none = checkDocument("<JPK><Naglowek/></JPK>");
    EXPECT_EQ(none.verdict, Verdict::UnknownForm);
    EXPECT_EQ(checkDocument("").verdict, Verdict::UnknownForm);
}

TEST(SchemaCheck, RootNamespaceOfPrefixedDefaultAndOddlyEncodedRoots)
{
    EXPECT_EQ(rootNamespace(v7m2()), kV7m2);
    EXPECT_EQ(rootNamespace("<!-- x --><JPK xmlns=\"urn:a\" xmlns:b=\"urn:b\"><b:x/></JPK>"), "urn:a");
    EXPECT_EQ(rootNamespace("<p:JPK xmlns=\"urn:a\" xmlns:p=\"urn:p\"/>"), "urn:p");
    // An encoding the parser does not know: the start tag still tells.
    EXPECT_EQ(rootNamespace("<?xml version=\"1.0\" encoding=\"Mazovia\"?>\n<JPK xmlns='urn:m'>"), "urn:m");
    EXPECT_EQ(rootNamespace("no xml at all"), "");
}

// Hostile documents: nothing fetched, nothing expanded, quickly refused.
TEST(SchemaCheck, DoctypesAndEntitiesAreRefusedWithoutExpansionOrNetwork)
{
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE tns:JPK [\n<!ENTITY l0 \"ha\">\n";
    for (int i = 1; i <= 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    laughs += "]>\n";
    const std::string doc = v7m2("<tns:K_19>&l12;</tns:K_19><tns:K_20>1</tns:K_20>", laughs);
    const auto start = std::chrono::steady_clock::now();
    const CheckResult r = checkDocument(doc);
    EXPECT_EQ(r.verdict, Verdict::Invalid);
    ASSERT_FALSE(r.problems.empty());
    EXPECT_NE(r.problems.back().message.find("DOCTYPE"), std::string::npos) << r.problems.back().message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    const std::string external =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE tns:JPK [<!ENTITY x SYSTEM \"file:///etc/passwd\">"
        "<!ENTITY y SYSTEM \"http://192.0.2.1/x\">]>\n";
    const CheckResult e = checkDocument(v7m2("<tns:K_19>&x;&y;</tns:K_19><tns:K_20>1</tns:K_20>", external));
    EXPECT_EQ(e.verdict, Verdict::Invalid);
    for (const SchemaProblem& p : e.problems)
        EXPECT_EQ(p.message.find("root:"), std::string::npos) << p.message;
}

// The declaration refuses the document before it is parsed, wherever the
// prolog puts it: its line is named, and nothing of it is read (a short
// document whose entity reference stopped the parser first was once found
// invalid without a word of the declaration).
TEST(SchemaCheck, DoctypeIsRefusedFirstWithItsLine)
{
    const std::string start = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- eksport -->\n<?pi x?>\n";
    const CheckResult r = checkDocument(start + "<!DOCTYPE JPK [<!ENTITY a \"&#38;b;\"><!ENTITY b \"&a;\">]>\n<tns:JPK xmlns:tns=\"" +
                                        kV7m2 + "\"><tns:Naglowek>&a;</tns:Naglowek></tns:JPK>");
    EXPECT_EQ(r.verdict, Verdict::Invalid);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].line, 4);
    EXPECT_NE(r.problems[0].message.find("DOCTYPE"), std::string::npos) << r.problems[0].message;
    // The same words inside a comment or a value are no declaration.
    const CheckResult fine = checkDocument(v7m2("<tns:K_19>100.00</tns:K_19><tns:K_20>23.00</tns:K_20>",
                                                "<?xml version=\"1.0\"?>\n<!-- <!DOCTYPE x> -->\n"));
    EXPECT_EQ(fine.verdict, Verdict::Valid) << (fine.problems.empty() ? "" : fine.problems[0].message);
}

TEST(SchemaCheck, MissingSchemasAreSaidNotPassed)
{
    test::TempDir empty;
    ::setenv("ZBIR_SCHEMA_DIR", empty.path().c_str(), 1);
    const CheckResult r = checkDocument(v7m2());
    ::unsetenv("ZBIR_SCHEMA_DIR");
    EXPECT_EQ(r.verdict, Verdict::NoSchema);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].message.find("Schemat_JPK_V7M(2)_v1-0.xsd"), std::string::npos);
    EXPECT_EQ(checkDocument(v7m2()).verdict, Verdict::Valid);
}

// A document checked while it is written, in pieces of any size, is judged
// as the whole of it is: the verdict, the form and every problem with its line.
TEST(SchemaCheck, StreamCheckJudgesAsTheWholeDocument)
{
    std::string many;
    for (int i = 0; i < 3000; ++i)  // past the start the form is read from
        many += "<!-- wiersz " + std::to_string(i) + " -->\n";
    const std::vector<std::string> documents{
        v7m2(),
        v7m2(many + "<tns:K_19>100.00</tns:K_19><tns:K_20>23.00</tns:K_20>"),
        v7m2(many + "<tns:K_19>sto</tns:K_19><tns:K_20>23.00</tns:K_20>"),
        v7m2().substr(0, 900),
        "<JPK><Naglowek/></JPK>",
        "",
        v7m2("", "<?xml version=\"1.0\"?>\n<!DOCTYPE x>\n"),
    };
    for (const std::string& doc : documents) {
        const CheckResult whole = checkDocument(doc);
        for (std::size_t piece : {std::size_t{1} << 20, std::size_t{4093}, std::size_t{7}}) {
            SCOPED_TRACE(doc.substr(0, 60) + " in pieces of " + std::to_string(piece));
            if (piece < 100 && doc.size() > 100000)
                continue;
            StreamCheck stream;
            for (std::size_t at = 0; at < doc.size(); at += piece)
                stream.write(std::string_view(doc).substr(at, piece));
            const CheckResult r = stream.finish();
            EXPECT_EQ(r.verdict, whole.verdict);
            EXPECT_EQ(r.form, whole.form);
            EXPECT_EQ(r.rootNamespace, whole.rootNamespace);
            ASSERT_EQ(r.problems.size(), whole.problems.size());
            for (std::size_t i = 0; i < r.problems.size(); ++i) {
                EXPECT_EQ(r.problems[i].line, whole.problems[i].line);
                EXPECT_EQ(r.problems[i].message, whole.problems[i].message);
            }
        }
    }
}

// A stream check given up half-way (the build stopped) ends without waiting
// for the rest of the document; one told of an unknown form at its start
// takes the rest without keeping it.
TEST(SchemaCheck, StreamCheckLeftHalfWayOrNotNeedingTheRest)
{
    const std::string doc = v7m2();
    {
        StreamCheck stream;
        stream.write(std::string_view(doc).substr(0, doc.size() / 2));
    }  // no finish(): the destructor stops the check that waits for more
    // Given up before the check has begun to wait (a build refused at once):
    // the stop is not missed, whenever it comes.
    for (int i = 0; i < 200; ++i)
        StreamCheck nothing;
    StreamCheck unknown;
    unknown.write("<JPK xmlns=\"urn:x\">");
    for (int i = 0; i < 100; ++i)  // far more pieces than the check may lag behind
        unknown.write(std::string(1000, ' '));
    const CheckResult r = unknown.finish();
    EXPECT_EQ(r.verdict, Verdict::UnknownForm);
    EXPECT_EQ(r.rootNamespace, "urn:x");
}

TEST(SchemaCheck, StopEndsACheckWithoutAVerdict)
{
    std::stop_source stop;
    stop.request_stop();
    const CheckResult r = checkDocument(v7m2(), stop.get_token());
    EXPECT_EQ(r.verdict, Verdict::Stopped);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(checkDocument(v7m2(), std::stop_source().get_token()).verdict, Verdict::Valid);
}

// Every public sample of a form the program knows is judged as its name says.
TEST(SchemaCheck, SharedSamples)
{
    ZBIR_REQUIRE_SHARED(shared);
    int checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(shared / "samples")) {
        if (entry.path().extension() != ".xml")
            continue;
        const std::string name = entry.path().filename().string();
        const CheckResult r = checkFile(entry.path());
        SCOPED_TRACE(name);
        if (name.rfind("invalid", 0) == 0) {
            EXPECT_NE(r.verdict, Verdict::Valid);
        } else if (name.find("valid") != std::string::npos || name.rfind("JPK", 0) == 0) {
            EXPECT_EQ(r.verdict, Verdict::Valid) << (r.problems.empty() ? "" : r.problems[0].message);
        }
        ++checked;
    }
    EXPECT_GE(checked, 20);
    EXPECT_EQ(checkFile(shared / "no such file.xml").verdict, Verdict::Invalid);
}

}  // namespace
}  // namespace zbir::jpkforms
