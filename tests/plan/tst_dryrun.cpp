// The dry run of a site plan: each state a line can be in before Apply, the
// counts at the top, an exported list read back, and the states after Apply.

#include <QtTest>

#include "plan/dryrun.h"
#include "plan/siteplan.h"
#include "plansupport.h"

namespace {

const QString Self = QStringLiteral("10.20.5.5");

QList<DryRunRow> dryRun(const QByteArray &csv, const PlanSupport::Devices &fleet)
{
    const SitePlan plan = SitePlan::read(csv);
    return plan.isRefused() ? QList<DryRunRow>() : DryRun::rows(plan.lines, fleet.list, QHostAddress(Self));
}

QStringList states(const QList<DryRunRow> &rows)
{
    QStringList texts;
    for (const DryRunRow &row : rows)
        texts << DryRun::stateText(row);
    return texts;
}

// A plan, the devices found ("MAC IP on|off ..."), and the state shown for each of its lines.
struct Lines { QByteArray csv; QStringList devices, states; };

} // namespace

Q_DECLARE_METATYPE(Lines)

class TestDryRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(PlanSupport::installEnglish(this));
    }

    void names_the_state_of_each_line_data()
    {
        QTest::addColumn<Lines>("c");
        const QString a = "00:1A:00:00:00:0A 10.20.5.50 on 255.255.255.0 10.20.5.1 10.20.5.1";
        const QString b = "00:1A:00:00:00:0B 10.20.5.20 on 255.255.255.0 10.20.5.1 10.20.5.1";
        QTest::newRow("will change") << Lines{"mac,ip\n00-1a-00-00-00-0a,10.20.5.14\n", {a}, {"will change"}};
        QTest::newRow("already so")
            << Lines{"mac,ip,mask,gateway\n00:1A:00:00:00:0A,10.20.5.50,255.255.255.0,10.20.5.1\n", {a}, {"already so"}};
        QTest::newRow("new DNS server") << Lines{"mac,ip,dns\n00:1A:00:00:00:0A,10.20.5.50,10.20.5.3\n", {a}, {"will change"}};
        QTest::newRow("new mask") << Lines{"mac,ip,mask\n00:1A:00:00:00:0A,10.20.5.50,255.255.0.0\n", {a}, {"will change"}};
        QTest::newRow("not found") << Lines{"mac,ip\n00:1A:00:00:00:0C,10.20.5.14\n", {a}, {"not on this network"}};
        QTest::newRow("offline") << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.14\n", {"00:1A:00:00:00:0A 10.20.5.50 off"}, {"offline"}};
        QTest::newRow("clashes with a device staying")
            << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.20\n", {a, b}, {"clashes with 00:1A:00:00:00:0B (online at that address)"}};
        QTest::newRow("no clash with a device the plan moves")
            << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.20\n00:1A:00:00:00:0B,10.20.5.21\n", {a, b}, {"will change", "will change"}};
        QTest::newRow("clashes with this computer") << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.5\n", {a}, {"clashes with this computer"}};
        const QString twice = "same address twice in the plan (lines 2 and 4)";
        QTest::newRow("same address twice") << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.14\n00:1A:00:00:00:0C,10.20.5.15\n"
                                                     "00:1A:00:00:00:0B,10.20.5.14\n", {a, b}, {twice, "not on this network", twice}};
        const QString macTwice = "same MAC twice in the plan (lines 2 and 3)";
        QTest::newRow("same MAC twice") << Lines{"mac,ip\n00:1A:00:00:00:0A,10.20.5.14\n001A0000000a,10.20.5.15\n", {a}, {macTwice, macTwice}};
        QTest::newRow("faults of the lines")
            << Lines{"mac,ip,mask,gateway,dns,dhcp\n00:1A:00:00:00,10.20.5.14,,,,\n00:1A:00:00:00:0A,10.20.5.14,,,,maybe\n"
                     "00:1A:00:00:00:0A,10.20.5.300,,,,\n00:1A:00:00:00:0A,10.20.5.14,255.0.255.0,,,\n00:1A:00:00:00:0A,10.20.5.14,,gw,,\n"
                     "00:1A:00:00:00:0A,10.20.5.14,,,dns,\n00:1A:00:00:00:0A,,,,,no\n00:1A:00:00:00:0A,10.20.5.255,,,,\n", {a},
                     {"invalid MAC on line 2", "invalid DHCP value on line 3", "invalid address on line 4", "invalid mask on line 5",
                      "invalid gateway on line 6", "invalid DNS on line 7", "no address and no DHCP on line 8", "invalid address on line 9"}};
        QTest::newRow("DHCP on")
            << Lines{"mac,dhcp\n00:1A:00:00:00:0A,on\n00:1A:00:00:00:0B,on\n", {a, b + " dhcp"}, {"will change", "already so"}};
        QTest::newRow("DHCP off said, on a device on DHCP")
            << Lines{"mac,ip,dhcp\n00:1A:00:00:00:0B,10.20.5.20,off\n", {b + " dhcp"}, {"will change"}};
        QTest::newRow("DHCP not said, on a device on DHCP") << Lines{"mac,ip\n00:1A:00:00:00:0B,10.20.5.20\n", {b + " dhcp"}, {"already so"}};
    }

    void names_the_state_of_each_line()
    {
        QFETCH(Lines, c);
        const PlanSupport::Devices fleet(c.devices);
        QCOMPARE(states(dryRun(c.csv, fleet)), c.states);
    }

    void carries_what_apply_sends()
    {
        const PlanSupport::Devices fleet({"00:1A:00:00:00:0A 10.20.5.50 on 255.255.255.0 10.20.5.1 10.20.5.1"});
        const QList<DryRunRow> rows = dryRun("mac,ip,gateway,label\n00-1a-00-00-00-0a,10.20.5.14,10.20.5.254,Dock\n", fleet);
        QCOMPARE(rows.size(), 1);
        const DryRunRow &row = rows.first();
        QCOMPARE(QStringList({row.label, row.mac, row.currentIp, row.currentMask, row.currentGateway}),
                 QStringList({"Dock", "00:1A:00:00:00:0A", "10.20.5.50", "255.255.255.0", "10.20.5.1"}));
        QCOMPARE(QStringList({row.ip, row.mask, row.gateway, row.dns}),
                 QStringList({"10.20.5.14", "255.255.255.0", "10.20.5.254", "10.20.5.1"}));
        QVERIFY(!row.dhcp);
    }

    void counts_each_group_once()
    {
        const PlanSupport::Devices fleet({"00:1A:00:00:00:0A 10.20.5.50 on 255.255.255.0 10.20.5.1",
                                          "00:1A:00:00:00:0B 10.20.5.20 on 255.255.255.0 10.20.5.1",
                                          "00:1A:00:00:00:0D 10.20.5.30 off"});
        const QList<DryRunRow> rows = dryRun("mac,ip\n00:1A:00:00:00:0A,10.20.5.14\n00:1A:00:00:00:0B,10.20.5.20\n"
                                             "00:1A:00:00:00:0C,10.20.5.16\n00:1A:00:00:00:0D,10.20.5.17\n"
                                             "00:1A:00:00:00:0E,10.20.5.5\n00:1A:00:00:00:0F,10.20.5.18\n"
                                             "00:1A:00:00:00:0F,10.20.5.19\n00:1A:00:00:00,10.20.5.21\n",
                                             fleet);
        QCOMPARE(DryRun::countsText(rows), "1 will change, 1 already so, 2 not found, 1 offline, 2 twice in the plan, 1 invalid");
        QCOMPARE(DryRun::changes(rows), 1);
    }

    // "Export list…" as it writes three devices: one static, one on DHCP, one
    // offline; versions that a spreadsheet would run as formulas are guarded.
    void reads_an_exported_list_as_a_plan_that_changes_nothing()
    {
        const QByteArray exported = "Device,IP address,Source address,MAC address,Software version,Online\r\n"
                                    "Device1,10.20.5.14,10.20.5.14:18153,00:1A:00:00:00:0A,'=V3.2.1,Online\r\n"
                                    "Device2,10.20.5.15,10.20.5.15:18155,00:1A:00:00:00:0B,\"V3,2\",Online\r\n"
                                    "Device3,10.20.5.16,10.20.5.16:18153,00:1A:00:00:00:0C,'-V1,Offline\r\n";
        const PlanSupport::Devices fleet({"00:1A:00:00:00:0A 10.20.5.14 on 255.255.255.0 10.20.5.1 10.20.5.1",
                                          "00:1A:00:00:00:0B 10.20.5.15 on 255.255.255.0 10.20.5.1 10.20.5.1 dhcp",
                                          "00:1A:00:00:00:0C 10.20.5.16 off 255.255.255.0 10.20.5.1 10.20.5.1"});
        const QList<DryRunRow> rows = dryRun(exported, fleet);
        QCOMPARE(states(rows), QStringList({"already so", "already so", "offline"}));
        QCOMPARE(DryRun::changes(rows), 0);
    }

    void moves_rows_on_after_apply()
    {
        const PlanSupport::Devices before({"00:1A:00:00:00:0A 10.20.5.50 on 255.255.255.0 10.20.5.1",
                                           "00:1A:00:00:00:0B 10.20.5.51 on 255.255.255.0 10.20.5.1",
                                           "00:1A:00:00:00:0C 10.20.5.52 on 255.255.255.0 10.20.5.1",
                                           "00:1A:00:00:00:0D 10.20.5.53 on 255.255.255.0 10.20.5.1"});
        QList<DryRunRow> rows = dryRun("mac,ip,dhcp\n00:1A:00:00:00:0A,10.20.5.14,\n00:1A:00:00:00:0B,10.20.5.15,\n"
                                       "00:1A:00:00:00:0C,,yes\n00:1A:00:00:00:0D,10.20.5.53,\n",
                                       before);
        QCOMPARE(states(rows), QStringList({"will change", "will change", "will change", "already so"}));

        // A answers at its new address, B still at its old one, C by DHCP.
        const PlanSupport::Devices first({"00:1A:00:00:00:0A 10.20.5.14 on", "00:1A:00:00:00:0B 10.20.5.51 on",
                                          "00:1A:00:00:00:0C 10.20.5.99 on", "00:1A:00:00:00:0D 10.20.5.53 on"});
        DryRun::followUp(rows, first.list, false);
        QCOMPARE(states(rows), QStringList({"answers at 10.20.5.14", "will change", "answers at 10.20.5.99", "already so"}));
        QCOMPARE(DryRun::summary(rows), "2 of 3 devices answer at their planned address");

        const PlanSupport::Devices last({"00:1A:00:00:00:0A 10.20.5.14 off", "00:1A:00:00:00:0B 10.20.5.15 off"});
        DryRun::followUp(rows, last.list, true);
        QCOMPARE(states(rows), QStringList({"answers at 10.20.5.14", "has not answered at 10.20.5.15",
                                            "answers at 10.20.5.99", "already so"}));
        QCOMPARE(DryRun::summary(rows), "2 of 3 devices answer at their planned address");
    }
};

QTEST_GUILESS_MAIN(TestDryRun)
#include "tst_dryrun.moc"
