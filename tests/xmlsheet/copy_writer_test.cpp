#include "xmlsheet/copy_writer.h"

#include "jpkforms/schema_check.h"
#include "transport/layouts.h"
#include "support/fault_support.h"
#include "xmlsheet/scan_recorder.h"

#include <gtest/gtest.h>
#include <orcus/sax_parser.hpp>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace zbir;

namespace {

struct CopyResult {
    std::string bytes;
    bool modified = false;
    std::vector<std::string> items;
};

// What becomes of the values the scanner gives empty elements.
enum class Empty { Filled, Kept, KeptAfterwards };

// Scans `input` into a copy the way the transport does: the temporary file in
// TXT, then its final name.
CopyResult copyOf(const std::filesystem::path& input, const std::filesystem::path& workDir, int jpkType,
                  Empty empty = Empty::Filled)
{
    xmlsheet::FieldMap map;
    workbook::declareLayout(jpkType, map);
    xmlsheet::XmlScanner scanner(map, jpkType, {});
    if (!scanner.open(input))
        throw std::runtime_error("cannot open " + input.string());
    xmlsheet::CopyWriter writer(scanner);
    writer.keepEmptyElements(empty == Empty::Kept);
    writer.rememberFilledValues(empty == Empty::KeptAfterwards);
    test::ScanRecorder recorder;
    xmlsheet::TeeConsumer both(recorder, writer);
    std::filesystem::create_directories(workDir / "TXT");
    const std::filesystem::path temp = workDir / "TXT" / "xx.tmp";
    writer.create(temp);
    scanner.scan(both);
    writer.close();
    if (empty == Empty::KeptAfterwards)
        writer.dropFilledValues();
    std::string name = xmlsheet::copyName(input.filename().string(), scanner.modified());
    auto target = workDir / ("TXT/" + name.substr(4));
    if (!xmlsheet::placeCopy(temp, target))
        throw std::runtime_error("cannot place the copy");
    return {test::readFile(target), scanner.modified(), recorder.items};
}

CopyResult copyOfText(const std::string& text, int jpkType = 4, Empty empty = Empty::Filled)
{
    test::TempDir dir;
    test::writeFile(dir / "JPK_VAT_TEST.xml", text);
    return copyOf(dir / "JPK_VAT_TEST.xml", dir.path(), jpkType, empty);
}

}  // namespace

TEST(CopyWriter, LinesByteForByte)
{
    auto r = copyOfText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- eksport -->\n"
        "<tns:JPK xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\" xmlns:etd=\"http://e/\">\n"
        "\t<tns:Naglowek >\n"
        "\t\t<tns:KodFormularza kodSystemowy=\"JPK_VAT (2)\" wersjaSchemy=\"1-0\">JPK_VAT</tns:KodFormularza>\n"
        "\t</tns:Naglowek>\n"
        "\t<tns:SprzedazWiersz typ=\"G\">\n"
        "\t\t<tns:NazwaKontrahenta>\xC5\x81\xC3\xB3" "d\xC5\xBA &amp; Syn</tns:NazwaKontrahenta>\n"
        "\t\t<etd:NIP/>\n"
        "\t</tns:SprzedazWiersz>\n"
        "\t<tns:SprzedazWiersz>\n"
        "\t\t<tns:K_19>1</tns:K_19>\n"
        "\t</tns:SprzedazWiersz>\n"
        "</tns:JPK>\n");
    EXPECT_EQ(r.bytes,
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              " <!-- eksport -->\r\n"
              "<tns:JPK xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\" xmlns:etd=\"http://e/\">\r\n"
              "  <tns:Naglowek>\r\n"
              "    <tns:KodFormularza kodSystemowy=\"JPK_VAT (2)\" wersjaSchemy=\"1-0\">JPK_VAT</tns:KodFormularza>\r\n"
              "  </tns:Naglowek>\r\n"
              "  <tns:SprzedazWiersz typ=\"G\">\r\n"
              "    <tns:NazwaKontrahenta>\xC5\x81\xC3\xB3" "d\xC5\xBA &amp; Syn</tns:NazwaKontrahenta>\r\n"
              "    <etd:NIP>BRAK</etd:NIP>\r\n"
              "  </tns:SprzedazWiersz>\r\n"
              "  <tns:SprzedazWiersz>\r\n"
              "    <tns:K_19>1</tns:K_19>\r\n"
              "  </tns:SprzedazWiersz>\r\n"
              "</tns:JPK>\r\n");
    EXPECT_TRUE(r.modified);  // the empty NIP filled in
}

