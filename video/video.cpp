#include "video.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <cerrno>
#include <chrono>
#include <cstring>

#include "protocol/adminservice.h"
#include "video/videoevent_decode.h"
#include "video/videoevent_getvideo.h"
#include "video/videoevent_init.h"

namespace {

// A read that fails at once (input ended, connection gone) is retried after this
// pause rather than in a tight loop, so a dead stream costs no CPU.
constexpr int RetryDelayMs = 100;
// A packet read may block this long before FFmpeg is told to give up.
constexpr qint64 ReadLimitMs = 2000;

bool isDrawable(int format)
{
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

// "10-bit H.265": what a user can compare with the camera's settings. Cameras
// differ from what is drawn mostly in bit depth; other layouts go by FFmpeg's name.
QString pictureFormat(int format, AVCodecID codecId)
{
    const QString codec = codecId == AV_CODEC_ID_H264   ? QStringLiteral("H.264")
                          : codecId == AV_CODEC_ID_HEVC ? QStringLiteral("H.265")
                                                        : QString::fromLatin1(avcodec_get_name(codecId)).toUpper();
    const AVPixFmtDescriptor *pixel = av_pix_fmt_desc_get(AVPixelFormat(format));
    if (!pixel)
        return codec;
    if (pixel->nb_components == 3 && pixel->log2_chroma_w == 1 && pixel->log2_chroma_h == 1 && !(pixel->flags & AV_PIX_FMT_FLAG_RGB))
        return QStringLiteral("%1-bit %2").arg(pixel->comp[0].depth).arg(codec);
    return QStringLiteral("%1 %2").arg(QLatin1String(pixel->name), codec);
}

QString sizeText(int width, int height)
{
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

QString errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

Video *Video::s_instance = nullptr;
std::atomic<int> Video::s_packetsHeld{0};

Video::Video(QObject *parent)
    : QObject(parent)
{
    if (s_instance)
        return;   // a second decoder stays inert
    s_instance = this;
    // For queued connections and signal spies that carry the reason.
    qRegisterMetaType<Video::Problem>();
    avformat_network_init();
}

Video::~Video()
{
    close();
    // Tasks still queued on the pool hold this pointer; they see the closed
    // session and end at once, but they must have ended before the memory goes.
    while (tasksRunning.load() > 0)
        QThread::msleep(5);
    delete[] frameBuffer;
    if (s_instance == this)
        s_instance = nullptr;
}

Video *Video::instance()
{
    if (!s_instance)
        new Video;
    return s_instance;
}

AVPacket *Video::allocPacket()
{
    AVPacket *packet = av_packet_alloc();
    if (packet)
        ++s_packetsHeld;
    return packet;
}

void Video::releasePacket(AVPacket *&packet)
{
    if (!packet)
        return;
    av_packet_free(&packet);
    --s_packetsHeld;
}

template<typename Function, typename... Args>
void Video::runTask(Function function, Args... args)
{
    ++tasksRunning;
    QtConcurrent::run(QThreadPool::globalInstance(), [this, function, args...] {
        function(this, args...);
        --tasksRunning;
    });
}

qint64 Video::nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Video::open(QString url)
{
    if (isOpening)
        return;
    isOpening = true;
    reported = -1;
    ioDeadline = nowMs() + OpenLimitMs;
    runTask(&Video::initTask, url, session.load());
}

void Video::getVideo()
{
    if (!isPlaying.load())
        return;
    ioDeadline = nowMs() + ReadLimitMs;
    runTask(&Video::getVideoTask, session.load());
}

void Video::close()
{
    ++session;
    abortIo = true;
    QMutexLocker readLock(&readMutex);
    QMutexLocker decodeLock(&decodeMutex);
    isPlaying = 0;
    isOpening = false;
    if (formatContext)
        avformat_close_input(&formatContext);
    if (codecContext)
        avcodec_free_context(&codecContext);
    ioDeadline = 0;
    {
        QMutexLocker queueLock(&queueMutex);
        dropQueuedPackets();
        awaitingKeyFrame = false;
    }
    abortIo = false;
}

int Video::interruptCallback(void *opaque)
{
    const Video *video = static_cast<const Video *>(opaque);
    if (video->abortIo.load())
        return 1;
    const qint64 deadline = video->ioDeadline.load();
    return deadline != 0 && nowMs() > deadline ? 1 : 0;
}

void Video::initTask(Video *video, QString url, quint64 session)
{
    QMutexLocker lock(&video->readMutex);
    if (url.isEmpty())
        return;   // stays failed until closed, as FFmpeg was never asked
    if (session != video->session.load())
        return;   // closed before this task got a thread
    Problem problem = OpenError;
    QString detail;
    const int result = video->openInput(url, &problem, &detail);
    QCoreApplication::postEvent(video, new VideoEvent_init(result, session, problem, detail));
}

int Video::openInput(const QString &url, Problem *problem, QString *detail)
{
    AVFormatContext *format = avformat_alloc_context();
    if (!format)
        return OpenFailed;
    format->flags |= AVFMT_FLAG_NONBLOCK;
    format->probesize = 204800;
    format->max_analyze_duration = 12000000;
    format->interrupt_callback.callback = &Video::interruptCallback;
    format->interrupt_callback.opaque = this;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "probesize", "100000", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    const QByteArray url8 = url.toUtf8();
    const int opened = avformat_open_input(&format, url8.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        // avformat_open_input frees the context itself on failure.
        avformat_free_context(format);
        if (opened == AVERROR(ECONNREFUSED))
            *problem = Refused;
        else if (opened == AVERROR(EHOSTUNREACH) || opened == AVERROR(ENETUNREACH) || opened == AVERROR(ETIMEDOUT)
                 || nowMs() > ioDeadline.load())
            *problem = NoAnswer;
        else
            *detail = errorText(opened);
        return OpenFailed;
    }

    AVCodecContext *codec = nullptr;
    auto fail = [&format, &codec](int result) {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        return result;
    };

    const int found = avformat_find_stream_info(format, nullptr);
    if (found < 0) {
        if (nowMs() > ioDeadline.load())
            *problem = NoAnswer;
        else
            *detail = errorText(found);
        return fail(NoStreamInfo);
    }

    videoStreamIndex = -1;
    audioStreamIndex = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVMediaType type = format->streams[i]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO)
            videoStreamIndex = int(i);
        else if (type == AVMEDIA_TYPE_AUDIO)
            audioStreamIndex = int(i);
    }
    if (videoStreamIndex < 0) {
        *detail = QStringLiteral("no video");
        return fail(NoVideoStream);
    }

    codec = avcodec_alloc_context3(nullptr);
    if (!codec)
        return fail(NoCodecContext);
    AVStream *stream = format->streams[videoStreamIndex];
    if (avcodec_parameters_to_context(codec, stream->codecpar) < 0)
        return fail(ParametersFailed);
    const AVCodec *decoder = avcodec_find_decoder(codec->codec_id);
    if (!decoder) {
        *problem = Unsupported;
        *detail = pictureFormat(AV_PIX_FMT_NONE, codec->codec_id);
        return fail(NoDecoder);
    }
    codec->thread_count = 4;
    codec->thread_type = FF_THREAD_FRAME;
    codec->bit_rate = 0;
    codec->time_base = AVRational{1, 25};
    codec->frame_number = 1;
    codec->codec_type = AVMEDIA_TYPE_VIDEO;
    codec->framerate = av_guess_frame_rate(format, stream, nullptr);
    if (avcodec_open2(codec, decoder, nullptr) < 0)
        return fail(DecoderFailed);
    av_dump_format(format, 0, url8.constData(), 0);

    if (codec->width < 1 || codec->width > MaxWidth || codec->height < 1 || codec->height > MaxHeight) {
        *problem = TooLarge;
        *detail = sizeText(codec->width, codec->height);
        return fail(NotAccepted);
    }
    if (!isDrawable(codec->pix_fmt)) {
        *problem = Unsupported;
        *detail = pictureFormat(codec->pix_fmt, codec->codec_id);
        return fail(NotAccepted);
    }

    formatContext = format;
    codecContext = codec;
    return 0;
}

void Video::getVideoTask(Video *video, quint64 session)
{
    QMutexLocker lock(&video->readMutex);
    if (!video->isPlaying.load() || !video->formatContext || session != video->session.load())
        return;   // the read chain ends with the stream
    AVPacket *packet = allocPacket();
    int result = ReadFailed;
    const int read = packet ? av_read_frame(video->formatContext, packet) : AVERROR(ENOMEM);
    if (read >= 0) {
        if (packet->stream_index == video->videoStreamIndex) {
            result = 0;
        } else {
            av_packet_unref(packet);
            result = OtherStream;
        }
    } else if (read == AVERROR_EXIT && video->formatContext->pb) {
        // A read cut short by the 2 s limit leaves a byte stream marked as
        // ended; clear that so the next read waits for data again.
        video->formatContext->pb->eof_reached = 0;
        video->formatContext->pb->error = 0;
    }
    if (result != 0)
        releasePacket(packet);
    QCoreApplication::postEvent(video, new VideoEvent_getVideo(result, packet, session));
}

void Video::queuePacket(AVPacket *packet)
{
    int dropped = 0;
    {
        QMutexLocker lock(&queueMutex);
        if (packetQueue.size() >= MaxQueuedPackets) {
            dropped = dropQueuedPackets();
            awaitingKeyFrame = true;
        }
        if (awaitingKeyFrame && !(packet->flags & AV_PKT_FLAG_KEY)) {
            releasePacket(packet);
        } else {
            awaitingKeyFrame = false;
            packetQueue.enqueue(QueuedPacket{packet, session.load()});
            if (!decoderRunning) {
                decoderRunning = true;
                runTask(&Video::decodeTask);
            }
        }
    }
    if (dropped > 0) {
        AdminService::instance()->debug(QStringLiteral("[E]preview falls behind, dropped %1 packets").arg(dropped),
                                        AdminService::Error);
    }
}

// Releases every queued packet and says how many; queueMutex is held.
int Video::dropQueuedPackets()
{
    const int dropped = packetQueue.size();
    while (!packetQueue.isEmpty()) {
        AVPacket *packet = packetQueue.dequeue().packet;
        releasePacket(packet);
    }
    return dropped;
}

// The one decode worker: takes the packets in the order they were read until
// the queue is empty, so the decoder never sees them out of order.
void Video::decodeTask(Video *video)
{
    for (;;) {
        QueuedPacket next;
        {
            QMutexLocker lock(&video->queueMutex);
            if (video->packetQueue.isEmpty()) {
                video->decoderRunning = false;
                return;
            }
            next = video->packetQueue.dequeue();
        }
        QMutexLocker lock(&video->decodeMutex);
        if (!video->isPlaying.load() || !video->codecContext || next.session != video->session.load()) {
            releasePacket(next.packet);
            continue;
        }
        int width = 0;
        int height = 0;
        Problem problem = Unsupported;
        QString detail;
        const int result = video->decodeOne(next.packet, &width, &height, &problem, &detail);
        QCoreApplication::postEvent(video, new VideoEvent_decode(result, video->frameBuffer, width, height, next.session, problem, detail));
    }
}

int Video::decodeOne(AVPacket *packet, int *width, int *height, Problem *problem, QString *detail)
{
    AVFrame *frame = av_frame_alloc();
    const int sent = avcodec_send_packet(codecContext, packet);
    releasePacket(packet);
    if (sent < 0) {
        av_frame_free(&frame);
        return SendFailed;
    }
    const int received = avcodec_receive_frame(codecContext, frame);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
        av_frame_free(&frame);
        return NoPicture;
    }
    if (received < 0) {
        qDebug() << "getVideoResult:" << received;
        av_frame_free(&frame);
        return ReceiveFailed;
    }

