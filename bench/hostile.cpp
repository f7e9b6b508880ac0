// A hostile LAN: the attacks a laptop or a compromised camera on the installer's
// network can make on the tool, each measured by what the tool did.
//   1 resets right after a package request and right after the header
//   2 "installed" reports from hosts that never took the whole package
//   3 floods of package requests with a 64 MiB package
//   4 idle strangers' connections before a device's transfer
//   5 spoofed search answers and forged update-begin answers
//   6 descriptors running out
// The legitimate device is this host at the address the tool presents, where
// the update server listens; the attacker binds the tool host's other address.
//
// It opens the protocol engine, so it runs only inside the lab:
//   tests/lab/lab.sh run -- build/bench/bench_hostile   (make bench does that)

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include "bench/benchlab.h"
#include "bench/stallwatch.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/devs.h"
#include "support/labaddresses.h"
#include "simupdater.h"
#include "update/update.h"
#include "update/updaterun.h"

namespace {

// One end of an update connection: the device (from the tool's own address) or the attacker.
struct Peer
{
    QTcpSocket socket;
    qint64 received = 0;

    explicit Peer(bool attacker = false)
    {
        socket.bind(attacker ? LabAddresses::stranger() : LabAddresses::presented());
        socket.connectToHost(LabAddresses::presented(), Transfer::ServerPort);
    }
    bool settled()
    {
        return socket.state() == QAbstractSocket::ConnectedState || socket.state() == QAbstractSocket::UnconnectedState;
    }
    bool connected() { return BenchLab::waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 2000, 1); }
    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    void drain() { received += socket.readAll().size(); }
    void reset()
    {
        const linger abortive{1, 0};
        ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        socket.abort();
    }
};

QString makePackage(const QTemporaryDir &dir, qint64 bytes)
{
    const QString path = dir.filePath(QStringLiteral("package-%1.bin").arg(bytes));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.resize(bytes);
    return path;
}

// An update of devices at this host (each failed one makes room for the next), its package measured.
void startRun(UpdateRun *run, const QString &package, int devices = 1)
{
    run->resetUpdate();
    Devs::instance()->clear();
    Connect *engine = Connect::instance();
    msg_broadcast_t record = Wire::emptyRecord();
    Wire::writeText(record.ip, LabAddresses::presented().toString());
    for (int i = 0; i < devices; ++i) {
        Wire::writeText(record.mac, QStringLiteral("00:1A:2B:3C:01:%1").arg(i, 2, 10, QLatin1Char('0')));
        emit engine->receiveMsg(QHostAddress::LocalHost, 1, record, Wire::BroadcastAnswerPort);
    }
    int ready = 0;
    const QMetaObject::Connection counting = QObject::connect(AdminService::instance(), &AdminService::debugMsg,
                                                              [&](const QString &line) { ready += line.startsWith(QLatin1String("[TCP]package ready")); });
    run->startAllUpdate(package, Devs::instance()->getDevList());
    BenchLab::waitUntil([&] { return ready > 0; }, 20000, 5);
    QObject::disconnect(counting);
}

// Bytes per second that the device at this host takes the package at, after
// that many strangers tried to connect and stayed.
double transferRate(UpdateRun *run, const QString &package, qint64 bytes, int strangers = 0)
{
    startRun(run, package);
    std::vector<std::unique_ptr<Peer>> crowd;
    for (int i = 0; i < strangers; ++i)
        crowd.push_back(std::make_unique<Peer>(true));
    BenchLab::waitUntil([&] { return std::all_of(crowd.begin(), crowd.end(), [](auto &peer) { return peer->settled(); }); }, 10000, 10);
    Peer device;
    if (!device.connected())
        return 0;
    QElapsedTimer clock;
    clock.start();
    device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
    BenchLab::waitUntil([&] { device.drain(); return device.received >= 44 + bytes; }, 120000, 1);
    return double(device.received - 44) * 1000.0 / double(qMax<qint64>(1, clock.elapsed()));
}

