// The window and its dialogs without a mouse: English names for every control,
// Escape, Enter on a device row and the Tab order. How the label-buttons
// themselves press by keyboard is tst_widgets' business.

#include <QAccessible>
#include <QAbstractItemView>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTreeView>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/mainwindowfixture.h"
#include "ui/buttonaccess.h"

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
        "lineEdit_filter", "pushButton_export", "pushButton_import", "pushButton_report", "treeView", "pushButton_search", "pushButton_auto", "pushButton_clean", "pushButton_2",
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
