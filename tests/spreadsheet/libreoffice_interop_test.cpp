// Workbooks as LibreOffice sees them: it recalculates our formulas from
// their A1 text and exports every sheet to CSV; it re-saves our files and
// we read them back.

#include "support/test_support.h"
#include "engine/embedded_application.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/text_codec.h"
#include "spreadsheet/transport_workbook.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

fs::path findSoffice()
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && fs::exists(fs::path(dir) / "soffice"))
            return fs::path(dir) / "soffice";
    return {};
}

std::string quoted(const fs::path& p)
{
    std::string out = "'";
    for (char c : p.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// LibreOffice with a profile of its own that recalculates every formula on load.
class LibreOffice {
public:
    explicit LibreOffice(fs::path soffice) : m_soffice(std::move(soffice))
    {
        fs::create_directories(m_profile / "user");
        test::writeFile(m_profile / "user" / "registrymodifications.xcu", R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
)");
    }

    // Converts files; `filter` as --convert-to takes it.
    void convert(const std::vector<fs::path>& inputs, const std::string& filter, const fs::path& outdir)
    {
        std::string cmd = quoted(m_soffice) + " -env:UserInstallation=file://" + m_profile.path().string() +
                          " --headless --norestore --convert-to '" + filter + "' --outdir " + quoted(outdir);
        for (const auto& in : inputs)
            cmd += " " + quoted(in);
        std::string output;
        int status = test::runCommand(cmd, &output);
        ASSERT_EQ(status, 0) << output;
    }

private:
    fs::path m_soffice;
    TempDir m_profile;
};

// Every sheet to "<name>-<sheet>.csv": comma separated, UTF-8, values as stored, not as shown.
const char* const kCsvAllSheets = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";

std::vector<std::vector<std::string>> readCsv(const fs::path& path)
{
    std::string text = test::readFile(path);
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += '"', ++i;
            else if (c == '"')
                inQuotes = false;
            else
                field += c;
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            rows.back().push_back(std::move(field));
            field.clear();
            rows.emplace_back();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !rows.back().empty())
        rows.back().push_back(std::move(field));
    else
        rows.pop_back();
    return rows;
}

std::string csvCell(const std::vector<std::vector<std::string>>& rows, int row, int col)
{
    if (row > static_cast<int>(rows.size()) || col > static_cast<int>(rows[static_cast<size_t>(row - 1)].size()))
        return {};
    return rows[static_cast<size_t>(row - 1)][static_cast<size_t>(col - 1)];
}

class LibreOfficeInterop : public ::testing::Test {
protected:
    // One profile for the suite: LibreOffice's first start in a profile is slow.
    static void SetUpTestSuite()
    {
        auto soffice = findSoffice();
        if (!soffice.empty())
            s_office = new LibreOffice(soffice);
    }
    static void TearDownTestSuite()
    {
        delete s_office;
        s_office = nullptr;
    }
    void SetUp() override
    {
        if (!s_office)
            GTEST_SKIP() << "soffice is not installed (package libreoffice-calc-nogui); LibreOffice interop not tested";
        m_office = s_office;
    }
    static inline LibreOffice* s_office = nullptr;
    LibreOffice* m_office = nullptr;
    TempDir m_dir;
};

TEST_F(LibreOfficeInterop, RecalculatedFormulasGiveOurResults)
{
    auto path = m_dir / "JPK_VAT_2017 05.XLS";
    auto app = std::make_shared<EmbeddedApplication>();
    buildTransportWorkbook(*app);
    app->sheetsSelect(2);
    app->setCellFormulaR1C1(8, 19, "=(R2C+R3C)*2-R4C/4");
    app->setCellFormulaR1C1(9, 19, "='-SUMA-'!R7C19-SUM(R2C19:R6C19,R[-1]C)");
    app->activeWorkbookSaveAs(path.string());

    // A control made without the engine, with a wrong cached result: LibreOffice must recalculate it.
    auto control = m_dir / "control.xlsx";
    lxw_workbook* book = workbook_new(control.c_str());
    lxw_worksheet* ws = workbook_add_worksheet(book, "k");
    worksheet_write_number(ws, 0, 0, 2, nullptr);
    worksheet_write_formula_num(ws, 1, 0, "=A1*21", nullptr, 1);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    auto out = m_dir / "csv";
    fs::create_directory(out);
    m_office->convert({path, control}, kCsvAllSheets, out);
    ASSERT_EQ(csvCell(readCsv(out / "control-k.csv"), 2, 1), "42") << "LibreOffice did not recalculate";

    Workbook& wb = *app->engine().activeWorkbook();
    for (int i = 0; i < wb.sheetCount(); ++i) {
        Sheet& sheet = wb.sheet(i);
        auto csv = out / ("JPK_VAT_2017 05-" + text::toUtf8(sheet.name()) + ".csv");
        ASSERT_TRUE(fs::exists(csv)) << csv;
        auto rows = readCsv(csv);
        int checked = 0;
        for (int r = 1; r <= sheet.usedRows(); ++r)
            for (const Cell& cell : sheet.rowCells(r)) {
                if (!cell.hasContent())
                    continue;
                std::string ours = sheet.valueText(r, cell.col);
                std::string theirs = csvCell(rows, r, cell.col);
                double a = 0, b = 0;
                if (cell.kind == CellKind::Formula && parseNumber(ours, a) && parseNumber(theirs, b))
                    EXPECT_NEAR(a, b, 1e-9) << sheet.name() << " R" << r << "C" << cell.col;
                else
                    EXPECT_EQ(text::toUtf8(ours), theirs) << sheet.name() << " R" << r << "C" << cell.col;
                ++checked;
            }
        EXPECT_GT(checked, 3) << sheet.name();
    }
    app->sheetsSelect(1);
    EXPECT_EQ(csvCell(readCsv(out / "JPK_VAT_2017 05--SUMA-.csv"), 7, 19), "4007.5");
}

TEST_F(LibreOfficeInterop, AmountColumnTestSurvivesALibreOfficeResave)
{
    auto path = m_dir / "G.XLS";
    auto app = std::make_shared<EmbeddedApplication>();
    buildTransportWorkbook(*app);
    app->activeWorkbookSaveAs(path.string());
    auto amountColumns = [](Application& a, int sheet) {
        a.sheetsSelect(sheet);
        std::string flags;
        for (int c = 1; c <= 80; ++c)
            flags += a.columnWidth(c) > 0.28 ? 'K' : '.';
        return flags;
    };
    std::string suma = amountColumns(*app, 1), file = amountColumns(*app, 2);

    auto out = m_dir / "resaved";
    fs::create_directory(out);
    m_office->convert({path}, "xlsx", out);
    auto reread = std::make_shared<EmbeddedApplication>();
    reread->workbooksOpen((out / "G.xlsx").string());
    EXPECT_EQ(amountColumns(*reread, 1), suma);
    EXPECT_EQ(amountColumns(*reread, 2), file);
    reread->sheetsSelect(2);
    EXPECT_LE(reread->columnWidth(30), 0.28);
    EXPECT_GT(reread->columnWidth(30), 0.14);
    reread->sheetsSelect(1);
    EXPECT_EQ(reread->cellValue(7, 19), "4007.5");
    EXPECT_EQ(reread->cellValue(1, 1), "JPK_VAT_2017 05");
    reread->sheetsSelect(3);
    EXPECT_EQ(reread->cellValue(3, 6), "0017");
}

}  // namespace
}  // namespace zbir::workbook
