// Discovery at scale: N simulated devices answer one search in a burst; how
// many answers reach the registry, how long until the last row is on screen,
// what each answer costs and what the list holds in memory. Each N is run
// with the answers read both ways, the Linux reader's and the portable one's.
//
// Three cases (--case): quiet, the window doing nothing else; stock, under a
// stock laptop's socket buffer limit (net.core.rmem_max 212992, which
// bench/run.sh sets for that run and restores after); busy, the GUI thread
// held for 200 ms right after the search, as when a dialog is being built.
// Answers lost in the burst (lost in burst; engine saw: what the reader
// learnt of it) bring the engine's own repeats of the search (repeats);
// missing: devices still not listed after them. The time to the last row
// counts from devsim's last answer to the first search, repeats included.
//
// It opens the protocol engine and broadcasts, so it runs only inside the lab:
//   tests/lab/lab.sh run -- build/bench/bench_discovery [--case C] [--reply R] [N...]
// (make bench runs all three cases). Default N: 1000 5000 10000; --reply mixed
// sends every other answer to the private port.

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTreeView>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "devsimprocess.h"
#include "bench/benchlab.h"
#include "bench/paintclock.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "protocol/datagramreader.h"
#include "protocol/localip.h"
#include "registry/devs.h"
#include "resources/resources.h"
#include "ui/devlist.h"

namespace {

// With no answer for this long the burst is over.
constexpr qint64 QuietNs = 1500LL * 1000 * 1000;
// With none for this long, neither will the engine search again for it.
constexpr qint64 SettledNs = 1000LL * 1000 * 1000;
constexpr qint64 GiveUpNs = 60LL * 1000 * 1000 * 1000;
constexpr int BusyMs = 200;

struct Row
{
    int n = 0;
    int received = 0;
    int lostInBurst = 0;   // devices not listed when the burst was over
    int seenDropped = 0;   // what the engine learnt it had lost in that burst
    int repeats = 0;       // searches the engine sent again by itself
    int devsimSent = 0;
    int devsimErrors = 0;
    double devsimSpanMs = 0;   // from its first answer to its last
    double msToLastRow = -1;
    double wallMs = 0;
    double cpuUsPerAnswer = 0;
    double walkUsPerAnswer = 0;
    qint64 listBytes = 0;
};

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
}

qint64 cpuNs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
            + usage.ru_stime.tv_usec) * 1000;
}

double walkMicroseconds(int calls)
{
    QElapsedTimer timer;
    timer.start();
    QList<LocalAddress> chosen;
    for (int i = 0; i < calls; ++i)
        chosen = LocalIp::candidates(LocalIp::hostInterfaces());
    return double(timer.nsecsElapsed()) / 1000.0 / calls;
}

// What the kernel grants a socket that asks for the engine's 8 MiB receive buffer.
int grantedReceiveBuffer()
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    int bytes = 8 * 1024 * 1024;
    socklen_t size = sizeof bytes;
    ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, size);
    ::getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, &size);
    ::close(socket);
    return bytes;
}

// The GUI thread does nothing but wait, as while a dialog is built; returns the CPU time it spent.
qint64 holdGuiThread(int ms)
{
    const qint64 before = cpuNs();
    QElapsedTimer held;
    held.start();
    while (!held.hasExpired(ms)) {
    }
    return cpuNs() - before;
}

