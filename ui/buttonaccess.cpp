#include "buttonaccess.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

class LabelButtonAccessible final : public QAccessibleWidget
{
public:
    explicit LabelButtonAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // The same way in as a keyboard user's: the widget's own key handling.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(widget(), &press);
    }
};

} // namespace

namespace ButtonAccess {

bool isPressKey(const QKeyEvent *e)
{
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    return plain && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space);
}

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    const bool labelButton = className == QLatin1String("Btn") || className == QLatin1String("PswBtn")
        || className == QLatin1String("NetTabBtn") || className == QLatin1String("MenuItem");
    if (labelButton && object && object->isWidgetType())
        return new LabelButtonAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace ButtonAccess
