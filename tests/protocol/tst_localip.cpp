#include <QtTest>

#include "protocol/localip.h"

Q_DECLARE_METATYPE(QList<InterfaceDescription>)

// Which addresses the tool may present, over the interface lists of real
// laptops: Windows, macOS and Linux, wired, wired with Wi-Fi, with container
// bridges and VPNs, and with no network at all.
class TestLocalIp : public QObject
{
    Q_OBJECT

    using Type = QNetworkInterface::InterfaceType;

    static InterfaceDescription iface(const QString &name, const QStringList &addresses, Type type = QNetworkInterface::Ethernet,
                                      bool running = true, const QString &humanName = QString())
    {
        InterfaceDescription d;
        d.name = name;
        d.humanReadableName = humanName.isEmpty() ? name : humanName;
        d.type = type;
        d.up = true;
        d.running = running;
        d.loopBack = type == QNetworkInterface::Loopback;
        for (const QString &a : addresses)
            d.addresses.append(QHostAddress(a));
        return d;
    }

private slots:
    void candidates_follow_the_laptop_data()
    {
        const Type wifi = QNetworkInterface::Wifi;
        const Type loopback = QNetworkInterface::Loopback;
        const InterfaceDescription lo = iface("lo", {"127.0.0.1", "::1"}, loopback);
        QTest::addColumn<QList<InterfaceDescription>>("interfaces");
        QTest::addColumn<QString>("expected");

        QTest::newRow("windows: the wired card's second address")
            << QList<InterfaceDescription>{iface("ethernet_32769", {"fe80::1", "192.168.147.50"}),
                                           iface("wireless_32768", {"fe80::2", "10.0.0.23"}, wifi),
                                           iface("loopback_0", {"::1", "127.0.0.1"}, loopback, true, "Loopback Pseudo-Interface 1")}
            << "192.168.147.50 (ethernet_32769)";
        QTest::newRow("windows: virtual machine adapters are passed over")
            << QList<InterfaceDescription>{iface("ethernet_2", {"fe80::1", "192.168.56.1"}, QNetworkInterface::Ethernet, true, "VMware Network Adapter VMnet8"),
                                           iface("ethernet_3", {"fe80::1", "10.0.0.3"}, QNetworkInterface::Ethernet, true, "VirtualBox Host-Only"),
                                           iface("ethernet_5", {"fe80::1", "10.0.0.5"}, QNetworkInterface::Ethernet, true, "Local Area Connection")}
            << "10.0.0.5 (ethernet_5)";
        QTest::newRow("windows: a cable that is out still counts when the card is up")
            << QList<InterfaceDescription>{iface("ethernet_1", {"fe80::1", "10.0.3.2"}, QNetworkInterface::Ethernet, false)}
            << "10.0.3.2 (ethernet_1)";
        QTest::newRow("mac: en0 is Wi-Fi, the USB card wins")
            << QList<InterfaceDescription>{lo, iface("en0", {"fe80::5", "10.0.0.5"}, wifi),
                                           iface("en7", {"fe80::6", "192.168.147.20"})}
            << "192.168.147.20 (en7)";
        QTest::newRow("linux: one wired card with one address")
            << QList<InterfaceDescription>{lo, iface("enp3s0", {"192.168.147.20", "fe80::7"})} << "192.168.147.20 (enp3s0)";
        QTest::newRow("linux: wired and Wi-Fi, only the wired one")
            << QList<InterfaceDescription>{lo, iface("wlp2s0", {"10.0.0.5"}, wifi), iface("eno1", {"10.1.1.4"})}
            << "10.1.1.4 (eno1)";
        QTest::newRow("linux: bridges and tunnels are no network, the devices' subnet comes first")
            << QList<InterfaceDescription>{lo, iface("docker0", {"172.17.0.1"}), iface("br-1a2b3c", {"172.18.0.1"}),
                                           iface("virbr0", {"192.168.122.1"}), iface("veth9f1", {"169.254.3.3"}),
                                           iface("tun0", {"10.8.0.2"}, QNetworkInterface::Unknown),
                                           iface("wg0", {"10.9.0.2"}, QNetworkInterface::Unknown),
                                           iface("eth0", {"10.1.1.4", "192.168.147.77"})}
            << "192.168.147.77 (eth0), 10.1.1.4 (eth0)";
        QTest::newRow("linux: two wired cards")
            << QList<InterfaceDescription>{lo, iface("eth0", {"10.0.0.2"}), iface("eth1", {"192.168.147.101"})}
            << "192.168.147.101 (eth1), 10.0.0.2 (eth0)";
        QTest::newRow("linux: cable out, Wi-Fi then")
            << QList<InterfaceDescription>{lo, iface("enp3s0", {"10.1.1.4"}, QNetworkInterface::Ethernet, false),
                                           iface("wlp2s0", {"192.168.1.30"}, wifi)}
            << "192.168.1.30 (wlp2s0)";
        QTest::newRow("no network") << QList<InterfaceDescription>{lo} << "";
    }

    void candidates_follow_the_laptop()
    {
        QFETCH(QList<InterfaceDescription>, interfaces);
        QFETCH(QString, expected);
        QStringList labels;
        for (const LocalAddress &candidate : LocalIp::candidates(interfaces))
            labels << candidate.label();
        QCOMPARE(labels.join(QStringLiteral(", ")), expected);
    }
};

QTEST_GUILESS_MAIN(TestLocalIp)
#include "tst_localip.moc"
