// The site plan reader: the CSV dialects spreadsheets write and each refusal of
// a file that is no plan; the faults a line carries are named in tst_dryrun.

#include <QtTest>

#include "plan/siteplan.h"
#include "plansupport.h"

namespace {

// A line as "line|mac|ip|mask|gateway|dns|dhcp|label|problem", dhcp as y, n or empty.
QString lineText(const PlanLine &l)
{
    const QString dhcp = l.dhcp ? QString(*l.dhcp ? 'y' : 'n') : QString();
    return QStringList{QString::number(l.line), l.mac, l.ip, l.mask, l.gateway, l.dns, dhcp, l.label,
                       QString::number(l.problem)}.join(QLatin1Char('|'));
}

QByteArray planOfLines(int count)
{
    QByteArray bytes = "mac,ip\n";
    for (int i = 0; i < count; ++i)
        bytes += "00:1A:00:00:00:01,10.20.5.14\n";
    return bytes;
}

} // namespace

class TestSitePlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(PlanSupport::installEnglish(this));
    }

    void reads_each_dialect_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const auto row = [](const char *name, const QByteArray &bytes, const QStringList &lines) { QTest::newRow(name) << bytes << lines; };
        row("comma, LF", "mac,ip,label\n00:1A:00:00:00:01,10.20.5.14,Dock\n", {"2|00:1A:00:00:00:01|10.20.5.14|||||Dock|0"});
        row("semicolon, CRLF, comma in a field", "MAC;IP;Label\r\n00:1A:00:00:00:01;10.20.5.14;Dock, east\r\n",
            {"2|00:1A:00:00:00:01|10.20.5.14|||||Dock, east|0"});
        row("any order, any case, spaces around names",
            " Label ,DNS, Gateway ,Mask,IP , Mac\n x ,10.20.5.3,10.20.5.1,255.255.255.0,10.20.5.14,00:1A:00:00:00:01\n",
            {"2|00:1A:00:00:00:01|10.20.5.14|255.255.255.0|10.20.5.1|10.20.5.3||x|0"});
        row("quoted separator, quote and line end",
            "mac,ip,label\n00:1A:00:00:00:01,10.20.5.14,\"Dock \"\"east\"\",\nramp\"\n00:1A:00:00:00:02,10.20.5.15,\"\"\n",
            {"2|00:1A:00:00:00:01|10.20.5.14|||||Dock \"east\",\nramp|0", "4|00:1A:00:00:00:02|10.20.5.15||||||0"});
        row("BOM, UTF-8 label, no last line end", "\xEF\xBB\xBFmac,ip,label\n00:1A:00:00:00:01,10.20.5.14,\xE4\xB8\x9C\xE9\x97\xA8",
            {QString::fromUtf8("2|00:1A:00:00:00:01|10.20.5.14|||||东门|0")});
        row("blank and empty lines passed over", "\nmac;ip\n\n;\n00:1A:00:00:00:01;10.20.5.14\n\n", {"5|00:1A:00:00:00:01|10.20.5.14||||||0"});
        row("dhcp without ip", "mac,dhcp\n00:1A:00:00:00:01,Yes\n00:1A:00:00:00:02,0\n00:1A:00:00:00:03,\n",
            {"2|00:1A:00:00:00:01|||||y||0", "3|00:1A:00:00:00:02|||||n||7", "4|00:1A:00:00:00:03|||||||7"});
        row("spreadsheet apostrophe undone", "mac,ip,label\n00:1A:00:00:00:01,10.20.5.14,'=SUM(A1)\n00:1A:00:00:00:02,10.20.5.15,'east\n",
            {"2|00:1A:00:00:00:01|10.20.5.14|||||=SUM(A1)|0", "3|00:1A:00:00:00:02|10.20.5.15|||||'east|0"});
        row("exactly 65,536 lines", planOfLines(SitePlan::MaxLines), {});
    }

    void reads_each_dialect()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        const SitePlan plan = SitePlan::read(bytes);
        QCOMPARE(plan.refusalText(), QString());
        if (lines.isEmpty()) {
            QCOMPARE(plan.lines.size(), SitePlan::MaxLines);
            return;
        }
        QStringList got;
        for (const PlanLine &line : plan.lines)
            got << lineText(line);
        QCOMPARE(got, lines);
    }

    void refuses_a_file_that_is_no_plan_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char *name, const QByteArray &bytes, const char *why) { QTest::newRow(name) << bytes << QString(why); };
        const QByteArray good = "00:1A:00:00:00:01,10.20.5.14";
        row("empty", QByteArray(), "The file is empty");
        row("only a BOM and blanks", "\xEF\xBB\xBF \r\n", "The file is empty");
        row("only separators", ",,\n,,\n", "The file is empty");
        row("binary", QByteArray("mac,ip\n\x7f" "ELF\x02\x01\x00\x00", 15), "Line 2: it holds a NUL byte, so it is no text file");
        row("Latin-1 on line 3", "mac,ip,label\n" + good + ",x\n" + good + ",Caf\xe9\n", "Line 3: not UTF-8 text");
        row("overlong UTF-8", "mac,ip,label\n" + good + ",\xC0\xAF\n", "Line 2: not UTF-8 text");
        row("no mac column", "ip,label\n10.20.5.14,x\n", "Line 1: no mac column");
        row("neither ip nor dhcp column", "mac,label\n00:1A:00:00:00:01,x\n", "Line 1: no ip column and no dhcp column");
        row("a column named twice", "\nmac,ip,IP Address\n" + good + ",x\n", "Line 2: the column IP Address is named twice");
        row("header only", "mac,ip\r\n", "Line 1: no plan lines below the header");
        row("quote not closed", "mac,ip,label\n" + good + ",x\n" + good + ",\"Dock\n" + good + ",y\n", "Line 3: a quote is not closed");
        row("text after a closing quote", "mac,ip,label\n" + good + ",\"a\nb\"\n" + good + ",\"Dock\"x\n",
            "Line 4: text after a closing quote");
        row("quote inside a field", "mac,ip,label\n" + good + ",Dock \"5\"\n", "Line 2: a quote inside a field that is not quoted");
        row("a line of 1 MB", "mac,ip,label\n" + good + "," + QByteArray(1 << 20, 'x') + "\n", "Line 2: longer than 4096 characters");
        row("70,000 lines", planOfLines(70000), "Line 65538: more than 65536 plan lines");
        row("over 16 MiB", "mac,ip\n" + QByteArray(SitePlan::MaxBytes, '\n'), "The file is larger than 16 MiB");
    }

    void refuses_a_file_that_is_no_plan()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        const SitePlan plan = SitePlan::read(bytes);
        QVERIFY(plan.isRefused());
        QCOMPARE(plan.refusalText(), refusal);
        QVERIFY(plan.lines.isEmpty());
    }

    // Dashes, bare digits, lower case and five bytes are in tst_dryrun's plans.
    void matches_a_mac_however_written_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("key");
        QTest::newRow("dots") << "001A.2B3C.4D5E" << "001A2B3C4D5E";
        QTest::newRow("not hex") << "00:1A:2B:3C:4D:5G" << "";
        QTest::newRow("other separator") << "00/1A/2B/3C/4D/5E" << "";
        QTest::newRow("full-width digits") << QString::fromUtf8("００:1A:2B:3C:4D:5E") << "";
    }

    void matches_a_mac_however_written()
    {
        QFETCH(QString, mac);
        QFETCH(QString, key);
        QCOMPARE(SitePlan::macKey(mac), key);
    }
};

QTEST_GUILESS_MAIN(TestSitePlan)
#include "tst_siteplan.moc"
