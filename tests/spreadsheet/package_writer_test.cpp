// A workbook's sheets written and deflated each in a package of its own,
// then joined: the same package one writer makes of the whole workbook.

#include "support/fault_support.h"
#include "support/test_support.h"
#include "spreadsheet/transport_workbook.h"
#include "spreadsheet/zip_parts.h"
#include "engine/embedded_application.h"
#include "xlsx/package_writer.h"
#include "xlsx/zip_check.h"
#include "xlsx/zip_join.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;
using test::FileSizeLimit;
using test::TempDir;

// A transport-like workbook and a fourth sheet named as the joining's
// placeholder sheet would be, with rows of other heights and styles.
std::shared_ptr<EmbeddedApplication> fourSheets()
{
    auto app = std::make_shared<EmbeddedApplication>();
    buildTransportWorkbook(*app);
    app->sheetsAddAfter(3);
    app->activeSheetSetName("A");
    for (int r = 1; r <= 300; ++r) {
        app->setCellValue(r, 1, "wiersz \xB3\xF3" + std::to_string(r));
        app->setCellValue(r, 3, std::to_string(r * 1.5));
    }
    app->setRowHeight(7, 30);
    app->setRowHorizontalAlignment(9, xl::Center);
    app->setCellBold(12, 3, true);
    app->setSplitRow(1);
    return app;
}

TEST(PackageWriter, SheetsWrittenApartJoinIntoTheWholePackage)
{
    TempDir dir;
    auto app = fourSheets();
    Workbook& wb = *app->engine().activeWorkbook();
    for (int active : {1, 3, 4}) {
        SCOPED_TRACE("active sheet " + std::to_string(active));
        app->sheetsSelect(active);
        writePackage(wb, dir / "whole.xlsx", PackageWriting::Whole);
        writePackage(wb, dir / "joined.xlsx", PackageWriting::SheetsInParallel);
        EXPECT_NO_THROW(checkZipFile(dir / "joined.xlsx"));
        const auto whole = test::partsOf(test::readFile(dir / "whole.xlsx"));
        const auto joined = test::partsOf(test::readFile(dir / "joined.xlsx"));
        ASSERT_EQ(whole.size(), joined.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(whole[i].first, joined[i].first);
            if (whole[i].first != "docProps/core.xml") {  // the time it was written
                EXPECT_EQ(whole[i].second, joined[i].second) << whole[i].first;
            }
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "no part is left beside the packages";
}

TEST(PackageWriter, JoiningRefusesWhatItCannotTakeWhole)
{
    TempDir dir;
    auto app = fourSheets();
    Workbook& wb = *app->engine().activeWorkbook();
    writePackage(wb, dir / "a.xlsx", PackageWriting::Whole);
    const std::string bytes = test::readFile(dir / "a.xlsx");

    EXPECT_THROW(joinZipArchives(dir / "a.xlsx", {{"xl/worksheets/sheet9.xml", dir / "a.xlsx", "xl/workbook.xml"}},
                                 dir / "b.xlsx"),
                 ZipCheckError);
    EXPECT_THROW(joinZipArchives(dir / "a.xlsx", {{"xl/workbook.xml", dir / "a.xlsx", "xl/nothing.xml"}},
                                 dir / "b.xlsx"),
                 ZipCheckError);
    test::writeFile(dir / "cut.xlsx", bytes.substr(0, bytes.size() / 2));
    EXPECT_THROW(joinZipArchives(dir / "a.xlsx", {{"xl/workbook.xml", dir / "cut.xlsx", "xl/workbook.xml"}},
                                 dir / "b.xlsx"),
                 ZipCheckError);
    EXPECT_THROW(joinZipArchives(dir / "cut.xlsx", {}, dir / "b.xlsx"), ZipCheckError);
    EXPECT_THROW(joinZipArchives(dir / "a.xlsx", {}, dir / "missing" / "b.xlsx"), ZipCheckError);
    {
        FileSizeLimit full(bytes.size() / 2);
        EXPECT_THROW(joinZipArchives(dir / "a.xlsx", {}, dir / "b.xlsx"), ZipCheckError);
    }

    // An entry taken from another archive: its bytes, under the base's name.
    ASSERT_TRUE(joinZipArchives(dir / "a.xlsx", {{"xl/styles.xml", dir / "a.xlsx", "xl/workbook.xml"}},
                                dir / "b.xlsx"));
    std::string workbookPart, stylesPart;
    for (const auto& [name, part] : test::partsOf(test::readFile(dir / "b.xlsx"))) {
        workbookPart = name == "xl/workbook.xml" ? part : workbookPart;
        stylesPart = name == "xl/styles.xml" ? part : stylesPart;
    }
    EXPECT_EQ(stylesPart, workbookPart);
}

// A disk that fills while the sheets' packages are written, at once or
// after some are whole: the earlier file stays and no part is left.
TEST(PackageWriter, FullDiskAtAnyStepLeavesTheEarlierFileAlone)
{
    TempDir dir;
    auto app = fourSheets();
    app->activeWorkbookSaveAs((dir / "G.XLS").string());
    const std::string earlier = test::readFile(dir / "G.XLS");
    app->sheetsSelect(4);
    for (int r = 301; r <= 3000; ++r)
        app->setCellValue(r, 2, "warto\x9C\xE6 " + std::to_string(r * 31));
    for (unsigned long long limit : {4096ULL, 64ULL * 1024}) {
        SCOPED_TRACE("files up to " + std::to_string(limit) + " bytes");
        try {
            FileSizeLimit full(limit);
            app->activeWorkbookSaveAs((dir / "G.XLS").string());
            ADD_FAILURE() << "the save succeeded on a full disk";
        } catch (const AutomationError& e) {
            EXPECT_NE(std::string(e.what()).find("Nie mo\xBFna zapisa\xE6 pliku"), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::readFile(dir / "G.XLS"), earlier);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "a part or temporary file is left";
    }
}

}  // namespace
}  // namespace zbir::workbook
