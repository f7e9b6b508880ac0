// The visit record, the site report read back out of its PDF with poppler's
// pdftotext and pdfinfo, and the question asked on closing. Nothing here opens
// the protocol engine: the record is fed by hand.

#include <QtTest>
#include <QProcess>

#include <functional>

#include "report/closequestion.h"
#include "report/sitereport.h"
#include "report/visitrecord.h"
#include "tests/plan/plansupport.h"
#include "tests/report/samplevisit.h"

// An action on the record; the one entry it leaves (kind, device, words, failed); the device row's
// few words, and whether closing then asks for a report.
struct Case { std::function<void(VisitRecord &)> action; VisitEntry::Kind kind; QString mac, words; bool failed = false;
              QString done; bool changes = false; };
Q_DECLARE_METATYPE(Case)

namespace {

const QString Mac = QStringLiteral("00:1A:2B:3C:4D:5E");
const QString OtherMac = QStringLiteral("00:1A:2B:3C:4D:60");
const QDateTime At(QDate(2026, 12, 8), QTime(13, 38, 42));
const NetSettings Factory{QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("192.168.1.1"), false};
const NetSettings Planned{QStringLiteral("10.20.5.14"), QStringLiteral("255.255.255.0"), QStringLiteral("10.20.5.1"), false};
const QString Md5 = QStringLiteral("9e107d9d372bb6826bd81d3542a419d6");

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1 failed: %2").arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of the PDF as laid out on its pages.
QString pdfText(const QString &path)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

QString pdfInfo(const QString &path, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {path})).captured(1).trimmed();
}

