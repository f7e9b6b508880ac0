#pragma once

#include <QWidget>

// An area that reports left presses on itself, so that a press beside the
// operation menu closes it. Presses taken by a child never reach it.
class Background final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Background)

public:
    explicit Background(QWidget *parent = nullptr);

signals:
    void clickMsg();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
};
