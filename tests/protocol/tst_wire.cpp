// The pure helpers of the protocol: fixed-width text fields, reads that never
// pass the end of a datagram, and the addresses the tool may present, over the
// interface lists of real Windows, macOS and Linux laptops.
// The bytes of whole datagrams are pinned against devsim in tst_engine.

#include <QtTest>

#include <cstring>

#include "protocol/localip.h"
#include "protocol/wire.h"

Q_DECLARE_METATYPE(QList<InterfaceDescription>)
struct Read { int size, offset, width; bool ok; };   // width bytes at offset of a datagram of size; ok: within it
Q_DECLARE_METATYPE(Read)

namespace {

InterfaceDescription iface(const QString &name, const QStringList &addresses,
                           QNetworkInterface::InterfaceType type = QNetworkInterface::Ethernet, bool running = true,
                           const QString &humanName = QString())
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

} // namespace

class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void text_field_is_nul_padded_cut_and_read_back_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("short text") << "1.2.3.4" << QByteArray::fromHex("312e322e332e34000000000000000000");
        QTest::newRow("15 characters keep one NUL") << "255.255.255.255" << QByteArray("255.255.255.255").append('\0');
        QTest::newRow("16 characters fill the field") << "1234567890abcdef" << QByteArray("1234567890abcdef");
        QTest::newRow("longer text is cut") << "1234567890abcdefXYZ" << QByteArray("1234567890abcdef");
        QTest::newRow("empty text") << "" << QByteArray(16, '\0');
    }

    void text_field_is_nul_padded_cut_and_read_back()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        char bytes[17];   // the field and a byte after it that is no NUL
        std::memset(bytes, 0x7f, sizeof bytes);
        Wire::writeText(bytes, 16, text);
        QCOMPARE(QByteArray(bytes, 16), field);
        QCOMPARE(Wire::readText(bytes, 16), text.left(16));   // read back up to the NUL or the field's end
    }

    void reads_never_pass_the_end_data()
    {
        QTest::addColumn<Read>("c");
        QTest::newRow("empty datagram, header") << Read{0, 0, 16, false};
        QTest::newRow("15 bytes, header") << Read{15, 0, 16, false};
        QTest::newRow("16 bytes, header") << Read{16, 0, 16, true};
        QTest::newRow("291 bytes, record") << Read{291, 16, 276, false};
        QTest::newRow("292 bytes, record") << Read{292, 16, 276, true};
        QTest::newRow("negative offset") << Read{100, -1, 16, false};
    }

    void reads_never_pass_the_end()
    {
        QFETCH(Read, c);
        const auto [size, offset, width, ok] = c;
        const QByteArray data(size, '\x11');
        QByteArray out(width, '\x22');
        QCOMPARE(Wire::readAt(data, offset, out.data(), width), ok);
        QCOMPARE(out, QByteArray(width, ok ? '\x11' : '\x22'));   // untouched when refused
    }

    void candidates_follow_the_laptop_data()
    {
        const QNetworkInterface::InterfaceType wired = QNetworkInterface::Ethernet, wifi = QNetworkInterface::Wifi;
        const InterfaceDescription lo = iface("lo", {"127.0.0.1", "::1"}, QNetworkInterface::Loopback);
        QTest::addColumn<QList<InterfaceDescription>>("interfaces");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QList<InterfaceDescription> &interfaces, const char *expected) {
            QTest::newRow(name) << interfaces << QString(expected);
        };
        row("windows: the wired card's second address",
            {iface("ethernet_32769", {"fe80::1", "192.168.147.50"}), iface("wireless_32768", {"fe80::2", "10.0.0.23"}, wifi),
             iface("loopback_0", {"::1", "127.0.0.1"}, QNetworkInterface::Loopback, true, "Loopback Pseudo-Interface 1")},
            "192.168.147.50 (ethernet_32769)");
        row("windows: virtual machine adapters are passed over",
            {iface("ethernet_2", {"fe80::1", "192.168.56.1"}, wired, true, "VMware Network Adapter VMnet8"),
             iface("ethernet_3", {"fe80::1", "10.0.0.3"}, wired, true, "VirtualBox Host-Only"),
             iface("ethernet_5", {"fe80::1", "10.0.0.5"}, wired, true, "Local Area Connection")},
            "10.0.0.5 (ethernet_5)");
        row("windows: a cable that is out still counts when the card is up", {iface("ethernet_1", {"fe80::1", "10.0.3.2"}, wired, false)},
            "10.0.3.2 (ethernet_1)");
        row("mac: en0 is Wi-Fi, the USB card wins",
            {lo, iface("en0", {"fe80::5", "10.0.0.5"}, wifi), iface("en7", {"fe80::6", "192.168.147.20"})}, "192.168.147.20 (en7)");
        row("linux: one wired card with one address", {lo, iface("enp3s0", {"192.168.147.20", "fe80::7"})}, "192.168.147.20 (enp3s0)");
        row("linux: wired and Wi-Fi, only the wired one", {lo, iface("wlp2s0", {"10.0.0.5"}, wifi), iface("eno1", {"10.1.1.4"})},
            "10.1.1.4 (eno1)");
        row("linux: bridges and tunnels are no network, the devices' subnet comes first",
            {lo, iface("docker0", {"172.17.0.1"}), iface("br-1a2b3c", {"172.18.0.1"}), iface("virbr0", {"192.168.122.1"}),
             iface("veth9f1", {"169.254.3.3"}), iface("tun0", {"10.8.0.2"}, QNetworkInterface::Unknown),
             iface("wg0", {"10.9.0.2"}, QNetworkInterface::Unknown), iface("eth0", {"10.1.1.4", "192.168.147.77"})},
            "192.168.147.77 (eth0), 10.1.1.4 (eth0)");
        row("linux: two wired cards", {lo, iface("eth0", {"10.0.0.2"}), iface("eth1", {"192.168.147.101"})},
            "192.168.147.101 (eth1), 10.0.0.2 (eth0)");
        row("linux: cable out, Wi-Fi then", {lo, iface("enp3s0", {"10.1.1.4"}, wired, false), iface("wlp2s0", {"192.168.1.30"}, wifi)},
            "192.168.1.30 (wlp2s0)");
        row("no network", {lo}, "");
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

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
