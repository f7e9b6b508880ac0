// Misbehaving devices during an update, against the engine in the lab: one that
// hangs up mid-transfer, one that sends noise, one that splits every message
// into 1-byte writes and one that stops reading, next to a healthy device.

#include <QtTest>
#include <QCryptographicHash>
#include <QTemporaryDir>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"

class TestUpdateFaults : public QObject
{
    Q_OBJECT

private slots:
    void faulty_devices_neither_crash_nor_block_the_others()
    {
        QTemporaryDir dir;
        const QString package = dir.filePath(QStringLiteral("package.bin"));
        QByteArray bytes(1024 * 1024, '\0');
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        QFile file(package);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();

        Connect *engine = Connect::instance();
        Devs *devs = Devs::instance();
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "5", "--package", package, "--restart-ms", "50", "--install-ms", "50",
                           "--update-fault", "0:disconnect:100000,1:garbage,2:split,3:stall"}));
        engine->cleanSearch();
        QVERIFY(QTest::qWaitFor([&] { return devs->getDevList().size() == 5; }, 5000));

        // All five at once: the healthy one through a single update, the others asked directly.
        devs->selectDev(4);
        engine->startUpdate(package);
        for (int i = 0; i < 4; ++i)
            engine->sendUpdateRequest(devs->getDevList().at(i));

        auto named = [&](const char *name) {
            QMap<int, QJsonObject> byDevice;
            for (const QJsonObject &event : sim.log())
                if (event.value("event") == QLatin1String(name))
                    byDevice.insert(event.value("device").toInt(), event);
            return byDevice;
        };
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) {
            return named("update_finish").size() == 2 && named("update_failed").size() == 2;
        }, 20000));

        const QString md5 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
        const QMap<int, QJsonObject> received = named("update_received");
        QCOMPARE(received.keys(), (QList<int>{2, 4}));   // the healthy and the split one
        for (const QJsonObject &event : received) {
            QCOMPARE(event.value("md5").toString(), md5);
            QVERIFY(event.value("package_ok").toBool());
        }
        const QMap<int, QJsonObject> failed = named("update_failed");
        QCOMPARE(failed.keys(), (QList<int>{0, 1}));
        QCOMPARE(failed.value(0).value("reason").toString(), QStringLiteral("disconnect"));
        QCOMPARE(failed.value(1).value("reason").toString(), QStringLiteral("garbage"));
        QVERIFY(named("update_extra_bytes").isEmpty());

        // Both dropped connections are logged as exits and leave the client list.
        int exits = 0;
        for (const QList<QVariant> &line : lines)
            exits += line.at(0).toString().startsWith(QLatin1String("[TCP]client:")) && line.at(0).toString().endsWith(QLatin1String(" exit"));
        QCOMPARE(exits, 2);
        QCOMPARE(engine->clientCount(), 3);

        // The tool still hears searches; the stalled device is still in its updater.
        engine->search();
        QVERIFY(QTest::qWaitFor([&] {
            const QList<Dev *> list = devs->getDevList();
            return list.at(0)->online > 0 && list.at(1)->online > 0 && list.at(2)->online > 0 && list.at(4)->online > 0;
        }, 3000));
        QVERIFY(devs->getDevList().at(3)->online < 1);
        engine->resetUpdate();
    }
};

QTEST_MAIN(TestUpdateFaults)
#include "tst_updatefaults.moc"
