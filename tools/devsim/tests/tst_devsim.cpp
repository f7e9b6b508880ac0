// devsim's own behaviour, which the engine's tests take for granted: the port
// each reply mode answers on, the opaque bytes of its records, what garbage
// does to it and how --delay-ms spreads answers. The bytes of its answers are
// checked against the engine in tests/protocol/tst_engine.
// Runs inside the tool host of a lab; devsim runs on device host 1.

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

#include "devsimprocess.h"
#include "protocol/wire.h"
#include "simdevice.h"
#include "simoptions.h"

namespace {

const QString DeviceHostIp = QStringLiteral("192.168.147.11");

struct Answer
{
    quint16 port;       // where it arrived: 18153 or 18155
    QHostAddress from;
    QByteArray data;
};

// The tool's side: sends from 18152 like the tool, hears answers on 18153 and 18155.
class ToolSockets
{
public:
    bool bind()
    {
        return m_send.bind(QHostAddress::AnyIPv4, Wire::SearchPort)
            && m_broadcastAnswers.bind(QHostAddress::AnyIPv4, Wire::BroadcastAnswerPort)
            && m_privateAnswers.bind(QHostAddress::AnyIPv4, Wire::PrivateAnswerPort);
    }

    bool send(const QByteArray &data, quint16 port)
    {
        return m_send.writeDatagram(data, QHostAddress::Broadcast, port) == data.size();
    }

    bool search() { return send(Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0)), Wire::SearchPort); }

    // Waits until `count` answers came or timeoutMs passed, then returns all so far.
    QList<Answer> answers(int count, int timeoutMs = 3000)
    {
        (void)QTest::qWaitFor([&] { collect(); return m_answers.size() >= count; }, timeoutMs);
        return m_answers;
    }

    // For "nothing more comes": waits the whole time.
    QList<Answer> answersAfter(int ms)
    {
        QTest::qWait(ms);
        collect();
        return m_answers;
    }

private:
    void collect()
    {
        for (QUdpSocket *socket : {&m_broadcastAnswers, &m_privateAnswers}) {
            while (socket->hasPendingDatagrams()) {
                const QNetworkDatagram d = socket->receiveDatagram();
                m_answers.append({quint16(socket->localPort()), d.senderAddress(), d.data()});
            }
        }
    }

    QUdpSocket m_send, m_broadcastAnswers, m_privateAnswers;
    QList<Answer> m_answers;
};

SimOptions defaults()
{
    SimOptions options;
    QString error;
    options.parse({QStringLiteral("devsim")}, &error);
    return options;
}

msg_broadcast_t recordOf(const QByteArray &answer)
{
    msg_broadcast_t record = Wire::emptyRecord();
    Wire::read(answer, Wire::HeadSize, record);
    return record;
}

int indexOf(const QByteArray &answer)
{
    // The last two MAC bytes are the device index.
    const QStringList parts = Wire::readText(recordOf(answer).mac).split(QLatin1Char(':'));
    return parts.size() == 6 ? (parts[4] + parts[5]).toInt(nullptr, 16) : -1;
}

} // namespace

