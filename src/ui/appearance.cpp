#include "appearance.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <utility>

#include "image_button.h"

namespace ui {
namespace {

// Edit boxes, combo boxes and lists fill with Base; labels and frames with
// Window.
bool usesBaseRole(const QWidget* control) {
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control) ||
           qobject_cast<const QAbstractScrollArea*>(control);
}

double luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableGrey(const QColor& background, double contrast) {
    // Away from the background's side: darker greys on a light face, lighter
    // ones on a dark face; the first that reads is the palest.
    const bool light = contrastRatio(background, Qt::black) >= contrastRatio(background, Qt::white);
    for (int step = 0; step <= 255; ++step) {
        const int level = light ? 255 - step : step;
        const QColor grey(level, level, level);
        if (contrastRatio(grey, background) >= contrast) return grey;
    }
    return light ? QColor(Qt::black) : QColor(Qt::white);
}

void makeDisabledTextReadable() {
    QPalette palette = QApplication::palette();
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> inkOnFace[] = {
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base}};
    for (const auto& [ink, face] : inkOnFace) {
        palette.setColor(QPalette::Disabled, ink,
                         readableGrey(palette.color(QPalette::Disabled, face), kCaptionContrast));
    }
    QApplication::setPalette(palette);
}

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
