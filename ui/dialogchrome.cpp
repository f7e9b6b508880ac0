#include "dialogchrome.h"

#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

namespace DialogChrome {

void centerInParent(QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    if (!parent)
        return;
    // Integer division truncates toward zero, also for a dialog larger than its parent.
    widget->move((parent->width() - widget->width()) / 2, (parent->height() - widget->height()) / 2);
}

void moveBy(QWidget *widget, QPoint offset)
{
    widget->move(widget->pos() + offset);
}

void closeOnEscape(QWidget *dialog, const char *closeSlot)
{
    new QShortcut(QKeySequence(Qt::Key_Escape), dialog, closeSlot, nullptr, Qt::WidgetWithChildrenShortcut);
}

void paintStyleSheet(QWidget *widget)
{
    QStyleOption option;
    option.initFrom(widget);
    QPainter painter(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
}

} // namespace DialogChrome
