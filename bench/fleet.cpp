// A site updated with "All Update": 24 simulated devices, a 4 MiB package, 5 s
// of install each, one device that hangs up as soon as it connects back and
// one that resets mid-transfer. The same site is updated one at a time and
// then 8 at a time; for each, the wall time from the start to the summary, how
// many were updated and failed, whether every delivered package was intact,
// the per-device rate against the pacing of 8192 bytes per 5 ms, and the
// longest time the GUI thread stood still, with the dialog showing every row;
// last a site of 200 devices with a small package, 16 at a time.
//
// It opens the protocol engine and broadcasts, so it runs only inside the lab:
//   tests/lab/lab.sh run -- build/bench/bench_fleet
// (make bench does that).

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "devsimprocess.h"
#include "bench/benchlab.h"
#include "bench/stallwatch.h"
#include "protocol/connect.h"
#include "registry/devs.h"
#include "update/update.h"
#include "update/updaterun.h"

namespace {

constexpr int Devices = 24;
constexpr int PackageBytes = 4 * 1024 * 1024;
constexpr double PacingLimit = 8192.0 / 0.005;   // bytes per second, per device
constexpr int GiveUpMs = 600 * 1000;
// A site as large as installers have them, to see the rows and the GUI thread keep up.
constexpr int LargeSite = 200;
constexpr int LargeSitePackageBytes = 256 * 1024;

struct Result
{
    int atOnce = 0;
    double wallMs = 0;
    int updated = -1;
    int failed = -1;
    int delivered = 0;          // packages received whole
    int intact = 0;             // of those, MD5 and bytes as sent
    double slowestRate = 0;     // bytes per second, the slowest device's whole transfer
    double meanRate = 0;
    qint64 openStallMs = 0;     // showing the dialog, before the run starts
    qint64 stallMs = 0;         // from the start of the run to its summary
};

// One All Update of the whole site; each run picks its own copy of the package,
// so that no device counts as already updated with it.
Result run(int atOnce, const QString &package, DevsimProcess &sim, QWidget *window)
{
    Result result;
    result.atOnce = atOnce;
    UpdateRun *run = UpdateRun::instance();
    run->resetUpdate();
    run->setUpdatesAtOnce(atOnce);
    const int receivedBefore = sim.events("update_received").size();

    Update dialog(window);
    {
        StallWatch opening(5);
        dialog.showInCenter();
        BenchLab::waitUntil([] { return false; }, 300, 5);
        result.openStallMs = opening.worstMs();
    }
    QSignalSpy summary(run, SIGNAL(updateAllFinishMsg(int,int)));
    StallWatch stalls(5);
    QElapsedTimer clock;
    clock.start();
    run->startAllUpdate(package, Devs::instance()->getDevList());
    BenchLab::waitUntil([&] { return !summary.isEmpty(); }, GiveUpMs, 5);
    result.wallMs = double(clock.nsecsElapsed()) / 1e6;
    result.stallMs = stalls.worstMs();
    if (!summary.isEmpty()) {
        result.updated = summary.first().at(0).toInt();
        result.failed = summary.first().at(1).toInt();
    }

    const QList<QJsonObject> received = sim.events("update_received").mid(receivedBefore);
    double rateSum = 0;
    result.slowestRate = received.isEmpty() ? 0 : 1e18;
    for (const QJsonObject &event : received) {
        ++result.delivered;
        result.intact += event.value(QLatin1String("md5_ok")).toBool() && event.value(QLatin1String("package_ok")).toBool();
        // The device's own clock, from the header to the last byte.
        const double rate = event.value(QLatin1String("bytes")).toDouble() * 1000.0 / event.value(QLatin1String("ms")).toDouble();
        rateSum += rate;
        result.slowestRate = std::min(result.slowestRate, rate);
    }
    result.meanRate = received.isEmpty() ? 0 : rateSum / received.size();
    run->resetUpdate();
    return result;
}

// Starts devsim with count devices and waits until the registry holds them all.
bool startSite(DevsimProcess &sim, int count, const QStringList &extra)
{
    Devs *devs = Devs::instance();
    devs->clear();
    if (!sim.start(QStringList{"--count", QString::number(count)} + extra)) {
        std::fprintf(stderr, "bench_fleet: devsim did not start\n");
        return false;
    }
    Connect::instance()->search();
    if (!BenchLab::waitUntil([&] { return devs->getDevList().size() == count; }, 5000)) {
        std::fprintf(stderr, "bench_fleet: %d of %d devices answered\n", int(devs->getDevList().size()), count);
        return false;
    }
    return true;
}

void printHeader()
{
    std::printf("%9s %10s %8s %7s %10s %7s %16s %16s %10s %10s\n", "at a time", "wall s", "updated", "failed", "delivered",
                "intact", "slowest B/s", "mean B/s", "open ms", "stall ms");
}

void printResult(const Result &r)
{
    std::printf("%9d %10.1f %8d %7d %10d %7d %16.0f %16.0f %10lld %10lld\n", r.atOnce, r.wallMs / 1000.0, r.updated, r.failed,
                r.delivered, r.intact, r.slowestRate, r.meanRate, r.openStallMs, r.stallMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside(argv[0]))
        return 2;
    BenchLab::prepareEnvironment();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    QByteArray bytes(PackageBytes, '\0');
    QRandomGenerator(20261207).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    QStringList packages;
    for (const char *name : {"one-at-a-time.bin", "eight-at-a-time.bin", "reference.bin", "large-site.bin"}) {
        const QByteArray content = packages.size() < 3 ? bytes : bytes.left(LargeSitePackageBytes);
        QFile file(dir.filePath(QLatin1String(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "bench_fleet: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        packages << file.fileName();
    }
    QWidget window;
    window.resize(849, 480);
    window.show();

    Result results[2];
    {
        DevsimProcess sim;
        // Device 5 hangs up as soon as it has connected back; device 17 resets after 1 MiB.
        if (!startSite(sim, Devices, {"--package", packages.at(2), "--install-ms", "5000", "--update-fault", "5:close,17:disconnect:1048576"}))
            return 1;
        std::printf("fleet update: %d devices, %d-byte package, 5 s install, 2 failing fast (close at once, reset after 1 MiB)\n",
                    Devices, PackageBytes);
        printHeader();
        const int counts[2] = {1, 8};
        for (int i = 0; i < 2; ++i)
            printResult(results[i] = run(counts[i], packages.at(i), sim, &window));
    }
    std::printf("8 at a time is %.2f times as fast as 1 (goal: 6)\n", results[0].wallMs / results[1].wallMs);
    std::printf("per-device rate at 8 at a time: slowest %.3f, mean %.3f of %.0f B/s (goal: 0.95)\n",
                results[1].slowestRate / PacingLimit, results[1].meanRate / PacingLimit, PacingLimit);

    DevsimProcess large;
    if (!startSite(large, LargeSite, {"--package", packages.at(3), "--install-ms", "0"}))
        return 1;
    std::printf("large site: %d devices, %d-byte package, no install time\n", LargeSite, LargeSitePackageBytes);
    printHeader();
    const Result site = run(UpdateRun::MaxUpdatesAtOnce, packages.at(3), large, &window);
    printResult(site);
    std::printf("longest GUI-thread stall during a run: %lld ms (goal: under 100); showing the dialog: %lld ms\n",
                std::max({results[0].stallMs, results[1].stallMs, site.stallMs}),
                std::max({results[0].openStallMs, results[1].openStallMs, site.openStallMs}));
    return 0;
}
