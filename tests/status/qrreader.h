#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Reads a QR code back the way a scanner would: the image is saved as a PNG
// and handed to zbarimg. Returns the decoded text, or a null string when
// nothing was found. When keepAs is given the PNG is also saved there.
inline QString readQRCode(const QImage &image, const QString &keepAs = QString())
{
    QTemporaryDir dir;
    const QString path = keepAs.isEmpty() ? dir.filePath(QStringLiteral("code.png")) : keepAs;
    if (!image.save(path, "PNG"))
        return QString();
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"), QStringLiteral("-Sdisable"),
                                           QStringLiteral("-Sqrcode.enable"), path});
    if (!zbar.waitForFinished(10000) || zbar.exitStatus() != QProcess::NormalExit || zbar.exitCode() != 0)
        return QString();
    QByteArray out = zbar.readAllStandardOutput();
    if (out.endsWith('\n'))
        out.chop(1);
    return QString::fromLocal8Bit(out);
}
