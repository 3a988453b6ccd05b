#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zbir::shell {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::runCommand;
using test::TempDir;
using test::writeFile;

int zbir(const std::string& args, std::string* output)
{
    return runCommand("'" + std::string(ZBIR_BINARY) + "' " + args + " 2>&1", output);
}

// `zbir sprawdz`: a verdict per file, every problem with its line, exit 1
// as soon as one file is invalid or of an unknown form.
TEST(CheckCommand, VerdictsProblemsAndExitCodes)
{
    TempDir tmp;
    const fs::path good = test::sourceDir() / "examples/jpk/JPK_VAT_2017_05_A.XML";
    ASSERT_TRUE(fs::exists(good));
    std::string text = readFile(good);
    const std::size_t k = text.find("<K_19>");
    ASSERT_NE(k, std::string::npos);
    std::string bad = text;
    bad.insert(k + 6, "12a");
    writeFile(tmp / "zle.xml", bad);
    writeFile(tmp / "obcy.xml", "<?xml version=\"1.0\"?><JPK xmlns=\"urn:inny\"><a/></JPK>");

    std::string out;
    EXPECT_EQ(zbir("sprawdz '" + good.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("poprawny (JPK_VAT(2))"), std::string::npos) << out;

    EXPECT_EQ(zbir("-C '" + tmp.path().string() + "' sprawdz zle.xml", &out), 1) << out;
    EXPECT_NE(out.find("zle.xml: NIEPOPRAWNY (JPK_VAT(2))"), std::string::npos) << out;
    const std::size_t line = static_cast<std::size_t>(std::count(bad.begin(), bad.begin() + k, '\n') + 1);
    EXPECT_NE(out.find("zle.xml:" + std::to_string(line) + ": "), std::string::npos) << out;
    EXPECT_NE(out.find("K_19"), std::string::npos) << out;

    EXPECT_EQ(zbir("sprawdz '" + good.string() + "' '" + (tmp / "obcy.xml").string() + "' '" +
                       (tmp / "brak.xml").string() + "'",
                   &out),
              1)
        << out;
    EXPECT_NE(out.find("obcy.xml: nieznany formularz (przestrze\xC5\x84 nazw urn:inny)"), std::string::npos)
        << out;
    EXPECT_NE(out.find("brak.xml: nie ma takiego pliku"), std::string::npos) << out;
    EXPECT_NE(out.find("sprawdzono plik\xC3\xB3w: 3, niepoprawnych lub nieznanych: 2"), std::string::npos)
        << out;

    EXPECT_EQ(zbir("sprawdz", &out), 2) << out;
}

}  // namespace
}  // namespace zbir::shell
