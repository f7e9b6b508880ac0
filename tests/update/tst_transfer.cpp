// The update server against scripted device connections on loopback: the
// bytes each device gets, devices that fail or misbehave on a hostile LAN,
// strangers, crowds, and the counts of a run.

#include <QtTest>
#include <QCryptographicHash>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstring>

#include <sys/socket.h>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/devs.h"
#include "support/debuglines.h"
#include "support/labaddresses.h"
#include "support/records.h"

namespace {

// A device's 44-byte message: the command, then zeros.
QByteArray message(char cmd)
{
    return QByteArray(1, cmd).leftJustified(44, '\0');
}
const QByteArray Request = message(1);
const QByteArray Installed = message(3);

using LabAddresses::presented;

// A device's end of the update connection.
struct Device
{
    QTcpSocket socket;
    QByteArray received;

    // Connects from the presented address unless from is given; the tool may close it at once.
    void knock(const QHostAddress &from = {})
    {
        socket.bind(from.isNull() ? presented() : from);
        socket.connectToHost(presented(), Transfer::ServerPort);
    }
    bool join()
    {
        knock();
        // The event loop runs meanwhile, so the server accepts as connections come.
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 2000);
    }
    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    bool has(int bytes, int ms = 10000)
    {
        return QTest::qWaitFor([&] { received += socket.readAll(); return received.size() >= bytes; }, ms);
    }
    // Asks for the package and waits until it is all here.
    bool takePackage(int size)
    {
        send(Request);
        return has(44 + size);
    }
    // Closes with a reset rather than a goodbye, as a device that loses power.
    void reset()
    {
        const linger abortive{1, 0};
        ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        socket.abort();
    }
    bool closedByTool() { return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }); }
};

// How many updateStepMsg reports of that step a spy caught.
int stepCount(const QSignalSpy &steps, int step)
{
    return int(std::count_if(steps.cbegin(), steps.cend(), [&](const QList<QVariant> &report) { return report.at(1).toInt() == step; }));
}

using Crowd = std::vector<std::unique_ptr<Device>>;

