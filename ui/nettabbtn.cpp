#include "nettabbtn.h"

#include <QLabel>
#include <QMouseEvent>
#include <QStyle>

#include "ui/buttonaccess.h"
#include "ui/dialogchrome.h"

NetTabBtn::NetTabBtn(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSelected(false);
}

QList<QLabel *> NetTabBtn::labels() const
{
    return findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
}

void NetTabBtn::setSelected(bool selected)
{
    isSelected = selected;
    setStyleSheet(selected ? selectedBackground : unselectedBackground);
    for (QLabel *label : labels())
        label->setStyleSheet(selected ? selectedText : unselectedText);
    // A tab selected before its dialog is first shown keeps the rules the
    // style cached while the form was sized; polishing again drops them.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void NetTabBtn::setStatus(bool active)
{
    // The status label is the one whose name ends in "Status" (label_wifiStatus, label_wireStatus).
    for (QLabel *label : labels()) {
        if (label->objectName().endsWith(QLatin1String("Status")))
            label->setText(active ? tr("[已启用]") : tr("[未启用]"));
    }
}

void NetTabBtn::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clickMsg(this);
}

void NetTabBtn::keyPressEvent(QKeyEvent *e)
{
    if (ButtonAccess::isPressKey(e))
        emit clickMsg(this);
    else
        QWidget::keyPressEvent(e);
}

void NetTabBtn::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
