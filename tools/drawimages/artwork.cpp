#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

// Title bar glyphs are light so that they read on the dark bar.
const QColor kBarGlyph(0xf4, 0xf4, 0xf4);
// Glyphs inside input fields are dark grey on the light field.
const QColor kFieldGlyph(0x4d, 0x4d, 0x4d);

void softShadow(QPainter &p, const QPointF &centre, qreal rx, qreal ry)
{
    QRadialGradient g(0.5, 0.5, 0.5);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setColorAt(0.0, QColor(0, 0, 0, 80));
    g.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre, rx, ry);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor &a, const QColor &b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

} // namespace

QImage Artwork::render(int width, int height, int scale, const Drawing &draw, int oversample)
{
    width *= scale;
    height *= scale;
    QImage big(width * oversample, height * oversample, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(oversample * scale, oversample * scale);
        draw(p);
    }
    return big.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

QImage Artwork::optionsGear(int scale)
{
    return render(20, 20, scale, [](QPainter &p) {
        const QPointF centre(10, 10);
        QPainterPath gear;
        gear.addEllipse(centre, 6.0, 6.0);
        // Eight teeth; the four upright ones have their edges on whole pixels.
        QPainterPath tooth;
        tooth.addRect(QRectF(-2.0, -9.0, 4.0, 5.0));
        for (int i = 0; i < 8; ++i) {
            QTransform t;
            t.translate(centre.x(), centre.y());
            t.rotate(i * 45.0);
            gear = gear.united(t.map(tooth));
        }
        QPainterPath hole;
        hole.addEllipse(centre, 2.5, 2.5);
        p.fillPath(gear.subtracted(hole), kBarGlyph);
    });
}

QImage Artwork::optionsSliders(int scale)
{
    return render(20, 20, scale, [](QPainter &p) {
        // A faint dark rim keeps the light glyph visible on a light background too.
        const QColor rim(0, 0, 0, 90);
        const qreal rows[3] = {5, 10, 15};
        const qreal knobs[3] = {13, 7, 11};
        for (qreal y : rows) {
            p.setPen(QPen(rim, 3.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(2.5, y), QPointF(17.5, y));
            p.setPen(QPen(kBarGlyph, 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(2.5, y), QPointF(17.5, y));
        }
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            const QPointF c(knobs[i], rows[i]);
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.setBrush(Qt::black);
            p.drawEllipse(c, 3.4, 3.4);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.setBrush(rim);
            p.drawEllipse(c, 3.4, 3.4);
            p.setBrush(kBarGlyph);
            p.drawEllipse(c, 2.5, 2.5);
        }
    });
}

QImage Artwork::closeCross(int scale)
{
    return render(28, 28, scale, [](QPainter &p) {
        p.setPen(QPen(kBarGlyph, 2.4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(8, 8), QPointF(20, 20));
        p.drawLine(QPointF(20, 8), QPointF(8, 20));
    });
}

QImage Artwork::minimiseBar(int scale)
{
    return render(28, 28, scale, [](QPainter &p) {
        // 2.8 units thick so that at the 20 pixels it is shown at it fills two whole rows.
        p.fillRect(QRectF(8.4, 12.6, 11.2, 2.8), kBarGlyph);
    });
}

QImage Artwork::networkRecorder(int scale)
{
    return render(64, 64, scale, [](QPainter &p) {
        softShadow(p, QPointF(32, 50), 29, 4);

        // Top face, seen slightly from above.
        QPainterPath top;
        top.addPolygon(QPolygonF({QPointF(9, 14), QPointF(55, 14), QPointF(60, 20), QPointF(4, 20)}));
        top.closeSubpath();
        p.setPen(QPen(QColor(0x1a, 0x1d, 0x21), 1.0));
        p.setBrush(vertical(14, 20, QColor(0x9a, 0xa2, 0xac), QColor(0x66, 0x6d, 0x76)));
        p.drawPath(top);

        // Feet, then the front face.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1a, 0x1d, 0x21));
        p.drawRoundedRect(QRectF(8, 46, 8, 3), 1, 1);
        p.drawRoundedRect(QRectF(48, 46, 8, 3), 1, 1);
        p.setPen(QPen(QColor(0x1a, 0x1d, 0x21), 1.0));
        p.setBrush(vertical(20, 48, QColor(0x4a, 0x50, 0x59), QColor(0x2a, 0x2e, 0x34)));
        p.drawRoundedRect(QRectF(4, 20, 56, 28), 2, 2);
        p.setPen(QPen(QColor(0xb4, 0xbc, 0xc6), 1.0));
        p.drawLine(QPointF(5.5, 20.5), QPointF(58.5, 20.5));

        // Drive bay panel with four bays, each with a handle and an activity light.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1c, 0x1f, 0x24));
        p.drawRoundedRect(QRectF(7, 23, 37, 22), 1.5, 1.5);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 2; ++col) {
                const QRectF bay(9 + col * 17, 25 + row * 10, 16, 8);
                p.setPen(QPen(QColor(0x6a, 0x72, 0x7d), 0.8));
                p.setBrush(vertical(bay.top(), bay.bottom(), QColor(0x55, 0x5c, 0x66), QColor(0x3a, 0x3f, 0x46)));
                p.drawRoundedRect(bay, 1, 1);
                p.setPen(QPen(QColor(0xa6, 0xae, 0xb8), 1.4, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(bay.left() + 3, bay.center().y()), QPointF(bay.left() + 10, bay.center().y()));
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x3d, 0xe0, 0x82));
                p.drawEllipse(QPointF(bay.right() - 2.8, bay.center().y()), 1.1, 1.1);
            }
        }

        // Power button with a blue ring and the status lights.
        p.setPen(QPen(QColor(0x3f, 0xa9, 0xf5), 1.4));
        p.setBrush(QColor(0x22, 0x26, 0x2b));
        p.drawEllipse(QPointF(52, 29), 3.4, 3.4);
        p.setPen(Qt::NoPen);
        const QColor lights[3] = {QColor(0x3d, 0xe0, 0x82), QColor(0x3d, 0xe0, 0x82), QColor(0x3f, 0xa9, 0xf5)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(lights[i]);
            p.drawEllipse(QPointF(48 + i * 4, 39), 1.3, 1.3);
        }
    });
}

