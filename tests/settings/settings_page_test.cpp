// The settings page: showing the settings, the password radio buttons and
// "全部保存" with its messages.
#include "settings_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QPushButton>

#include "appearance.h"
#include "edit_box.h"
#include "radio_button.h"
#include "scripted_dialogs.h"
#include "settings_page_actions.h"
#include "settings_table.h"

using settings::Settings;
using testing_tables::gbk;
using ui::MessageIcon;
using ui::RecordedMessage;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);

class SettingsPageTest : public ::testing::Test {
  protected:
    std::string tablePath() const { return folder_.file("设置.edb"); }
    void save() { settings::saveSettings(page_, tablePath()); }
    QList<RecordedMessage> shown() const { return dialogs_.messages(); }

    testing_tables::TempFolder folder_;
    ui::ScriptedDialogs dialogs_;
    ui::SettingsPage page_;
};

RecordedMessage msg(const char* text, MessageIcon icon) {
    return {QString::fromUtf8(text), icon, QStringLiteral("信息：")};
}

}  // namespace

TEST_F(SettingsPageTest, PasswordSettingsShowTheEnabledMode) {
    Settings s;
    s.password = gbk("岚禾 1");
    s.allowEntryDate = true;
    s.askCustomerPassword = true;
    settings::fillSettingsPage(page_, s);
    EXPECT_TRUE(page_.单选框启用密码->isChecked());
    EXPECT_FALSE(page_.单选框禁用密码->isChecked());
    EXPECT_EQ(page_.编辑框密码->text(), QStringLiteral("岚禾 1"));
    EXPECT_EQ(page_.编辑框确认密码->text(), QStringLiteral("岚禾 1"));
    EXPECT_TRUE(page_.编辑框密码->isEnabled());
    const auto boxes = settings::switchBoxes(page_);
    for (int i = 0; i < settings::kSwitchCount; ++i)
        EXPECT_EQ(boxes[i]->isChecked(), i == 1 || i == 11) << i;
}

TEST_F(SettingsPageTest, NoPasswordShowsTheDisabledModeOnGrey) {
    Settings s;
    s.askLoginPassword = true;
    settings::fillSettingsPage(page_, s);
    EXPECT_TRUE(page_.单选框禁用密码->isChecked());
    EXPECT_FALSE(page_.单选框启用密码->isChecked());
    for (ui::EditBox* box : {page_.编辑框密码, page_.编辑框确认密码}) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(ui::backgroundColor(box), kGrey);
        EXPECT_TRUE(box->text().isEmpty());
    }
    EXPECT_TRUE(page_.选择框登录密码->isChecked());
}

TEST_F(SettingsPageTest, CheckBoxesFollowFieldOrder) {
    const auto boxes = settings::switchBoxes(page_);
    const char* captions[] = {"记账录入", "记账日期", "修改删除", "模糊搜索",
                              "时间搜索", "组合搜索", "添加客户", "修改客户",
                              "删除客户", "登录密码", "查询密码", "客户密码"};
    for (int i = 0; i < settings::kSwitchCount; ++i)
        EXPECT_EQ(boxes[i]->text(), QString::fromUtf8(captions[i])) << i;
}

TEST_F(SettingsPageTest, RadioButtonsSwitchTheBoxes) {
    settings::bindSettingsPage(page_);
    settings::fillSettingsPage(page_, Settings{});
    page_.单选框启用密码->click();
    for (ui::EditBox* box : {page_.编辑框密码, page_.编辑框确认密码}) {
        EXPECT_TRUE(box->isEnabled());
        EXPECT_EQ(ui::backgroundColor(box), kWhite);
    }
    EXPECT_FALSE(page_.单选框禁用密码->isChecked());
    page_.单选框禁用密码->click();
    for (ui::EditBox* box : {page_.编辑框密码, page_.编辑框确认密码}) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(ui::backgroundColor(box), kGrey);
    }
}

TEST_F(SettingsPageTest, BlankPasswordIsRefused) {
    testing_tables::writeSettingsTable(tablePath(), Settings{});
    page_.单选框启用密码->setChecked(true);
    page_.编辑框密码->setText(QStringLiteral(" 　 "));
    page_.编辑框确认密码->setText(QStringLiteral(" 　 "));
    save();
    EXPECT_EQ(shown(), (QList{msg("请输入有效密码！", MessageIcon::Warning)}));
}