// Empty elements left empty after the copy is written: the filled-in values
// come out wherever they lie, across the writer's flushes too, and nothing
// else moves; without the removal the copy has them.
TEST(CopyWriter, FilledValuesTakenOutAfterwards)
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">\n<Naglowek><CelZlozenia/></Naglowek>\n";
    for (int i = 1; i <= 6000; ++i) {
        doc += "<SprzedazWiersz><LpSprzedazy>" + std::to_string(i) + "</LpSprzedazy>";
        doc += i % 7 == 0 ? "<NrKontrahenta></NrKontrahenta>" : "<NrKontrahenta>N&amp;" + std::to_string(i) + "</NrKontrahenta>";
        doc += i % 11 == 0 ? "<PodatekNalezny/>" : "<NazwaKontrahenta>\xC5\x81\xC3\xB3" "d\xC5\xBA</NazwaKontrahenta>";
        doc += "<K_19>" + std::string(static_cast<std::size_t>(i % 40), '1') + "</K_19></SprzedazWiersz>\n";
    }
    doc += "<SprzedazCtrl><LiczbaWierszySprzedazy/></SprzedazCtrl></JPK>\n";

    const CopyResult kept = copyOfText(doc, 4, Empty::Kept);
    const CopyResult later = copyOfText(doc, 4, Empty::KeptAfterwards);
    const CopyResult filled = copyOfText(doc, 4, Empty::Filled);
    ASSERT_GT(filled.bytes.size(), 3u * 256 * 1024);  // several flushes of the writer
    EXPECT_EQ(later.bytes, kept.bytes);
    EXPECT_EQ(later.modified, kept.modified);
    EXPECT_NE(filled.bytes, kept.bytes);
    EXPECT_NE(kept.bytes.find("<CelZlozenia></CelZlozenia>"), std::string::npos);
    EXPECT_NE(kept.bytes.rfind("<LiczbaWierszySprzedazy></LiczbaWierszySprzedazy>\r\n"), std::string::npos);
    EXPECT_NE(filled.bytes.find("<PodatekNalezny>0</PodatekNalezny>"), std::string::npos);
    // Filled: "BRAK" in every empty element (every 7th NrKontrahenta, every
    // 40th K_19, the two of the header and the control part).
    std::size_t brak = 0;
    for (std::size_t at = 0; (at = filled.bytes.find(">BRAK<", at)) != std::string::npos; ++at)
        ++brak;
    EXPECT_EQ(brak, 6000u / 7 + 6000u / 40 + 2);
    EXPECT_EQ(kept.bytes.find(">BRAK<"), std::string::npos);
}

// A copy without filled-in values is not touched by the removal.
TEST(CopyWriter, NothingToTakeOutLeavesTheCopy)
{
    const std::string doc = "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"><Naglowek><KodFormularza>JPK_VAT</KodFormularza></Naglowek></JPK>";
    EXPECT_EQ(copyOfText(doc, 4, Empty::KeptAfterwards).bytes, copyOfText(doc, 4, Empty::Filled).bytes);
}

