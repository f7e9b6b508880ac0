// Draws every image the tool embeds into a folder, ready for the resource compiler.
//
//   drawimages OUTDIR                 writes OUTDIR/btn/*.png (each also as @2x),
//                                     OUTDIR/logo/*.ico and the menu icon in the
//                                     desktop's sizes, OUTDIR/hicolor/NxN/apps/searcher.png
//   drawimages --contact-sheet PATH   also writes every image enlarged four times on
//                                     light, grey and dark backgrounds, for review

#include "artwork.h"
#include "icofile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <cstdio>

namespace {

bool writeFile(const QString &outDir, const ArtworkFile &file)
{
    const QString path = QDir(outDir).filePath(file.path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        std::fprintf(stderr, "drawimages: cannot create the folder of %s\n", qPrintable(path));
        return false;
    }
    if (path.endsWith(QLatin1String(".ico"))) {
        QString error;
        if (!IcoFile::write(path, file.images, &error)) {
            std::fprintf(stderr, "drawimages: %s: %s\n", qPrintable(path), qPrintable(error));
            return false;
        }
        return true;
    }
    if (!file.images.first().save(path, "PNG")) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The views of one file on the sheet: PNGs at their own size and at the size they
// are shown at, icon files at their smaller stored sizes.
QVector<QImage> sheetViews(const ArtworkFile &file)
{
    QVector<QImage> views;
    if (file.images.size() == 1) {
        const QImage &image = file.images.first();
        views.append(image);
        if (image.width() != file.shownSize)
            views.append(image.scaled(file.shownSize, file.shownSize, Qt::KeepAspectRatio,
                                      Qt::SmoothTransformation));
        return views;
    }
    for (int size : {16, 20, 32, 48}) {
        for (const QImage &image : file.images) {
            if (image.width() == size)
                views.append(image);
        }
    }
    return views;
}

bool writeContactSheet(const QString &path, const QVector<ArtworkFile> &files)
{
    const int zoom = 4;
    const int gap = 16;
    // Line 1 holds the PNGs, line 2 the icon files.
    QVector<QVector<QImage>> lines(2);
    for (const ArtworkFile &file : files) {
        QVector<QImage> &line = lines[file.images.size() == 1 ? 0 : 1];
        for (const QImage &view : sheetViews(file))
            line.append(view.scaled(view.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        line.append(QImage()); // a wider gap between files
    }
    int width = 0;
    QVector<int> lineHeights;
    for (const QVector<QImage> &line : lines) {
        int w = gap;
        int h = 0;
        for (const QImage &image : line) {
            w += image.isNull() ? gap : image.width() + gap;
            h = qMax(h, image.height());
        }
        width = qMax(width, w);
        lineHeights.append(h);
    }
    int bandHeight = gap;
    for (int h : lineHeights)
        bandHeight += h + gap;

    const QColor backgrounds[3] = {QColor(0xf0, 0xf0, 0xf0), QColor(0x80, 0x80, 0x80),
                                   QColor(0x2b, 0x2d, 0x31)};
    QImage sheet(width, bandHeight * 3, QImage::Format_ARGB32);
    QPainter p(&sheet);
    for (int band = 0; band < 3; ++band) {
        p.fillRect(0, band * bandHeight, width, bandHeight, backgrounds[band]);
        int y = band * bandHeight + gap;
        for (int l = 0; l < lines.size(); ++l) {
            int x = gap;
            for (const QImage &image : lines.at(l)) {
                if (image.isNull()) {
                    x += gap;
                    continue;
                }
                p.drawImage(x, y, image);
                x += image.width() + gap;
            }
            y += lineHeights.at(l) + gap;
        }
    }
    p.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!sheet.save(path, "PNG")) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the images the tool embeds."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("outdir"), QStringLiteral("Folder to write the images to."));
    const QCommandLineOption sheetOption(QStringLiteral("contact-sheet"),
                                         QStringLiteral("Also write a review sheet of every image to <path>."),
                                         QStringLiteral("path"));
    parser.addOption(sheetOption);
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.isEmpty() && !parser.isSet(sheetOption))) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }

    const QVector<ArtworkFile> files = Artwork::all();
    if (!positional.isEmpty()) {
        for (const ArtworkFile &file : files) {
            if (!writeFile(positional.first(), file))
                return 1;
        }
    }
    if (parser.isSet(sheetOption) && !writeContactSheet(parser.value(sheetOption), files))
        return 1;
    return 0;
}
