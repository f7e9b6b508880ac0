#include <QtTest>

#include <QImage>

#include "qrreader.h"
#include "registry/dev.h"
#include "status/qrcode.h"

// The symbol as a phone would read it off the panel's 130-pixel square.
class TestQRCode : public QObject
{
    Q_OBJECT

    // Width of the top-left finder pattern's dark top edge: 7 modules.
    static int finderWidth(const QImage &image)
    {
        int x = 0;
        while (x < image.width() && qGray(image.pixel(x, 0)) < 128)
            ++x;
        return x;
    }

private slots:
    void rendered_code_reads_back_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::addColumn<bool>("version2");
        QTest::newRow("mac") << "00:1A:2B:3C:00:0A" << "00:1A:2B:3C:00:0A" << true;
        QTest::newRow("letters folded to upper case") << "00:1a:2b:3c:00:0a" << "00:1A:2B:3C:00:0A" << true;
        const QString longer = QStringLiteral("RTSP://192.168.147.20:554/USCAST/11 V3.2.1.10 00:1A:2B:3C:00:0A 255.255.255.0");
        QTest::newRow("needs a larger version") << longer << longer << false;
    }

    void rendered_code_reads_back()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QFETCH(bool, version2);
        const QImage image = QRCode::render(text, 130);
        QCOMPARE(image.size(), QSize(130, 130));
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        const QString png = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qrcode-%1.png").arg(name));
        QCOMPARE(readQRCode(image, png), read);
        // 7 modules of 130/25 pixels for version 2; a larger version has narrower modules.
        if (version2)
            QVERIFY2(finderWidth(image) >= 36 && finderWidth(image) <= 37, qPrintable(QString::number(finderWidth(image))));
        else
            QVERIFY2(finderWidth(image) < 33, qPrintable(QString::number(finderWidth(image))));
    }

    void short_text_is_25_modules_drawn_5_or_6_pixels_wide()
    {
        const QImage image = QRCode::render(QStringLiteral("A1"), 130);
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        // Sampling one pixel per module and scaling back gives the same picture
        // only if every module is a whole block of pixels, without smoothing.
        const QImage modules = image.scaled(25, 25, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QCOMPARE(modules.scaledToWidth(130, Qt::FastTransformation), image);
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));          // finder pattern, no quiet zone
        QCOMPARE(image.pixel(39, 0), qRgb(255, 255, 255));    // the finder's light separator
    }

    void lower_and_upper_case_give_the_same_symbol()
    {
        QCOMPARE(QRCode::render(QStringLiteral("device 1a:2b"), 130), QRCode::render(QStringLiteral("DEVICE 1A:2B"), 130));
    }

    void unencodable_text_gives_no_picture_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond the largest version") << QString(3000, QLatin1Char('#'));
    }

    void unencodable_text_gives_no_picture()
    {
        QFETCH(QString, text);
        QVERIFY(QRCode::render(text, 130).isNull());
    }

    void device_code_carries_the_mac()
    {
        Dev dev;
        Wire::writeText(dev.info.mac, QStringLiteral("00:1A:2B:3C:00:0B"));
        Wire::writeText(dev.info.ip, QStringLiteral("192.168.147.31"));
        Wire::writeText(dev.info.version, QStringLiteral("V3.2.1.11"));
        QCOMPARE(QRCode::deviceText(&dev), QStringLiteral("00:1A:2B:3C:00:0B"));
        QCOMPARE(readQRCode(QRCode::render(QRCode::deviceText(&dev), 130)), QStringLiteral("00:1A:2B:3C:00:0B"));
    }
};

QTEST_MAIN(TestQRCode)
#include "tst_qrcode.moc"
