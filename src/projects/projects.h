// The project list of "项目.edb": the shop's usual items, offered by the entry
// page's item box and kept on the settings page. One text field "项目"; names
// need not be unique and keep their record order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_schema.h"

namespace projects {

inline constexpr std::string_view kProjectFile = schema::projects::kTable.fileName;
inline constexpr std::string_view kProjectField = schema::projects::kFields[0].name;  // GBK

// The names (GBK) of the records not marked deleted, in record order;
// nullopt when the table cannot be opened or read to the end.
std::optional<std::vector<std::string>> readProjects(std::string_view fileName = kProjectFile);

enum class ChangeResult {
    Done,
    Empty,       // add: no name given ("请填写项目内容")
    OpenFailed,  // "项目数据库打开失败"
};

// Appends a name (GBK). Only an empty name is refused; spaces count as a name.
ChangeResult appendProject(std::string_view nameGbk, std::string_view fileName = kProjectFile);

// Removes the first record whose name equals `nameGbk` exactly. A name that
// matches no record changes nothing and still counts as done; a search that
// cannot read the table gives OpenFailed.
ChangeResult removeProject(std::string_view nameGbk, std::string_view fileName = kProjectFile);

}  // namespace projects
