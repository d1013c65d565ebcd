// An editable drop-down. As soon as the operator types, the box has no
// selected list entry any more (currentIndex() is -1) while the typed text
// stays; picking an entry from the list selects it again. Pages tell "picked
// from the list" from "typed" this way. Filling the list selects no entry,
// and neither does Enter on typed text. Typed text is never completed or
// replaced by a list entry, and only a choice in the drop-down (mouse or
// keys) selects an entry and emits activated(): typing an entry's text and
// leaving the box is no pick.
#pragma once

#include <QComboBox>

namespace ui {

class ComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit ComboBox(QWidget* parent = nullptr);

    // Drops the selected entry but keeps the text.
    void clearSelectedEntry();
    // Empties the text and drops the selected entry.
    void clearText();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ui
