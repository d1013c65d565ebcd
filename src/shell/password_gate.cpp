#include "password_gate.h"

#include "dialogs.h"
#include "gbk.h"

namespace shell {

bool typedPasswordAccepted(const settings::Settings& s, const QString& typed) {
    const auto gbk = convert::utf8ToGbk(typed.toStdString());
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
