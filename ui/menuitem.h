#pragma once

#include <QString>
#include <QWidget>

// One entry of the operation menu: lit up while the pointer is over it,
// reports a left press with itself.
class MenuItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuItem)

public:
    explicit MenuItem(QWidget *parent = nullptr);

signals:
    void clicked(MenuItem *);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void enterEvent(QEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    const QString normalStyle = QStringLiteral("border:0");
    const QString hoverStyle = QStringLiteral("border:0;background-color:rgb(200, 220, 255);");
};