    const int w = frame->width;
    const int h = frame->height;
    // The buffer holds at most 3840x2160; a stream may change its size after
    // the open, so each picture is checked again before it is copied.
    if (w < 1 || w > MaxWidth || h < 1 || h > MaxHeight || !isDrawable(frame->format)) {
        const bool drawable = isDrawable(frame->format);
        *problem = drawable ? TooLarge : Unsupported;
        *detail = drawable ? sizeText(w, h) : pictureFormat(frame->format, codecContext->codec_id);
        av_frame_free(&frame);
        return NotAccepted;
    }
    {
        QMutexLocker lock(&frameMutex);
        if (!frameBuffer)
            frameBuffer = new uint8_t[FrameBufferSize];
        for (int row = 0; row < h; ++row)
            std::memcpy(frameBuffer + row * w, frame->data[0] + row * frame->linesize[0], size_t(w));
        const int cw = w / 2;
        const int ch = h / 2;
        uint8_t *u = frameBuffer + w * h;
        uint8_t *v = u + ch * cw;
        for (int row = 0; row < ch; ++row) {
            std::memcpy(u + row * cw, frame->data[1] + row * frame->linesize[1], size_t(cw));
            std::memcpy(v + row * cw, frame->data[2] + row * frame->linesize[2], size_t(cw));
        }
        frameWidth = w;
        frameHeight = h;
    }
    av_frame_free(&frame);
    // The picture's own size: it is what the buffer holds, also when it
    // differs from the size the stream announced at the open.
    *width = w;
    *height = h;
    return 0;
}

