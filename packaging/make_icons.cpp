// Draws Korvane's icon in the desktop's usual sizes from the window's own
// picture of a computer that is on (ecran-on.bmp): the window's cream
// background becomes transparent, the picture is centred on a square and
// scaled smoothly.
//   korvane_icons ecran-on.bmp OUT_DIR SIZE...   writes OUT_DIR/SIZExSIZE/korvane.png
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

// The cream every bitmap is drawn on, so that it blends into the window.
const QColor kBackground(255, 251, 240);

QImage Transparent(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == kBackground) image.setPixelColor(x, y, Qt::transparent);
        }
    }
    return image;
}

QImage Square(const QImage& image) {
    const int side = std::max(image.width(), image.height());
    QImage square(side, side, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((side - image.width()) / 2, (side - image.height()) / 2, image);
    return square;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("Utilisation : korvane_icons ecran-on.bmp DOSSIER TAILLE...\n", stderr);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "korvane_icons : image illisible : %s\n", argv[1]);
        return 1;
    }
    const QImage square = Square(Transparent(source));
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QString("%1/%2x%2").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QDir().mkpath(dir);
        const QImage icon =
            square.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!icon.save(dir + "/korvane.png")) {
            std::fprintf(stderr, "korvane_icons : écriture impossible dans %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