TEST_F(SettingsPageTest, MismatchIsRefusedAlsoWithThePasswordDisabled) {
    Settings stored;
    stored.password = "old";
    testing_tables::writeSettingsTable(tablePath(), stored);
    page_.单选框禁用密码->setChecked(true);
    page_.编辑框密码->setText("abc");
    page_.编辑框确认密码->setText("abx");
    save();
    EXPECT_EQ(shown(), (QList{msg("2次输入的密码不一致，请核对！", MessageIcon::Warning)}));
    EXPECT_EQ(settings::readSettings(tablePath()).password, "old");
}

TEST_F(SettingsPageTest, DisabledSaveClearsPasswordAndPrompts) {
    Settings stored;
    stored.password = "old";
    stored.askLoginPassword = true;
    testing_tables::writeSettingsTable(tablePath(), stored);
    settings::fillSettingsPage(page_, stored);
    page_.单选框禁用密码->setChecked(true);
    for (QCheckBox* box : settings::switchBoxes(page_)) box->setChecked(true);
    save();
    EXPECT_EQ(shown(), (QList{msg("全部保存成功！", MessageIcon::Information)}));
    const Settings now = settings::readSettings(tablePath());
    EXPECT_EQ(now.password, "");
    EXPECT_TRUE(now.allowEntry);
    EXPECT_TRUE(now.allowCustomerDelete);
    EXPECT_FALSE(now.askLoginPassword);
    EXPECT_FALSE(now.askQueryPassword);
    EXPECT_FALSE(now.askCustomerPassword);
}

TEST_F(SettingsPageTest, EnabledSaveKeepsThePasswordAsTyped) {
    testing_tables::writeSettingsTable(tablePath(), Settings{});
    page_.单选框启用密码->setChecked(true);
    page_.编辑框密码->setText(QStringLiteral("岚 禾"));
    page_.编辑框确认密码->setText(QStringLiteral("岚 禾"));
    page_.选择框查询密码->setChecked(true);
    save();
    EXPECT_EQ(shown(), (QList{msg("全部保存成功！", MessageIcon::Information)}));
    const Settings now = settings::readSettings(tablePath());
    EXPECT_EQ(now.password, gbk("岚 禾"));
    EXPECT_TRUE(now.askQueryPassword);
    EXPECT_FALSE(now.askLoginPassword);
}

TEST_F(SettingsPageTest, MissingTable) {
    save();
    EXPECT_EQ(shown(), (QList{msg("设置数据库没有读取成功！", MessageIcon::Error)}));
}

TEST_F(SettingsPageTest, PasswordTheTableCannotHoldIsRefused) {
    testing_tables::writeSettingsTable(tablePath(), Settings{});
    page_.单选框启用密码->setChecked(true);
    page_.编辑框密码->setText(QStringLiteral("a한"));
    page_.编辑框确认密码->setText(QStringLiteral("a한"));
    save();
    EXPECT_EQ(shown(), (QList{msg("内容中的字符“한”无法保存，请修改！", MessageIcon::Warning)}));
    EXPECT_EQ(settings::readSettings(tablePath()).password, "");
}

TEST_F(SettingsPageTest, APasswordLongerThanItsFieldIsRefusedAndNothingIsStored) {
    Settings stored;
    stored.password = "old";
    testing_tables::writeSettingsTable(tablePath(), stored);  // "密码" holds 20 bytes here
    page_.单选框启用密码->setChecked(true);
    const QString typed(52, QChar(u'p'));
    page_.编辑框密码->setText(typed);
    page_.编辑框确认密码->setText(typed);
    page_.选择框记账录入->setChecked(true);
    save();
    EXPECT_EQ(
        shown(),
        (QList{msg("密码太长，最多可输入20个字节（一个汉字占两个字节）！", MessageIcon::Warning)}));
    const Settings now = settings::readSettings(tablePath());
    EXPECT_EQ(now.password, "old");
    EXPECT_FALSE(now.allowEntry);
}

TEST_F(SettingsPageTest, SaveButtonIsBound) {
    settings::bindSettingsPage(page_);
    // The bound button saves into the working folder's table, which is missing here.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(folder_.path().string()));
    page_.按钮全部保存->click();
    QDir::setCurrent(before);
    EXPECT_EQ(shown(), (QList{msg("设置数据库没有读取成功！", MessageIcon::Error)}));
}
