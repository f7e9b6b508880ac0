// The stream decoder on files made with ffmpeg and on TCP peers that stall:
// what it accepts and why it refuses, that every picture arrives whole and in
// order, that a stalled view drops the queue, and that closing is quick and
// leaves no packet.

#include <QtTest>
#include <QTcpServer>
#include <QTcpSocket>

#include "protocol/adminservice.h"
#include "video/video.h"
#include "video/videoevent_decode.h"
#include "video/videoevent_getvideo.h"
#include "video/videoevent_init.h"

Q_DECLARE_METATYPE(uint8_t *)

// The file ffmpeg makes (no arguments: none is made), the decoder's answer, the picture's size (invalid: none) and the problem told.
struct OpenCase { QStringList ffmpegArgs; QString name; int result; QSize size; QString why; };
Q_DECLARE_METATYPE(OpenCase)
struct StallCase { QString peer, then, why; };
Q_DECLARE_METATYPE(StallCase)

namespace {

// Frame `index` of a test sequence in 4:2:0 with chroma planes of chromaWidth
// x chromaHeight: FFmpeg's input rounds them up, the decoder's buffer down.
// Byte 0 carries the index, so that frames out of order show.
QByteArray planarFrame(int index, int width, int height, int chromaWidth, int chromaHeight)
{
    QByteArray frame;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            frame += char(index * 7 + r * 3 + c * 5);
    for (int plane : {0, 1})
        for (int r = 0; r < chromaHeight; ++r)
            for (int c = 0; c < chromaWidth; ++c)
                frame += plane ? char(index * 5 + r + c * 17 + 90) : char(index * 11 + r * 13 + c + 40);
    frame[0] = char(index);
    return frame;
}

// The problems the decoder told, as "Key: detail" lines.
QStringList problems(const QSignalSpy &spy)
{
    QStringList told;
    for (const QList<QVariant> &args : spy)
        told << QStringLiteral("%1: %2").arg(QMetaEnum::fromType<Video::Problem>().valueToKey(args.at(0).value<Video::Problem>()),
                                            args.at(1).toString());
    return told;
}

// Sees the decoder's events on their way in, without taking them.
struct EventTap : QObject
{
    QList<int> inits, reads, decodes;

    void clear() { inits.clear(); reads.clear(); decodes.clear(); }

    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (int(e->type())) {
        case VideoEvent_init::EventType: inits << static_cast<VideoEvent_init *>(e)->result; break;
        case VideoEvent_getVideo::EventType: reads << static_cast<VideoEvent_getVideo *>(e)->result; break;
        case VideoEvent_decode::EventType: decodes << static_cast<VideoEvent_decode *>(e)->result; break;
        default: break;
        }
        return false;
    }
};

// A TCP peer that sends the first `head` bytes of its data at once, then
// nothing until release(): a stream that stalls mid-way.
struct StallingServer : QTcpServer
{
    QByteArray data;
    int head = 0;
    QTcpSocket *peer = nullptr;

    void release() { peer->write(data.mid(head)); }
    void incomingConnection(qintptr descriptor) override
    {
        peer = new QTcpSocket(this);
        peer->setSocketDescriptor(descriptor);
        peer->write(data.left(head));
    }
};

} // namespace

class TestVideo : public QObject
{
    Q_OBJECT

    Video *video = nullptr;
    EventTap tap;
    QTemporaryDir dir;
    QString small;   // one second of 320x240 H.264
    QList<QByteArray> frames;   // copied as the view reads them: under the frame lock
    QList<QSize> sizes;
    QMetaObject::Connection frameCopier;

    // ffmpeg -y <args> <dir>/<name>; the path, or empty when ffmpeg failed.
    QString make(const QString &name, const QStringList &args)
    {
        QProcess ffmpeg;
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.start("ffmpeg", QStringList{"-v", "error", "-y"} + args + QStringList{dir.filePath(name)});
        const bool made = ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
        return made ? dir.filePath(name) : QString();
    }

