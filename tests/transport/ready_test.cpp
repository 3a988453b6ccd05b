// The "Wczytaj gotowy XLS" button.

#include "support/transport_fixture.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

const std::string kGroup = "JPK_VAT_2017_05";

class ReadyTest : public TransportFixture {
protected:
    void SetUp() override { addXml("JPK_VAT_2017_05_A.xml", vatFile({{"10", "2.30"}})); }

    // A workbook at the group's path whose first sheet holds `a1` in A1.
    void workbookWith(const std::string& a1)
    {
        xl().workbooksAdd();
        xl().setCellValue(1, 1, a1);
        xl().activeWorkbookSaveAs((work() / (kGroup + ".XLS")).string());
        xl().activeWorkbookClose();
    }
};

TEST_F(ReadyTest, MissingWorkbook)
{
    start(kGroup).OpenXLS();
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText(), "Nie ma  JPK_VAT_2017_05");
    EXPECT_EQ(app->statusColour(), shell::Red);
}

TEST_F(ReadyTest, WorkbookMadeByTransport)
{
    start(kGroup).MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();
    while (xl().workbooksCount() > 0)
        xl().activeWorkbookClose();
    const auto logBefore = logLines();

    app->OpenXLS();
    EXPECT_TRUE(app->lastOk());
    EXPECT_EQ(app->statusText(), "Wczytany  JPK_VAT_2017_05");
    EXPECT_EQ(app->statusColour(), shell::DarkRed);
    EXPECT_EQ(xl().activeWorkbookName(), "JPK_VAT_2017_05.XLS");
    EXPECT_TRUE(xl().visible());
    EXPECT_EQ(logLines(), logBefore);  // nothing logged
}

TEST_F(ReadyTest, GroupNameInOtherLetterCaseIsStrange)
{
    start(kGroup);
    workbookWith("jpk_vat_2017_05");
    app->OpenXLS();
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText(), "Dziwny  JPK_VAT_2017_05");
    EXPECT_EQ(app->statusColour(), shell::Red);
}

TEST_F(ReadyTest, WorksWhileStateIsBusyAndLeavesItAlone)
{
    start(kGroup);
    workbookWith(kGroup);
    app->state = 1;
    app->OpenXLS();
    EXPECT_EQ(app->statusText(), "Wczytany  JPK_VAT_2017_05");
    EXPECT_EQ(app->state, 1);
    app->state = 0;
}

}  // namespace
}  // namespace zbir::test
