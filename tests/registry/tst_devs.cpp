#include <QtTest>

#include <algorithm>
#include <cstring>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/records.h"

using TestRecords::record;

// The registry as the engine feeds it: answers by mac, ageing by searches, selection.
// Runs in the lab because the registry brings up the protocol engine with its sockets.
class TestDevs : public QObject
{
    Q_OBJECT

    Devs *devs = nullptr;
    Connect *engine = nullptr;

    void answer(const QString &mac, const QString &from = QStringLiteral("192.168.147.11"), const QString &ip = QStringLiteral("192.168.147.30"))
    {
        emit engine->receiveMsg(QHostAddress(from), 1, record(mac, ip), Wire::BroadcastAnswerPort);
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

    void first_answer_appends_and_announces_last_row()
    {
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        answer("00:00:00:00:00:01");
        answer("00:00:00:00:00:02");
        QCOMPARE(devs->getDevList().size(), 2);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).at(0).toInt(), 1);
        Dev *second = devs->getDevList().at(1);
        QCOMPARE(Wire::readText(second->info.mac), QStringLiteral("00:00:00:00:00:02"));
        QCOMPARE(second->online, 1);
        QCOMPARE(second->port, 18153);
    }

    void known_mac_replaces_record_in_its_row()
    {
        answer("00:00:00:00:00:01");
        answer("00:00:00:00:00:02");
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        answer("00:00:00:00:00:01", "192.168.147.99", "10.1.1.1");
        QCOMPARE(devs->getDevList().size(), 2);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).at(0).toInt(), 0);
        Dev *first = devs->getDevList().at(0);
        QCOMPARE(first->addr.toString(), QStringLiteral("192.168.147.99"));
        QCOMPARE(Wire::readText(first->info.ip), QStringLiteral("10.1.1.1"));
    }

    void mac_match_is_case_sensitive_and_bounded()
    {
        answer("aa:bb:cc:dd:ee:ff");
        answer("AA:BB:CC:DD:EE:FF");
        QCOMPARE(devs->getDevList().size(), 2);

        // A 24-character mac with no NUL is matched on its 24 characters only,
        // whatever follows the field.
        msg_broadcast_t a = record(QString(24, 'M'));
        msg_broadcast_t b = a;
        std::memset(b.ip, 'z', sizeof b.ip);
        emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, a, 18153);
        emit engine->receiveMsg(QHostAddress("192.168.147.12"), 1, b, 18153);
        QCOMPARE(devs->getDevList().size(), 3);
    }

    void mac_text_decides_identity_data()
    {
        QTest::addColumn<QByteArray>("first");    // the mac field's bytes, zero-padded to 24
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("records");

        QTest::newRow("bytes after the NUL differ") << QByteArray("m1\0abc", 6) << QByteArray("m1\0xyz", 6) << 1;
        QTest::newRow("one text a prefix of the other") << QByteArray("m1") << QByteArray("m10") << 2;
        QTest::newRow("letter case differs") << QByteArray("aa:bb") << QByteArray("AA:BB") << 2;
        QTest::newRow("24 characters, no NUL") << QByteArray(24, 'M') << QByteArray(24, 'M') << 1;
        QTest::newRow("empty text") << QByteArray() << QByteArray("\0junk", 5) << 1;
    }

    void mac_text_decides_identity()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, records);

        for (const QByteArray &mac : {first, second}) {
            msg_broadcast_t r = record(QString());
            std::memset(r.mac, 0, sizeof r.mac);
            std::memcpy(r.mac, mac.constData(), size_t(mac.size()));
            emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, r, 18153);
        }
        QCOMPARE(devs->getDevList().size(), records);
    }

    void thousands_of_devices_keep_their_rows()
    {
        const int count = 3000;
        for (int i = 0; i < count; ++i)
            answer(QStringLiteral("00:1A:2B:3C:%1").arg(i, 4, 16, QLatin1Char('0')));
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        for (int i = count - 1; i >= 0; i -= 7)
            answer(QStringLiteral("00:1A:2B:3C:%1").arg(i, 4, 16, QLatin1Char('0')), "192.168.147.12");
        QCOMPARE(devs->getDevList().size(), count);
        for (const QList<QVariant> &call : rows) {
            const int row = call.at(0).toInt();
            QCOMPARE(Wire::readText(devs->getDevList().at(row)->info.mac),
                     QStringLiteral("00:1A:2B:3C:%1").arg(row, 4, 16, QLatin1Char('0')));
            QCOMPARE(devs->getDevList().at(row)->addr.toString(), QStringLiteral("192.168.147.12"));
        }
        QCOMPARE(rows.size(), (count + 6) / 7);

        devs->clear();   // the index goes with the records
        answer(QStringLiteral("00:1A:2B:3C:0bb8"));
        answer(QStringLiteral("00:1A:2B:3C:0005"));
        QCOMPARE(devs->getDevList().size(), 2);
        QCOMPARE(Wire::readText(devs->getDevList().at(1)->info.mac), QStringLiteral("00:1A:2B:3C:0005"));
    }

    void spoofed_macs_stop_at_the_bound()
    {
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        const auto fullLines = [&log] {
            return std::count_if(log.cbegin(), log.cend(), [](const QList<QVariant> &line) {
                return line.at(1).toInt() == AdminService::Error && line.at(0).toString().startsWith("[E]")
                       && line.at(0).toString().contains("Clean List");
            });
        };
        for (int fill = 1; fill <= 2; ++fill) {   // Clean List arms the bound again
            for (int i = 0; i < Devs::MaxDevices; ++i)
                answer(QStringLiteral("spoof-%1").arg(i));
            QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
            answer("one too many");
            answer("one more");
            QCOMPARE(devs->getDevList().size(), Devs::MaxDevices);
            QCOMPARE(rows.size(), 0);
            answer("spoof-0", "192.168.147.99");   // a known device still updates its row
            QCOMPARE(rows.size(), 1);
            QCOMPARE(devs->getDevList().at(0)->addr.toString(), QStringLiteral("192.168.147.99"));
            QCOMPARE(fullLines(), fill);
            devs->clear();
        }
    }

    void search_without_answers_ages_each_online_row_once()
    {
        answer("m1");
        answer("m2");
        QSignalSpy rows(devs, SIGNAL(loadDevMsg(int)));
        devs->updateOnline();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(devs->getDevList().at(0)->online, 0);
        devs->updateOnline();
        QCOMPARE(rows.size(), 2);   // rows already offline are not announced again
        QCOMPARE(devs->getDevList().at(1)->online, 0);
        answer("m2");
        QCOMPARE(devs->getDevList().at(1)->online, 1);
    }

    void selection_ignores_rows_outside_the_list()
    {
        answer("m1");
        answer("m2");
        QSignalSpy selected(devs, SIGNAL(selectDevMsg()));
        devs->selectDev(-1);
        devs->selectDev(2);
        devs->selectChannel(5, 1);
        QCOMPARE(selected.size(), 0);
        QCOMPARE(devs->getSelected(), nullptr);

        devs->selectChannel(1, 3);
        QCOMPARE(devs->getSelected(), devs->getDevList().at(1));
        QCOMPARE(devs->getSelectedChannel(), 3);
        devs->selectDev(1);
        QCOMPARE(devs->getSelectedChannel(), -1);
        QCOMPARE(selected.size(), 2);
    }

    void next_online_skips_offline_devices_data()
    {
        QTest::addColumn<QList<int>>("online");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("indexAfter");
        QTest::newRow("first offline") << QList<int>{0, 1, 1} << 0 << 1 << 1;
        QTest::newRow("from the third") << QList<int>{0, 1, 1} << 2 << 2 << 2;
        QTest::newRow("none online") << QList<int>{0, 0} << 0 << -1 << 2;
        QTest::newRow("past the end") << QList<int>{1, 1} << 5 << -1 << 5;
        QTest::newRow("empty list") << QList<int>{} << 0 << -1 << 0;
    }

    void next_online_skips_offline_devices()
    {
        QFETCH(QList<int>, online);
        QFETCH(int, start);
        QFETCH(int, found);
        QFETCH(int, indexAfter);
        for (int i = 0; i < online.size(); ++i)
            answer(QStringLiteral("dev%1").arg(i));
        const QList<Dev *> list = devs->getDevList();
        for (int i = 0; i < online.size(); ++i)
            list.at(i)->online = online.at(i);
        int index = start;
        Dev *dev = devs->nextOnline(index);
        QCOMPARE(dev, found < 0 ? nullptr : list.at(found));
        QCOMPARE(index, indexAfter);
    }

    void clear_drops_the_selection_with_the_records()
    {
        answer("m1");
        devs->selectDev(0);
        QVERIFY(devs->getSelected());
        devs->clear();
        QCOMPARE(devs->getSelected(), nullptr);
        QCOMPARE(devs->getSelectedChannel(), -1);
        QVERIFY(devs->getDevList().isEmpty());
        // Commands on the selection now do nothing rather than read freed memory.
        engine->reset();
        engine->changeCompressType(true);
    }

    void second_registry_stays_inert()
    {
        Devs second;
        QSignalSpy rows(&second, SIGNAL(loadDevMsg(int)));
        answer("m1");
        QCOMPARE(rows.size(), 0);
        QVERIFY(second.getDevList().isEmpty());
        QCOMPARE(Devs::instance(), devs);
        QCOMPARE(devs->getDevList().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDevs)
#include "tst_devs.moc"
