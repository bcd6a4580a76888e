// Takes a screenshot of the X screen for the road test and counts the pixels of one colour in it.
//   velmorat_screen_grab OUT.png [RRGGBB]
// Prints "<count> <left> <top> <right> <bottom>" of the colour's pixels (count 0: no box).
#include <cstdio>
#include <cstdlib>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmorat_screen_grab OUT.png [RRGGBB]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "velmorat_screen_grab: no screen\n");
        return 1;
    }
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "velmorat_screen_grab: cannot save %s\n", argv[1]);
        return 1;
    }
    if (argc < 3) return 0;
    const QRgb wanted = 0xFF000000u | static_cast<QRgb>(std::strtoul(argv[2], nullptr, 16));
    long count = 0;
    int left = shot.width(), top = shot.height(), right = -1, bottom = -1;
    for (int y = 0; y < shot.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            if (line[x] != wanted) continue;
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (count == 0) left = top = 0, right = bottom = -1;
    std::printf("%ld %d %d %d %d\n", count, left, top, right, bottom);
    return 0;
}