QImage Artwork::digitalRecorder(int scale)
{
    return render(64, 64, scale, [](QPainter &p) {
        softShadow(p, QPointF(32, 50), 29, 4);

        // Two antennas behind the box.
        const QColor rod(0x2f, 0x34, 0x3b);
        p.setPen(QPen(rod, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13, 20), QPointF(9, 4));
        p.drawLine(QPointF(51, 20), QPointF(55, 4));
        p.setPen(Qt::NoPen);
        p.setBrush(rod);
        p.drawRoundedRect(QRectF(10, 17, 6, 5), 1, 1);
        p.drawRoundedRect(QRectF(48, 17, 6, 5), 1, 1);

        const QColor edge(0x5e, 0x65, 0x6f);
        QPainterPath top;
        top.addPolygon(QPolygonF({QPointF(9, 20), QPointF(55, 20), QPointF(60, 25), QPointF(4, 25)}));
        top.closeSubpath();
        p.setPen(QPen(edge, 1.0));
        p.setBrush(vertical(20, 25, QColor(0xfa, 0xfb, 0xfc), QColor(0xcf, 0xd4, 0xda)));
        p.drawPath(top);

        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3a, 0x3f, 0x46));
        p.drawRoundedRect(QRectF(8, 47, 8, 3), 1, 1);
        p.drawRoundedRect(QRectF(48, 47, 8, 3), 1, 1);
        p.setPen(QPen(edge, 1.0));
        p.setBrush(vertical(25, 49, QColor(0xdc, 0xe0, 0xe5), QColor(0xa4, 0xab, 0xb4)));
        p.drawRoundedRect(QRectF(4, 25, 56, 24), 2, 2);

        // Clock display and lights.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x10, 0x2a, 0x3c));
        p.drawRoundedRect(QRectF(8, 28, 19, 7), 1, 1);
        p.setBrush(QColor(0x4f, 0xd8, 0xf0));
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(10 + i * 4 + (i > 1 ? 1 : 0), 30, 2.6, 3));
        p.setBrush(QColor(0x3d, 0xc8, 0x72));
        p.drawEllipse(QPointF(32, 31.5), 1.4, 1.4);
        p.setBrush(QColor(0xff, 0xa8, 0x1f));
        p.drawEllipse(QPointF(37, 31.5), 1.4, 1.4);
        p.setPen(QPen(edge, 1.0));
        p.setBrush(vertical(28, 35, QColor(0xf4, 0xf5, 0xf7), QColor(0xb9, 0xbf, 0xc7)));
        p.drawEllipse(QPointF(53, 31.5), 2.8, 2.8);

        // A row of coaxial camera inputs: metal collar, bayonet pins, insulator, centre pin.
        for (int i = 0; i < 4; ++i) {
            const QPointF c(12 + i * 11.5, 41.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x6f, 0x76, 0x80));
            p.drawRect(QRectF(c.x() - 5.6, c.y() - 0.9, 11.2, 1.8));
            QRadialGradient metal(c.x() - 1.5, c.y() - 1.5, 5.5);
            metal.setColorAt(0, QColor(0xff, 0xff, 0xff));
            metal.setColorAt(1, QColor(0x86, 0x8d, 0x97));
            p.setPen(QPen(QColor(0x4a, 0x50, 0x59), 0.8));
            p.setBrush(metal);
            p.drawEllipse(c, 4.3, 4.3);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x26, 0x2a, 0x30));
            p.drawEllipse(c, 2.5, 2.5);
            p.setBrush(QColor(0xf2, 0xc9, 0x4c));
            p.drawEllipse(c, 0.9, 0.9);
        }
    });
}

