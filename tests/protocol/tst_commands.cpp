#include <QtTest>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/records.h"

using TestRecords::field;

namespace {

QByteArray recordBytes(const msg_broadcast_t &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

} // namespace

// Each device command, as the devices receive it.
class TestCommands : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    Devs *devs = nullptr;

    // Starts devsim with count devices and searches until all are known.
    bool discover(DevsimProcess &sim, int count, QStringList extra = {})
    {
        devs->clear();
        if (!sim.start(QStringList{"--count", QString::number(count)} + extra))
            return false;
        engine->search();
        QElapsedTimer clock;
        clock.start();
        while (devs->getDevList().size() < count && clock.elapsed() < 5000)
            QTest::qWait(20);
        return devs->getDevList().size() == count;
    }

    static QList<QJsonObject> waitReceived(DevsimProcess &sim, int port, int cmd, int count)
    {
        sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(port, cmd).size() >= count; }, 5000);
        QTest::qWait(100);   // nothing more may follow
        return sim.received(port, cmd);
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        devs = Devs::instance();
    }

    void reset_carries_the_selected_record_byte_for_byte()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 3));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        devs->selectDev(1);
        engine->reset();
        const QList<QJsonObject> resets = waitReceived(sim, 18154, Wire::RESET_DEVICE, 1);
        QCOMPARE(resets.size(), 1);
        const QByteArray bytes = DevsimProcess::hex(resets.first());
        QCOMPARE(bytes.size(), 568);
        QCOMPARE(bytes.left(16), QByteArray::fromHex("74a80000140100000000000000000000"));
        const QByteArray stored = recordBytes(devs->getDevList().at(1)->info);
        QCOMPARE(bytes.mid(16, 276), stored);
        QVERIFY(stored.left(36) != QByteArray(36, '\0'));   // the opaque bytes came back too
        QCOMPARE(bytes.right(276), QByteArray(276, '\0'));
        QCOMPARE(resets.first().value("device").toInt(), 1);
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("[S]reset to:") + sim.ip(1));
    }

    void commands_on_no_selection_send_nothing()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 1));
        devs->clear();   // also clears the selection
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->reset();
        engine->changeNet("1.2.3.4", "255.0.0.0", "1.2.3.1", "1.2.3.1", false);
        engine->changeCompressType(false);
        QTest::qWait(300);
        QCOMPARE(sim.received(18154).size(), 0);
        QCOMPARE(sim.received(18152, Wire::SET_NETWORK).size(), 0);
        QCOMPARE(lines.size(), 0);
    }

    void reset_all_resets_every_known_device()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 3));
        sim.command("silent 2");
        QTest::qWait(100);
        engine->search();
        QTest::qWait(300);
        QCOMPARE(devs->getDevList().at(2)->online, 0);
        engine->resetAll();
        const QList<QJsonObject> resets = waitReceived(sim, 18154, Wire::RESET_DEVICE, 3);
        QCOMPARE(resets.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(DevsimProcess::hex(resets.at(i)).mid(16, 276), recordBytes(devs->getDevList().at(i)->info));
    }

    void repair_sweep_sends_96_resets_in_order()
    {
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "1"}));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->resetFailSearch();
        const QList<QJsonObject> resets = waitReceived(sim, 18154, Wire::RESET_DEVICE, 96);
        QCOMPARE(resets.size(), 96);
        QCOMPARE(lines.size(), 96);
        for (int i = 0; i < 96; ++i) {
            const QString address = (i < 48 ? QStringLiteral("192.168.147.") : QStringLiteral("192.168.2.")) + QString::number(2 + i % 48);
            const QByteArray bytes = DevsimProcess::hex(resets.at(i));
            QCOMPARE(bytes.size(), 568);
            QByteArray expected(276, '\0');
            expected.replace(60, 16, field(address, 16));
            QCOMPARE(bytes.mid(16, 276), expected);
            QCOMPARE(lines.at(i).at(0).toString(), QStringLiteral("[S]reset fail to:") + address);
        }
    }

    void change_net_sends_a_fresh_record_with_the_mac_data()
    {
        QTest::addColumn<bool>("dhcp");
        QTest::newRow("static") << false;
        QTest::newRow("dhcp still carries the texts") << true;
    }

    void change_net_sends_a_fresh_record_with_the_mac()
    {
        QFETCH(bool, dhcp);
        DevsimProcess sim;
        QVERIFY(discover(sim, 2));
        devs->selectDev(1);
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->changeNet("192.168.147.77", "255.255.0.0", "192.168.147.254", "8.8.4.4", dhcp);
        const QList<QJsonObject> sets = waitReceived(sim, 18152, Wire::SET_NETWORK, 1);
        QCOMPARE(sets.size(), 1);
        const QByteArray bytes = DevsimProcess::hex(sets.first());
        QCOMPARE(bytes.size(), 292);
        QCOMPARE(bytes.left(16), QByteArray::fromHex("61a80000140100000000000000000000"));
        QByteArray expected(276, '\0');
        expected.replace(36, 24, QByteArray(devs->getDevList().at(1)->info.mac, 24));
        expected.replace(60, 16, field("192.168.147.77", 16));
        expected.replace(76, 16, field("255.255.0.0", 16));
        expected.replace(92, 16, field("192.168.147.254", 16));
        expected.replace(136, 16, field("8.8.4.4", 16));
        expected[172] = dhcp ? 1 : 0;
        QCOMPARE(bytes.mid(16), expected);
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("[S]change net to:192.168.147.77"));

        // The device takes it, and says so at the next search.
        engine->search();
        QTRY_COMPARE_WITH_TIMEOUT(Wire::readText(devs->getDevList().at(1)->info.ip), QStringLiteral("192.168.147.77"), 3000);
        QCOMPARE(devs->getDevList().at(1)->info.ipMode, quint16(dhcp ? 0 : 1));
    }

    void set_all_ip_numbers_online_devices_by_position()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 4));
        sim.command("silent 1");
        QTest::qWait(100);
        engine->search();
        QTest::qWait(300);
        sim.command("speak 1");
        QSignalSpy sends(engine, SIGNAL(sendMsg(int)));
        engine->setAllIp();
        QCOMPARE(sends.size(), 1);   // one closing search
        const QList<QJsonObject> sets = waitReceived(sim, 18152, Wire::SET_NETWORK, 3);
        QCOMPARE(sets.size(), 3);
        const QList<int> hosts{2, 4, 5};
        for (int i = 0; i < 3; ++i) {
            const QByteArray bytes = DevsimProcess::hex(sets.at(i));
            QCOMPARE(bytes.mid(16 + 36, 24), QByteArray(devs->getDevList().at(hosts.at(i) - 2)->info.mac, 24));
            QCOMPARE(bytes.mid(16 + 60, 16), field("192.168.147." + QString::number(hosts.at(i)), 16));
            QCOMPARE(bytes.mid(16 + 76, 16), field("255.255.255.0", 16));
            QCOMPARE(bytes.mid(16 + 92, 16), field("192.168.147.1", 16));
            QCOMPARE(bytes.mid(16 + 136, 16), field("192.168.147.1", 16));
            QCOMPARE(int(bytes.at(16 + 172)), 0);
        }
        // The closing search brings the new addresses back.
        QTRY_COMPARE_WITH_TIMEOUT(Wire::readText(devs->getDevList().at(3)->info.ip), QStringLiteral("192.168.147.5"), 3000);
    }

    void set_all_ip_never_leaves_the_host_range()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 256));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->setAllIp();
        const QList<QJsonObject> sets = waitReceived(sim, 18152, Wire::SET_NETWORK, 253);
        QCOMPARE(sets.size(), 253);
        QCOMPARE(DevsimProcess::hex(sets.last()).mid(16 + 60, 16), field("192.168.147.254", 16));
        int skipped = 0;
        for (const QList<QVariant> &line : lines)
            skipped += line.at(0).toString().startsWith(QLatin1String("[E]no free address for:"));
        QCOMPARE(skipped, 3);
    }

    void update_request_carries_the_tool_address_as_mask()
    {
        DevsimProcess sim;
        QVERIFY(discover(sim, 1));
        Dev *dev = devs->getDevList().first();
        engine->sendUpdateRequest(dev);
        QVERIFY(engine->isUpdating());
        const QList<QJsonObject> requests = waitReceived(sim, 18154, Wire::UPDATE_BEGIN, 1);
        QCOMPARE(requests.size(), 1);
        const QByteArray bytes = DevsimProcess::hex(requests.first());
        QCOMPARE(bytes.size(), 292);
        QByteArray expected = recordBytes(dev->info);
        expected.replace(76, 16, field("192.168.147.101", 16));
        QCOMPARE(bytes.mid(16), expected);
        engine->resetUpdate();
    }

    void encoding_change_sets_only_the_h264_byte_data()
    {
        QTest::addColumn<bool>("h264");
        QTest::newRow("to 265") << false;
        QTest::newRow("to 264 while already 264") << true;
    }

    void encoding_change_sets_only_the_h264_byte()
    {
        QFETCH(bool, h264);
        DevsimProcess sim;
        QVERIFY(discover(sim, 1, {"--h264", "1"}));
        devs->selectDev(0);
        engine->changeCompressType(h264);
        const QList<QJsonObject> requests = waitReceived(sim, 18154, Wire::CHANGE_COMPRESS_TYPE, 1);
        QCOMPARE(requests.size(), 1);
        QByteArray expected = recordBytes(devs->getDevList().first()->info);
        expected[209] = h264 ? 1 : 0;
        QCOMPARE(DevsimProcess::hex(requests.first()).mid(16), expected);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
