#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QPointer>

#include "app/searcher.h"
#include "qrreader.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "status/harddisk.h"
#include "status/harddiskitem.h"
#include "status/hardware.h"
#include "status/qrcode.h"
#include "support/mainwindowfixture.h"
#include "support/records.h"

// The hardware, disk and QR code views as the main window opens them from its
// menu commands, over the list of two known devices.
class TestStatusDialogs : public QObject
{
    Q_OBJECT

    MainWindowFixture ui;
    Searcher *window = nullptr;
    Devs *devs = nullptr;
    const QStringList macs{QStringLiteral("00:1A:2B:3C:00:01"), QStringLiteral("00:1A:2B:3C:00:02")};

    QWidget *dialog(const QString &name) const
    {
        return window->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    }

    int count(const QString &name) const
    {
        int found = 0;
        for (QWidget *child : window->findChildren<QWidget *>(name, Qt::FindDirectChildrenOnly))
            found += child->isVisible() ? 1 : 0;
        return found;
    }

    static void drag(QWidget *header, QPoint from, QPoint to)
    {
        QTest::mousePress(header, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header, &move);
        QTest::mouseRelease(header, Qt::LeftButton, {}, to);
    }

    HardDisk *openHardDisk()
    {
        window->clickMenu(QStringLiteral("hardDisk"));
        return window->findChild<HardDisk *>(QString(), Qt::FindDirectChildrenOnly);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ui.show());
        window = ui.window();
        devs = Devs::instance();
        // Two devices as their search answers would record them; nothing is sent.
        for (int i = 0; i < macs.size(); ++i)
            devs->loadDev(QHostAddress(QStringLiteral("192.168.147.11")), 0,
                          TestRecords::record(macs.at(i), QStringLiteral("192.168.147.%1").arg(20 + i)), 18153);
        window->selectDev(0);
    }

    void dialog_opens_centred_with_its_title_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("emptyValues");
        QTest::newRow("hardware") << "hardware" << "Hardware" << QSize(400, 336) << "硬件接口"
                                  << QStringList{"label_usb1Status", "label_usb2Status", "label_audio1Status", "label_audio2Status",
                                                 "label_audio3Status", "label_audio4Status", "label_time"};
        QTest::newRow("hardDisk") << "hardDisk" << "HardDisk" << QSize(540, 337) << "磁盘管理"
                                  << QStringList{"label_freeLong", "label_sizeLong"};
    }

    void dialog_opens_centred_with_its_title()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QString, title);
        QFETCH(QStringList, emptyValues);
        window->clickMenu(command);
        QWidget *shown = dialog(name);
        QVERIFY(shown && shown->isVisible());
        QCOMPARE(shown->size(), size);
        const QPoint at((931 - size.width()) / 2, (600 - size.height()) / 2);
        QCOMPARE(shown->pos(), at);

        // The English catalogue is installed; these texts have no entry there and stay Chinese.
        auto *titleLabel = shown->findChild<QLabel *>(QStringLiteral("label"));
        QCOMPARE(titleLabel->text(), title);
        for (const QString &value : emptyValues)
            QCOMPARE(shown->findChild<QLabel *>(value)->text(), QString());

        QTest::qWait(50);
        const QString path = ui.screenshot(QStringLiteral("status-%1.png").arg(command));
        QVERIFY(!path.isEmpty());
        const QImage shot(path);
        // Dark title bar across the top, the #ccc frame, a white body.
        const QColor bar = shot.pixelColor(at.x() + size.width() / 2, at.y() + 15);
        QVERIFY2(bar.lightness() < 70, qPrintable(bar.name()));
        QCOMPARE(shot.pixelColor(at.x(), at.y() + size.height() / 2), QColor(0xcc, 0xcc, 0xcc));
        QCOMPARE(shot.pixelColor(at.x() + size.width() - 1, at.y() + size.height() - 20), QColor(0xcc, 0xcc, 0xcc));
        QCOMPARE(shot.pixelColor(at.x() + size.width() - 8, at.y() + size.height() - 8), QColor(Qt::white));
        // The title is drawn in light strokes on the bar.
        const QRect titleRect(titleLabel->mapTo(window, QPoint(0, 0)), titleLabel->size());
        QVERIFY(titleRect.top() >= at.y() && titleRect.bottom() < at.y() + 31);
        int light = 0;
        for (int y = titleRect.top(); y <= titleRect.bottom(); ++y)
            for (int x = titleRect.left(); x <= titleRect.right(); ++x)
                light += shot.pixelColor(x, y).lightness() > 160 ? 1 : 0;
        QVERIFY2(light > 20, qPrintable(QString::number(light)));

        // The close button closes it, and a second close does nothing.
        QTest::mouseClick(shown->findChild<QLabel *>(QStringLiteral("label_close")), Qt::LeftButton);
        QTRY_COMPARE(window->findChildren<QWidget *>(name, Qt::FindDirectChildrenOnly).size(), 0);
        QMetaObject::invokeMethod(window, command == QLatin1String("hardware") ? "closeHardware" : "closeHardDisk");
    }

    void opening_again_leaves_one_dialog_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::newRow("hardware") << "hardware" << "Hardware";
        QTest::newRow("hardDisk") << "hardDisk" << "HardDisk";
    }

    void opening_again_leaves_one_dialog()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        window->clickMenu(command);
        QPointer<QWidget> first = dialog(name);
        window->clickMenu(command);
        QVERIFY(!first);
        QCOMPARE(window->findChildren<QWidget *>(name, Qt::FindDirectChildrenOnly).size(), 1);
        QVERIFY(dialog(name)->isVisible());
        QMetaObject::invokeMethod(window, command == QLatin1String("hardware") ? "closeHardware" : "closeHardDisk");
        QTRY_COMPARE(window->findChildren<QWidget *>(name, Qt::FindDirectChildrenOnly).size(), 0);
    }

    void dragging_the_title_bar_moves_the_dialog_data()
    {
        opening_again_leaves_one_dialog_data();
    }

    void dragging_the_title_bar_moves_the_dialog()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        window->clickMenu(command);
        QWidget *shown = dialog(name);
        const QPoint start = shown->pos();
        auto *header = shown->findChild<QWidget *>(QStringLiteral("widget_header"));
        drag(header, QPoint(150, 10), QPoint(162, 17));
        QCOMPARE(shown->pos(), start + QPoint(12, 7));
        QCOMPARE(shown->size(), dialog(name)->size());
        // A right-button drag moves nothing.
        QTest::mousePress(header, Qt::RightButton, {}, QPoint(150, 10));
        QMouseEvent move(QEvent::MouseMove, QPoint(190, 30), Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(header, &move);
        QTest::mouseRelease(header, Qt::RightButton, {}, QPoint(190, 30));
        QCOMPARE(shown->pos(), start + QPoint(12, 7));
        QMetaObject::invokeMethod(window, command == QLatin1String("hardware") ? "closeHardware" : "closeHardDisk");
    }

    void disk_size_and_state_word_show_data()
    {
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<int>("state");
        // Checked "yes" boxes, in the order inserted, formatted, enough space, mounted, ready.
        QTest::addColumn<QString>("yes");
        QTest::newRow("1024 MB, nothing") << 1024 << "1024MB" << 0x00 << "00000";
        QTest::newRow("1025 MB, everything") << 1025 << "1025MB(1.00GB)" << 0x1F << "11111";
        QTest::newRow("1 TB in GB, inserted and formatted") << 1048576 << "1048576MB(1024.00GB)" << 0x05 << "11000";
        QTest::newRow("just over 1 TB, mounted") << 1048577 << "1048577MB(1.00TB)" << 0x02 << "00010";
        QTest::newRow("0 MB, enough space and ready") << 0 << "0MB" << 0x18 << "00101";
        QTest::newRow("4 TB disk, higher bits ignored") << 4000000 << "4000000MB(3.81TB)" << 0xE0 << "00000";
        QTest::newRow("all bits") << 2000 << "2000MB(1.95GB)" << -1 << "11111";
        QTest::newRow("negative size") << -5 << "-5MB" << 0x01 << "10000";
    }

    void disk_size_and_state_word_show()
    {
        QFETCH(int, megabytes);
        QFETCH(QString, sizeText);
        QFETCH(int, state);
        QFETCH(QString, yes);
        HardDisk *disk = openHardDisk();
        QCOMPARE(disk->getDiskSize(megabytes), sizeText);

        const char *const pairs[5][2] = {
            {"checkBox_insertTrue", "checkBox_insertFalse"}, {"checkBox_formatTrue", "checkBox_formatFalse"},
            {"checkBox_spaceTrue", "checkBox_spaceFalse"}, {"checkBox_mountTrue", "checkBox_mountFalse"},
            {"checkBox_readyTrue", "checkBox_readyFalse"}};
        // The opposite word first, so that every pair has to turn over.
        disk->getDiskType(~state);
        disk->getDiskType(state);
        for (int i = 0; i < 5; ++i) {
            const bool set = yes.at(i) == QLatin1Char('1');
            auto *first = disk->findChild<QCheckBox *>(QLatin1String(pairs[i][0]));
            auto *second = disk->findChild<QCheckBox *>(QLatin1String(pairs[i][1]));
            QVERIFY2(first->isChecked() == set && second->isChecked() == !set, pairs[i][0]);
        }
        window->closeHardDisk();
    }

    void checking_one_box_of_a_pair_clears_the_other()
    {
        HardDisk *disk = openHardDisk();
        auto *yes = disk->findChild<QCheckBox *>(QStringLiteral("checkBox_mountTrue"));
        auto *no = disk->findChild<QCheckBox *>(QStringLiteral("checkBox_mountFalse"));
        QVERIFY(!yes->isChecked() && !no->isChecked());   // nothing shown yet
        no->setChecked(true);
        yes->setChecked(true);
        QVERIFY(yes->isChecked() && !no->isChecked());
        no->setChecked(true);
        QVERIFY(!yes->isChecked() && no->isChecked());
        // The boxes report the disk; a click, delivered as the window system would, does not change them.
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, yes->mapTo(window, QPoint(8, yes->height() / 2)));
        QVERIFY(!yes->isChecked() && no->isChecked());
        window->closeHardDisk();
    }

    void choosing_a_tile_leaves_only_it_selected()
    {
        HardDisk *disk = openHardDisk();
        QVERIFY(disk->disks().isEmpty());   // no device reports its disks
        disk->loadDisks(3);
        const QList<HardDiskItem *> tiles = disk->disks();
        QCOMPARE(tiles.size(), 3);
        QCOMPARE(tiles.at(2)->findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("磁盘3"));
        QVERIFY(tiles.at(0)->isSelected() && !tiles.at(1)->isSelected() && !tiles.at(2)->isSelected());
        QTest::qWait(50);
        QVERIFY(!ui.screenshot(QStringLiteral("status-hardDisk-tiles.png")).isEmpty());

        QTest::mouseClick(tiles.at(2), Qt::LeftButton);
        QVERIFY(!tiles.at(0)->isSelected() && !tiles.at(1)->isSelected() && tiles.at(2)->isSelected());
        QTest::mouseClick(tiles.at(0), Qt::RightButton);
        QVERIFY(!tiles.at(0)->isSelected() && tiles.at(2)->isSelected());
        disk->selectDisk(3);
        QVERIFY(!tiles.at(0)->isSelected() && !tiles.at(1)->isSelected() && !tiles.at(2)->isSelected());
        window->closeHardDisk();
    }

    void qr_panel_shows_the_selected_devices_mac()
    {
        for (int row = 0; row < macs.size(); ++row) {
            window->selectDev(row);
            window->clickMenu(QStringLiteral("qrcode"));
            auto *panel = window->findChild<QRCode *>();
            QVERIFY(panel->isVisible());
            QCOMPARE(panel->pos(), QPoint((931 - 150) / 2, (600 - 150) / 2));
            QCOMPARE(panel->size(), QSize(150, 150));
            QCOMPARE(readQRCode(panel->pixmap().toImage()), macs.at(row));

            // What the installer's phone sees: the square as drawn in the window.
            QTest::qWait(50);
            const QString path = ui.screenshot(QStringLiteral("status-qrcode-%1.png").arg(row + 1));
            QVERIFY(!path.isEmpty());
            const QImage shot(path);
            auto *image = panel->findChild<QLabel *>(QStringLiteral("label_qrImage"));
            const QRect square(image->mapTo(window, QPoint(0, 0)), image->size());
            QCOMPARE(square, QRect(400, 235, 130, 130));
            QCOMPARE(readQRCode(shot.copy(panel->geometry())), macs.at(row));
        }
        window->closeQRCode();
        QVERIFY(!window->findChild<QRCode *>()->isVisible());
        // The panel is hidden, never destroyed.
        window->clickMenu(QStringLiteral("qrcode"));
        QVERIFY(window->findChild<QRCode *>()->isVisible());
        window->closeMenu();
        QVERIFY(!window->findChild<QRCode *>()->isVisible());
        window->selectDev(0);
    }

    void qr_panel_keeps_its_picture_for_unencodable_text()
    {
        auto *panel = window->findChild<QRCode *>();
        auto *image = panel->findChild<QLabel *>(QStringLiteral("label_qrImage"));
        panel->showQRCode(QStringLiteral("00:1A:2B:3C:00:09"));
        const qint64 shown = panel->pixmap().cacheKey();
        for (const QString &text : {QString(), QString(3000, QLatin1Char('#'))}) {
            panel->showQRCode(text);
            QCOMPARE(panel->pixmap().cacheKey(), shown);
            QCOMPARE(image->pixmap(Qt::ReturnByValue).cacheKey(), shown);
        }
        QCOMPARE(readQRCode(image->pixmap(Qt::ReturnByValue).toImage()), QStringLiteral("00:1A:2B:3C:00:09"));
    }
};

QTEST_MAIN(TestStatusDialogs)
#include "tst_statusdialogs.moc"
