// A single-line edit box that also reports a double click (the entry page's
// remark box opens the item composer on it).
#pragma once

#include <QLineEdit>

namespace ui {

class EditBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit EditBox(QWidget* parent = nullptr);

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace ui
