#include "pswbtn.h"

#include <QMouseEvent>

#include "ui/dialogchrome.h"

PswBtn::PswBtn(QWidget *parent)
    : QLabel(parent)
{
    setStyleSheet(hiddenStyle);
}

void PswBtn::setShow(bool show)
{
    isShow = show;
    setStyleSheet(show ? shownStyle : hiddenStyle);
}

void PswBtn::mouseReleaseEvent(QMouseEvent *e)
{
    setShow(!isShow);
    if (e->button() == Qt::LeftButton)
        emit clickMsg(isShow);
}

void PswBtn::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);   // the eye is the style sheet's image; the label has no text
}
