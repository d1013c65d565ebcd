#include "project_list.h"

#include <QListWidget>

#include "combo_box.h"
#include "dialogs.h"
#include "edit_box.h"
#include "entry_page.h"
#include "gbk.h"
#include "gbk_text.h"
#include "settings_page.h"

namespace projects {

namespace {

void message(const char* text, ui::MessageIcon icon) {
    ui::dialogs().message(QString::fromUtf8(text), icon);
}

}  // namespace

void fillProjectList(ui::SettingsPage& page, std::string_view fileName) {
    QListWidget* list = page.列表框项目;
    list->clear();
    const auto names = readProjects(fileName);
    if (!names) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    for (const std::string& name : *names) {
        auto* item = new QListWidgetItem(ui::fromGbk(name), list);
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    }
}

void fillEntryProjects(ui::EntryPage& page, std::string_view fileName) {
    ui::ComboBox* box = page.组合框事件;
    box->clear();
    const auto names = readProjects(fileName);
    if (!names) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    for (const std::string& name : *names) box->addItem(ui::fromGbk(name));
}

void addProject(ui::SettingsPage& page, ui::EntryPage* entryPage, std::string_view fileName) {
    const QString name = page.编辑框项目->text();
    if (name.isEmpty()) {
        message(text::kNoName, ui::MessageIcon::Warning);
        return;
    }
    const auto gbk = ui::toGbk(name);
    if (!gbk) {
        ui::dialogs().message(
            QString::fromUtf8(text::kNotGbk)
                .arg(QString::fromStdString(convert::firstCharacterNotInGbk(name.toStdString()))),
            ui::MessageIcon::Warning);
        return;
    }
    if (appendProject(*gbk, fileName) == ChangeResult::OpenFailed) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    page.编辑框项目->clear();
    fillProjectList(page, fileName);
    page.编辑框项目->setFocus();
    if (entryPage) fillEntryProjects(*entryPage, fileName);
}

void deleteProject(ui::SettingsPage& page, ui::EntryPage* entryPage, std::string_view fileName) {
    const QList<QListWidgetItem*> selected = page.列表框项目->selectedItems();
    if (selected.isEmpty()) {
        message(text::kNoSelection, ui::MessageIcon::Warning);
        return;
    }
    const QVariant stored = selected.first()->data(Qt::UserRole);
    const std::string name = stored.isValid()
                                 ? stored.toByteArray().toStdString()
                                 : ui::toGbk(selected.first()->text()).value_or(std::string());
    if (removeProject(name, fileName) == ChangeResult::OpenFailed) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    fillProjectList(page, fileName);
    if (entryPage) fillEntryProjects(*entryPage, fileName);
}

}  // namespace projects
