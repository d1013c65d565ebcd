#include "widget_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
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

std::optional<QString> WidgetDialogs::showSaveFileDialog(const QString& caption,
                                                         const QString& suggestedPath,
                                                         const QString& filter) {
    QFileDialog dialog(nullptr, caption, suggestedPath, filter);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "Excel 工作簿 (*.xlsx)": a name typed without an extension gets .xlsx.
    const QRegularExpressionMatch suffix =
        QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    if (suffix.hasMatch()) dialog.setDefaultSuffix(suffix.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace ui
