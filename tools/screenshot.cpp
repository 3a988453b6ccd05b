// Renders the main window for a working folder into a PNG, without a display
// (run with QT_QPA_PLATFORM=offscreen). The window caption is drawn as a
// plain title bar above the client area. Buttons named after OUT.png (object
// names, e.g. XMLXLS XLSJPK) are clicked first, in that order.
//   zbir_screenshot WORKFOLDER OUT.png [BUTTON...]

#include "shell/gui/t_fo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: zbir_screenshot WORKFOLDER OUT.png [BUTTON...]\n");
        return 2;
    }
    QApplication qapp(argc, argv);
    std::filesystem::current_path(argv[1]);
    zbir::shell::TFo fo(std::filesystem::current_path());
    fo.show();
    QApplication::processEvents();
    for (int i = 3; i < argc; ++i) {
        auto* button = fo.findChild<QAbstractButton*>(QString::fromLatin1(argv[i]));
        if (!button) {
            std::fprintf(stderr, "zbir_screenshot: no button %s\n", argv[i]);
            return 2;
        }
        button->click();
        QApplication::processEvents();
    }

    const QPixmap client = fo.grab();
    const int bar = 24;
    QImage out(client.width(), client.height() + bar, QImage::Format_RGB32);
    out.fill(QColor(0xd8, 0xdc, 0xe4));
    QPainter p(&out);
    QFont f = fo.font();
    f.setBold(false);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(6, 0, client.width() - 12, bar), Qt::AlignVCenter | Qt::AlignLeft, fo.windowTitle());
    p.drawPixmap(0, bar, client);
    p.end();
    if (!out.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "zbir_screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
