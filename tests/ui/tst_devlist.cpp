// The device list as the registry drives it: rows, texts, colours, sorting,
// filtering, export, and the selection following a device that moves.

#include <QtTest>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>

#include "protocol/connect.h"
#include "registry/devs.h"
#include "ui/devlist.h"
#include "ui/treeview.h"

// The column sorted, in which order, and the devices top to bottom.
struct SortCase { int column; Qt::SortOrder order; QList<int> devices; };
Q_DECLARE_METATYPE(SortCase)
// The filter typed, the macs left and the counts shown.
struct FilterCase { QString filter; QStringList macs; QString counts; };
Q_DECLARE_METATYPE(FilterCase)

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

    // Device n answers a search from 192.168.147.(10 + n), with the address
    // .(30 + n) or the one given, and the version V2.3.n or the one given.
    void answer(int n, int host = 0, const QString &version = QString())
    {
        msg_broadcast_t r = Wire::emptyRecord();
        Wire::writeText(r.mac, mac(n));
        Wire::writeText(r.ip, QStringLiteral("192.168.147.%1").arg(host ? host : 30 + n));
        Wire::writeText(r.version, version.isEmpty() ? QStringLiteral("V2.3.%1").arg(n) : version);
        emit engine->receiveMsg(QHostAddress(QStringLiteral("192.168.147.%1").arg(10 + n)), 1, r, Wire::BroadcastAnswerPort);
    }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < model()->rowCount(); ++row)
            texts << text(row, c);
        return texts;
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

    // Rows that come faster than the list redraws are drawn together; once
    // the answers stop, the view must draw again.
    void rows_follow_a_burst_of_answers_and_show_each_answer_the_online_state_and_a_move()
    {
        for (int n = 1; n <= 300; ++n)
            answer(n);
        answer(3);   // a known device keeps its row
        QCOMPARE(model()->rowCount(), 300);
        QTRY_VERIFY(view()->updatesEnabled());
        const QStringList expected{"设备3", "192.168.147.33", "192.168.147.13:18153", mac(3), "V2.3.3", "在线"};
        for (int column = 0; column < expected.size(); ++column)
            QCOMPARE(text(2, column), expected.at(column));
        QCOMPARE(model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("MAC地址"));
        for (int row = 0; row < 12; ++row)
            QCOMPARE(text(row, 3), mac(row + 1));
        devs->updateOnline();
        devs->updateOnline();
        answer(1, 99);   // answers again, at a new address: online after two searches without answer
        QCOMPARE(text(0, 5), QStringLiteral("在线"));
        QCOMPARE(text(1, 5), QStringLiteral("不在线"));
        for (int column = 0; column < 6; ++column) {
            QCOMPARE(colour(0, column), QColor(0, 0, 0));
            QCOMPARE(colour(1, column), QColor(180, 180, 180));
        }
        // The device at its new address stands out for a while.
        const auto background = [this](int row) { return model()->index(row, 3).data(Qt::BackgroundRole).value<QBrush>(); };
        QCOMPARE(background(0).color(), QColor(255, 228, 160));
        QCOMPARE(background(2).style(), Qt::NoBrush);   // device 3 answered again at its own address
        QTRY_COMPARE_WITH_TIMEOUT(background(0).style(), Qt::NoBrush, 6000);
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
        QCOMPARE(model()->columnCount(), 8);
        answer(3);
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(text(2, 0), QStringLiteral("设备3"));
        QCOMPARE(text(0, 0), QString());
        answer(1);
        QCOMPARE(text(0, 3), mac(1));
        QCOMPARE(colour(0, 5), QColor(0, 0, 0));
        QCOMPARE(text(1, 0), QString());
    }

    void header_click_sorts_as_a_person_reads_data()
    {
        QTest::addColumn<SortCase>("c");
        // Device 1 at .10 with V2.3.10, device 2 at .9 with V10.0.1 and offline, device 3 at .100 with V2.3.9.
        QTest::newRow("address: .9, .10, .100") << SortCase{1, Qt::AscendingOrder, {2, 1, 3}};
        QTest::newRow("version: 2.3.9, 2.3.10, 10.0.1") << SortCase{4, Qt::AscendingOrder, {3, 1, 2}};
        QTest::newRow("online first, then in registry order") << SortCase{5, Qt::AscendingOrder, {1, 3, 2}};
        QTest::newRow("name: the registry order") << SortCase{0, Qt::DescendingOrder, {3, 2, 1}};
    }

    void header_click_sorts_as_a_person_reads()
    {
        QFETCH(SortCase, c);
        const QList<int> &devices = c.devices;
        answer(1, 10, "V2.3.10");
        answer(2, 9, "V10.0.1");
        answer(3, 100, "V2.3.9");
        devs->updateOnline();
        devs->updateOnline();
        answer(1, 10, "V2.3.10");
        answer(3, 100, "V2.3.9");
        const QPoint header(view()->header()->sectionViewportPosition(c.column) + 20, 5);
        QTest::mouseClick(view()->header()->viewport(), Qt::LeftButton, {}, header);
        if (view()->header()->sortIndicatorOrder() != c.order)
            QTest::mouseClick(view()->header()->viewport(), Qt::LeftButton, {}, header);
        QStringList expected;
        for (int device : devices)
            expected << mac(device);
        QCOMPARE(column(3), expected);

        // The device in the top row moves when it answers at another address;
        // its row is rewritten, a new device comes, and the selection and a press follow it.
        QSignalSpy selected(list, SIGNAL(selectRowMsg(int)));
        QTest::mouseClick(list->windowHandle(), Qt::LeftButton, {}, inWindow(0));
        answer(devices.first(), 250, "V99");
        answer(4);
        QCOMPARE(model()->rowCount(), 4);
        QCOMPARE(view()->selectionModel()->selectedRows(3).value(0).data().toString(), mac(devices.first()));
        QCOMPARE(list->selectedDevRows(), QList<int>{devices.first() - 1});
        QCOMPARE(selected.takeFirst().at(0).toInt(), devices.first() - 1);
    }

    void filter_keeps_matching_rows_and_counts_them_data()
    {
        QTest::addColumn<FilterCase>("c");
        QTest::newRow("part of a mac") << FilterCase{"44:1", {mac(10), mac(11), mac(12)}, "3/12台设备，2/11台在线"};
        QTest::newRow("version, any case") << FilterCase{"v2.3.1", {mac(1), mac(10), mac(11), mac(12)}, "4/12台设备，3/11台在线"};
        QTest::newRow("source address") << FilterCase{"147.13:", {mac(3)}, "1/12台设备，1/11台在线"};
        QTest::newRow("address") << FilterCase{".147.40", {mac(10)}, "1/12台设备，0/11台在线"};
        QTest::newRow("none") << FilterCase{"zz", {}, "0/12台设备，0/11台在线"};
        QStringList all;
        for (int n = 1; n <= 12; ++n)
            all << mac(n);
        QTest::newRow("only spaces: all") << FilterCase{" ", all, "12台设备，11台在线"};
    }

    void filter_keeps_matching_rows_and_counts_them()
    {
        QFETCH(FilterCase, c);
        QSignalSpy shown(list, SIGNAL(countsMsg(QString)));
        for (int n = 1; n <= 12; ++n)
            answer(n);
        devs->updateOnline();
        devs->updateOnline();
        for (int n = 1; n <= 12; ++n) {
            if (n != 10)
                answer(n);
        }
        QTest::keyClicks(list->findChild<QLineEdit *>(QStringLiteral("lineEdit_filter")), c.filter);
        QCOMPARE(column(3), c.macs);
        QTRY_COMPARE(shown.isEmpty() ? QString() : shown.last().at(0).toString(), c.counts);
    }

    // A device names its own version: commas, quotes and formulas must come back as sent.
    void exported_csv_reads_back_in_a_csv_reader()
    {
        answer(1, 0, "V1,\"beta\"");
        answer(2, 0, "=HYPERLINK(1)");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.csv"));
        QCOMPARE(list->exportTo(path), QStringLiteral("已导出2台设备到%1").arg(path));
        QProcess reader;
        reader.start("python3", {"-c", "import csv,json,sys; print(json.dumps(list(csv.reader(open(sys.argv[1], encoding='utf-8', newline='')))))", path});
        QVERIFY(reader.waitForFinished(10000) && reader.exitCode() == 0);
        const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).toArray().at(3).toString(), QStringLiteral("MAC地址"));
        QCOMPARE(rows.at(1).toArray().at(4).toString(), QStringLiteral("V1,\"beta\""));
        QCOMPARE(rows.at(2).toArray().at(4).toString(), QStringLiteral("'=HYPERLINK(1)"));
        QCOMPARE(rows.at(2).toArray().at(0).toString(), QStringLiteral("设备2"));
        QVERIFY(list->exportTo(dir.filePath(QStringLiteral("missing/site.csv"))).startsWith(QStringLiteral("无法写入")));
    }
};

QTEST_MAIN(TestDevList)
#include "tst_devlist.moc"
