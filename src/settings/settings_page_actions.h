// The settings page's behaviour: showing the settings, the two password radio
// buttons and "全部保存". The project list on the same page lives with the
// projects (project_list.h).
#pragma once

#include <array>
#include <string_view>

#include "settings.h"

class QCheckBox;

namespace ui {
class SettingsPage;
}

namespace settings {

// The page's message texts.
namespace text {
inline constexpr const char* kInvalidPassword = "请输入有效密码！";
inline constexpr const char* kMismatch = "2次输入的密码不一致，请核对！";
inline constexpr const char* kTableNotRead = "设置数据库没有读取成功！";
inline constexpr const char* kSaved = "全部保存成功！";
// %1: the width of the password field in bytes.
inline constexpr const char* kPasswordTooLong =
    "密码太长，最多可输入%1个字节（一个汉字占两个字节）！";
inline constexpr const char* kNotGbk = "内容中的字符“%1”无法保存，请修改！";
}  // namespace text

// The page's check boxes in field order (fields 2 to 13).
std::array<QCheckBox*, kSwitchCount> switchBoxes(ui::SettingsPage& page);

// Shows `s` on a freshly created page: the password mode and boxes, and a tick
// for every switch that is on (the boxes of the others stay as created).
void fillSettingsPage(ui::SettingsPage& page, const Settings& s);

// "启用密码": both password boxes usable, on white.
void enablePasswordBoxes(ui::SettingsPage& page);
// "禁用密码": both password boxes disabled, on grey.
void disablePasswordBoxes(ui::SettingsPage& page);

// "全部保存": checks the password boxes and writes the page into the settings
// table, with the messages of each outcome. The running program keeps the
// settings it started with.
void saveSettings(ui::SettingsPage& page, std::string_view fileName = kSettingsFile);

// Binds the radio buttons and "全部保存" of a newly created page.
void bindSettingsPage(ui::SettingsPage& page);

}  // namespace settings
