// The images compiled into the tool, read the way the windows read them.

#include <QtTest>
#include <QIcon>
#include <QImage>

#include "resources/resources.h"

namespace {

// Each image with the smallest width and height it may have where it is shown.
const QList<QPair<QString, int>> kEmbedded{
    {":/btn/images/option.png", 20}, {":/btn/images/option2.png", 20}, {":/btn/images/btn_close_pre.png", 28},
    {":/btn/images/btn_min_pre.png", 20}, {":/btn/images/NVR.png", 48}, {":/btn/images/DVR.png", 48},
    {":/btn/images/c512.png", 16}, {":/btn/images/btn_psw_visible.png", 20}, {":/btn/images/btn_psw_invisible.png", 20},
    {":/logo/images/logo/norvan_logo.ico", 32}, {":/logo/images/logo/vessik.ico", 32}, {":/logo/images/logo/trellik.ico", 32},
};

QImage load(const QString &path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); }

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        initResources();   // registering twice must not break anything
    }

    void embedded_image_is_there_and_distinct_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("minimumSize");
        for (const auto &[path, size] : kEmbedded)
            QTest::newRow(qPrintable(path)) << path << size;
    }

    // Fails for a missing or unreadable file, an image too small for where it
    // is shown, and two names carrying the same picture (close drawn as minimise).
    void embedded_image_is_there_and_distinct()
    {
        QFETCH(QString, path);
        QFETCH(int, minimumSize);
        const QImage image = load(path);
        QVERIFY2(!image.isNull(), "not embedded or not readable");
        QVERIFY(image.width() >= minimumSize && image.height() >= minimumSize);
        for (const auto &other : kEmbedded)
            QVERIFY2(other.first == path || load(other.first) != image, qPrintable("same picture as " + other.first));
    }

    // An icon file without the size the window shows is rescaled there, blurred.
    void icons_hold_the_sizes_they_are_shown_at()
    {
        QVERIFY(QIcon(":/logo/images/logo/norvan_logo.ico").availableSizes().contains(QSize(32, 32)));
        QVERIFY(QIcon(":/logo/images/logo/vessik.ico").availableSizes().contains(QSize(32, 32)));
        QVERIFY(QIcon(":/logo/images/logo/trellik.ico").availableSizes().contains(QSize(20, 20)));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
