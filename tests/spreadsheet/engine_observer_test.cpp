#include "engine/embedded_application.h"
#include "spreadsheet/engine_observer.h"
#include "spreadsheet/sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zbir::workbook {
namespace {

// What a window showing the engine would be told.
class Recorder : public EngineObserver {
public:
    std::vector<std::string> events;
    void cellsChanged(const Sheet& sheet, const CellArea& area) override
    {
        events.push_back("cells " + sheet.name() + " " + std::to_string(area.row1) + "," + std::to_string(area.col1));
    }
    void sheetChanged(const Sheet& sheet) override { events.push_back("sheet " + sheet.name()); }
    void workbookChanged(const Workbook& wb) override { events.push_back("workbook " + wb.name()); }
    void applicationChanged() override { events.push_back("application"); }

    bool saw(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

TEST(EngineObserver, ChangesReachTheObserver)
{
    EmbeddedApplication app;
    Recorder rec;
    app.engine().addObserver(&rec);
    app.workbooksAdd();
    EXPECT_TRUE(rec.saw("application"));
    app.setCellValue(2, 3, "x");
    EXPECT_TRUE(rec.saw("cells Arkusz1 2,3"));
    app.setColumnWidth(3, 9);
    EXPECT_TRUE(rec.saw("sheet Arkusz1"));
    app.sheetsAddAfter(1);
    EXPECT_TRUE(rec.saw("workbook Zeszyt1"));

    // A formula's new result is a change of its cell too.
    app.setCellValue(1, 1, "1");
    app.setCellFormulaR1C1(5, 5, "=R1C1*2");
    EXPECT_EQ(app.cellValue(5, 5), "2");
    rec.events.clear();
    app.setCellValue(1, 1, "4");
    EXPECT_EQ(app.cellValue(5, 5), "8");
    EXPECT_TRUE(rec.saw("cells Arkusz2 5,5"));

    app.engine().removeObserver(&rec);
    rec.events.clear();
    app.setCellValue(1, 1, "5");
    EXPECT_TRUE(rec.events.empty());
}

TEST(TextStorage, TextsSurviveHeavyOverwriting)
{
    // Overwrites leave garbage that the sheet compacts from time to time;
    // every text must still read back right afterwards.
    EmbeddedApplication app;
    app.workbooksAdd();
    std::string filler(200, 'x');
    for (int round = 0; round < 60; ++round)
        for (int r = 1; r <= 500; ++r)
            app.setCellValue(r, 1 + r % 3, std::to_string(round) + filler + std::to_string(r));
    for (int r = 1; r <= 500; ++r)
        EXPECT_EQ(app.cellValue(r, 1 + r % 3), "59" + filler + std::to_string(r));
    Sheet& sheet = app.engine().activeWorkbook()->activeSheet();
    EXPECT_EQ(sheet.cellCount(), 500u);
}

}  // namespace
}  // namespace zbir::workbook
