// The rules of a fleet update, with the devices' connections and the clock in
// memory: the bytes each device gets and their pace, the failures each one
// meets with its reason, N at a time, the answers and reports that must not
// move a device, "Retry failed" and the memory of installed packages.

#include <QtTest>
#include <QCryptographicHash>
#include <QTemporaryDir>

#include <memory>

#include "protocol/adminservice.h"
#include "support/runrig.h"

namespace {

// A device's 44-byte message: the command, then zeros.
QByteArray message(char cmd)
{
    return QByteArray(1, cmd).leftJustified(44, '\0');
}
const QByteArray Request = message(1);
const QByteArray Installed = message(3);

enum Fault { Healthy, Silent, ResetAt37, StopsReading, NoReport };

// A package of size bytes for devices that ask for it in writes of piece bytes, early: while it is being measured.
struct Served { int size, devices, piece; bool early; };

} // namespace

Q_DECLARE_METATYPE(Served)

class TestUpdateRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunRig> rig;
    QTemporaryDir dir;

    QString package(int size, const QString &name = QStringLiteral("package"))
    {
        const QString path = dir.filePath(name + QString::number(size));
        writePackage(path, size);
        return path;
    }
    // Plays the devices of the run under way until its summary, 5 ms at a time:
    // each answers its request, connects back 50 ms later, asks for the
    // package and reports it installed 20 ms after its last byte, but for its fault.
    void play(const QList<Dev *> &devices, const QList<Fault> &faults, qint64 size)
    {
        QSignalSpy over(&rig->run, SIGNAL(updateAllFinishMsg(int,int)));
        QHash<QString, int> index;
        for (const Dev *dev : devices)
            index.insert(dev->mac(), index.size());
        struct Playing { int device; int line; qint64 due; };   // due: to connect back, then to report
        QList<Playing> playing;
        for (int asked = 0; over.isEmpty() && rig->clockMs < 120 * 1000; rig->pass(5)) {
            for (; asked < rig->asked.size(); ++asked) {
                const int i = index.value(rig->asked.at(asked));
                if (faults.value(i) == Silent)
                    continue;
                rig->run.updateBegun(QHostAddress(devices[i]->ip()), devices[i]->mac().toLatin1());
                playing.append({i, -1, rig->clockMs + 50});
            }
            for (Playing &device : playing) {
                const Fault fault = faults.value(device.device);
                if (device.line < 0) {
                    if (rig->clockMs < device.due)
                        continue;
                    device.line = rig->join(QHostAddress(devices[device.device]->ip()));
                    rig->send(device.line, Request);
                    device.due = -1;
                    continue;
                }
                RunRig::Line &line = rig->lines[device.line];
                if (line.took >= 44 + 36 * 8192 && fault == ResetAt37)
                    line.end = RunRig::Line::Reset;   // while its 37th packet is on the way
                else if (line.took >= 44 + 36 * 8192 && fault == StopsReading)
                    line.reading = false;
                else if (line.took == 44 + size && fault != NoReport && device.due < 0)
                    device.due = rig->clockMs + 20;
                else if (line.took == 44 + size && device.due >= 0 && rig->clockMs >= device.due)
                    rig->send(device.line, Installed);
            }
        }
        QVERIFY2(!over.isEmpty(), "the run never ended");
    }

