#include "settings_page_actions.h"

#include <QCheckBox>
#include <QColor>
#include <QPushButton>

#include "appearance.h"
#include "dialogs.h"
#include "edit_box.h"
#include "gbk.h"
#include "gbk_text.h"
#include "radio_button.h"
#include "settings_page.h"

namespace settings {

namespace {

const QColor kEnabledBoxColor(255, 255, 255);
const QColor kDisabledBoxColor(128, 128, 128);

QString notGbkMessage(const QString& text) {
    return QString::fromUtf8(text::kNotGbk)
        .arg(QString::fromStdString(convert::firstCharacterNotInGbk(text.toStdString())));
}

void warn(const char* text) {
    ui::dialogs().message(QString::fromUtf8(text), ui::MessageIcon::Warning);
}

}  // namespace

std::array<QCheckBox*, kSwitchCount> switchBoxes(ui::SettingsPage& page) {
    return {page.选择框记账录入, page.选择框记账日期, page.选择框记账修改删除, page.选择框统计模糊,
            page.选择框统计时间, page.选择框统计组合, page.选择框客户添加,     page.选择框客户修改,
            page.选择框客户删除, page.选择框登录密码, page.选择框查询密码,     page.选择框客户密码};
}

void fillSettingsPage(ui::SettingsPage& page, const Settings& s) {
    if (!s.password.empty()) {
        page.单选框启用密码->setChecked(true);
        page.单选框禁用密码->setChecked(false);
        const QString password = ui::fromGbk(s.password);
        page.编辑框密码->setText(password);
        page.编辑框确认密码->setText(password);
    } else {
        page.单选框禁用密码->setChecked(true);
        page.单选框启用密码->setChecked(false);
        disablePasswordBoxes(page);
    }
    const Switches on = switchesOf(s);
    const auto boxes = switchBoxes(page);
    for (int i = 0; i < kSwitchCount; ++i)
        if (on[i]) boxes[i]->setChecked(true);
}

void enablePasswordBoxes(ui::SettingsPage& page) {
    for (QWidget* box :
         {static_cast<QWidget*>(page.编辑框密码), static_cast<QWidget*>(page.编辑框确认密码)}) {
        box->setEnabled(true);
        ui::setBackgroundColor(box, kEnabledBoxColor);
    }
}

void disablePasswordBoxes(ui::SettingsPage& page) {
    for (QWidget* box :
         {static_cast<QWidget*>(page.编辑框密码), static_cast<QWidget*>(page.编辑框确认密码)}) {
        box->setEnabled(false);
        ui::setBackgroundColor(box, kDisabledBoxColor);
    }
}

void saveSettings(ui::SettingsPage& page, std::string_view fileName) {
    SettingsForm form;
    form.passwordEnabled = page.单选框启用密码->isChecked();
    const QString password = page.编辑框密码->text();
    const QString confirmation = page.编辑框确认密码->text();

    // The two checks come first and touch nothing; writeSettings repeats
    // them on the stored bytes.
    if (form.passwordEnabled &&
        QString(password).remove(QChar(u' ')).remove(QChar(0x3000)).isEmpty()) {
        warn(text::kInvalidPassword);
        return;
    }
    if (password != confirmation) {
        warn(text::kMismatch);
        return;
    }
    if (form.passwordEnabled) {
        // A character the table cannot hold would be stored as something else
        // and the password could never be typed again.
        const auto gbk = ui::toGbk(password);
        if (!gbk) {
            ui::dialogs().message(notGbkMessage(password), ui::MessageIcon::Warning);
            return;
        }
        form.password = form.confirmation = *gbk;
    }
    const auto boxes = switchBoxes(page);
    for (int i = 0; i < kSwitchCount; ++i) form.switches[i] = boxes[i]->isChecked();

    std::int32_t passwordWidth = 0;
    switch (writeSettings(form, fileName, &passwordWidth)) {
        case SaveResult::Saved:
            ui::dialogs().message(QString::fromUtf8(text::kSaved), ui::MessageIcon::Information);
            break;
        case SaveResult::OpenFailed:
            ui::dialogs().message(QString::fromUtf8(text::kTableNotRead), ui::MessageIcon::Error);
            break;
        case SaveResult::InvalidPassword:
            warn(text::kInvalidPassword);
            break;
        case SaveResult::Mismatch:
            warn(text::kMismatch);
            break;
        case SaveResult::PasswordTooLong:
            ui::dialogs().message(QString::fromUtf8(text::kPasswordTooLong).arg(passwordWidth),
                                  ui::MessageIcon::Warning);
            break;
        case SaveResult::WriteFailed:
            break;  // no message for a failed write
    }
}

void bindSettingsPage(ui::SettingsPage& page) {
    QObject::connect(page.单选框启用密码, &QAbstractButton::clicked, &page,
                     [&page] { enablePasswordBoxes(page); });
    QObject::connect(page.单选框禁用密码, &QAbstractButton::clicked, &page,
                     [&page] { disablePasswordBoxes(page); });
    QObject::connect(page.按钮全部保存, &QAbstractButton::clicked, &page,
                     [&page] { saveSettings(page); });
}

}  // namespace settings
