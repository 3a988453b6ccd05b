#include "shell/gui/t_fo.h"

#include "encoding/charset.h"
#include "base/winfs.h"
#include "engine/gui/sheet_window_provider.h"
#include "shell/messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

namespace zbir::shell {

namespace winfs = base::winfs;

namespace {

QString qtext(const std::string& programText)
{
    return QString::fromStdString(encoding::windows1250ToUtf8(programText));
}

// A colour value as the window's resource gives it: 0x00BBGGRR.
QColor colourValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void setTextColour(QWidget* w, int value)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colourValue(value));
    w->setPalette(pal);
}

// Consolas 13 px bold; elsewhere the system's monospace font, bold, made
// small enough that a 15-character group name is no wider than in Consolas
// 13 px (7 pixels a letter), so that the texts fit the controls laid out for it.
QFont windowFont()
{
    QFont font;
    const bool consolas = QFontDatabase::hasFamily(QStringLiteral("Consolas"));
    font.setFamily(consolas ? QStringLiteral("Consolas")
                            : QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setBold(true);
    font.setPixelSize(13);
    if (!consolas) {
        const QString groupName(15, QLatin1Char('W'));
        while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(groupName) > 15 * 7)
            font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

// Drop-down lists as narrow as G15 and Ver need their text to start at the
// left edge to show a whole group name.
const char* const kNarrowComboStyle = "QComboBox { padding-left: 2px; padding-right: 0px; }";

// The glyph of SpeedButton1: a small green worksheet.
QIcon sheetGlyph()
{
    QPixmap pm(11, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.fillRect(0, 0, 11, 14, Qt::white);
    p.fillRect(0, 0, 11, 3, QColor(0x2f, 0x6b, 0x3a));
    p.setPen(QColor(0x2f, 0x6b, 0x3a));
    p.drawRect(0, 0, 10, 13);
    for (int y = 6; y < 13; y += 3)
        p.drawLine(1, y, 9, y);
    p.drawLine(5, 3, 5, 12);
    return QIcon(pm);
}

QLabel* label(QWidget* parent, const char* name, int x, int y, const std::string& text = {})
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);  // file names and tags are never markup
    l->setText(qtext(text));
    l->move(x, y);
    l->adjustSize();
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QRect& r, const std::string& text)
{
    auto* b = new QPushButton(qtext(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    // Enter presses the focused button; elsewhere it reaches the window,
    // which presses the default button.
    b->setAutoDefault(true);
    return b;
}

// Gap kept between a label's text and the next control on its line.
constexpr int kLabelGap = 6;

// The text of `l`, elided where it would pass `maxWidth` pixels (folders in
// the middle, messages at the end), and whole in its tooltip then.
void setLabelText(QLabel* l, const std::string& text, int maxWidth, Qt::TextElideMode mode)
{
    const QString whole = qtext(text);
    const QFontMetrics metrics(l->font());
    const int room = std::max(0, maxWidth - 2 * l->margin());
    const QString shown = metrics.horizontalAdvance(whole) > room ? metrics.elidedText(whole, mode, room) : whole;
    l->setText(shown);
    l->setToolTip(shown == whole ? QString() : whole);
    l->adjustSize();
    if (l->width() > maxWidth)
        l->resize(maxWidth, l->height());
}

}  // namespace

TFo::TFo(const std::filesystem::path& workFolder, std::shared_ptr<workbook::Provider> provider,
         std::filesystem::path programFile, std::span<const unsigned char> picture, QWidget* parent)
    : QWidget(parent),
      // The embedded spreadsheet application gets its window when the
      // automation object is first obtained.
      m_app(workFolder, *this, std::make_shared<workbook::SheetWindowProvider>(std::move(provider)),
            std::move(programFile))
{
    setObjectName(QStringLiteral("Fo"));
    setWindowTitle(qtext("   ZBIR  -  integrator jednolitych plik\xF3w kontrolnych"));
    setFont(windowFont());
    resize(564, 245);
    setMinimumHeight(245);
    setMaximumHeight(245);
    createControls();
    setPicture(picture);
    connectControls();
    guarded([this] { m_app.FoCreat(); });
}

void TFo::createControls()
{
    Fol = label(this, "Fol", 16, 6);
    QFont folFont = font();
    folFont.setPixelSize(16);
    folFont.setBold(true);
    Fol->setFont(folFont);
    setTextColour(Fol, DarkRed);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(0, 5, 15, 20);
    SpeedButton1->setIcon(sheetGlyph());
    SpeedButton1->setIconSize(QSize(11, 14));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);

    Wyb = label(this, "Wyb", 16, 35, "Wybierz grup\xEA plik\xF3w JPK");

    G15 = new QComboBox(this);
    G15->setObjectName(QStringLiteral("G15"));
    G15->setGeometry(200, 31, 126, 23);
    G15->setMaxVisibleItems(25);
    G15->setStyleSheet(QString::fromLatin1(kNarrowComboStyle));

    Ext = label(this, "Ext", 331, 35, ".XML");

    ESCape = button(this, "ESCape", QRect(381, 6, 174, 49), "Koniec pracy ZBIR");
    XMLXLS = button(this, "XMLXLS", QRect(381, 61, 174, 69), "Transport XML do XLS");
    XMLXLS->setDefault(true);

    Lis = new QListWidget(this);
    Lis->setObjectName(QStringLiteral("Lis"));
    Lis->setGeometry(181, 61, 189, 109);
    Lis->setFocusPolicy(Qt::ClickFocus);
    QFont lisFont = font();
    lisFont.setPixelSize(11);
    Lis->setFont(lisFont);

    THBp = new QFrame(this);
    THBp->setObjectName(QStringLiteral("THBp"));
    THBp->setGeometry(16, 56, 154, 154);
    THBp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    THBp->setLineWidth(2);
    THBq = new QLabel(THBp);
    THBq->setObjectName(QStringLiteral("THBq"));
    THBq->setGeometry(2, 2, 150, 150);
    THBq->setScaledContents(true);

    WczXLS = button(this, "WczXLS", QRect(381, 136, 174, 34), "Wczytaj gotowy XLS");
    XLSJPK = button(this, "XLSJPK", QRect(381, 176, 174, 34), "Zr\xF3" "b zbiorczy JPK");
    XLSJPK->setEnabled(false);  // until a group of a known JPK type is chosen

    Wyj = label(this, "Wyj", 186, 191);
    Naglowek = label(this, "Naglowek", 16, 218);
    VerL = label(this, "VerL", 476, 220, "Wer.");
    Ver = new QComboBox(this);
    Ver->setObjectName(QStringLiteral("Ver"));
    Ver->setGeometry(506, 216, 49, 23);
    Ver->setStyleSheet(QString::fromLatin1(kNarrowComboStyle));
    Ver->addItem(QStringLiteral("1(1)"));
    Ver->addItem(QStringLiteral("1(2)"));
    Ver->setCurrentIndex(1);

    // The status line takes the bottom line, in place of the folder's
    // footer, up to the version label: it never covers another control.
    Inf = label(this, "Inf", Naglowek->x(), Naglowek->y());
    Inf->hide();

    setTabOrder(G15, ESCape);
    setTabOrder(ESCape, XMLXLS);
    setTabOrder(XMLXLS, WczXLS);
    setTabOrder(WczXLS, XLSJPK);
    setTabOrder(XLSJPK, Ver);
    G15->setFocus();
}

void TFo::connectControls()
{
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { m_app.SpeedButton1Click(); }); });
    connect(ESCape, &QPushButton::clicked, this, [this] { guarded([this] { m_app.ExiZBIR(); }); });
    connect(XMLXLS, &QPushButton::clicked, this, [this] { guarded([this] { m_app.MakeXLS(); }); });
    connect(WczXLS, &QPushButton::clicked, this, [this] { guarded([this] { m_app.OpenXLS(); }); });
    connect(XLSJPK, &QPushButton::clicked, this, [this] { guarded([this] { m_app.MakeJPK(); }); });
    connect(G15, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto& groups = m_app.groups();
        if (index >= 0 && static_cast<size_t>(index) < groups.size())
            guarded([this, g = groups[static_cast<size_t>(index)]] { m_app.selectGroup(g); });
    });
}

