#pragma once

#include <QMutex>
#include <QObject>
#include <QQueue>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;

// The live-preview engine: opens one RTSP stream with FFmpeg, reads its packets
// and decodes its video on the global thread pool, and announces every picture
// as one planar YUV 4:2:0 buffer through updateFrameMsg(), and says through
// streamProblemMsg() why there is no picture. One stream at a time.
class Video final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Video)

public:
    // Result codes carried by the events; 0 is success.
    enum Result {
        NoPicture = -1,         // the decoder wants more input, or the stream ended
        ReceiveFailed = -2,
        OpenFailed = -3,
        NoStreamInfo = -4,
        NoVideoStream = -5,
        NoCodecContext = -6,
        ParametersFailed = -7,
        NoDecoder = -8,
        DecoderFailed = -9,
        NotAccepted = -10,      // picture size or format out of what is drawn
        SendFailed = -11,
        ReadFailed = -12,       // read error, end of input, or a read cut short after 2 s
        OtherStream = -13,
    };

    // Why a stream gives no picture, for the user; told once until pictures come again.
    enum Problem {
        Refused,        // the connection was refused
        NoAnswer,       // the host is unreachable, or did not answer within OpenLimitMs
        Unsupported,    // detail: bit depth and codec ("10-bit H.265"), or the codec
        TooLarge,       // detail: the picture size ("3200x1800")
        Stopped,        // no packet for StopAfterMs
        OpenError,      // any other failed open; detail: FFmpeg's words
    };
    Q_ENUM(Problem)

    static constexpr int MaxWidth = 3000;
    static constexpr int MaxHeight = 2000;
    // Sized once for 3840x2160 4:2:0 and reused for every frame and stream.
    static constexpr int FrameBufferSize = 3840 * 2160 * 3 / 2;
    // About 5 s at 25 fps: a preview further behind than that is no longer
    // live, so the queue is dropped and decoding restarts at the next key frame.
    static constexpr int MaxQueuedPackets = 120;
    // A device on the LAN answers RTSP within a second and sends a key frame at
    // least every few seconds, so an open (connect, RTSP handshake, probe) that
    // has not ended after 8 s will not end; it is also well past the 3 s after
    // which the kernel reports a host that does not answer ARP as unreachable.
    static constexpr int OpenLimitMs = 8000;
    // At 25 pictures a second three seconds without a packet is no network
    // hiccup: the stream has stopped.
    static constexpr int StopAfterMs = 3000;

    explicit Video(QObject *parent = nullptr);
    ~Video() override;

    static Video *instance();

    void open(QString url);
    void close();

    // The view reads the frame buffer under this lock; a decode writes the next
    // picture into the buffer only while holding it, so no half-written picture
    // is ever drawn.
    QMutex *frameLock() { return &frameMutex; }
    // Size of the picture now in the frame buffer; read with frameLock() held.
    QSize frameSize() const { return QSize(frameWidth, frameHeight); }
    const uint8_t *frameData() const { return frameBuffer; }

    bool playing() const { return isPlaying.load() != 0; }
    // Packets read and not yet decoded or released, over the whole process.
    static int packetsHeld() { return s_packetsHeld.load(); }
    static void releasePacket(AVPacket *&packet);

    bool event(QEvent *e) override;

signals:
    void updateFrameMsg(uint8_t *data, int width, int height);
    void streamProblemMsg(Video::Problem problem, QString detail);

public slots:
    void getVideo();

private:
    struct QueuedPacket
    {
        AVPacket *packet;
        quint64 session;
    };

    static void initTask(Video *video, QString url, quint64 session);
    static void getVideoTask(Video *video, quint64 session);
    static void decodeTask(Video *video);
    static int interruptCallback(void *opaque);
    static AVPacket *allocPacket();
    static qint64 nowMs();
    // Runs function(this, args...) on the global pool, counted in tasksRunning.
    template<typename Function, typename... Args>
    void runTask(Function function, Args... args);

    int openInput(const QString &url, Problem *problem, QString *detail);
    int decodeOne(AVPacket *packet, int *width, int *height, Problem *problem, QString *detail);
    void report(Problem problem, const QString &detail);
    void queuePacket(AVPacket *packet);
    int dropQueuedPackets();

    static Video *s_instance;
    static std::atomic<int> s_packetsHeld;

    QMutex readMutex;     // the open, every packet read, close
    QMutex decodeMutex;   // every decode, close
    QMutex frameMutex;    // the copy into frameBuffer, the view's upload
    QMutex queueMutex;    // packetQueue, awaitingKeyFrame, decoderRunning
    std::atomic<int> isPlaying{0};
    bool isOpening = false;   // GUI thread only
    uint8_t *frameBuffer = nullptr;
    int frameWidth = 0;
    int frameHeight = 0;
    AVFormatContext *formatContext = nullptr;
    AVCodecContext *codecContext = nullptr;
    int videoStreamIndex = -1;
    int audioStreamIndex = -1;
    // When FFmpeg is told to give up the open or the read under way (steady ms); 0: never.
    std::atomic<qint64> ioDeadline{0};
    qint64 lastPacketTime = 0;   // GUI thread only
    int reported = -1;           // the Problem last told, -1 since the last picture; GUI thread only
    // Bumped by close: tasks and events of an earlier stream see that they are stale.
    std::atomic<quint64> session{1};
    // Set while close waits, so that an open or a read blocked in FFmpeg gives up at once.
    std::atomic<bool> abortIo{false};
    // Packets wait here in read order for the one decode worker.
    QQueue<QueuedPacket> packetQueue;
    // Set when a full queue was dropped: packets that need the dropped ones to
    // decode are skipped until a key frame.
    bool awaitingKeyFrame = false;
    bool decoderRunning = false;
    std::atomic<int> tasksRunning{0};
};
