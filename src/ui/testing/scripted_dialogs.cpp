#include "scripted_dialogs.h"

namespace ui {

std::ostream& operator<<(std::ostream& out, MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return out << "Error";
        case MessageIcon::Warning:
            return out << "Warning";
        case MessageIcon::Information:
            return out << "Information";
        case MessageIcon::Question:
            return out << "Question";
    }
    return out << "?";
}

std::ostream& operator<<(std::ostream& out, const RecordedMessage& message) {
    return out << '{' << message.text.toStdString() << ", " << message.icon << ", "
               << message.caption.toStdString() << '}';
}

ScriptedDialogs::ScriptedDialogs() : previous_(Dialogs::setCurrent(this)) {}

ScriptedDialogs::~ScriptedDialogs() { Dialogs::setCurrent(previous_); }

void ScriptedDialogs::answerQuestion(bool ok) { questionAnswers_.push_back(ok); }

void ScriptedDialogs::answerPassword(const QString& typed) {
    passwordAnswers_.push_back({false, typed});
}

void ScriptedDialogs::cancelPassword() { passwordAnswers_.push_back({true, QString()}); }

void ScriptedDialogs::answerSaveFile(const QString& path) { saveFileAnswers_.push_back(path); }

void ScriptedDialogs::cancelSaveFile() { saveFileAnswers_.push_back(std::nullopt); }

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const RecordedMessage& m : messages_) texts.append(m.text);
    return texts;
}

void ScriptedDialogs::clearRecords() {
    messages_.clear();
    passwordTitles_.clear();
    saveFileRequests_.clear();
    unanswered_ = 0;
}

void ScriptedDialogs::showMessage(const QString& text, MessageIcon icon, const QString& caption) {
    messages_.append({text, icon, caption});
}

bool ScriptedDialogs::showQuestion(const QString& text, const QString& caption) {
    messages_.append({text, MessageIcon::Question, caption});
    if (questionAnswers_.empty()) {
        ++unanswered_;
        return false;
    }
    const bool answer = questionAnswers_.front();
    questionAnswers_.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::showPasswordPrompt(const QString& title) {
    passwordTitles_.append(title);
    if (passwordAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    const PasswordAnswer answer = passwordAnswers_.front();
    passwordAnswers_.pop_front();
    if (answer.cancelled) return std::nullopt;
    return answer.typed;
}

std::optional<QString> ScriptedDialogs::showSaveFileDialog(const QString& caption,
                                                           const QString& suggestedPath,
                                                           const QString& filter) {
    saveFileRequests_.append({caption, suggestedPath, filter});
    if (saveFileAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    const std::optional<QString> answer = saveFileAnswers_.front();
    saveFileAnswers_.pop_front();
    return answer;
}

}  // namespace ui