Row runOnce(int n, const QString &reply, int busyMs, Connect *engine, Devs *devs, QTreeView *view)
{
    Row row;
    row.n = n;
    row.lostInBurst = -1;

    DevsimProcess sim;
    if (!sim.start({QStringLiteral("--count"), QString::number(n), QStringLiteral("--reply"), reply})) {
        std::fprintf(stderr, "bench_discovery: devsim did not start for N=%d\n", n);
        return row;
    }

    emit engine->cleanListMsg();
    devs->clear();
    QCoreApplication::processEvents();
    const qint64 heapBefore = heapInUse();

    QElapsedTimer clock;
    int answers = 0;
    qint64 lastAnswerNs = 0;
    const QMetaObject::Connection counting = QObject::connect(
        engine, &Connect::receiveMsg, [&answers, &lastAnswerNs, &clock](QHostAddress, int, msg_broadcast_t, int) {
            ++answers;
            lastAnswerNs = clock.nsecsElapsed();
        });
    PaintClock paints(view->viewport(), &clock, [view] { return view->model()->rowCount(); });
    // The engine's line on each burst that lost answers; the first one's burst is the search's own.
    const QMetaObject::Connection drops = QObject::connect(
        AdminService::instance(), &AdminService::debugMsg, [&row, devs](const QString &line) {
            static const QRegularExpression dropped(QStringLiteral("^\\[E\\]answers dropped: (\\d+)"));
            const QRegularExpressionMatch match = dropped.match(line);
            if (!match.hasMatch() || row.lostInBurst >= 0)
                return;
            row.lostInBurst = row.n - devs->getDevList().size();
            row.seenDropped = match.captured(1).toInt();
        });

    clock.start();
    const qint64 cpuBefore = cpuNs();
    const int searchesBefore = engine->searchCount();
    engine->search();
    const qint64 heldCpu = busyMs > 0 ? holdGuiThread(busyMs) : 0;
    // The real event loop, which sleeps while nothing is due: a GUI thread
    // spinning here would take the CPU that the answer reader needs.
    BenchLab::waitUntil([&] {
        const qint64 now = clock.nsecsElapsed();
        const bool complete = devs->getDevList().size() >= n && paints.nsWhenReached(n) >= 0;
        return complete || now - lastAnswerNs > QuietNs;
    }, int(GiveUpNs / 1000000), 5);
    const int shown = view->model()->rowCount();
    const qint64 lastRowNs = paints.nsWhenReached(shown);
    const qint64 cpuSpent = cpuNs() - cpuBefore - heldCpu;
    // A repeat the engine still owes this search goes out before the next run.
    BenchLab::waitUntil([&] { return clock.nsecsElapsed() - lastAnswerNs > SettledNs; }, int(GiveUpNs / 1000000), 20);
    QObject::disconnect(counting);
    QObject::disconnect(drops);
    row.repeats = engine->searchCount() - searchesBefore - 1;

    row.received = devs->getDevList().size();
    if (row.lostInBurst < 0)
        row.lostInBurst = n - row.received;
    row.wallMs = double(lastRowNs) / 1e6;
    row.cpuUsPerAnswer = answers ? double(cpuSpent) / 1000.0 / answers : 0;

    // The last answer devsim sent, on our clock: devsim took the search at
    // about the time it left here (a veth hop is microseconds).
    sim.waitForLog([n](const QList<QJsonObject> &events) {
        int sent = 0;
        for (const QJsonObject &event : events)
            sent += event.value(QLatin1String("event")) == QLatin1String("answer");
        return sent >= n;
    }, 10000);
    // The first burst ends where devsim takes the engine's first repeat.
    qint64 searchTakenMs = -1;
    qint64 repeatTakenMs = -1;
    qint64 lastSentMs = -1;
    qint64 firstSentMs = -1;
    for (const QJsonObject &event : sim.log()) {
        const QString name = event.value(QLatin1String("event")).toString();
        const qint64 t = qint64(event.value(QLatin1String("t")).toDouble());
        if (name == QLatin1String("recv") && event.value(QLatin1String("cmd")).toInt() == Wire::SEARCH_DEVICE)
        {
            if (searchTakenMs < 0)
                searchTakenMs = t;
            else if (repeatTakenMs < 0)
                repeatTakenMs = t;
        }
        if (name == QLatin1String("answer") && (repeatTakenMs < 0 || t < repeatTakenMs)) {
            ++row.devsimSent;
            lastSentMs = qMax(lastSentMs, t);
            firstSentMs = firstSentMs < 0 ? t : qMin(firstSentMs, t);
            if (event.contains(QLatin1String("error")))
                ++row.devsimErrors;
        }
    }
    row.devsimSpanMs = double(lastSentMs - firstSentMs);
    if (lastRowNs >= 0 && searchTakenMs >= 0 && lastSentMs >= 0)
        row.msToLastRow = qMax(0.0, double(lastRowNs) / 1e6 - double(lastSentMs - searchTakenMs));

    // The list's share of the heap: what goes when its model goes.
    const qint64 heapFilled = heapInUse();
    emit engine->cleanListMsg();
    QCoreApplication::processEvents();
    row.listBytes = heapFilled - heapInUse();
    Q_UNUSED(heapBefore)

    sim.command(QStringLiteral("quit"));
    return row;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside(argv[0]))
        return 2;
    BenchLab::prepareEnvironment();

    QApplication app(argc, argv);
    initResources();

    // [--case quiet|stock|busy] [--reply broadcast|unicast|mixed] [N...]
    QStringList arguments = app.arguments().mid(1);
    QString benchCase = QStringLiteral("quiet");
    QString reply = QStringLiteral("broadcast");
    while (arguments.size() >= 2 && arguments.first().startsWith(QLatin1String("--"))) {
        (arguments.first() == QLatin1String("--case") ? benchCase : reply) = arguments.at(1);
        arguments = arguments.mid(2);
    }
    QList<int> sizes;
    for (const QString &argument : qAsConst(arguments))
        sizes << argument.toInt();
    if (sizes.isEmpty())
        sizes = {1000, 5000, 10000};
    const int busyMs = benchCase == QLatin1String("busy") ? BusyMs : 0;

    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();
    DevList list;
    list.resize(900, 500);
    list.show();
    auto *view = list.findChild<QTreeView *>(QStringLiteral("treeView"));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    std::printf("Discovery burst, case %s: N devices answer one search by %s (devsim on one device host, the tool's list "
                "on screen); a socket asking for 8 MiB gets %d bytes, the GUI thread is held %d ms after the search\n",
                qPrintable(benchCase), qPrintable(reply), grantedReceiveBuffer(), busyMs);
    std::printf("%6s %-9s %9s %8s %8s %8s %8s %11s %10s %8s %12s %11s %10s %9s %9s\n", "N", "reader", "received",
                "lost in", "engine", "repeats", "missing", "ms to last", "us per", "ratio to", "search to", "devsim",
                "devsim", "list", "list");
    std::printf("%6s %-9s %9s %8s %8s %8s %8s %11s %10s %8s %12s %11s %10s %9s %9s\n", "", "", "", "burst", "saw",
                "", "", "row", "answer", "first N", "last row ms", "burst ms", "send errs", "KiB", "B/row");
    const struct { DatagramReader::Path path; const char *name; } readers[] = {{DatagramReader::LinuxPath, "linux"},
                                                                              {DatagramReader::PortablePath, "portable"}};
    double firstUsPerAnswer[2] = {0, 0};
    for (int n : sizes) {
        for (int r = 0; r < 2; ++r) {
            engine->readAnswersBy(readers[r].path);
            const Row row = runOnce(n, reply, busyMs, engine, devs, view);
            if (firstUsPerAnswer[r] <= 0)
                firstUsPerAnswer[r] = row.cpuUsPerAnswer;
            std::printf("%6d %-9s %9d %8d %8d %8d %8d %11.1f %10.1f %8.2f %12.1f %11.0f %10d %9.0f %9.0f\n", row.n,
                        readers[r].name, row.received, row.lostInBurst, row.seenDropped, row.repeats,
                        row.n - row.received, row.msToLastRow, row.cpuUsPerAnswer,
                        firstUsPerAnswer[r] > 0 ? row.cpuUsPerAnswer / firstUsPerAnswer[r] : 0.0, row.wallMs,
                        row.devsimSpanMs, row.devsimErrors, row.listBytes / 1024.0,
                        row.received ? double(row.listBytes) / row.received : 0.0);
            std::fflush(stdout);
        }
    }
    std::printf("local address: one full interface walk costs %.1f us\n", walkMicroseconds(200));
    return 0;
}
