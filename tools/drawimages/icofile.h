#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// Writes a Windows icon file holding several square images. Images up to 128
// pixels are stored as 32-bit bitmaps with an AND mask, larger ones as PNG, the
// way the system's own icons are stored, so that every reader finds a size it
// understands. Readers that open one image take the first, so put the size meant
// for plain image use first.
class IcoFile
{
public:
    static bool write(const QString &path, const QVector<QImage> &images, QString *error);
    static QByteArray encode(const QVector<QImage> &images);

private:
    static QByteArray bitmapEntry(const QImage &image);
    static QByteArray pngEntry(const QImage &image);
};
