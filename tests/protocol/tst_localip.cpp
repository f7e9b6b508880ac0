#include <QtTest>

#include "protocol/localip.h"

Q_DECLARE_METATYPE(QList<InterfaceDescription>)

// The choice of the address the tool presents to the devices, over made-up interface lists.
class TestLocalIp : public QObject
{
    Q_OBJECT

    static InterfaceDescription iface(const QString &name, const QStringList &addresses, bool up = true, bool running = true,
                                      const QString &humanName = QString())
    {
        InterfaceDescription d;
        d.name = name;
        d.humanReadableName = humanName.isEmpty() ? name : humanName;
        d.up = up;
        d.running = running;
        for (const QString &a : addresses)
            d.addresses.append(QHostAddress(a));
        return d;
    }

private slots:
    void chooses_local_address_data()
    {
        QTest::addColumn<QList<InterfaceDescription>>("interfaces");
        QTest::addColumn<QString>("expected");

        QTest::newRow("second address of en0")
            << QList<InterfaceDescription>{iface("en0", {"192.168.147.100", "192.168.147.101"})} << "192.168.147.101";
        QTest::newRow("name containing ethernet")
            << QList<InterfaceDescription>{iface("ethernet_32769", {"fe80::1", "10.0.0.5"})} << "10.0.0.5";
        QTest::newRow("single address entry gives loopback")
            << QList<InterfaceDescription>{iface("en0", {"192.168.147.101"})} << "127.0.0.1";
        QTest::newRow("second entry IPv6 is skipped")
            << QList<InterfaceDescription>{iface("en0", {"192.168.147.100", "fe80::1"})} << "127.0.0.1";
        QTest::newRow("other system names are not taken")
            << QList<InterfaceDescription>{iface("eth0", {"10.0.0.1", "10.0.0.2"}), iface("wlan0", {"10.0.1.1", "10.0.1.2"})}
            << "127.0.0.1";
        QTest::newRow("down and not running is skipped")
            << QList<InterfaceDescription>{iface("en0", {"10.0.0.1", "10.0.0.2"}, false, false),
                                           iface("ethernet_1", {"10.0.3.1", "10.0.3.2"})}
            << "10.0.3.2";
        QTest::newRow("running alone suffices")
            << QList<InterfaceDescription>{iface("en0", {"10.0.0.1", "10.0.0.2"}, false, true)} << "10.0.0.2";
        QTest::newRow("virtual adapters are skipped by human name")
            << QList<InterfaceDescription>{iface("ethernet_2", {"10.0.0.1", "10.0.0.2"}, true, true, "VMware Network Adapter"),
                                           iface("ethernet_3", {"10.0.0.1", "10.0.0.3"}, true, true, "VirtualBox Host-Only"),
                                           iface("ethernet_4", {"10.0.0.1", "10.0.0.4"}, true, true, "Loopback Pseudo-Interface"),
                                           iface("ethernet_5", {"10.0.0.1", "10.0.0.5"}, true, true, "Local Area Connection")}
            << "10.0.0.5";
        QTest::newRow("the name test is case-sensitive")
            << QList<InterfaceDescription>{iface("Ethernet", {"10.0.0.1", "10.0.0.2"}), iface("EN0", {"10.0.0.1", "10.0.0.3"})}
            << "127.0.0.1";
        QTest::newRow("first qualifying interface wins")
            << QList<InterfaceDescription>{iface("en0", {"10.0.0.1", "10.0.0.2"}), iface("ethernet_1", {"10.0.1.1", "10.0.1.2"})}
            << "10.0.0.2";
        QTest::newRow("no interfaces") << QList<InterfaceDescription>{} << "127.0.0.1";
    }

    void chooses_local_address()
    {
        QFETCH(QList<InterfaceDescription>, interfaces);
        QFETCH(QString, expected);
        QCOMPARE(LocalIp::choose(interfaces).toString(), expected);
    }
};

QTEST_APPLESS_MAIN(TestLocalIp)
#include "tst_localip.moc"
