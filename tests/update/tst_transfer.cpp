#include <QtTest>
#include <QCryptographicHash>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstring>

#include <sys/socket.h>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/stallwatch.h"

namespace {

QByteArray message(quint32 cmd)
{
    COMM_PACK_HEAD head;
    std::memset(&head, 0, sizeof head);
    head.cmd = cmd;
    return QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head));
}

// A device's end of the update connection.
struct Device
{
    QTcpSocket socket;
    QByteArray received;

    bool join()
    {
        // The event loop runs meanwhile, so the server accepts as connections come.
        socket.connectToHost(QHostAddress::LocalHost, Transfer::ServerPort);
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 2000);
    }
    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    void collect() { received += socket.readAll(); }
    // Asks for the package and waits until it is all here.
    bool takePackage(int size)
    {
        send(message(Transfer::GET_UPDATE_PATCH));
        return QTest::qWaitFor([&] { collect(); return received.size() >= 44 + size; }, 10000);
    }
    // Closes with a reset rather than a goodbye, as a device that loses power mid-transfer.
    void reset()
    {
        const linger abortive{1, 0};
        ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        socket.abort();
    }
    bool closedByTool()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 5000);
    }
};

bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

} // namespace

// The update server against scripted device connections on loopback.
class TestTransfer : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    QTemporaryDir dir;
    QString path;
    QByteArray package;

    bool packageChanged = false;

    void makePackage(int size)
    {
        packageChanged = true;
        package = QByteArray(size, '\0');
        for (int i = 0; i < size; ++i)
            package[i] = char((i * 7 + i / 8192) & 0xff);
        path = dir.filePath(QStringLiteral("package-%1.bin").arg(size));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(package);
    }

    // Starts a single update of a device known to the registry, so that requests
    // for the package from its address are served; the devices here connect
    // from loopback.
    void startRun(const QString &deviceIp = QStringLiteral("127.0.0.1"))
    {
        engine->resetUpdate();
        msg_broadcast_t record = Wire::emptyRecord();
        Wire::writeText(record.mac, QStringLiteral("update-target"));
        Wire::writeText(record.ip, deviceIp);
        emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, record, 18153);
        Devs::instance()->selectDev(0);
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->startUpdate(path);
        QVERIFY(engine->isUpdating());
        // A new package is measured before it is served.
        QVERIFY(!packageChanged || waitFor([&] {
            for (const QList<QVariant> &line : qAsConst(lines))
                if (line.at(0).toString().startsWith(QLatin1String("[TCP]package ready")))
                    return true;
            return false;
        }, 20000));
        packageChanged = false;
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        Devs::instance();
    }

    void cleanup() { engine->resetUpdate(); }

    void join_and_exit_are_logged()
    {
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QSignalSpy joined(engine, SIGNAL(newConnectMsg(int)));
        {
            Device device;
            QVERIFY(device.join());
            QVERIFY(waitFor([&] { return joined.size() == 1; }));
        }
        const int d = joined.at(0).at(0).toInt();
        QVERIFY(waitFor([&] { return lines.size() == 2; }));
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("[TCP]client:%1 join").arg(d));
        QCOMPARE(lines.at(1).at(0).toString(), QStringLiteral("[TCP]client:%1 exit").arg(d));
        QCOMPARE(lines.at(1).at(1).toInt(), 0);
        QCOMPARE(engine->clientCount(), 0);
    }

    void request_gets_header_then_the_whole_package_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("splitRequest");
        QTest::newRow("20 packets and a bit") << 20 * 8192 + 100 << false;
        QTest::newRow("request split into 1-byte writes") << 3 * 8192 << true;
        QTest::newRow("empty package") << 0 << false;
    }

    void request_gets_header_then_the_whole_package()
    {
        QFETCH(int, size);
        QFETCH(bool, splitRequest);
        makePackage(size);
        startRun();
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        QSignalSpy finished(engine, SIGNAL(sendFinishMsg(int)));
        Device device;
        QVERIFY(device.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 1; }));
        const QByteArray request = message(Transfer::GET_UPDATE_PATCH);
        if (splitRequest) {
            for (char byte : request) {
                device.send(QByteArray(1, byte));
                QTest::qWait(2);
            }
        } else {
            device.send(request);
        }
        QVERIFY(waitFor([&] { device.collect(); return device.received.size() >= 44 + size && !finished.isEmpty(); }, 10000));
        QTest::qWait(50);
        device.collect();
        QCOMPARE(device.received.size(), 44 + size);
        COMM_PACK_HEAD head;
        std::memcpy(&head, device.received.constData(), sizeof head);
        QCOMPARE(head.cmd, quint32(2));
        QCOMPARE(head.fileSize, quint32(size));
        const QByteArray md5 = QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex();
        QCOMPARE(QByteArray(head.md5, 4), md5.left(4));
        QCOMPARE(device.received.mid(12, 32), QByteArray(32, '\0'));
        QCOMPARE(device.received.mid(44), package);
        const int packets = (size + 8191) / 8192;
        QCOMPARE(progress.size(), packets);
        if (packets) {
            QCOMPARE(progress.last().at(0).toInt(), packets);
            QCOMPARE(progress.last().at(1).toInt(), packets);
        }
    }

    void two_devices_are_served_in_turn()
    {
        makePackage(10 * 8192);
        startRun();
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        Device a;
        Device b;
        QVERIFY(a.join());
        QVERIFY(b.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 2; }));
        a.send(message(Transfer::GET_UPDATE_PATCH));
        b.send(message(Transfer::GET_UPDATE_PATCH));
        QVERIFY(waitFor([&] { a.collect(); b.collect(); return a.received.size() == 44 + package.size() && b.received.size() == 44 + package.size(); }, 10000));
        QCOMPARE(a.received.mid(44), package);
        QCOMPARE(b.received.mid(44), package);
        QVERIFY(waitFor([&] { return progress.size() == 20; }));
        QCOMPARE(progress.last().at(1).toInt(), 20);   // both packages count toward the total
    }

    void device_leaving_mid_transfer_leaves_the_other_running()
    {
        makePackage(40 * 8192);
        startRun();
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QSignalSpy joined(engine, SIGNAL(newConnectMsg(int)));
        auto *leaving = new Device;
        Device staying;
        QVERIFY(leaving->join());
        QVERIFY(staying.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 2; }));
        leaving->send(message(Transfer::GET_UPDATE_PATCH));
        staying.send(message(Transfer::GET_UPDATE_PATCH));
        QVERIFY(waitFor([&] { leaving->collect(); return leaving->received.size() > 5 * 8192; }));
        const int gone = joined.at(0).at(0).toInt();
        delete leaving;
        QVERIFY(waitFor([&] { staying.collect(); return staying.received.size() == 44 + package.size(); }, 15000));
        QCOMPARE(staying.received.mid(44), package);
        QCOMPARE(engine->clientCount(), 1);
        bool exitLogged = false;
        for (const QList<QVariant> &line : lines)
            exitLogged = exitLogged || line.at(0).toString() == QStringLiteral("[TCP]client:%1 exit").arg(gone);
        QVERIFY(exitLogged);
    }

    void garbage_and_short_messages_are_harmless()
    {
        makePackage(8192);
        startRun();
        Device device;
        QVERIFY(device.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 1; }));
        QSignalSpy installed(engine, SIGNAL(updateFinishMsg(int)));
        device.send(QByteArray(43, '\x01'));   // one byte short of a header: kept, nothing acted on
        QRandomGenerator random(7);
        QByteArray noise(1 + 44 * 50, '\0');   // completes the first with byte 44, then 50 headers of noise
        for (char &c : noise)
            c = char(random.bounded(4, 256));
        device.send(noise);
        device.send(message(Transfer::SEND_UPDATE_PATCH));
        device.send(message(Transfer::UPDATE_PATCH_FINISH));   // before the package: not believed
        QVERIFY(device.takePackage(package.size()));
        QTest::qWait(50);
        device.collect();
        QCOMPARE(device.received.mid(44), package);   // one header: no noise was taken for a request
        QCOMPARE(installed.size(), 0);
        device.send(message(Transfer::UPDATE_PATCH_FINISH));
        QVERIFY(waitFor([&] { return installed.size() == 1; }));
    }

    void a_reset_at_any_moment_is_survived_data()
    {
        QTest::addColumn<int>("packetsFirst");
        QTest::addColumn<bool>("polite");
        // The header write finds the reset.
        QTest::newRow("reset right after the request") << 0 << false;
        // The header goes out to a closed socket, whose reset the first packet finds.
        QTest::newRow("closed right after the request") << 0 << true;
        QTest::newRow("reset mid-transfer") << 5 << false;
    }

    void a_reset_at_any_moment_is_survived()
    {
        QFETCH(int, packetsFirst);
        QFETCH(bool, polite);
        makePackage(40 * 8192);
        startRun();
        Device failing;
        QVERIFY(failing.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 1; }));
        failing.send(message(Transfer::GET_UPDATE_PATCH));
        if (packetsFirst)
            QVERIFY(waitFor([&] { failing.collect(); return failing.received.size() >= 44 + packetsFirst * 8192; }));
        if (polite)
            failing.socket.disconnectFromHost();
        else
            failing.reset();
        QVERIFY(waitFor([&] { return engine->clientCount() == 0; }));

        Device next;
        QVERIFY(next.join());
        QVERIFY(next.takePackage(package.size()));
        QCOMPARE(next.received.mid(44), package);
    }

    void a_stranger_gets_nothing_and_keeps_no_run_alive_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("no run under way") << false;
        QTest::newRow("not a device of the run") << true;
    }

    void a_stranger_gets_nothing_and_keeps_no_run_alive()
    {
        QFETCH(bool, running);
        makePackage(8192);
        engine->setUpdateTimeout(400);
        QSignalSpy timedOut(engine, SIGNAL(updateTimeOutMsg()));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        if (running)
            startRun(QStringLiteral("192.168.147.11"));
        QElapsedTimer clock;
        clock.start();
        // A host that keeps asking, on a new connection each time, all through the run.
        while (clock.elapsed() < 3000 && (running ? timedOut.isEmpty() : clock.elapsed() < 500)) {
            Device stranger;
            QVERIFY(stranger.join());
            stranger.send(message(Transfer::GET_UPDATE_PATCH));
            QVERIFY(stranger.closedByTool());
            stranger.collect();
            QVERIFY(stranger.received.isEmpty());
        }
        QCOMPARE(timedOut.size(), running ? 1 : 0);
        QVERIFY(!engine->isUpdating());   // the run is over: automatic search may go on
        engine->setUpdateTimeout(120 * 1000, 300 * 1000);
        bool refused = false;
        for (const QList<QVariant> &line : lines)
            refused = refused || (line.at(0).toString() == QLatin1String("[E]refuse package request from:127.0.0.1")
                                  && line.at(1).toInt() == AdminService::Error);
        QVERIFY(refused);
    }

    void idle_and_surplus_connections_are_closed()
    {
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        std::vector<std::unique_ptr<Device>> crowd;
        for (int i = 0; i < 64; ++i) {
            crowd.push_back(std::make_unique<Device>());
            QVERIFY(crowd.back()->join());
        }
        QVERIFY(waitFor([&] { return engine->clientCount() == 64; }));
        Device surplus;
        QVERIFY(surplus.join());
        QVERIFY(surplus.closedByTool());
        int full = 0;
        for (const QList<QVariant> &line : lines)
            full += line.at(0).toString().startsWith(QLatin1String("[E]update server full (64 connections)"));
        QCOMPARE(full, 1);

        engine->setUpdateIdleTimeout(300);
        for (auto &idle : crowd)
            QVERIFY(idle->closedByTool());
        engine->setUpdateIdleTimeout(10 * 1000);
        QVERIFY(waitFor([&] { return engine->clientCount() == 0; }));
    }

    void idle_connections_do_not_slow_a_transfer()
    {
        makePackage(128 * 8192);
        auto transferMs = [&] {
            startRun();
            Device device;
            QElapsedTimer clock;
            clock.start();
            if (!device.join() || !device.takePackage(package.size()))
                return qint64(-1);
            return clock.elapsed();
        };
        const qint64 alone = transferMs();
        std::vector<std::unique_ptr<Device>> idle(50);
        for (auto &connection : idle) {
            connection = std::make_unique<Device>();
            QVERIFY(connection->join());
        }
        const qint64 crowded = transferMs();
        QVERIFY(alone > 0 && crowded > 0);
        QVERIFY2(crowded < 2 * alone, qPrintable(QStringLiteral("alone %1 ms, with 50 idle connections %2 ms").arg(alone).arg(crowded)));
    }

    void package_requests_never_block_the_window()
    {
        makePackage(48 * 1024 * 1024);
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        StallWatch stalls(10);
        startRun();
        std::vector<std::unique_ptr<Device>> devices(10);
        for (auto &device : devices) {
            device = std::make_unique<Device>();
            QVERIFY(device->join());
        }
        for (int round = 0; round < 10; ++round) {
            for (auto &device : devices)
                device->send(message(Transfer::GET_UPDATE_PATCH));
            QTest::qWait(20);
        }
        QVERIFY(waitFor([&] {
            int ready = 0;
            for (const QList<QVariant> &line : lines)
                ready += line.at(0).toString().startsWith(QLatin1String("[TCP]package ready,size:50331648"));
            return ready == 1;
        }, 20000));
        QTest::qWait(200);
        QVERIFY2(stalls.worstMs() < 100, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(stalls.worstMs())));
    }

    void update_begin_counts_once_per_device_of_the_run()
    {
        makePackage(8192);
        startRun(QStringLiteral("192.168.147.11"));
        QSignalSpy begun(engine, SIGNAL(updateBeginMsg()));
        const QByteArray answer = Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, 0));
        msg_head_t head = Wire::makeHead(Wire::UPDATE_BEGIN, 0);
        for (int i = 0; i < 100; ++i)
            engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.66")), 18155);
        QCOMPARE(begun.size(), 0);
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.11")), 18155);
        engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.11")), 18155);
        QCOMPARE(begun.size(), 1);
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("[R]update begin,from:192.168.147.11"));
        QCOMPARE(lines.at(0).at(1).toInt(), int(AdminService::Received));
        Devs::instance()->clear();
    }

    void reset_restarts_the_counters()
    {
        makePackage(4 * 8192);
        startRun();
        Device first;
        QVERIFY(first.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 1; }));
        first.send(message(Transfer::GET_UPDATE_PATCH));
        QVERIFY(waitFor([&] { first.collect(); return first.received.size() == 44 + package.size(); }));
        engine->resetUpdate();
        QCOMPARE(engine->clientCount(), 0);
        QVERIFY(!engine->isUpdating());
        QTest::qWait(50);

        startRun();
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        Device second;
        QVERIFY(second.join());
        QVERIFY(waitFor([&] { return engine->clientCount() == 1; }));
        second.send(message(Transfer::GET_UPDATE_PATCH));
        QVERIFY(waitFor([&] { return progress.size() == 4; }));
        QCOMPARE(progress.first().at(0).toInt(), 1);
        QCOMPARE(progress.last().at(1).toInt(), 4);
    }

    void only_one_report_per_device_of_this_run_counts_data()
    {
        QTest::addColumn<bool>("resetBetween");
        QTest::newRow("report repeated") << false;
        QTest::newRow("report on a connection from before a reset") << true;
    }

    void only_one_report_per_device_of_this_run_counts()
    {
        QFETCH(bool, resetBetween);
        makePackage(8192);
        startRun();
        Device device;
        QVERIFY(device.join());
        QVERIFY(device.takePackage(package.size()));
        QSignalSpy installed(engine, SIGNAL(updateFinishMsg(int)));
        QSignalSpy runOver(engine, SIGNAL(updateAllFinishMsg()));
        if (resetBetween) {
            startRun();   // a new run; the old connection stays open
            QCOMPARE(engine->clientCount(), 0);
        } else {
            device.send(message(Transfer::UPDATE_PATCH_FINISH));
            QVERIFY(waitFor([&] { return runOver.size() == 1; }));
        }
        device.send(message(Transfer::UPDATE_PATCH_FINISH));
        QTest::qWait(200);
        QCOMPARE(installed.size(), resetBetween ? 0 : 1);
        QCOMPARE(runOver.size(), resetBetween ? 0 : 1);
        Devs::instance()->clear();
    }

    void single_update_ends_without_starting_a_chain()
    {
        makePackage(8192);
        startRun();
        msg_broadcast_t other = Wire::emptyRecord();
        Wire::writeText(other.mac, QStringLiteral("not-chosen"));
        emit engine->receiveMsg(QHostAddress("192.168.147.12"), 1, other, 18153);
        QSignalSpy runOver(engine, SIGNAL(updateAllFinishMsg()));
        Device device;
        QVERIFY(device.join());
        QVERIFY(device.takePackage(package.size()));
        device.send(message(Transfer::UPDATE_PATCH_FINISH));
        QVERIFY(waitFor([&] { return runOver.size() == 1; }));
        QVERIFY(engine->isUpdating());   // the dialog resets the run when it shows the end
        Devs::instance()->clear();
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
