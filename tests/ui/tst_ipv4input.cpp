// The address rules of the network dialog: what an installer may type.

#include <QtTest>

#include "ui/ipv4input.h"

class TestIpv4Input : public QObject
{
    Q_OBJECT

private slots:
    void parses_only_dotted_decimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");   // -1: refused
        QTest::newRow("plain") << "192.168.147.20" << qint64(0xc0a89314);
        QTest::newRow("all 255") << "255.255.255.255" << qint64(0xffffffff);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("three parts") << "192.168.1" << qint64(-1);
        QTest::newRow("part over 255") << "192.168.1.256" << qint64(-1);
        QTest::newRow("empty part") << "192..1.1" << qint64(-1);
        QTest::newRow("leading zero") << "192.168.01.1" << qint64(-1);
        QTest::newRow("space") << "192.168.1.1 " << qint64(-1);
        QTest::newRow("sign") << "+1.2.3.4" << qint64(-1);
        QTest::newRow("full-width digit") << QString::fromUtf8("192.168.1.\xef\xbc\x91") << qint64(-1);
    }

    void parses_only_dotted_decimal()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const std::optional<quint32> parsed = Ipv4Input::parse(text);
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), value);
    }

    void netmask_host_and_subnet_rules_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("isNetmask");
        QTest::addColumn<bool>("isHost");
        QTest::newRow("/24 host") << "192.168.147.20" << "255.255.255.0" << true << true;
        QTest::newRow("/24 subnet address") << "192.168.147.0" << "255.255.255.0" << true << false;
        QTest::newRow("/24 broadcast") << "192.168.147.255" << "255.255.255.0" << true << false;
        QTest::newRow("/16 .255 is a host") << "10.1.0.255" << "255.255.0.0" << true << true;
        QTest::newRow("loopback") << "127.0.0.5" << "255.0.0.0" << true << false;
        QTest::newRow("multicast") << "224.0.0.5" << "255.255.255.0" << true << false;
        QTest::newRow("zero network") << "0.1.2.3" << "255.0.0.0" << true << false;
        QTest::newRow("holes in the mask") << "192.168.1.2" << "255.0.255.0" << false << false;
        QTest::newRow("mask of ones") << "192.168.1.2" << "255.255.255.255" << false << false;
    }

    void netmask_host_and_subnet_rules()
    {
        QFETCH(QString, address);
        QFETCH(QString, mask);
        QFETCH(bool, isNetmask);
        QFETCH(bool, isHost);
        const quint32 a = *Ipv4Input::parse(address);
        const quint32 m = *Ipv4Input::parse(mask);
        QCOMPARE(Ipv4Input::isNetmask(m), isNetmask);
        if (!isNetmask)
            return;
        QCOMPARE(Ipv4Input::isHostAddress(a, m), isHost);
        // Flipping the lowest host bit stays in the subnet, flipping the lowest network bit leaves it.
        QVERIFY(Ipv4Input::sameSubnet(a, a ^ 1, m));
        QVERIFY(!Ipv4Input::sameSubnet(a, a ^ (~m + 1), m));
    }
};

QTEST_APPLESS_MAIN(TestIpv4Input)
#include "tst_ipv4input.moc"
