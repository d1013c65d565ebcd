// Texts move between the table (GBK bytes) and the controls (Unicode) only
// through these two.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

QString fromGbk(std::string_view gbk);
// nullopt when the text holds a character GBK cannot hold.
std::optional<std::string> toGbk(const QString& text);

}  // namespace ui
