// Firmware updates as the installer runs them: the main window, its update
// dialog and simulated devices that restart, fetch the package over TCP and
// report it installed. Runs in the lab; devsim runs on device host 1.

#include <QtTest>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include "app/searcher.h"
#include "protocol/connect.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/mainwindowfixture.h"
#include "ui/menu.h"
#include "update/update.h"

namespace {

QList<QJsonObject> events(const DevsimProcess &sim, const char *name)
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : sim.log()) {
        if (event.value(QLatin1String("event")) == QLatin1String(name))
            found.append(event);
    }
    return found;
}

QList<int> devicesOf(const QList<QJsonObject> &list)
{
    QList<int> devices;
    for (const QJsonObject &event : list)
        devices.append(event.value(QLatin1String("device")).toInt());
    return devices;
}

} // namespace

class TestUpdateFlow : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Connect *engine = nullptr;
    QTemporaryDir dir;

    template<typename T = QWidget>
    T *child(const char *name) const { return ui.child<T>(name); }
    QAbstractItemModel *model() const { return ui.list()->model(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    Update *dialog() const { return window->findChild<Update *>(); }
    QString dialogText(const char *label) const { return dialog()->findChild<QLabel *>(QLatin1String(label))->text(); }

    bool checked(const char *step, int row) const
    {
        auto *box = dialog()->findChild<QCheckBox *>(QStringLiteral("checkBox_%1_%2").arg(QLatin1String(step)).arg(row));
        return box && box->isChecked();
    }
    bool rowDone(int row) const
    {
        return checked("restart", row) && checked("connect", row) && checked("send", row) && checked("finish", row);
    }

    void click(const char *button) { ui.click(button); }

    QString makePackage(int size, const QString &name = QStringLiteral("package.bin"))
    {
        QByteArray bytes(size, '\0');
        QRandomGenerator random(size);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    bool fillList(DevsimProcess &sim, int count, const QStringList &extra = {})
    {
        closeDialog();
        return ui.fillList(sim, count, extra);
    }

    void updateFromMenu(int row)
    {
        ui.rightClickRow(row);
        ui.chooseMenuEntry("widget_update");
    }

    void closeDialog()
    {
        if (dialog())
            QTest::mouseClick(dialog()->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
        QTest::qWait(0);
        engine->setUpdateTimeout(120 * 1000, 300 * 1000);
    }

    void screenshot(const QString &name) { QVERIFY(!ui.screenshot(name).isEmpty()); }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        engine = Connect::instance();
    }

    void cleanup() { closeDialog(); }

    void menu_update_sends_the_package_to_the_selected_device()
    {
        const QString package = makePackage(1024 * 1024);
        DevsimProcess sim;
        QVERIFY(fillList(sim, 2, {"--package", package, "--restart-ms", "300", "--install-ms", "600"}));
        QSignalSpy progress(engine, SIGNAL(sendUpdateMsg(int,int)));
        child<QLineEdit>("lineEdit_fileAddress")->setText(package);
        updateFromMenu(0);
        QVERIFY(dialog());
        QCOMPARE(dialog()->geometry(), window->rect());

        QVERIFY(QTest::qWaitFor([&] { return progress.size() >= 40; }, 10000));
        screenshot(QStringLiteral("update-dialog-running.png"));
        QVERIFY(QTest::qWaitFor([&] { return dialogText("label") == QLatin1String("Completed"); }, 15000));
        screenshot(QStringLiteral("update-dialog-done.png"));

        QCOMPARE(progress.last().at(0).toInt(), 128);
        QCOMPARE(progress.last().at(1).toInt(), 128);
        QVERIFY(rowDone(1));
        QVERIFY(!checked("restart", 2));
        QCOMPARE(dialogText("label_progress"), QStringLiteral("100%"));
        QCOMPARE(dialog()->findChild<QPushButton *>(QStringLiteral("pushButton"))->text(), QStringLiteral("Complete"));

        const QList<QJsonObject> received = events(sim, "update_received");
        QCOMPARE(devicesOf(received), QList<int>{0});
        QFile file(package);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(received.first().value("md5").toString(),
                 QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex()));
        QVERIFY(received.first().value("package_ok").toBool());
        QCOMPARE(received.first().value("bytes").toInt(), 1024 * 1024);
        QVERIFY(events(sim, "update_extra_bytes").isEmpty());

        // Back from its restart, the device answers with its new firmware.
        QVERIFY(sim.waitForLog([](const QList<QJsonObject> &log) {
            for (const QJsonObject &event : log)
                if (event.value("event") == QLatin1String("update_finish"))
                    return true;
            return false;
        }));
        click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(cell(0, 4), QStringLiteral("V3.2.2.0"), 3000);
        QCOMPARE(cell(1, 4), QStringLiteral("V3.2.1.1"));

        // A single update stands alone: no other device was asked.
        QCOMPARE(devicesOf(sim.received(18154, Wire::UPDATE_BEGIN)), QList<int>{0});
    }

    void all_update_takes_online_devices_one_at_a_time_in_order()
    {
        DevsimProcess sim;
        QVERIFY(fillList(sim, 4, {"--restart-ms", "100", "--install-ms", "300"}));
        sim.command(QStringLiteral("silent 2"));
        QTest::qWait(100);
        click("pushButton_search");
        QTRY_VERIFY_WITH_TIMEOUT(cell(0, 5) == "Online" && cell(1, 5) == "Online" && cell(3, 5) == "Online", 3000);
        QCOMPARE(cell(2, 5), QStringLiteral("Offline"));
        child<QLineEdit>("lineEdit_fileAddress")->setText(makePackage(200 * 1000));
        click("pushButton");
        QVERIFY(QTest::qWaitFor([&] { return dialogText("label") == QLatin1String("Completed"); }, 20000));
        QCOMPARE(dialogText("label_progress"), QStringLiteral("100%"));
        QVERIFY(rowDone(1) && rowDone(2) && rowDone(3));
        QVERIFY(!checked("restart", 4));

        QCOMPARE(devicesOf(sim.received(18154, Wire::UPDATE_BEGIN)), (QList<int>{0, 1, 3}));
        const QList<QJsonObject> begun = events(sim, "update_begin");
        const QList<QJsonObject> received = events(sim, "update_received");
        QCOMPARE(devicesOf(begun), (QList<int>{0, 1, 3}));
        QCOMPARE(devicesOf(received), (QList<int>{0, 1, 3}));
        // The next request goes out only after the previous device has installed.
        QVERIFY(sim.waitForLog([](const QList<QJsonObject> &log) {
            int finished = 0;
            for (const QJsonObject &event : log)
                finished += event.value("event") == QLatin1String("update_finish");
            return finished == 3;
        }));
        const QList<QJsonObject> finished = events(sim, "update_finish");
        for (int i = 1; i < 3; ++i)
            QVERIFY(finished.at(i - 1).value("t").toDouble() <= begun.at(i).value("t").toDouble());
    }

    void all_update_over_ten_devices_shows_every_row()
    {
        DevsimProcess sim;
        QVERIFY(fillList(sim, 10, {"--restart-ms", "50", "--install-ms", "50"}));
        child<QLineEdit>("lineEdit_fileAddress")->setText(makePackage(3 * 8192 + 5));
        click("pushButton");
        QVERIFY(QTest::qWaitFor([&] { return dialogText("label") == QLatin1String("Completed"); }, 30000));
        for (int row = 1; row <= 10; ++row)
            QVERIFY2(rowDone(row), qPrintable(QString::number(row)));
        QCOMPARE(dialogText("label_progress"), QStringLiteral("100%"));
        QCOMPARE(dialog()->findChild<QLabel *>(QStringLiteral("label_11"))->text(), QStringLiteral("Eq.10:"));
        screenshot(QStringLiteral("update-dialog-ten-devices.png"));
    }

    void unusable_package_is_refused_before_any_request_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("all");
        QTest::newRow("no path, menu") << QString() << "Choose an update package first" << false;
        QTest::newRow("no path, all") << QString() << "Choose an update package first" << true;
        QTest::newRow("missing file") << dir.filePath("nowhere.bin") << "The update package does not exist" << false;
        QTest::newRow("a folder") << dir.path() << "The update package does not exist" << true;
        QTest::newRow("4 GiB") << dir.filePath("huge.bin") << "The update package must be smaller than 4 GiB" << true;
    }

    void unusable_package_is_refused_before_any_request()
    {
        QFETCH(QString, path);
        QFETCH(QString, line);
        QFETCH(bool, all);
        if (path.endsWith(QLatin1String("huge.bin"))) {
            QFile huge(path);   // sparse: takes no room
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 32));
        }
        DevsimProcess sim;
        QVERIFY(fillList(sim, 2));
        child<QLineEdit>("lineEdit_fileAddress")->setText(path);
        if (all)
            click("pushButton");
        else
            updateFromMenu(1);
        QVERIFY(dialog());
        QCOMPARE(dialogText("label"), line);
        QTest::qWait(300);
        QVERIFY(sim.received(18154).isEmpty());
        QVERIFY(!engine->isUpdating());
        QFile::remove(dir.filePath("huge.bin"));
    }

    void silent_or_stalled_device_times_the_run_out_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("size");
        QTest::newRow("request never answered") << "0:silent" << 8192;
        QTest::newRow("transfer stalls") << "0:stall" << 32 * 1024 * 1024;
    }

    void silent_or_stalled_device_times_the_run_out()
    {
        QFETCH(QString, fault);
        QFETCH(int, size);
        DevsimProcess sim;
        QVERIFY(fillList(sim, 1, {"--update-fault", fault, "--restart-ms", "50"}));
        child<QLineEdit>("lineEdit_fileAddress")->setText(makePackage(size, QStringLiteral("stall.bin")));
        engine->setUpdateTimeout(1500);
        QSignalSpy timedOut(engine, SIGNAL(updateTimeOutMsg()));
        updateFromMenu(0);
        QVERIFY(QTest::qWaitFor([&] { return !timedOut.isEmpty(); }, 30000));
        QCOMPARE(dialogText("label"), QStringLiteral("Request timed out"));
        QVERIFY(!engine->isUpdating());
        QCOMPARE(engine->clientCount(), 0);
        QVERIFY(!checked("finish", 1));
        QFile::remove(dir.filePath("stall.bin"));
    }
};

QTEST_MAIN(TestUpdateFlow)
#include "tst_updateflow.moc"
