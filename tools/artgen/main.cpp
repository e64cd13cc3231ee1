// Paints the client's image resources and writes them into a resources folder:
//   artgen OUTPUT_RESOURCES_DIR   (writes OUTPUT/icon, OUTPUT/kesto and OUTPUT/receipt)
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.

#include "canvas.h"
#include "catalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

namespace {

// 96 dpi, written explicitly so the files do not depend on the screen the generator runs on.
constexpr int dotsPerMeter = 3780;
constexpr int jpegQuality = 100;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool captionFontInstalled()
{
    return QFontDatabase().families().contains(QLatin1String(artgen::captionFamily));
}

bool writeImage(QImage image, const QString &path)
{
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QImageWriter writer(path, format);
    if (format == "jpg") {
        image = image.convertToFormat(QImage::Format_RGB32);
        writer.setQuality(jpegQuality);
    }
    if (writer.write(image))
        return true;
    err() << path << ": " << writer.errorString() << Qt::endl;
    return false;
}

bool writeAll(const QDir &root)
{
    for (const char *folder : {"icon", "kesto", "receipt"}) {
        if (!root.mkpath(QLatin1String(folder))) {
            err() << "cannot create " << root.filePath(QLatin1String(folder)) << Qt::endl;
            return false;
        }
    }
    for (const artgen::Artwork &art : artgen::catalogue()) {
        if (!writeImage(art.paint(), root.filePath(art.path)))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err() << "usage: artgen OUTPUT_RESOURCES_DIR" << Qt::endl;
        return 2;
    }
    // A substitute font would change every caption, so refuse rather than write different files.
    if (!captionFontInstalled()) {
        err() << "font family \"" << artgen::captionFamily << "\" is not installed" << Qt::endl;
        return 1;
    }
    return writeAll(QDir(args.at(1))) ? 0 : 1;
}
