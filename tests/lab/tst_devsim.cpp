// devsim as the tool sees it on the wire: the bytes of its answers, where they
// go, and how network settings, resets, control lines and garbage change them.
// Runs inside the tool host of a lab; devsim runs on device host 1.

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

#include "protocol/wire.h"
#include "simdevice.h"
#include "simoptions.h"
#include "support/devsimprocess.h"

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

QByteArray recordBytes(const msg_broadcast_t &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

} // namespace

class DevsimTest : public QObject
{
    Q_OBJECT

private slots:
    void answersSearchByReplyMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("ports");   // per device index
        QTest::newRow("broadcast") << "broadcast" << 2 << QList<int>{18153, 18153};
        QTest::newRow("unicast") << "unicast" << 2 << QList<int>{18155, 18155};
        QTest::newRow("mixed") << "mixed" << 3 << QList<int>{18153, 18155, 18153};
    }

    void answersSearchByReplyMode()
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
        const SimOptions options = defaults();
        QSet<int> seen;
        for (const Answer &answer : answers) {
            QCOMPARE(answer.data.size(), Wire::RecordDatagramSize);
            QCOMPARE(answer.from.toString(), DeviceHostIp);
            const int index = indexOf(answer.data);
            QVERIFY(index >= 0 && index < count);
            seen.insert(index);
            QCOMPARE(int(answer.port), ports[index]);
            // Header: search command, result 0, length 276, reserved zero; then the
            // factory record byte for byte, opaque ranges included.
            QCOMPARE(answer.data.left(Wire::HeadSize),
                     Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize)));
            QCOMPARE(answer.data.mid(Wire::HeadSize), recordBytes(SimDevice::factoryRecord(index, options)));
        }
        QCOMPARE(seen.size(), count);
    }

    void factoryRecordFillsEveryOpaqueByte()
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

    void silentDevicesStayQuiet_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QList<int>>("answering");
        QTest::newRow("option") << QStringList{"--count", "4", "--silent", "1,3"} << QStringList{} << QList<int>{0, 2};
        QTest::newRow("silent command") << QStringList{"--count", "3"} << QStringList{"silent 0"} << QList<int>{1, 2};
        QTest::newRow("speak after silent") << QStringList{"--count", "3", "--silent", "2"}
                                            << QStringList{"silent 0", "speak 2"} << QList<int>{1, 2};
        QTest::newRow("bad command ignored") << QStringList{"--count", "2"}
                                             << QStringList{"silent 7", "shout 1", "silent"} << QList<int>{0, 1};
    }

    void silentDevicesStayQuiet()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, commands);
        QFETCH(QList<int>, answering);
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start(args));
        for (const QString &line : commands)
            devsim.command(line);
        const int handled = int(commands.size());
        QVERIFY(devsim.waitForLog([handled](const QList<QJsonObject> &events) {
            int n = 0;
            for (const QJsonObject &e : events) {
                const QString name = e.value(QLatin1String("event")).toString();
                n += name == QLatin1String("silent") || name == QLatin1String("speak") || name == QLatin1String("bad_command");
            }
            return n == handled;
        }));
        QVERIFY(tool.search());
        tool.answers(int(answering.size()));
        QList<int> got;
        for (const Answer &answer : tool.answersAfter(300))
            got << indexOf(answer.data);
        std::sort(got.begin(), got.end());
        QCOMPARE(got, answering);
    }

    void setNetworkChangesLaterAnswers_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<int>("dhcp");
        QTest::addColumn<int>("device");       // -1: nobody takes it
        QTest::addColumn<int>("ipMode");
        QTest::newRow("static") << "00:1A:2B:3C:00:01" << 0 << 1 << 1;
        QTest::newRow("dhcp") << "00:1A:2B:3C:00:01" << 1 << 1 << 0;
        QTest::newRow("unknown mac") << "00:1A:2B:3C:00:09" << 0 << -1 << 1;
        QTest::newRow("empty mac") << "" << 0 << -1 << 1;
    }

    void setNetworkChangesLaterAnswers()
    {
        QFETCH(QString, mac);
        QFETCH(int, dhcp);
        QFETCH(int, device);
        QFETCH(int, ipMode);
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", "2"}));

        msg_broadcast_t request = SimDevice::factoryRecord(1, defaults());
        Wire::writeText(request.mac, mac);
        Wire::writeText(request.ip, QStringLiteral("10.1.2.3"));
        Wire::writeText(request.mask, QStringLiteral("255.0.0.0"));
        Wire::writeText(request.gateway, QStringLiteral("10.0.0.1"));
        Wire::writeText(request.dns, QStringLiteral("10.0.0.53"));
        request.dhcp = quint8(dhcp);
        QVERIFY(tool.send(Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, Wire::RecordSize), request), Wire::SearchPort));
        QVERIFY(devsim.waitForLog([&](const QList<QJsonObject> &) {
            return !devsim.received(Wire::SearchPort, Wire::SET_NETWORK).isEmpty();
        }));
        QCOMPARE(devsim.received(Wire::SearchPort, Wire::SET_NETWORK).first().value(QLatin1String("device")).toInt(), device);

        QVERIFY(tool.search());
        for (const Answer &answer : tool.answers(2)) {
            const msg_broadcast_t record = recordOf(answer.data);
            const bool changed = indexOf(answer.data) == device;
            msg_broadcast_t expected = SimDevice::factoryRecord(indexOf(answer.data), defaults());
            if (changed) {
                Wire::writeText(expected.ip, QStringLiteral("10.1.2.3"));
                Wire::writeText(expected.mask, QStringLiteral("255.0.0.0"));
                Wire::writeText(expected.gateway, QStringLiteral("10.0.0.1"));
                Wire::writeText(expected.dns, QStringLiteral("10.0.0.53"));
                expected.ipMode = quint16(ipMode);
            }
            QCOMPARE(recordBytes(record), recordBytes(expected));
        }
    }

    void resetFindsDeviceByMacElseByIp_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("device");
        QTest::addColumn<QString>("by");
        QTest::newRow("mac") << "00:1A:2B:3C:00:02" << "0.0.0.0" << 2 << "mac";
        QTest::newRow("mac wins over ip") << "00:1A:2B:3C:00:02" << "192.168.147.21" << 2 << "mac";
        QTest::newRow("ip only") << "" << "192.168.147.21" << 1 << "ip";
        QTest::newRow("unknown mac") << "00:1A:2B:3C:00:77" << "192.168.147.21" << -1 << "";
        QTest::newRow("neither") << "" << "" << -1 << "";
    }

    void resetFindsDeviceByMacElseByIp()
    {
        QFETCH(QString, mac);
        QFETCH(QString, ip);
        QFETCH(int, device);
        QFETCH(QString, by);
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", "3", "--factory-reset"}));

        // Move device 2 away first, so a factory reset shows in its next answer.
        msg_broadcast_t change = SimDevice::factoryRecord(2, defaults());
        Wire::writeText(change.ip, QStringLiteral("10.9.9.9"));
        QVERIFY(tool.send(Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, Wire::RecordSize), change), Wire::SearchPort));

        msg_broadcast_t request = Wire::emptyRecord();
        Wire::writeText(request.mac, mac);
        Wire::writeText(request.ip, ip);
        QVERIFY(tool.send(Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, Wire::RecordSize), request, Wire::RecordSize),
                  Wire::CommandPort));
        QVERIFY(devsim.waitForLog([&](const QList<QJsonObject> &) {
            return !devsim.received(Wire::CommandPort, Wire::RESET_DEVICE).isEmpty();
        }));
        const QJsonObject recv = devsim.received(Wire::CommandPort, Wire::RESET_DEVICE).first();
        QCOMPARE(recv.value(QLatin1String("size")).toInt(), Wire::ResetDatagramSize);
        QCOMPARE(recv.value(QLatin1String("device")).toInt(), device);
        QList<QJsonObject> resets;
        for (const QJsonObject &e : devsim.log()) {
            if (e.value(QLatin1String("event")) == QLatin1String("reset"))
                resets << e;
        }
        QCOMPARE(resets.size(), device < 0 ? 0 : 1);
        if (device >= 0)
            QCOMPARE(resets[0].value(QLatin1String("by")).toString(), by);

        QVERIFY(tool.search());
        for (const Answer &answer : tool.answers(3)) {
            if (indexOf(answer.data) != 2)
                continue;
            const QString expected = device == 2 ? QStringLiteral("192.168.147.22") : QStringLiteral("10.9.9.9");
            QCOMPARE(Wire::readText(recordOf(answer.data).ip), expected);
        }
    }

    void garbageNeitherCrashesNorIsTaken_data()
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

    void garbageNeitherCrashesNorIsTaken()
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

    void keepsRunningAfterInputEnds()
    {
        ToolSockets tool;
        QVERIFY(tool.bind());
        DevsimProcess devsim;
        QVERIFY(devsim.start({"--count", "1"}));
        devsim.closeInput();
        QTest::qWait(200);
        QVERIFY(devsim.isRunning());
        QVERIFY(tool.search());
        QCOMPARE(tool.answers(1).size(), 1);
    }

    void delayedAnswersAllArriveSpreadOut()
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

QTEST_GUILESS_MAIN(DevsimTest)
#include "tst_devsim.moc"
