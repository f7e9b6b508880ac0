// The lab itself: a broadcast from the tool host reaches every device host
// from the tool's address. Runs inside the tool host (lab.sh run --device-hosts 2).

#include <QHostAddress>
#include <QTest>
#include <QUdpSocket>

#include "protocol/wire.h"
#include "support/devsimprocess.h"

#include <memory>
#include <vector>

class TestLab : public QObject
{
    Q_OBJECT

private slots:
    void broadcast_leaves_from_second_address_and_reaches_every_device_host()
    {
        const QStringList deviceIps = qEnvironmentVariable("LAB_DEVICE_IPS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY(!deviceIps.isEmpty());
        std::vector<std::unique_ptr<DevsimProcess>> devsims;
        for (int host = 1; host <= deviceIps.size(); ++host) {
            devsims.push_back(std::make_unique<DevsimProcess>());
            QVERIFY(devsims.back()->start({QStringLiteral("--count"), QStringLiteral("1")}, host));
        }

        QUdpSocket tool;
        QVERIFY(tool.bind(QHostAddress::AnyIPv4, Wire::SearchPort));
        const QByteArray search = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0));
        QCOMPARE(tool.writeDatagram(search, QHostAddress::Broadcast, Wire::SearchPort), qint64(search.size()));

        for (auto &devsim : devsims) {
            QVERIFY(devsim->waitForLog([&](const QList<QJsonObject> &) {
                return !devsim->received(Wire::SearchPort).isEmpty();
            }));
            const QList<QJsonObject> got = devsim->received(Wire::SearchPort);
            QCOMPARE(got.size(), 1);
            QCOMPARE(got[0].value(QLatin1String("from")).toString(), QStringLiteral("192.168.147.101"));
            QCOMPARE(DevsimProcess::hex(got[0]), search);
        }
    }
};

QTEST_GUILESS_MAIN(TestLab)
#include "tst_lab.moc"