void resets(UpdateRun *run, const QString &package)
{
    startRun(run, package, 41);   // each reset fails a device of its own
    int survived = 0;
    for (int i = 0; i < 40; ++i) {
        Peer device;
        if (!device.connected())
            continue;
        device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
        if (i % 2)
            device.socket.disconnectFromHost();   // the header goes out, the first packet finds the reset
        else
            device.reset();
        BenchLab::waitUntil([&] { return run->clientCount() == 0; }, 2000, 1);
        ++survived;
    }
    Peer device;
    device.connected();
    device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
    const bool whole = BenchLab::waitUntil([&] { device.drain(); return device.received == 44 + 4 * 8192; }, 5000, 1);
    std::printf("1 resets: %d resets and closes at the request survived; the next device got %s package\n", survived,
                whole ? "its whole" : "NOT its whole");
}

void falseCompleted(UpdateRun *run, const QString &package, qint64 bytes)
{
    startRun(run, package);
    QSignalSpy installed(run, SIGNAL(updateFinishMsg(int)));
    Peer device;
    device.connected();
    device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
    BenchLab::waitUntil([&] { device.drain(); return device.received >= 3 * 1024 * 1024; }, 10000, 1);
    Peer stranger(true);
    Peer sameHost;
    stranger.connected();
    sameHost.connected();
    stranger.send(SimUpdater::message(Transfer::UPDATE_PATCH_FINISH));
    sameHost.send(SimUpdater::message(Transfer::UPDATE_PATCH_FINISH));
    BenchLab::waitUntil([&] { device.drain(); return device.received >= 44 + bytes; }, 60000, 1);
    std::printf("2 false completed: %d of 2 forged installed reports believed; the device received %lld of %lld bytes\n",
                int(installed.size()), device.received - 44, bytes);
}

void requestFlood(UpdateRun *run, const QString &package, qint64 bytes)
{
    StallWatch stalls(10);
    startRun(run, package);
    int refused = 0;
    for (int i = 0; i < 200; ++i) {
        Peer stranger(true);
        stranger.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
        BenchLab::waitUntil([&] { stranger.drain(); return stranger.socket.state() == QAbstractSocket::UnconnectedState; }, 2000, 1);
        refused += stranger.received == 0;
    }
    Peer device;
    device.connected();
    for (int i = 0; i < 200; ++i)
        device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
    BenchLab::waitUntil([&] { device.drain(); return false; }, 1000, 1);
    run->resetUpdate();   // the run is over: the package is no longer served
    Peer late;
    late.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH));
    const bool lateClosed = BenchLab::waitUntil([&] { return late.socket.state() == QAbstractSocket::UnconnectedState; }, 2000, 1);
    late.drain();
    std::printf("3 request flood (%lld MiB package): 200 requests from a stranger, %d closed with nothing; 200 requests of the device; "
                "longest event-loop stall %lld ms; after the run a request got %lld bytes and %s\n",
                bytes >> 20, refused, stalls.worstMs(), late.received, lateClosed ? "was closed" : "was NOT closed");
}

void idleStrangers(UpdateRun *run, const QString &package, qint64 bytes)
{
    const double alone = transferRate(run, package, bytes);
    const double crowded = transferRate(run, package, bytes, 200);
    std::printf("4 idle strangers: %lld MiB alone %.0f B/s; after 200 idle connections from another address %.0f B/s "
                "(%.2f of alone)\n",
                bytes >> 20, alone, crowded, crowded / qMax(1.0, alone));
}

