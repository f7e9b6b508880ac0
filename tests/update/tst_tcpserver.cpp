// The update server's door, with real connections in the lab: during a run
// only the devices it waits for keep a connection, one more per address,
// however many strangers hold theirs; outside a run nobody does, and a
// connection that asks for nothing is closed.

#include <QtTest>
#include <QTcpSocket>

#include <memory>
#include <vector>

#include "protocol/adminservice.h"
#include "support/debuglines.h"
#include "support/labaddresses.h"
#include "update/tcpserver.h"
#include "update/updaterun.h"

namespace {

using LabAddresses::presented;
using Crowd = std::vector<std::unique_ptr<QTcpSocket>>;

// count connections to the server from that address.
Crowd knock(int count, const QHostAddress &from)
{
    Crowd crowd;
    while (int(crowd.size()) < count) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->bind(from);
        crowd.back()->connectToHost(presented(), Transfer::ServerPort);
    }
    return crowd;
}

int inState(const Crowd &crowd, QAbstractSocket::SocketState state)
{
    return int(std::count_if(crowd.begin(), crowd.end(), [&](auto &socket) { return socket->state() == state; }));
}

// devices: of the run, at the presented address (0: no run); strangers: connections held open from another
// address first; then knocks from a stranger or not, of which kept stay; named: debug lines naming the host
// turned away, one however often it tries, none when it was named in the last 10 s (the row before).
struct Door { int devices, strangers; bool fromStranger; int knocks, kept, named; };

} // namespace

Q_DECLARE_METATYPE(Door)

class TestTcpServer : public QObject
{
    Q_OBJECT

    UpdateRun *run = nullptr;

private slots:
    void initTestCase() { run = UpdateRun::instance(); }
    void cleanup() { run->resetUpdate(); }

    void connections_are_kept_only_for_devices_the_run_waits_for_data()
    {
        QTest::addColumn<Door>("c");
        QTest::newRow("no run under way") << Door{0, 0, false, 2, 0, 1};
        QTest::newRow("a device's address: one more than its devices") << Door{2, 0, false, 4, 3, 0};
        QTest::newRow("a stranger during a run") << Door{2, 0, true, 4, 0, 1};
        QTest::newRow("a device's address after 200 strangers") << Door{1, 200, false, 2, 2, 0};
    }

    void connections_are_kept_only_for_devices_the_run_waits_for()
    {
        QFETCH(Door, c);
        Dev device;
        Wire::writeText(device.info.ip, presented().toString());
        // Any file is a package; the devices here only connect.
        run->startUpdate(QCoreApplication::applicationFilePath(), QList<Dev *>{&device, &device}.mid(0, c.devices));
        const Crowd held = knock(c.strangers, LabAddresses::stranger());
        // Past the listen backlog the system holds a handshake back: such a
        // stranger thinks it is connected and the tool has not seen it yet.
        QVERIFY(QTest::qWaitFor([&] { return inState(held, QAbstractSocket::ConnectingState) == 0; }, 30000));
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        const QHostAddress from = c.fromStranger ? LabAddresses::stranger() : presented();
        const Crowd crowd = knock(c.knocks, from);
        QVERIFY(QTest::qWaitFor([&] {
            return inState(crowd, QAbstractSocket::ConnectedState) == c.kept
                   && inState(crowd, QAbstractSocket::UnconnectedState) == c.knocks - c.kept;
        }));
        QCOMPARE(run->clientCount(), c.kept);
        QCOMPARE(countLines(log, QStringLiteral("[E]update server refuses a connection from:") + from.toString()), c.named);
        if (c.kept) {   // those kept that ask for nothing go too
            run->findChild<TcpServer *>()->setIdleTimeout(300);
            QVERIFY(QTest::qWaitFor([&] { return run->clientCount() == 0; }));
            run->findChild<TcpServer *>()->setIdleTimeout(TcpServer::DefaultIdleTimeoutMs);
        }
    }
};

QTEST_GUILESS_MAIN(TestTcpServer)
#include "tst_tcpserver.moc"
