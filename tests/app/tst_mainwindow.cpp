// The main window against simulated devices: each gesture reaches the device
// (the bytes are the engine tests' business) and its outcome shows; and what
// only the window shows: its dialogs opening alone, centred and in English,
// and closing by Escape or their close control.

#include <QtTest>
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/mainwindowfixture.h"
#include "support/records.h"
#include "app/commandfeedback.h"
#include "plan/addressrangeform.h"
#include "plan/plandryrun.h"
#include "report/closequestion.h"
#include "ui/morereset.h"
#include "ui/buttonaccess.h"
#include "ui/devmanager.h"
#include "ui/menu.h"
#include "update/updaterun.h"

// How a dialog opens, its class, its close button, and its title label and text.
struct DialogCase { QByteArray how; QString dialog, closer, titleLabel, title; };
Q_DECLARE_METATYPE(DialogCase)
// The ip, mask, gateway and dns typed, the warnings shown, and the press that sends (0: never).
struct InputCase { QStringList texts, warnings; int sentOnPress; };
Q_DECLARE_METATYPE(InputCase)

class TestMainWindow : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();

    QAbstractItemModel *model() const { return ui.list()->model(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    Menu *menu() const { return window->findChild<Menu *>(); }

    // The window's dialogs of one class, hidden ones included.
    QList<QWidget *> dialogs(const QString &className) const
    {
        QList<QWidget *> found = window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        found.erase(std::remove_if(found.begin(), found.end(), [&](QWidget *w) { return !w->inherits(qPrintable(className)); }), found.end());
        return found;
    }

    // Clicks the window's widget of that name, or else raises that menu command.
    void open(const QString &opener)
    {
        if (QWidget *widget = window->findChild<QWidget *>(opener))
            QTest::mouseClick(widget, Qt::LeftButton);
        else
            window->clickMenu(opener);
    }

    // The window's dialog of that class, opened by keyboard, a menu entry on
    // row 0, or the window's widget or menu command of that name.
    QWidget *openDialog(const QByteArray &how, const QString &className)
    {
        QApplication::setActiveWindow(window);
        if (how == "Space on Debug") {
            QWidget *debug = ui.child("label_admin");   // the focused label-button is pressed with Space
            debug->setFocus();
            QTest::keyClick(debug, Qt::Key_Space);
        } else if (how == "Enter on row 1") {
            ui.list()->setFocus();
            ui.list()->setCurrentIndex(model()->index(1, 0));
            QTest::keyClick(ui.list(), Qt::Key_Return);
        } else if (how.startsWith("widget_")) {
            ui.rightClickRow(0);
            ui.chooseMenuEntry(how);
        } else {
            open(how);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);   // a closed stream dialog goes late
        return dialogs(className).value(0);
    }

    // The first control without an English name for assistive technology, or empty.
    static QString unnamedControl(const QWidget *parent)
    {
        const QStringList labelButtons = {"Btn", "PswBtn", "NetTabBtn", "MenuItem"};
        for (QWidget *w : parent->findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                || qobject_cast<QComboBox *>(w) || qobject_cast<QTreeView *>(w)
                || labelButtons.contains(QLatin1String(w->metaObject()->className()));
            if (!control)
                continue;
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            if (name.isEmpty() || std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() >= 0x2e80; }))
                return w->objectName() + QStringLiteral(": ") + name;
        }
        return QString();
    }

    // The registry holds these made-up devices, as if each had answered a search.
    void know(const QList<msg_broadcast_t> &records)
    {
        engine->cleanSearch();
        for (const msg_broadcast_t &record : records)
            emit engine->receiveMsg(QHostAddress(QStringLiteral("192.168.147.11")), 1, record, Wire::BroadcastAnswerPort);
    }

    DevManager *openNetConfig(int row)
    {
        window->selectDev(row);
        window->clickMenu(QStringLiteral("config"));
        return window->findChild<DevManager *>();
    }

    template<typename T = QWidget>
    T *child(QWidget *parent, const char *name) const { return ui.child<T>(name, parent); }

