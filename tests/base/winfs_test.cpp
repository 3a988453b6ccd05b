#include "base/winfs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace zbir::base;
using zbir::test::TempDir;
using zbir::test::writeFile;
using Strings = std::vector<std::string>;

TEST(Winfs, PatternsMatchWithoutRegardToLetterCase)
{
    EXPECT_TRUE(winfs::matchPattern("*.XML", "jpk_vat_2017_05_b.xml"));
    EXPECT_TRUE(winfs::matchPattern("JPK_VAT_2017_05*.XML", "Jpk_Vat_2017_05_A.Xml"));
    EXPECT_TRUE(winfs::matchPattern("JPK_VAT_2017_05*.XML", "JPK_VAT_2017_05.XML"));
    EXPECT_TRUE(winfs::matchPattern("*.XML", "a.b.XML.XML"));
    EXPECT_TRUE(winfs::matchPattern("?.XML", "a.xml"));
    EXPECT_FALSE(winfs::matchPattern("?.XML", "ab.xml"));
    EXPECT_FALSE(winfs::matchPattern("*.XML", "a.xmlx"));
    EXPECT_FALSE(winfs::matchPattern("*.XML", "a.xm"));
    EXPECT_FALSE(winfs::matchPattern("JPK_VAT_2017_05*.XML", "JPK_VAT_2017_0.XML"));
    // Only ASCII letters fold: Polish letters are compared as written.
    EXPECT_FALSE(winfs::matchPattern("\xAF*", "\xBF.XML"));
}

TEST(Winfs, UpperTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(winfs::upper("za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1_1.xml"),
              "ZA\xBF\xF3\xB3\xE6 G\xEA\x9CL\xB9 JA\x9F\xF1_1.XML");
}

TEST(Winfs, FindFilesListsOrdinaryFilesAsProgramText)
{
    TempDir dir;
    writeFile(dir / "b.xml", "");
    writeFile(dir / "A.XML", "");
    writeFile(dir / "Zażółć.XML", "");  // UTF-8 on disk
    writeFile(dir / "c.txt", "");
    fs::create_directory(dir / "D.XML");
    EXPECT_EQ(winfs::findFiles(dir.path(), "*.XML"), (Strings{"A.XML", "Za\xBF\xF3\xB3\xE6.XML", "b.xml"}));
    EXPECT_TRUE(winfs::findFiles(dir / "missing", "*").empty());
}

TEST(Winfs, ResolveFindsExistingNamesInAnyLetterCase)
{
    TempDir dir;
    fs::create_directories(dir / "praca" / "txt");
    writeFile(dir / "jpk_vat_2017_05_b.xml", "");
    writeFile(dir / "Żółw.XML", "");
    const fs::path work = dir / "praca";
    EXPECT_EQ(winfs::resolve(work, "..\\JPK_VAT_2017_05_B.XML"), dir / "jpk_vat_2017_05_b.xml");
    // Listed names have only their ASCII letters upper-cased.
    EXPECT_EQ(winfs::resolve(work, "../\xAF\xF3\xB3W.xml"), dir / "Żółw.XML");
    EXPECT_EQ(winfs::resolve(work, "TXT\\new.TXT"), work / "txt" / "new.TXT");
    EXPECT_EQ(winfs::resolve(work, "Nowy\\plik.txt"), work / "Nowy" / "plik.txt");
}
