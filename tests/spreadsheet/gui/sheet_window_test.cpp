// The spreadsheet window over the example group's transported workbook:
// what it shows, edits that reach the combined file and the saved workbook,
// and how it follows and blocks the automation calls of the operations.

#include "shell/app.h"
#include "support/test_support.h"
#include "engine/embedded_application.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_model.h"
#include "engine/gui/sheet_window.h"
#include "engine/gui/sheet_window_provider.h"
#include "spreadsheet/text_metrics.h"
#include "spreadsheet/workbook.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

namespace zbir::workbook {
namespace {

namespace fs = std::filesystem;

const std::string kGroup = "JPK_VAT_2017_05";
const char* const kEditing = "Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu";

// The main window, without a screen of its own; events reach Qt.
class QtPort : public shell::WindowPort {
public:
    void processEvents() override { QApplication::processEvents(); }
    shell::Geometry geometry() const override { return place; }
    shell::Geometry place;
};

// An amount as the sheet shows it: a no-break space between thousands.
QString amount(const char* text)
{
    return QString::fromLatin1(text).replace(QLatin1Char(' '), QChar(0xA0));
}

// Columns of the file sheets: K_19 and K_20 of JPK_VAT(2).
constexpr int kK19 = 19;
constexpr int kK20 = 20;

class SheetWindowTest : public ::testing::Test {
protected:
    SheetWindowTest()
    {
        const fs::path examples = test::sourceDir() / "examples" / "jpk";
        fs::create_directory(work);
        // Only the tracked inputs (upper-case .XML): a combined file that a
        // run of the example left beside them is no input of the group.
        for (const auto& e : fs::directory_iterator(examples))
            if (e.is_regular_file() && e.path().extension() == ".XML")
                fs::copy_file(e.path(), root / e.path().filename());
        fs::copy_file(examples / "praca" / "Podmiot1.JPK", work / "Podmiot1.JPK");
    }

    // The example group transported, as the button does it.
    void transport()
    {
        app = std::make_unique<shell::App>(work, port, provider);
        app->FoCreat();
        ASSERT_TRUE(app->selectGroup(kGroup));
        app->MakeXLS();
        ASSERT_TRUE(app->lastOk()) << app->statusText();
        ASSERT_NE(provider->window(), nullptr);
        noDialogs();
        window().refresh();
    }

    // Questions and reports fail the test instead of waiting for a user.
    void noDialogs()
    {
        window().report = [](const QString& message) { ADD_FAILURE() << message.toStdString(); };
        window().ask = [](const QString& question) {
            ADD_FAILURE() << question.toStdString();
            return SheetWindow::Answer::Cancel;
        };
    }

    SheetWindow& window() { return *provider->window(); }
    Application& xl() { return *app->xl; }
    SheetModel& model() { return *window().model(); }
    SheetGrid& grid() { return *window().grid(); }
    Sheet& sheet() { return *model().sheet(); }
    QModelIndex at(int row, int col) { return model().index(row - 1, col - 1); }
    QVariant shown(int row, int col, int role = Qt::DisplayRole) { return model().data(at(row, col), role); }

    // Clicks the tab of sheet `index` once the window shows what the operations did.
    void showSheet(int index)
    {
        window().refresh();
        window().tabs()->setCurrentIndex(index - 1);
        ASSERT_EQ(sheet().name(), xl().sheetsName(index));
    }

    // Types `text` into a cell through the grid's editor and presses Enter.
    void typeIntoCell(int row, int col, const QString& text)
    {
        grid().setCurrentIndex(at(row, col));
        ASSERT_TRUE(grid().editCell(at(row, col)));
        auto* editor = qobject_cast<QLineEdit*>(grid().cellEditor());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();  // the editor commits once the key is handled
        ASSERT_FALSE(grid().editing());
    }

    std::string combinedFile()
    {
        app->MakeJPK();
        EXPECT_TRUE(app->lastOk()) << app->statusText();
        return test::readFile(root / (kGroup + ".xml"));
    }