private slots:
    void initTestCase()
    {
        QAccessible::installFactory(ButtonAccess::factory);   // as the tool does
        QVERIFY(ui.show());
        window = ui.window();
    }

    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void clean_list_refills_the_list_in_english_and_auto_search_starts_and_stops()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 2));
        ui.click("pushButton_clean");
        QCOMPARE(devs->getDevList().size(), 0);   // emptied before the new search's answers
        QTRY_COMPARE_WITH_TIMEOUT(model()->rowCount(), 2, 3000);   // Clean List searches again itself
        QCOMPARE(model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("IP address"));
        QCOMPARE(cell(1, 0), QStringLiteral("Device2"));
        QCOMPARE(cell(1, 5), QStringLiteral("Online"));
        QCOMPARE(ui.child<QPushButton>("pushButton_clean")->text(), QStringLiteral("Clean List"));
        QTRY_COMPARE(ui.child<QLabel>("label_count")->text(), QStringLiteral("2 devices, 2 online"));
        for (const QString &shown : {QStringLiteral("Stop search"), QStringLiteral("Auto search")}) {
            ui.click("pushButton_auto");
            QCOMPARE(engine->isAutoSearch(), shown == QLatin1String("Stop search"));
            QCOMPARE(ui.child<QPushButton>("pushButton_auto")->text(), shown);
        }
    }

    // Which devices get which address is the plan's; here the form must show it and reach them.
    void prepare_all_update_shows_the_plan_then_readdresses_the_devices_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled: nothing is sent") << false;
    }

    void prepare_all_update_shows_the_plan_then_readdresses_the_devices()
    {
        QFETCH(bool, confirm);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        ui.click("pushButton_allIp");
        auto *form = window->findChild<AddressRangeForm *>();
        QVERIFY(form && form->isVisible());
        QCOMPARE(ui.child<QLineEdit>("lineEdit_first", form)->text(), QStringLiteral("192.168.147.2"));
        QCOMPARE(model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Assigned address"));
        QVERIFY(!ui.list()->isColumnHidden(7));
        QCOMPARE(cell(2, 7), QStringLiteral("192.168.147.4"));
        QTest::mouseClick(ui.child<QPushButton>(confirm ? "pushButton_submit" : "pushButton_cancel", form), Qt::LeftButton);
        QVERIFY(ui.list()->isColumnHidden(7));
        if (!confirm) {
            QVERIFY(ui.settle(sim));
            QVERIFY(sim.received(Wire::SearchPort, Wire::SET_NETWORK).isEmpty());
            return;
        }
        // The devices answer the closing search with their new addresses.
        QTRY_COMPARE_WITH_TIMEOUT(cell(2, 1), QStringLiteral("192.168.147.4"), 3000);
        QCOMPARE(cell(0, 1), QStringLiteral("192.168.147.2"));
    }

    void site_plan_dry_run_then_apply_sends_each_device_its_settings()
    {
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        window->findChild<CommandFeedback *>()->setFollowUps({300, 600, 900});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.csv"));
        QFile csv(path);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        // Semicolons, a quoted label with the separator in it, device 3 already so.
        csv.write("mac;ip;mask;gateway;dns;label\r\n"
                  "00:1A:2B:3C:00:01;192.168.147.61;255.255.255.0;192.168.147.1;192.168.147.1;\"Dock; east\"\r\n"
                  "00:1A:2B:3C:00:00;192.168.147.60;255.255.0.0;192.168.147.254;8.8.8.8;Gate\r\n"
                  "00:1A:2B:3C:00:02;192.168.147.22;255.255.255.0;192.168.147.1;192.168.147.1;\r\n");
        csv.close();
        window->openPlan(path);
        auto *dryRun = window->findChild<PlanDryRun *>();
        QVERIFY(dryRun && dryRun->isVisible());
        QVERIFY(ui.settle(sim));
        QVERIFY(sim.received(Wire::SearchPort, Wire::SET_NETWORK).isEmpty());   // nothing before Apply
        auto *apply = ui.child<QPushButton>("pushButton_apply", dryRun);
        QCOMPARE(apply->text(), QStringLiteral("Apply 2 changes"));
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(Wire::SearchPort, Wire::SET_NETWORK).size() == 2; }));
        // In plan order, each the whole 292-byte message: header, then the record's mac, ip, mask, gateway, dns.
        const QList<QJsonObject> sets = sim.received(Wire::SearchPort, Wire::SET_NETWORK);
        const QStringList expected[] = {{"00:1A:2B:3C:00:01", "192.168.147.61", "255.255.255.0", "192.168.147.1", "192.168.147.1"},
                                        {"00:1A:2B:3C:00:00", "192.168.147.60", "255.255.0.0", "192.168.147.254", "8.8.8.8"}};
        for (int i = 0; i < 2; ++i) {
            QByteArray bytes = QByteArray::fromHex("61a80000140100000000000000000000").leftJustified(292, '\0');
            const int offsets[] = {52, 76, 92, 108, 152};
            const int widths[] = {24, 16, 16, 16, 16};
            for (int field = 0; field < 5; ++field)
                bytes.replace(offsets[field], widths[field], TestRecords::field(expected[i].at(field), widths[field]));
            QCOMPARE(DevsimProcess::hex(sets.at(i)), bytes);
        }
        // The follow-up searches find both at their planned addresses.
        QTRY_COMPARE_WITH_TIMEOUT(ui.child<QLabel>("label_feedback")->text(),
                                  QStringLiteral("2 of 2 devices answer at their planned address"), 5000);
        QCOMPARE(cell(0, 6), QStringLiteral("Gate"));
        QCOMPARE(cell(1, 6), QStringLiteral("Dock; east"));
        QTest::mouseClick(ui.child<QPushButton>("pushButton_cancel", dryRun), Qt::LeftButton);
    }

    void site_report_holds_what_was_done_and_closing_asks_for_it_first()
    {
        QTemporaryDir dir;
        const QString package = dir.filePath(QStringLiteral("firmware.bin"));
        QFile file(package);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3 * 8192, 'x')) == 3 * 8192);
        file.close();
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 12, {"--package", package, "--restart-ms", "50", "--install-ms", "50", "--update-fault", "5:close"}));
        devs->selectDev(3);
        engine->changeNet("192.168.147.77", "255.255.255.0", "192.168.147.1", "192.168.147.1", false);
        ui.click("pushButton_search");
        QTRY_COMPARE_WITH_TIMEOUT(cell(3, 1), QStringLiteral("192.168.147.77"), 3000);
        // Two devices updated, the second hanging up as soon as it has connected back.
        QSignalSpy over(UpdateRun::instance(), SIGNAL(updateAllFinishMsg(int,int)));
        UpdateRun::instance()->startUpdate(package, {devs->getDevList().at(4), devs->getDevList().at(5)});
        QVERIFY(over.wait(20000));
        QCOMPARE(over.first(), (QList<QVariant>{1, 1}));

        // Closing now asks first; Cancel keeps the tool open.
        QCOMPARE(window->close(), 0);
        auto *question = window->findChild<CloseQuestion *>();
        QVERIFY(question && question->isVisible());
        QTest::mouseClick(ui.child<QPushButton>("pushButton_cancel", question), Qt::LeftButton);
        QVERIFY(!question->isVisible());

        const QString path = dir.filePath(QStringLiteral("site-report.pdf"));
        QVERIFY(window->saveSiteReport(path));
        QCOMPARE(ui.child<QLabel>("label_feedback")->text(), QStringLiteral("Site report saved to ") + path);
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(10000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
        // Each action reached the report; its layout and order are tst_report's.
        // (a changed address takes two lines of its cell)
        const QString update = QStringLiteral(" Firmware update firmware.bin (24,576 bytes, MD5 ");
        for (const QString &line : {QStringLiteral("Devices found: 12"), QStringLiteral("00:1A:2B:3C:00:03 192.168.147.23 →"),
                                    QStringLiteral("Network settings sent (Network Config): address 192.168.147.23 → 192.168.147.77"),
                                    "00:1A:2B:3C:00:04" + update, "00:1A:2B:3C:00:05" + update,
                                    QStringLiteral("Failures and their reasons (1)"), QStringLiteral("failed: disconnected at packet 0 of 3")})
            QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in ") + text.right(900)));
    }

    void repair_search_reaches_the_devices()
    {
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "1"}));
        ui.click("pushButton_2");
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(Wire::CommandPort, Wire::RESET_DEVICE).isEmpty(); }));
    }

    void reset_reaches_the_chosen_devices_only_data()
    {
        QTest::addColumn<QString>("gesture");   // the menu entry on row 2, or a LAN reset dialog button
        QTest::addColumn<QList<int>>("devices");
        QTest::newRow("menu on row 2") << "widget_reset" << QList<int>{2};
        QTest::newRow("LAN reset confirmed") << "pushButton_submit" << QList<int>{0, 1, 2};
        QTest::newRow("LAN reset cancelled") << "pushButton_refuse" << QList<int>{};
        QTest::newRow("LAN reset closed") << "label_2" << QList<int>{};
    }

    void reset_reaches_the_chosen_devices_only()
    {
        QFETCH(QString, gesture);
        QFETCH(QList<int>, devices);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        QWidget *closed = menu();
        if (gesture == QLatin1String("widget_reset")) {
            ui.rightClickRow(2);
            QTest::mouseClick(ui.list()->viewport(), Qt::LeftButton, {}, ui.list()->visualRect(model()->index(0, 1)).center());
            QVERIFY(!menu()->isVisible());   // a left press in the list closes it
            ui.rightClickRow(2);
            ui.chooseMenuEntry("widget_reset");
        } else {
            ui.click("pushButton_moreReset");
            closed = dialogs("MoreReset").value(0);
            QTest::mouseClick(child(closed, qPrintable(gesture)), Qt::LeftButton);
        }
        QVERIFY(!closed->isVisible());
        // Resets and the settling search come on different ports: wait for the resets first.
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return sim.received(Wire::CommandPort, Wire::RESET_DEVICE).size() >= devices.size(); }));
        QVERIFY(ui.settle(sim));
        QList<int> reset;
        for (const QJsonObject &event : sim.received(Wire::CommandPort, Wire::RESET_DEVICE))
            reset << event.value("device").toInt();
        QCOMPARE(reset, devices);
    }

    void network_dialog_shows_the_device_readdresses_it_and_sets_dhcp()
    {
        DevsimProcess sim;
        // On DHCP, with a mask, a gateway and a DNS server each of its own.
        QVERIFY(ui.fillList(sim, 3, {"--ipmode", "0", "--mask", "255.255.0.0", "--dns", "192.168.147.2"}));
        DevManager *dialog = openNetConfig(1);
        QStringList shown;
        for (const char *edit : {"lineEdit_ip", "lineEdit_mask", "lineEdit_gate", "lineEdit_dns"})
            shown << child<QLineEdit>(dialog, edit)->text();
        QCOMPARE(shown, (QStringList{sim.ip(1), "255.255.0.0", "192.168.147.1", "192.168.147.2"}));
        auto *on = child<QCheckBox>(dialog, "checkBox_dhcpOn");
        QVERIFY(on->isChecked() && !child(dialog, "lineEdit_ip")->isEnabled());   // a record's ipMode 0 is DHCP
        QTest::mouseClick(child(dialog, "checkBox_dhcpOff"), Qt::LeftButton);
        QVERIFY(!on->isChecked() && child(dialog, "lineEdit_ip")->isEnabled());
        QTest::mouseClick(child(dialog, "checkBox_dhcpOff"), Qt::LeftButton);   // unchecking Close checks Open again
        QVERIFY(on->isChecked());
        QTest::mouseClick(child(dialog, "checkBox_dhcpOff"), Qt::LeftButton);
        child<QLineEdit>(dialog, "lineEdit_ip")->setText("192.168.147.88");
        QTest::mouseClick(child(dialog, "pushButton_submit"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(cell(1, 1), QStringLiteral("192.168.147.88"), 3000);
        QCOMPARE(sim.received(Wire::SearchPort, Wire::SET_NETWORK).first().value("device").toInt(), 1);
        QCOMPARE(devs->getDevList().at(1)->info.ipMode, quint16(1));
        dialog = openNetConfig(1);
        QTest::mouseClick(child(dialog, "checkBox_dhcpOn"), Qt::LeftButton);
        QTest::mouseClick(child(dialog, "pushButton_submit"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().at(1)->info.ipMode, quint16(0), 3000);
    }

    void malformed_input_shows_its_warning_and_sends_nothing_data()
    {
        QTest::addColumn<InputCase>("c");
        const QStringList good{"192.168.147.60", "255.255.255.0", "192.168.147.1", "8.8.8.8"};
        auto with = [&](int i, const QString &text) { QStringList t = good; t[i] = text; return t; };
        QTest::newRow("all good") << InputCase{good, {}, 1};
        QTest::newRow("ip part over 255") << InputCase{with(0, "192.168.147.300"), {"*Invalid IP address"}, 0};
        QTest::newRow("broadcast as ip") << InputCase{with(0, "192.168.147.255"), {"*Not a usable host address"}, 0};
        QTest::newRow("mask with holes") << InputCase{with(1, "255.0.255.0"), {"*Invalid subnet mask"}, 0};
        QTest::newRow("garbled dns") << InputCase{with(3, "8.8.8"), {"*Invalid DNS server"}, 0};
        QTest::newRow("two bad fields") << InputCase{{"", "255.255.255.0", "x", "8.8.8.8"}, {"*Please enter IP", "*Invalid gateway"}, 0};
        // A gateway elsewhere may be meant: it warns once, and the second press sends.
        QTest::newRow("gateway outside the subnet")
                << InputCase{with(2, "192.168.1.1"), {"*Gateway outside the subnet: press Setting again to send"}, 2};
    }

    void malformed_input_shows_its_warning_and_sends_nothing()
    {
        QFETCH(InputCase, c);
        msg_broadcast_t record = TestRecords::record("00:1A:2B:3C:00:06");
        record.ipMode = 1;   // a static address: the texts are checked
        know({record});
        DevManager *dialog = openNetConfig(0);
        const char *const edits[] = {"lineEdit_ip", "lineEdit_mask", "lineEdit_gate", "lineEdit_dns"};
        for (int i = 0; i < 4; ++i)
            child<QLineEdit>(dialog, edits[i])->setText(c.texts.at(i));
        QSignalSpy changes(engine, SIGNAL(sendNetEditMsg()));
        QTest::mouseClick(child(dialog, "pushButton_submit"), Qt::LeftButton);
        QCOMPARE(changes.size(), c.sentOnPress == 1 ? 1 : 0);
        QStringList shown;
        for (const char *name : {"label_worIp", "label_worMask", "label_worGate", "label_worDns"})
            if (child(dialog, name)->isVisible())
                shown << child<QLabel>(dialog, name)->text();
        QCOMPARE(shown, c.warnings);
        if (c.sentOnPress != 1) {
            QTest::mouseClick(child(dialog, "pushButton_submit"), Qt::LeftButton);
            QCOMPARE(changes.size(), c.sentOnPress == 2 ? 1 : 0);
        }
        QCOMPARE(dialog->isVisible(), c.sentOnPress == 0);
    }

    // Each dialog by keyboard where there is a way to it (how label-buttons
    // press by keyboard is tst_widgets' business), else by its widget or menu command.
    void dialog_opens_alone_centred_in_english_and_closes_data()
    {
        QTest::addColumn<DialogCase>("c");
        QTest::newRow("network config: Enter on a row")
                << DialogCase{"Enter on row 1", "DevManager", "pushButton_cancle", "label_9", "Network config"};
        QTest::newRow("lan reset") << DialogCase{"pushButton_moreReset", "MoreReset", "label_2", "label", "LAN device reset"};
        QTest::newRow("debug: Space") << DialogCase{"Space on Debug", "Admin", "label_close", "label", "Admin mode"};
        QTest::newRow("stream") << DialogCase{"widget_main", "VideoInfo", "pushButton_cancle", "", ""};
        // These have no entry in the English catalogue and stay Chinese.
        QTest::newRow("hardware") << DialogCase{"hardware", "Hardware", "label_close", "label", "硬件接口"};
        QTest::newRow("disks") << DialogCase{"hardDisk", "HardDisk", "label_close", "label", "磁盘管理"};
    }

    void dialog_opens_alone_centred_in_english_and_closes()
    {
        QFETCH(DialogCase, c);
        DevsimProcess sim;
        QVERIFY(ui.fillList(sim, 3));
        QPointer<QWidget> first = openDialog(c.how, c.dialog);
        QPointer<QWidget> shown = openDialog(c.how, c.dialog);
        QVERIFY(!first);
        QCOMPARE(dialogs(c.dialog).size(), 1);
        QVERIFY(shown && shown->isVisible());
        if (c.how == "Enter on row 1")
            QCOMPARE(devs->getSelected() ? devs->getSelected()->mac() : QString(), sim.mac(1));
        QCOMPARE(shown->pos(), QPoint((window->width() - shown->width()) / 2, (window->height() - shown->height()) / 2));
        if (!c.titleLabel.isEmpty())
            QCOMPARE(child<QLabel>(shown, qPrintable(c.titleLabel))->text(), c.title);
        if (c.title.isEmpty() || c.title.at(0).unicode() < 0x2e80) {
            const QString unnamed = unnamedControl(shown);
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed));
        }
        // The new dialog has the keyboard focus, so Escape reaches it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return !shown || !shown->isVisible(); }, 1000));
        shown = openDialog(c.how, c.dialog);
        QTest::mouseClick(child(shown, qPrintable(c.closer)), Qt::LeftButton);
        QVERIFY(!shown || !shown->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
