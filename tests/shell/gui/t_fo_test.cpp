// The main window started offscreen on temporary folder trees: its controls,
// and that its buttons and keys reach the core.

#include "encoding/charset.h"
#include "shell/doubles.h"
#include "shell/gui/t_fo.h"
#include "support/test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using zbir::shell::TFo;
using zbir::test::readFile;
using zbir::test::writeFile;

namespace {

struct Tree {
    explicit Tree(std::initializer_list<const char*> xmlFiles, const char* workName = "praca")
        : work(tmp / workName)
    {
        fs::create_directory(work);
        for (const char* name : xmlFiles)
            writeFile(tmp / name, "<JPK/>");
    }
    zbir::test::TempDir tmp;
    fs::path work;
};

std::unique_ptr<TFo> start(const Tree& t, std::span<const unsigned char> picture = zbir::shell::embeddedPicture())
{
    return std::make_unique<TFo>(t.work, std::make_shared<zbir::test::NoSpreadsheet>(), fs::path{}, picture);
}

template <class T>
T* child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c)
        ADD_FAILURE() << "no " << name;
    return c;
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList items(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

}  // namespace

TEST(Window, ControlsHaveTheirNamesKindsPlacesAndTexts)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    EXPECT_EQ(fo->objectName(), "Fo");
    EXPECT_EQ(fo->windowTitle(), u("   ZBIR  -  integrator jednolitych plików kontrolnych"));
    EXPECT_EQ(fo->size(), QSize(564, 245));
    EXPECT_EQ(fo->minimumHeight(), 245);
    EXPECT_EQ(fo->maximumHeight(), 245);
    EXPECT_GT(fo->maximumWidth(), 564);

    const struct {
        const char* name;
        const char* kind;
        QRect place;  // empty size: the control fits its text
        const char* text;
    } controls[] = {
        {"Fol", "QLabel", {16, 6, 0, 0}, nullptr},
        {"SpeedButton1", "QToolButton", {0, 5, 15, 20}, nullptr},
        {"Wyb", "QLabel", {16, 35, 0, 0}, "Wybierz grupę plików JPK"},
        {"G15", "QComboBox", {200, 31, 126, 23}, nullptr},
        {"Ext", "QLabel", {331, 35, 0, 0}, ".XML"},
        {"ESCape", "QPushButton", {381, 6, 174, 49}, "Koniec pracy ZBIR"},
        {"XMLXLS", "QPushButton", {381, 61, 174, 69}, "Transport XML do XLS"},
        {"Lis", "QListWidget", {181, 61, 189, 109}, nullptr},
        {"THBp", "QFrame", {16, 56, 154, 154}, nullptr},
        {"WczXLS", "QPushButton", {381, 136, 174, 34}, "Wczytaj gotowy XLS"},
        {"XLSJPK", "QPushButton", {381, 176, 174, 34}, "Zrób zbiorczy JPK"},
        {"Inf", "QLabel", {16, 218, 0, 0}, ""},
        {"Wyj", "QLabel", {186, 191, 0, 0}, "Plik: JPK_VAT_2017_05.XLS"},
        {"Naglowek", "QLabel", {16, 218, 0, 0}, nullptr},
        {"VerL", "QLabel", {476, 220, 0, 0}, "Wer."},
        {"Ver", "QComboBox", {506, 216, 49, 23}, nullptr},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = child<QWidget>(*fo, c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), fo.get());
        EXPECT_STREQ(w->metaObject()->className(), c.kind);
        EXPECT_EQ(w->pos(), c.place.topLeft());
        if (!c.place.size().isEmpty()) {
            EXPECT_EQ(w->size(), c.place.size());
        }
        QString text;
        if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        else if (auto* b = qobject_cast<QPushButton*>(w))
            text = b->text();
        if (c.text) {
            EXPECT_EQ(text, u(c.text));
        }
    }
    auto* THBq = child<QLabel>(*fo, "THBq");
    ASSERT_NE(THBq, nullptr);
    EXPECT_EQ(THBq->parentWidget()->objectName(), "THBp");
    EXPECT_EQ(THBq->geometry(), QRect(2, 2, 150, 150));

    const QString folder = QString::fromStdString(fs::canonical(t.work).string());
    EXPECT_EQ(child<QLabel>(*fo, "Fol")->text(), folder);
    EXPECT_EQ(child<QLabel>(*fo, "Naglowek")->text(), folder);
    auto* Ver = child<QComboBox>(*fo, "Ver");
    EXPECT_EQ(items(Ver), (QStringList{"1(1)", "1(2)"}));
    EXPECT_EQ(Ver->currentText(), "1(2)");
    EXPECT_EQ(child<QComboBox>(*fo, "G15")->maxVisibleItems(), 25);
    EXPECT_TRUE(child<QPushButton>(*fo, "XMLXLS")->isDefault());
    EXPECT_FALSE(child<QListWidget>(*fo, "Lis")->focusPolicy() & Qt::TabFocus);
}