// The first of parts that does not stand in text after the ones before it.
QString firstOutOfOrder(const QString &text, const QStringList &parts)
{
    int from = 0;
    for (const QString &part : parts) {
        from = text.indexOf(part, from);
        if (from < 0)
            return part;
        from += part.size();
    }
    return QString();
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(PlanSupport::installEnglish(this));
        QVERIFY(dir.isValid());
    }

    void each_action_leaves_exactly_its_entry_data()
    {
        QTest::addColumn<Case>("c");
        using E = VisitEntry;
        using V = VisitRecord;
        QTest::newRow("network config") << Case{[](V &r) { r.networkSent(Mac, V::Source::NetworkConfig, Factory, Planned); },
            E::Network, Mac, "Network settings sent (Network Config): address 192.168.1.20 → 10.20.5.14, mask 255.255.255.0, "
                             "gateway 192.168.1.1 → 10.20.5.1, DHCP off", false, "network settings", true};
        QTest::newRow("prepare all update, to DHCP") << Case{[](V &r) {
                r.networkSent(Mac, V::Source::PrepareAllUpdate, Factory, {"192.168.147.2", "255.255.0.0", "192.168.1.1", true});
            }, E::Network, Mac, "Network settings sent (Prepare All Update): address 192.168.1.20 → 192.168.147.2, "
                                "mask 255.255.255.0 → 255.255.0.0, gateway 192.168.1.1, DHCP off → on", false, "network settings", true};
        QTest::newRow("site plan") << Case{[](V &r) { r.networkSent(Mac, V::Source::SitePlan, Planned, Planned, "floor-2.csv"); },
            E::Network, Mac, "Network settings sent (site plan floor-2.csv): address 10.20.5.14, mask 255.255.255.0, "
                             "gateway 10.20.5.1, DHCP off", false, "network settings", true};
        QTest::newRow("from a device on DHCP") << Case{[](V &r) {
                Dev dhcp = SampleVisit::device(Mac, "192.168.1.20", "192.168.1.1", "V3.2.1", true);
                dhcp.info.ipMode = 0;   // how a device says it takes its address by DHCP
                r.networkSent(Mac, V::Source::NetworkConfig, V::settingsOf(dhcp), Factory);
            }, E::Network, Mac, "Network settings sent (Network Config): address 192.168.1.20, mask 255.255.255.0, "
                                "gateway 192.168.1.1, DHCP on → off", false, "network settings", true};
        QTest::newRow("reset") << Case{[](V &r) { r.resetSent(Mac); }, E::Reset, Mac, "Reset sent", false, "reset", true};
        QTest::newRow("LAN reset") << Case{[](V &r) { r.lanResetSent(); }, E::LanReset, {}, "Reset sent to every device on the LAN", false,
                                           "", true};
        QTest::newRow("repair search") << Case{[](V &r) { r.repairSearchSent(); }, E::RepairSearch, {},
            "Repair Search: reset sent to the devices that do not answer the search", false, "", true};
        QTest::newRow("encoding") << Case{[](V &r) { r.encodingSent(Mac, V::Encoding::H264, V::Encoding::H265); },
            E::Encoding, Mac, "Encoding switched: H.264 → H.265", false, "encoding H.265", true};
        QTest::newRow("update installed") << Case{[](V &r) { r.updateEnded(Mac, "fw-3.4.0.bin", 24117248, Md5, QString()); }, E::Update, Mac,
            "Firmware update fw-3.4.0.bin (24,117,248 bytes, MD5 9e107d9d372bb6826bd81d3542a419d6): updated", false, "updated", true};
        QTest::newRow("update failed") << Case{[](V &r) { r.updateEnded(Mac, "fw.bin", 512, Md5, "did not connect back within 120 s"); },
            E::Update, Mac, "Firmware update fw.bin (512 bytes, MD5 9e107d9d372bb6826bd81d3542a419d6): failed: did not "
                            "connect back within 120 s", true, "update failed", true};
        QTest::newRow("answers") << Case{[](V &r) { r.answersAt(Mac, "10.20.5.14"); }, E::FollowUp, Mac, "answers at 10.20.5.14", false, {}, false};
        const std::pair<V::Since, const char *> silent[] = {{V::Since::Reset, "reset"}, {V::Since::Change, "change"}, {V::Since::Update, "update"}};
        for (const auto &[since, what] : silent) {
            QTest::addRow("silent since %s", what) << Case{[since = since](V &r) { r.notAnswered(Mac, since); }, E::FollowUp, Mac,
                                                           QStringLiteral("has not answered since the %1").arg(what), true, {}, false};
        }
    }

    void each_action_leaves_exactly_its_entry()
    {
        QFETCH(Case, c);
        VisitRecord record([] { return At; });
        c.action(record);
        QCOMPARE(record.entries().size(), size_t(1));
        const VisitEntry &entry = record.entries().front();
        QCOMPARE(entry.time, At);
        QCOMPARE(entry.kind, c.kind);
        QCOMPARE(entry.mac, c.mac);
        QCOMPARE(entry.words, c.words);
        QCOMPARE(entry.failed, c.failed);
        const VisitDevice *device = record.device(Mac);
        QCOMPARE(device ? device->done.join(", ") : QString(), c.done);
        QCOMPARE(record.hasUnsavedChanges(), c.changes);
        record.markSaved();
        QVERIFY(!record.hasUnsavedChanges());
    }

    void the_oldest_entries_go_past_the_bound_data()
    {
        QTest::addColumn<int>("beyond");
        QTest::addColumn<QDateTime>("oldestKept");
        // The clock's first reading starts the visit; entry k is made at At + k s.
        QTest::newRow("at the bound") << 0 << At.addSecs(1);
        QTest::newRow("seven past") << 7 << At.addSecs(8);
    }

    void the_oldest_entries_go_past_the_bound()
    {
        QFETCH(int, beyond);
        QFETCH(QDateTime, oldestKept);
        VisitRecord record([n = 0]() mutable { return At.addSecs(n++); });
        for (int i = 0; i < 100000 + beyond; ++i)
            record.lanResetSent();
        QCOMPARE(record.entries().size(), size_t(100000));
        QCOMPARE(record.dropped(), qint64(beyond));
        QCOMPARE(record.entries().front().time, oldestKept);
        QCOMPARE(record.entries().back().time, At.addSecs(100000 + beyond));
    }

    void report_shows_devices_changes_and_failures_in_order()
    {
        VisitRecord record([at = QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0))]() mutable {
            return std::exchange(at, at.addSecs(60));
        });
        record.saw(SampleVisit::device(Mac, "192.168.1.20", "192.168.1.1", "V3.2.1", true));
        record.saw(SampleVisit::device(OtherMac, "192.168.1.21", "192.168.1.1", "V3.2.1", true));
        QVERIFY(!record.hasUnsavedChanges());   // searching changes nothing on a device
        record.setLabel(Mac, QStringLiteral("大门 Gate"));
        record.networkSent(Mac, VisitRecord::Source::NetworkConfig, Factory, Planned);
        record.answersAt(Mac, "10.20.5.14");
        record.updateEnded(Mac, "fw.bin", 512, Md5, QString());
        record.saw(SampleVisit::device(Mac, "10.20.5.14", "10.20.5.1", "V3.4.0", true));
        record.updateEnded(OtherMac, "fw.bin", 512, Md5, "did not connect back within 120 s");
        record.saw(SampleVisit::device(OtherMac, "192.168.1.21", "192.168.1.1", "V3.2.1", false));

        SiteReport report(record, QStringLiteral("10.20.5.2"), QStringLiteral("eth0"));
        report.setPaper(QPageSize::A4);
        const QString path = dir.filePath(QStringLiteral("short.pdf"));
        QVERIFY(report.write(path, nullptr));
        QCOMPARE(firstOutOfOrder(pdfText(path), {"Site report", "Visit: 2026-12-08 09:00 to 09:05",
                                        "This computer: 10.20.5.2 (eth0)", "Devices found: 2, of which 1 online",
                                        "Actions: 4, failed: 1",
                                        // the device table
                                        "大门 Gate", Mac, "192.168.1.20 → 10.20.5.14", "255.255.255.0",
                                        "192.168.1.1 → 10.20.5.1", "V3.2.1 → V3.4.0", "online",
                                        "network settings, updated", OtherMac, "192.168.1.21", "V3.2.1", "offline",
                                        "update failed",
                                        // the actions
                                        "Actions in time order", "09:01:00", Mac,
                                        "Network settings sent (Network Config): address 192.168.1.20 → 10.20.5.14",
                                        "09:02:00", "answers at 10.20.5.14", "09:03:00", "fw.bin (512 bytes", "updated",
                                        "09:04:00", OtherMac, "failed: did not connect back within 120 s",
                                        // and the failures again, on a page of their own
                                        "Page 1 of 2", "Failures and their reasons (1)", "09:04:00", OtherMac,
                                        "192.168.1.21", "failed: did not connect back", "Page 2 of 2"}),
                 QString());
        QCOMPARE(pdfInfo(path, QStringLiteral("Pages")), QStringLiteral("2"));
    }

    void unwritable_path_gives_the_reason_and_leaves_no_file_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("folder is a file") << "plain";
    }

    void unwritable_path_gives_the_reason_and_leaves_no_file()
    {
        QFETCH(QString, folder);
        QTemporaryDir here;
        QFile plain(here.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = here.filePath(folder + QStringLiteral("/report.pdf"));

        const VisitRecord record([] { return At; });
        QString whyNot;
        QVERIFY(!SiteReport(record, QStringLiteral("10.20.5.2"), QStringLiteral("eth0")).write(path, &whyNot));
        QVERIFY2(whyNot.startsWith(QStringLiteral("Could not write %1: ").arg(QDir::toNativeSeparators(path))),
                 qPrintable(whyNot));
        QVERIFY2(whyNot.size() > QStringLiteral("Could not write %1: ").arg(path).size(), "the system's reason is missing");
        QCOMPARE(QDir(here.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("plain")});
    }

    void close_question_reads_in_english_and_raises_one_signal_per_choice_data()
    {
        QTest::addColumn<QString>("control");   // empty: the Escape key
        QTest::addColumn<QString>("text");      // the control's, in English
        QTest::addColumn<QByteArray>("choice");
        QTest::newRow("save") << "pushButton_save" << "Save report…" << QByteArray(SIGNAL(saveReportMsg()));
        QTest::newRow("close without") << "pushButton_discard" << "Close without report" << QByteArray(SIGNAL(closeWithoutReportMsg()));
        QTest::newRow("cancel") << "pushButton_cancel" << "Cancel" << QByteArray(SIGNAL(cancelMsg()));
        QTest::newRow("close label") << "label_close" << QString() << QByteArray(SIGNAL(cancelMsg()));
        QTest::newRow("Escape") << QString() << QString() << QByteArray(SIGNAL(cancelMsg()));
    }

    void close_question_reads_in_english_and_raises_one_signal_per_choice()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QByteArray, choice);
        QWidget window;
        window.resize(931, 600);
        auto *question = new CloseQuestion(&window);
        const auto shown = [&](const QString &name) { return question->findChild<QWidget *>(name)->property("text").toString(); };
        QCOMPARE(shown("label_title") + " / " + shown("label_question"), "Site report / Save a site report before closing?");
        question->centerInParent();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QMap<QByteArray, QSharedPointer<QSignalSpy>> spies;
        for (const char *signal : {SIGNAL(saveReportMsg()), SIGNAL(closeWithoutReportMsg()), SIGNAL(cancelMsg()), SIGNAL(closeMsg())})
            spies.insert(signal, QSharedPointer<QSignalSpy>::create(question, signal));
        if (control.isEmpty()) {
            QVERIFY(question->focusWidget());
            QTest::keyClick(question->focusWidget(), Qt::Key_Escape);
        } else {
            QWidget *pressed = question->findChild<QWidget *>(control);
            QVERIFY(text.isEmpty() || pressed->property("text").toString() == text);
            QTest::mouseClick(pressed, Qt::LeftButton, {}, pressed->rect().center());
        }
        for (auto spy = spies.cbegin(); spy != spies.cend(); ++spy) {
            const int expected = spy.key() == choice || spy.key() == SIGNAL(closeMsg()) ? 1 : 0;
            QVERIFY2(spy.value()->size() == expected, spy.key().constData());
        }
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
