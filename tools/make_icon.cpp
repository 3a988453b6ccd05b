// Writes the desktop icons from the program's own picture: PNG files of
// 48, 64 and 128 pixels a side, smoothly scaled.
//   zbir_icon OUTFOLDER      writes OUTFOLDER/zbir-48.png, zbir-64.png, zbir-128.png

#include "shell/picture.h"

#include <QImage>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zbir_icon OUTFOLDER\n");
        return 2;
    }
    std::string error;
    const zbir::shell::Picture picture = zbir::shell::decodeJpeg(zbir::shell::embeddedPicture(), &error);
    if (picture.empty()) {
        std::fprintf(stderr, "zbir_icon: the picture: %s\n", error.c_str());
        return 1;
    }
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3, QImage::Format_RGB888);
    for (int size : {48, 64, 128}) {
        const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/zbir-%1.png").arg(size);
        const QImage icon = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!icon.save(path, "PNG")) {
            std::fprintf(stderr, "zbir_icon: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