    test::TempDir root;
    fs::path work = root / "praca";
    QtPort port;
    std::shared_ptr<SheetWindowProvider> provider =
        std::make_shared<SheetWindowProvider>(makeEmbeddedProvider());
    std::unique_ptr<shell::App> app;
};

// The value of the first element `name` in `xml`.
std::string element(const std::string& xml, const std::string& name)
{
    std::smatch m;
    if (!std::regex_search(xml, m, std::regex("<" + name + ">([^<]*)</" + name + ">")))
        return "(none)";
    return m[1].str();
}

// The sales record of `xml` that holds `mark`.
std::string sale(const std::string& xml, const std::string& mark)
{
    const auto at = xml.find(mark);
    if (at == std::string::npos)
        return {};
    const auto from = xml.rfind("<SprzedazWiersz", at);
    const auto to = xml.find("</SprzedazWiersz>", at);
    return from == std::string::npos || to == std::string::npos ? std::string() : xml.substr(from, to - from);
}

TEST_F(SheetWindowTest, ComesWithTheApplicationAndFollowsVisible)
{
    app = std::make_unique<shell::App>(work, port, provider);
    app->FoCreat();
    EXPECT_EQ(provider->window(), nullptr);  // no spreadsheet yet

    app->OpenXLS();  // obtains the application and makes it visible; no workbook yet
    ASSERT_NE(provider->window(), nullptr);
    noDialogs();
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(window().tabs()->count(), 0);

    xl().setVisible(false);
    EXPECT_FALSE(window().isVisible());
    xl().setVisible(true);
    EXPECT_TRUE(window().isVisible());

    // Closed by the user: Visible reads false, and the next operation shows it again.
    window().close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(xl().visible());
    app->MakeXLS();
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    EXPECT_TRUE(window().isVisible());
}

TEST_F(SheetWindowTest, ShowsTheSheetsAndFormattedValuesOfTheTransportedWorkbook)
{
    transport();
    QTabBar* tabs = window().tabs();
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "-SUMA-");
    EXPECT_EQ(tabs->tabText(1), "A");
    EXPECT_EQ(tabs->tabText(2), "B");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(window().windowTitle(), QString::fromUtf8("JPK_VAT_2017_05.XLS[*] - Arkusz kalkulacyjny ZBIR"));

