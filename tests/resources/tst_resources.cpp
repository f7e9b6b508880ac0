#include <QtTest>

#include <QIcon>
#include <QImage>

#include "resources/resources.h"

namespace {

struct Embedded
{
    const char *path;
    int minimumSize; // smallest width and height the image may have
    int iconSize;    // for icon files: a size that must be stored, so it is not rescaled
};

const Embedded kEmbedded[] = {
    {":/btn/images/option.png", 20, 0},
    {":/btn/images/option2.png", 20, 0},
    {":/btn/images/btn_close_pre.png", 28, 0},
    {":/btn/images/btn_min_pre.png", 20, 0},
    {":/btn/images/NVR.png", 48, 0},
    {":/btn/images/DVR.png", 48, 0},
    {":/btn/images/c512.png", 16, 0},
    {":/btn/images/btn_psw_visible.png", 20, 0},
    {":/btn/images/btn_psw_invisible.png", 20, 0},
    {":/logo/images/logo/norvan_logo.ico", 32, 32},
    {":/logo/images/logo/vessik.ico", 32, 32},
    {":/logo/images/logo/trellik.ico", 32, 20},
};

} // namespace

// The images compiled into the tool, read the way the windows read them.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        initResources(); // registering twice must not break anything
    }

    void embeddedImageIsDrawnAndDistinct_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("minimumSize");
        QTest::addColumn<int>("iconSize");
        for (const Embedded &e : kEmbedded)
            QTest::newRow(e.path) << QString::fromLatin1(e.path) << e.minimumSize << e.iconSize;
    }

    // Fails for a missing or unreadable file, a blank or fully filled canvas, an image
    // too small for where it is shown, an icon file without the size shown in the
    // title bar, and two names carrying the same picture (close drawn as minimise).
    void embeddedImageIsDrawnAndDistinct()
    {
        QFETCH(QString, path);
        QFETCH(int, minimumSize);
        QFETCH(int, iconSize);

        QVERIFY2(QFile::exists(path), "not embedded");
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), "not readable as an image");
        QVERIFY(image.width() >= minimumSize);
        QVERIFY(image.height() >= minimumSize);

        int transparent = 0;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                transparent += alpha == 0;
                opaque += alpha == 255;
            }
        }
        const int pixels = image.width() * image.height();
        QVERIFY2(transparent >= pixels / 20, "background is not transparent");
        QVERIFY2(opaque >= pixels / 50, "hardly anything is drawn");

        if (iconSize > 0) {
            const QList<QSize> sizes = QIcon(path).availableSizes();
            QVERIFY2(sizes.contains(QSize(iconSize, iconSize)),
                     qPrintable(QStringLiteral("no %1 pixel image stored").arg(iconSize)));
        }

        for (const Embedded &other : kEmbedded) {
            const QString otherPath = QString::fromLatin1(other.path);
            if (otherPath == path)
                continue;
            const QImage otherImage = QImage(otherPath).convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(otherImage != image, qPrintable(QStringLiteral("same picture as %1").arg(otherPath)));
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
