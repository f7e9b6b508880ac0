#include "icofile.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace {

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void putU32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xff));
}

} // namespace

QByteArray IcoFile::bitmapEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;

    QByteArray out;
    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
    putU32(out, 40);
    putU32(out, quint32(w));
    putU32(out, quint32(h * 2));
    putU16(out, 1);  // planes
    putU16(out, 32); // bits per pixel
    putU32(out, 0);  // uncompressed
    putU32(out, quint32(w * h * 4 + maskStride * h));
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);

    // Colour rows, bottom up, in BGRA order with straight alpha.
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            out.append(char(qAlpha(line[x])));
        }
    }
    // AND mask, bottom up: a set bit is a fully transparent pixel.
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

QByteArray IcoFile::pngEntry(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return out;
}

QByteArray IcoFile::encode(const QVector<QImage> &images)
{
    QVector<QByteArray> payloads;
    for (const QImage &image : images)
        payloads.append(image.width() <= 128 ? bitmapEntry(image) : pngEntry(image));

    QByteArray out;
    putU16(out, 0); // reserved
    putU16(out, 1); // icon
    putU16(out, quint16(images.size()));

    quint32 offset = quint32(6 + 16 * images.size());
    for (int i = 0; i < images.size(); ++i) {
        const QImage &image = images.at(i);
        // A stored 0 means 256 pixels.
        out.append(char(image.width() >= 256 ? 0 : image.width()));
        out.append(char(image.height() >= 256 ? 0 : image.height()));
        out.append(char(0)); // no palette
        out.append(char(0)); // reserved
        putU16(out, 1);      // planes
        putU16(out, 32);     // bits per pixel
        putU32(out, quint32(payloads.at(i).size()));
        putU32(out, offset);
        offset += quint32(payloads.at(i).size());
    }
    for (const QByteArray &payload : payloads)
        out.append(payload);
    return out;
}

bool IcoFile::write(const QString &path, const QVector<QImage> &images, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encode(images)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
