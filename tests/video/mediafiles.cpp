#include "mediafiles.h"

#include <QFile>
#include <QProcess>

QString MediaFiles::make(const QString &name, const QStringList &args)
{
    const QString out = path(name);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args + QStringList{out});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return QString();
    return out;
}

namespace {

quint8 luma(int index, int row, int column) { return quint8(index * 7 + row * 3 + column * 5); }
quint8 chromaU(int index, int row, int column) { return quint8(index * 11 + row * 13 + column + 40); }
quint8 chromaV(int index, int row, int column) { return quint8(index * 5 + row + column * 17 + 90); }

// Y, then U and V at chromaWidth x chromaHeight each, from the pattern above;
// byte 0 carries the index so that frames out of order show.
QByteArray planarFrame(int index, int width, int height, int chromaWidth, int chromaHeight)
{
    QByteArray frame(width * height + 2 * chromaWidth * chromaHeight, '\0');
    quint8 *p = reinterpret_cast<quint8 *>(frame.data());
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            *p++ = luma(index, r, c);
    for (int r = 0; r < chromaHeight; ++r)
        for (int c = 0; c < chromaWidth; ++c)
            *p++ = chromaU(index, r, c);
    for (int r = 0; r < chromaHeight; ++r)
        for (int c = 0; c < chromaWidth; ++c)
            *p++ = chromaV(index, r, c);
    frame[0] = char(index);
    return frame;
}

} // namespace

QByteArray MediaFiles::sourceFrame(int index, int width, int height)
{
    return planarFrame(index, width, height, (width + 1) / 2, (height + 1) / 2);
}

QByteArray MediaFiles::decodedFrame(int index, int width, int height)
{
    return planarFrame(index, width, height, width / 2, height / 2);
}

QString MediaFiles::makeSequence(const QString &name, int frames, int width, int height, const QStringList &encoder)
{
    QFile raw(path(name + QStringLiteral(".yuv")));
    if (!raw.open(QIODevice::WriteOnly))
        return QString();
    for (int i = 0; i < frames; ++i)
        raw.write(sourceFrame(i, width, height));
    raw.close();
    const QStringList input{"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", QStringLiteral("%1x%2").arg(width).arg(height),
                            "-r", "25", "-i", raw.fileName()};
    return make(name, input + encoder);
}
