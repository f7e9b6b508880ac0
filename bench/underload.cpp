// Faults under load: 1000 devices answer a search every second while 4 devices
// take a firmware package at once and the debug window shows every line.
// Counts, per search, the answers devsim sent and the answers the engine
// handed on; checks that every update completes with its package intact; and
// measures the longest gap between ticks of a 10 ms timer on the GUI thread.
//
// The 4 updates: one started from the main window's menu (with its dialog), the
// other 3 asked with Connect::sendUpdateRequest right after, so that all four
// fetch the package over the one update server at the same time.
//
// It opens the protocol engine and broadcasts, so it runs only inside a lab
// with two device hosts (make bench does that):
//   tests/lab/lab.sh run --device-hosts 2 -- build/bench/bench_underload [SECONDS]
// Default SECONDS (at least this long, and until every update is over): 20.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <functional>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "bench/benchlab.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "resources/resources.h"
#include "support/mainwindowfixture.h"
#include "ui/admin.h"
#include "update/updaterun.h"

namespace {

constexpr int Crowd = 1000;
constexpr int Updating = 4;
constexpr int PackageBytes = 4 * 1024 * 1024;
constexpr int SearchEveryMs = 1000;
constexpr int TickMs = 10;
constexpr double StallMs = 100;
constexpr int GiveUpMs = 180 * 1000;
const QString CrowdMacPrefix = QStringLiteral("00:1A:2C:00");

// One search of the run, as the tool saw it.
struct Search
{
    double atMs = 0;
    int received = 0;       // answers from the crowd handed on by the engine before the next search
    int clients = 0;        // update connections open when it was sent
    int debugLines = 0;     // lines in the debug window when it was sent
    double longestGapMs = 0;
};

int countNamed(const QList<QJsonObject> &log, const char *name)
{
    int n = 0;
    for (const QJsonObject &event : log)
        n += event.value(QLatin1String("event")) == QLatin1String(name);
    return n;
}

QString writePackage(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("package.bin"));
    QByteArray bytes(PackageBytes, '\0');
    QRandomGenerator random(20240611);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside(argv[0], 2))
        return 2;
    BenchLab::prepareEnvironment();   // the debug window, not the debug output, is what is measured

    QApplication app(argc, argv);
    initResources();
    const int seconds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    QTemporaryDir dir;
    const QString package = writePackage(dir);
    if (package.isEmpty()) {
        std::fprintf(stderr, "bench_underload: cannot write the package\n");
        return 1;
    }

    MainWindowFixture ui;
    if (!ui.show()) {
        std::fprintf(stderr, "bench_underload: the main window never appeared\n");
        return 1;
    }
    Searcher *window = ui.window();
    Connect *engine = Connect::instance();
    UpdateRun *run = UpdateRun::instance();
    run->setUpdateTimeout(120 * 1000, 120 * 1000);

    // The debug window, open for the whole run.
    QMetaObject::invokeMethod(window, "openAdmin");
    auto *admin = window->findChild<Admin *>();
    auto *debugList = admin ? admin->findChild<QListWidget *>(QStringLiteral("listWidget")) : nullptr;
    if (!debugList) {
        std::fprintf(stderr, "bench_underload: no debug window\n");
        return 1;
    }

    // The devices to update, on device host 1, listed before the crowd comes.
    DevsimProcess updating;
    if (!ui.fillList(updating, Updating, {QStringLiteral("--package"), package, QStringLiteral("--restart-ms"),
                                          QStringLiteral("300"), QStringLiteral("--install-ms"), QStringLiteral("1000")})) {
        std::fprintf(stderr, "bench_underload: the %d devices to update did not answer\n", Updating);
        return 1;
    }

    // The crowd, on device host 2, with MACs and addresses of its own.
    DevsimProcess crowd;
    if (!crowd.start({QStringLiteral("--count"), QString::number(Crowd), QStringLiteral("--mac-prefix"), CrowdMacPrefix,
                      QStringLiteral("--first-ip"), QStringLiteral("192.168.150.1")}, 2)) {
        std::fprintf(stderr, "bench_underload: the crowd's devsim did not start\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    QList<Search> searches;
    int outsideWindow = 0;   // crowd answers before the first timed search
    const QMetaObject::Connection counting = QObject::connect(engine, &Connect::sendMsg, [&](int) {
        Search search;
        search.atMs = double(clock.nsecsElapsed()) / 1e6;
        search.clients = run->clientCount();
        search.debugLines = debugList->count();
        searches.append(search);
    });
    const QMetaObject::Connection answering = QObject::connect(engine, &Connect::receiveMsg, [&](QHostAddress, int, msg_broadcast_t record, int) {
        if (!Wire::readText(record.mac).startsWith(CrowdMacPrefix))
            return;
        if (searches.isEmpty())
            ++outsideWindow;
        else
            ++searches.last().received;
    });

    // The loop's pulse: a gap well over 10 ms between ticks is time it was not served.
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceTick;
    double longestGapMs = 0;
    double longestGapAtMs = 0;
    int stalls = 0;
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const double gap = double(sinceTick.nsecsElapsed()) / 1e6;
        sinceTick.start();
        if (gap > longestGapMs) {
            longestGapMs = gap;
            longestGapAtMs = double(clock.nsecsElapsed()) / 1e6;
        }
        stalls += gap > StallMs;
        if (!searches.isEmpty())
            searches.last().longestGapMs = qMax(searches.last().longestGapMs, gap);
    });
    sinceTick.start();
    pulse.start(TickMs);

    // The installer presses Search once every second, as long as the run lasts.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] { ui.click("pushButton_search"); });
    presser.start(SearchEveryMs);
    ui.click("pushButton_search");

    // Four updates at once, as one run: the rows picked with Ctrl, then Update from the menu, with its dialog.
    ui.child<QLineEdit>("lineEdit_fileAddress")->setText(package);
    QWidget *listRows = ui.list()->viewport();
    for (int row = 0; row < Updating; ++row)
        QTest::mouseClick(listRows, Qt::LeftButton, row ? Qt::ControlModifier : Qt::NoModifier,
                          ui.list()->visualRect(ui.list()->model()->index(row, 1)).center());
    ui.rightClickRow(Updating - 1);
    ui.chooseMenuEntry("widget_update");

    const bool over = BenchLab::waitUntil([&] {
        if (clock.elapsed() < seconds * 1000)
            return false;
        const QList<QJsonObject> log = updating.log();
        return countNamed(log, "update_finish") + countNamed(log, "update_failed") >= Updating;
    }, GiveUpMs, 500);
    presser.stop();
    // The answers to the last search.
    BenchLab::waitUntil([] { return false; }, SearchEveryMs, 200);
    pulse.stop();
    QObject::disconnect(counting);
    QObject::disconnect(answering);

    // devsim's side: the searches the crowd heard, each followed by its answers.
    QList<int> sent;
    int sendErrors = 0;
    for (const QJsonObject &event : crowd.log()) {
        const QString name = event.value(QLatin1String("event")).toString();
        if (name == QLatin1String("recv") && event.value(QLatin1String("cmd")).toInt() == Wire::SEARCH_DEVICE)
            sent.append(0);
        else if (name == QLatin1String("answer") && !sent.isEmpty()) {
            ++sent.last();
            sendErrors += event.contains(QLatin1String("error"));
        }
    }
    const QList<QJsonObject> updateLog = updating.log();
    int intact = 0;
    for (const QJsonObject &event : updateLog) {
        if (event.value(QLatin1String("event")) == QLatin1String("update_received"))
            intact += event.value(QLatin1String("md5_ok")).toBool() && event.value(QLatin1String("package_ok")).toBool();
    }

    std::printf("Under load: %d devices (device host 2) answer Search once every %d ms while %d devices (device host 1)\n"
                "take a %d-byte package at once; the main window, its update dialog and the debug window are open.\n",
                Crowd, SearchEveryMs, Updating, PackageBytes);
    std::printf("%6s %8s %8s %9s %6s %8s %12s %14s\n", "search", "at s", "sent", "received", "lost", "updating",
                "debug lines", "longest gap ms");
    int totalSent = 0;
    int totalReceived = 0;
    const int rows = int(qMin(searches.size(), sent.size()));
    for (int i = 0; i < rows; ++i) {
        const Search &s = searches.at(i);
        totalSent += sent.at(i);
        totalReceived += s.received;
        std::printf("%6d %8.1f %8d %9d %6d %8d %12d %14.1f\n", i + 1, s.atMs / 1000.0, sent.at(i), s.received,
                    sent.at(i) - s.received, s.clients, s.debugLines, s.longestGapMs);
    }
    std::printf("%6s %8.1f %8d %9d %6d %8s %12d %14.1f\n", "all", double(clock.elapsed()) / 1000.0, totalSent,
                totalReceived, totalSent - totalReceived, "", debugList->count(), longestGapMs);
    if (searches.size() != sent.size() || outsideWindow)
        std::printf("searches sent by the tool %d, heard by the crowd %d; crowd answers before the first: %d\n",
                    int(searches.size()), int(sent.size()), outsideWindow);
    std::printf("updates: %d of %d began, %d packages intact (MD5 and bytes), %d installed, %d failed%s\n",
                countNamed(updateLog, "update_begin"), Updating, intact, countNamed(updateLog, "update_finish"),
                countNamed(updateLog, "update_failed"), over ? "" : " (gave up waiting)");
    std::printf("event loop: longest gap between %d ms ticks %.1f ms (at %.1f s), %d gaps over %.0f ms; devsim send errors %d\n",
                TickMs, longestGapMs, longestGapAtMs / 1000.0, stalls, StallMs, sendErrors);
    crowd.command(QStringLiteral("quit"));
    updating.command(QStringLiteral("quit"));
    return 0;
}
