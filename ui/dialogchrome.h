#pragma once

#include <QPoint>

class QWidget;

// What every frameless dialog drawn inside the main window shares: placing
// itself over its parent, following its title bar's drags, closing on Escape,
// and painting the style sheet of a plain widget.
namespace DialogChrome {

// Centres widget in its parent, keeping its size; the halves truncate toward zero.
void centerInParent(QWidget *widget);

// Shifts widget by offset (a title bar's drag step), keeping its size.
void moveBy(QWidget *widget, QPoint offset);

// Escape, while the keyboard focus is in dialog, calls dialog's closeSlot: the
// same way out as its close label.
void closeOnEscape(QWidget *dialog, const char *closeSlot);

// To be called from paintEvent: a plain QWidget draws nothing of its style sheet
// (background, border, image) unless it paints PE_Widget itself.
void paintStyleSheet(QWidget *widget);

} // namespace DialogChrome
