// Writes the images of an .ico as PNGs into an icon theme directory, one per requested size:
//   ico_to_png ICON.ico THEME_DIR NAME SIZE...  ->  THEME_DIR/<SIZE>x<SIZE>/apps/NAME.png
// Where the icon holds a size at several colour depths, the deepest is taken. Qt's own ico
// reader does the decoding, the one the program's window icon goes through.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QMap>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: ico_to_png ICON.ico THEME_DIR NAME SIZE...\n");
        return 2;
    }
    QImageReader reader(arguments[1], "ico");
    QMap<int, QImage> deepest;
    for (int index = 0; index < reader.imageCount(); ++index) {
        if (!reader.jumpToImage(index)) {
            break;
        }
        const QImage image = reader.read();
        if (image.isNull() || image.width() != image.height()) {
            continue;
        }
        const QImage& kept = deepest[image.width()];
        if (kept.isNull() || image.depth() > kept.depth()) {
            deepest[image.width()] = image;
        }
    }
    if (deepest.isEmpty()) {
        std::fprintf(stderr, "ico_to_png: %s: %s\n", qPrintable(arguments[1]),
                     qPrintable(reader.errorString()));
        return 1;
    }
    for (qsizetype i = 4; i < arguments.size(); ++i) {
        const int size = arguments[i].toInt();
        const QImage image = deepest.value(size);
        if (image.isNull()) {
            std::fprintf(stderr, "ico_to_png: %s holds no %dx%d image\n", qPrintable(arguments[1]),
                         size, size);
            return 1;
        }
        const QString directory = QStringLiteral("%1/%2x%2/apps").arg(arguments[2]).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(directory, arguments[3]);
        if (!QDir().mkpath(directory) ||
            !image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            std::fprintf(stderr, "ico_to_png: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
