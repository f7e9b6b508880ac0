#include "btn.h"

#include <QMouseEvent>

Btn::Btn(QWidget *parent)
    : QLabel(parent)
{
}

void Btn::mouseReleaseEvent(QMouseEvent *e)
{
    // The label only receives releases of presses that began on it, wherever
    // the pointer is by then; that is taken as a click.
    if (e->button() == Qt::LeftButton)
        emit clicked();
}
