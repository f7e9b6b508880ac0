#include <QtTest>

#include <QLabel>

#include "status/harddiskitem.h"

// A disk tile as the installer sees and clicks it.
class TestHardDiskItem : public QObject
{
    Q_OBJECT

    static QColor topColour(HardDiskItem &tile) { return tile.grab().toImage().pixelColor(tile.width() - 5, 0); }
    static QColor labelColour(HardDiskItem &tile)
    {
        auto *label = tile.findChild<QLabel *>("label");
        label->ensurePolished();
        return label->palette().color(QPalette::WindowText);
    }

    // Gradient stops come out within a step of their colour.
    static bool near(const QColor &a, const QColor &b)
    {
        return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
    }

private slots:
    void tile_names_its_disk_from_one()
    {
        HardDiskItem tile;
        QCOMPARE(tile.findChild<QLabel *>("label")->text(), QString());
        tile.setIndex(0);
        QCOMPARE(tile.findChild<QLabel *>("label")->text(), QStringLiteral("磁盘1"));
        tile.setIndex(11);
        QCOMPARE(tile.findChild<QLabel *>("label")->text(), QStringLiteral("磁盘12"));
        QCOMPARE(tile.index(), 11);
    }

    void selection_darkens_the_tile_and_lightens_its_name()
    {
        QWidget column;
        HardDiskItem &tile = *new HardDiskItem(&column);
        tile.resize(160, 30);
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        QVERIFY2(near(topColour(tile), QColor(0xb9, 0xc7, 0xd1)), qPrintable(topColour(tile).name()));
        QCOMPARE(labelColour(tile), QColor(0x6c, 0x6c, 0x6c));
        tile.setSelected(true);
        QVERIFY(tile.isSelected());
        QVERIFY2(near(topColour(tile), QColor(0x80, 0x80, 0x80)), qPrintable(topColour(tile).name()));
        QCOMPARE(labelColour(tile), QColor(0xe2, 0xe2, 0xe2));
        tile.setSelected(true);   // unchanged: stays selected
        QVERIFY2(near(topColour(tile), QColor(0x80, 0x80, 0x80)), qPrintable(topColour(tile).name()));
        tile.setSelected(false);
        QVERIFY2(near(topColour(tile), QColor(0xb9, 0xc7, 0xd1)), qPrintable(topColour(tile).name()));
        QCOMPARE(labelColour(tile), QColor(0x6c, 0x6c, 0x6c));
    }

    void only_a_left_click_asks_for_the_disk()
    {
        HardDiskItem tile;
        tile.setIndex(2);
        tile.resize(160, 30);
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile));
        QSignalSpy clicks(&tile, SIGNAL(clickMsg(int)));
        QTest::mouseClick(&tile, Qt::RightButton, {}, QPoint(20, 15));
        QTest::mouseClick(&tile, Qt::MiddleButton, {}, QPoint(20, 15));
        QCOMPARE(clicks.size(), 0);
        QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(20, 15));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.first().first().toInt(), 2);
    }
};

QTEST_MAIN(TestHardDiskItem)
#include "tst_harddiskitem.moc"