class TestDevsim : public QObject
{
    Q_OBJECT

private slots:
    void answers_search_by_reply_mode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("ports");   // per device index
        QTest::newRow("broadcast") << "broadcast" << 2 << QList<int>{18153, 18153};
        QTest::newRow("unicast") << "unicast" << 2 << QList<int>{18155, 18155};
        QTest::newRow("mixed") << "mixed" << 3 << QList<int>{18153, 18155, 18153};
    }

    void answers_search_by_reply_mode()
    {
        QFETCH(QString, mode);
        QFETCH(int, count);
        QFETCH(QList<int>, ports);
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", QString::number(count), "--reply", mode}));
        QVERIFY(tool.search());
        const QList<Answer> answers = tool.answers(count);
        QCOMPARE(answers.size(), count);
        QSet<int> seen;
        for (const Answer &answer : answers) {
            QCOMPARE(answer.data.size(), Wire::RecordDatagramSize);
            QCOMPARE(answer.from.toString(), DeviceHostIp);
            const int index = indexOf(answer.data);
            QVERIFY(index >= 0 && index < count);
            seen.insert(index);
            QCOMPARE(int(answer.port), ports[index]);
        }
        QCOMPARE(seen.size(), count);
    }

    void factory_record_fills_every_opaque_byte()
    {
        const msg_broadcast_t record = SimDevice::factoryRecord(5, defaults());
        const auto *bytes = reinterpret_cast<const quint8 *>(&record);
        int opaque = 0;
        for (int offset = 0; offset < Wire::RecordSize; ++offset) {
            if (!SimDevice::isOpaqueOffset(offset))
                continue;
            ++opaque;
            QVERIFY2(bytes[offset] != 0, qPrintable(QString::number(offset)));
        }
        QCOMPARE(opaque, 36 + 16 + 2 + 36 + 66);
        QCOMPARE(Wire::readText(record.mac), QStringLiteral("00:1A:2B:3C:00:05"));
        QCOMPARE(Wire::readText(record.ip), QStringLiteral("192.168.147.25"));
        QCOMPARE(int(record.ipMode), 1);
        QCOMPARE(int(record.h264), 1);
    }

    void garbage_neither_crashes_nor_is_taken_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("port");
        auto head = [](quint16 cmd) { return Wire::datagram(Wire::makeHead(cmd, Wire::RecordSize)); };
        msg_broadcast_t unterminated = Wire::emptyRecord();
        std::memset(&unterminated, 'A', sizeof unterminated);
        QTest::newRow("empty") << QByteArray() << 18152;
        QTest::newRow("one byte") << QByteArray(1, '\x51') << 18152;
        QTest::newRow("15 bytes of search") << head(Wire::SEARCH_DEVICE).left(15) << 18152;
        QTest::newRow("bare set-network header") << head(Wire::SET_NETWORK) << 18152;
        QTest::newRow("set-network one byte short") << (head(Wire::SET_NETWORK) + QByteArray(275, 'x')) << 18152;
        QTest::newRow("reset one byte short") << (head(Wire::RESET_DEVICE) + QByteArray(275, 'x')) << 18154;
        QTest::newRow("reset on search port") << Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, 276), unterminated) << 18152;
        QTest::newRow("unterminated text fields") << Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, 276), unterminated) << 18152;
        QTest::newRow("unknown command") << head(0x1234) << 18154;
        QTest::newRow("largest datagram") << QByteArray(65507, '\xff') << 18154;
    }

    void garbage_neither_crashes_nor_is_taken()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, port);
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", "2"}));
        QVERIFY(tool.send(data, quint16(port)));
        QVERIFY(devsim.waitForLog([&](const QList<QJsonObject> &) { return !devsim.received(port).isEmpty(); }));
        const QJsonObject recv = devsim.received(port).first();
        QCOMPARE(recv.value(QLatin1String("size")).toInt(), data.size());
        QCOMPARE(DevsimProcess::hex(recv), data);
        QCOMPARE(recv.value(QLatin1String("device")).toInt(), -1);

        QVERIFY(tool.search());
        QCOMPARE(tool.answers(2).size(), 2);
        QVERIFY(devsim.isRunning());
    }

    void delayed_answers_all_arrive_spread_out()
    {
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", "20", "--delay-ms", "400"}));
        QVERIFY(tool.search());
        QCOMPARE(tool.answers(20, 5000).size(), 20);
        qint64 first = -1, last = -1;
        for (const QJsonObject &e : devsim.log()) {
            if (e.value(QLatin1String("event")) != QLatin1String("answer"))
                continue;
            const qint64 t = e.value(QLatin1String("t")).toVariant().toLongLong();
            first = first < 0 ? t : qMin(first, t);
            last = qMax(last, t);
        }
        QVERIFY2(last - first >= 50, qPrintable(QStringLiteral("answers within %1 ms").arg(last - first)));
    }
};

QTEST_GUILESS_MAIN(TestDevsim)
#include "tst_devsim.moc"
