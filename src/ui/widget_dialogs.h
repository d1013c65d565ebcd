// The real dialogs: task-modal message boxes without an owner window, the
// password prompt and the save-file dialog.
#pragma once

#include "dialogs.h"

class QMessageBox;

namespace ui {

class WidgetDialogs : public Dialogs {
  public:
    // The box message() and question() show, built but not run (for tests and
    // for anyone who needs to look at it).
    static QMessageBox* makeMessageBox(const QString& text, MessageIcon icon,
                                       const QString& caption, bool withCancel);

  protected:
    void showMessage(const QString& text, MessageIcon icon, const QString& caption) override;
    bool showQuestion(const QString& text, const QString& caption) override;
    std::optional<QString> showPasswordPrompt(const QString& title) override;
    std::optional<QString> showSaveFileDialog(const QString& caption, const QString& suggestedPath,
                                              const QString& filter) override;
};

}  // namespace ui
