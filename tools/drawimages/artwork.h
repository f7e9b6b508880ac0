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
class Artwork
{
public:
    static QVector<ArtworkFile> all();

    static QImage optionsGear();
    static QImage optionsSliders();
    static QImage closeCross();
    static QImage minimiseBar();
    static QImage networkRecorder();
    static QImage digitalRecorder();
    static QImage camera();
    static QImage eyeOpen();
    static QImage eyeHidden();

    static QImage tileLogo(int size);
    static QImage apertureLogo(int size);
    static QImage latticeLogo(int size);

private:
    using Drawing = std::function<void(QPainter &)>;
    static QImage render(int width, int height, const Drawing &draw, int oversample = 8);
    static QVector<QImage> logoSizes(QImage (*draw)(int));
    static void drawEye(QPainter &p);
};