private slots:
    void initTestCase()
    {
        // Hundreds of devices' debug lines would only slow the run down.
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    }
    void init() { rig = std::make_unique<RunRig>(); }

    void each_device_gets_the_header_then_its_whole_package_data()
    {
        QTest::addColumn<Served>("c");
        QTest::newRow("20 packets and a bit") << Served{20 * 8192 + 100, 1, 44, false};
        QTest::newRow("request in 1-byte writes") << Served{3 * 8192, 1, 1, false};
        QTest::newRow("request in a 43-byte and a 1-byte write") << Served{3 * 8192, 1, 43, false};
        QTest::newRow("empty package") << Served{0, 1, 44, false};
        QTest::newRow("two devices count toward one total") << Served{10 * 8192, 2, 44, false};
        QTest::newRow("asked before the package was measured") << Served{5 * 8192 + 1, 1, 44, true};
    }

    void each_device_gets_the_header_then_its_whole_package()
    {
        QFETCH(Served, c);
        const auto [size, devices, piece, early] = c;
        const QString path = dir.filePath(QStringLiteral("sent"));
        const QByteArray bytes = writePackage(path, size);
        QSignalSpy progress(&rig->run, SIGNAL(sendUpdateMsg(int,int)));
        QSignalSpy steps(&rig->run, SIGNAL(updateStepMsg(int,int)));
        rig->run.startUpdate(path, rig->site(devices));
        if (!early)
            rig->measured();
        for (int device = 0; device < devices; ++device) {
            const int line = rig->join(QHostAddress(QStringLiteral("192.168.147.%1").arg(20 + device)));
            for (int at = 0; at < 44; at += piece)
                rig->send(line, Request.mid(at, piece));
        }
        rig->measured();
        rig->pass(200);
        // Command 2, the size, the first four characters of the MD5 text, zeros.
        quint32 sizeLe = qToLittleEndian(quint32(size));
        const QByteArray head = (QByteArray::fromHex("02000000") + QByteArray(reinterpret_cast<const char *>(&sizeLe), 4)
                                 + QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(4)).leftJustified(44, '\0');
        for (const RunRig::Line &line : qAsConst(rig->lines))
            QCOMPARE(line.taken, head + bytes);
        const int packets = (size + 8191) / 8192 * devices;
        QCOMPARE(progress.size(), packets);
        if (packets)
            QCOMPARE(progress.last(), (QList<QVariant>{packets, packets}));
        QCOMPARE(steps.count(QList<QVariant>{0, 3}) + steps.count(QList<QVariant>{1, 3}), devices);
    }

    void packets_keep_their_pace_and_an_idle_run_sets_no_alarm()
    {
        QCOMPARE(rig->alarm, -1);
        rig->run.setUpdateTimeout(1000, 2000);
        rig->start(package(20 * 8192), rig->site(1));
        const int line = rig->join(QHostAddress(QStringLiteral("192.168.147.20")));
        rig->send(line, Request);   // at 0 ms
        QCOMPARE(rig->lines[line].queued.size(), 44 + 8192);   // the first packet at once
        QCOMPARE(rig->alarm, 5);
        rig->pass(5);
        QCOMPARE(rig->lines[line].took, 44 + 2 * 8192);
        rig->clockMs = 105;   // a tick 100 ms late catches up with 4 packets, not 20
        rig->run.wake();
        rig->pass(0);
        QCOMPARE(rig->lines[line].took, 44 + 6 * 8192);
        QCOMPARE(rig->alarm, 110);   // and the next comes 5 ms after it
        rig->pass(100);   // 4 more at 110, 115, 120, the last 2 at 125
        QCOMPARE(rig->lines[line].took, 44 + 20 * 8192);
        QCOMPARE(rig->alarm, 125 + 2001);   // the install watchdog, from the last bytes taken
        rig->send(line, Installed);
        QCOMPARE(rig->alarm, -1);
    }

    void a_site_updates_n_at_a_time_and_names_each_failure_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("atOnce");
        QTest::newRow("10 devices, one at a time") << 10 << 1;
        QTest::newRow("200 devices, 16 at a time") << 200 << 16;
    }

    void a_site_updates_n_at_a_time_and_names_each_failure()
    {
        QFETCH(int, devices);
        QFETCH(int, atOnce);
        // Devices 3, 5, 7 and 9 of every ten fail, each in its own way.
        const Fault tens[10] = {Healthy, Healthy, Healthy, Silent, Healthy, ResetAt37, Healthy, StopsReading, Healthy, NoReport};
        const QList<QVariant> failure[10] = {{}, {}, {}, {int(RunDevice::NoConnection), 1, 0}, {}, {int(RunDevice::DisconnectedAt), 37, 128},
                                             {}, {int(RunDevice::StoppedTaking), 0, 0}, {}, {int(RunDevice::NoInstall), 2, 0}};
        QList<Fault> faults;
        for (int i = 0; i < devices; ++i)
            faults << tens[i % 10];
        rig = std::make_unique<RunRig>(false);
        rig->run.setUpdatesAtOnce(atOnce);
        rig->run.setUpdateTimeout(1000, 2000);
        QSignalSpy failed(&rig->run, SIGNAL(updateFailMsg(int,int,int,int)));
        QSignalSpy over(&rig->run, SIGNAL(updateAllFinishMsg(int,int)));
        int flying = 0;
        int most = 0;
        connect(&rig->run, &UpdateRun::updateRequestMsg, [&] { most = qMax(most, ++flying); });
        connect(&rig->run, &UpdateRun::updateFailMsg, [&] { --flying; });
        connect(&rig->run, &UpdateRun::updateStepMsg, [&](int, int step) { flying -= step == 4; });
        const QList<Dev *> site = rig->site(devices);
        rig->start(package(128 * 8192), site);
        play(site, faults, 128 * 8192);
        QCOMPARE(over.first(), (QList<QVariant>{devices * 6 / 10, devices * 4 / 10}));
        QCOMPARE(most, atOnce);
        QCOMPARE(failed.size(), devices * 4 / 10);
        for (const QList<QVariant> &fail : qAsConst(failed))
            QCOMPARE(fail.mid(1), failure[fail.at(0).toInt() % 10]);
        QCOMPARE(rig->run.clientCount(), 0);   // every connection closed: installed, failed or gone
    }

    void update_begin_counts_once_per_device_of_the_run()
    {
        // Two devices behind one address, as behind a router; the tool knows them by their macs.
        const QList<Dev *> pair = rig->site(2, QStringLiteral("192.168.147.11"));
        const QHostAddress at(QStringLiteral("192.168.147.11"));
        QCOMPARE(rig->run.connectionsAllowedFrom(at), 0);
        rig->start(package(8192), pair);
        QCOMPARE(rig->run.connectionsAllowedFrom(at), 3);   // one more than its devices
        QCOMPARE(rig->run.connectionsAllowedFrom(QHostAddress(QStringLiteral("192.168.147.66"))), 0);
        QSignalSpy steps(&rig->run, SIGNAL(updateStepMsg(int,int)));
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        for (int i = 0; i < 100; ++i)
            rig->run.updateBegun(QHostAddress(QStringLiteral("192.168.147.66")), pair[1]->mac().toLatin1());
        rig->run.updateBegun(at, pair[1]->mac().toLatin1());
        QCOMPARE(log.last(), (QList<QVariant>{"[R]update begin,from:192.168.147.11", int(AdminService::Received)}));
        rig->join(at);   // the device that answered first connects first
        rig->run.updateBegun(at, QByteArray());   // a cut-off answer: the first device not yet begun
        rig->run.updateBegun(at, pair[1]->mac().toLatin1());   // once more: none left to begin
        QCOMPARE(steps, (QList<QList<QVariant>>{{1, 1}, {1, 2}, {0, 1}}));
    }

    void messages_out_of_turn_move_no_device()
    {
        const QString path = package(8192);
        rig->start(path, rig->site(1));
        QSignalSpy installed(&rig->run, SIGNAL(updateFinishMsg(int)));
        QSignalSpy progress(&rig->run, SIGNAL(sendUpdateMsg(int,int)));
        const int line = rig->join(QHostAddress(QStringLiteral("192.168.147.20")));
        rig->send(line, QByteArray(43, '\x01'));   // one byte short of a message: kept, nothing acted on
        QByteArray noise(1 + 44 * 50, '\0');   // completes the first, then 50 messages of noise
        QRandomGenerator random(7);
        for (char &c : noise)
            c = char(random.bounded(4, 256));
        rig->send(line, noise);
        rig->send(line, message(2));
        rig->send(line, Installed);   // before the package: not believed
        QCOMPARE(rig->lines[line].queued.size() + installed.size(), 0);
        rig->send(line, Request);
        rig->pass(5);
        QCOMPARE(rig->lines[line].took, 44 + 8192);   // one header: no noise was taken for a request
        rig->send(line, Installed + Installed);
        QCOMPARE(installed.size(), 1);
        QVERIFY(!rig->lines[line].open);   // its report taken, its connection is closed

        // A new run, begun while a device of the last one is still connected:
        // that connection counts for none of its devices, whatever it reports or however it ends.
        rig->start(path, rig->site(1));
        const int old = rig->join(QHostAddress(QStringLiteral("192.168.147.20")));
        rig->send(old, Request);
        QSignalSpy failed(&rig->run, SIGNAL(updateFailMsg(int,int,int,int)));
        rig->start(path, rig->site(1));
        rig->send(old, Installed);
        rig->lines[old].end = RunRig::Line::Closed;
        rig->pass(5);
        QCOMPARE(installed.size() + failed.size(), 1);
        // Closed, the dialog resets the run: the next counts its packets afresh.
        rig->run.resetUpdate();
        rig->start(path, rig->site(1));
        rig->send(rig->join(QHostAddress(QStringLiteral("192.168.147.20"))), Request);
        QCOMPARE(progress.last(), (QList<QVariant>{1, 1}));
    }

    void a_connection_closed_before_asking_fails_only_a_device_that_answered_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("a leftover, before the device answered: still awaited") << false;
        QTest::newRow("after its answer: the device hung up") << true;
    }

    void a_connection_closed_before_asking_fails_only_a_device_that_answered()
    {
        QFETCH(bool, answered);
        const QList<Dev *> device = rig->site(1);
        const QHostAddress at(QStringLiteral("192.168.147.20"));
        rig->start(package(2 * 8192), device);
        QSignalSpy failed(&rig->run, SIGNAL(updateFailMsg(int,int,int,int)));
        if (answered)
            rig->run.updateBegun(at, device[0]->mac().toLatin1());
        rig->lines[rig->join(at)].end = RunRig::Line::Closed;
        rig->pass(5);
        if (answered) {
            QCOMPARE(failed, (QList<QList<QVariant>>{{0, int(RunDevice::DisconnectedAt), 0, 2}}));
            return;
        }
        QCOMPARE(failed.size(), 0);
        rig->send(rig->join(at), Request);
        rig->pass(10);
        QCOMPARE(rig->lines.last().took, 44 + 2 * 8192);
    }

    void retry_and_all_update_ask_only_the_devices_still_to_update()
    {
        rig->run.setUpdateTimeout(1000);
        QList<Dev *> site = rig->site(5);
        site[0]->online = 0;
        const QString path = package(8192);
        rig->start(path, site, true);
        play(site, {Healthy, Healthy, Silent, Healthy, Silent}, 8192);
        QCOMPARE(rig->asked.size(), 4);   // not the offline device
        rig->asked.clear();
        rig->run.retryFailedUpdates();
        play(site, {}, 8192);
        QCOMPARE(rig->asked, (QStringList{site[2]->mac(), site[4]->mac()}));
        rig->run.startAllUpdate(path, site);   // each has this package now
        rig->run.startAllUpdate(package(8192, QStringLiteral("other")), site);
        QCOMPARE(rig->asked.size(), 2 + 4);   // another package reaches every online device
    }
};

QTEST_GUILESS_MAIN(TestUpdateRun)
#include "tst_updaterun.moc"
