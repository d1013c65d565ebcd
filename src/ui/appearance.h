// Colours the pages set on controls: the red background of the entry form in
// modify mode, the grey of disabled customer buttons, the red or grey customer
// name. One place, so that every kind of control takes them the same way.
#pragma once

#include <QColor>

class QWidget;

namespace ui {

// The background of an edit box, combo box, list or label; an ImageButton
// takes it as its colour while the mouse is outside.
void setBackgroundColor(QWidget* control, const QColor& color);
QColor backgroundColor(const QWidget* control);

// The text colour of a label or any other control with a caption.
void setTextColor(QWidget* control, const QColor& color);
QColor textColor(const QWidget* control);

}  // namespace ui
