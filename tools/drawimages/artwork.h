#pragma once

#include <QImage>
#include <QString>
#include <QVector>

#include <functional>

class QPainter;

// One file the tool embeds: its path below the output folder, the images it
// holds (one for PNG, several sizes for an icon file) and the size it is shown at.
struct ArtworkFile
{
    QString path;
    QVector<QImage> images;
    int shownSize = 0;
};

// Draws every image the tool embeds. Each drawing works in the coordinates of
// the final image and is rendered at several times that size, then reduced
// smoothly, so edges on whole pixels stay sharp and slanted ones are antialiased.
// The glyphs take a scale: 1 draws them at the size they are shown at, 2 at
// twice that for screens scaled by more than 1.
class Artwork
{
public:
    static QVector<ArtworkFile> all();

    static QImage optionsGear(int scale);
    static QImage optionsSliders(int scale);
    static QImage closeCross(int scale);
    static QImage minimiseBar(int scale);
    static QImage networkRecorder(int scale);
    static QImage digitalRecorder(int scale);
    static QImage camera(int scale);
    static QImage eyeOpen(int scale);
    static QImage eyeHidden(int scale);

    static QImage tileLogo(int size);
    static QImage apertureLogo(int size);
    static QImage latticeLogo(int size);

private:
    using Drawing = std::function<void(QPainter &)>;
    static QImage render(int width, int height, int scale, const Drawing &draw, int oversample = 8);
    static QVector<QImage> logoSizes(QImage (*draw)(int));
    static void drawEye(QPainter &p);
};