QImage Artwork::camera(int scale)
{
    return render(64, 64, scale, [](QPainter &p) {
        const QColor outline(0x39, 0x3f, 0x47);
        const QColor shell(0xf2, 0xf4, 0xf7);

        // Wall plate and the bent arm that holds the camera.
        p.setPen(QPen(outline, 2.4));
        p.setBrush(vertical(26, 52, QColor(0xe6, 0xe9, 0xed), QColor(0xb4, 0xba, 0xc2)));
        p.drawRoundedRect(QRectF(51, 26, 8, 26), 2.5, 2.5);
        QPainterPath arm;
        arm.moveTo(40, 28);
        arm.lineTo(40, 40);
        arm.lineTo(51, 40);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(outline, 8.4, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(arm);
        p.setPen(QPen(QColor(0xc9, 0xce, 0xd5), 4.0, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(arm);

        // The body, tilted down towards what it watches.
        p.save();
        p.translate(30, 25);
        p.rotate(-15);
        p.setPen(QPen(outline, 2.4));
        p.setBrush(vertical(-8, 8, shell, QColor(0xbf, 0xc5, 0xcd)));
        p.drawRoundedRect(QRectF(-20, -8, 38, 17), 7, 7);
        // Sun shield over the top, reaching past the front.
        p.setBrush(vertical(-14, -8, QColor(0xff, 0xff, 0xff), QColor(0xd5, 0xda, 0xe0)));
        p.drawRoundedRect(QRectF(-25, -14, 44, 7), 3, 3);
        // Dark front with the lens.
        p.setBrush(QColor(0x1f, 0x26, 0x2f));
        p.drawEllipse(QPointF(-20, 0.5), 5, 8);
        QRadialGradient glass(-21.5, -1.5, 5);
        glass.setColorAt(0, QColor(0x7f, 0xc8, 0xff));
        glass.setColorAt(0.6, QColor(0x1f, 0x6f, 0xc0));
        glass.setColorAt(1, QColor(0x0d, 0x2e, 0x5a));
        p.setPen(Qt::NoPen);
        p.setBrush(glass);
        p.drawEllipse(QPointF(-20.5, 0.5), 3.6, 5.2);
        p.setBrush(QColor(255, 255, 255, 220));
        p.drawEllipse(QPointF(-21.5, -1.8), 1.2, 1.5);
        p.restore();
    });
}

void Artwork::drawEye(QPainter &p)
{
    QPainterPath lids;
    lids.moveTo(1.5, 10);
    lids.cubicTo(4.5, 4.2, 15.5, 4.2, 18.5, 10);
    lids.cubicTo(15.5, 15.8, 4.5, 15.8, 1.5, 10);
    lids.closeSubpath();
    p.setPen(QPen(kFieldGlyph, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lids);
    p.setPen(Qt::NoPen);
    p.setBrush(kFieldGlyph);
    p.drawEllipse(QPointF(10, 10), 3.3, 3.3);
    // Catch light.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(11.2, 8.8), 1.0, 1.0);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QImage Artwork::eyeOpen(int scale)
{
    return render(20, 20, scale, [](QPainter &p) { drawEye(p); });
}

QImage Artwork::eyeHidden(int scale)
{
    return render(20, 20, scale, [](QPainter &p) {
        drawEye(p);
        // Strike it through, with a gap either side of the stroke.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 4.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(2.5, 2.5), QPointF(17.5, 17.5));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(kFieldGlyph, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(16.5, 16.5));
    });
}

// The logos are designed on a 64 unit square and drawn at each size they are stored at.
static int logoOversample(int size)
{
    return qBound(2, 1024 / size, 8);
}

QImage Artwork::tileLogo(int size)
{
    return render(size, size, 1, [size](QPainter &p) {
        p.scale(size / 64.0, size / 64.0);
        QLinearGradient g(0, 0, 64, 64);
        g.setColorAt(0, QColor(0x2a, 0x55, 0xd6));
        g.setColorAt(1, QColor(0x18, 0xb4, 0xe8));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
        QPainterPath wave;
        wave.moveTo(13, 38);
        wave.cubicTo(19, 16, 27, 16, 32, 32);
        wave.cubicTo(37, 48, 45, 48, 51, 26);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 7.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(wave);
    }, logoOversample(size));
}

QImage Artwork::apertureLogo(int size)
{
    return render(size, size, 1, [size](QPainter &p) {
        p.scale(size / 64.0, size / 64.0);
        QLinearGradient g(0, 0, 64, 64);
        g.setColorAt(0, QColor(0x12, 0x9c, 0x86));
        g.setColorAt(1, QColor(0x74, 0xd0, 0x7c));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QRectF(2, 2, 60, 60));

        // Shutter blades: each edge of a small hexagon carried on to the ring.
        const QPointF c(32, 32);
        const qreal inner = 8.5;
        const qreal ring = 21;
        QPointF corner[6];
        for (int k = 0; k < 6; ++k) {
            const qreal a = qDegreesToRadians(k * 60.0 - 90.0);
            corner[k] = c + QPointF(qCos(a), qSin(a)) * inner;
        }
        QPainterPath blades;
        for (int k = 0; k < 6; ++k) {
            const QPointF from = corner[k];
            const QPointF dir = corner[k] - corner[(k + 5) % 6];
            const qreal len = std::hypot(dir.x(), dir.y());
            blades.moveTo(from);
            blades.lineTo(from + dir / len * ring);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::FlatCap));
        QPainterPath clip;
        clip.addEllipse(c, ring, ring);
        p.setClipPath(clip);
        p.drawPath(blades);
        p.setClipping(false);
        p.setPen(QPen(Qt::white, 5));
        p.drawEllipse(c, ring, ring);
    }, logoOversample(size));
}

QImage Artwork::latticeLogo(int size)
{
    return render(size, size, 1, [size](QPainter &p) {
        p.scale(size / 64.0, size / 64.0);
        p.translate(32, 32);
        p.rotate(45);
        QPainterPath diamond;
        diamond.addRoundedRect(QRectF(-21.5, -21.5, 43, 43), 6, 6);
        QLinearGradient g(-21.5, -21.5, 21.5, 21.5);
        g.setColorAt(0, QColor(0xff, 0xb3, 0x2e));
        g.setColorAt(1, QColor(0xee, 0x43, 0x2b));
        p.fillPath(diamond, g);
        // A lattice of three by three panes.
        p.setClipPath(diamond);
        p.setPen(QPen(Qt::white, 4.4, Qt::SolidLine, Qt::FlatCap));
        for (qreal v : {-7.0, 7.0}) {
            p.drawLine(QPointF(v, -16), QPointF(v, 16));
            p.drawLine(QPointF(-16, v), QPointF(16, v));
        }
    }, logoOversample(size));
}

QVector<QImage> Artwork::logoSizes(QImage (*draw)(int))
{
    // The first entry is what a plain image read of the file returns.
    QVector<QImage> images;
    for (int size : {32, 16, 20, 24, 48, 64, 256})
        images.append(draw(size));
    return images;
}

QVector<ArtworkFile> Artwork::all()
{
    // Each image the tool shows is drawn once as it is and once at twice its size,
    // which Qt picks on screens scaled by more than 1.
    const struct
    {
        const char *name;
        QImage (*draw)(int scale);
        int shownSize;
    } pictures[] = {
        {"option", &Artwork::optionsGear, 20},
        {"option2", &Artwork::optionsSliders, 20},
        {"btn_close_pre", &Artwork::closeCross, 20},
        {"btn_min_pre", &Artwork::minimiseBar, 20},
        {"NVR", &Artwork::networkRecorder, 64},
        {"DVR", &Artwork::digitalRecorder, 64},
        {"c512", &Artwork::camera, 16},
        {"btn_psw_visible", &Artwork::eyeOpen, 20},
        {"btn_psw_invisible", &Artwork::eyeHidden, 20},
    };
    QVector<ArtworkFile> files;
    for (const auto &picture : pictures) {
        const QString name = QStringLiteral("btn/") + QLatin1String(picture.name);
        files.append({name + QStringLiteral(".png"), {picture.draw(1)}, picture.shownSize});
        files.append({name + QStringLiteral("@2x.png"), {picture.draw(2)}, picture.shownSize * 2});
    }
    files.append({QStringLiteral("logo/norvan_logo.ico"), logoSizes(&Artwork::tileLogo), 32});
    files.append({QStringLiteral("logo/vessik.ico"), logoSizes(&Artwork::apertureLogo), 32});
    files.append({QStringLiteral("logo/trellik.ico"), logoSizes(&Artwork::latticeLogo), 20});
    // The desktop's menu entry shows the logo of the title bar.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        files.append({QStringLiteral("hicolor/%1x%1/apps/searcher.png").arg(size), {latticeLogo(size)}, size});
    }
    return files;
}
