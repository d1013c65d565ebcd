// The project list on the settings page and the item box of the entry page.
#pragma once

#include <string_view>

#include "projects.h"

namespace ui {
class EntryPage;
class SettingsPage;
}  // namespace ui

namespace projects {

namespace text {
inline constexpr const char* kTableNotOpened = "项目数据库打开失败";
inline constexpr const char* kNoName = "请填写项目内容";
inline constexpr const char* kNoSelection = "请选择要删除的项目！";
inline constexpr const char* kNotGbk = "内容中的字符“%1”无法保存，请修改！";
}  // namespace text

// Refills `列表框项目` of the settings page from the table. Each item keeps
// its stored bytes (Qt::UserRole) so that a delete finds exactly its record.
void fillProjectList(ui::SettingsPage& page, std::string_view fileName = kProjectFile);

// Refills the entry page's item box `组合框事件` from the table.
void fillEntryProjects(ui::EntryPage& page, std::string_view fileName = kProjectFile);

// "添加": appends the name in `编辑框项目`, empties the box and keeps the
// focus there; refills the list and, when given, the entry page's item box.
void addProject(ui::SettingsPage& page, ui::EntryPage* entryPage,
                std::string_view fileName = kProjectFile);

// "删除": removes the first record named like the selected item (no question
// asked); refills the list and, when given, the entry page's item box.
void deleteProject(ui::SettingsPage& page, ui::EntryPage* entryPage,
                   std::string_view fileName = kProjectFile);

}  // namespace projects
