#include "password_dialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "fonts.h"
#include "images.h"

namespace ui {

PasswordDialog::PasswordDialog(const QString& title, QWidget* parent)
    : QDialog(parent),
      field_(new QLineEdit(this)),
      confirm_(new QPushButton(QStringLiteral("确认输入(&O)"), this)),
      cancel_(new QPushButton(QStringLiteral("取消(&C)"), this)) {
    setWindowTitle(title);
    setWindowIcon(programIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::ApplicationModal);
    setFont(interfaceFont());

    field_->setEchoMode(QLineEdit::Password);
    field_->setMinimumWidth(220);
    confirm_->setDefault(true);
    confirm_->setAutoDefault(true);
    cancel_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 12);
    column->setSpacing(12);
    column->addWidget(field_);
    column->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    field_->setFocus();
}

QString PasswordDialog::typedText() const { return field_->text(); }

std::optional<QString> PasswordDialog::ask(const QString& title) {
    PasswordDialog dialog(title);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.typedText();
}

}  // namespace ui
