#include "btn.h"

#include <QMouseEvent>

#include "ui/buttonaccess.h"

Btn::Btn(QWidget *parent)
    : QLabel(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void Btn::mouseReleaseEvent(QMouseEvent *e)
{
    // The label only receives releases of presses that began on it, wherever
    // the pointer is by then; that is taken as a click.
    if (e->button() == Qt::LeftButton)
        emit clicked();
}

void Btn::keyPressEvent(QKeyEvent *e)
{
    if (ButtonAccess::isPressKey(e))
        emit clicked();
    else
        QLabel::keyPressEvent(e);
}
