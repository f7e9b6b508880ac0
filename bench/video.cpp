// Live preview: the tool's stream decoder against the ffmpeg command on the
// same RTSP streams of a simulated device. Prints figures and ratios.
//
// Its device serves RTSP in the lab, so it runs only there:
//   tests/lab/lab.sh run -- build/bench/bench_video   (make bench does that)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

extern "C" {
#include <libavutil/log.h>
}

#include "devsimprocess.h"
#include "bench/benchlab.h"
#include "video/video.h"

namespace {

constexpr int Rounds = 5;
constexpr int DecodeSeconds = 10;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

struct Run
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    int frames = 0;
};

// ffmpeg decoding the stream to nothing; extra limits what it decodes.
Run runFfmpeg(const QString &url, const QStringList &extra)
{
    QProcess ffmpeg;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-nostats", "-loglevel", "error", "-progress", "pipe:1",
                                                       "-rtsp_transport", "tcp", "-i", url} + extra + QStringList{"-f", "null", "-"});
    ffmpeg.waitForFinished(60000);
    Run run;
    run.wallSeconds = clock.nsecsElapsed() / 1e9;
    run.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    const QRegularExpression frameLine(QStringLiteral("frame=(\\d+)"));
    auto matches = frameLine.globalMatch(QString::fromUtf8(ffmpeg.readAllStandardOutput()));
    while (matches.hasNext())
        run.frames = matches.next().captured(1).toInt();
    return run;
}

// Runs the event loop, sleeping between events, until done() or timeoutMs.
template<typename Done>
void waitFor(Done done, int timeoutMs, int pollMs = 1)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start(pollMs);
    loop.exec();
}

// The tool's decoder from open() to its first picture.
double toolFirstFrame(Video *video, const QString &url)
{
    int frames = 0;
    const auto connection = QObject::connect(video, &Video::updateFrameMsg, [&frames] { ++frames; });
    QElapsedTimer clock;
    clock.start();
    video->open(url);
    waitFor([&frames] { return frames > 0; }, 20000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    QObject::disconnect(connection);
    video->close();
    return seconds;
}

// The tool's decoder over `seconds` once the first picture is there.
Run toolDecode(Video *video, const QString &url, int seconds)
{
    int frames = 0;
    const auto connection = QObject::connect(video, &Video::updateFrameMsg, [&frames] { ++frames; });
    video->open(url);
    waitFor([&frames] { return frames > 0; }, 20000);
    frames = 0;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    waitFor([] { return false; }, seconds * 1000, 100);   // wakes seldom: its own cost is counted
    Run run;
    run.wallSeconds = clock.nsecsElapsed() / 1e9;
    run.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    run.frames = frames;
    QObject::disconnect(connection);
    video->close();
    return run;
}

bool startDevice(DevsimProcess &sim, const QString &h264)
{
    if (!sim.start({"--count", "1", "--streams", "--h264", h264}))
        return false;
    return sim.waitForLog([](const QList<QJsonObject> &events) {
        for (const QJsonObject &event : events)
            if (event.value("event") == QLatin1String("stream_ready"))
                return true;
        return false;
    }, 5000);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside(argv[0]))
        return 2;
    BenchLab::prepareEnvironment();

    QCoreApplication app(argc, argv);
    Video *video = Video::instance();
    av_log_set_level(AV_LOG_ERROR);   // no stream description per open

    std::printf("Live preview benchmark: the tool's decoder against ffmpeg on the same stream (lab, 2 cores)\n\n");
    bool firstCodec = true;
    for (const char *codec : {"1", "0"}) {
        const QString name = QLatin1String(codec) == QLatin1String("1") ? QStringLiteral("H.264") : QStringLiteral("H.265");
        DevsimProcess sim;
        if (!startDevice(sim, QLatin1String(codec))) {
            std::fprintf(stderr, "bench_video: devsim with streams did not start\n");
            return 1;
        }
        const QString url = QStringLiteral("rtsp://") + sim.ip(0) + QStringLiteral(":554/uscast/11");
        toolFirstFrame(video, url);   // warm-up: page cache, decoder tables
        runFfmpeg(url, {"-frames:v", "1"});

        if (firstCodec) {
            std::printf("Time to first frame, 1920x1080 %s, median of %d (%s)\n", qPrintable(name), Rounds, qPrintable(url));
            QList<double> tool;
            QList<double> ffmpeg;
            for (int i = 0; i < Rounds; ++i) {
                tool << toolFirstFrame(video, url);
                ffmpeg << runFfmpeg(url, {"-frames:v", "1"}).wallSeconds;
            }
            const double t = median(tool);
            const double f = median(ffmpeg);
            std::printf("  tool decoder            %7.3f s\n", t);
            std::printf("  ffmpeg -frames:v 1      %7.3f s\n", f);
            std::printf("  ratio tool/ffmpeg       %7.2f   (goal <= 1.10)\n\n", t / f);
            firstCodec = false;
        }

        std::printf("Decoding 1920x1080 25 fps %s for %d s\n", qPrintable(name), DecodeSeconds);
        const Run tool = toolDecode(video, url, DecodeSeconds);
        const Run ffmpeg = runFfmpeg(url, {"-t", QString::number(DecodeSeconds)});
        const double toolFps = tool.frames / tool.wallSeconds;
        // ffmpeg stops after DecodeSeconds of stream, which arrives in real time.
        const double ffmpegFps = ffmpeg.frames / double(DecodeSeconds);
        const double toolCpu = tool.cpuSeconds / tool.wallSeconds * DecodeSeconds;
        std::printf("  tool decoder   %6.1f fps  %6.2f s CPU per %d s (%d frames)\n", toolFps, toolCpu, DecodeSeconds, tool.frames);
        std::printf("  ffmpeg         %6.1f fps  %6.2f s CPU per %d s (%d frames, %.1f s wall with its open)\n", ffmpegFps,
                    ffmpeg.cpuSeconds, DecodeSeconds, ffmpeg.frames, ffmpeg.wallSeconds);
        std::printf("  rate ratio tool/25      %5.2f   (goal >= 1.00)\n", toolFps / 25.0);
        std::printf("  CPU ratio tool/ffmpeg   %5.2f   (goal <= 1.00)\n\n", toolCpu / ffmpeg.cpuSeconds);
    }
    return 0;
}