// The longest texts each label gets (a deep working folder, a group name of
// wide letters, a long error) stay clear of every other control, in the
// window's own fonts; what is elided shows whole in the tooltip.
TEST(Window, TextsNeverCoverOtherControls)
{
    const std::string deep = "praca_" + std::string(60, 'W') + "_" + std::string(60, 'M');
    Tree t({"JPK_VAT_WWWWWWWW_A.XML", "JPK_VAT_2017_05_A.XML"}, deep.c_str());
    auto fo = start(t);
    ASSERT_TRUE(fo->app().selectGroup("JPK_VAT_WWWWWWW"));
    const std::string error = "JPK_VAT_WWWWWWW_A.XML: element <DataDo> pomini\xEAty: " + std::string(200, 'W') + " koniec";
    fo->app().showError(error);
    fo->resize(564, 245);

    auto* Inf = child<QLabel>(*fo, "Inf");
    auto* Fol = child<QLabel>(*fo, "Fol");
    ASSERT_TRUE(Inf && Fol);
    EXPECT_FALSE(Inf->isHidden());
    EXPECT_EQ(fo->app().statusText(), error);  // the core keeps the whole text
    EXPECT_EQ(Inf->toolTip(), QString::fromStdString(zbir::encoding::windows1250ToUtf8(error)));
    EXPECT_TRUE(Inf->text().endsWith(QChar(0x2026))) << Inf->text().toStdString();
    EXPECT_EQ(Fol->toolTip(), QString::fromStdString(fs::canonical(t.work).string()));

    const QList<QWidget*> controls = fo->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (const char* name : {"Inf", "Fol", "Wyb", "Ext", "Wyj", "Naglowek", "VerL"}) {
        auto* l = child<QLabel>(*fo, name);
        ASSERT_NE(l, nullptr);
        if (l->isHidden())
            continue;
        const QRect box = l->geometry();
        EXPECT_TRUE(fo->rect().contains(box)) << name;
        // The text itself fits its label's box.
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), box.width()) << name;
        for (QWidget* other : controls) {
            if (other == l || other->isHidden())
                continue;
            EXPECT_FALSE(box.intersects(other->geometry()))
                << name << " covers " << other->objectName().toStdString();
        }
    }

    // A short text shows whole, without a tooltip, and the footer returns
    // with an empty status line.
    fo->app().showProgress("Wczytany  JPK_VAT_WWWWWWW");
    EXPECT_EQ(Inf->text(), "Wczytany  JPK_VAT_WWWWWWW");
    EXPECT_TRUE(Inf->toolTip().isEmpty());
    fo->app().showProgress("");
    EXPECT_TRUE(Inf->isHidden());
    EXPECT_FALSE(child<QLabel>(*fo, "Naglowek")->isHidden());
}

TEST(Window, FontsAndColours)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    const QFont f = fo->font();
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(QFontInfo(f).fixedPitch());
    if (QFontInfo(f).family() == "Consolas") {
        EXPECT_EQ(f.pixelSize(), 13);
    } else {
        EXPECT_TRUE(f.pixelSize() >= 9 && f.pixelSize() <= 13) << f.pixelSize();
    }

    auto* Fol = child<QLabel>(*fo, "Fol");
    EXPECT_EQ(Fol->font().pixelSize(), 16);
    EXPECT_TRUE(Fol->font().bold());
    EXPECT_EQ(Fol->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_EQ(child<QListWidget>(*fo, "Lis")->font().pixelSize(), 11);
}

