// Firmware transfer rate: a 16 MiB package sent to 1 device and to 4 devices at
// once, measured where the devices receive it, against the pacing limit of one
// 8192-byte packet per 5 ms for each device (1,638,400 bytes/s).
//
// It opens the protocol engine and broadcasts, so it runs only inside the lab:
//   tests/lab/lab.sh run -- build/bench/bench_update_transfer [DEVICES...]
// (make bench does that). Default DEVICES: 1 4.

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "devsimprocess.h"
#include "bench/benchlab.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "update/updaterun.h"

namespace {

constexpr qint64 PackageBytes = 16LL * 1024 * 1024;
constexpr double PacingLimit = 8192.0 / 0.005;   // bytes per second
constexpr int GiveUpMs = 180 * 1000;

struct Result
{
    int devices = 0;
    int completed = 0;
    int checked = 0;            // md5 and bytes as sent
    double spanMs = 0;          // first header received to last byte received, over all devices
    double bytesPerSecond = 0;  // per device
};

QList<QJsonObject> eventsNamed(const DevsimProcess &sim, const char *name)
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : sim.log()) {
        if (event.value(QLatin1String("event")) == QLatin1String(name))
            found.append(event);
    }
    return found;
}

Result runOnce(int devices, const QString &package, Connect *engine, Devs *devs)
{
    Result result;
    result.devices = devices;
    DevsimProcess sim;
    if (!sim.start({QStringLiteral("--count"), QString::number(devices), QStringLiteral("--package"), package,
                    QStringLiteral("--restart-ms"), QStringLiteral("0"), QStringLiteral("--install-ms"), QStringLiteral("0")})) {
        std::fprintf(stderr, "bench_update_transfer: devsim did not start\n");
        return result;
    }
    UpdateRun::instance()->resetUpdate();
    engine->cleanSearch();
    if (!BenchLab::waitUntil([&] { return devs->getDevList().size() == devices; }, 5000)) {
        std::fprintf(stderr, "bench_update_transfer: %d of %d devices answered\n", int(devs->getDevList().size()), devices);
        return result;
    }
    // All devices at once, so that their transfers overlap; a copy of the
    // package of its own, or devices updated by an earlier run would be passed over.
    const QString copy = package + QString::number(devices);
    QFile::copy(package, copy);
    UpdateRun::instance()->setUpdatesAtOnce(devices);
    UpdateRun::instance()->startAllUpdate(copy, devs->getDevList());

    BenchLab::waitUntil([&] {
        return eventsNamed(sim, "update_received").size() + eventsNamed(sim, "update_failed").size() >= devices;
    }, GiveUpMs);

    const QList<QJsonObject> headers = eventsNamed(sim, "update_header");
    const QList<QJsonObject> received = eventsNamed(sim, "update_received");
    result.completed = received.size();
    if (headers.isEmpty() || received.isEmpty())
        return result;
    double first = headers.first().value(QLatin1String("t")).toDouble();
    double last = 0;
    qint64 bytes = 0;
    for (const QJsonObject &event : headers)
        first = qMin(first, event.value(QLatin1String("t")).toDouble());
    for (const QJsonObject &event : received) {
        last = qMax(last, event.value(QLatin1String("t")).toDouble());
        bytes += qint64(event.value(QLatin1String("bytes")).toDouble());
        result.checked += event.value(QLatin1String("md5_ok")).toBool() && event.value(QLatin1String("package_ok")).toBool();
    }
    // One device: its own clock from header to last byte is finer than the log's milliseconds.
    result.spanMs = devices == 1 ? received.first().value(QLatin1String("ms")).toDouble() : last - first;
    result.bytesPerSecond = result.spanMs > 0 ? double(bytes) / (result.spanMs / 1000.0) / devices : 0;
    UpdateRun::instance()->resetUpdate();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside(argv[0]))
        return 2;
    BenchLab::prepareEnvironment();
    QApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {1, 4};

    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("package.bin"));
    {
        QByteArray bytes(int(PackageBytes), '\0');
        QRandomGenerator random(20240601);
        random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        QFile file(package);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench_update_transfer: cannot write %s\n", qPrintable(package));
            return 1;
        }
    }

    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();
    std::printf("firmware transfer, %lld-byte package, pacing limit %.0f bytes/s (8192 bytes per 5 ms tick)\n",
                PackageBytes, PacingLimit);
    std::printf("%8s %10s %8s %12s %14s %10s\n", "devices", "completed", "intact", "span ms", "B/s each", "of limit");
    for (int devices : counts) {
        const Result r = runOnce(devices, package, engine, devs);
        std::printf("%8d %10d %8d %12.1f %14.0f %10.3f\n", r.devices, r.completed, r.checked, r.spanMs,
                    r.bytesPerSecond, r.bytesPerSecond / PacingLimit);
        std::fflush(stdout);
    }
    return 0;
}
