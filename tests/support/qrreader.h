#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Reads a QR code back the way a scanner would: the image goes to zbarimg as
// a PNG. Returns the decoded text, or a null string when nothing was found.
inline QString readQRCode(const QImage &image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("code.png"));
    QProcess zbar;
    if (image.save(path, "PNG"))
        zbar.start(QStringLiteral("zbarimg"), {"--quiet", "--raw", "-Sdisable", "-Sqrcode.enable", path});
    if (!zbar.waitForFinished(10000) || zbar.exitStatus() != QProcess::NormalExit || zbar.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(zbar.readAllStandardOutput()).chopped(1);   // zbarimg ends the text with a newline
}
