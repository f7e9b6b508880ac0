// The update dialog: what the run's progress signals show in it, and a whole
// update run from the main window against devsim's devices, which restart,
// fetch the package over TCP and report it installed.

#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "support/mainwindowfixture.h"
#include "support/runrig.h"
#include "update/update.h"
#include "update/updaterun.h"

class TestUpdate : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    UpdateRun *run = nullptr;
    Update *alone = nullptr;   // a dialog fed signals by the test itself
    QTemporaryDir dir;

    Update *dialog() const { return alone ? alone : window->findChild<Update *>(); }
    QString text(const char *label) const { return ui.child<QLabel>(label, dialog())->text(); }
    QString cell(int row, int column) const { return ui.list()->model()->index(row, column).data().toString(); }

    // "1111" when row's four steps are checked, "1000" after the first only, "----" for no row
    // (the dialog has eight rows before more devices need them).
    QString steps(int row) const
    {
        QString shown;
        for (const char *step : {"restart", "connect", "send", "finish"}) {
            auto *box = dialog()->findChild<QCheckBox *>(QStringLiteral("checkBox_%1_%2").arg(QLatin1String(step)).arg(row));
            shown += !box ? QLatin1Char('-') : box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        }
        return shown;
    }

    void update(const QString &package, int row = -1)
    {
        ui.child<QLineEdit>("lineEdit_fileAddress")->setText(package);
        if (row < 0) {
            ui.click("pushButton");   // All Update
        } else {
            ui.rightClickRow(row);
            ui.chooseMenuEntry("widget_update");
        }
        QVERIFY(dialog());
    }

    bool ended(const QString &summary, int ms)
    {
        const bool seen = QTest::qWaitFor([&] { return text("label") == summary; }, ms);
        if (!seen)
            qWarning() << "the status line reads" << text("label");
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        run = UpdateRun::instance();
    }

    void cleanup()
    {
        delete std::exchange(alone, nullptr);
        if (dialog())
            QTest::mouseClick(ui.child<QPushButton>("pushButton", dialog()), Qt::LeftButton);
        run->resetUpdate();
    }

    void a_failed_row_says_why_in_red_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QList<int>>("numbers");   // at, of
        QTest::addColumn<QString>("shown");
        QTest::newRow("silent") << int(RunDevice::NoConnection) << QList<int>{120, 0} << "did not connect back within 120 s";
        QTest::newRow("stalled") << int(RunDevice::StoppedTaking) << QList<int>{0, 0} << "stopped taking data";
        QTest::newRow("gone") << int(RunDevice::DisconnectedAt) << QList<int>{37, 128} << "disconnected at packet 37 of 128";
        QTest::newRow("no report") << int(RunDevice::NoInstall) << QList<int>{300, 0} << "did not report the install within 300 s";
        QTest::newRow("unreadable") << int(RunDevice::PackageUnreadable) << QList<int>{0, 0} << "The update package cannot be read";
    }

    void a_failed_row_says_why_in_red()
    {
        QFETCH(int, reason);
        QFETCH(QList<int>, numbers);
        QFETCH(QString, shown);
        alone = new Update(window);
        alone->showInCenter();
        for (int device = 0; device < 10; ++device)
            emit run->updateRequestMsg(device, QStringLiteral("192.168.147.%1").arg(20 + device));
        emit run->updateStepMsg(8, 1);
        emit run->updateStepMsg(9, 1);
        emit run->updateFailMsg(9, reason, numbers[0], numbers[1]);
        emit run->updateStepMsg(9, 2);   // a late report of a failed device changes nothing
        QCOMPARE(text("label_10"), QStringLiteral("Device 9: 192.168.147.28"));
        QCOMPARE(steps(9), QStringLiteral("1000"));
        auto *why = ui.child<QLabel>("label_reason_10", alone);
        QCOMPARE(why->text(), shown);
        QCOMPARE(why->palette().color(why->foregroundRole()), QColor(255, 0, 0));
        QVERIFY(!ui.child<QCheckBox>("checkBox_restart_10", alone)->isVisible());

        auto *retry = ui.child<QPushButton>("pushButton_retry", alone);
        emit run->updateAllFinishMsg(9, 1);
        QCOMPARE(text("label"), QStringLiteral("9 updated, 1 failed"));
        QVERIFY(retry->isVisible());
        QTest::mouseClick(retry, Qt::LeftButton);   // the failed row starts afresh; no other row moves
        QCOMPARE(steps(10), QStringLiteral("0000"));
        QVERIFY(!alone->findChild<QLabel *>("label_reason_10") && !retry->isVisible());
        QCOMPARE(steps(9), QStringLiteral("1000"));
    }

    // A run asks exactly the devices picked: the row of the menu, the rows picked with Ctrl, or
    // every online device for All Update. One run goes on until each package is installed.
    void update_asks_the_picked_devices_only_data()
    {
        QTest::addColumn<QList<int>>("picked");   // rows, the first clicked, the others Ctrl-clicked
        QTest::addColumn<bool>("all");            // All Update instead of the menu: every online device
        QTest::addColumn<bool>("whole");          // followed to the end, through real sockets
        QTest::newRow("the row of the menu") << QList<int>{1} << false << false;
        QTest::newRow("rows 1 and 3 of 3") << QList<int>{0, 2} << false << true;
        QTest::newRow("All Update") << QList<int>{0, 1, 2} << true << false;
    }

    void update_asks_the_picked_devices_only()
    {
        QFETCH(QList<int>, picked);
        QFETCH(bool, all);
        QFETCH(bool, whole);
        const QString package = dir.filePath(QStringLiteral("package.bin"));
        writePackage(package, 1024 * 1024);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3, {"--package", package, "--restart-ms", "300", "--install-ms", "600"}));
        QWidget *rows = ui.list()->viewport();
        QStringList pickedIps, askedIps;
        for (int row : picked) {
            pickedIps << cell(row, 1);
            if (!all)
                QTest::mouseClick(rows, Qt::LeftButton, row == picked.first() ? Qt::NoModifier : Qt::ControlModifier,
                                  ui.list()->visualRect(ui.list()->model()->index(row, 1)).center());
        }
        QSignalSpy asked(run, SIGNAL(updateRequestMsg(int,QString)));
        QSignalSpy progress(run, SIGNAL(sendUpdateMsg(int,int)));
        update(package, all ? -1 : picked.last());
        QCOMPARE(dialog()->geometry(), window->rect());
        QTRY_VERIFY(!asked.isEmpty());   // a run asks all the devices it may at once
        std::transform(asked.cbegin(), asked.cend(), std::back_inserter(askedIps), [](auto &request) { return request.at(1).toString(); });
        QCOMPARE(askedIps, pickedIps);
        if (!whole)
            return;
        QVERIFY(ended(QStringLiteral("%1 updated, 0 failed").arg(picked.size()), 20000));
        const int packets = 128 * picked.size();   // of the whole run
        QCOMPARE(progress.last(), (QList<QVariant>{packets, packets}));
        QCOMPARE(steps(picked.size()), QStringLiteral("1111"));
        QCOMPARE(steps(picked.size() + 1), QStringLiteral("0000"));
        QCOMPARE(text("label_progress"), QStringLiteral("100%"));
        QCOMPARE(ui.child<QPushButton>("pushButton", dialog())->text(), QStringLiteral("Complete"));

        // The devices asked take their packages at once, each byte for byte, through real sockets.
        const QList<QJsonObject> received = sim.events("update_received");
        QCOMPARE(received.size(), picked.size());
        for (const QJsonObject &event : received)
            QVERIFY(event.value("package_ok").toBool());

        // Back from their restart, the devices answer with their new firmware.
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.events("update_finish").size() == picked.size(); }));
        ui.click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(cell(picked.last(), 4), QStringLiteral("V3.2.2.%1").arg(picked.last()), 3000);
        QCOMPARE(cell(1, 4), picked.contains(1) ? QStringLiteral("V3.2.2.1") : QStringLiteral("V3.2.1.1"));
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
