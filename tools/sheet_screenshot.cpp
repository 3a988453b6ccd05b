// Renders the spreadsheet window into a PNG, without a display (run with
// QT_QPA_PLATFORM=offscreen): the main window in WORKFOLDER transports its
// preselected group, as the button does, and the spreadsheet window is drawn
// with sheet SHEET (1-based, default 1) active, scrolled to CELL (default A1),
// and a caption bar above it.
//   zbir_sheet_screenshot WORKFOLDER OUT.png [SHEET [CELL]]

#include "shell/gui/t_fo.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_window.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTabBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: zbir_sheet_screenshot WORKFOLDER OUT.png [SHEET [CELL]]\n");
        return 2;
    }
    QApplication qapp(argc, argv);
    std::filesystem::current_path(argv[1]);
    auto provider = zbir::workbook::makeEmbeddedProvider();
    zbir::shell::TFo fo(std::filesystem::current_path(), provider);
    fo.show();
    fo.app().MakeXLS();
    if (!fo.app().lastOk() || !fo.app().xl) {
        std::fprintf(stderr, "zbir_sheet_screenshot: the transport failed\n");
        return 1;
    }
    zbir::workbook::Application& xl = *fo.app().xl;
    xl.sheetsSelect(argc > 3 ? std::atoi(argv[3]) : 1);
    xl.rangeSelect(argc > 4 ? argv[4] : "A1");

    zbir::workbook::SheetWindow* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<zbir::workbook::SheetWindow*>(w))
            window = s;
    if (!window) {
        std::fprintf(stderr, "zbir_sheet_screenshot: no spreadsheet window\n");
        return 1;
    }
    window->resize(1000, 420);
    window->activateWindow();  // the current cell shows its frame
    window->refresh();
    window->grid()->scrollTo(window->grid()->currentIndex(), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();

    const QPixmap client = window->grab();
    const int bar = 24;
    QImage out(client.width(), client.height() + bar, QImage::Format_RGB32);
    out.fill(QColor(0xd8, 0xdc, 0xe4));
    QPainter p(&out);
    p.setPen(Qt::black);
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
    p.drawText(QRect(6, 0, client.width() - 12, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
    p.drawPixmap(0, bar, client);
    p.end();
    if (!out.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "zbir_sheet_screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
