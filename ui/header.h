#pragma once

#include <QPoint>
#include <QWidget>

// Title bar of the frameless main window and of every dialog: while dragged
// with the left button it reports each movement of the pointer, and the
// window that holds it moves itself by that much.
class Header final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Header)

public:
    explicit Header(QWidget *parent = nullptr);

    // For the title bar of a top-level window: a press hands the drag to the
    // window system where it takes it, as on Wayland, where a window cannot
    // place itself; elsewhere the bar reports its drags as ever.
    void setMovesWindowBySystem(bool on) { systemMove = on; }

signals:
    void moveMsg(QPoint);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    bool systemMove = false;
    bool pressed = false;
    int pressX = 0;
    int pressY = 0;
};
