// While the user edits a cell in the spreadsheet's window, the automation
// interface refuses every call, and the operations report it in their words.

#include "support/transport_fixture.h"
#include "engine/embedded_application.h"

#include <gtest/gtest.h>

namespace zbir::test {
namespace {

using workbook::AutomationError;

class UserEditingTest : public TransportFixture {
protected:
    void SetUp() override { addXml("JPK_VAT_2017_05_A.xml", vatFile({{"10", "2.30"}})); }
    void TearDown() override
    {
        setEditing(false);
        TransportFixture::TearDown();
    }

    void setEditing(bool on)
    {
        auto* embedded = dynamic_cast<workbook::EmbeddedApplication*>(&xl());
        ASSERT_NE(embedded, nullptr);
        embedded->engine().setUserEditing(on);
    }
};

TEST_F(UserEditingTest, EveryKindOfCallIsRefusedAndChangesNothing)
{
    xl().workbooksAdd();
    xl().setCellValue(2, 3, "przed");
    setEditing(true);

    EXPECT_THROW(xl().visible(), AutomationError);
    EXPECT_THROW(xl().setVisible(true), AutomationError);
    EXPECT_THROW(xl().setScreenUpdating(false), AutomationError);
    EXPECT_THROW(xl().workbooksAdd(), AutomationError);
    EXPECT_THROW(xl().activeWorkbookName(), AutomationError);
    EXPECT_THROW(xl().sheetsSelect(1), AutomationError);
    EXPECT_THROW(xl().cellValue(2, 3), AutomationError);
    EXPECT_THROW(xl().setCellValue(2, 3, "po"), AutomationError);
    EXPECT_THROW(xl().columnWidth(1), AutomationError);

    setEditing(false);
    EXPECT_FALSE(xl().visible());
    EXPECT_TRUE(xl().screenUpdating());
    EXPECT_EQ(xl().workbooksCount(), 1);
    EXPECT_EQ(xl().cellValue(2, 3), "przed");
}

TEST_F(UserEditingTest, TransportAndReadyWorkbookSayTheCellIsBeingEdited)
{
    xl();
    setEditing(true);
    start("JPK_VAT_2017_05").MakeXLS();
    EXPECT_EQ(app->statusText(), "Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu");
    EXPECT_EQ(app->statusColour(), shell::Red);
    EXPECT_EQ(app->state, 0);
    EXPECT_FALSE(std::filesystem::exists(work() / "JPK_VAT_2017_05.XLS"));

    app->OpenXLS();
    EXPECT_EQ(app->statusText(), "Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu");

    // Once the edit ends the same button works.
    setEditing(false);
    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
}

TEST_F(UserEditingTest, CombinedFileFindsTheSpreadsheetBusy)
{
    start("JPK_VAT_2017_05").MakeXLS();
    ASSERT_TRUE(app->lastOk()) << app->statusText();
    setEditing(true);
    app->MakeJPK();
    EXPECT_EQ(app->statusText(), "Excel zaj\xEAty");
    EXPECT_EQ(app->state, 0);
    EXPECT_FALSE(std::filesystem::exists(root / "JPK_VAT_2017_05.xml"));
}

}  // namespace
}  // namespace zbir::test
