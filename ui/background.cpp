#include "background.h"

#include <QMouseEvent>

#include "ui/dialogchrome.h"

Background::Background(QWidget *parent)
    : QWidget(parent)
{
}

void Background::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clickMsg();
    QWidget::mousePressEvent(e);
}

void Background::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
