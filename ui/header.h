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

signals:
    void moveMsg(QPoint);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    bool pressed = false;
    int pressX = 0;
    int pressY = 0;
};
