// The roll-up menu: groups and items, the current group and item, and the
// item-selection event.
#include "rollup_menu.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using ui::RollUpMenu;

class RollUpMenuTest : public ::testing::Test {
  protected:
    void SetUp() override { menu.resize(160, 390); }

    void showMenu() {
        menu.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    }

    void clickItem(int group, int item) {
        QListWidget* list = menu.groupList(group);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(item)).center());
    }

    RollUpMenu menu;
};

TEST_F(RollUpMenuTest, AnEmptyMenuHasNoGroupAndNoItem) {
    EXPECT_EQ(menu.groupCount(), 0);
    EXPECT_EQ(menu.currentGroup(), -1);
    EXPECT_EQ(menu.currentItem(), -1);
    EXPECT_EQ(menu.currentItemText(), QString());
    EXPECT_EQ(menu.addItem(0, "nowhere"), -1);
}

TEST_F(RollUpMenuTest, ItemsGoWhereTheyAreInsertedAndAreReadByItemThenGroup) {
    EXPECT_EQ(menu.addGroup("客户信息"), 0);
    EXPECT_EQ(menu.currentGroup(), 0);
    EXPECT_EQ(menu.groupCaption(0), "客户信息");
    menu.addItem(0, "王", 0);
    menu.addItem(0, "李", 1);
    menu.addItem(0, "张", 1);
    menu.addItem(0, "赵");  // at the end
    EXPECT_EQ(menu.itemCount(0), 4);
    EXPECT_EQ(menu.itemText(0, 0), "王");
    EXPECT_EQ(menu.itemText(1, 0), "张");
    EXPECT_EQ(menu.itemText(2, 0), "李");
    EXPECT_EQ(menu.itemText(3, 0), "赵");
    EXPECT_EQ(menu.itemText(4, 0), QString());
    EXPECT_EQ(menu.itemText(0, 1), QString());
    // Filling the menu selects nothing.
    EXPECT_EQ(menu.currentItem(), -1);

    menu.setItemText(1, 0, "张三");
    EXPECT_EQ(menu.itemText(1, 0), "张三");
    menu.removeItem(0, 0);
    EXPECT_EQ(menu.itemText(0, 0), "张三");
}

TEST_F(RollUpMenuTest, PickingAnItemMakesItCurrentAndReportsIt) {
    menu.addGroup("客户信息");
    for (const char* name : {"王", "李", "张"}) menu.addItem(0, QString::fromUtf8(name));
    showMenu();
    QSignalSpy picked(&menu, &RollUpMenu::itemSelected);
    // The handler of the event reads the selection: it must already be there.
    QStringList seenByHandler;
    QObject::connect(&menu, &RollUpMenu::itemSelected,
                     [&] { seenByHandler << menu.currentItemText(); });

    clickItem(0, 1);
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][0].toInt(), 1);
    EXPECT_EQ(menu.currentItem(), 1);
    EXPECT_EQ(menu.currentItemText(), "李");
    EXPECT_EQ(seenByHandler, QStringList{"李"});

    // The keys pick as well.
    QTest::keyClick(menu.groupList(0), Qt::Key_Down);
    ASSERT_EQ(picked.size(), 2);
    EXPECT_EQ(picked[1][0].toInt(), 2);
    EXPECT_EQ(menu.currentItemText(), "张");
}

TEST_F(RollUpMenuTest, TheProgramSetsAndClearsTheCurrentItemWithoutTheEvent) {
    menu.addGroup("客户信息");
    for (const char* name : {"王", "李"}) menu.addItem(0, QString::fromUtf8(name));
    QSignalSpy picked(&menu, &RollUpMenu::itemSelected);
    menu.setCurrentItem(1);
    EXPECT_EQ(menu.currentItem(), 1);
    menu.setCurrentItem(-1);
    EXPECT_EQ(menu.currentItem(), -1);
    menu.setCurrentItem(7);
    EXPECT_EQ(menu.currentItem(), -1);
    EXPECT_EQ(picked.size(), 0);
}

TEST_F(RollUpMenuTest, MakingAGroupCurrentOpensItAndLeavesNoItemSelected) {
    menu.addGroup("甲");
    menu.addGroup("乙");
    menu.addItem(0, "a");
    menu.addItem(1, "b");
    menu.addItem(1, "c");
    showMenu();
    EXPECT_EQ(menu.currentGroup(), 0);
    EXPECT_TRUE(menu.groupList(0)->isVisible());
    EXPECT_FALSE(menu.groupList(1)->isVisible());
    menu.setCurrentItem(0);

    QSignalSpy groupChanged(&menu, &RollUpMenu::currentGroupChanged);
    QTest::mouseClick(menu.groupButton(1), Qt::LeftButton);
    EXPECT_EQ(menu.currentGroup(), 1);
    ASSERT_EQ(groupChanged.size(), 1);
    EXPECT_EQ(groupChanged[0][0].toInt(), 1);
    EXPECT_TRUE(menu.groupList(1)->isVisible());
    EXPECT_FALSE(menu.groupList(0)->isVisible());
    EXPECT_EQ(menu.currentItem(), -1);

    clickItem(1, 1);
    EXPECT_EQ(menu.currentItemText(), "c");
    menu.setCurrentGroup(1);
    EXPECT_EQ(menu.currentItem(), -1);
}

TEST_F(RollUpMenuTest, ClearRemovesEveryGroupAndItem) {
    menu.addGroup("客户信息");
    menu.addItem(0, "王");
    menu.setCurrentItem(0);
    menu.clear();
    EXPECT_EQ(menu.groupCount(), 0);
    EXPECT_EQ(menu.currentGroup(), -1);
    EXPECT_EQ(menu.currentItem(), -1);
    // A rebuilt menu starts over from group 0.
    EXPECT_EQ(menu.addGroup("客户信息"), 0);
    EXPECT_EQ(menu.itemCount(0), 0);
    EXPECT_EQ(menu.currentGroup(), 0);
}

}  // namespace
