// The device's QR code as a phone reads it off the panel's 130-pixel square.

#include <QtTest>

#include "qrreader.h"
#include "status/qrcode.h"

class TestQRCode : public QObject
{
    Q_OBJECT

private slots:
    void rendered_code_reads_back_in_the_smallest_version_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::addColumn<int>("modules");   // across the symbol: 25 for version 2
        QTest::newRow("mac") << "00:1A:2B:3C:00:0A" << "00:1A:2B:3C:00:0A" << 25;
        QTest::newRow("letters folded to upper case") << "00:1a:2b:3c:00:0a" << "00:1A:2B:3C:00:0A" << 25;
        const QString longer = QStringLiteral("RTSP://192.168.147.20:554/USCAST/11 V3.2.1.10 00:1A:2B:3C:00:0A 255.255.255.0");
        QTest::newRow("76 characters need version 3") << longer << longer << 29;
    }

    void rendered_code_reads_back_in_the_smallest_version()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QFETCH(int, modules);
        const QImage image = QRCode::render(text, 130);
        QCOMPARE(image.size(), QSize(130, 130));
        QCOMPARE(readQRCode(image), read);
        // Sampling one pixel per module and scaling back gives the same picture
        // only for that many modules, each a whole block of pixels, without smoothing.
        const QImage sampled = image.scaled(modules, modules, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QCOMPARE(sampled.scaledToWidth(130, Qt::FastTransformation), image);
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));   // finder pattern, no quiet zone
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
};

QTEST_MAIN(TestQRCode)
#include "tst_qrcode.moc"
