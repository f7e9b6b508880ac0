#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>

#include "app/searcher.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/mainwindowfixture.h"
#include "ui/menu.h"

// The main window with simulated devices: what the installer sees and what the devices receive.
class TestSearcher : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Connect *engine = nullptr;
    Devs *devs = nullptr;

    QTreeView *view() const { return ui.list(); }
    QAbstractItemModel *model() const { return view()->model(); }
    Menu *menu() const { return window->findChild<Menu *>(); }

    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    QColor colour(int row, int column) const { return model()->index(row, column).data(Qt::ForegroundRole).value<QBrush>().color(); }

    void leftPressRow(int row)
    {
        const QPoint at = view()->visualRect(model()->index(row, 1)).center();
        QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        engine = Connect::instance();
        devs = Devs::instance();
    }

    void window_shows_english_texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("search") << "pushButton_search" << "Search once";
        QTest::newRow("auto") << "pushButton_auto" << "Auto search";
        QTest::newRow("clean") << "pushButton_clean" << "Clean List";
        QTest::newRow("repair") << "pushButton_2" << "Repair Search";
        QTest::newRow("prepare") << "pushButton_allIp" << "Prepare All Update";
        QTest::newRow("all update") << "pushButton" << "All Update";
        QTest::newRow("lan reset") << "pushButton_moreReset" << "LAN device reset";
        QTest::newRow("browse") << "pushButton_file" << "Browse";
        QTest::newRow("title") << "label_2" << "Vessik V1";
        QTest::newRow("debug") << "label_admin" << "Debug";
        QTest::newRow("path") << "label_3" << "Update package path:";
        QTest::newRow("version label") << "label_5" << "Main program version:";
        QTest::newRow("version") << "label_version" << "V1.0.2.64";
        QTest::newRow("local ip label") << "label_6" << "Local IP address:";
        QTest::newRow("local ip") << "label_thisIp" << "192.168.147.101";
    }

    void window_shows_english_texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget *widget = ui.child(name.toLatin1().constData());
        const QString shown = qobject_cast<QPushButton *>(widget) ? static_cast<QPushButton *>(widget)->text()
                                                                  : static_cast<QLabel *>(widget)->text();
        QCOMPARE(shown, text);
    }

    void list_headers_and_rows_are_english()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3, {"--version", "V5.0.1"}));
        const QStringList headers{"", "IP address", "Source address", "MAC address", "Software version", "Online"};
        for (int column = 0; column < 6; ++column)
            QCOMPARE(model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(cell(row, 0), QStringLiteral("Device%1").arg(row + 1));
            QCOMPARE(cell(row, 1), sim.ip(row));
            QCOMPARE(cell(row, 2), QStringLiteral("192.168.147.11:18153"));
            QCOMPARE(cell(row, 3), sim.mac(row));
            QCOMPARE(cell(row, 4), QStringLiteral("V5.0.1"));
            QCOMPARE(cell(row, 5), QStringLiteral("Online"));
            QCOMPARE(colour(row, 3), QColor(0, 0, 0));
        }
    }

    void silent_device_turns_grey_and_offline()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        sim.command("silent 2");
        QTest::qWait(100);
        ui.click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(cell(2, 5), QStringLiteral("Offline"), 3000);
        QTest::qWait(300);
        for (int column = 0; column < 6; ++column)
            QCOMPARE(colour(2, column), QColor(180, 180, 180));
        QCOMPARE(cell(1, 5), QStringLiteral("Online"));
        QCOMPARE(colour(1, 0), QColor(0, 0, 0));
    }

    void clean_list_empties_and_refills()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 2));
        QSignalSpy cleaned(engine, SIGNAL(cleanListMsg()));
        ui.click("pushButton_clean");
        QCOMPARE(cleaned.size(), 1);
        QCOMPARE(devs->getDevList().size(), 0);   // emptied before the new search's answers
        QTRY_COMPARE_WITH_TIMEOUT(model()->rowCount(), 2, 3000);
        QCOMPARE(model()->columnCount(), 6);
        QCOMPARE(cell(0, 0), QStringLiteral("Device1"));
    }

    void auto_search_button_toggles_text_and_engine()
    {
        QSignalSpy sends(engine, SIGNAL(sendMsg(int)));
        ui.click("pushButton_auto");
        QCOMPARE(ui.child<QPushButton>("pushButton_auto")->text(), QStringLiteral("Stop search"));
        QVERIFY(engine->isAutoSearch());
        QCOMPARE(sends.size(), 1);
        ui.click("pushButton_auto");
        QCOMPARE(ui.child<QPushButton>("pushButton_auto")->text(), QStringLiteral("Auto search"));
        QVERIFY(!engine->isAutoSearch());
    }

    void prepare_all_update_readdresses_online_devices()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 4));
        sim.command("silent 3");
        QTest::qWait(100);
        ui.click("pushButton_search");
        // Every row turns offline when the search leaves; wait for the three answers.
        QTRY_VERIFY_WITH_TIMEOUT(cell(0, 5) == "Online" && cell(1, 5) == "Online" && cell(2, 5) == "Online", 3000);
        QCOMPARE(cell(3, 5), QStringLiteral("Offline"));
        sim.command("speak 3");
        ui.click("pushButton_allIp");
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(18152, Wire::SET_NETWORK).size() >= 3; }, 3000));
        QTest::qWait(200);
        const QList<QJsonObject> sets = sim.received(18152, Wire::SET_NETWORK);
        QCOMPARE(sets.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(DevsimProcess::hex(sets.at(i)).mid(16 + 60, 14), QByteArray("192.168.147.") + QByteArray::number(i + 2) + QByteArray(1, 0));
        // The devices answer the closing search with their new addresses.
        QTRY_COMPARE_WITH_TIMEOUT(cell(2, 1), QStringLiteral("192.168.147.4"), 3000);
        QCOMPARE(cell(0, 1), QStringLiteral("192.168.147.2"));
    }

    void repair_search_sends_96_resets()
    {
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "1"}));
        ui.click("pushButton_2");
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(18154).size() >= 96; }, 3000));
        QTest::qWait(200);
        const QList<QJsonObject> resets = sim.received(18154, Wire::RESET_DEVICE);
        QCOMPARE(resets.size(), 96);
        QCOMPARE(DevsimProcess::hex(resets.first()).mid(16 + 60, 13), QByteArray("192.168.147.2"));
        QCOMPARE(DevsimProcess::hex(resets.last()).mid(16 + 60, 12), QByteArray("192.168.2.49"));
    }

    void right_click_opens_menu_beside_the_press()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        const QRect rect = view()->visualRect(model()->index(1, 1));
        ui.rightClickRow(1);
        QVERIFY(menu()->isVisible());
        QCOMPARE(devs->getSelected(), devs->getDevList().at(1));
        QCOMPARE(menu()->pos(), QPoint(rect.center().x() + 9, rect.center().y() + 90 + 26));
        // A left press in the list closes it.
        leftPressRow(0);
        QVERIFY(!menu()->isVisible());
        QCOMPARE(devs->getSelected(), devs->getDevList().at(0));
    }

    void menu_reset_resets_the_selected_device_only()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        ui.rightClickRow(2);
        ui.chooseMenuEntry("widget_reset");
        QVERIFY(!menu()->isVisible());
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18154).isEmpty(); }, 3000));
        QTest::qWait(200);
        const QList<QJsonObject> resets = sim.received(18154, Wire::RESET_DEVICE);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(resets.first().value("device").toInt(), 2);
        const msg_broadcast_t &stored = devs->getDevList().at(2)->info;
        QCOMPARE(DevsimProcess::hex(resets.first()).mid(16, 276), QByteArray(reinterpret_cast<const char *>(&stored), 276));
    }

    void header_drag_moves_the_window()
    {
        QWidget *header = ui.child("widget_header");
        const QPoint start = window->pos();
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(300, 10));
        QMouseEvent move(QEvent::MouseMove, QPoint(312, 17), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header, &move);
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(312, 17));
        QTRY_COMPARE(window->pos(), start + QPoint(12, 7));
    }

    void screenshot_shows_title_buttons_and_header_gradient()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 12));
        QTest::qWait(200);
        const QString path = ui.screenshot("searcher-main-window.png");
        QVERIFY(!path.isEmpty());
        const QImage shot(path);
        QCOMPARE(shot.size(), QSize(931, 600));
        // The title bar is dark and lighter at its top than at its bottom.
        const QColor top = shot.pixelColor(450, 2);
        const QColor bottom = shot.pixelColor(450, 87);
        QVERIFY2(top.lightness() < 80 && bottom.lightness() < 60, qPrintable(top.name() + " " + bottom.name()));
        QVERIFY2(top.lightness() > bottom.lightness(), qPrintable(top.name() + " " + bottom.name()));
        // The list area around the buttons is rgb(216, 216, 216).
        QCOMPARE(shot.pixelColor(3, 300), QColor(216, 216, 216));
    }

    void local_address_label_follows_the_machine()
    {
        // The lab's tool host is ours: give en0 a new second address, then put it back.
        auto ip = [](const QString &args) { return QProcess::execute("sh", {"-c", "ip " + args}); };
        QCOMPARE(ip("addr del 192.168.147.101/24 dev en0"), 0);
        QCOMPARE(ip("addr add 192.168.147.102/24 dev en0"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ui.child<QLabel>("label_thisIp")->text(), QStringLiteral("192.168.147.102"), 10500);
        QCOMPARE(engine->getLocalIp().toString(), QStringLiteral("192.168.147.102"));
        QCOMPARE(ip("addr del 192.168.147.102/24 dev en0"), 0);
        QCOMPARE(ip("addr add 192.168.147.101/24 dev en0"), 0);
        QCOMPARE(ip("route replace default dev en0 src 192.168.147.101"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ui.child<QLabel>("label_thisIp")->text(), QStringLiteral("192.168.147.101"), 10500);
    }

    void second_main_window_stays_empty()
    {
        Searcher second;
        QCOMPARE(Searcher::instance(), window);
        QVERIFY(second.findChildren<QPushButton *>().isEmpty());
        QVERIFY(!second.findChild<QTreeView *>());
    }
};

QTEST_MAIN(TestSearcher)
#include "tst_searcher.moc"
