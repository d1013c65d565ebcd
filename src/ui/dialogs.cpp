#include "dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "widget_dialogs.h"

namespace ui {
namespace {

Dialogs*& installed() {
    static Dialogs* dialogs = nullptr;
    return dialogs;
}

QString& lastFolder() {
    static QString folder;
    return folder;
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

QString saveFolder() {
    if (!lastFolder().isEmpty() && QFileInfo(lastFolder()).isDir()) return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() || !QFileInfo(documents).isDir() ? QDir::homePath() : documents;
}

void rememberSaveFolder(const QString& savedFilePath) {
    lastFolder() = QFileInfo(savedFilePath).absolutePath();
}

}  // namespace ui