// count devices connected; false when one could not join.
bool join(Crowd &crowd, int count)
{
    crowd.resize(size_t(count));
    return std::all_of(crowd.begin(), crowd.end(), [](auto &device) { device = std::make_unique<Device>(); return device->join(); });
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    QTemporaryDir dir;
    QString path;
    QByteArray package;
    bool packageChanged = false;
    int runs = 0;

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

    // Starts an update of devices at deviceIp, all at once: only their
    // connections are served, and the devices here connect from the presented address.
    void startRun(int devices = 1, QString deviceIp = {})
    {
        if (deviceIp.isEmpty())
            deviceIp = presented().toString();
        engine->resetUpdate();
        Devs::instance()->clear();
        ++runs;   // new devices: none has installed this package yet
        for (int i = 0; i < devices; ++i)
            emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1,
                                    TestRecords::record(QStringLiteral("target-%1-%2").arg(runs).arg(i), deviceIp), 18153);
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->startAllUpdate(path);
        QVERIFY(engine->isUpdating());
        // A new package is measured before it is served.
        QVERIFY(!packageChanged || QTest::qWaitFor([&] { return countLines(log, "[TCP]package ready"); }, 20000));
        packageChanged = false;
    }

    // Sends bytes and waits until the server has read them.
    bool sendAndWait(Device &device, const QByteArray &bytes)
    {
        const int before = engine->receiveCount();
        device.send(bytes);
        return QTest::qWaitFor([&] { return engine->receiveCount() > before; });
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        engine->setUpdatesAtOnce(Connect::MaxUpdatesAtOnce);
    }
    void cleanup()
    {
        engine->resetUpdate();
        engine->setUpdateTimeout(120 * 1000, 300 * 1000);
    }

    void each_device_gets_header_then_the_whole_package_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("devices");
        QTest::addColumn<bool>("splitRequest");
        QTest::newRow("20 packets and a bit") << 20 * 8192 + 100 << 1 << false;
        QTest::newRow("request in 1-byte writes") << 3 * 8192 << 1 << true;
        QTest::newRow("empty package") << 0 << 1 << false;
        QTest::newRow("two devices count toward one total") << 10 * 8192 << 2 << false;
    }

    void each_device_gets_header_then_the_whole_package()
    {
        QFETCH(int, size);
        QFETCH(int, devices);
        QFETCH(bool, splitRequest);
        makePackage(size);
        startRun(devices);
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        QSignalSpy steps(engine, SIGNAL(updateStepMsg(int,int)));
        Crowd crowd;
        QVERIFY(join(crowd, devices) && QTest::qWaitFor([&] { return engine->clientCount() == devices; }));
        for (auto &device : crowd) {
            // Byte by byte, each read by the server before the next is sent.
            for (int at = 0; at < 44; at += splitRequest ? 1 : 44)
                QVERIFY(sendAndWait(*device, Request.mid(at, splitRequest ? 1 : 44)));
        }
        // Header: command 2, the size, the first four characters of the MD5 text, zeros.
        quint32 sizeLe = qToLittleEndian(quint32(size));
        const QByteArray head = (QByteArray::fromHex("02000000") + QByteArray(reinterpret_cast<const char *>(&sizeLe), 4)
                                 + QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex().left(4)).leftJustified(44, '\0');
        for (auto &device : crowd)
            QVERIFY(device->has(44 + size) && QTest::qWaitFor([&] { return stepCount(steps, 3) == devices; }));
        for (auto &device : crowd) {
            QVERIFY(sendAndWait(*device, message(9)));   // whatever came before the server read it is here
            QVERIFY(device->has(0));
            QCOMPARE(device->received, head + package);
        }
        const int packets = (size + 8191) / 8192 * devices;
        QCOMPARE(progress.size(), packets);
        if (packets)
            QCOMPARE(progress.last(), (QList<QVariant>{packets, packets}));
    }

    void a_failing_device_fails_alone_data()
    {
        QTest::addColumn<int>("packetsFirst");
        QTest::addColumn<QString>("failure");
        // The header write finds the reset.
        QTest::newRow("reset right after the request") << 0 << "reset";
        // The header goes out to a closed socket, whose reset the first packet finds.
        QTest::newRow("closed right after the request") << 0 << "close";
        QTest::newRow("reset mid-transfer") << 5 << "reset";
        QTest::newRow("gone mid-transfer") << 5 << "delete";
        QTest::newRow("stops reading mid-transfer") << 5 << "stall";
    }

    void a_failing_device_fails_alone()
    {
        QFETCH(int, packetsFirst);
        QFETCH(QString, failure);
        makePackage(40 * 8192);
        engine->setUpdateTimeout(1000);
        startRun(2);
        QSignalSpy failed(engine, SIGNAL(updateFailMsg(int,int,int,int)));
        auto *failing = new Device;
        Device next;
        QVERIFY(failing->join() && next.join());
        QVERIFY(QTest::qWaitFor([&] { return engine->clientCount() == 2; }));
        failing->send(Request);
        next.send(Request);
        QVERIFY(failing->has(44 + packetsFirst * 8192));
        if (failure == "reset")
            failing->reset();
        else if (failure == "close")
            failing->socket.disconnectFromHost();
        else if (failure == "stall")
            failing->socket.setReadBufferSize(1);
        else
            delete std::exchange(failing, nullptr);
        QVERIFY(next.has(44 + package.size(), 15000));
        QCOMPARE(next.received.mid(44), package);
        QVERIFY(sendAndWait(next, Installed));
        // A stalled device fails when its time is up, whether or not the whole package got into the buffers.
        QVERIFY(QTest::qWaitFor([&] { return failed.size() == 1; }));
        const QList<QVariant> reason = failed.first();
        QCOMPARE(reason.at(0).toInt(), 0);
        if (failure != "stall") {
            QCOMPARE(reason.at(1).toInt(), int(RunDevice::DisconnectedAt));
            QVERIFY(reason.at(2).toInt() >= packetsFirst && reason.at(2).toInt() <= 40);
            QCOMPARE(reason.at(3).toInt(), 40);
        }
        QVERIFY(QTest::qWaitFor([&] { return engine->clientCount() == 1; }));   // the stalled one is closed
        delete failing;
    }

    void a_connection_closed_before_asking_leaves_the_device_awaited()
    {
        makePackage(2 * 8192);
        startRun();
        QSignalSpy failed(engine, SIGNAL(updateFailMsg(int,int,int,int)));
        auto *leftover = new Device;
        QVERIFY(leftover->join() && QTest::qWaitFor([&] { return engine->clientCount() == 1; }));
        delete leftover;
        QVERIFY(QTest::qWaitFor([&] { return engine->clientCount() == 0; }));
        Device device;
        QVERIFY(device.join() && device.takePackage(package.size()));
        QCOMPARE(device.received.mid(44), package);
        QCOMPARE(failed.size(), 0);
    }

    void noise_and_an_early_installed_report_are_ignored()
    {
        makePackage(8192);
        startRun();
        Device device;
        QVERIFY(device.join());
        QSignalSpy installed(engine, SIGNAL(updateFinishMsg(int)));
        device.send(QByteArray(43, '\x01'));   // one byte short of a message: kept, nothing acted on
        QRandomGenerator random(7);
        QByteArray noise(1 + 44 * 50, '\0');   // completes the first, then 50 messages of noise
        for (char &c : noise)
            c = char(random.bounded(4, 256));
        device.send(noise);
        device.send(message(2));
        device.send(Installed);   // before the package: not believed
        QVERIFY(device.takePackage(package.size()));
        QCOMPARE(installed.size(), 0);
        device.send(Installed);
        QVERIFY(QTest::qWaitFor([&] { return installed.size() == 1; }) && device.has(0));
        QCOMPARE(device.received.size(), 44 + package.size());   // one header: no noise was taken for a request
    }

    void connections_are_kept_only_for_devices_the_run_waits_for_data()
    {
        QTest::addColumn<int>("devices");      // of the run, at the presented address; 0: no run
        QTest::addColumn<bool>("fromStranger");
        QTest::addColumn<int>("kept");         // of as many connections as that plus two
        // Debug lines naming the host turned away: one however often it tries,
        // none when it was named in the last 10 s (the row before).
        QTest::addColumn<int>("named");
        QTest::newRow("no run under way") << 0 << false << 0 << 1;
        QTest::newRow("a device's address: one more than its devices") << 2 << false << 3 << 0;
        QTest::newRow("a stranger during a run") << 2 << true << 0 << 1;
    }

    void connections_are_kept_only_for_devices_the_run_waits_for()
    {
        QFETCH(int, devices);
        QFETCH(bool, fromStranger);
        QFETCH(int, kept);
        QFETCH(int, named);
        makePackage(8192);
        if (devices > 0)
            startRun(devices);
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        const QHostAddress from = fromStranger ? LabAddresses::stranger() : QHostAddress();
        Crowd crowd(size_t(devices + 2));
        for (auto &device : crowd) {
            device = std::make_unique<Device>();
            device->knock(from);
        }
        const auto inState = [&](QAbstractSocket::SocketState state) {
            return int(std::count_if(crowd.begin(), crowd.end(), [&](auto &device) { return device->socket.state() == state; }));
        };
        QVERIFY(QTest::qWaitFor([&] {
            return inState(QAbstractSocket::ConnectedState) == kept && inState(QAbstractSocket::UnconnectedState) == int(crowd.size()) - kept;
        }));
        QCOMPARE(engine->clientCount(), kept);
        QCOMPARE(countLines(log, QStringLiteral("[E]update server refuses a connection from:")
                                     + (fromStranger ? from : presented()).toString()), named);
        if (kept) {   // those kept that ask for nothing go too
            engine->setUpdateIdleTimeout(300);
            QVERIFY(QTest::qWaitFor([&] { return engine->clientCount() == 0; }));
            engine->setUpdateIdleTimeout(10 * 1000);
        }
    }

    void a_device_is_served_however_many_strangers_try()
    {
        makePackage(4 * 8192);
        engine->setUpdateTimeout(400);
        startRun(1, QStringLiteral("192.168.147.11"));
        // A silent device's run, and a host that keeps connecting and asking all through it.
        QSignalSpy failed(engine, SIGNAL(updateFailMsg(int,int,int,int)));
        QSignalSpy over(engine, SIGNAL(updateAllFinishMsg(int,int)));
        while (over.isEmpty()) {
            Device stranger;
            stranger.knock();
            QVERIFY(stranger.closedByTool());
            QVERIFY(stranger.socket.readAll().isEmpty());
        }
        QCOMPARE(failed, (QList<QList<QVariant>>{{0, int(RunDevice::NoConnection), 1, 0}}));   // 400 ms: "within 1 s"
        QVERIFY(!engine->isUpdating());   // the run is over: automatic search may go on

        // 200 connections from another address, held open, leave the device its own.
        engine->setUpdateTimeout(120 * 1000);
        startRun();
        Crowd strangers(200);
        for (auto &stranger : strangers) {
            stranger = std::make_unique<Device>();
            stranger->knock(LabAddresses::stranger());
        }
        // Past the listen backlog the system holds a handshake back: such a
        // stranger thinks it is connected and the tool has not seen it yet.
        QVERIFY(QTest::qWaitFor([&] { return std::none_of(strangers.begin(), strangers.end(), [](auto &stranger) {
            return stranger->socket.state() == QAbstractSocket::ConnectingState; }); }, 30000));
        Device device;
        QVERIFY(device.join() && device.takePackage(package.size()));
        QCOMPARE(device.received.mid(44), package);
    }

    void update_begin_counts_once_per_device_of_the_run()
    {
        makePackage(8192);
        startRun(1, QStringLiteral("192.168.147.11"));
        QSignalSpy begun(engine, SIGNAL(updateStepMsg(int,int)));
        const QByteArray answer = QByteArray::fromHex("76a8").leftJustified(16, '\0');
        msg_head_t head;
        std::memcpy(&head, answer.constData(), sizeof head);
        for (int i = 0; i < 100; ++i)
            engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.66")), 18155);
        QCOMPARE(begun.size(), 0);
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.11")), 18155);
        engine->act(false, head, answer, QHostAddress(QStringLiteral("192.168.147.11")), 18155);
        QCOMPARE(begun, (QList<QList<QVariant>>{{0, 1}}));
        QCOMPARE(log.at(0), (QList<QVariant>{"[R]update begin,from:192.168.147.11", int(AdminService::Received)}));
    }

    void a_new_run_counts_afresh_data()
    {
        QTest::addColumn<bool>("newRun");
        QTest::newRow("installed report repeated") << false;
        QTest::newRow("report on a connection of the last run") << true;
    }

    void a_new_run_counts_afresh()
    {
        QFETCH(bool, newRun);
        makePackage(4 * 8192);
        startRun();
        Device device;
        QVERIFY(device.join());
        QVERIFY(device.takePackage(package.size()));
        QSignalSpy installed(engine, SIGNAL(updateFinishMsg(int)));
        QSignalSpy runOver(engine, SIGNAL(updateAllFinishMsg(int,int)));
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        Device second;   // open to the end: the new run is still under way
        if (newRun) {
            startRun();   // the old connection stays open
            QCOMPARE(engine->clientCount(), 0);
            QVERIFY(second.join() && second.takePackage(package.size()));
            QCOMPARE(progress.first(), (QList<QVariant>{1, 4}));
            QVERIFY(sendAndWait(device, Installed));
        } else {
            device.send(Installed);
            device.send(Installed);
            // Its report taken, the device's connection is closed: it can report nothing more.
            QVERIFY(device.closedByTool());
        }
        QCOMPARE(installed.size(), newRun ? 0 : 1);
        QCOMPARE(runOver.size(), newRun ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