TEST(CopyWriter, DeclarationRewrittenToUtf8)
{
    const std::string body = "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"><A>1</A></JPK>";
    auto firstLine = [&](const std::string& declaration) {
        std::string bytes = copyOfText(declaration + body).bytes;
        return bytes.substr(0, bytes.find("\r\n"));
    };
    EXPECT_EQ(firstLine("<?xml version=\"1.0\"?>"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    EXPECT_EQ(firstLine("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    EXPECT_EQ(firstLine("<?xml version=\"1.0\"\r\n  encoding=\"utf-8\"?>"), "<?xml version=\"1.0\"   encoding=\"utf-8\"?>");
    // An encoding the scanner does not recognise gives way rather than doubling.
    EXPECT_EQ(firstLine("<?xml version=\"1.0\" encoding='UTF-8'?>"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    EXPECT_EQ(firstLine("<?xml version=\"1.0\">"), "<?xml version=\"1.0\"> encoding=\"utf-8\"?>");
}

TEST(CopyWriter, CodePageFilesBecomeUtf8)
{
    auto r = copyOfText("<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
                        "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">\r\n"
                        "<Nazwa opis=\"\xA3\xF3" "d\x9F\">Gda\xF1sk M\xFCller\x01</Nazwa>\r\n</JPK>\r\n");
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(r.bytes, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                       "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">\r\n"
                       "  <Nazwa opis=\"\xC5\x81\xC3\xB3" "d\xC5\xBA\">Gda\xC5\x84sk M\xC3\xBCller_</Nazwa>\r\n"
                       "</JPK>\r\n");
}

TEST(CopyWriter, ModifiedFlagAndName)
{
    // Only a BOM, line ends and indentation change: the copy keeps ".TXT".
    test::TempDir dir;
    test::writeFile(dir / "JPK_VAT_1.xml",
                    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">\n"
                    "      <Nazwa>\xC3\xA9t\xC3\xA9 \xC5\x9Bwi\xC4\x99to</Nazwa>\n</JPK>");
    auto r = copyOf(dir / "JPK_VAT_1.xml", dir.path(), 4);
    EXPECT_FALSE(r.modified);
    EXPECT_TRUE(std::filesystem::exists(dir / "TXT/JPK_VAT_1.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir / "TXT/xx.tmp"));

    EXPECT_EQ(xmlsheet::copyName("JPK_VAT_1.xml", true), "TXT\\JPK_VAT_1.XML");
    EXPECT_EQ(xmlsheet::copyName("JPK_VAT_1.xml", false), "TXT\\JPK_VAT_1.TXT");
    EXPECT_EQ(xmlsheet::copyName("ab", true), "TXT\\XML");

    // The value escape alone raises the flag through the writer.
    EXPECT_TRUE(copyOfText("<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"><A>a|b</A></JPK>").modified);
    EXPECT_FALSE(copyOfText("<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"><A>a b</A></JPK>").modified);
}

// Found by fuzzing: a root namespace holding TABs (read as blanks) was cut
// at the first of them when the root's attributes were normalised, and the
// rest of the value stayed behind as junk: the copy of a well-formed file
// was not well-formed.
TEST(CopyWriter, RootAttributeValuesWithBlanksStayWhole)
{
    for (const char* gap : {"\t\t\t", "  ", "\r\n"}) {
        auto r = copyOfText(std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/201") + gap +
                            "6/10/26/10261/\" xmlns:etd=\"http://e/ x\" a='b " + gap + " c'>\n"
                            "<Naglowek><KodUrzedu>1471</KodUrzedu></Naglowek></JPK>\n");
        std::string error;
        EXPECT_TRUE(test::wellFormedXml(r.bytes, &error)) << error << "\n" << r.bytes;
        EXPECT_NE(r.bytes.find("=\"http://e/ x\""), std::string::npos) << r.bytes;
    }
}

TEST(CopyWriter, PlaceCopyReplacesAnOldCopy)
{
    test::TempDir dir;
    test::writeFile(dir / "xx", "new");
    test::writeFile(dir / "old.TXT", "old");
    EXPECT_TRUE(xmlsheet::placeCopy(dir / "xx", dir / "old.TXT"));
    EXPECT_EQ(test::readFile(dir / "old.TXT"), "new");
    EXPECT_FALSE(xmlsheet::placeCopy(dir / "xx", dir / "other.TXT"));
}

TEST(CopyWriter, CreateFailureThrows)
{
    test::TempDir dir;
    xmlsheet::FieldMap map;
    xmlsheet::XmlScanner scanner(map, 4, {});
    xmlsheet::CopyWriter writer(scanner);
    EXPECT_THROW(writer.create(dir / "missing" / "xx"), std::runtime_error);
}

namespace {

// Leaf elements (local name, text) of a well-formed document, by a real XML parser.
class LeafCollector {
public:
    std::vector<std::pair<std::string, std::string>> leaves;

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void attribute(const orcus::sax::parser_attribute&) {}
    void start_element(const orcus::sax::parser_element&)
    {
        if (!m_open.empty())
            m_open.back().second = true;
        m_open.emplace_back(std::string(), false);
    }
    void characters(std::string_view text, bool) { m_open.back().first += text; }
    void end_element(const orcus::sax::parser_element& e)
    {
        if (!m_open.back().second)
            leaves.emplace_back(std::string(e.name), m_open.back().first);
        m_open.pop_back();
    }

private:
    std::vector<std::pair<std::string, bool>> m_open;  // text, has a child element
};

std::vector<std::pair<std::string, std::string>> leavesOf(std::string xml)
{
    if (xml.starts_with("\xEF\xBB\xBF"))
        xml.erase(0, 3);
    LeafCollector collector;
    orcus::sax_parser<LeafCollector> parser(xml.data(), xml.size(), collector);
    parser.parse();
    return collector.leaves;
}

// Text as the scanner reads it: line ends and TAB as blanks, no leading blanks.
std::string asScanned(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    out.erase(0, out.find_first_not_of(' ') == std::string::npos ? out.size() : out.find_first_not_of(' '));
    return out;
}

}  // namespace

TEST(CopyWriter, SampleFilesScanWholeAndCopyWellFormed)
{
    ZBIR_REQUIRE_SHARED(shared);
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shared / "samples")) {
        if (entry.path().extension() != ".xml")
            continue;
        SCOPED_TRACE(entry.path().string());
        ++files;
        std::string folder = entry.path().parent_path().filename().string();  // JPK_VAT, JPK_KR, ...
        int type = static_cast<int>(std::string_view("KWMVFPE").find(folder[4])) + 1;

        test::TempDir dir;
        CopyResult r = copyOf(entry.path(), dir.path(), type);
        auto copyPath = dir / ("TXT/" + entry.path().stem().string() + (r.modified ? ".XML" : ".TXT"));

        std::string output;
        EXPECT_EQ(test::runCommand("xmllint --noout '" + copyPath.string() + "'", &output), 0) << output;

        auto in = leavesOf(test::readFile(entry.path()));
        auto out = leavesOf(r.bytes);
        std::size_t elements = 0;
        for (const auto& item : r.items)
            elements += item.starts_with("elem ");
        EXPECT_EQ(elements, in.size());
        ASSERT_EQ(out.size(), in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            std::string expected = asScanned(in[i].second);
            if (expected.empty() || (expected == "-" && in[i].first.starts_with("PodatekNal")))
                expected = in[i].first.starts_with("PodatekNal") ? "0" : "BRAK";
            EXPECT_EQ(out[i].first, in[i].first) << i;
            EXPECT_EQ(out[i].second, expected) << in[i].first;
        }
    }
    EXPECT_GT(files, 20);
}

// Every sample valid against the schema of its namespace leaves a copy that
// is valid too: each element keeps its namespace, and empty elements (the
// transport keeps them so for valid files) stay empty.
TEST(CopyWriter, CopiesOfValidSamplesStayValidAgainstTheirSchemas)
{
    ZBIR_REQUIRE_SHARED(shared);
    int valid = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shared / "samples")) {
        if (entry.path().extension() != ".xml")
            continue;
        if (jpkforms::checkFile(entry.path()).verdict != jpkforms::Verdict::Valid)
            continue;
        SCOPED_TRACE(entry.path().string());
        ++valid;
        const std::string folder = entry.path().parent_path().filename().string();  // JPK_VAT, JPK_KR, ...
        const int type = static_cast<int>(std::string_view("KWMVFPE").find(folder[4])) + 1;
        test::TempDir dir;
        CopyResult r = copyOf(entry.path(), dir.path(), type, Empty::Kept);
        // The decision taken after the scan, as the transport takes it,
        // leaves the very same copy.
        test::TempDir later;
        EXPECT_EQ(copyOf(entry.path(), later.path(), type, Empty::KeptAfterwards).bytes, r.bytes);
        const jpkforms::CheckResult check = jpkforms::checkDocument(r.bytes);
        EXPECT_EQ(check.verdict, jpkforms::Verdict::Valid)
            << (check.problems.empty() ? std::string() : std::to_string(check.problems.front().line) + ": " +
                                                           check.problems.front().message);
        EXPECT_EQ(check.rootNamespace, jpkforms::rootNamespaceOfFile(entry.path()));
    }
    EXPECT_GE(valid, 22);
}
