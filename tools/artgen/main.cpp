// Paints the client's image resources and writes them into a resources folder:
//   artgen OUTPUT_RESOURCES_DIR   (writes OUTPUT/icon, OUTPUT/kesto, OUTPUT/receipt and OUTPUT/hicolor)
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.

#include "artwork.h"
#include "canvas.h"
#include "catalogue.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>
#include <QtEndian>

namespace {

// 96 dpi at scale 1, written explicitly so the files do not depend on the screen the generator runs on.
constexpr int dotsPerMeter = 3780;
// The program icon's sizes: the tray and title bars from 100 % to 200 % display scaling, and a
// large one for the desktop.
constexpr int iconSides[] = {16, 20, 24, 32, 40, 48, 64, 128};
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
    image.setDotsPerMeterX(qRound(dotsPerMeter * image.devicePixelRatio()));
    image.setDotsPerMeterY(qRound(dotsPerMeter * image.devicePixelRatio()));
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

// One icon file of every size: Qt writes an icon of one image, so the images of single-image files
// are gathered behind one directory.
bool writeIcon(const std::function<QImage()> &paint, const QString &path)
{
    constexpr int headerSize = 6, entrySize = 16;
    QByteArray directory(headerSize, '\0'), images;
    qToLittleEndian<quint16>(1, directory.data() + 2);
    qToLittleEndian<quint16>(std::size(iconSides), directory.data() + 4);
    // Painted once and scaled down: a painter does not scale below one device pixel per pixel.
    const QImage large = paint();
    for (const int side : iconSides) {
        QBuffer single;
        single.open(QIODevice::WriteOnly);
        if (!QImageWriter(&single, "ico")
                 .write(large.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation))) {
            err() << path << ": cannot write a " << side << " pixel icon" << Qt::endl;
            return false;
        }
        QByteArray entry = single.data().mid(headerSize, entrySize);
        const quint32 offset = qFromLittleEndian<quint32>(entry.constData() + 12);
        qToLittleEndian<quint32>(headerSize + entrySize * std::size(iconSides) + images.size(),
                                 entry.data() + 12);
        directory += entry;
        images += single.data().mid(offset);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(directory + images) == directory.size() + images.size())
        return true;
    err() << path << ": " << file.errorString() << Qt::endl;
    return false;
}

// The windows' bitmaps also at twice the size as name@2x, which Qt picks on a screen scaled 150 %
// or more; the receipt's logo is printed, at one size.
bool writeArtwork(const artgen::Artwork &art, const QString &path)
{
    if (path.endsWith(QLatin1String(".ico")))
        return writeIcon(art.paint, path);
    if (!writeImage(art.paint(), path))
        return false;
    if (art.path.startsWith(QLatin1String("receipt/")))
        return true;
    const QFileInfo file(path);
    artgen::setScale(2);
    const bool written = writeImage(
        art.paint(), file.dir().filePath(file.completeBaseName() + QStringLiteral("@2x.") + file.suffix()));
    artgen::setScale(1);
    return written;
}

// The program icon for the desktop's icon theme, as the Linux package installs it: painted at
// twice the scale for the largest and scaled down for the others.
bool writeThemeIcons(const QDir &root)
{
    artgen::setScale(2);
    QImage large = artgen::programIcon();
    artgen::setScale(1);
    large.setDevicePixelRatio(1);
    for (const int side : {48, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(side);
        if (!root.mkpath(folder) ||
            !writeImage(large.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                        root.filePath(folder + QStringLiteral("/kesto.png"))))
            return false;
    }
    return true;
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
        if (!writeArtwork(art, root.filePath(art.path)))
            return false;
    }
    return writeThemeIcons(root);
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