bool Video::event(QEvent *e)
{
    switch (int(e->type())) {
    case VideoEvent_init::EventType: {
        const auto *init = static_cast<VideoEvent_init *>(e);
        if (init->session != session.load())
            return true;
        if (init->result < 0) {
            report(Problem(init->problem), init->detail);
            return true;
        }
        isPlaying = 1;
        lastPacketTime = nowMs();
        getVideo();
        return true;
    }
    case VideoEvent_getVideo::EventType: {
        auto *read = static_cast<VideoEvent_getVideo *>(e);
        const quint64 current = session.load();
        if (!isPlaying.load() || read->session != current)
            return true;   // the event's destructor releases its packet
        if (read->result == ReadFailed) {
            if (nowMs() - lastPacketTime >= StopAfterMs)
                report(Stopped, QString());
            QTimer::singleShot(RetryDelayMs, this, [this, current] {
                if (session.load() == current)
                    getVideo();
            });
        } else {
            lastPacketTime = nowMs();
            getVideo();
        }
        if (read->result >= 0)
            queuePacket(read->takePacket());
        return true;
    }
    case VideoEvent_decode::EventType: {
        const auto *decoded = static_cast<VideoEvent_decode *>(e);
        if (!isPlaying.load() || decoded->session != session.load())
            return true;
        if (decoded->result == NotAccepted)
            report(Problem(decoded->problem), decoded->detail);
        if (decoded->result < 0)
            return true;
        reported = -1;
        emit updateFrameMsg(decoded->data, decoded->width, decoded->height);
        return true;
    }
    default:
        return QObject::event(e);
    }
}

void Video::report(Problem problem, const QString &detail)
{
    if (reported == problem)
        return;
    reported = problem;
    emit streamProblemMsg(problem, detail);
}