    // count frames of planarFrame() encoded losslessly by encoder.
    QString makeSequence(const QString &name, int count, int width, int height, const QStringList &encoder)
    {
        QFile raw(dir.filePath(name + ".yuv"));
        if (!raw.open(QIODevice::WriteOnly))
            return QString();
        for (int i = 0; i < count; ++i)
            raw.write(planarFrame(i, width, height, (width + 1) / 2, (height + 1) / 2));
        raw.close();
        return make(name, QStringList{"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", QStringLiteral("%1x%2").arg(width).arg(height),
                                      "-r", "25", "-i", raw.fileName()} + encoder);
    }

    void copyFrames()
    {
        frameCopier = connect(video, &Video::updateFrameMsg, this, [this](uint8_t *, int width, int height) {
            QMutexLocker lock(video->frameLock());
            const QSize size = video->frameSize();
            const int bytes = size.width() * size.height() + 2 * (size.width() / 2) * (size.height() / 2);
            frames.append(QByteArray(reinterpret_cast<const char *>(video->frameData()), bytes));
            sizes.append(QSize(width, height));
        });
    }

    // Empty when every copied picture is its source frame, of the given size,
    // and none is older than the one before it (the view may be told twice of
    // the picture still in the buffer); else the first fault.
    QString firstFaultyFrame(int width, int height) const
    {
        for (int i = 0; i < frames.size(); ++i) {
            const int index = quint8(frames.at(i).at(0));
            if (sizes.at(i) != QSize(width, height))
                return QStringLiteral("frame of %1x%2").arg(sizes.at(i).width()).arg(sizes.at(i).height());
            if (i > 0 && index < quint8(frames.at(i - 1).at(0)))
                return QStringLiteral("frame %1 after %2").arg(index).arg(quint8(frames.at(i - 1).at(0)));
            if (frames.at(i) != planarFrame(index, width, height, width / 2, height / 2))
                return QStringLiteral("frame %1 differs").arg(index);
        }
        return QString();
    }

