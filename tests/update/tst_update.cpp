// The update dialog: what the engine's progress signals show in it, and
// whole updates run from the main window against devsim's devices, which
// restart, fetch the package over TCP and report it installed.

#include <QtTest>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "protocol/connect.h"
#include "support/mainwindowfixture.h"
#include "update/update.h"

namespace {

QList<int> devicesOf(const QList<QJsonObject> &events)
{
    QList<int> devices;
    for (const QJsonObject &event : events)
        devices.append(event.value(QLatin1String("device")).toInt());
    return devices;
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Connect *engine = nullptr;
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

    QString makePackage(int size, const QString &name = QStringLiteral("package.bin"))
    {
        QByteArray bytes(size, '\0');
        QRandomGenerator(size).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
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

    bool completed(int ms) { return QTest::qWaitFor([&] { return text("label") == QLatin1String("Completed"); }, ms); }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        engine = Connect::instance();
    }

    void cleanup()
    {
        delete std::exchange(alone, nullptr);
        if (dialog())
            QTest::mouseClick(ui.child<QPushButton>("pushButton", dialog()), Qt::LeftButton);
        engine->resetUpdate();
    }

    void progress_reports_set_line_bar_and_percent_data()
    {
        QTest::addColumn<QList<int>>("reports");   // packets sent, of all, in pairs
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("percent");
        QTest::newRow("one of three") << QList<int>{1, 3} << "Sending packet 1 of 3" << 33;
        QTest::newRow("last packet keeps the bar") << QList<int>{1, 3, 2, 3, 3, 3} << "Sending packet 3 of 3" << 66;
        QTest::newRow("five of five alone") << QList<int>{5, 5} << "Sending packet 5 of 5" << 0;
        QTest::newRow("report after a reset") << QList<int>{1, 2, 7, 0} << "Sending packet 7 of 0" << 50;
        QTest::newRow("large counts do not overflow") << QList<int>{2000000000, 2147483647}
                                                      << "Sending packet 2000000000 of 2147483647" << 93;
    }

    void progress_reports_set_line_bar_and_percent()
    {
        QFETCH(QList<int>, reports);
        QFETCH(QString, line);
        QFETCH(int, percent);
        alone = new Update(window);
        alone->showInCenter();
        for (int i = 0; i < reports.size(); i += 2)
            emit engine->sendUpdateMsg(reports[i], reports[i + 1]);
        QCOMPARE(text("label"), line);
        QCOMPARE(ui.child<QProgressBar>("progressBar", alone)->value(), percent);
        QCOMPARE(text("label_progress"), QString::number(percent) + QLatin1Char('%'));
    }

    void rows_follow_devices_in_the_order_they_accept_and_cancel_forgets_them()
    {
        alone = new Update(window);
        alone->showInCenter();
        emit engine->updateBeginMsg();
        emit engine->updateBeginMsg();
        QCOMPARE(steps(2), QStringLiteral("1000"));
        emit engine->newConnectMsg(40);   // whichever device connects first takes row 1
        emit engine->newConnectMsg(41);
        emit engine->sendFinishMsg(41);
        emit engine->sendFinishMsg(41);
        emit engine->updateFinishMsg(41);
        QCOMPARE(steps(1), QStringLiteral("1100"));
        QCOMPARE(steps(2), QStringLiteral("1111"));
        emit engine->sendFinishMsg(99);
        emit engine->newConnectMsg(42);   // no row waits for it
        QCOMPARE(steps(3), QStringLiteral("0000"));

        QSignalSpy closing(alone, SIGNAL(closeMsg()));
        emit engine->updateBeginMsg();
        QTest::mouseClick(ui.child<QPushButton>("pushButton", alone), Qt::LeftButton);
        QCOMPARE(closing.size(), 1);
        QVERIFY(!engine->isUpdating());
        emit engine->newConnectMsg(7);   // the rows were forgotten: none waits
        QCOMPARE(steps(3), QStringLiteral("1000"));
        emit engine->updateTimeOutMsg();
        QCOMPARE(text("label"), QStringLiteral("Request timed out"));
    }

    void menu_update_sends_the_package_to_the_selected_device_only()
    {
        const QString package = makePackage(1024 * 1024);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 2, {"--package", package, "--restart-ms", "300", "--install-ms", "600"}));
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        update(package, 0);
        QCOMPARE(dialog()->geometry(), window->rect());
        QVERIFY(completed(15000));
        QCOMPARE(progress.last(), (QList<QVariant>{128, 128}));
        QCOMPARE(steps(1), QStringLiteral("1111"));
        QCOMPARE(steps(2), QStringLiteral("0000"));
        QCOMPARE(text("label_progress"), QStringLiteral("100%"));
        QCOMPARE(ui.child<QPushButton>("pushButton", dialog())->text(), QStringLiteral("Complete"));

        const QList<QJsonObject> received = sim.events("update_received");
        QCOMPARE(devicesOf(received), QList<int>{0});
        QFile file(package);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(received.first().value("md5").toString(),
                 QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex()));
        QVERIFY(received.first().value("package_ok").toBool());
        QVERIFY(sim.events("update_extra_bytes").isEmpty());
        QCOMPARE(devicesOf(sim.received(18154, Wire::UPDATE_BEGIN)), QList<int>{0});

        // Back from its restart, the device answers with its new firmware.
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.events("update_finish").isEmpty(); }));
        ui.click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(cell(0, 4), QStringLiteral("V3.2.2.0"), 3000);
        QCOMPARE(cell(1, 4), QStringLiteral("V3.2.1.1"));
    }

    void all_update_takes_online_devices_one_at_a_time_in_order()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 10, {"--restart-ms", "50", "--install-ms", "100"}));
        QVERIFY(sim.command(QStringLiteral("silent 2")));
        ui.click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(ui.list()->model()->match(ui.list()->model()->index(0, 5), Qt::DisplayRole, "Online", -1).size(), 9, 3000);
        QCOMPARE(cell(2, 5), QStringLiteral("Offline"));
        update(makePackage(3 * 8192 + 5));
        QVERIFY(completed(30000));
        for (int row = 1; row <= 9; ++row)
            QVERIFY2(steps(row) == QLatin1String("1111"), qPrintable(QString::number(row)));
        QCOMPARE(steps(10), QStringLiteral("----"));
        QCOMPARE(text("label_10"), QStringLiteral("Device 9:"));

        const QList<int> online{0, 1, 3, 4, 5, 6, 7, 8, 9};
        QCOMPARE(devicesOf(sim.received(18154, Wire::UPDATE_BEGIN)), online);
        QCOMPARE(devicesOf(sim.events("update_received")), online);
        // The next request goes out only after the previous device has installed.
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.events("update_finish").size() == 9; }));
        const QList<QJsonObject> begun = sim.events("update_begin");
        const QList<QJsonObject> finished = sim.events("update_finish");
        for (int i = 1; i < 9; ++i)
            QVERIFY(finished.at(i - 1).value("t").toDouble() <= begun.at(i).value("t").toDouble());
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
