// Discovery at scale: N simulated devices answer one search in a burst; how
// many answers reach the registry, how long until the last row is on screen,
// what each answer costs and what the list holds in memory.
//
// It opens the protocol engine and broadcasts, so it runs only inside the lab:
//   tests/lab/lab.sh run -- build/bench/bench_discovery [N...]
// (make bench does that). Default N: 100 1000 5000; --reply mixed first sends
// every other answer to the private port.

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTreeView>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>

#include "devsimprocess.h"
#include "bench/benchlab.h"
#include "bench/paintclock.h"
#include "protocol/connect.h"
#include "protocol/localip.h"
#include "registry/devs.h"
#include "resources/resources.h"
#include "ui/devlist.h"

namespace {

// With no answer for this long the burst is over.
constexpr qint64 QuietNs = 1500LL * 1000 * 1000;
constexpr qint64 GiveUpNs = 60LL * 1000 * 1000 * 1000;

struct Row
{
    int n = 0;
    int received = 0;
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

Row runOnce(int n, const QString &reply, Connect *engine, Devs *devs, QTreeView *view)
{
    Row row;
    row.n = n;

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

    clock.start();
    const qint64 cpuBefore = cpuNs();
    engine->search();
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const qint64 now = clock.nsecsElapsed();
        const bool complete = devs->getDevList().size() >= n && paints.nsWhenReached(n) >= 0;
        if (complete || now - lastAnswerNs > QuietNs || now > GiveUpNs)
            break;
    }
    QObject::disconnect(counting);
    const int shown = view->model()->rowCount();
    const qint64 lastRowNs = paints.nsWhenReached(shown);
    const qint64 cpuSpent = cpuNs() - cpuBefore;

    row.received = devs->getDevList().size();
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
    qint64 searchTakenMs = -1;
    qint64 lastSentMs = -1;
    qint64 firstSentMs = -1;
    for (const QJsonObject &event : sim.log()) {
        const QString name = event.value(QLatin1String("event")).toString();
        const qint64 t = qint64(event.value(QLatin1String("t")).toDouble());
        if (name == QLatin1String("recv") && event.value(QLatin1String("cmd")).toInt() == Wire::SEARCH_DEVICE
            && searchTakenMs < 0)
            searchTakenMs = t;
        if (name == QLatin1String("answer")) {
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

    // [--reply broadcast|unicast|mixed] [N...]: mixed answers reach both answer ports at once.
    QStringList arguments = app.arguments().mid(1);
    QString reply = QStringLiteral("broadcast");
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--reply")) {
        reply = arguments.at(1);
        arguments = arguments.mid(2);
    }
    QList<int> sizes;
    for (const QString &argument : qAsConst(arguments))
        sizes << argument.toInt();
    if (sizes.isEmpty())
        sizes = {100, 1000, 5000};

    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();
    DevList list;
    list.resize(900, 500);
    list.show();
    auto *view = list.findChild<QTreeView *>(QStringLiteral("treeView"));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    std::printf("Discovery burst: N devices answer one search by %s (devsim on one device host, the tool's list on screen)\n",
                qPrintable(reply));
    std::printf("%6s %9s %5s %11s %10s %12s %11s %10s %9s %9s\n", "N", "received", "lost", "ms to last", "us per",
                "search to", "devsim", "devsim", "list", "list");
    std::printf("%6s %9s %5s %11s %10s %12s %11s %10s %9s %9s\n", "", "", "", "row", "answer", "last row ms",
                "burst ms", "send errs", "KiB", "B/row");
    QList<Row> rows;
    for (int n : sizes) {
        const Row row = runOnce(n, reply, engine, devs, view);
        rows << row;
        std::printf("%6d %9d %5d %11.1f %10.1f %12.1f %11.0f %10d %9.0f %9.0f\n", row.n, row.received, row.n - row.received,
                    row.msToLastRow, row.cpuUsPerAnswer, row.wallMs, row.devsimSpanMs, row.devsimErrors,
                    row.listBytes / 1024.0, row.received ? double(row.listBytes) / row.received : 0.0);
        std::fflush(stdout);
    }
    if (rows.size() >= 2 && rows.first().cpuUsPerAnswer > 0) {
        std::printf("us/answer ratio to N=%d:", rows.first().n);
        for (const Row &row : rows)
            std::printf("  N=%d %.2f", row.n, row.cpuUsPerAnswer / rows.first().cpuUsPerAnswer);
        std::printf("\n");
    }
    std::printf("local address: one full interface walk costs %.1f us\n", walkMicroseconds(200));
    return 0;
}