TEST(Window, ShowsTheGroupsAndFilesWithPolishLetters)
{
    Tree t({"JPK_VAT_2017_05_A.XML", "jpk_vat_2017_05_żółw.xml", "JPK_VAT_2017_04_A.XML", "JPK_VAT_2017_05.XML"},
           "księgowość");
    auto fo = start(t);
    auto* G15 = child<QComboBox>(*fo, "G15");
    EXPECT_EQ(items(G15), (QStringList{"JPK_VAT_2017_04", "JPK_VAT_2017_05"}));
    EXPECT_EQ(G15->currentIndex(), 1);
    EXPECT_EQ(items(child<QListWidget>(*fo, "Lis")), (QStringList{"JPK_VAT_2017_05_A.XML", u("JPK_VAT_2017_05_żółW.XML")}));
    EXPECT_TRUE(child<QLabel>(*fo, "Fol")->text().endsWith(u("/księgowość")));
    EXPECT_TRUE(child<QPushButton>(*fo, "XLSJPK")->isEnabled());
}

TEST(Window, ChoosingAGroupListsItsFilesExceptDuringAnOperation)
{
    Tree t{"JPK_VAT_2017_05_A.XML", "JPK_VAT_2017_04_A.XML", "ABC_1.XML"};
    auto fo = start(t);
    auto* G15 = child<QComboBox>(*fo, "G15");
    auto* Lis = child<QListWidget>(*fo, "Lis");
    auto* XLSJPK = child<QPushButton>(*fo, "XLSJPK");
    ASSERT_EQ(items(G15), (QStringList{"ABC_1.XML", "JPK_VAT_2017_04", "JPK_VAT_2017_05"}));

    G15->setCurrentIndex(1);
    EXPECT_EQ(items(Lis), QStringList{"JPK_VAT_2017_04_A.XML"});
    EXPECT_EQ(child<QLabel>(*fo, "Wyj")->text(), "Plik: JPK_VAT_2017_04.XLS");
    EXPECT_TRUE(XLSJPK->isEnabled());

    G15->setCurrentIndex(0);
    EXPECT_FALSE(XLSJPK->isEnabled());

    fo->app().state = 1;
    G15->setCurrentIndex(2);
    EXPECT_EQ(G15->currentIndex(), 0);
    EXPECT_EQ(fo->app().groupText(), "ABC_1.XML");
    fo->app().state = 0;
}

TEST(Window, TabOrder)
{
    const struct {
        const char* group;
        QStringList order;
    } cases[] = {
        {"JPK_VAT_2017_05_A.XML", {"ESCape", "XMLXLS", "WczXLS", "XLSJPK", "Ver", "G15"}},
        {"ABC_1.XML", {"ESCape", "XMLXLS", "WczXLS", "Ver", "G15"}},  // XLSJPK disabled
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        Tree t{c.group};
        auto fo = start(t);
        fo->show();
        fo->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(fo.get()));
        child<QComboBox>(*fo, "G15")->setFocus();
        QStringList order;
        for (int i = 0; i < c.order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        EXPECT_EQ(order, c.order);
    }
}

TEST(Window, ShowsThePictureStretchedOrGoesWithout)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    {
        auto fo = start(t);
        auto* THBq = child<QLabel>(*fo, "THBq");
        EXPECT_FALSE(THBq->pixmap().isNull());
        EXPECT_EQ(THBq->pixmap().size(), QSize(150, 150));
        EXPECT_TRUE(THBq->hasScaledContents());
    }
    const std::string garbage = "\xFF\xD8\xFF\xE0 this is no picture";
    const std::span<const unsigned char> corrupt(reinterpret_cast<const unsigned char*>(garbage.data()),
                                                 garbage.size());
    for (auto picture : {corrupt, std::span<const unsigned char>{}}) {
        auto fo = start(t, picture);
        EXPECT_TRUE(child<QLabel>(*fo, "THBq")->pixmap().isNull());
        EXPECT_EQ(items(child<QListWidget>(*fo, "Lis")), QStringList{"JPK_VAT_2017_05_A.XML"});
        EXPECT_TRUE(child<QLabel>(*fo, "Inf")->text().isEmpty());
    }
}

