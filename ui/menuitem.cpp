#include "menuitem.h"

#include <QMouseEvent>

#include "ui/buttonaccess.h"
#include "ui/dialogchrome.h"

MenuItem::MenuItem(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void MenuItem::mousePressEvent(QMouseEvent *e)
{
    // Other buttons are swallowed here too, so they neither choose an entry
    // nor reach the menu's holder.
    if (e->button() == Qt::LeftButton)
        emit clicked(this);
}

void MenuItem::keyPressEvent(QKeyEvent *e)
{
    if (ButtonAccess::isPressKey(e))
        emit clicked(this);
    else
        QWidget::keyPressEvent(e);
}

void MenuItem::enterEvent(QEvent *)
{
    setStyleSheet(hoverStyle);
}

void MenuItem::leaveEvent(QEvent *)
{
    setStyleSheet(normalStyle);
}

void MenuItem::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
