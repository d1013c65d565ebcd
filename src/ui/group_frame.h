// A titled frame drawn the way the fixed layouts expect: the title sits on
// the frame's top line at the upper left, and the controls inside are placed
// from the frame's own top-left corner (Qt's group box puts its title above
// the frame and would run the line through controls placed near the top).
#pragma once

#include <QGroupBox>

namespace ui {

class GroupFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit GroupFrame(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
