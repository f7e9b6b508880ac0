#pragma once

#include <QPoint>

class QWidget;

// What every frameless dialog drawn inside the main window shares: placing
// itself over its parent, following its title bar's drags, and painting the
// style sheet of a plain widget.
namespace DialogChrome {

// Centres widget in its parent, keeping its size; the halves truncate toward zero.
void centerInParent(QWidget *widget);

// Shifts widget by offset (a title bar's drag step), keeping its size.
void moveBy(QWidget *widget, QPoint offset);

// To be called from paintEvent: a plain QWidget draws nothing of its style sheet
// (background, border, image) unless it paints PE_Widget itself.
void paintStyleSheet(QWidget *widget);

} // namespace DialogChrome
