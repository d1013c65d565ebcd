#include "dialogs.h"

#include "widget_dialogs.h"

namespace ui {
namespace {

Dialogs*& installed() {
    static Dialogs* dialogs = nullptr;
    return dialogs;
}

}  // namespace

QString defaultCaption() { return QString::fromUtf8(kDefaultCaption); }

Dialogs& Dialogs::current() {
    static WidgetDialogs widgets;
    Dialogs* set = installed();
    return set ? *set : widgets;
}

Dialogs* Dialogs::setCurrent(Dialogs* dialogs) {
    Dialogs* previous = installed();
    installed() = dialogs;
    return previous;
}

}  // namespace ui
