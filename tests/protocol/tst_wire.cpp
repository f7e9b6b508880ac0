// The pure helpers of the protocol: fixed-width text fields, reads that never
// pass the end of a datagram, and the choice of the address the tool presents.
// The bytes of whole datagrams are pinned against devsim in tst_engine.

#include <QtTest>

#include <cstring>

#include "protocol/localip.h"
#include "protocol/wire.h"

Q_DECLARE_METATYPE(QList<InterfaceDescription>)

namespace {

InterfaceDescription iface(const QString &name, const QStringList &addresses, bool up = true, bool running = true,
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

} // namespace

class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void text_field_is_nul_padded_and_cut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("short text") << "1.2.3.4" << QByteArray::fromHex("312e322e332e34000000000000000000");
        QTest::newRow("15 characters keep one NUL") << "255.255.255.255" << QByteArray("255.255.255.255").append('\0');
        QTest::newRow("16 characters fill the field") << "1234567890abcdef" << QByteArray("1234567890abcdef");
        QTest::newRow("longer text is cut") << "1234567890abcdefXYZ" << QByteArray("1234567890abcdef");
        QTest::newRow("empty text") << "" << QByteArray(16, '\0');
    }

    void text_field_is_nul_padded_and_cut()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        char bytes[16];
        std::memset(bytes, 0x7f, sizeof bytes);
        Wire::writeText(bytes, text);
        QCOMPARE(QByteArray(bytes, 16), field);
    }

    void text_field_read_stops_at_nul_and_at_the_width_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("stops at the first NUL") << QByteArray("abc\0def", 7).leftJustified(24, '\0') << "abc";
        QTest::newRow("no NUL reads the width only") << QByteArray(24, 'm') << QString(24, 'm');
    }

    void text_field_read_stops_at_nul_and_at_the_width()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        msg_broadcast_t record;
        std::memset(&record, 'X', sizeof record);   // the bytes after mac are not NUL
        std::memcpy(record.mac, field.constData(), sizeof record.mac);
        QCOMPARE(Wire::readText(record.mac), text);
    }

    void reads_never_pass_the_end_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty datagram, header") << 0 << 0 << 16 << false;
        QTest::newRow("15 bytes, header") << 15 << 0 << 16 << false;
        QTest::newRow("16 bytes, header") << 16 << 0 << 16 << true;
        QTest::newRow("291 bytes, record") << 291 << 16 << 276 << false;
        QTest::newRow("292 bytes, record") << 292 << 16 << 276 << true;
        QTest::newRow("negative offset") << 100 << -1 << 16 << false;
    }

    void reads_never_pass_the_end()
    {
        QFETCH(int, size);
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(bool, ok);
        const QByteArray data(size, '\x11');
        QByteArray out(width, '\x22');
        QCOMPARE(Wire::readAt(data, offset, out.data(), width), ok);
        QCOMPARE(out, QByteArray(width, ok ? '\x11' : '\x22'));   // untouched when refused
    }

    void chooses_the_presented_address_data()
    {
        using List = QList<InterfaceDescription>;
        QTest::addColumn<List>("interfaces");
        QTest::addColumn<QString>("expected");
        QTest::newRow("second address of en0") << List{iface("en0", {"192.168.147.100", "192.168.147.101"})} << "192.168.147.101";
        QTest::newRow("name containing ethernet") << List{iface("ethernet_32769", {"fe80::1", "10.0.0.5"})} << "10.0.0.5";
        QTest::newRow("single address gives loopback") << List{iface("en0", {"192.168.147.101"})} << "127.0.0.1";
        QTest::newRow("second entry IPv6 is skipped") << List{iface("en0", {"192.168.147.100", "fe80::1"})} << "127.0.0.1";
        QTest::newRow("other names are not taken, case counts")
            << List{iface("eth0", {"10.0.0.1", "10.0.0.2"}), iface("Ethernet", {"10.0.0.1", "10.0.0.3"}),
                    iface("EN0", {"10.0.0.1", "10.0.0.4"})} << "127.0.0.1";
        QTest::newRow("down and not running is skipped")
            << List{iface("en0", {"10.0.0.1", "10.0.0.2"}, false, false), iface("ethernet_1", {"10.0.3.1", "10.0.3.2"})} << "10.0.3.2";
        QTest::newRow("running alone suffices") << List{iface("en0", {"10.0.0.1", "10.0.0.2"}, false, true)} << "10.0.0.2";
        QTest::newRow("virtual adapters are skipped by human name")
            << List{iface("ethernet_2", {"10.0.0.1", "10.0.0.2"}, true, true, "VMware Network Adapter"),
                    iface("ethernet_3", {"10.0.0.1", "10.0.0.3"}, true, true, "VirtualBox Host-Only"),
                    iface("ethernet_4", {"10.0.0.1", "10.0.0.4"}, true, true, "Loopback Pseudo-Interface"),
                    iface("ethernet_5", {"10.0.0.1", "10.0.0.5"}, true, true, "Local Area Connection")} << "10.0.0.5";
        QTest::newRow("first qualifying interface wins")
            << List{iface("en0", {"10.0.0.1", "10.0.0.2"}), iface("ethernet_1", {"10.0.1.1", "10.0.1.2"})} << "10.0.0.2";
    }

    void chooses_the_presented_address()
    {
        QFETCH(QList<InterfaceDescription>, interfaces);
        QFETCH(QString, expected);
        QCOMPARE(LocalIp::choose(interfaces).toString(), expected);
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
