#include <QtTest>

#include <QLabel>

#include "status/hardware.h"

// The texts the hardware dialog shows for the status values of its interfaces.
class TestHardware : public QObject
{
    Q_OBJECT

private slots:
    void status_value_shows_its_text_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("usb 0") << true << 0 << "未接入设备或损坏";
        QTest::newRow("usb 1") << true << 1 << "接入U盘";
        QTest::newRow("usb 2") << true << 2 << "接入鼠标";
        QTest::newRow("usb 3 keeps the label") << true << 3 << QStringLiteral("unchanged");
        QTest::newRow("usb -1 keeps the label") << true << -1 << QStringLiteral("unchanged");
        QTest::newRow("audio 0") << false << 0 << "未接入音频或损坏";
        QTest::newRow("audio 1") << false << 1 << "音频接口正常";
        QTest::newRow("audio 2 keeps the label") << false << 2 << QStringLiteral("unchanged");
    }

    void status_value_shows_its_text()
    {
        QFETCH(bool, usb);
        QFETCH(int, status);
        QFETCH(QString, text);
        QLabel label(QStringLiteral("unchanged"));
        if (usb)
            Hardware::loadUsbStatus(&label, status);
        else
            Hardware::loadAudioStatus(&label, status);
        QCOMPARE(label.text(), text);
    }
};

QTEST_MAIN(TestHardware)
#include "tst_hardware.moc"
