// "Prepare All Update" in any subnet: the range offered, the reasons a typed
// range is refused, and which device gets which address.

#include <QtTest>

#include "plan/addressrange.h"
#include "plansupport.h"

namespace {

AddressRange::Texts texts(const QStringList &four)
{
    return {four.at(0), four.at(1), four.at(2), four.at(3)};
}

// Devices ("MAC IP on|off ...", in list order) numbered from a range, the rows selected, this computer's
// address; each numbered device's address ("-" none, "=" already there) and the addresses skipped, with why.
struct Numbering { QStringList range, devices; QList<int> selected; QString self; QStringList assigned, skipped; };

} // namespace

Q_DECLARE_METATYPE(Numbering)

class TestAddressRange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(PlanSupport::installEnglish(this));
    }

    void offers_the_presented_subnet_data()
    {
        QTest::addColumn<QString>("presented");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<QStringList>("range");
        const QStringList factory{"192.168.147.2", "255.255.255.0", "192.168.147.1", "192.168.147.1"};
        QTest::newRow("factory subnet") << "192.168.147.30" << 24 << factory;
        QTest::newRow("factory /24 inside a /16") << "192.168.147.30" << 16 << factory;
        QTest::newRow("no address") << "" << 24 << factory;
        const QStringList at2{"10.20.5.2", "255.255.255.0", "10.20.5.1", "10.20.5.1"};
        QTest::newRow("10.20.5.0/24") << "10.20.5.77" << 24 << at2;
        QTest::newRow("172.16.8.0/22 from its second /24")
            << "172.16.9.40" << 22 << QStringList{"172.16.8.2", "255.255.252.0", "172.16.8.1", "172.16.8.1"};
        QTest::newRow("/32 has no room") << "10.20.5.77" << 32 << at2;
    }

    void offers_the_presented_subnet()
    {
        QFETCH(QString, presented);
        QFETCH(int, prefix);
        QFETCH(QStringList, range);
        QCOMPARE(AddressRange::defaultsFor(QHostAddress(presented), prefix).texts(), texts(range));
    }

    void refuses_a_field_with_its_reason_data()
    {
        QTest::addColumn<QStringList>("typed");     // first, mask, gateway, DNS
        QTest::addColumn<QStringList>("reasons");   // one per field, empty where fine
        const QString fine;
        QTest::newRow("a /22 range over .255")
            << QStringList{"172.16.8.255", "255.255.252.0", "172.16.8.1", "8.8.8.8"} << QStringList{fine, fine, fine, fine};
        QTest::newRow("empty fields") << QStringList{"", "255.255.255.0", "", ""}
                                      << QStringList{"Enter the first address", fine, "Enter the gateway", "Enter the DNS server"};
        QTest::newRow("not addresses") << QStringList{"10.20.5.1x", "255.255.255.0", "10.20.5.256", "10.20.5"}
                                       << QStringList{"Not an IPv4 address", fine, "Not an IPv4 address", "Not an IPv4 address"};
        QTest::newRow("mask with holes") << QStringList{"10.20.5.2", "255.0.255.0", "10.20.5.1", "10.20.5.1"}
                                         << QStringList{fine, "Not a valid mask", fine, fine};
        QTest::newRow("network and broadcast addresses")
            << QStringList{"10.20.5.0", "255.255.255.0", "10.20.5.255", "10.20.5.1"}
            << QStringList{"The subnet's own address", fine, "The subnet's broadcast address", fine};
        QTest::newRow("gateway in another subnet") << QStringList{"10.20.5.2", "255.255.255.0", "10.20.6.1", "10.20.5.1"}
                                                   << QStringList{fine, fine, "Not in the first address's subnet", fine};
        QTest::newRow("DNS at the broadcast address") << QStringList{"10.20.5.2", "255.255.255.0", "10.20.5.1", "10.20.5.255"}
                                                      << QStringList{fine, fine, fine, "The subnet's broadcast address"};
        QTest::newRow("loopback") << QStringList{"127.0.0.2", "255.0.0.0", "127.0.0.1", "127.0.0.1"}
                                  << QStringList{"Not a usable host address", fine, "Not a usable host address", "Not a usable host address"};
    }

    void refuses_a_field_with_its_reason()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, reasons);
        AddressRange::Texts given;
        const std::optional<AddressRange> range = AddressRange::fromTexts(texts(typed), given);
        QCOMPARE(given, texts(reasons));
        QCOMPARE(range.has_value(), reasons.join(QString()).isEmpty());
        if (range)
            QCOMPARE(range->texts(), texts(typed));
    }

    void numbers_devices_in_list_order_data()
    {
        QTest::addColumn<Numbering>("c");
        const QStringList factory{"192.168.147.2", "255.255.255.0", "192.168.147.1", "192.168.147.1"};
        const QStringList at2{"10.20.5.2", "255.255.255.0", "10.20.5.1", "10.20.5.1"};
        const QStringList four{"00:1A:00:00:00:01 1.1.1.1 on", "00:1A:00:00:00:02 1.1.1.2 on", "00:1A:00:00:00:03 1.1.1.3 on",
                               "00:1A:00:00:00:04 1.1.1.4 on"};
        // What the engine's own numbering gives in its subnet: .1, this computer
        // and offline devices' addresses are passed over, devices already at
        // their number are left alone.
        QTest::newRow("factory subnet, as before") << Numbering{factory,
            {"00:1A:00:00:00:01 192.168.147.50 on", "00:1A:00:00:00:02 192.168.147.4 off", "00:1A:00:00:00:03 10.0.0.9 on",
             "00:1A:00:00:00:04 192.168.147.6 on 255.255.255.0 192.168.147.1",
             "00:1A:00:00:00:05 192.168.147.7 on 255.255.255.0 192.168.147.1 dhcp"}, {}, "192.168.147.3",
            {"192.168.147.2", "192.168.147.5", "192.168.147.6=", "192.168.147.7"},
            {"192.168.147.3 this computer", "192.168.147.4 offline device 00:1A:00:00:00:02"}};
        QTest::newRow("10.20.5.0/24, DNS server inside") << Numbering{{"10.20.5.2", "255.255.255.0", "10.20.5.1", "10.20.5.3"},
            {"00:1A:00:00:00:01 192.168.147.2 on", "00:1A:00:00:00:02 192.168.147.3 on"}, {}, "10.20.5.200",
            {"10.20.5.2", "10.20.5.4"}, {"10.20.5.3 the DNS server"}};
        QTest::newRow("172.16.8.0/22 across .255 and .0") << Numbering{{"172.16.8.254", "255.255.252.0", "172.16.8.1", "172.16.8.1"},
            four, {}, "172.16.9.1", {"172.16.8.254", "172.16.8.255", "172.16.9.0", "172.16.9.2"}, {"172.16.9.1 this computer"}};
        QStringList oneOff = four;
        oneOff[1] = "00:1A:00:00:00:02 10.20.5.254 off";
        QTest::newRow("runs out at the last host") << Numbering{{"10.20.5.252", "255.255.255.0", "10.20.5.1", "10.20.5.1"}, oneOff, {}, "",
            {"10.20.5.252", "10.20.5.253", "-"}, {"10.20.5.254 offline device 00:1A:00:00:00:02"}};
        QStringList twoTaken = four;
        twoTaken[1] = "00:1A:00:00:00:02 10.20.5.2 on";
        twoTaken[2] = "00:1A:00:00:00:03 10.20.5.3 off";
        QTest::newRow("selection: others keep their addresses") << Numbering{at2, twoTaken, {0, 2, 3}, "", {"10.20.5.4", "10.20.5.5"},
            {"10.20.5.2 device 00:1A:00:00:00:02, not selected", "10.20.5.3 offline device 00:1A:00:00:00:03"}};
    }

    void numbers_devices_in_list_order()
    {
        QFETCH(Numbering, c);
        const auto &[range, devices, selected, self, assigned, skipped] = c;
        AddressRange::Texts reasons;
        const std::optional<AddressRange> given = AddressRange::fromTexts(texts(range), reasons);
        QVERIFY(given);
        const PlanSupport::Devices fleet(devices);
        const AddressPlan plan = given->plan(fleet.list, selected, QHostAddress(self));
        QStringList gotAssigned;
        for (const PlannedAddress &a : plan.assigned)
            gotAssigned << (a.ip.isEmpty() ? QStringLiteral("-") : a.ip + (a.alreadyThere ? QStringLiteral("=") : QString()));
        QStringList gotSkipped;
        for (const SkippedAddress &s : plan.skipped)
            gotSkipped << s.ip + QLatin1Char(' ') + s.reason;
        QCOMPARE(gotAssigned, assigned);
        QCOMPARE(gotSkipped, skipped);
        // What "Prepare All Update" sends: a device with an address not yet its own, with the range's settings.
        QStringList sent;
        for (const NetworkChange &c : given->changes(plan))
            sent << QStringList{c.mac, c.ip, c.mask, c.gateway, c.dns, c.dhcp ? "dhcp" : "static"}.join(' ');
        QStringList macs;   // of the devices numbered: online, and selected when some are
        for (int row = 0; row < devices.size(); ++row) {
            if (devices.at(row).contains(" on") && (selected.isEmpty() || selected.contains(row)))
                macs << devices.at(row).section(' ', 0, 0);
        }
        QStringList toSend;
        for (int i = 0; i < assigned.size(); ++i) {
            if (!assigned.at(i).contains(QRegularExpression("[-=]")))
                toSend << QStringList{macs.at(i), assigned.at(i), range.at(1), range.at(2), range.at(3), "static"}.join(' ');
        }
        QCOMPARE(sent, toSend);
        QCOMPARE(plan.unassigned(), int(assigned.count(QStringLiteral("-"))));
    }
};

QTEST_GUILESS_MAIN(TestAddressRange)
#include "tst_addressrange.moc"
