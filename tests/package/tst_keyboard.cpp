// The window and its dialogs without a mouse: the keys and the accessibility
// action that press label-buttons, English names for every control, Escape,
// Enter on a device row and the Tab order.

#include <QAccessible>
#include <QAbstractItemView>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/mainwindowfixture.h"
#include "ui/btn.h"
#include "ui/buttonaccess.h"
#include "ui/menuitem.h"
#include "ui/nettabbtn.h"
#include "ui/pswbtn.h"

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void label_buttons_press_on_enter_space_and_accessible_action_data();
    void label_buttons_press_on_enter_space_and_accessible_action();
    void every_control_has_an_english_name_and_escape_closes_the_dialog_data();
    void every_control_has_an_english_name_and_escape_closes_the_dialog();
    void enter_on_a_row_opens_network_config_for_that_device();
    void tab_walks_the_window_in_reading_order();

private:
    QWidget *open(const QByteArray &how);

    MainWindowFixture ui;
    DevsimProcess sim;
};

void TestKeyboard::initTestCase()
{
    QAccessible::installFactory(ButtonAccess::factory);
    QVERIFY(ui.show());
    QApplication::setActiveWindow(ui.window());
    QVERIFY(ui.fillList(sim, 3));
}

void TestKeyboard::label_buttons_press_on_enter_space_and_accessible_action_data()
{
    QTest::addColumn<QByteArray>("widget");
    QTest::addColumn<int>("key");   // 0: the accessibility press action
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("presses");
    QTest::newRow("Btn Return") << QByteArray("Btn") << int(Qt::Key_Return) << 0 << 1;
    QTest::newRow("Btn keypad Enter") << QByteArray("Btn") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
    QTest::newRow("Btn Space") << QByteArray("Btn") << int(Qt::Key_Space) << 0 << 1;
    QTest::newRow("Btn A") << QByteArray("Btn") << int(Qt::Key_A) << 0 << 0;
    QTest::newRow("Btn Ctrl+Return") << QByteArray("Btn") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Btn press action") << QByteArray("Btn") << 0 << 0 << 1;
    QTest::newRow("PswBtn Space") << QByteArray("PswBtn") << int(Qt::Key_Space) << 0 << 1;
    QTest::newRow("NetTabBtn Space") << QByteArray("NetTabBtn") << int(Qt::Key_Space) << 0 << 1;
    QTest::newRow("MenuItem Return") << QByteArray("MenuItem") << int(Qt::Key_Return) << 0 << 1;
    QTest::newRow("MenuItem press action") << QByteArray("MenuItem") << 0 << 0 << 1;
}

void TestKeyboard::label_buttons_press_on_enter_space_and_accessible_action()
{
    QFETCH(QByteArray, widget);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, presses);
    QScopedPointer<QWidget> button;
    const char *pressed = nullptr;
    if (widget == "Btn") {
        button.reset(new Btn);
        pressed = SIGNAL(clicked());
    } else if (widget == "PswBtn") {
        button.reset(new PswBtn);
        pressed = SIGNAL(clickMsg(bool));
    } else if (widget == "NetTabBtn") {
        button.reset(new NetTabBtn);
        pressed = SIGNAL(clickMsg(NetTabBtn *));
    } else {
        button.reset(new MenuItem);
        pressed = SIGNAL(clicked(MenuItem *));
    }
    QSignalSpy spy(button.data(), pressed);
    QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
    if (key) {
        QTest::keyClick(button.data(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    } else {
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(button.data());
        QCOMPARE(access->role(), QAccessible::Button);
        access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    QCOMPARE(spy.count(), presses);
}

QWidget *TestKeyboard::open(const QByteArray &how)
{
    if (how == "Debug") {
        // By keyboard: the focused label-button is pressed with Space.
        QWidget *debug = ui.child("label_admin");
        debug->setFocus();
        QTest::keyClick(debug, Qt::Key_Space);
    } else if (how == "Network Config") {
        ui.list()->setFocus();
        ui.list()->setCurrentIndex(ui.list()->model()->index(1, 0));
        QTest::keyClick(ui.list(), Qt::Key_Return);
    } else if (how == "Main Stream") {
        ui.rightClickRow(0);
        ui.chooseMenuEntry("widget_main");
    } else if (how == "LAN device reset") {
        ui.click("pushButton_moreReset");
    }
    // The dialog that took the keyboard focus.
    QWidget *focus = QApplication::focusWidget();
    while (focus && focus->parentWidget() != ui.window())
        focus = focus->parentWidget();
    return focus;
}

void TestKeyboard::every_control_has_an_english_name_and_escape_closes_the_dialog_data()
{
    QTest::addColumn<QByteArray>("dialog");
    QTest::newRow("main window") << QByteArray();
    QTest::newRow("debug") << QByteArray("Debug");
    QTest::newRow("network config") << QByteArray("Network Config");
    QTest::newRow("stream") << QByteArray("Main Stream");
    QTest::newRow("lan reset") << QByteArray("LAN device reset");
}

void TestKeyboard::every_control_has_an_english_name_and_escape_closes_the_dialog()
{
    QFETCH(QByteArray, dialog);
    // The new dialog has the keyboard focus, so Escape reaches it.
    QPointer<QWidget> shown = dialog.isEmpty() ? ui.window()->centralWidget() : open(dialog);
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    const QStringList labelButtons = {"Btn", "PswBtn", "NetTabBtn", "MenuItem"};
    for (QWidget *w : shown->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
            || qobject_cast<QComboBox *>(w) || qobject_cast<QTreeView *>(w)
            || labelButtons.contains(QLatin1String(w->metaObject()->className()));
        if (!control)
            continue;
        const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty(), w->objectName().toUtf8());
        for (QChar c : name)
            QVERIFY2(c.unicode() < 0x2e80, qPrintable(w->objectName() + QStringLiteral(": ") + name));
    }
    if (dialog.isEmpty())
        return;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([&] { return !shown || !shown->isVisible(); }, 1000));
}

void TestKeyboard::enter_on_a_row_opens_network_config_for_that_device()
{
    QWidget *config = open("Network Config");
    QVERIFY(config);
    QCOMPARE(config->metaObject()->className(), "DevManager");
    QCOMPARE(Devs::instance()->getSelected()->mac(), sim.mac(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
}

void TestKeyboard::tab_walks_the_window_in_reading_order()
{
    const QStringList expected = {"label_minize", "label_close", "lineEdit_fileAddress", "pushButton_file",
        "lineEdit_filter", "pushButton_export", "treeView", "pushButton_search", "pushButton_auto", "pushButton_clean", "pushButton_2",
        "pushButton_allIp", "pushButton", "pushButton_moreReset"};
    ui.child("label_admin")->setFocus();
    QStringList walked;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(walked, expected);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
