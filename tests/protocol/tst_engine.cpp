// The protocol engine against devsim in the lab: the exact datagram each
// gesture puts on the wire, what answers become, what is dropped or logged,
// and the retry chain of a search.

#include <QtTest>
#include <QUdpSocket>

#include <functional>

#include "devsimprocess.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "protocol/datagramreader.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/debuglines.h"
#include "support/records.h"
#include "update/updaterun.h"

using TestRecords::field;
using TestRecords::searchAnswer;

namespace {

const QHostAddress ToolAddress(QStringLiteral("192.168.147.101"));
// The tool host's first address: local, but not the one the tool presents, so
// what is sent from it counts as a device's.
const QHostAddress OtherLocalAddress(QStringLiteral("192.168.147.100"));

bool sendFrom(const QHostAddress &from, const QByteArray &datagram, quint16 port, const QHostAddress &to = ToolAddress)
{
    QUdpSocket socket;
    return socket.bind(from, 0) && socket.writeDatagram(datagram, to, port) == datagram.size();
}

struct Field
{
    int offset;   // in the datagram
    QByteArray bytes;
};

// headHex, then zeros up to size, with the fields written over them.
QByteArray datagram(const char *headHex, int size, const QList<Field> &fields)
{
    QByteArray bytes = QByteArray::fromHex(headHex).leftJustified(size, '\0');
    for (const Field &field : fields)
        bytes.replace(field.offset, field.bytes.size(), field.bytes);
    return bytes;
}

} // namespace

// A gesture on the engine and the one datagram it sends: on port, head then the selected
// device's record if echo, zeros up to size, with fields written over them; and its log line.
struct Gesture { std::function<void(Connect *)> gesture; int port; QByteArray head; bool echo; QList<Field> fields; int size; QString line; };
Q_DECLARE_METATYPE(Gesture)

// A datagram from a device, on port, and the one log line of that type it leaves
// (none when empty), and the outcome of an encoding answer (-1 for none).
struct Odd { int port; QByteArray datagram; QString line; int type, outcome; };
Q_DECLARE_METATYPE(Odd)

class TestEngine : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    Devs *devs = nullptr;

    int searchesBefore = 0;   // the engine's searches before devsim started

    bool start(DevsimProcess &sim, const QStringList &args)
    {
        searchesBefore = engine->searchCount();
        return sim.start(args);
    }

    // Starts devsim with count devices and searches until the registry holds
    // exactly their records: answers of the previous test's devices may still
    // land after a clear.
    bool discover(DevsimProcess &sim, int count)
    {
        if (!start(sim, {"--count", QString::number(count)}))
            return false;
        const auto known = [&] {
            const QList<Dev *> list = devs->getDevList();
            for (int i = 0; i < list.size(); ++i) {
                if (QByteArray(reinterpret_cast<const char *>(&list.at(i)->info), 276) != sim.record(i))
                    return false;
            }
            return list.size() == count;
        };
        for (int attempt = 0; attempt < 5; ++attempt) {
            devs->clear();
            engine->search();
            if (QTest::qWaitFor(known, 2000))
                return true;
        }
        return false;
    }

    // Waits until devsim has count datagrams on port with command cmd, then
    // sends a search and waits for it: whatever else the engine sent before
    // has arrived by then, at least on the search port.
    bool settle(DevsimProcess &sim, int port = Wire::SearchPort, int cmd = Wire::SEARCH_DEVICE, int count = 0)
    {
        if (!sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(port, cmd).size() >= count; }))
            return false;
        engine->search();
        const int sent = engine->searchCount() - searchesBefore;
        return sim.waitForLog([&](const QList<QJsonObject> &) {
            return sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size() >= sent;
        });
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
#ifdef SEARCHER_PORTABLE_READER
        engine->readAnswersBy(DatagramReader::PortablePath);
