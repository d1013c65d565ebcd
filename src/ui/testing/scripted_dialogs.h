// The test double of the dialogs. Constructing one installs it as the
// process-wide instance and destroying it puts the previous one back:
//
//   ui::ScriptedDialogs d;
//   d.answerQuestion(true);
//   d.answerPassword("123");
//   ... run the handler ...
//   EXPECT_EQ(d.messages(), (QList<ui::RecordedMessage>{
//       {"修改成功！", ui::MessageIcon::Information, "信息："}}));
//
// Every message and every question is recorded in order (a question with the
// Question icon); password prompts are recorded by title. Questions and
// prompts take the queued answers in order; with none queued a question is
// answered Cancel and a prompt is cancelled, and unansweredCount() counts it.
// Save-file dialogs are recorded and take queued paths the same way (none
// queued: cancelled).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <ostream>

#include "dialogs.h"

namespace ui {

struct RecordedMessage {
    QString text;
    MessageIcon icon;
    QString caption;

    bool operator==(const RecordedMessage&) const = default;
};

// For readable test failures.
std::ostream& operator<<(std::ostream& out, const RecordedMessage& message);
std::ostream& operator<<(std::ostream& out, MessageIcon icon);

class ScriptedDialogs : public Dialogs {
  public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue answers.
    void answerQuestion(bool ok);
    void answerPassword(const QString& typed);
    void cancelPassword();
    void answerSaveFile(const QString& path);
    void cancelSaveFile();

    // What was shown.
    const QList<RecordedMessage>& messages() const { return messages_; }
    QStringList messageTexts() const;
    const QStringList& passwordTitles() const { return passwordTitles_; }
    struct SaveFileRequest {
        QString caption;
        QString suggestedPath;
        QString filter;
        bool operator==(const SaveFileRequest&) const = default;
    };
    const QList<SaveFileRequest>& saveFileRequests() const { return saveFileRequests_; }

    // Questions and prompts that found no queued answer.
    int unansweredCount() const { return unanswered_; }
    // Answers queued but not used yet.
    int pendingQuestionAnswers() const { return static_cast<int>(questionAnswers_.size()); }
    int pendingPasswordAnswers() const { return static_cast<int>(passwordAnswers_.size()); }
    int pendingSaveFileAnswers() const { return static_cast<int>(saveFileAnswers_.size()); }

    // Forgets what was shown (the queued answers stay).
    void clearRecords();

  protected:
    void showMessage(const QString& text, MessageIcon icon, const QString& caption) override;
    bool showQuestion(const QString& text, const QString& caption) override;
    std::optional<QString> showPasswordPrompt(const QString& title) override;
    std::optional<QString> showSaveFileDialog(const QString& caption, const QString& suggestedPath,
                                              const QString& filter) override;

  private:
    Dialogs* previous_;
    QList<RecordedMessage> messages_;
    QStringList passwordTitles_;
    std::deque<bool> questionAnswers_;
    struct PasswordAnswer {
        bool cancelled;
        QString typed;
    };
    std::deque<PasswordAnswer> passwordAnswers_;
    QList<SaveFileRequest> saveFileRequests_;
    std::deque<std::optional<QString>> saveFileAnswers_;
    int unanswered_ = 0;
};

}  // namespace ui
