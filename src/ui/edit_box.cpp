#include "edit_box.h"

#include <QMouseEvent>

namespace ui {

EditBox::EditBox(QWidget* parent) : QLineEdit(parent) {}

void EditBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

}  // namespace ui
