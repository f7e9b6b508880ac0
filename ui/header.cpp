#include "header.h"

#include <QMouseEvent>
#include <QWindow>

#include "ui/dialogchrome.h"

Header::Header(QWidget *parent)
    : QWidget(parent)
{
}

void Header::mousePressEvent(QMouseEvent *e)
{
    // Any press starts over: a child label may have taken the last release.
    pressed = e->button() == Qt::LeftButton;
    QWindow *handle = window()->windowHandle();
    if (pressed && systemMove && handle && handle->startSystemMove()) {
        pressed = false;   // the window system moves the window until the release
        return;
    }
    const QPoint at = e->localPos().toPoint();
    pressX = at.x();
    pressY = at.y();
}

void Header::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        pressed = false;
}

void Header::mouseMoveEvent(QMouseEvent *e)
{
    // The press point stays put: the holder moves by each offset, which brings
    // the pointer back to the press point in bar coordinates, so every event
    // reports only the movement since the previous one.
    // A child label may have taken the left release: a move without the
    // left button held ends the drag.
    pressed = pressed && (e->buttons() & Qt::LeftButton);
    if (pressed)
        emit moveMsg(e->localPos().toPoint() - QPoint(pressX, pressY));
}

void Header::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
