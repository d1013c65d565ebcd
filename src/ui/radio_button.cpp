#include "radio_button.h"

namespace ui {

RadioButton::RadioButton(QWidget* parent) : QRadioButton(parent) {
    setAutoExclusive(false);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        if (!on || !parentWidget()) return;
        const auto siblings =
            parentWidget()->findChildren<RadioButton*>(QString(), Qt::FindDirectChildrenOnly);
        for (RadioButton* other : siblings) {
            if (other != this) other->setChecked(false);
        }
    });
}

void RadioButton::nextCheckState() {
    if (!isChecked()) setChecked(true);
}

}  // namespace ui