void TFo::setPicture(std::span<const unsigned char> jpeg)
{
    const Picture pic = decodeJpeg(jpeg);
    if (pic.empty())
        return;  // the window goes without its picture
    const QImage image(pic.rgb.data(), pic.width, pic.height, pic.width * 3, QImage::Format_RGB888);
    THBq->setPixmap(QPixmap::fromImage(
        image.scaled(150, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

template <class F>
void TFo::guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        m_app.showError(winfs::fromNative(e.what()));
    } catch (...) {
        m_app.showError(msg::kError);
    }
}

void TFo::showFolder(const std::string& text)
{
    setLabelText(Fol, text, ESCape->x() - kLabelGap - Fol->x(), Qt::ElideMiddle);
    setLabelText(Naglowek, text, VerL->x() - kLabelGap - Naglowek->x(), Qt::ElideMiddle);
}

void TFo::showGroups(const std::vector<std::string>& groups, int selected)
{
    const QSignalBlocker block(G15);
    bool same = G15->count() == static_cast<int>(groups.size());
    for (int i = 0; same && i < G15->count(); ++i)
        same = G15->itemText(i) == qtext(groups[static_cast<size_t>(i)]);
    if (!same) {
        G15->clear();
        for (const std::string& g : groups)
            G15->addItem(qtext(g));
    }
    G15->setCurrentIndex(selected);
}

void TFo::showFiles(const std::vector<std::string>& files)
{
    Lis->clear();
    for (const std::string& f : files)
        Lis->addItem(qtext(f));
}

void TFo::showOutputName(const std::string& text)
{
    setLabelText(Wyj, text, ESCape->x() - kLabelGap - Wyj->x(), Qt::ElideMiddle);
}

void TFo::showVersion(const std::string& text)
{
    const int i = Ver->findText(qtext(text));
    if (i >= 0)
        Ver->setCurrentIndex(i);
}

void TFo::enableJpkButton(bool on)
{
    XLSJPK->setEnabled(on);
}

void TFo::showStatus(const std::string& text, int colour)
{
    setLabelText(Inf, text, VerL->x() - kLabelGap - Inf->x(), Qt::ElideRight);
    setTextColour(Inf, colour);
    Inf->setVisible(!text.empty());
    Naglowek->setVisible(text.empty());
}

void TFo::processEvents()
{
    QApplication::processEvents();
}

// Hides QWidget::geometry() within this class; Qt reaches that one through
// QWidget pointers.
Geometry TFo::geometry() const
{
    Geometry g;
    const QRect frame = frameGeometry();
    g.top = frame.top();
    g.height = frame.height();
    g.width = frame.width();
    g.clientWidth = width();
    if (const QScreen* s = screen())
        g.screenHeight = s->geometry().height();
    return g;
}

void TFo::closeWindow()
{
    close();
}

void TFo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        ESCape->click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (XMLXLS->isEnabled())
            XMLXLS->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Closing by the window frame ends the program without the exit button's log
// entry. While an operation runs it acts as the exit button (a stop request,
// or the end once the handler returns), so that nothing goes on behind a
// vanished window.
void TFo::closeEvent(QCloseEvent* event)
{
    if (!m_app.closed() && ((m_app.state >= Running && m_app.state <= kLastRunningState) || m_app.busy())) {
        guarded([this] { m_app.ExiZBIR(); });
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace zbir::shell
