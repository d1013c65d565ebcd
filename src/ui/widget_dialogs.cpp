#include "widget_dialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "fonts.h"
#include "password_dialog.h"

namespace ui {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

QMessageBox* WidgetDialogs::makeMessageBox(const QString& text, MessageIcon icon,
                                           const QString& caption, bool withCancel) {
    // No owner, modal for the whole program: every window waits for it.
    auto* box = new QMessageBox(boxIcon(icon), caption, text, QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->setFont(interfaceFont());
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (withCancel) {
        box->addButton(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
        box->setEscapeButton(QMessageBox::Cancel);
    }
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

void WidgetDialogs::showMessage(const QString& text, MessageIcon icon, const QString& caption) {
    std::unique_ptr<QMessageBox> box(makeMessageBox(text, icon, caption, false));
    box->exec();
}

bool WidgetDialogs::showQuestion(const QString& text, const QString& caption) {
    std::unique_ptr<QMessageBox> box(makeMessageBox(text, MessageIcon::Question, caption, true));
    box->exec();
    return box->clickedButton() == box->button(QMessageBox::Ok);
}

std::optional<QString> WidgetDialogs::showPasswordPrompt(const QString& title) {
    return PasswordDialog::ask(title);
}

}  // namespace ui
