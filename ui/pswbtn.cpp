#include "pswbtn.h"

#include <QMouseEvent>

#include "ui/buttonaccess.h"
#include "ui/dialogchrome.h"

PswBtn::PswBtn(QWidget *parent)
    : QLabel(parent)
{
    setFocusPolicy(Qt::StrongFocus);
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

void PswBtn::keyPressEvent(QKeyEvent *e)
{
    if (!ButtonAccess::isPressKey(e)) {
        QLabel::keyPressEvent(e);
        return;
    }
    setShow(!isShow);
    emit clickMsg(isShow);
}

void PswBtn::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);   // the eye is the style sheet's image; the label has no text
}
