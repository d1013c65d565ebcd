#include "appearance.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include "image_button.h"

namespace ui {
namespace {

// Edit boxes, combo boxes and lists fill with Base; labels and frames with
// Window.
bool usesBaseRole(const QWidget* control) {
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control) ||
           qobject_cast<const QAbstractScrollArea*>(control);
}

}  // namespace

void setBackgroundColor(QWidget* control, const QColor& color) {
    if (auto* button = qobject_cast<ImageButton*>(control)) {
        button->setBackgroundColor(color);
        return;
    }
    QPalette palette = control->palette();
    if (usesBaseRole(control)) {
        palette.setColor(QPalette::Base, color);
        // An editable combo box shows its line edit, which inherits Base, but
        // paints its frame with Button.
        if (qobject_cast<QComboBox*>(control)) palette.setColor(QPalette::Button, color);
    } else {
        palette.setColor(QPalette::Window, color);
        palette.setColor(QPalette::Button, color);
        control->setAutoFillBackground(true);
    }
    control->setPalette(palette);
}

QColor backgroundColor(const QWidget* control) {
    if (auto* button = qobject_cast<const ImageButton*>(control)) return button->backgroundColor();
    return control->palette().color(usesBaseRole(control) ? QPalette::Base : QPalette::Window);
}

void setTextColor(QWidget* control, const QColor& color) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    control->setPalette(palette);
}

QColor textColor(const QWidget* control) {
    return control->palette().color(usesBaseRole(control) ? QPalette::Text : QPalette::WindowText);
}

}  // namespace ui
