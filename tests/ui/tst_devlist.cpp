#include <QtTest>

#include <QHeaderView>
#include <QStandardItemModel>

#include "protocol/connect.h"
#include "registry/devs.h"
#include "ui/devlist.h"
#include "ui/treeview.h"

Q_DECLARE_METATYPE(Qt::MouseButton)

namespace {

msg_broadcast_t record(int n)
{
    msg_broadcast_t r = Wire::emptyRecord();
    Wire::writeText(r.mac, QStringLiteral("00:11:22:33:44:%1").arg(n, 2, 10, QLatin1Char('0')));
    Wire::writeText(r.ip, QStringLiteral("192.168.147.%1").arg(30 + n));
    Wire::writeText(r.version, QStringLiteral("V2.3.%1").arg(n));
    return r;
}

QColor foreground(const QModelIndex &index)
{
    return index.data(Qt::ForegroundRole).value<QBrush>().color();
}

} // namespace

// The device list as the registry drives it. Runs in the lab: the registry
// brings up the protocol engine with its sockets.
class TestDevList : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    Devs *devs = nullptr;
    DevList *list = nullptr;

    TreeView *view() const { return list->findChild<TreeView *>(QStringLiteral("treeView")); }
    QAbstractItemModel *model() const { return view()->model(); }
    QString text(int row, int column) const { return model()->index(row, column).data().toString(); }

    // Device n answers a search from 192.168.147.(10 + n).
    void answer(int n)
    {
        emit engine->receiveMsg(QHostAddress(QStringLiteral("192.168.147.%1").arg(10 + n)), 1, record(n),
                                Wire::BroadcastAnswerPort);
    }

    QPoint inWindow(int row) const
    {
        const QRect cell = view()->visualRect(model()->index(row, 1));
        return view()->viewport()->mapTo(list, cell.center());
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        devs = Devs::instance();
    }

    void init()
    {
        devs->clear();
        list = new DevList;
        list->resize(800, 400);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
    }

    void cleanup()
    {
        delete list;
        list = nullptr;
    }

    void first_answer_becomes_row_zero()
    {
        answer(1);

        QCOMPARE(model()->rowCount(), 1);
        const QStringList expected = {"设备1", "192.168.147.31", "192.168.147.11:18153", "00:11:22:33:44:01",
                                      "V2.3.1", "在线"};
        for (int column = 0; column < expected.size(); ++column)
            QCOMPARE(text(0, column), expected.at(column));
        QCOMPARE(model()->index(0, 0).data(Qt::DecorationRole).userType(), int(QMetaType::QIcon));
        QVERIFY(!model()->hasChildren(model()->index(0, 0)));
    }

    void rows_follow_registry_order_and_numbering()
    {
        for (int n = 1; n <= 12; ++n)
            answer(n);
        answer(3);   // a known device keeps its row

        QCOMPARE(model()->rowCount(), 12);
        for (int row = 0; row < 12; ++row) {
            QCOMPARE(text(row, 0), QStringLiteral("设备%1").arg(row + 1));
            QCOMPARE(text(row, 3), QStringLiteral("00:11:22:33:44:%1").arg(row + 1, 2, 10, QLatin1Char('0')));
        }
    }

    void online_state_shows_in_text_and_colour_data()
    {
        QTest::addColumn<int>("searches");        // searches without answers after the first answer
        QTest::addColumn<bool>("answersAgain");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QColor>("colour");

        const QColor black(0, 0, 0);
        const QColor grey(180, 180, 180);
        QTest::newRow("answered") << 0 << false << "在线" << black;
        QTest::newRow("search without answer") << 1 << false << "不在线" << grey;
        QTest::newRow("two searches without answer") << 2 << false << "不在线" << grey;
        QTest::newRow("answers again") << 1 << true << "在线" << black;
    }

    void online_state_shows_in_text_and_colour()
    {
        QFETCH(int, searches);
        QFETCH(bool, answersAgain);
        QFETCH(QString, state);
        QFETCH(QColor, colour);

        answer(1);
        answer(2);
        for (int i = 0; i < searches; ++i)
            devs->updateOnline();
        if (answersAgain)
            answer(2);

        QCOMPARE(text(1, 5), state);
        for (int column = 0; column < 6; ++column)
            QCOMPARE(foreground(model()->index(1, column)), colour);
        QCOMPARE(text(1, 0), QStringLiteral("设备2"));
    }

    void redraw_keeps_selected_row_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("redrawn");

        QTest::newRow("row 0 selected, row 3 redrawn") << 0 << 3;
        QTest::newRow("row 2 selected, row 2 redrawn") << 2 << 2;
        QTest::newRow("row 3 selected, new row 4 added") << 3 << 4;
    }

    void redraw_keeps_selected_row()
    {
        QFETCH(int, selected);
        QFETCH(int, redrawn);

        for (int n = 1; n <= 4; ++n)
            answer(n);
        QTest::mousePress(list->windowHandle(), Qt::LeftButton, {}, inWindow(selected));
        QTest::mouseRelease(list->windowHandle(), Qt::LeftButton, {}, inWindow(selected));

        devs->updateOnline();
        answer(redrawn + 1);

        const QModelIndexList rows = view()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().row(), selected);
        for (int column = 0; column < 6; ++column)
            QVERIFY(view()->selectionModel()->isSelected(model()->index(selected, column)));
    }

    // Thousands of devices answer every search: a redraw must not make the
    // view relay out or repaint other rows.
    void redraw_of_known_row_touches_only_that_row()
    {
        for (int n = 1; n <= 5; ++n)
            answer(n);
        QSignalSpy layout(model(), SIGNAL(layoutChanged()));
        QSignalSpy inserted(model(), SIGNAL(rowsInserted(QModelIndex,int,int)));
        QSignalSpy changed(model(), SIGNAL(dataChanged(QModelIndex,QModelIndex,QVector<int>)));

        devs->updateOnline();   // every row goes grey, one announcement each
        answer(3);

        QCOMPARE(layout.size(), 0);
        QCOMPARE(inserted.size(), 0);
        QVERIFY(!changed.isEmpty());
        QSet<int> touchedAfterSearch;
        for (const QList<QVariant> &args : qAsConst(changed)) {
            const auto from = args.at(0).value<QModelIndex>();
            const auto to = args.at(1).value<QModelIndex>();
            QCOMPARE(from.row(), to.row());
            touchedAfterSearch << from.row();
        }
        QCOMPARE(touchedAfterSearch, (QSet<int>{0, 1, 2, 3, 4}));

        // An answer that changes nothing changes no cell.
        changed.clear();
        answer(3);
        QCOMPARE(changed.size(), 0);
    }

    void clean_list_empties_table_and_keeps_headers()
    {
        answer(1);
        answer(2);
        emit engine->cleanListMsg();

        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(model()->columnCount(), 6);
        const QStringList headers = {"", "IP地址", "信息源地址", "MAC地址", "软件版本", "在线"};
        for (int column = 0; column < 6; ++column)
            QCOMPARE(model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
        QVERIFY(!view()->header()->isHidden());

        devs->clear();
        answer(7);
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(text(0, 0), QStringLiteral("设备1"));
        QCOMPARE(text(0, 3), QStringLiteral("00:11:22:33:44:07"));
        QCOMPARE(view()->visualRect(model()->index(0, 0)).top(), 0);
    }

    // The list emptied while the registry still holds its devices: whichever
    // row is announced first is drawn in its own place, the rows before it
    // stay blank until announced.
    void row_announced_past_the_end_is_drawn_in_place()
    {
        for (int n = 1; n <= 3; ++n)
            answer(n);
        list->cleanList();

        answer(3);
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(text(2, 0), QStringLiteral("设备3"));
        QCOMPARE(text(0, 0), QString());

        answer(1);
        QCOMPARE(text(0, 0), QStringLiteral("设备1"));
        QCOMPARE(text(0, 3), QStringLiteral("00:11:22:33:44:01"));
        QCOMPARE(foreground(model()->index(0, 5)), QColor(0, 0, 0));
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

        QStringList got;
        QPoint menuAt;
        connect(list, &DevList::clickTreeViewMsg, this, [&] { got << "click"; });
        connect(list, &DevList::selectRowMsg, this, [&](int r) { got << QStringLiteral("select %1").arg(r); });
        connect(list, &DevList::selectChannelMsg, this, [&](int, int) { got << "channel"; });
        connect(list, &DevList::openMenuMsg, this, [&](QPoint pos) { got << "menu"; menuAt = pos; });

        QTest::mousePress(list->windowHandle(), button, {}, point);
        QTest::mouseRelease(list->windowHandle(), button, {}, point);
        disconnect(list, nullptr, this, nullptr);

        QCOMPARE(got, raised);
        if (raised.contains("menu"))
            QCOMPARE(menuAt, view()->viewport()->mapFrom(list, point));
    }

    void burst_of_answers_ends_with_the_list_redrawn()
    {
        // Rows that come faster than the list redraws are drawn together; once
        // the answers stop, the view must draw again and keep drawing.
        for (int n = 1; n <= 300; ++n)
            answer(n);
        QCOMPARE(model()->rowCount(), 300);
        QTRY_VERIFY(view()->updatesEnabled());
        QTest::qWait(100);
        QVERIFY(view()->updatesEnabled());
        view()->scrollToBottom();
        const QImage shot = view()->viewport()->grab().toImage();
        const QRect last = view()->visualRect(model()->index(299, 3));
        QVERIFY(view()->viewport()->rect().contains(last.center()));
        // The last row's mac text is drawn: its cell is not plain background.
        bool inked = false;
        for (int x = last.left(); x < last.right() && !inked; ++x)
            inked = shot.pixelColor(x, last.center().y()).lightness() < 128;
        QVERIFY(inked);
    }
};

QTEST_MAIN(TestDevList)
#include "tst_devlist.moc"
