// The input check during the transport: every problem of a file against the
// schema of its namespace goes to the run log and the command line, the
// status line counts them, and the transport goes on.

#include "encoding/charset.h"
#include "jpkforms/schema_check.h"
#include "support/transport_fixture.h"
#include "transport/transport.h"
#include "xmlsheet/sheet_writer.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

const std::string kUnknown = "<JPK xmlns=\"http://example.com/nieznany/\"><Naglowek><A>1</A></Naglowek></JPK>";
const std::string kUnknownMessage = "nieznana przestrze\xF1 nazw http://example.com/nieznany/: tego formularza program nie zna";

class InputCheckTest : public TransportFixture {
protected:
    std::vector<std::string> logLinesOf(const std::string& file)
    {
        std::vector<std::string> out;
        for (const std::string& l : logLines())
            if (l.rfind("  ... " + file, 0) == 0)
                out.push_back(l.substr(6));
        return out;
    }
};

TEST_F(InputCheckTest, ProblemsGoToTheLogAndTheNoticesAndTheTransportGoesOn)
{
    ZBIR_REQUIRE_SHARED(shared);
    const fs::path sample = shared / "samples/JPK_V7/jpk_v7m1_valid_sprzedaz_zakupy_osoba_niefizyczna.xml";
    std::string broken = readFile(sample);
    const std::size_t at = broken.find("<tns:K_19>150.19<");
    ASSERT_NE(at, std::string::npos);
    broken.replace(at, 16, "<tns:K_19>abc");
    const int line = 1 + static_cast<int>(std::count(broken.begin(), broken.begin() + static_cast<long>(at), '\n'));
    addXml("JPK_V7M_2020_09_A.xml", broken);
    addXml("JPK_V7M_2020_09_B.xml", kUnknown);
    addXml("JPK_V7M_2020_09_C.xml", readFile(shared / "samples/JPK_VAT/jpk_vat3_valid_sprzedaz_only.xml"));

    start("JPK_V7M_2020_09").MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();

    const std::vector<std::string> a = logLinesOf("JPK_V7M_2020_09_A.XML");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].rfind("JPK_V7M_2020_09_A.XML, wiersz " + std::to_string(line) +
                             ": Element '{http://crd.gov.pl/wzor/2020/05/08/9393/}K_19': 'abc' is not a valid value",
                         0),
              0u)
        << a[0];
    EXPECT_EQ(logLinesOf("JPK_V7M_2020_09_B.XML"),
              std::vector<std::string>{"JPK_V7M_2020_09_B.XML: " + kUnknownMessage});
    EXPECT_TRUE(logLinesOf("JPK_V7M_2020_09_C.XML").empty());
    EXPECT_EQ(port.notices, (std::vector<std::string>{a[0], "JPK_V7M_2020_09_B.XML: " + kUnknownMessage}));
    EXPECT_EQ(app->statusText(), workbook::schemaSummary(2, 2));
    EXPECT_EQ(app->statusText(), "Schemat: uwag 2 w plikach: 2, zob. ZBIR.LOG");

    // The workbook has every file, the wrong value where it can be mended.
    EXPECT_EQ(xl().sheetsCount(), 4);
    xl().sheetsSelect(2);
    bool found = false;
    for (int r = 1; r < 200 && !found; ++r)
        found = xl().cellValue(r, 19) == "abc";
    EXPECT_TRUE(found);
    xl().sheetsSelect(3);
    EXPECT_EQ(xl().cellValue(1, 76), "http://example.com/nieznany/");
}

TEST_F(InputCheckTest, CommandLinePrintsEveryProblemOnTheErrorStream)
{
    addXml("JPK_VAT_2017_05_A.xml", kUnknown);
    addXml("JPK_VAT_2017_05_B.xml", "<tns:JPK xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/\">\n"
                                    "<tns:Naglowek>\n<tns:KodFormularza>JPK_VAT</tns:KodFormularza>\n"
                                    "</tns:Naglowek>\n</tns:JPK>\n");
    std::string err;
    const int code = runCommand("{ '" + std::string(ZBIR_BINARY) + "' -C '" + work().string() +
                                    "' transport JPK_VAT_2017_05 2>&1 >/dev/null; }",
                                &err);
    EXPECT_EQ(code, 0) << err;
    EXPECT_NE(err.find("zbir: JPK_VAT_2017_05_A.XML: " + encoding::windows1250ToUtf8(kUnknownMessage) + "\n"),
              std::string::npos)
        << err;
    // A known form's problems with their lines: the attributes missing on line 3.
    EXPECT_NE(err.find("zbir: JPK_VAT_2017_05_B.XML, wiersz 3: Element "
                       "'{http://jpk.mf.gov.pl/wzor/2016/10/26/10261/}KodFormularza'"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("zbir: Schemat: uwag "), std::string::npos) << err;
    EXPECT_EQ(err.find("b\xC5\x82\xC4\x85" "d"), std::string::npos) << err;  // not marked as an error
}

TEST(InputCheckMessages, OneMessagePerProblemInProgramText)
{
    jpkforms::CheckResult check;
    check.verdict = jpkforms::Verdict::Invalid;
    check.problems = {{12, "Element 'Nazwa': '\xC5\xBC\xC3\xB3\xC5\x82w' is not valid"}, {0, "plik urwany"}};
    EXPECT_EQ(xmlsheet::schemaMessages("A.xml", check),
              (std::vector<std::string>{"A.xml, wiersz 12: Element 'Nazwa': '\xBF\xF3\xB3w' is not valid",
                                        "A.xml: plik urwany"}));
    check.problems.clear();
    EXPECT_EQ(xmlsheet::schemaMessages("A.xml", check),
              std::vector<std::string>{"A.xml: plik niezgodny ze schematem"});
    check.verdict = jpkforms::Verdict::Valid;
    EXPECT_TRUE(xmlsheet::schemaMessages("A.xml", check).empty());
}

TEST(InputCheckMessages, StatusLineSummaryFitsTheStatusLine)
{
    EXPECT_EQ(workbook::schemaSummary(1, 1), "Schemat: uwag 1 w plikach: 1, zob. ZBIR.LOG");
    EXPECT_LE(workbook::schemaSummary(99999, 999).size(), 50u);
}

}  // namespace
}  // namespace zbir::test
