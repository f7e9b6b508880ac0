#include <QtTest>
#include <QTcpServer>
#include <QTcpSocket>

#include "mediafiles.h"
#include "protocol/adminservice.h"
#include "video/video.h"
#include "video/videoevent_decode.h"
#include "video/videoevent_getvideo.h"
#include "video/videoevent_init.h"

Q_DECLARE_METATYPE(uint8_t *)

// Sees the decoder's events on their way in, without taking them.
class EventTap : public QObject
{
public:
    QList<int> inits;
    QList<int> reads;
    QList<int> decodes;

    void clear() { inits.clear(); reads.clear(); decodes.clear(); }

protected:
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
class StallingServer : public QTcpServer
{
public:
    QByteArray data;
    int head = 0;
    QTcpSocket *peer = nullptr;

    void release()
    {
        if (peer)
            peer->write(data.mid(head));
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        peer = new QTcpSocket(this);
        peer->setSocketDescriptor(descriptor);
        peer->write(data.left(head));
    }
};

// The stream decoder on files made with ffmpeg and on TCP peers that stall:
// what it accepts, that every picture arrives whole and in order, and that
// closing is quick and leaves no packet behind.
class TestVideo : public QObject
{
    Q_OBJECT

    Video *video = nullptr;
    EventTap tap;
    MediaFiles files;
    QString small;   // one second of 320x240 H.264

    struct Frame
    {
        QByteArray bytes;
        int width;
        int height;
    };

    // Copies the frame buffer as the view would read it: under the frame lock.
    QList<Frame> frames;
    QMetaObject::Connection frameCopier;

    void copyFrames()
    {
        frameCopier = connect(video, &Video::updateFrameMsg, this, [this](uint8_t *, int width, int height) {
            QMutexLocker lock(video->frameLock());
            const QSize size = video->frameSize();
            const int bytes = size.width() * size.height() + 2 * (size.width() / 2) * (size.height() / 2);
            frames.append({QByteArray(reinterpret_cast<const char *>(video->frameData()), bytes), width, height});
        });
    }

    // Empty when every copied picture is its source frame, of the given size,
    // and none is older than the one before it; else the first fault.
    QString firstFaultyFrame(int width, int height) const
    {
        int last = -1;
        for (const Frame &frame : frames) {
            if (frame.width != width || frame.height != height)
                return QStringLiteral("frame of %1x%2").arg(frame.width).arg(frame.height);
            // The view may be told twice of the picture that is still in the
            // buffer, but never of one older than the last it saw.
            const int index = quint8(frame.bytes.at(0));
            if (index < last)
                return QStringLiteral("frame %1 after %2").arg(index).arg(last);
            last = index;
            if (frame.bytes != MediaFiles::decodedFrame(index, width, height))
                return QStringLiteral("frame %1 differs").arg(index);
        }
        return QString();
    }

    // Opens a stream whose server sends its first half, then nothing until
    // released; returns once the frames of that half have stopped coming.
    bool openHalfStalledStream(StallingServer &server, QSignalSpy &frames)
    {
        const QString path = files.make("stall.ts", {"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-t", "6",
                                                     "-c:v", "libx264", "-preset", "ultrafast", "-b:v", "2M", "-pix_fmt", "yuv420p",
                                                     "-f", "mpegts"});
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
            return false;
        server.data = file.readAll();
        server.head = server.data.size() / 2;
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        video->open(QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()));
        if (!QTest::qWaitFor([&] { return !frames.isEmpty(); }, 10000))
            return false;
        int frameCount = -1;
        while (frameCount != frames.size()) {
            frameCount = frames.size();
            QTest::qWait(300);
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<uint8_t *>("uint8_t*");
        video = Video::instance();
        video->installEventFilter(&tap);
        small = files.make("small.mkv", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "1",
                                         "-c:v", "libx264", "-pix_fmt", "yuv420p"});
        QVERIFY(!small.isEmpty());
    }

    void cleanup()
    {
        disconnect(frameCopier);
        video->close();
        QTest::qWait(50);   // let the events of the closed stream arrive and go
        frames.clear();
        tap.clear();
    }

