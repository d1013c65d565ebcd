#include "combo_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace ui {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    // A drop-down list filled into an empty box selects nothing (Qt would
    // select the first entry unless there is a placeholder; an editable box
    // never shows it).
    setPlaceholderText(QStringLiteral(" "));
    setCurrentIndex(-1);
    // Typed text is stored exactly as typed: no completion that turns "Bo"
    // into "Bob" as the operator types, and no matching (letter case
    // ignored) that turns "alice" into "Alice" and selects that entry when
    // the focus leaves the box, which would also count as a pick.
    setCompleter(nullptr);
    disconnect(lineEdit(), SIGNAL(editingFinished()), this, nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { clearSelectedEntry(); });
    lineEdit()->installEventFilter(this);
}

namespace {

bool isEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

}  // namespace

// The open list takes Enter itself to pick the entry under the cursor; what
// reaches the box or its edit is Enter on typed text, which goes no further.
void ComboBox::keyPressEvent(QKeyEvent* event) {
    if (isEnter(event)) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress &&
        isEnter(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void ComboBox::clearSelectedEntry() {
    if (currentIndex() < 0) return;
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    {
        // Setting the index to -1 empties an editable box; the text comes
        // straight back, so nobody needs to hear of the interim empty text.
        const QSignalBlocker blockEdit(edit);
        const QSignalBlocker blockBox(this);
        setCurrentIndex(-1);
        edit->setText(text);
        edit->setCursorPosition(cursor);
    }
    emit currentIndexChanged(-1);
}

void ComboBox::clearText() {
    setCurrentIndex(-1);
    setEditText(QString());
}

}  // namespace ui
