// The debug window under a steady stream of lines: each line stays whole on a
// row of its own, a new line costs the same however many are shown, and the
// oldest lines make way once the window holds as many as it keeps.

#include <QtTest>

#include <QFontMetrics>
#include <QListWidget>
#include <QStyledItemDelegate>

#include "protocol/adminservice.h"
#include "ui/admin.h"

namespace {

// Counts how often the list measures a line.
class CountingDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    mutable int measured = 0;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        ++measured;
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

} // namespace

class TestDebugLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The 9-point font the main window sets for every widget of the tool.
        QFont font = QApplication::font();
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    void lines_stay_whole_and_appending_measures_only_new_lines_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("longest");
        QTest::newRow("search first") << QStringLiteral("[S]search")
                                      << QStringLiteral("[E]drop short search answer,size:65535,from:255.255.255.255");
        QTest::newRow("long first") << QStringLiteral("[E]drop short search answer,size:65535,from:255.255.255.255")
                                    << QStringLiteral("[R]unresponse [B]broadcast msg:65535from:255.255.255.255");
        QTest::newRow("tcp first") << QStringLiteral("[TCP]client:9 join")
                                   << QStringLiteral("[TCP]server init fail on:255.255.255.255");
    }

    void lines_stay_whole_and_appending_measures_only_new_lines()
    {
        QFETCH(QString, first);
        QFETCH(QString, longest);
        Admin admin;
        admin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&admin));
        auto *list = admin.findChild<QListWidget *>(QStringLiteral("listWidget"));
        QVERIFY(list);
        auto *delegate = new CountingDelegate(list);
        list->setItemDelegate(delegate);

        AdminService *bus = AdminService::instance();
        bus->debug(first, AdminService::Sent);
        for (int i = 0; i < 5000; ++i)
            bus->debug(QStringLiteral("[R]search msg from:192.168.147.%1").arg(i % 250), AdminService::Received);
        QCoreApplication::processEvents();

        // A search answered by a crowd: lines in bursts, the list laid out after each.
        delegate->measured = 0;
        for (int burst = 0; burst < 10; ++burst) {
            for (int i = 0; i < 100; ++i)
                bus->debug(i == 50 ? longest : QStringLiteral("[R]search msg from:10.0.0.%1").arg(i), AdminService::Received);
            QCoreApplication::processEvents();
        }
        QVERIFY2(delegate->measured < 1000, qPrintable(QStringLiteral("%1 lines measured for 1000 added to 5001")
                                                           .arg(delegate->measured)));

        QCOMPARE(list->count(), 6001);
        QCOMPARE(list->item(0)->text(), first);
        const QFontMetrics metrics(list->font());
        const int rowHeight = list->visualItemRect(list->item(0)).height();
        for (int row : {0, 1, 5001 + 50, 6000}) {
            QListWidgetItem *item = list->item(row);
            const QRect rect = list->visualItemRect(item);
            const int textWidth = metrics.horizontalAdvance(item->text());
            QVERIFY2(rect.width() > textWidth, qPrintable(QStringLiteral("%1: %2 px for %3 px of text")
                                                              .arg(item->text()).arg(rect.width()).arg(textWidth)));
            QCOMPARE(rect.height(), rowHeight);
        }
        QCOMPARE(list->item(5001 + 50)->text(), longest);
    }

    void a_flood_of_lines_drops_the_oldest_and_counts_them()
    {
        Admin admin;
        admin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&admin));
        auto *list = admin.findChild<QListWidget *>(QStringLiteral("listWidget"));
        QVERIFY(list);

        const int total = 100000;
        AdminService *bus = AdminService::instance();
        for (int i = 0; i < total; ++i) {
            bus->debug(QStringLiteral("[R]search msg %1").arg(i), AdminService::Received);
            if (i % 1000 == 0)
                QCoreApplication::processEvents();   // laid out and painted as it grows
        }
        QCoreApplication::processEvents();

        QVERIFY2(list->count() <= Admin::MaxLines + 1, qPrintable(QString::number(list->count())));
        QCOMPARE(list->item(list->count() - 1)->text(), QStringLiteral("[R]search msg %1").arg(total - 1));
        // Every line is either shown or counted in the first row, and none is lost in between.
        const QRegularExpressionMatch counter = QRegularExpression(QStringLiteral("^… (\\d+) older lines dropped$"))
                                                    .match(list->item(0)->text());
        QVERIFY2(counter.hasMatch(), qPrintable(list->item(0)->text()));
        const int dropped = counter.captured(1).toInt();
        QCOMPARE(list->item(1)->text(), QStringLiteral("[R]search msg %1").arg(dropped));
        QCOMPARE(dropped + list->count() - 1, total);
    }
};

QTEST_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
