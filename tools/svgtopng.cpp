// svgtopng: renders an SVG file as a square PNG of the given size in pixels,
// for the icon theme sizes of the desktop entry.
//   svgtopng <input.svg> <size> <output.png>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fputs("usage: svgtopng <input.svg> <size> <output.png>\n", stderr);
        return 2;
    }
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || size < 1 || size > 1024) {
        std::fprintf(stderr, "svgtopng: size %s is not a whole number from 1 to 1024\n", argv[2]);
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svgtopng: %s is not a readable SVG file\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "svgtopng: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
