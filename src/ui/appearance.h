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

// The contrast ratio of two colours (WCAG 2: 1 for equal luminance, up to
// 21 for black on white). Text from 4.5 on counts as readable.
double contrastRatio(const QColor& a, const QColor& b);
inline constexpr double kReadableContrast = 4.5;

// The grey nearest to `background` that still reads on it with at least
// `contrast`: greyed-out captions that stay legible. Small text drawn with
// smoothed edges reaches its full colour in few pixels, so captions ask for
// more than the bare kReadableContrast.
QColor readableGrey(const QColor& background, double contrast = kReadableContrast);
inline constexpr double kCaptionContrast = 5.5;

// Gives the application's disabled captions, texts and labels a grey that
// reads on their disabled faces (the default style's disabled grey almost
// vanishes on its grey faces). Call once at start-up, before any window.
void makeDisabledTextReadable();

// The text colour of a label or any other control with a caption.
void setTextColor(QWidget* control, const QColor& color);
QColor textColor(const QWidget* control);

}  // namespace ui
