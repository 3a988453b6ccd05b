// Transported workbooks checked from outside: real JPK sample files, and the
// saved file read by another spreadsheet program.

#include "support/transport_fixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

// Sum of the numeric values of element K_<column> in an XML text, prefixed or not.
double amountSum(const std::string& xml, int column)
{
    const std::regex element("<(?:\\w+:)?K_" + std::to_string(column) + ">\\s*([-0-9.]+)\\s*<");
    double sum = 0;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), element); it != std::sregex_iterator(); ++it) {
        try {
            sum += std::stod((*it)[1].str());
        } catch (const std::exception&) {
        }
    }
    return sum;
}

std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field);
            field.clear();
        } else if (c == '\n') {
            rows.back().push_back(field);
            field.clear();
            rows.emplace_back();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.empty() || !rows.back().empty())
        rows.back().push_back(field);
    else
        rows.pop_back();
    return rows;
}

class SavedWorkbookTest : public TransportFixture {};

TEST_F(SavedWorkbookTest, VatSamplesTotalsMatchTheirFiles)
{
    ZBIR_REQUIRE_SHARED(shared);
    const fs::path samples = shared / "samples";
    std::vector<std::string> texts;
    for (const auto& e : fs::directory_iterator(samples / "JPK_VAT")) {
        std::string name = e.path().filename().string();
        for (char& c : name)
            if (c == '(' || c == ')' || c == '-')
                c = '_';
        texts.push_back(readFile(e.path()));
        addXml("JPK_VAT_SAMPLE_" + std::to_string(texts.size()) + "_" + name, texts.back());
    }
    ASSERT_FALSE(texts.empty());
    start("JPK_VAT_SAMPLE_");
    ASSERT_EQ(app->files().size(), texts.size());
    app->MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();

    // Files listed in sorted order: match each sheet to its text by name.
    xl().sheetsSelect(1);
    const int n = static_cast<int>(texts.size());
    int amounts = 0;  // totals other than 0 compared
    for (int k = 0; k < n; ++k) {
        const std::string listed = xl().cellValue(4 + k, 1);
        const std::size_t at = listed.find('_', 15);
        const int which = std::stoi(listed.substr(15, at - 15)) - 1;
        for (int c = 10; c <= 48; ++c) {
            const double expected = amountSum(texts[static_cast<std::size_t>(which)], c);
            const std::string shown = xl().cellValue(4 + k, c);
            if (shown.empty()) {
                EXPECT_NEAR(expected, 0, 1e-9) << listed << " K_" << c;
            } else {
                EXPECT_NEAR(number(shown), expected, 0.005) << listed << " K_" << c;
                amounts += expected != 0;
            }
        }
    }
    EXPECT_GT(amounts, 5);
    for (int k = 2; k <= n + 1; ++k) {
        xl().sheetsSelect(k);
        bool signed_ = false;
        for (int r = 2; r < 2000 && !signed_; ++r)
            signed_ = xl().cellValue(r, 1) == "LuKa-Werks";
        EXPECT_TRUE(signed_) << xl().sheetsName(k);
    }
}

TEST_F(SavedWorkbookTest, AnotherSpreadsheetProgramComputesTheSameTotals)
{
    if (runCommand("command -v soffice") != 0)
        GTEST_SKIP() << "soffice is not installed";
    addXml("JPK_VAT_2017_05_A.xml", vatFile({{"100.00", "23.00"}, {"200.50", "46.12"}}));
    addXml("JPK_VAT_2017_05_B.xml", vatFile({{"50", "11.50"}, {"0.01", "0"}}));
    start("JPK_VAT_2017_05").MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();
    xl().sheetsSelect(1);
    std::vector<std::string> ours;
    for (int r : {4, 5, 7})
        for (int c : {19, 20})
            ours.push_back(xl().cellValue(r, c));

    // A private profile that recalculates every formula on loading.
    const fs::path profile = root / "lo-profile";
    fs::create_directories(profile / "user");
    writeFile(profile / "user" / "registrymodifications.xcu",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
              "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
              "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\">"
              "<prop oor:name=\"OOXMLRecalcMode\" oor:op=\"fuse\"><value>0</value></prop></item>\n"
              "</oor:items>\n");
    const fs::path out = root / "csv";
    std::string log;
    const int rc = runCommand("cd '" + root.path().string() + "' && soffice --headless --norestore "
                              "-env:UserInstallation=file://" + profile.string() +
                              " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false'"
                              " --outdir '" + out.string() + "' '" + (work() / "JPK_VAT_2017_05.XLS").string() + "'",
                              &log);
    ASSERT_EQ(rc, 0) << log;
    const auto rows = parseCsv(readFile(out / "JPK_VAT_2017_05.csv"));
    auto at = [&rows](int r, int c) {
        const auto& row = rows.at(static_cast<std::size_t>(r - 1));
        return static_cast<std::size_t>(c - 1) < row.size() ? row[static_cast<std::size_t>(c - 1)] : std::string();
    };
    EXPECT_EQ(at(1, 1), "JPK_VAT_2017_05");
    EXPECT_EQ(at(1, 19), "K_19");
    EXPECT_NEAR(number(at(4, 19)), 300.5, 1e-9);
    EXPECT_NEAR(number(at(5, 19)), 50.01, 1e-9);
    EXPECT_NEAR(number(at(7, 19)), 350.51, 1e-9);
    EXPECT_NEAR(number(at(7, 20)), 80.62, 1e-9);
    std::size_t i = 0;
    for (int r : {4, 5, 7})
        for (int c : {19, 20})
            EXPECT_NEAR(number(at(r, c)), number(ours[i++]), 1e-9) << r << "," << c;
}

}  // namespace
}  // namespace zbir::test
