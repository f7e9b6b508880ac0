#pragma once

#include <QLabel>

// A label that acts as a button: the close and minimise images and the debug link.
class Btn final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Btn)

public:
    explicit Btn(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};