    // -SUMA-: group name, headings, per-file totals in bold when not zero, the grand total.
    EXPECT_EQ(shown(1, 1).toString(), "JPK_VAT_2017_05");
    EXPECT_EQ(shown(1, kK19).toString(), "K_19");
    EXPECT_EQ(shown(4, 1).toString(), "JPK_VAT_2017_05_A.XML");
    EXPECT_EQ(shown(4, kK19).toString(), amount("4 827,25"));
    EXPECT_EQ(shown(5, kK19).toString(), amount("640,00"));
    EXPECT_EQ(shown(7, kK19).toString(), amount("5 467,25"));
    EXPECT_EQ(shown(4, 15).toString(), amount("0,00"));
    EXPECT_TRUE(shown(4, kK19, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(shown(4, 15, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(shown(7, kK19, Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(shown(4, kK19, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(shown(1, 1, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    // The edit line shows the formula behind a total.
    grid().setCurrentIndex(at(5, kK19));
    EXPECT_EQ(window().editLine()->text(), "='B'!$S$1");

    // Sizes: hairline columns, the 4-point spacer row, the first two rows frozen.
    EXPECT_EQ(grid().columnWidth(1), metrics::columnPixels(0.14));
    EXPECT_LE(grid().columnWidth(1), 2);
    EXPECT_GT(grid().columnWidth(kK19 - 1), 50);
    EXPECT_EQ(grid().rowHeight(2), SheetGrid::rowPixels(4));
    EXPECT_EQ(grid().frozenRows(), 2);
    EXPECT_TRUE(grid().frozenView()->isVisible());

    // A file sheet: texts as stored in 8 points, amounts formatted, its SUM row.
    showSheet(3);
    EXPECT_EQ(shown(33, 3).toString(), QString::fromUtf8("Drukarnia Łęgowska Jolanta Bąk"));
    EXPECT_EQ(shown(34, 17).toString(), amount("1 024,80"));
    EXPECT_EQ(shown(1, kK19).toString(), amount("640,00"));
    EXPECT_NEAR(shown(33, 3, Qt::FontRole).value<QFont>().pointSizeF(), 8, 2.5);
    grid().setCurrentIndex(at(1, kK19));
    EXPECT_EQ(window().editLine()->text(), "=SUM(S$2:S$46)");
    EXPECT_EQ(grid().frozenRows(), 0);
    EXPECT_FALSE(grid().frozenView()->isVisible());
}

TEST_F(SheetWindowTest, ActiveSheetAndSelectionFollowBothWays)
{
    transport();
    xl().sheetsSelect(3);
    xl().cellSelect(40, 3);
    window().refresh();
    EXPECT_EQ(window().tabs()->currentIndex(), 2);
    EXPECT_EQ(grid().currentIndex(), at(40, 3));
    EXPECT_EQ(window().editLine()->text(), QString::fromUtf8("Biuro Rachunkowe Ćwik i Wspólnicy s.c."));

    xl().rangeSelect("B33:D34");
    window().refresh();
    EXPECT_TRUE(grid().selectionModel()->isSelected(at(34, 4)));
    EXPECT_FALSE(grid().selectionModel()->isSelected(at(35, 4)));

    // The user's choices are the application's.
    window().tabs()->setCurrentIndex(1);
    EXPECT_EQ(xl().activeSheetName(), "A");
    grid().setCurrentIndex(at(12, 5));
    EXPECT_EQ(sheet().selection().activeRow, 12);
    EXPECT_EQ(sheet().selection().activeCol, 5);
}

TEST_F(SheetWindowTest, GridEditFollowsTheAutomationRulesAndReachesTheCombinedFile)
{
    transport();
    const std::string mark = "<NrKontrahenta>7743206151</NrKontrahenta>";
    const std::string before = combinedFile();
    ASSERT_EQ(element(sale(before, mark), "K_20"), "147.2");
    const double taxBefore = std::stod(element(before, "PodatekNalezny"));

    showSheet(3);
    typeIntoCell(33, kK20, "150,5");  // an amount column: a number, typed with a decimal comma
    EXPECT_EQ(shown(33, kK20).toString(), amount("150,50"));
    EXPECT_EQ(shown(1, kK20).toString(), amount("150,50"));  // the sheet's total follows
    EXPECT_EQ(grid().currentIndex(), at(34, kK20));          // Enter moves down
    typeIntoCell(33, 5, "=1+1");                             // a text column keeps what is typed
    EXPECT_EQ(shown(33, 5).toString(), "=1+1");

    showSheet(1);
    EXPECT_EQ(shown(5, kK20).toString(), amount("150,50"));

    const std::string after = combinedFile();
    EXPECT_EQ(element(sale(after, mark), "K_20"), "150.5");
    EXPECT_EQ(element(sale(after, mark), "DowodSprzedazy"), "=1+1");
    EXPECT_NEAR(std::stod(element(after, "PodatekNalezny")), taxBefore + 3.30, 0.001);
}

TEST_F(SheetWindowTest, EditsUndoAndRedoUntilAutomationChangesTheWorkbook)
{
    transport();
    showSheet(3);
    typeIntoCell(34, 17, "2000");
    typeIntoCell(34, 3, "");  // an emptied cell
    ASSERT_EQ(window().undoStack()->count(), 2);
    EXPECT_EQ(xl().cellValue(34, 3), "");

    window().undoStack()->undo();
    EXPECT_EQ(xl().cellValue(34, 3), "Ksi\xEAgarnia \x84Pod Sow\xB9\x94 Anna Wr\xF3" "bel");
    window().undoStack()->undo();
    EXPECT_EQ(xl().cellValue(34, 17), "1024.8");
    EXPECT_EQ(xl().cellValue(1, 17), "1024.8");
    window().undoStack()->redo();
    EXPECT_EQ(xl().cellValue(1, 17), "2000");
    EXPECT_EQ(shown(1, 17).toString(), amount("2 000,00"));

    // Delete clears the selected cells as one edit.
    grid().selectionModel()->select(QItemSelection(at(33, 1), at(34, 2)), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grid(), Qt::Key_Delete);
    EXPECT_EQ(xl().cellValue(33, 2), "");
    EXPECT_EQ(xl().cellValue(34, 1), "");
    window().undoStack()->undo();
    EXPECT_EQ(xl().cellValue(33, 2), "7743206151");

    xl().setCellValue(50, 1, "automat");
    EXPECT_EQ(window().undoStack()->count(), 0);
}

TEST_F(SheetWindowTest, SaveWritesTheFileAndReopeningKeepsTheEdit)
{
    transport();
    const fs::path path = work / (kGroup + ".XLS");
    showSheet(3);
    typeIntoCell(33, kK19, "700");
    EXPECT_TRUE(window().isWindowModified());

    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QTest::keyClick(&grid(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(window().isWindowModified());
    for (const auto& e : fs::directory_iterator(work))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

    xl().activeWorkbookClose();
    window().refresh();
    EXPECT_EQ(window().tabs()->count(), 0);
    app->OpenXLS();
    EXPECT_EQ(app->statusText(), "Wczytany  " + kGroup);
    xl().sheetsSelect(3);
    EXPECT_EQ(xl().cellValue(33, kK19), "700");
    window().refresh();
    EXPECT_EQ(shown(33, kK19).toString(), amount("700,00"));
    xl().sheetsSelect(1);
    EXPECT_EQ(xl().cellValue(5, kK19), "700");
}

TEST_F(SheetWindowTest, ClosingWithUnsavedEditsAsks)
{
    transport();
    const fs::path path = work / (kGroup + ".XLS");
    const auto savedTime = fs::last_write_time(path);
    showSheet(3);
    typeIntoCell(33, kK19, "701");

    QStringList questions;
    window().ask = [&](const QString& q) {
        questions << q;
        return SheetWindow::Answer::Cancel;
    };
    window().close();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.front().contains("JPK_VAT_2017_05.XLS"));
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(xl().workbooksCount(), 1);

    window().ask = [&](const QString&) { return SheetWindow::Answer::Save; };
    window().close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(xl().workbooksCount(), 0);
    EXPECT_NE(fs::last_write_time(path), savedTime);
    xl().workbooksOpen(path.string());
    xl().sheetsSelect(3);
    EXPECT_EQ(xl().cellValue(33, kK19), "701");

    // Discarding leaves the file as it was.
    xl().setVisible(true);
    window().refresh();
    showSheet(3);
    typeIntoCell(33, kK19, "702");
    window().ask = [&](const QString&) { return SheetWindow::Answer::Discard; };
    window().close();
    xl().workbooksOpen(path.string());
    xl().sheetsSelect(3);
    EXPECT_EQ(xl().cellValue(33, kK19), "701");
}

TEST_F(SheetWindowTest, AnOpenCellEditorMakesTheOperationsReportTheEdit)
{
    transport();
    showSheet(3);
    grid().setCurrentIndex(at(33, kK19));
    ASSERT_TRUE(grid().editCell(at(33, kK19)));
    auto* editor = qobject_cast<QLineEdit*>(grid().cellEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "9");

    // The user turns to the main window: the editor stays open.
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(editor, &away);
    ASSERT_TRUE(grid().editing());

    app->MakeXLS();
    EXPECT_EQ(app->statusText(), kEditing);
    app->OpenXLS();
    EXPECT_EQ(app->statusText(), kEditing);
    app->MakeJPK();
    EXPECT_EQ(app->statusText(), "Excel zaj\xEAty");
    EXPECT_FALSE(fs::exists(root / (kGroup + ".xml")));

    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(grid().editing());
    EXPECT_EQ(xl().cellValue(33, kK19), "640");
    app->MakeJPK();
    EXPECT_TRUE(app->lastOk()) << app->statusText();

    // The edit line is a cell editor too.
    showSheet(3);
    grid().setCurrentIndex(at(33, kK19));
    QTest::keyClick(window().editLine(), Qt::Key_End);
    QTest::keyClicks(window().editLine(), "1");
    ASSERT_EQ(window().editLine()->text(), "6401");
    app->MakeXLS();
    EXPECT_EQ(app->statusText(), kEditing);
    EXPECT_EQ(window().editLine()->text(), "6401");
    QTest::keyClick(window().editLine(), Qt::Key_Return);
    EXPECT_EQ(xl().cellValue(33, kK19), "6401");
}

TEST_F(SheetWindowTest, ThePlacementBelowTheMainWindowMovesAndSizesIt)
{
    transport();
    const int screen = window().screen()->geometry().height();
    port.place = {100, 245, 564, 564, screen};
    combinedFile();
    EXPECT_FALSE(window().isMaximized());
    const QRect frame = window().frameGeometry();
    EXPECT_NEAR(frame.top(), 100 + 245, 1);
    EXPECT_NEAR(frame.bottom(), screen - 21, 2);
}

TEST_F(SheetWindowTest, NoRefreshWhileScreenUpdatingIsOff)
{
    transport();
    showSheet(2);
    const long before = window().refreshCount();
    const int rowsShown = model().rowCount();
    xl().setScreenUpdating(false);
    for (int r = 1; r <= 3000; ++r)
        xl().setCellValue(r, 1, std::to_string(r));
    QTest::qWait(SheetWindow::kRefreshMs * 2);
    EXPECT_EQ(window().refreshCount(), before);
    EXPECT_EQ(model().rowCount(), rowsShown);

    xl().setScreenUpdating(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window().refreshCount() > before; }, 5000));
    QTest::qWait(SheetWindow::kRefreshMs);
    EXPECT_EQ(window().refreshCount(), before + 1);
    EXPECT_GE(model().rowCount(), 3000);
    EXPECT_EQ(shown(3000, 1).toString(), "3000");
}

TEST_F(SheetWindowTest, LargeSheetScrollsUnderItsFrozenRows)
{
    transport();
    xl().sheetsAddAfter(3);
    xl().setScreenUpdating(false);
    xl().setCellValue(1, 1, "naglowek");
    for (int r = 3; r <= 100000; ++r)
        xl().setCellValue(r, 1, std::to_string(r));
    xl().setSplitRow(2);
    xl().cellSelect(100000, 1);
    window().resize(600, 400);
    QApplication::processEvents();
    xl().setScreenUpdating(true);
    window().refresh();

    EXPECT_GE(model().rowCount(), 100000);
    EXPECT_EQ(grid().frozenRows(), 2);
    const QRect last = grid().visualRect(at(100000, 1));
    EXPECT_TRUE(grid().viewport()->rect().contains(last.center()));
    EXPECT_EQ(shown(100000, 1).toString(), "100000");
    // Below the frozen rows the grid shows a scrolled row, above them rows 1 and 2.
    QTableView* frozen = grid().frozenView();
    EXPECT_EQ(frozen->indexAt(QPoint(5, 2)).row(), 0);
    EXPECT_GT(grid().indexAt(QPoint(5, frozen->height() + 2)).row(), 1000);

    // Back up to row 3: it shows right below the frozen rows, not under them.
    grid().setCurrentIndex(at(3, 1));
    EXPECT_EQ(grid().verticalScrollBar()->value(), 0);
    EXPECT_EQ(grid().indexAt(QPoint(5, frozen->height() + 2)).row(), 2);
}

TEST_F(SheetWindowTest, AHairlineColumnWidenedByTheUserKeepsItsWidth)
{
    transport();
    showSheet(3);
    ASSERT_LE(grid().columnWidth(8), 2);  // column I
    grid().horizontalHeader()->resizeSection(8, 75);
    EXPECT_DOUBLE_EQ(xl().columnWidth(9), metrics::widthOfPixels(75));
    window().refresh();
    EXPECT_EQ(grid().columnWidth(8), 75);
    EXPECT_TRUE(window().isWindowModified());
}

}  // namespace
}  // namespace zbir::workbook
