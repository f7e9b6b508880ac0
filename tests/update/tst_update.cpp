// The update dialog on its own: what each engine signal shows in it.
// The dialog opens the protocol engine, so this runs in the lab.

#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include "protocol/connect.h"
#include "resources/resources.h"
#include "update/file.h"
#include "update/update.h"

namespace {

const char *const Steps[] = {"restart", "connect", "send", "finish"};

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;
    QWidget *window = nullptr;
    Update *dialog = nullptr;

    template<typename T = QWidget>
    T *child(const QString &name) const { return dialog->findChild<T *>(name); }
    QString text(const char *label) const { return child<QLabel>(QLatin1String(label))->text(); }
    int bar() const { return child<QProgressBar>(QStringLiteral("progressBar"))->value(); }

    // "1111" when row's four steps are checked, "1000" after the first only.
    QString steps(int row) const
    {
        QString shown;
        for (const char *step : Steps) {
            auto *box = child<QCheckBox>(QStringLiteral("checkBox_%1_%2").arg(QLatin1String(step)).arg(row));
            shown += !box ? QStringLiteral("-") : box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        }
        return shown;
    }

private slots:
    void initTestCase()
    {
        initResources();
        QFont font = QApplication::font();   // as the main window sets it
        font.setPointSize(9);
        QApplication::setFont(font);
        auto *translator = new QTranslator(this);
        QVERIFY(translator->load(QStringLiteral(":/language/language/app_en_US.qm")));
        QCoreApplication::installTranslator(translator);
        engine = Connect::instance();
        window = new QWidget;
        window->resize(931, 600);
        window->show();
    }

    void init()
    {
        dialog = new Update(window);
        dialog->showInCenter();
    }

    void cleanup()
    {
        delete dialog;
        engine->resetUpdate();
    }

    void opens_over_the_whole_window_with_the_panel_centred()
    {
        QCOMPARE(dialog->geometry(), QRect(0, 0, 931, 600));
        QWidget *panel = child(QStringLiteral("widget_window"));
        QCOMPARE(panel->pos(), QPoint((931 - panel->width()) / 2, (600 - panel->height()) / 2));
        QCOMPARE(text("label"), QStringLiteral("Sending packet 0 of 0"));
        QCOMPARE(text("label_progress"), QStringLiteral("0%"));
        QCOMPARE(text("label_2"), QStringLiteral("Eq.1:"));
        QCOMPARE(text("label_9"), QStringLiteral("Eq.8:"));
        QCOMPARE(child<QCheckBox>(QStringLiteral("checkBox_send_8"))->text(), QStringLiteral("waiting install"));
        QCOMPARE(child<QPushButton>(QStringLiteral("pushButton"))->text(), QStringLiteral("Cancel"));
        QVERIFY(!child<QProgressBar>(QStringLiteral("progressBar"))->isTextVisible());
    }

    void progress_reports_set_line_bar_and_percent_data()
    {
        QTest::addColumn<QList<int>>("reports");   // now, all pairs in order
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("percent");
        QTest::newRow("one of three") << QList<int>{1, 3} << "Sending1packet, of3packet" << 33;
        QTest::newRow("last packet keeps the bar") << QList<int>{1, 3, 2, 3, 3, 3} << "Sending3packet, of3packet" << 66;
        QTest::newRow("five of five alone") << QList<int>{5, 5} << "Sending5packet, of5packet" << 0;
        QTest::newRow("report after a reset") << QList<int>{1, 2, 7, 0} << "Sending7packet, of0packet" << 50;
        QTest::newRow("large counts do not overflow") << QList<int>{2000000000, 2147483647} << "Sending2000000000packet, of2147483647packet" << 93;
    }

    void progress_reports_set_line_bar_and_percent()
    {
        QFETCH(QList<int>, reports);
        QFETCH(QString, line);
        QFETCH(int, percent);
        for (int i = 0; i < reports.size(); i += 2)
            emit engine->sendUpdateMsg(reports[i], reports[i + 1]);
        QCOMPARE(text("label"), line);
        QCOMPARE(bar(), percent);
        QCOMPARE(text("label_progress"), QString::number(percent) + QStringLiteral("%"));
    }

