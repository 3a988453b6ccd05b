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
    EXPECT_EQ(app->statusText(), "Dziwny  JPK_VAT_2017_05: w A1 pierwszego arkusza \"jpk_vat_2017_05\", nie "
                                 "JPK_VAT_2017_05");
    EXPECT_EQ(app->statusColour(), shell::Red);
    EXPECT_EQ(logLines().back(), "  ... " + app->statusText());
}

// A workbook that is there but cannot be read: the message gives the
// reader's reason, in the status line and in the log; "Nie ma" only for
// one that is not there.
TEST_F(ReadyTest, AnUnreadableWorkbookSaysWhy)
{
    start(kGroup);
    writeFile(work() / (kGroup + ".XLS"), "PK\x03\x04 urwany");
    app->OpenXLS();
    EXPECT_FALSE(app->lastOk());
    const std::string text = app->statusText();
    EXPECT_EQ(text.rfind("Nie mog\xEA wczyta\xE6 JPK_VAT_2017_05.XLS: Plik ", 0), 0u) << text;
    EXPECT_NE(text.find("nie jest czytelnym skoroszytem ("), std::string::npos) << text;
    EXPECT_EQ(logLines().back(), "  ... " + text);

    workbookWith("");
    app->OpenXLS();
    EXPECT_EQ(app->statusText(), "Dziwny  JPK_VAT_2017_05: w A1 pierwszego arkusza nic, nie JPK_VAT_2017_05");
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
