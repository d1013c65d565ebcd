// A radio button that, unlike Qt's exclusive ones, can be cleared again
// (the entry form unchecks both status buttons after a save). Checking one
// clears the other RadioButtons of the same container.
#pragma once

#include <QRadioButton>

namespace ui {

class RadioButton : public QRadioButton {
    Q_OBJECT
  public:
    explicit RadioButton(QWidget* parent = nullptr);

  protected:
    // A click on a checked button leaves it checked, as on every platform's
    // radio buttons; only code (and the sibling rule) clears it.
    void nextCheckState() override;
};

}  // namespace ui
