#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/mainwindowfixture.h"
#include "ui/menu.h"
#include "video/video.h"
#include "video/videoinfo.h"

// The stream dialog end to end in the lab: devsim's devices serve real RTSP
// streams (rtspsim) at the addresses in their records, the tool opens them from
// the operation menu, decodes them, says why there is no picture, switches
// their encoding and plays the restarted device's stream again.
// The menu entry, devsim's arguments, and the picture's size or why there is no picture.
struct StreamCase { QString entry; QStringList devsimArgs; QString shown; };
Q_DECLARE_METATYPE(StreamCase)
// devsim's arguments, whether H.265 is chosen, the answer shown, and whether the dialog closes while the device restarts.
struct SwitchCase { QStringList devsimArgs; bool to265; QString shown; bool closeWhileReconnecting; };
Q_DECLARE_METATYPE(SwitchCase)

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

    // Starts one device and waits until it is in the list and, with --streams, streams.
    bool startDevice(DevsimProcess &sim, const QStringList &args)
    {
        const bool up = ui.fillList(sim, 1, args)
                        && (!args.contains("--streams")
                            || sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.events("stream_ready").isEmpty(); }));
        devs->selectDev(0);
        return up;
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

    // The decode rate shown settles near the stream's 25 and stays there for three seconds.
    bool showsTheStreamRate()
    {
        int inRange = 0;
        for (int second = 0; inRange < 3 && second < 10; ++second) {
            QTest::qWait(1000);
            const int rate = text("label_decodeFps").toInt();
            inRange = rate >= 21 && rate <= 29 ? inRange + 1 : 0;
        }
        return inRange == 3;
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

    void stream_opens_from_the_menu_or_says_why_there_is_no_picture_data()
    {
        QTest::addColumn<StreamCase>("c");
        QTest::newRow("main") << StreamCase{"widget_main", {"--streams"}, "1920x1080"};
        QTest::newRow("sub") << StreamCase{"widget_sub", {"--streams"}, "640x360"};
        // Device host 1's own address, where nothing listens on 554.
        QTest::newRow("refused") << StreamCase{"widget_main", {"--first-ip", "192.168.147.11"}, "No stream: connection refused"};
        // An address no host of the lab has taken (streaming rows add theirs): nobody answers ARP.
        QTest::newRow("unreachable") << StreamCase{"widget_main", {"--first-ip", "192.168.147.90"}, "No stream: the device does not answer"};
        QTest::newRow("too large")
            << StreamCase{"widget_main", {"--streams", "--stream-fault", "oversize"}, "Picture too large: 3200x1800 (at most 3000x2000)"};
    }

    void stream_opens_from_the_menu_or_says_why_there_is_no_picture()
    {
        QFETCH(StreamCase, c);
        const QString &entry = c.entry, &shown = c.shown;
        DevsimProcess sim;
        QVERIFY(startDevice(sim, c.devsimArgs));
        const QImage before = window->screen()->grabWindow(window->winId()).toImage();
        openFromMenu(qPrintable(entry));
        QVERIFY(dialog() && dialog()->isVisible());
        QCOMPARE(dialog()->parentWidget(), window);
        const QString path = entry == QLatin1String("widget_main") ? ":554/uscast/11" : ":554/uscast/12";
        QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(dialog(), "lineEdit_url")->text(), QStringLiteral("rtsp://") + sim.ip(0) + path, 3000);
        QVERIFY(child<QCheckBox>(dialog(), "checkBox_264")->isChecked());
        QVERIFY(!child<QCheckBox>(dialog(), "checkBox_265")->isChecked());
        if (!shown.at(0).isDigit()) {
            QTRY_COMPARE_WITH_TIMEOUT(text("label_pictureState"), shown, Video::OpenLimitMs + 5000);
            QVERIFY(child(dialog(), "label_pictureState")->isVisible());
            dialog()->resetDecodeNum();   // the one-second tick
            QCOMPARE(text("label_decodeFps"), QString());
            QCOMPARE(text("label_videoSize"), QString());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), shown, 10000);
        QVERIFY(showsTheStreamRate());

        // The picture is on the screen, in the window made able to show it when
        // the preview opened: the middle of the view is neither the empty light
        // grey nor what was there before the dialog.
        QWidget *view = child(dialog(), "widget_12");
        const QPoint middle = view->mapTo(window, view->rect().center()) * before.devicePixelRatio();
        const auto drawn = [&] { return window->screen()->grabWindow(window->winId()).toImage().pixelColor(middle); };
        QTRY_VERIFY_WITH_TIMEOUT(drawn() != QColor(252, 252, 252) && drawn() != before.pixelColor(middle), 3000);
    }

    void encoding_switch_data()
    {
        QTest::addColumn<SwitchCase>("c");
        QTest::newRow("to H.265: the device restarts and its picture comes back")
            << SwitchCase{{"--compress-restart-ms", "1500"}, true, "Setting succeeded, restarting", false};
        QTest::newRow("to H.265: closed while the device restarts")
            << SwitchCase{{"--compress-restart-ms", "30000"}, true, "Setting succeeded, restarting", true};
        QTest::newRow("refused") << SwitchCase{{"--compress-answer", "0"}, false, "Setting failed", false};
    }

    void encoding_switch()
    {
        QFETCH(SwitchCase, c);
        const bool to265 = c.to265;
        DevsimProcess sim;
        QVERIFY(startDevice(sim, QStringList{"--streams"} + c.devsimArgs));
        openFromMenu("widget_main");
        QTRY_COMPARE_WITH_TIMEOUT(text("label_videoSize"), QStringLiteral("1920x1080"), 10000);
        if (to265)
            QTest::mouseClick(child<QCheckBox>(dialog(), "checkBox_265"), Qt::LeftButton);
        QCOMPARE(child<QCheckBox>(dialog(), "checkBox_264")->isChecked(), !to265);
        QTest::mouseClick(child<QPushButton>(dialog(), "pushButton_submit"), Qt::LeftButton);
        QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) { return !sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).isEmpty(); }, 3000));
        // The request's bytes are pinned in tst_engine; here the dialog's choice: h264 = 0 or 1.
        QCOMPARE(DevsimProcess::hex(sim.received(18154, Wire::CHANGE_COMPRESS_TYPE).first()).at(16 + 209), char(!to265));
        QTRY_VERIFY_WITH_TIMEOUT(child(dialog(), "label_success")->isVisible(), 3000);
        QCOMPARE(text("label_success"), c.shown);
        if (!to265)
            return;

        // The device restarts: the dialog searches for it until it answers, then plays its new stream.
        QCOMPARE(text("label_pictureState"), QStringLiteral("Reconnecting…"));
        if (c.closeWhileReconnecting) {
            const int searches = sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size();
            QVERIFY(sim.waitForLog([&](const QList<QJsonObject> &) {
                return sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size() > searches;
            }));
            QVERIFY(closeDialog() < 3000);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(child(dialog(), "label_pictureState")->isHidden(), 15000);
        const QList<QJsonObject> starts = sim.events("stream_start");
        QVERIFY(starts.size() >= 2 && starts.at(1).value("codec").toString() == "h265");
        QVERIFY(child<QCheckBox>(dialog(), "checkBox_265")->isChecked());
        QCOMPARE(text("label_videoSize"), QStringLiteral("1920x1080"));
        // With the picture back the dialog stops searching.
        const int searches = sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size();
        QVERIFY(showsTheStreamRate());
        QCOMPARE(sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size(), searches);
    }
};

int main(int argc, char *argv[])
{
    // As the tool starts: the window without OpenGL until the first preview.
    QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    TestVideoInfo test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_videoinfo.moc"
