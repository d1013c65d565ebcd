// The password prompts of the login and of the page gates.
#pragma once

#include <QString>

#include "settings.h"

namespace shell {

inline constexpr const char* kWrongPassword = "输入密码有误，请重新输入！";

// The password test: the typed text equals the password byte for byte. A text
// with a character the password cannot hold is simply wrong.
bool typedPasswordAccepted(const settings::Settings& s, const QString& typed);

// Asks with `title` until the typed text passes (true) or the prompt is
// cancelled (false). Each wrong text shows kWrongPassword with the error icon.
bool askUntilAccepted(const settings::Settings& s, const QString& title);

}  // namespace shell
