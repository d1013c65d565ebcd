// The password prompt: the window title is the question, there is no prompt
// line, one masked field that starts empty, "确认输入(&O)" as the default
// button (Enter) and "取消(&C)" (also Escape and the close box). An empty text
// is a valid answer.
#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace ui {

class PasswordDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PasswordDialog(const QString& title, QWidget* parent = nullptr);

    QString typedText() const;
    QLineEdit* field() const { return field_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Shows the prompt modal for the whole program and waits: the typed text,
    // or nullopt when cancelled.
    static std::optional<QString> ask(const QString& title);

  private:
    QLineEdit* field_;
    QPushButton* confirm_;
    QPushButton* cancel_;
};

}  // namespace ui
