#include <QtTest>

#include <algorithm>
#include <cmath>

#include "video/videoview.h"

namespace {

struct Bar
{
    quint8 y, u, v;
};

// A width x height 4:2:0 picture of vertical bars of equal width, laid out as
// the decoder lays out its buffer.
QByteArray bars(int width, int height, const QVector<Bar> &colours)
{
    const int cw = width / 2;
    const int ch = height / 2;
    QByteArray frame(width * height + 2 * cw * ch, '\0');
    auto barAt = [&](int column, int planeWidth) { return colours.at(column * colours.size() / planeWidth); };
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            frame[r * width + c] = char(barAt(c, width).y);
    for (int r = 0; r < ch; ++r) {
        for (int c = 0; c < cw; ++c) {
            frame[width * height + r * cw + c] = char(barAt(c, cw).u);
            frame[width * height + ch * cw + r * cw + c] = char(barAt(c, cw).v);
        }
    }
    return frame;
}

// The conversion the view's shader does, with Y taken as it is and U, V centred.
QColor expected(const Bar &bar)
{
    const double y = bar.y / 255.0;
    const double u = bar.u / 255.0 - 0.5;
    const double v = bar.v / 255.0 - 0.5;
    auto channel = [](double value) { return int(std::lround(std::clamp(value, 0.0, 1.0) * 255.0)); };
    return QColor(channel(y + 1.13983 * v), channel(y - 0.39465 * u - 0.58060 * v), channel(y + 2.03211 * u));
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

Q_DECLARE_METATYPE(Bar)

// The YUV view under a real OpenGL implementation (Mesa under Xvfb), on a
// screen scaled by 2 as on a high-DPI laptop: the colours it draws for known
// pictures, read back from its framebuffer.
class TestVideoView : public QObject
{
    Q_OBJECT

    VideoView *view = nullptr;
    QByteArray frame;

    // Checks the middle of each bar at a quarter and three quarters of the height.
    void checkBars(const QVector<Bar> &colours)
    {
        const QImage image = view->grabFramebuffer();
        QCOMPARE(image.size(), view->size() * view->devicePixelRatioF());
        for (int i = 0; i < colours.size(); ++i) {
            const int x = int((i + 0.5) * image.width() / colours.size());
            for (int y : {image.height() / 4, image.height() * 3 / 4}) {
                const QColor seen = image.pixelColor(x, y);
                const QColor want = expected(colours.at(i));
                QVERIFY2(near(seen, want, 3), qPrintable(QStringLiteral("bar %1 at (%2,%3): seen %4 want %5")
                                                             .arg(i).arg(x).arg(y).arg(seen.name(), want.name())));
            }
        }
    }

private slots:
    // One view for every row: each frame replaces the one before it.
    void initTestCase()
    {
        view = new VideoView;
        view->resize(320, 180);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        // Before the first frame it is cleared light grey; the default surface
        // has no alpha channel, so the clear colour's alpha 0 reads back opaque.
        QCOMPARE(view->grabFramebuffer().pixelColor(160, 90), QColor(252, 252, 252));
    }

    void cleanupTestCase() { delete view; }

    void draws_the_specified_colours_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QVector<Bar>>("colours");
        const QVector<Bar> primaries{{235, 128, 128}, {81, 90, 240}, {145, 54, 34}, {41, 240, 110}};
        const QVector<Bar> mixed{{120, 60, 200}, {200, 200, 60}, {60, 128, 128}};
        QTest::newRow("white red green blue 64x32") << QSize(64, 32) << primaries;
        QTest::newRow("grey ramp 1920x1080") << QSize(1920, 1080) << QVector<Bar>{{16, 128, 128}, {80, 128, 128}, {160, 128, 128}, {240, 128, 128}};
        // Chroma rows of 15 bytes: read with the default 4-byte row alignment
        // every row would start one byte further right and the bars would slant.
        QTest::newRow("chroma 15 wide: 30x20") << QSize(30, 20) << mixed;
        QTest::newRow("30x20 again, the same buffer rewritten") << QSize(30, 20) << primaries.mid(0, 2);
        QTest::newRow("chroma 3 wide: 6x40") << QSize(6, 40) << QVector<Bar>{{120, 60, 200}, {200, 200, 60}, {60, 160, 90}};
    }

    void draws_the_specified_colours()
    {
        QFETCH(QSize, size);
        QFETCH(QVector<Bar>, colours);
        const QByteArray next = bars(size.width(), size.height(), colours);
        if (frame.size() != next.size())
            frame = QByteArray(next.size(), '\0');
        std::copy(next.cbegin(), next.cend(), frame.begin());   // in place when the size stays
        view->loadFrame(reinterpret_cast<uint8_t *>(frame.data()), size.width(), size.height());
        checkBars(colours);
    }
};

QTEST_MAIN(TestVideoView)
#include "tst_videoview.moc"
