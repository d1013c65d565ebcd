// The project list on the settings page and the entry page's item box.
#include "project_list.h"

#include <gtest/gtest.h>

#include <QListWidget>

#include "combo_box.h"
#include "edit_box.h"
#include "entry_page.h"
#include "scripted_dialogs.h"
#include "settings_page.h"
#include "settings_table.h"

using testing_tables::gbk;
using ui::MessageIcon;
using ui::RecordedMessage;

namespace {

QStringList listed(const ui::SettingsPage& page) {
    QStringList out;
    for (int i = 0; i < page.列表框项目->count(); ++i) out << page.列表框项目->item(i)->text();
    return out;
}

QStringList offered(const ui::EntryPage& page) {
    QStringList out;
    for (int i = 0; i < page.组合框事件->count(); ++i) out << page.组合框事件->itemText(i);
    return out;
}

RecordedMessage msg(const char* text, MessageIcon icon) {
    return {QString::fromUtf8(text), icon, QStringLiteral("信息：")};
}

class ProjectListTest : public ::testing::Test {
  protected:
    void SetUp() override { testing_tables::createProjectTable(table()); }
    std::string table() const { return folder_.file("项目.edb"); }

    void add(const QString& name, ui::EntryPage* entry = nullptr) {
        settings_.编辑框项目->setText(name);
        projects::addProject(settings_, entry, table());
    }
    void removeAt(int row, ui::EntryPage* entry = nullptr) {
        settings_.列表框项目->setCurrentRow(row);
        projects::deleteProject(settings_, entry, table());
    }

    testing_tables::TempFolder folder_;
    ui::ScriptedDialogs dialogs_;
    ui::SettingsPage settings_;
};

}  // namespace

TEST_F(ProjectListTest, SameNameTwiceThenOneDeleted) {
    add(QStringLiteral("相框"));
    add(QStringLiteral("照片"));
    add(QStringLiteral("相框"));
    EXPECT_EQ(listed(settings_), (QStringList{"相框", "照片", "相框"}));
    // Deleting the last item removes the first record of that name; the list
    // shows what is left in record order.
    removeAt(2);
    EXPECT_EQ(listed(settings_), (QStringList{"照片", "相框"}));
    EXPECT_EQ(projects::readProjects(table()),
              (std::vector<std::string>{gbk("照片"), gbk("相框")}));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(ProjectListTest, AfterAddTheBoxIsEmptyAndHasTheFocus) {
    settings_.show();
    add(QStringLiteral("  "));
    EXPECT_EQ(listed(settings_), (QStringList{"  "}));
    EXPECT_TRUE(settings_.编辑框项目->text().isEmpty());
    EXPECT_EQ(settings_.focusWidget(), settings_.编辑框项目);
}

TEST_F(ProjectListTest, EmptyNameIsRefused) {
    add(QString());
    EXPECT_EQ(dialogs_.messages(), (QList{msg("请填写项目内容", MessageIcon::Warning)}));
    EXPECT_EQ(projects::readProjects(table()), std::vector<std::string>{});
}

TEST_F(ProjectListTest, NameTheTableCannotHoldIsRefused) {
    add(QStringLiteral("框😀"));
    EXPECT_EQ(dialogs_.messages(),
              (QList{msg("内容中的字符“😀”无法保存，请修改！", MessageIcon::Warning)}));
    EXPECT_EQ(projects::readProjects(table()), std::vector<std::string>{});
    EXPECT_EQ(settings_.编辑框项目->text(), QStringLiteral("框😀"));
}

TEST_F(ProjectListTest, DeleteWithoutSelection) {
    add(QStringLiteral("a"));
    settings_.列表框项目->clearSelection();
    projects::deleteProject(settings_, nullptr, table());
    EXPECT_EQ(dialogs_.messages(), (QList{msg("请选择要删除的项目！", MessageIcon::Warning)}));
    EXPECT_EQ(listed(settings_), QStringList{"a"});
}

TEST_F(ProjectListTest, EntryPageFollowsAddAndDelete) {
    ui::EntryPage entry;
    add(QStringLiteral("写真"), &entry);
    add(QStringLiteral("装裱"), &entry);
    EXPECT_EQ(offered(entry), (QStringList{"写真", "装裱"}));
    removeAt(0, &entry);
    EXPECT_EQ(offered(entry), QStringList{"装裱"});
    // Without an entry page only the list changes.
    add(QStringLiteral("冲印"));
    EXPECT_EQ(offered(entry), QStringList{"装裱"});
    projects::fillEntryProjects(entry, table());
    EXPECT_EQ(offered(entry), (QStringList{"装裱", "冲印"}));
}

TEST_F(ProjectListTest, StaleSelectionRefillsWithoutMessage) {
    add(QStringLiteral("x"));
    settings_.列表框项目->setCurrentRow(0);
    ASSERT_EQ(projects::removeProject(gbk("x"), table()), projects::ChangeResult::Done);
    projects::deleteProject(settings_, nullptr, table());
    EXPECT_TRUE(dialogs_.messages().isEmpty());
    EXPECT_TRUE(listed(settings_).isEmpty());
}

TEST(ProjectListMissingTable, EveryFillAndChangeSaysSo) {
    testing_tables::TempFolder folder;
    const std::string table = folder.file("项目.edb");
    ui::ScriptedDialogs dialogs;
    ui::SettingsPage page;
    ui::EntryPage entry;
    page.列表框项目->addItem("old");
    entry.组合框事件->addItem("old");
    projects::fillProjectList(page, table);
    projects::fillEntryProjects(entry, table);
    EXPECT_EQ(page.列表框项目->count(), 0);
    EXPECT_EQ(entry.组合框事件->count(), 0);
    page.编辑框项目->setText("n");
    projects::addProject(page, &entry, table);
    EXPECT_EQ(page.编辑框项目->text(), "n");
    const auto error = msg("项目数据库打开失败", MessageIcon::Error);
    EXPECT_EQ(dialogs.messages(), (QList{error, error, error}));
}
