// The device list as the registry drives it: rows, texts, colours, selection
// and what a press raises.

#include <QtTest>
#include <QStandardItemModel>

#include "protocol/connect.h"
#include "registry/devs.h"
#include "ui/devlist.h"
#include "ui/treeview.h"

Q_DECLARE_METATYPE(Qt::MouseButton)

class TestDevList : public QObject
{
    Q_OBJECT

    Connect *engine = Connect::instance();
    Devs *devs = Devs::instance();
    DevList *list = nullptr;

    TreeView *view() const { return list->findChild<TreeView *>(QStringLiteral("treeView")); }
    QAbstractItemModel *model() const { return view()->model(); }
    QString text(int row, int column) const { return model()->index(row, column).data().toString(); }
    QColor colour(int row, int column) const { return model()->index(row, column).data(Qt::ForegroundRole).value<QBrush>().color(); }
    QString mac(int n) const { return QStringLiteral("00:11:22:33:44:%1").arg(n, 2, 10, QLatin1Char('0')); }

    // Device n answers a search from 192.168.147.(10 + n), with the address .(30 + n) or the one given.
    void answer(int n, int host = 0)
    {
        msg_broadcast_t r = Wire::emptyRecord();
        Wire::writeText(r.mac, mac(n));
        Wire::writeText(r.ip, QStringLiteral("192.168.147.%1").arg(host ? host : 30 + n));
        Wire::writeText(r.version, QStringLiteral("V2.3.%1").arg(n));
        emit engine->receiveMsg(QHostAddress(QStringLiteral("192.168.147.%1").arg(10 + n)), 1, r, Wire::BroadcastAnswerPort);
    }

    QPoint inWindow(int row) const { return view()->viewport()->mapTo(list, view()->visualRect(model()->index(row, 1)).center()); }

private slots:
    void init()
    {
        devs->clear();
        list = new DevList;
        list->resize(800, 400);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
    }

    void cleanup() { delete list; }

    void rows_follow_the_registry_and_show_each_answer()
    {
        for (int n = 1; n <= 12; ++n)
            answer(n);
        answer(3);   // a known device keeps its row
        QCOMPARE(model()->rowCount(), 12);
        const QStringList expected{"设备3", "192.168.147.33", "192.168.147.13:18153", mac(3), "V2.3.3", "在线"};
        for (int column = 0; column < expected.size(); ++column)
            QCOMPARE(text(2, column), expected.at(column));
        QCOMPARE(model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("MAC地址"));
        for (int row = 0; row < 12; ++row)
            QCOMPARE(text(row, 3), mac(row + 1));
    }

    void online_state_shows_in_text_and_colour()
    {
        answer(1);
        answer(2);
        devs->updateOnline();
        devs->updateOnline();
        answer(1);   // answers again: online after two searches without answer
        QCOMPARE(text(0, 5), QStringLiteral("在线"));
        QCOMPARE(text(1, 5), QStringLiteral("不在线"));
        for (int column = 0; column < 6; ++column) {
            QCOMPARE(colour(0, column), QColor(0, 0, 0));
            QCOMPARE(colour(1, column), QColor(180, 180, 180));
        }
    }

    void a_device_at_a_new_address_stands_out_for_a_while()
    {
        answer(1);
        answer(2);
        answer(1, 99);
        answer(2);
        const auto background = [this](int row) { return model()->index(row, 3).data(Qt::BackgroundRole).value<QBrush>(); };
        QCOMPARE(background(0).color(), QColor(255, 228, 160));
        QCOMPARE(background(1).style(), Qt::NoBrush);
        QTRY_COMPARE_WITH_TIMEOUT(background(0).style(), Qt::NoBrush, 6000);
    }

    void redraw_keeps_the_selected_row()
    {
        for (int n = 1; n <= 4; ++n)
            answer(n);
        QTest::mouseClick(list->windowHandle(), Qt::LeftButton, {}, inWindow(2));
        devs->updateOnline();
        answer(3);   // the selected row itself
        answer(1);   // another row
        answer(5);   // a new row
        const QModelIndexList rows = view()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().row(), 2);
        QVERIFY(view()->selectionModel()->isSelected(model()->index(2, 5)));
    }

    // The list emptied while the registry still holds its devices: whichever
    // row is announced first is drawn in its own place, the rows before it
    // stay blank until announced.
    void clean_list_empties_the_table_and_draws_later_rows_in_place()
    {
        for (int n = 1; n <= 3; ++n)
            answer(n);
        emit engine->cleanListMsg();
        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(model()->columnCount(), 6);
        answer(3);
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(text(2, 0), QStringLiteral("设备3"));
        QCOMPARE(text(0, 0), QString());
        answer(1);
        QCOMPARE(text(0, 3), mac(1));
        QCOMPARE(colour(0, 5), QColor(0, 0, 0));
        QCOMPARE(text(1, 0), QString());
    }

    void presses_raise_signals_in_order_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("row");   // -1: below the last row
        QTest::addColumn<QStringList>("raised");
        QTest::newRow("left press on row 1") << Qt::LeftButton << 1 << QStringList{"click", "select 1"};
        QTest::newRow("left press below the rows") << Qt::LeftButton << -1 << QStringList{"click"};
        QTest::newRow("right press on row 2") << Qt::RightButton << 2 << QStringList{"select 2", "menu"};
        QTest::newRow("right press below the rows") << Qt::RightButton << -1 << QStringList{"menu"};
    }

    void presses_raise_signals_in_order()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, row);
        QFETCH(QStringList, raised);
        for (int n = 1; n <= 3; ++n)
            answer(n);
        const QPoint point = row >= 0 ? inWindow(row) : view()->viewport()->mapTo(list, QPoint(100, 300));
        QStringList got;   // the menu's place is checked in the main window
        connect(list, &DevList::clickTreeViewMsg, this, [&] { got << "click"; });
        connect(list, &DevList::selectRowMsg, this, [&](int r) { got << QStringLiteral("select %1").arg(r); });
        connect(list, &DevList::openMenuMsg, this, [&] { got << "menu"; });
        QTest::mouseClick(list->windowHandle(), button, {}, point);
        disconnect(list, nullptr, this, nullptr);
        QCOMPARE(got, raised);
    }

    // Rows that come faster than the list redraws are drawn together; once
    // the answers stop, the view must draw again.
    void burst_of_answers_ends_with_the_list_drawn()
    {
        for (int n = 1; n <= 300; ++n)
            answer(n);
        QCOMPARE(model()->rowCount(), 300);
        QTRY_VERIFY(view()->updatesEnabled());
    }
};

QTEST_MAIN(TestDevList)
#include "tst_devlist.moc"
