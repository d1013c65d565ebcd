#include "password_gate.h"

#include "dialogs.h"
#include "gbk_text.h"

namespace shell {

bool typedPasswordAccepted(const settings::Settings& s, const QString& typed) {
    const auto gbk = ui::toGbk(typed);
    return gbk && settings::passwordAccepted(s, *gbk);
}

bool askUntilAccepted(const settings::Settings& s, const QString& title) {
    for (;;) {
        const std::optional<QString> typed = ui::dialogs().askPassword(title);
        if (!typed) return false;
        if (typedPasswordAccepted(s, *typed)) return true;
        ui::dialogs().message(QString::fromUtf8(kWrongPassword), ui::MessageIcon::Error);
    }
}

}  // namespace shell
