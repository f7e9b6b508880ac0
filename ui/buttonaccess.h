#pragma once

class QAccessibleInterface;
class QKeyEvent;
class QObject;
class QString;

// How the widgets that act as buttons without being push buttons (Btn, PswBtn,
// NetTabBtn, MenuItem) are used without a mouse: the keys that press the one
// with the focus, and what assistive technology sees of them, a button with the
// accessible name of its form that its press action presses like those keys do.
namespace ButtonAccess {

// Enter, Return and Space.
bool isPressKey(const QKeyEvent *e);

// For QAccessible::installFactory, once at start-up.
QAccessibleInterface *factory(const QString &className, QObject *object);

} // namespace ButtonAccess