TEST(Window, OperationButtonsReachTheCore)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    fo->show();
    auto* Inf = child<QLabel>(*fo, "Inf");
    for (const char* name : {"XMLXLS", "WczXLS", "XLSJPK"}) {
        SCOPED_TRACE(name);
        Inf->clear();
        // No spreadsheet application can be reached: each ends on a red message.
        QTest::mouseClick(child<QPushButton>(*fo, name), Qt::LeftButton);
        EXPECT_FALSE(Inf->text().isEmpty());
        EXPECT_TRUE(Inf->isVisible());
        EXPECT_EQ(Inf->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_EQ(fo->app().state, 0);
        EXPECT_TRUE(fo->isVisible());
    }

    auto sheet = std::make_shared<zbir::test::StubApplication>();
    fo->app().xl = sheet;
    QTest::mouseClick(child<QToolButton>(*fo, "SpeedButton1"), Qt::LeftButton);
    EXPECT_TRUE(sheet->visible());
}

TEST(Window, EnterPressesTheFocusedButtonElseTransport)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    fo->show();
    fo->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fo.get()));
    auto* XMLXLS = child<QPushButton>(*fo, "XMLXLS");
    auto* WczXLS = child<QPushButton>(*fo, "WczXLS");
    QSignalSpy transport(XMLXLS, &QPushButton::clicked);
    QSignalSpy open(WczXLS, &QPushButton::clicked);

    auto* G15 = child<QComboBox>(*fo, "G15");
    G15->setFocus();
    QTest::keyClick(G15, Qt::Key_Return);
    EXPECT_EQ(transport.count(), 1);
    EXPECT_EQ(open.count(), 0);

    WczXLS->setFocus();
    QTest::keyClick(WczXLS, Qt::Key_Return);
    EXPECT_EQ(transport.count(), 1);
    EXPECT_EQ(open.count(), 1);
}

TEST(Window, EscapeDuringAnOperationRequestsStop)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    fo->show();
    auto* G15 = child<QComboBox>(*fo, "G15");
    fo->app().state = 1;  // an operation runs and shows its progress
    QCoreApplication::postEvent(G15, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    fo->app().showProgress("Transport pliku JPK_VAT_2017_05_A.XML");

    EXPECT_EQ(fo->app().state, 2);
    EXPECT_TRUE(fo->isVisible());
    EXPECT_FALSE(fo->app().closed());
    const std::string log = readFile(t.work / "ZBIR.LOG");
    EXPECT_NE(log.find("    ~~~~~  operacja anulowana  ~~~~~\r\n"), std::string::npos);

    // Closing by the window frame meanwhile is a stop request too.
    EXPECT_FALSE(fo->close());
    EXPECT_TRUE(fo->isVisible());
    fo->app().state = 0;
}

TEST(Window, EscapeWhenIdleEndsTheProgram)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    fo->show();
    QTest::keyClick(child<QComboBox>(*fo, "G15"), Qt::Key_Escape);
    EXPECT_FALSE(fo->isVisible());
    EXPECT_TRUE(fo->app().closed());
    const std::string log = readFile(t.work / "ZBIR.LOG");
    EXPECT_EQ(log.substr(log.size() - 5), "  -\r\n");
}

TEST(Window, ClosingWhileAHandlerRunsEndsTheProgramAfterIt)
{
    Tree t{"JPK_VAT_2017_05_A.XML"};
    auto fo = start(t);
    fo->show();
    auto sheet = std::make_shared<zbir::test::StubApplication>();
    fo->app().xl = sheet;
    bool refused = false;
    sheet->duringSetVisible = [&] { refused = !fo->close() && fo->isVisible(); };

    QTest::mouseClick(child<QToolButton>(*fo, "SpeedButton1"), Qt::LeftButton);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(sheet->visible());
    EXPECT_FALSE(fo->isVisible());
    EXPECT_TRUE(fo->app().closed());
}
