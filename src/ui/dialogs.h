// Everything modal that the operator answers goes through one interface:
// message boxes, OK/Cancel questions and the password prompt. The program
// uses the widget implementation; tests install a ScriptedDialogs
// (scripted_dialogs.h), which records every message and gives queued answers.
//
//   ui::dialogs().message("请正确填写金额！", ui::MessageIcon::Warning);
//   if (ui::dialogs().question("是否删除当前选中第 3 项？", "当前选中第  3  项")) ...
//   if (auto typed = ui::dialogs().askPassword("请输入查询密码")) ...
//   if (auto path = ui::dialogs().askSaveFile("导出到Excel", "查询结果.xlsx",
//                                             "Excel 工作簿 (*.xlsx)")) ...
#pragma once

#include <QString>
#include <optional>

namespace ui {

enum class MessageIcon {
    Error,        // the stop sign: a table that cannot be opened, a wrong password
    Warning,      // refused input
    Information,  // success, empty results
    Question,     // confirmations (question() shows it with OK and Cancel)
};

// The caption of every message box that names no other.
inline constexpr const char* kDefaultCaption = "信息：";
QString defaultCaption();

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A task-modal message box with `icon` and one OK button.
    void message(const QString& text, MessageIcon icon, const QString& caption = defaultCaption()) {
        showMessage(text, icon, caption);
    }
    // A task-modal box with the question icon, OK and Cancel; true for OK.
    bool question(const QString& text, const QString& caption = defaultCaption()) {
        return showQuestion(text, caption);
    }
    // The password prompt: window title `title`, no prompt line, one masked
    // field that starts empty, "确认输入(&O)" (the default button, Enter) and
    // "取消(&C)" (also Escape and the close box). The typed text, which may be
    // empty, or nullopt when cancelled.
    std::optional<QString> askPassword(const QString& title) { return showPasswordPrompt(title); }
    // The save-file dialog: window title `caption`, starting in the folder
    // and with the name of `suggestedPath`, offering the one kind of file
    // `filter` names ("Excel 工作簿 (*.xlsx)"), whose extension a typed name
    // without one receives; an existing file is replaced only after the
    // operator agrees. The chosen path, or nullopt when cancelled.
    std::optional<QString> askSaveFile(const QString& caption, const QString& suggestedPath,
                                       const QString& filter) {
        return showSaveFileDialog(caption, suggestedPath, filter);
    }

    // The process-wide instance; the widget dialogs unless another is set.
    static Dialogs& current();
    // Installs `dialogs` (nullptr: the widget dialogs again) and returns the
    // one it replaces (nullptr when that was the widget dialogs).
    static Dialogs* setCurrent(Dialogs* dialogs);

  protected:
    virtual void showMessage(const QString& text, MessageIcon icon, const QString& caption) = 0;
    virtual bool showQuestion(const QString& text, const QString& caption) = 0;
    virtual std::optional<QString> showPasswordPrompt(const QString& title) = 0;
    virtual std::optional<QString> showSaveFileDialog(const QString& caption,
                                                      const QString& suggestedPath,
                                                      const QString& filter) = 0;
};

inline Dialogs& dialogs() { return Dialogs::current(); }

// Where a save-file dialog starts: the folder of the file the operator last
// saved in this run, else the documents folder (else the home folder).
QString saveFolder();
void rememberSaveFolder(const QString& savedFilePath);

}  // namespace ui