    // Closes and delivers every event of the stream: close waits for the
    // decoder's open, read and decode to return.
    void closeAndDrain()
    {
        video->close();
        QCoreApplication::sendPostedEvents(video);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<uint8_t *>("uint8_t*");
        video = Video::instance();
        video->installEventFilter(&tap);
        small = make("small.mkv", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "1", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
        QVERIFY(!small.isEmpty());
    }

    void cleanup()
    {
        disconnect(frameCopier);
        closeAndDrain();
        frames.clear();
        sizes.clear();
        tap.clear();
    }

    void opens_what_it_can_draw_data()
    {
        QTest::addColumn<OpenCase>("c");
        const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
        const QStringList ffv1{"-frames:v", "3", "-c:v", "ffv1", "-pix_fmt", "yuv420p"};
        const QStringList x265{"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error"};
        const auto src = [](const char *size) { return QStringList{"-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=25").arg(size)}; };
        const QStringList sine{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000"};
        const QStringList both{"-map", "0", "-map", "1", "-t", "1"};   // one second of each input
        QTest::newRow("h264 640x360") << OpenCase{src("640x360") + QStringList{"-t", "1"} + x264, "a.mkv", 0, {640, 360}, ""};
        QTest::newRow("h265 320x240") << OpenCase{src("320x240") + QStringList{"-t", "1", "-pix_fmt", "yuv420p"} + x265, "b.mkv", 0, {320, 240}, ""};
        QTest::newRow("3000x2000 is the largest accepted")
            << OpenCase{src("3000x2000") + QStringList{"-frames:v", "6"} + x264, "c.mkv", 0, {3000, 2000}, ""};
        QTest::newRow("3001 wide is refused") << OpenCase{src("3001x2000") + ffv1, "d.nut", Video::NotAccepted, {}, "TooLarge: 3001x2000"};
        QTest::newRow("2001 high is refused") << OpenCase{src("3000x2001") + ffv1, "e.nut", Video::NotAccepted, {}, "TooLarge: 3000x2001"};
        QTest::newRow("of two video streams the second is decoded")
            << OpenCase{src("320x240") + src("160x120") + both + x264, "g.mkv", 0, {160, 120}, ""};
        QTest::newRow("audio beside video")
            << OpenCase{src("320x240") + sine + both + QStringList{"-c:a", "aac"} + x264, "h.mkv", 0, {320, 240}, ""};
        QTest::newRow("audio only has no video stream")
            << OpenCase{sine + QStringList{"-t", "1", "-c:a", "aac"}, "i.mkv", Video::NoVideoStream, {}, "OpenError: no video"};
        QTest::newRow("missing file") << OpenCase{{}, "missing.mkv", Video::OpenFailed, {}, "OpenError: No such file or directory"};
        QTest::newRow("not a media file")
            << OpenCase{{}, "garbage.bin", Video::OpenFailed, {}, "OpenError: Invalid data found when processing input"};
        QTest::newRow("10-bit H.265 is refused")
            << OpenCase{src("320x240") + QStringList{"-frames:v", "3", "-pix_fmt", "yuv420p10le"} + x265, "j.mkv", Video::NotAccepted, {},
                        "Unsupported: 10-bit H.265"};
    }

    void opens_what_it_can_draw()
    {
        QFETCH(OpenCase, c);
        const QString &name = c.name;
        const QSize &size = c.size;
        QString path = c.ffmpegArgs.isEmpty() ? dir.filePath(name) : make(name, c.ffmpegArgs);
        QVERIFY(!path.isEmpty());
        QFile garbage(path);
        QVERIFY(name != "garbage.bin" || (garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray("\x13\x8a\x01\xf7").repeated(2048))));
        garbage.close();
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        QSignalSpy problemSpy(video, &Video::streamProblemMsg);
        video->open(path);
        QTRY_COMPARE_WITH_TIMEOUT(tap.inits.size(), 1, 10000);
        QCOMPARE(tap.inits.first(), c.result);
        QCOMPARE(problems(problemSpy), c.why.isEmpty() ? QStringList() : QStringList{c.why});
        if (size.isValid()) {
            QTRY_VERIFY_WITH_TIMEOUT(!frameSpy.isEmpty(), 10000);
            QCOMPARE(frameSpy.first().at(1).toInt(), size.width());
            QCOMPARE(frameSpy.first().at(2).toInt(), size.height());
        }
        // The read chain ends in failed reads at the end of a file; no decode
        // ever fails on a packet of another stream, and audio packets are released.
        if (name == "h.mkv")
            QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::OtherStream)) && tap.reads.contains(int(Video::ReadFailed)), 5000);
        closeAndDrain();
        QVERIFY(!tap.decodes.contains(int(Video::SendFailed)));
        QVERIFY(!tap.reads.contains(int(Video::NotAccepted)));
        QCOMPARE(frameSpy.isEmpty(), !size.isValid());
        QVERIFY(size.isValid() || tap.reads.isEmpty());   // a failed open starts no reads
        QTRY_COMPARE(Video::packetsHeld(), 0);
    }

    void pictures_arrive_whole_and_in_read_order_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("stalled");
        QTest::newRow("64x48") << QSize(64, 48) << false;
        QTest::newRow("chroma 33 wide: 66x50") << QSize(66, 50) << false;
        QTest::newRow("odd 65x49") << QSize(65, 49) << false;
        QTest::newRow("wide 1920x16") << QSize(1920, 16) << false;
        // The decoder drops its queue and resumes at the next key frame.
        QTest::newRow("64x48, the view stalls the decoder") << QSize(64, 48) << true;
    }

    void pictures_arrive_whole_and_in_read_order()
    {
        QFETCH(QSize, size);
        QFETCH(bool, stalled);
        // Stalled: lossless H.264, so that pictures can be checked, with a key frame every 60.
        const int count = stalled ? 220 : 60;
        const int keyInterval = 60;
        const QStringList encoder = stalled ? QStringList{"-c:v", "libx264", "-qp", "0", "-g", QString::number(keyInterval),
                                                          "-sc_threshold", "0", "-bf", "0"}
                                            : QStringList{"-c:v", "ffv1"};
        const QString path = makeSequence(QStringLiteral("seq%1x%2.%3").arg(size.width()).arg(size.height()).arg(stalled ? "mkv" : "nut"),
                                          count, size.width(), size.height(), encoder);
        QVERIFY(!path.isEmpty());
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        copyFrames();
        if (stalled) {
            // A view that keeps the frame lock stalls the decoder at its first
            // picture while the whole file is read.
            video->frameLock()->lock();
            video->open(path);
            const bool read = QTest::qWaitFor([this] { return tap.reads.contains(int(Video::ReadFailed)); }, 10000);
            video->frameLock()->unlock();
            QVERIFY(read);
        } else {
            video->open(path);
        }
        // A stream that is not drained keeps its last few pictures.
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty() && quint8(frames.last().at(0)) >= count - 5, 10000);
        const QString fault = firstFaultyFrame(size.width(), size.height());
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        if (!stalled) {
            QVERIFY2(frames.size() >= count / 2, qPrintable(QString::number(frames.size())));
            return;
        }
        closeAndDrain();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first(), (QList<QVariant>{QStringLiteral("[E]preview falls behind, dropped %1 packets").arg(Video::MaxQueuedPackets),
                                               int(AdminService::Error)}));
        // Decoded: the few packets taken before the stall and those from the
        // last key frame on; decoding on from the drop would take 100.
        QVERIFY2(tap.decodes.size() <= keyInterval, qPrintable(QString::number(tap.decodes.size())));
        QCOMPARE(Video::packetsHeld(), 0);
    }

    void a_stream_that_never_starts_or_stalls_data()
    {
        // The peer: none, silent, or the first half of six seconds, then silence; then: wait for the
        // problem, close, or let the peer send the rest; and the problem told.
        QTest::addColumn<StallCase>("c");
        QTest::newRow("nothing listens") << StallCase{"none", "wait", "Refused: "};
        QTest::newRow("accepted and never answered") << StallCase{"silent", "wait", "NoAnswer: "};
        QTest::newRow("close while the open is never answered") << StallCase{"silent", "close", ""};
        QTest::newRow("close while a read is stalled") << StallCase{"half", "close", ""};
        QTest::newRow("a read is cut after 2 s and reading resumes") << StallCase{"half", "release", "Stopped: "};
    }

    void a_stream_that_never_starts_or_stalls()
    {
        QFETCH(StallCase, c);
        const QString &peer = c.peer, &then = c.then, &why = c.why;
        StallingServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));   // accepts and never answers until data is set
        const quint16 port = server.serverPort();
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        QSignalSpy problemSpy(video, &Video::streamProblemMsg);
        QElapsedTimer clock;
        clock.start();
        if (peer == "half") {
            QFile file(make("stall.ts", {"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-t", "6", "-c:v", "libx264", "-preset",
                                         "ultrafast", "-b:v", "2M", "-pix_fmt", "yuv420p", "-f", "mpegts"}));
            QVERIFY(file.open(QIODevice::ReadOnly));
            server.data = file.readAll();
            server.head = server.data.size() / 2;
            video->open(QStringLiteral("tcp://127.0.0.1:%1").arg(port));
            QTRY_VERIFY_WITH_TIMEOUT(!frameSpy.isEmpty(), 10000);
            // Until the frames of the first half have stopped coming.
            for (int seen = -1; seen != frameSpy.size(); QTest::qWait(300))
                seen = frameSpy.size();
            QCOMPARE(tap.inits, QList<int>{0});
        } else {
            if (peer == "none")
                server.close();
            video->open(QStringLiteral("rtsp://127.0.0.1:%1/uscast/11").arg(port));
            if (then == "wait") {
                QTRY_VERIFY_WITH_TIMEOUT(!problemSpy.isEmpty(), Video::OpenLimitMs + 5000);
                QVERIFY2(peer == "none" || clock.elapsed() >= Video::OpenLimitMs, qPrintable(QString::number(clock.elapsed())));
                QCOMPARE(problems(problemSpy), QStringList{why});
                return;
            }
            QTRY_VERIFY_WITH_TIMEOUT(server.peer != nullptr, 5000);
        }
        clock.start();
        if (then == "release") {
            QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::ReadFailed)), 5000);
            QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() <= 3500, qPrintable(QString::number(clock.elapsed())));
            // One cut read is a hiccup; the reads after it tell that the stream stopped.
            QVERIFY(problemSpy.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(problems(problemSpy), QStringList{why}, 5000);
            // The chain went on: once the peer sends again, frames flow again.
            const int stalledAt = frameSpy.size();
            server.release();
            QTRY_VERIFY_WITH_TIMEOUT(frameSpy.size() > stalledAt + 10, 10000);
            return;
        }
        video->close();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!video->playing());
    }
};

QTEST_GUILESS_MAIN(TestVideo)
#include "tst_video.moc"
