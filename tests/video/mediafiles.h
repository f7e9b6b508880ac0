#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Small media files made with the ffmpeg command for the decoder tests, and
// the planar pictures that lossless ones are known to hold.
class MediaFiles
{
public:
    // ffmpeg -y <args> <dir>/<name>; the path, or empty when ffmpeg failed.
    QString make(const QString &name, const QStringList &args);

    // Frame `index` of a width x height test sequence in FFmpeg's own 4:2:0
    // layout (chroma planes of (width+1)/2 x (height+1)/2). Byte 0 is the index.
    static QByteArray sourceFrame(int index, int width, int height);
    // The same picture as the decoder's frame buffer holds it: tight rows,
    // chroma planes of width/2 x height/2 (rounded down).
    static QByteArray decodedFrame(int index, int width, int height);
    // frames frames of sourceFrame() encoded losslessly by encoder, in the
    // container the name's extension picks.
    QString makeSequence(const QString &name, int frames, int width, int height,
                         const QStringList &encoder = {"-c:v", "ffv1"});

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};
