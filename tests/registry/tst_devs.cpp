// The registry as the engine feeds it: one row per mac text, the bound on the
// number of rows, and the selection.
// Runs in the lab because the registry brings up the protocol engine.

#include <QtTest>

#include <cstring>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/records.h"

class TestDevs : public QObject
{
    Q_OBJECT

    Devs *devs = nullptr;

    static void answer(const QString &mac, const QString &from = QStringLiteral("192.168.147.11"))
    {
        emit Connect::instance()->receiveMsg(QHostAddress(from), 1, TestRecords::record(mac), Wire::BroadcastAnswerPort);
    }

private slots:
    void initTestCase() { devs = Devs::instance(); }
    void init() { devs->clear(); }

    void mac_text_decides_the_row_data()
    {
        QTest::addColumn<QByteArray>("first");   // the mac field's bytes, zero-padded to 24
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("rows");
        QTest::newRow("bytes after the NUL differ") << QByteArray("m1\0abc", 6) << QByteArray("m1\0xyz", 6) << 1;
        QTest::newRow("one text a prefix of the other") << QByteArray("m1") << QByteArray("m10") << 2;
        QTest::newRow("letter case differs") << QByteArray("aa:bb") << QByteArray("AA:BB") << 2;
        QTest::newRow("24 characters, no NUL") << QByteArray(24, 'M') << QByteArray(24, 'M') << 1;
        QTest::newRow("empty text") << QByteArray() << QByteArray("\0junk", 5) << 1;
    }

    void mac_text_decides_the_row()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, rows);
        QSignalSpy announced(devs, SIGNAL(loadDevMsg(int)));
        int n = 0;
        for (const QByteArray &mac : {first, second}) {
            msg_broadcast_t r = TestRecords::record(QString());
            std::memcpy(r.mac, mac.constData(), size_t(mac.size()));
            std::memset(r.ip, 'z', sizeof r.ip);   // the field after mac holds no NUL
            emit Connect::instance()->receiveMsg(QHostAddress(QStringLiteral("192.168.147.%1").arg(++n)), 1, r, 18153);
        }
        QCOMPARE(devs->getDevList().size(), rows);
        QCOMPARE(announced.at(1).at(0).toInt(), rows - 1);
        QCOMPARE(devs->getDevList().at(rows - 1)->addr.toString(), QStringLiteral("192.168.147.2"));   // the answer replaced the row
    }

    void spoofed_macs_stop_at_the_bound()
    {
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
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
            const auto full = std::count_if(log.cbegin(), log.cend(), [](const QList<QVariant> &line) {
                return line.at(1).toInt() == AdminService::Error && line.at(0).toString().contains("Clean List");
            });
            QCOMPARE(full, fill);
            devs->clear();
        }
    }

    void selection_ignores_rows_outside_the_list_and_goes_with_clear()
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
        devs->selectDev(1);
        QCOMPARE(selected.size(), 2);
        devs->clear();
        QCOMPARE(devs->getSelected(), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestDevs)
#include "tst_devs.moc"