    void rows_follow_devices_in_the_order_they_accept()
    {
        emit engine->updateBeginMsg();
        emit engine->updateBeginMsg();
        QCOMPARE(steps(1), QStringLiteral("1000"));
        QCOMPARE(steps(2), QStringLiteral("1000"));
        emit engine->newConnectMsg(40);   // whichever device connects first takes row 1
        QCOMPARE(steps(1), QStringLiteral("1100"));
        emit engine->newConnectMsg(41);
        emit engine->sendFinishMsg(41);
        emit engine->sendFinishMsg(41);
        emit engine->updateFinishMsg(41);
        QCOMPARE(steps(2), QStringLiteral("1111"));
        QCOMPARE(steps(1), QStringLiteral("1100"));
        // An installed row is done: later reports for its connection find nothing.
        emit engine->sendFinishMsg(40);
        emit engine->updateFinishMsg(40);
        QCOMPARE(steps(1), QStringLiteral("1111"));
        emit engine->sendFinishMsg(99);
        emit engine->newConnectMsg(42);   // no row waits for it
        QCOMPARE(steps(3), QStringLiteral("0000"));
    }

    void more_than_eight_devices_get_rows_of_their_own()
    {
        for (int device = 1; device <= 12; ++device) {
            emit engine->updateBeginMsg();
            emit engine->newConnectMsg(100 + device);
            emit engine->sendFinishMsg(100 + device);
            emit engine->updateFinishMsg(100 + device);
        }
        for (int row = 1; row <= 12; ++row)
            QCOMPARE(steps(row), QStringLiteral("1111"));
        QCOMPARE(text("label_13"), QStringLiteral("Eq.12:"));
        QCOMPARE(child<QCheckBox>(QStringLiteral("checkBox_restart_12"))->text(), QStringLiteral("wait restart"));
        QCOMPARE(steps(13), QStringLiteral("----"));
        // The last row is scrolled into view.
        auto *area = child<QScrollArea>(QStringLiteral("scrollArea_rows"));
        QTest::qWait(50);
        QWidget *last = child(QStringLiteral("checkBox_finish_12"));
        const QPoint inArea = last->mapTo(area->viewport(), QPoint(0, 0));
        QVERIFY2(area->viewport()->rect().contains(QRect(inArea, last->size())),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(inArea.x()).arg(inArea.y()).arg(last->width()).arg(last->height())));
    }

    void check_boxes_only_show_progress()
    {
        auto *box = child<QCheckBox>(QStringLiteral("checkBox_finish_1"));
        // Through the window, as a real click arrives.
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, box->mapTo(window, box->rect().center()));
        QVERIFY(!box->isChecked());
    }

    void end_time_out_and_refusals_show_their_texts_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("line");
        QTest::newRow("run over") << "end" << "Completed";
        QTest::newRow("time out") << "timeout" << "Request timed out";
        QTest::newRow("no package") << "refuse:" + QString::number(File::EmptyPath) << "Choose an update package first";
        QTest::newRow("missing package") << "refuse:" + QString::number(File::Missing) << "The update package does not exist";
        QTest::newRow("unreadable package") << "refuse:" + QString::number(File::Unreadable) << "The update package cannot be read";
        QTest::newRow("package too large") << "refuse:" + QString::number(File::TooLarge) << "The update package must be smaller than 4 GiB";
    }

    void end_time_out_and_refusals_show_their_texts()
    {
        QFETCH(QString, event);
        QFETCH(QString, line);
        if (event == QLatin1String("end"))
            emit engine->updateAllFinishMsg();
        else if (event == QLatin1String("timeout"))
            emit engine->updateTimeOutMsg();
        else
            dialog->refusePackage(event.section(QLatin1Char(':'), 1).toInt());
        QCOMPARE(text("label"), line);
        const bool over = event == QLatin1String("end");
        QCOMPARE(text("label_progress"), over ? QStringLiteral("100%") : QStringLiteral("0%"));
        QCOMPARE(bar(), over ? 100 : 0);
        QCOMPARE(child<QPushButton>(QStringLiteral("pushButton"))->text(), over ? QStringLiteral("Complete") : QStringLiteral("Cancel"));
    }

    void cancel_resets_the_run_and_asks_to_be_closed()
    {
        QSignalSpy closing(dialog, SIGNAL(closeMsg()));
        emit engine->updateBeginMsg();
        QTest::mouseClick(child<QPushButton>(QStringLiteral("pushButton")), Qt::LeftButton);
        QCOMPARE(closing.size(), 1);
        QVERIFY(!engine->isUpdating());
        // The rows were forgotten: a connection now finds no waiting row.
        emit engine->newConnectMsg(7);
        QCOMPARE(steps(1), QStringLiteral("1000"));
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