qint64 rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void spoofing(UpdateRun *run, const QString &package)
{
    run->resetUpdate();
    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();
    devs->clear();
    const qint64 before = rssKiB();
    int received = engine->receiveCount();
    QUdpSocket attacker;
    attacker.bind(LabAddresses::stranger(), 0);
    attacker.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
    msg_broadcast_t record = Wire::emptyRecord();
    QElapsedTimer clock;
    clock.start();
    constexpr int Spoofed = 100000;
    for (int i = 0; i < Spoofed; ++i) {
        Wire::writeText(record.mac, QStringLiteral("spoofed-%1").arg(i));
        while (attacker.writeDatagram(Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize), record), LabAddresses::presented(),
                                      Wire::BroadcastAnswerPort) < 0)
            QCoreApplication::processEvents();
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }
    BenchLab::waitUntil([&] { return engine->receiveCount() - received >= Spoofed; }, 10000, 50);
    std::printf("5 spoofed answers: %d sent in %lld ms, %d taken; %d records kept (bound %d); memory %+lld KiB\n", Spoofed,
                clock.elapsed(), engine->receiveCount() - received, int(devs->getDevList().size()), Devs::MaxDevices,
                rssKiB() - before);

    devs->clear();
    Wire::writeText(record.mac, QStringLiteral("00:1A:2B:3C:00:01"));
    Wire::writeText(record.ip, QStringLiteral("192.168.147.11"));
    emit engine->receiveMsg(QHostAddress(QStringLiteral("192.168.147.11")), 1, record, Wire::BroadcastAnswerPort);
    devs->selectDev(0);
    Update dialog;
    dialog.show();
    run->startUpdate(package, {devs->getSelected()});
    received = engine->receiveCount();
    clock.restart();
    for (int i = 0; i < 3000; ++i)
        attacker.writeDatagram(Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, 0)), LabAddresses::presented(), Wire::BroadcastAnswerPort);
    BenchLab::waitUntil([&] { return engine->receiveCount() - received >= 3000; }, 10000, 1);
    const qint64 took = clock.elapsed();
    int rows = 0;
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        rows += box->objectName().startsWith(QLatin1String("checkBox_restart_")) && box->isChecked();
    std::printf("5 forged update-begin answers: 3000 sent, taken in %lld ms; rows begun in the dialog: %d\n", took, rows);
    run->resetUpdate();
    devs->clear();
}

void descriptorsRunOut(UpdateRun *run, const QString &package)
{
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit saved = limit;
    // A few more descriptors than are open now: the attacker's sockets use them up.
    int open = 0;
    for (int fd = 0; fd < 4096; ++fd)
        open += ::fcntl(fd, F_GETFD) != -1;
    limit.rlim_cur = rlim_t(open + 40);
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<std::unique_ptr<Peer>> crowd;
    for (int i = 0; i < 40; ++i) {
        crowd.push_back(std::make_unique<Peer>(true));
        BenchLab::waitUntil([] { return false; }, 5, 1);
    }
    crowd.clear();
    setrlimit(RLIMIT_NOFILE, &saved);
    BenchLab::waitUntil([] { return false; }, 1500, 10);   // the server's retry
    startRun(run, package);
    Peer device;
    const bool served = device.connected() && (device.send(SimUpdater::message(Transfer::GET_UPDATE_PATCH)),
                                               BenchLab::waitUntil([&] { device.drain(); return device.received >= 44; }, 3000, 1));
    std::printf("6 descriptors ran out (limit %d): afterwards a device %s\n", open + 40,
                served ? "connected and was served" : "was NOT served");
    run->resetUpdate();
}

} // namespace

int main(int argc, char *argv[])
{
    if (!BenchLab::inside("bench_hostile"))
        return 2;
    BenchLab::prepareEnvironment();
    // A thousand attacking connections and their accepted ends need more than the default 1024 descriptors.
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    QApplication app(argc, argv);
    UpdateRun *run = UpdateRun::instance();
    Devs::instance();
    QTemporaryDir dir;
    const qint64 big = 64LL * 1024 * 1024;
    const QString package64 = makePackage(dir, big);
    const QString package16 = makePackage(dir, 16LL * 1024 * 1024);
    const QString package4 = makePackage(dir, 4LL * 1024 * 1024);
    const QString package32k = makePackage(dir, 4 * 8192);

    resets(run, package32k);
    falseCompleted(run, package16, 16LL * 1024 * 1024);
    requestFlood(run, package64, big);
    idleStrangers(run, package4, 4LL * 1024 * 1024);
    spoofing(run, package32k);
    descriptorsRunOut(run, package32k);
    return 0;
}
