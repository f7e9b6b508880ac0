#pragma once

class QAccessibleInterface;
class QKeyEvent;
class QObject;
class QString;
class QWidget;

// How the widgets that act as buttons without being push buttons (Btn, PswBtn,
// NetTabBtn, MenuItem) are used without a mouse: the keys that press the one
// with the focus, and what assistive technology sees of them, a button with the
// accessible name of its form that its press action presses like those keys do.
namespace ButtonAccess {

// Enter, Return and Space.
bool isPressKey(const QKeyEvent *e);

// Outlines the button while it has the keyboard focus, after its own painting:
// a blue that stands out on the dark title bar and on the light dialogs alike.
void paintFocusMark(QWidget *button);

// For QAccessible::installFactory, once at start-up.
QAccessibleInterface *factory(const QString &className, QObject *object);

} // namespace ButtonAccess