    void opens_what_it_can_draw_data()
    {
        QTest::addColumn<QStringList>("ffmpegArgs");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("result");
        QTest::addColumn<QSize>("size");
        const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
        const QStringList ffv1{"-c:v", "ffv1", "-pix_fmt", "yuv420p"};
        QTest::newRow("h264 640x360")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-t", "1"} + x264) << "a.mkv" << 0 << QSize(640, 360);
        QTest::newRow("h265 320x240")
            << QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "1", "-c:v", "libx265", "-preset", "ultrafast",
                           "-pix_fmt", "yuv420p", "-x265-params", "log-level=error"} << "b.mkv" << 0 << QSize(320, 240);
        QTest::newRow("3000x2000 is the largest accepted")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=3000x2000:rate=25", "-frames:v", "6"} + x264) << "c.mkv" << 0 << QSize(3000, 2000);
        QTest::newRow("3001 wide is refused")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=3001x2000:rate=25", "-frames:v", "3"} + ffv1) << "d.nut" << int(Video::NotAccepted) << QSize();
        QTest::newRow("2001 high is refused")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=3000x2001:rate=25", "-frames:v", "3"} + ffv1) << "e.nut" << int(Video::NotAccepted) << QSize();
        QTest::newRow("of two video streams the second is decoded")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                            "-map", "0", "-map", "1", "-t", "1"} + x264) << "g.mkv" << 0 << QSize(160, 120);
        QTest::newRow("audio beside video")
            << (QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000",
                            "-map", "0", "-map", "1", "-t", "1", "-c:a", "aac"} + x264) << "h.mkv" << 0 << QSize(320, 240);
        QTest::newRow("audio only has no video stream")
            << QStringList{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000", "-t", "1", "-c:a", "aac"} << "i.mkv" << int(Video::NoVideoStream) << QSize();
        QTest::newRow("missing file") << QStringList() << "missing.mkv" << int(Video::OpenFailed) << QSize();
        QTest::newRow("not a media file") << QStringList() << "garbage.bin" << int(Video::OpenFailed) << QSize();
    }

    void opens_what_it_can_draw()
    {
        QFETCH(QStringList, ffmpegArgs);
        QFETCH(QString, name);
        QFETCH(int, result);
        QFETCH(QSize, size);
        QString path = files.path(name);
        if (!ffmpegArgs.isEmpty()) {
            path = files.make(name, ffmpegArgs);
            QVERIFY(!path.isEmpty());
        } else if (name == QLatin1String("garbage.bin")) {
            QFile garbage(path);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            QByteArray noise(8192, '\0');
            for (int i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919 + 13) % 251);
            garbage.write(noise);
        }
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        video->open(path);
        QTRY_COMPARE_WITH_TIMEOUT(tap.inits.size(), 1, 10000);
        QCOMPARE(tap.inits.first(), result);
        if (size.isValid()) {
            QTRY_VERIFY_WITH_TIMEOUT(!frameSpy.isEmpty(), 10000);
            QCOMPARE(frameSpy.first().at(1).toInt(), size.width());
            QCOMPARE(frameSpy.first().at(2).toInt(), size.height());
            QVERIFY(!tap.reads.contains(int(Video::NotAccepted)));
        } else {
            QTest::qWait(300);
            QVERIFY(frameSpy.isEmpty());
            QVERIFY(tap.reads.isEmpty());   // a failed open starts no reads
        }
        // The read chain ends in failed reads at the end of a file; no decode
        // ever fails on a packet of another stream.
        QVERIFY(!tap.decodes.contains(int(Video::SendFailed)));
        if (name == QLatin1String("h.mkv")) {
            QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::OtherStream)), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::ReadFailed)), 5000);
            QCOMPARE(Video::packetsHeld(), 0);   // audio packets were released
        }
    }

    void pictures_arrive_whole_and_in_read_order_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("64x48") << 64 << 48;
        QTest::newRow("chroma 33 wide: 66x50") << 66 << 50;
        QTest::newRow("odd 65x49") << 65 << 49;
        QTest::newRow("wide 1920x16") << 1920 << 16;
    }

    void pictures_arrive_whole_and_in_read_order()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const int count = 60;
        const QString path = files.makeSequence(QStringLiteral("seq%1x%2.nut").arg(width).arg(height), count, width, height);
        QVERIFY(!path.isEmpty());
        copyFrames();
        video->open(path);
        QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::ReadFailed)), 10000);   // the whole file was read
        QTest::qWait(200);
        QVERIFY2(frames.size() >= count / 2, qPrintable(QString::number(frames.size())));
        const QString fault = firstFaultyFrame(width, height);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY(quint8(frames.last().bytes.at(0)) >= count - 5);
    }

    void a_stalled_decoder_drops_the_queue_and_resumes_at_a_key_frame()
    {
        // Lossless H.264, so that pictures can be checked, with a key frame every 60.
        const int count = 220;
        const int keyInterval = 60;
        const QString path = files.makeSequence(QStringLiteral("gop.mkv"), count, 64, 48,
                                                {"-c:v", "libx264", "-qp", "0", "-g", QString::number(keyInterval),
                                                 "-sc_threshold", "0", "-bf", "0"});
        QVERIFY(!path.isEmpty());
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        copyFrames();

        // A view that keeps the frame lock stalls the decoder at its first
        // picture while the whole file is read.
        video->frameLock()->lock();
        video->open(path);
        const bool read = QTest::qWaitFor([this] { return tap.reads.contains(int(Video::ReadFailed)); }, 10000);
        video->frameLock()->unlock();
        QVERIFY(read);
        // The decoder keeps the last few pictures of a stream that is not drained.
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty() && quint8(frames.last().bytes.at(0)) >= count - 5, 10000);
        video->close();
        QCoreApplication::sendPostedEvents(video);   // every decode's event, to count them

        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().at(0).toString(), QStringLiteral("[E]preview falls behind, dropped %1 packets").arg(Video::MaxQueuedPackets));
        QCOMPARE(log.first().at(1).toInt(), int(AdminService::Error));
        // Decoded: the few packets taken before the stall and those from the
        // last key frame on; decoding on from the drop would take 100.
        QVERIFY2(tap.decodes.size() <= keyInterval, qPrintable(QString::number(tap.decodes.size())));
        const QString fault = firstFaultyFrame(64, 48);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QCOMPARE(Video::packetsHeld(), 0);
    }

    void ended_input_is_retried_paced_and_nothing_arrives_after_close()
    {
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        video->open(small);
        QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::ReadFailed)), 5000);
        const int before = tap.reads.count(int(Video::ReadFailed));
        QTest::qWait(1000);   // the span over which retries are counted
        const int failed = tap.reads.count(int(Video::ReadFailed)) - before;
        QVERIFY2(failed >= 3 && failed <= 20, qPrintable(QString::number(failed)));
        video->close();
        const int seen = frameSpy.size();
        QTest::qWait(300);
        QCOMPARE(frameSpy.size(), seen);
        QVERIFY(!video->playing());
    }

    void open_and_close_fifty_times_leave_no_packet()
    {
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        for (int i = 0; i < 50; ++i) {
            video->open(small);
            // Close at every stage: before the open ends, while reading, while decoding.
            QTest::qWait(i % 5 * 20);
            video->close();
        }
        QTest::qWait(300);
        QCOMPARE(Video::packetsHeld(), 0);
        video->open(small);
        QTRY_VERIFY_WITH_TIMEOUT(!frameSpy.isEmpty(), 5000);   // and it still plays
        QCOMPARE(tap.inits.last(), 0);
    }

    void stalled_read_is_cut_after_two_seconds_and_reading_resumes()
    {
        StallingServer server;
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        QVERIFY(openHalfStalledStream(server, frameSpy));
        QCOMPARE(tap.inits, QList<int>{0});

        // A read blocks until the 2 s limit cuts it.
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(tap.reads.contains(int(Video::ReadFailed)), 5000);
        QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() <= 3500, qPrintable(QString::number(clock.elapsed())));

        // The chain went on: once the peer sends again, frames flow again.
        const int stalledAt = frameSpy.size();
        server.release();
        QTRY_VERIFY_WITH_TIMEOUT(frameSpy.size() > stalledAt + 10, 10000);
    }

    void close_during_a_stalled_open_or_read_returns_at_once_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::newRow("open never answered") << false;
        QTest::newRow("read stalled mid-stream") << true;
    }

    void close_during_a_stalled_open_or_read_returns_at_once()
    {
        QFETCH(bool, opened);
        StallingServer server;
        QSignalSpy frameSpy(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)));
        if (opened) {
            QVERIFY(openHalfStalledStream(server, frameSpy));
        } else {
            QVERIFY(server.listen(QHostAddress::LocalHost));   // accepts and never answers
            video->open(QStringLiteral("rtsp://127.0.0.1:%1/uscast/11").arg(server.serverPort()));
            QTRY_VERIFY_WITH_TIMEOUT(server.peer != nullptr, 5000);
        }
        QElapsedTimer clock;
        clock.start();
        video->close();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!video->playing());
    }
};

QTEST_GUILESS_MAIN(TestVideo)
#include "tst_video.moc"