#endif
        devs = Devs::instance();
        UpdateRun::instance();   // as in the tool, the engine hands it the answers to update requests
    }

    void gesture_sends_exactly_these_bytes_data()
    {
        QTest::addColumn<Gesture>("c");
        const QByteArray recordHead = QByteArray::fromHex("140100000000000000000000");   // length 276
        const QList<Field> net{{52, field("00:1A:2B:3C:00:01", 24)}, {76, field("192.168.147.77", 16)},
                               {92, field("255.255.0.0", 16)}, {108, field("192.168.147.254", 16)},
                               {152, field("8.8.4.4", 16)}};
        const auto changeNet = [](bool dhcp) {
            return [dhcp](Connect *c) { c->changeNet("192.168.147.77", "255.255.0.0", "192.168.147.254", "8.8.4.4", dhcp); };
        };
        QTest::newRow("search") << Gesture{[](Connect *c) { c->search(); }, 18152, QByteArray::fromHex("51a80000000000000000000000000000"),
                                           false, {}, 16, "[S]search"};
        QTest::newRow("reset: the record, then 276 zeros") << Gesture{[](Connect *c) { c->reset(); }, 18154,
            QByteArray::fromHex("74a80000") + recordHead, true, {}, 568, "[S]reset to:192.168.147.21"};
        QTest::newRow("static address") << Gesture{changeNet(false), 18152, QByteArray::fromHex("61a80000") + recordHead, false,
                                                   net + QList<Field>{{188, QByteArray(1, 0)}}, 292, "[S]change net to:192.168.147.77"};
        QTest::newRow("dhcp still carries the texts") << Gesture{changeNet(true), 18152, QByteArray::fromHex("61a80000") + recordHead,
                                                                 false, net + QList<Field>{{188, QByteArray(1, 1)}}, 292,
                                                                 "[S]change net to:192.168.147.77"};
        QTest::newRow("encoding to H.265") << Gesture{[](Connect *c) { c->changeCompressType(false); }, 18154,
                                                      QByteArray::fromHex("83a70000") + recordHead, true, {{225, QByteArray(1, 0)}}, 292, {}};
        QTest::newRow("encoding to H.264 while H.264") << Gesture{[](Connect *c) { c->changeCompressType(true); }, 18154,
                                                                  QByteArray::fromHex("83a70000") + recordHead, true,
                                                                  {{225, QByteArray(1, 1)}}, 292, {}};
        QTest::newRow("update request: the tool's address as mask") << Gesture{
            [](Connect *c) { c->sendUpdateRequest(Devs::instance()->getSelected()); c->updateRunOver(); }, 18154,
            QByteArray::fromHex("76a80000") + recordHead, true, {{92, field("192.168.147.101", 16)}}, 292, {}};
    }

    void gesture_sends_exactly_these_bytes()
    {
        QFETCH(Gesture, c);
        DevsimProcess sim;
        QVERIFY(discover(sim, 2));
        devs->selectDev(1);
        const quint16 cmd = quint8(c.head[0]) | quint8(c.head[1]) << 8;
        const int before = sim.received(c.port, cmd).size();
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        c.gesture(engine);
        QVERIFY(settle(sim, c.port, cmd, before + 1));
        const QList<QJsonObject> seen = sim.received(c.port, cmd).mid(before);
        QCOMPARE(seen.size(), c.port == Wire::SearchPort && cmd == Wire::SEARCH_DEVICE ? 2 : 1);   // the settling search comes second
        QCOMPARE(seen.first().value("from").toString(), ToolAddress.toString());
        QByteArray expected = (c.head + (c.echo ? sim.record(1) : QByteArray())).leftJustified(c.size, '\0');
        for (const Field &field : c.fields)
            expected.replace(field.offset, field.bytes.size(), field.bytes);
        QCOMPARE(DevsimProcess::hex(seen.first()), expected);
        QCOMPARE(c.line.isEmpty() ? QString() : debugLines(log).value(0), c.line);
    }

    void commands_without_a_selection_send_nothing()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 1));
        devs->selectDev(0);
        devs->clear();   // takes the selection with it
        engine->search();
        engine->reset();
        engine->changeNet("1.2.3.4", "255.0.0.0", "1.2.3.1", "1.2.3.1", false);
        engine->changeCompressType(false);
        // The next command with a selection is the first the device gets.
        QTRY_COMPARE(devs->getDevList().size(), 1);
        devs->selectDev(0);
        engine->reset();
        QVERIFY(settle(sim, Wire::CommandPort, Wire::RESET_DEVICE, 1));
        QCOMPARE(sim.received(Wire::CommandPort).size(), 1);
        QCOMPARE(sim.received(Wire::SearchPort, Wire::SET_NETWORK).size(), 0);
    }

    void repair_sweep_resets_96_addresses_in_order()
    {
        DevsimProcess sim;
        QVERIFY(start(sim, {"--count", "1"}));
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->resetFailSearch();
        QVERIFY(settle(sim, Wire::CommandPort, Wire::RESET_DEVICE, 96));
        const QList<QJsonObject> resets = sim.received(Wire::CommandPort, Wire::RESET_DEVICE);
        QCOMPARE(resets.size(), 96);
        for (int i = 0; i < 96; ++i) {
            const QString address = QStringLiteral("192.168.%1.%2").arg(i < 48 ? 147 : 2).arg(2 + i % 48);
            QCOMPARE(DevsimProcess::hex(resets.at(i)), datagram("74a80000140100000000000000000000", 568, {{76, field(address, 16)}}));
            QCOMPARE(debugLines(log).at(i), "[S]reset fail to:" + address);
        }
        // The device's answer to the settling search would land in the next test.
        QTRY_VERIFY(debugLines(log).contains("[R]search msg from:192.168.147.11"));
    }

    void odd_datagrams_are_logged_and_taken_for_nothing_data()
    {
        QTest::addColumn<Odd>("c");
        auto head = [](const char *hex) { return QByteArray::fromHex(hex).leftJustified(16, '\0'); };
        QTest::newRow("unknown on 18153") << Odd{18153, head("74a8"), "[R]unresponse [B]broadcast msg:43124from:192.168.147.100", 2, -1};
        QTest::newRow("unknown on 18155") << Odd{18155, head("61a8"), "[R]unresponse [P]private msg:43105from:192.168.147.100", 2, -1};
        QTest::newRow("update begin, no run") << Odd{18155, head("76a8"),
                                                     "[E]update begin from a device not being updated:192.168.147.100", 3, -1};
        QTest::newRow("short datagram") << Odd{18153, QByteArray::fromHex("51a800"),
                                               "[E]drop short datagram,size:3,from:192.168.147.100", 3, -1};
        QTest::newRow("short search answer") << Odd{18155, searchAnswer("cut").left(200),
                                                    "[E]drop short search answer,size:200,from:192.168.147.100", 3, -1};
        QTest::newRow("encoding refused") << Odd{18155, head("83a7"), "", 0, 0};
        QTest::newRow("encoding taken as 2") << Odd{18155, head("83a70200"), "", 0, 2};
    }

    void odd_datagrams_are_logged_and_taken_for_nothing()
    {
        QFETCH(Odd, c);
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        QSignalSpy outcomes(engine, SIGNAL(getSetVideoSuccessMsg(int)));
        const int before = engine->receiveCount();
        QVERIFY(sendFrom(OtherLocalAddress, c.datagram, quint16(c.port)));
        QTRY_COMPARE(engine->receiveCount(), before + 1);
        QCOMPARE(debugLines(log), c.line.isEmpty() ? QStringList() : QStringList{c.line});
        QCOMPARE(log.isEmpty() ? 0 : log.at(0).at(1).toInt(), c.type);
        QCOMPARE(outcomes.isEmpty() ? -1 : outcomes.at(0).at(0).toInt(), c.outcome);
        QCOMPARE(answers.size(), 0);
    }

    void own_datagrams_are_dropped_even_after_an_address_change()
    {
        // The lab's tool host is ours: move en0's second address from .101 to .102.
        auto ip = [](const QString &args) { return QProcess::execute("sh", {"-c", "ip " + args}); };
        const QHostAddress moved(QStringLiteral("192.168.147.102"));
        QSignalSpy answers(engine, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
        const auto dropped = [&](const QHostAddress &from, const QString &mac, const QHostAddress &to) {
            answers.clear();
            const int before = engine->receiveCount();
            return sendFrom(from, searchAnswer(mac), Wire::BroadcastAnswerPort, to)
                   && QTest::qWaitFor([&] { return engine->receiveCount() > before; }) && answers.isEmpty();
        };
        QVERIFY(dropped(ToolAddress, "own-before-the-change", ToolAddress));
        QCOMPARE(ip("addr del 192.168.147.101/24 dev en0"), 0);
        QCOMPARE(ip("addr add 192.168.147.102/24 dev en0"), 0);
        const auto restore = qScopeGuard([&] {
            ip("addr del 192.168.147.102/24 dev en0; ip addr add 192.168.147.101/24 dev en0; "
               "ip route replace default dev en0 src 192.168.147.101");
        });
        // Within its 100 ms the engine's look-up of its address may still hold the old one.
        QVERIFY(QTest::qWaitFor([&] { return dropped(moved, "from-the-new-address", moved); }));
        QVERIFY(!dropped(OtherLocalAddress, "from-a-device", moved));
        QCOMPARE(Wire::readText(answers.at(0).at(2).value<msg_broadcast_t>().mac), QStringLiteral("from-a-device"));
    }

    void clean_list_forgets_answers_that_came_before_it()
    {
        devs->clear();
        // Read off the port by the reader, not yet taken: the event loop does not turn meanwhile.
        const int read = engine->answerReader()->readCount();
        QVERIFY(sendFrom(OtherLocalAddress, searchAnswer(QStringLiteral("before-the-clean")), 18153));
        QElapsedTimer waited;
        waited.start();
        while (engine->answerReader()->readCount() == read && !waited.hasExpired(5000))
            QThread::msleep(1);
        QVERIFY(engine->answerReader()->readCount() > read);
        engine->cleanSearch();
        QVERIFY(sendFrom(OtherLocalAddress, searchAnswer(QStringLiteral("after-the-clean")), 18153));
        QTRY_COMPARE(devs->getDevList().size(), 1);
        QCOMPARE(devs->getDevList().first()->mac(), QStringLiteral("after-the-clean"));
    }

    void search_repeats_until_answered_or_gives_up_after_eleven_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("sends");
        QTest::newRow("answered at once") << 1 << 1;
        QTest::newRow("never answered") << 0 << 11;
    }

    void search_repeats_until_answered_or_gives_up_after_eleven()
    {
        QFETCH(int, devices);
        QFETCH(int, sends);
        DevsimProcess sim;
        QVERIFY(!devices || sim.start({"--count", "1"}));
        QSignalSpy sent(engine, SIGNAL(sendMsg(int)));
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->searchWithRetry();
        QTRY_COMPARE_WITH_TIMEOUT(engine->pendingTimeouts(), 0, 8000);
        QCOMPARE(sent.size(), sends);
        QCOMPARE(debugLines(log).count("[E]search device timeout"), devices ? 0 : 1);
    }

    void auto_search_waits_for_an_update_run_to_end()
    {
        QSignalSpy sent(engine, SIGNAL(sendMsg(int)));
        Dev target;
        engine->sendUpdateRequest(&target);   // starts an update run
        engine->setAutoSearch(true);
        QCOMPARE(sent.size(), 0);
        engine->updateRunOver();
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 10500);   // the next tick of the 10 s timer
        engine->setAutoSearch(false);
        engine->setAutoSearch(true);   // no run under way: searches at once
        QCOMPARE(sent.size(), 2);
        engine->setAutoSearch(false);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
