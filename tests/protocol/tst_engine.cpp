#include <QtTest>
#include <QUdpSocket>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/records.h"

using TestRecords::searchAnswer;

namespace {

// The tool host's first address: local, but not the one the tool presents,
// so datagrams sent from it count as a device's.
const QHostAddress OtherLocalAddress(QStringLiteral("192.168.147.100"));
const QHostAddress ToolAddress(QStringLiteral("192.168.147.101"));

QStringList linesOf(const QSignalSpy &spy)
{
    QStringList lines;
    for (const QList<QVariant> &call : spy)
        lines << call.at(0).toString();
    return lines;
}

} // namespace

// The engine against simulated devices: what goes out, what comes back, what is dropped.
class TestEngine : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    Devs *devs = nullptr;

    void sendFrom(const QHostAddress &from, const QByteArray &datagram, quint16 port)
    {
        QUdpSocket socket;
        QVERIFY(socket.bind(from, 0));
        QCOMPARE(socket.writeDatagram(datagram, ToolAddress, port), qint64(datagram.size()));
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        devs = Devs::instance();
    }

    void init()
    {
        QTest::qWait(100);   // answers to the previous case's searches land before the registry is emptied
        devs->clear();
    }

    void second_engine_and_bus_stay_inert()
    {
        Connect second;
        AdminService secondBus;
        QCOMPARE(Connect::instance(), engine);
        QCOMPARE(AdminService::instance(), AdminService::instance());
        QVERIFY(AdminService::instance() != &secondBus);
        // The first engine still owns the ports: its answers keep arriving.
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        QSignalSpy strayAnswers(&second, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        sendFrom(OtherLocalAddress, searchAnswer("still-first"), Wire::BroadcastAnswerPort);
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(strayAnswers.size(), 0);
    }

    void local_address_is_the_second_address_of_en0()
    {
        QCOMPARE(engine->getLocalIp().toString(), QStringLiteral("192.168.147.101"));
    }

    void search_request_arrives_as_16_exact_bytes()
    {
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "1"}));
        engine->search();
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18152).isEmpty(); }, 3000));
        const QList<QJsonObject> searches = sim.received(18152);
        QCOMPARE(searches.size(), 1);
        QCOMPARE(DevsimProcess::hex(searches.first()), QByteArray::fromHex("51a80000000000000000000000000000"));
        QCOMPARE(searches.first().value("from").toString(), QStringLiteral("192.168.147.101"));
    }

    void answers_become_records_in_answer_order_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("broadcast to 18153") << "broadcast";
        QTest::newRow("unicast to 18155") << "unicast";
        QTest::newRow("mixed") << "mixed";
    }

    void answers_become_records_in_answer_order()
    {
        QFETCH(QString, reply);
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "3", "--reply", reply, "--version", "V9.8.7"}));
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->search();
        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().size(), 3, 3000);

        const QList<Dev *> list = devs->getDevList();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Wire::readText(list.at(i)->info.mac), sim.mac(i));
            QCOMPARE(Wire::readText(list.at(i)->info.ip), sim.ip(i));
            QCOMPARE(Wire::readText(list.at(i)->info.version), QStringLiteral("V9.8.7"));
            QCOMPARE(list.at(i)->online, 1);
            QCOMPARE(list.at(i)->addr.toString(), QStringLiteral("192.168.147.11"));
            QCOMPARE(list.at(i)->port, 18153);   // whichever port it came in on
            QCOMPARE(rows.at(i).at(0).toInt(), i);
        }
        QCOMPARE(linesOf(lines).count(QStringLiteral("[R]search msg from:192.168.147.11")), 3);
    }

    void silent_device_goes_offline_on_the_next_search()
    {
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "3"}));
        engine->search();
        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().size(), 3, 3000);
        sim.command("silent 1");
        QTest::qWait(200);
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        engine->search();
        QTRY_COMPARE_WITH_TIMEOUT(rows.size(), 5, 3000);   // three aged, two answered
        QTest::qWait(300);
        const QList<Dev *> list = devs->getDevList();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0)->online, 1);
        QCOMPARE(list.at(1)->online, 0);
        QCOMPARE(list.at(2)->online, 1);
    }

    void own_datagrams_are_dropped_silently()
    {
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        const int before = engine->receiveCount();

        sendFrom(ToolAddress, searchAnswer("own"), Wire::BroadcastAnswerPort);
        QTRY_COMPARE(engine->receiveCount(), before + 1);
        QCOMPARE(answers.size(), 0);
        QCOMPARE(lines.size(), 0);

        sendFrom(OtherLocalAddress, searchAnswer("own"), Wire::BroadcastAnswerPort);
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(answers.at(0).at(1).toInt(), before + 2);   // the running receive count
        QCOMPARE(linesOf(lines), QStringList{"[R]search msg from:192.168.147.100"});
    }

    void known_and_unknown_codes_are_logged_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("type");
        const QByteArray resetHead = Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, 0));
        QTest::newRow("unknown on 18153") << 18153 << resetHead
                                          << "[R]unresponse [B]broadcast msg:43124from:192.168.147.100" << 2;
        QTest::newRow("unknown on 18155") << 18155 << Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, 0))
                                          << "[R]unresponse [P]private msg:43105from:192.168.147.100" << 2;
        QTest::newRow("update begin, no run") << 18155 << Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, 0))
                                              << "[E]update begin from a device not being updated:192.168.147.100" << 3;
        QTest::newRow("short datagram") << 18153 << QByteArray::fromHex("51a800")
                                        << "[E]drop short datagram,size:3,from:192.168.147.100" << 3;
        QTest::newRow("short search answer") << 18155 << searchAnswer("cut").left(200)
                                             << "[E]drop short search answer,size:200,from:192.168.147.100" << 3;
    }

    void known_and_unknown_codes_are_logged()
    {
        QFETCH(int, port);
        QFETCH(QByteArray, datagram);
        QFETCH(QString, line);
        QFETCH(int, type);
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        sendFrom(OtherLocalAddress, datagram, quint16(port));
        QTRY_COMPARE(lines.size(), 1);
        QCOMPARE(lines.at(0).at(0).toString(), line);
        QCOMPARE(lines.at(0).at(1).toInt(), type);
        QCOMPARE(answers.size(), 0);
    }

    void encoding_answer_reports_any_nonzero_result_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("failed") << 0;
        QTest::newRow("accepted") << 1;
        QTest::newRow("accepted as 2") << 2;
    }

    void encoding_answer_reports_any_nonzero_result()
    {
        QFETCH(int, result);
        QSignalSpy outcomes(engine, SIGNAL(getSetVideoSuccessMsg(int)));
        msg_head_t head = Wire::makeHead(Wire::CHANGE_COMPRESS_TYPE, 0);
        head.result = quint16(result);
        sendFrom(OtherLocalAddress, Wire::datagram(head), Wire::PrivateAnswerPort);
        QTRY_COMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.at(0).at(0).toInt(), result);
    }

    void garbled_datagrams_never_crash_or_lose_later_answers()
    {
        QRandomGenerator random(20261206);
        QUdpSocket socket;
        QVERIFY(socket.bind(OtherLocalAddress, 0));
        const int before = engine->receiveCount();
        for (int i = 0; i < 400; ++i) {
            QByteArray datagram(int(random.bounded(401)), '\0');
            for (char &c : datagram)
                c = char(random.bounded(256));
            // Every other one claims to be a search answer, so the record path is exercised.
            if (i % 2 && datagram.size() >= 2) {
                datagram[0] = '\x51';
                datagram[1] = '\xa8';
            }
            socket.writeDatagram(datagram, ToolAddress, quint16(i % 3 ? 18153 : 18155));
            if (i % 50 == 0)
                QTest::qWait(5);
        }
        socket.writeDatagram(searchAnswer("after-the-noise"), ToolAddress, 18153);
        QTRY_COMPARE_WITH_TIMEOUT(engine->receiveCount(), before + 401, 5000);
        bool found = false;
        for (Dev *dev : devs->getDevList())
            found = found || Wire::readText(dev->info.mac) == QLatin1String("after-the-noise");
        QVERIFY(found);
    }

    void burst_on_both_ports_is_read_whole_and_both_ports_keep_listening()
    {
        // Both answer sockets hold datagrams at once: each turn reads them
        // alternately, and a socket whose datagram was taken in the other's
        // turn must still hear the next one.
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        QUdpSocket socket;
        QVERIFY(socket.bind(OtherLocalAddress, 0));
        for (int i = 0; i < 600; ++i)
            socket.writeDatagram(searchAnswer(QStringLiteral("burst-%1").arg(i)), ToolAddress, quint16(i % 2 ? 18155 : 18153));
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 600, 5000);
        QCOMPARE(devs->getDevList().size(), 600);
        for (const quint16 port : {quint16(18155), quint16(18153), quint16(18155)}) {
            answers.clear();
            socket.writeDatagram(searchAnswer(QStringLiteral("after-%1").arg(port)), ToolAddress, port);
            QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 1000);
        }
    }

    void auto_search_waits_for_an_update_run_to_end()
    {
        QSignalSpy sends(engine, SIGNAL(sendMsg(int)));
        Dev target;
        engine->sendUpdateRequest(&target);   // starts an update run
        engine->setAutoSearch(true);
        QCOMPARE(sends.size(), 0);
        engine->resetUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(sends.size(), 1, 10500);   // the next tick of the 10 s timer
        engine->setAutoSearch(false);
        QVERIFY(!engine->isAutoSearch());

        engine->setAutoSearch(true);   // no run under way: searches at once
        QCOMPARE(sends.size(), 2);
        engine->setAutoSearch(false);
    }

    void own_datagram_drop_follows_a_change_of_address()
    {
        // The lab's tool host is ours: move en0's second address from .101 to .102.
        auto ip = [](const QString &args) { return QProcess::execute("sh", {"-c", "ip " + args}); };
        const QHostAddress moved(QStringLiteral("192.168.147.102"));
        auto sendFromTo = [](const QHostAddress &from, const QHostAddress &to, const QString &mac) {
            QUdpSocket socket;
            QVERIFY(socket.bind(from, 0));
            const QByteArray datagram = searchAnswer(mac);
            QCOMPARE(socket.writeDatagram(datagram, to, Wire::BroadcastAnswerPort), qint64(datagram.size()));
        };
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        const int first = engine->receiveCount();
        sendFromTo(ToolAddress, ToolAddress, "own-before-the-change");   // the engine looks the address up
        QTRY_COMPARE(engine->receiveCount(), first + 1);

        QCOMPARE(ip("addr del 192.168.147.101/24 dev en0"), 0);
        QCOMPARE(ip("addr add 192.168.147.102/24 dev en0"), 0);
        // The drop reuses a look-up for up to LocalIpCache::DefaultValidityMs.
        QTest::qWait(3 * LocalIpCache::DefaultValidityMs);
        const int before = engine->receiveCount();
        sendFromTo(moved, moved, "from-the-new-address");
        sendFromTo(OtherLocalAddress, moved, "from-a-device");
        QTRY_COMPARE(engine->receiveCount(), before + 2);
        const bool restored = ip("addr del 192.168.147.102/24 dev en0") == 0
            && ip("addr add 192.168.147.101/24 dev en0") == 0
            && ip("route replace default dev en0 src 192.168.147.101") == 0;

        QStringList macs;
        for (const QList<QVariant> &call : answers)
            macs << Wire::readText(call.at(2).value<msg_broadcast_t>().mac);
        QCOMPARE(macs, QStringList{"from-a-device"});
        QVERIFY(restored);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
