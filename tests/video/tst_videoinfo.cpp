#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "app/searcher.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/devsimprocess.h"
#include "support/mainwindowfixture.h"
#include "support/stallwatch.h"
#include "ui/menu.h"
#include "video/video.h"
#include "video/videoinfo.h"

// The stream dialog end to end in the lab: devsim's devices serve real RTSP
// streams (rtspsim) at the addresses in their records, the tool opens them from
// the operation menu, decodes them and switches their encoding.
class TestVideoInfo : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Devs *devs = nullptr;

    template<typename T = QWidget>
    T *child(QWidget *parent, const char *name) const { return ui.child<T>(name, parent); }

    VideoInfo *dialog() const { return window->findChild<VideoInfo *>(); }
    QString text(const char *name) const { return child<QLabel>(dialog(), name)->text(); }
    QTreeView *list() const { return child<QTreeView>(window, "treeView"); }

    // Starts one streaming device and waits until it is in the list.
    bool startDevice(DevsimProcess &sim, const QStringList &extra = {})
    {
        QTest::mouseClick(child<QPushButton>(window, "pushButton_clean"), Qt::LeftButton);
        if (!sim.start(QStringList{"--count", "1", "--streams"} + extra))
            return false;
        const bool up = sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.events("stream_ready").isEmpty(); });
        QTest::mouseClick(child<QPushButton>(window, "pushButton_search"), Qt::LeftButton);
        QElapsedTimer clock;
        clock.start();
        while (list()->model()->rowCount() < 1 && clock.elapsed() < 5000)
            QTest::qWait(20);
        devs->selectDev(0);
        return up && list()->model()->rowCount() == 1;
    }

    // Right click on the device, then the menu entry, as the installer does.
    void openFromMenu(const char *entryName)
    {
        ui.rightClickRow(0);
        ui.chooseMenuEntry(entryName);
    }

    // Closes the dialog with its Cancel button; the time until it is gone.
    qint64 closeDialog()
    {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(child<QPushButton>(dialog(), "pushButton_cancle"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return clock.elapsed();
    }

    // Decode rates shown over the next `seconds` ticks.
    QList<int> rates(int seconds)
    {
        QList<int> shown;
        QLabel *label = child<QLabel>(dialog(), "label_decodeFps");
        QString last = label->text();
        QElapsedTimer clock;
        clock.start();
        while (shown.size() < seconds && clock.elapsed() < (seconds + 2) * 1000) {
            QTest::qWait(50);
            if (label->text() != last || clock.elapsed() > 1100 * (shown.size() + 1)) {
                last = label->text();
                shown << last.toInt();
                clock.restart();
            }
        }
        return shown;
    }

    bool streamStartedWith(const DevsimProcess &sim, const QString &codec, int nth) const
    {
        const QList<QJsonObject> starts = sim.events("stream_start");
        return starts.size() >= nth && starts.at(nth - 1).value("codec").toString() == codec;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        window->resize(1100, 700);
        devs = Devs::instance();
    }

    void cleanup()
    {
        if (dialog())
            closeDialog();
    }

    void stream_opens_from_the_menu_and_frames_flow_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("size");
        QTest::newRow("main") << "widget_main" << ":554/uscast/11" << "1920x1080";
        QTest::newRow("sub") << "widget_sub" << ":554/uscast/12" << "640x360";
    }

    void stream_opens_from_the_menu_and_frames_flow()
    {
        QFETCH(QString, entry);
        QFETCH(QString, path);
        QFETCH(QString, size);
        DevsimProcess sim;
        QVERIFY(startDevice(sim));
        openFromMenu(entry.toLatin1().constData());
        QVERIFY(dialog());
        QVERIFY(dialog()->isVisible());
        QCOMPARE(dialog()->parentWidget(), window);
        QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(dialog(), "lineEdit_url")->text(), QStringLiteral("rtsp://") + sim.ip(0) + path, 3000);
        QVERIFY(child<QCheckBox>(dialog(), "checkBox_264")->isChecked());
        QVERIFY(!child<QCheckBox>(dialog(), "checkBox_265")->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), size, 10000);
        // Settle, then the rate of each second stays close to the stream's 25.
        rates(2);
        const QList<int> shown = rates(3);
        QCOMPARE(shown.size(), 3);
        for (int rate : shown)
            QVERIFY2(rate >= 21 && rate <= 29, qPrintable(QString::number(rate)));

        // The picture is drawn: the middle of the view is no longer the empty light grey.
        QWidget *view = child(dialog(), "widget_12");
        const QImage shot = dialog()->grab().toImage();
        const QPoint middle = view->mapTo(dialog(), view->rect().center());
        QVERIFY(shot.pixelColor(middle) != QColor(252, 252, 252));
        const QString dir = qEnvironmentVariable("SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            QVERIFY(shot.save(QDir(dir).filePath(QStringLiteral("videoinfo-%1.png").arg(QTest::currentDataTag()))));
        }
    }

    void switch_to_265_restarts_the_device_with_h265()
    {
        DevsimProcess sim;
        QVERIFY(startDevice(sim, {"--compress-restart-ms", "1500"}));
        openFromMenu("widget_main");
        QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), QStringLiteral("1920x1080"), 10000);

        QTest::mouseClick(child<QCheckBox>(dialog(), "checkBox_265"), Qt::LeftButton);
        QVERIFY(!child<QCheckBox>(dialog(), "checkBox_264")->isChecked());
        QTest::mouseClick(child<QPushButton>(dialog(), "pushButton_submit"), Qt::LeftButton);
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).isEmpty(); }, 3000));

        // The request's bytes are pinned in tst_engine; here the dialog's choice: h264 = 0.
        QCOMPARE(DevsimProcess::hex(sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).first()).at(16 + 209), '\0');

        QTRY_VERIFY_WITH_TIMEOUT(child(dialog(), "label_success")->isVisible(), 3000);
        QCOMPARE(text("label_success"), QStringLiteral("Setting successed,restaring"));

        // The device restarts: its stream drops; the dialog does not reopen it.
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.events("restarted").isEmpty(); }));
        QVERIFY(streamStartedWith(sim, "h265", 2));
        QVERIFY(closeDialog() < 3000);

        // Opened again, the dialog reads the new encoding from the device and decodes H.265.
        window->clickMenu(QStringLiteral("main"));
        QTRY_VERIFY_WITH_TIMEOUT(child<QCheckBox>(dialog(), "checkBox_265")->isChecked(), 3000);
        QVERIFY(!child<QCheckBox>(dialog(), "checkBox_264")->isChecked());
        QCOMPARE(devs->getSelected()->info.h264, quint8(0));
        QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), QStringLiteral("1920x1080"), 10000);
        rates(2);
        for (int rate : rates(2))
            QVERIFY2(rate >= 21 && rate <= 29, qPrintable(QString::number(rate)));
        const QString dir = qEnvironmentVariable("SCREENSHOT_DIR");
        if (!dir.isEmpty())
            dialog()->grab().save(QDir(dir).filePath(QStringLiteral("videoinfo-h265.png")));
    }

    void device_answer_decides_the_result_text_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("refused") << "0" << "Setting fail";
        QTest::newRow("no answer") << "none" << "";
    }

    void device_answer_decides_the_result_text()
    {
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        DevsimProcess sim;
        QVERIFY(startDevice(sim, {"--compress-answer", answer}));
        window->clickMenu(QStringLiteral("main"));
        QTRY_VERIFY_WITH_TIMEOUT(child<QCheckBox>(dialog(), "checkBox_264")->isChecked(), 3000);
        QTest::mouseClick(child<QPushButton>(dialog(), "pushButton_submit"), Qt::LeftButton);
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).isEmpty(); }, 3000));
        // H.264 is checked, so the request keeps h264 = 1.
        QCOMPARE(quint8(DevsimProcess::hex(sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).first()).at(16 + 209)), quint8(1));
        if (shown.isEmpty()) {
            QTest::qWait(1000);
            QVERIFY(!child(dialog(), "label_success")->isVisible());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(child(dialog(), "label_success")->isVisible(), 3000);
            QCOMPARE(text("label_success"), shown);
        }
    }

    void a_broken_stream_never_freezes_the_window_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<bool>("framesFirst");
        QTest::newRow("stalls mid-way") << QStringList{"--stream-fault", "stall", "--stream-fault-after", "40"} << true;
        QTest::newRow("server dies mid-way") << QStringList{"--stream-fault", "exit", "--stream-fault-after", "40"} << true;
        QTest::newRow("server refuses") << QStringList{"--stream-fault", "refuse"} << false;
        QTest::newRow("picture too large") << QStringList{"--stream-fault", "oversize"} << false;
    }

    void a_broken_stream_never_freezes_the_window()
    {
        QFETCH(QStringList, fault);
        QFETCH(bool, framesFirst);
        DevsimProcess sim;
        QVERIFY(startDevice(sim, fault));
        window->clickMenu(QStringLiteral("main"));
        QTRY_VERIFY_WITH_TIMEOUT(!child<QLineEdit>(dialog(), "lineEdit_url")->text().isEmpty(), 3000);
        if (framesFirst)
            QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), QStringLiteral("1920x1080"), 10000);

        // A timer that must keep ticking on time while the stream is broken.
        {
            StallWatch stalls(20);
            QTest::qWait(5000);
            QVERIFY2(stalls.worstMs() < 500, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(stalls.worstMs())));
        }

        // Packets read before the stall may still be decoding on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(text("label_decodeFps"), QStringLiteral("0"), 10000);
        if (!framesFirst)
            QCOMPARE(text("label_videoSize"), QString());
        const qint64 closing = closeDialog();
        QVERIFY2(closing < 3000, qPrintable(QString::number(closing)));
        QVERIFY(!Video::instance()->playing());
    }

};

QTEST_MAIN(TestVideoInfo)
#include "tst_videoinfo.moc"
