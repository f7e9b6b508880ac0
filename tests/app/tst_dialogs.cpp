#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>

#include "app/searcher.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/mainwindowfixture.h"
#include "support/records.h"
#include "ui/admin.h"
#include "ui/devmanager.h"
#include "ui/morereset.h"
#include "ui/nettabbtn.h"

using TestRecords::field;

// The network, LAN reset and debug dialogs over the main window, against simulated devices.
class TestDialogs : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Connect *engine = nullptr;
    Devs *devs = nullptr;

    template<typename T = QWidget>
    T *child(QWidget *parent, const char *name) const { return ui.child<T>(name, parent); }

    QAbstractItemModel *model() const { return ui.list()->model(); }

    DevManager *openNetConfig(int row)
    {
        devs->selectDev(row);
        window->clickMenu(QStringLiteral("config"));
        const QList<DevManager *> dialogs = window->findChildren<DevManager *>();
        return dialogs.isEmpty() ? nullptr : dialogs.last();
    }

    void press(QWidget *button) { QTest::mouseClick(button, Qt::LeftButton); }

    static bool centred(QWidget *dialog, QWidget *parent)
    {
        return dialog->pos() == QPoint((parent->width() - dialog->width()) / 2, (parent->height() - dialog->height()) / 2);
    }

    void saveShot(const QString &name) { QVERIFY(!ui.screenshot(name).isEmpty()); }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        engine = Connect::instance();
        devs = Devs::instance();
    }

    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void network_dialog_changes_the_ip_of_the_selected_device()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        DevManager *dialog = openNetConfig(1);
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(centred(dialog, window));
        QCOMPARE(child<QLabel>(dialog, "label_9")->text(), QStringLiteral("Network config"));
        QCOMPARE(child<QLabel>(dialog, "label_wifiTitle")->text(), QStringLiteral("Network"));
        QCOMPARE(child<QLabel>(dialog, "label_wifiStatus")->text(), QStringLiteral("[ACT]"));
        QVERIFY(!child(dialog, "widget_wired")->isVisible());
        QWidget *tab = child(dialog, "widget_wifi");
        QVERIFY(tab->grab().toImage().pixelColor(5, 17).lightness() < 128);   // the tab in use is the dark one
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_ip")->text(), sim.ip(1));
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_mask")->text(), QStringLiteral("255.255.255.0"));
        QVERIFY(child<QCheckBox>(dialog, "checkBox_dhcpOff")->isChecked());
        saveShot("dialog-network-config.png");

        child<QLineEdit>(dialog, "lineEdit_ip")->setText("192.168.147.88");
        QSignalSpy searches(engine, SIGNAL(sendMsg(int)));
        press(child(dialog, "pushButton_submit"));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(searches.size(), 1);
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18152, Wire::SET_NETWORK).isEmpty(); }, 3000));
        QTest::qWait(100);
        const QList<QJsonObject> sets = sim.received(18152, Wire::SET_NETWORK);
        QCOMPARE(sets.size(), 1);
        QByteArray expected(292, '\0');
        expected.replace(0, 8, QByteArray::fromHex("61a8000014010000"));
        expected.replace(16 + 36, 24, field(sim.mac(1), 24));
        expected.replace(16 + 60, 16, field("192.168.147.88", 16));
        expected.replace(16 + 76, 16, field("255.255.255.0", 16));
        expected.replace(16 + 92, 16, field("192.168.147.1", 16));
        expected.replace(16 + 136, 16, field("192.168.147.1", 16));
        QCOMPARE(DevsimProcess::hex(sets.first()), expected);
        QTRY_COMPARE_WITH_TIMEOUT(model()->index(1, 1).data().toString(), QStringLiteral("192.168.147.88"), 3000);
    }

    void dhcp_request_turns_the_device_to_dhcp()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 1));
        DevManager *dialog = openNetConfig(0);
        press(child(dialog, "checkBox_dhcpOn"));
        QVERIFY(!child<QCheckBox>(dialog, "checkBox_dhcpOff")->isChecked());
        QVERIFY(!child(dialog, "lineEdit_ip")->isEnabled());
        press(child(dialog, "pushButton_submit"));
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18152, Wire::SET_NETWORK).isEmpty(); }, 3000));
        QCOMPARE(int(DevsimProcess::hex(sim.received(18152, Wire::SET_NETWORK).first()).at(16 + 172)), 1);
        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().first()->info.ipMode, quint16(0), 3000);

        dialog = openNetConfig(0);
        QCOMPARE(window->findChildren<DevManager *>().size(), 1);   // the old one is gone
        QVERIFY(child<QCheckBox>(dialog, "checkBox_dhcpOn")->isChecked());
        QVERIFY(!child(dialog, "lineEdit_mask")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_mask")->text(), QStringLiteral("255.255.255.0"));   // the stored values stay shown
    }

    void dhcp_boxes_stay_exclusive_and_set_placeholders()
    {
        msg_broadcast_t record = TestRecords::record("dhcp-device", "");
        record.ipMode = 0;
        engine->cleanSearch();
        emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, record, 18153);
        DevManager *dialog = openNetConfig(0);
        QVERIFY(child<QCheckBox>(dialog, "checkBox_dhcpOn")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_ip")->placeholderText(), QStringLiteral("[Automatic allocation]"));

        press(child(dialog, "checkBox_dhcpOff"));
        QVERIFY(!child<QCheckBox>(dialog, "checkBox_dhcpOn")->isChecked());
        QVERIFY(child(dialog, "lineEdit_ip")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_ip")->placeholderText(), QStringLiteral("Please enter IP"));
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_dns")->placeholderText(), QStringLiteral("Please enter the gateway DNS"));
        press(child(dialog, "checkBox_dhcpOff"));   // unchecking Close checks Open again
        QVERIFY(child<QCheckBox>(dialog, "checkBox_dhcpOn")->isChecked());

        // The tab header puts the record's values back.
        press(child(dialog, "checkBox_dhcpOff"));
        child<QLineEdit>(dialog, "lineEdit_ip")->setText("10.9.9.9");
        QTest::mouseClick(child(dialog, "widget_wifi"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit_ip")->text(), QString());
        QVERIFY(child<QCheckBox>(dialog, "checkBox_dhcpOn")->isChecked());
    }

    void malformed_input_shows_its_warning_and_sends_nothing_data()
    {
        QTest::addColumn<QStringList>("texts");   // ip, mask, gateway, dns
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<bool>("sent");
        const QStringList good{"192.168.147.60", "255.255.255.0", "192.168.147.1", "8.8.8.8"};
        auto with = [&](int i, const QString &text) { QStringList t = good; t[i] = text; return t; };
        QTest::newRow("all good") << good << QStringList{} << true;
        QTest::newRow("empty ip") << with(0, "") << QStringList{"*Please enter IP"} << false;
        QTest::newRow("ip part over 255") << with(0, "192.168.147.300") << QStringList{"*Invalid IP address"} << false;
        QTest::newRow("broadcast as ip") << with(0, "192.168.147.255") << QStringList{"*Not a usable host address"} << false;
        QTest::newRow("mask with holes") << with(1, "255.0.255.0") << QStringList{"*Invalid subnet mask"} << false;
        QTest::newRow("empty gateway") << with(2, "") << QStringList{"*Please enter the gateway"} << false;
        QTest::newRow("garbled dns") << with(3, "8.8.8") << QStringList{"*Invalid DNS server"} << false;
        QTest::newRow("two bad fields") << QStringList{"", "255.255.255.0", "x", "8.8.8.8"}
                                        << QStringList{"*Please enter IP", "*Invalid gateway"} << false;
    }

    void malformed_input_shows_its_warning_and_sends_nothing()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, warnings);
        QFETCH(bool, sent);
        engine->cleanSearch();
        msg_broadcast_t record = TestRecords::record("checked-device");
        record.ipMode = 1;   // a static address: the texts are checked
        emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, record, 18153);
        DevManager *dialog = openNetConfig(0);
        const char *edits[] = {"lineEdit_ip", "lineEdit_mask", "lineEdit_gate", "lineEdit_dns"};
        for (int i = 0; i < 4; ++i)
            child<QLineEdit>(dialog, edits[i])->setText(texts.at(i));
        QSignalSpy changes(engine, SIGNAL(sendNetEditMsg()));
        press(child(dialog, "pushButton_submit"));
        QCOMPARE(changes.size(), sent ? 1 : 0);
        QCOMPARE(dialog->isVisible(), !sent);
        QStringList shown;
        for (const char *name : {"label_worIp", "label_worMask", "label_worGate", "label_worDns"}) {
            QLabel *warning = child<QLabel>(dialog, name);
            if (warning->isVisible())
                shown << warning->text();
        }
        QCOMPARE(shown, warnings);
        if (!sent)
            saveShot("dialog-network-config-warning.png");
    }

    void gateway_outside_the_subnet_warns_once()
    {
        engine->cleanSearch();
        msg_broadcast_t record = TestRecords::record("gateway-device");
        record.ipMode = 1;
        emit engine->receiveMsg(QHostAddress("192.168.147.11"), 1, record, 18153);
        DevManager *dialog = openNetConfig(0);
        const QStringList texts{"192.168.147.60", "255.255.255.0", "192.168.1.1", "8.8.8.8"};
        const char *edits[] = {"lineEdit_ip", "lineEdit_mask", "lineEdit_gate", "lineEdit_dns"};
        for (int i = 0; i < 4; ++i)
            child<QLineEdit>(dialog, edits[i])->setText(texts.at(i));
        QSignalSpy changes(engine, SIGNAL(sendNetEditMsg()));
        press(child(dialog, "pushButton_submit"));
        QCOMPARE(changes.size(), 0);
        QVERIFY(child(dialog, "label_worGate")->isVisible());
        press(child(dialog, "pushButton_submit"));
        QCOMPARE(changes.size(), 1);
        QVERIFY(!dialog->isVisible());
    }

    void lan_reset_confirm_resets_every_known_device_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("resets");
        QTest::newRow("confirm") << "pushButton_submit" << 3;
        QTest::newRow("cancel") << "pushButton_refuse" << 0;
        QTest::newRow("close") << "label_2" << 0;
    }

    void lan_reset_confirm_resets_every_known_device()
    {
        QFETCH(QString, button);
        QFETCH(int, resets);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        sim.command("silent 2");
        QTest::qWait(100);
        engine->search();
        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().at(0)->online, 1, 3000);
        QCOMPARE(devs->getDevList().at(2)->online, 0);

        QTest::mouseClick(child(window, "pushButton_moreReset"), Qt::LeftButton);
        MoreReset *dialog = window->findChild<MoreReset *>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(centred(dialog, window));
        QCOMPARE(child<QLabel>(dialog, "label")->text(), QStringLiteral("LAN device reset"));
        QCOMPARE(child<QPushButton>(dialog, "pushButton_refuse")->text(), QStringLiteral("Cancel"));
        if (resets)
            saveShot("dialog-lan-reset.png");
        QTest::mouseClick(child(dialog, button.toLatin1().constData()), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window->findChildren<MoreReset *>().isEmpty());

        QTest::qWait(300);
        const QList<QJsonObject> received = sim.received(18154, Wire::RESET_DEVICE);
        QCOMPARE(received.size(), resets);
        for (int i = 0; i < received.size(); ++i)
            QCOMPARE(received.at(i).value("device").toInt(), i);
    }

    void debug_window_shows_lines_while_open_in_colour()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 2));
        AdminService::instance()->debug("[S]before the window", 1);
        QTest::mouseClick(child(window, "label_admin"), Qt::LeftButton);
        Admin *admin = window->findChild<Admin *>();
        QVERIFY(admin && admin->isVisible());
        QVERIFY(centred(admin, window));
        QCOMPARE(child<QLabel>(admin, "label")->text(), QStringLiteral("Admin mode"));
        QListWidget *list = child<QListWidget>(admin, "listWidget");
        QCOMPARE(list->count(), 0);

        QTest::mouseClick(child(window, "pushButton_search"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 3000);
        QCOMPARE(list->item(0)->text(), QStringLiteral("[S]search"));
        QCOMPARE(list->item(0)->foreground().color(), QColor(180, 0, 180));
        for (int i = 1; i < 3; ++i) {
            QCOMPARE(list->item(i)->text(), QStringLiteral("[R]search msg from:192.168.147.11"));
            QCOMPARE(list->item(i)->foreground().color(), QColor(0, 180, 180));
        }
        AdminService::instance()->debug("[E]search device timeout", 3);
        AdminService::instance()->debug("[TCP]client:9 join", 0);
        AdminService::instance()->debug("no such type", 7);
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->item(3)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(list->item(4)->foreground().style(), Qt::NoBrush);   // the list's own colour
        saveShot("dialog-debug.png");

        // Reopened while open: a new, empty window replaces it.
        QTest::mouseClick(child(window, "label_admin"), Qt::LeftButton);
        QCOMPARE(window->findChildren<Admin *>().size(), 1);
        admin = window->findChild<Admin *>();
        QCOMPARE(child<QListWidget>(admin, "listWidget")->count(), 0);

        // Closed: lines raised meanwhile are not shown by the next one.
        QTest::mouseClick(child(admin, "label_close"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window->findChildren<Admin *>().isEmpty());
        AdminService::instance()->debug("[S]while closed", 1);
        QTest::mouseClick(child(window, "label_admin"), Qt::LeftButton);
        QCOMPARE(child<QListWidget>(window->findChild<Admin *>(), "listWidget")->count(), 0);
        window->closeAdmin();
        window->closeAdmin();   // a second close finds nothing to delete
    }

    void dialog_title_bar_drag_moves_by_the_drag()
    {
        QTest::mouseClick(child(window, "pushButton_moreReset"), Qt::LeftButton);
        MoreReset *dialog = window->findChild<MoreReset *>();
        QWidget *bar = child(dialog, "widget");
        const QPoint start = dialog->pos();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(200, 10));
        // The bar moves with the dialog, so each step lands the pointer at the
        // press point plus that step's movement.
        for (const QPoint step : {QPoint(3, 1), QPoint(4, 2), QPoint(8, 4)}) {
            QMouseEvent move(QEvent::MouseMove, QPoint(200, 10) + step, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(bar, &move);
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(208, 14));
        QCOMPARE(dialog->pos(), start + QPoint(15, 7));
        window->closeMoreReset();
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
