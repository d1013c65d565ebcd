// The pages under the main bar: the toolbar, creation on first use, docking,
// the switches, the password gates and the loading of contents.
#include "pages.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolButton>

#include "customers_page.h"
#include "date_picker.h"
#include "edit_box.h"
#include "entry_page.h"
#include "image_button.h"
#include "main_bar.h"
#include "query_page.h"
#include "report_list.h"
#include "scripted_dialogs.h"
#include "settings_page.h"
#include "toolbar.h"

using shell::PageId;
using shell::PageManager;
using ui::MessageIcon;

namespace {

constexpr int kEntry = 1, kQuery = 3, kCustomers = 5, kSettings = 7;

class PagesTest : public ::testing::Test {
  protected:
    PagesTest() {
        bar_.move(100, 2);
        bar_.show();
        manager_.setLoaders({[this](ui::EntryPage&) { ++loads_[0]; },
                             [this](ui::QueryPage&) { ++loads_[1]; },
                             [this](ui::CustomersPage&) { ++loads_[2]; },
                             [this](ui::SettingsPage&) { ++loads_[3]; }});
    }

    // A click on the toolbar item at `position`, as the operator makes it.
    void click(int position) {
        QToolButton* button = bar_.工具条1->buttonAt(position);
        ASSERT_NE(button, nullptr);
        button->click();
    }
    bool shown(PageId id) const { return manager_.page(id) && manager_.page(id)->isVisible(); }
    int visiblePages() const {
        int n = 0;
        for (int i = 0; i < shell::kPageCount; ++i) n += shown(static_cast<PageId>(i));
        return n;
    }

    ui::ScriptedDialogs dialogs_;
    settings::Settings settings_;
    ui::MainBar bar_;
    PageManager manager_{bar_, settings_};
    int loads_[4] = {0, 0, 0, 0};
};

}  // namespace

TEST(PageGeometry, ToolbarPositions) {
    EXPECT_EQ(shell::pageAtToolbarPosition(1), PageId::Entry);
    EXPECT_EQ(shell::pageAtToolbarPosition(3), PageId::Query);
    EXPECT_EQ(shell::pageAtToolbarPosition(5), PageId::Customers);
    EXPECT_EQ(shell::pageAtToolbarPosition(7), PageId::Settings);
    for (int p : {-1, 0, 2, 4, 6, 8, 9})
        EXPECT_EQ(shell::pageAtToolbarPosition(p), std::nullopt) << p;
}

TEST(PageGeometry, DockedUnderTheBarWithItsWidth) {
    EXPECT_EQ(shell::dockedFrame(QRect(10, 2, 700, 75), QRect(0, 0, 650, 520)),
              QRect(10, 77, 700, 520));
    EXPECT_EQ(shell::dockedFrame(QRect(-30, 400, 702, 80), QRect(5, 5, 700, 800)),
              QRect(-30, 480, 702, 800));
}

TEST(PageGates, WhichPagesAsk) {
    settings::Settings s;
    s.askQueryPassword = s.askCustomerPassword = s.askLoginPassword = true;
    EXPECT_EQ(shell::gateTitle(PageId::Entry, s), std::nullopt);
    EXPECT_EQ(shell::gateTitle(PageId::Query, s), QStringLiteral("请输入查询密码"));
    EXPECT_EQ(shell::gateTitle(PageId::Customers, s), QStringLiteral("请输入客户密码"));
    // Empty password: the settings page opens without a prompt.
    EXPECT_EQ(shell::gateTitle(PageId::Settings, s), std::nullopt);
    s = {};
    s.password = "x";
    EXPECT_EQ(shell::gateTitle(PageId::Query, s), std::nullopt);
    EXPECT_EQ(shell::gateTitle(PageId::Customers, s), std::nullopt);
    EXPECT_EQ(shell::gateTitle(PageId::Settings, s), QStringLiteral("请输入密码"));
}

TEST_F(PagesTest, QueryThreeClicksAskOnce) {
    settings_.askQueryPassword = true;
    settings_.password = "123";
    dialogs_.answerPassword("123");
    click(kQuery);
    EXPECT_TRUE(shown(PageId::Query));
    click(kQuery);
    EXPECT_FALSE(shown(PageId::Query));
    EXPECT_NE(manager_.page(PageId::Query), nullptr) << "hiding keeps the page";
    click(kQuery);
    EXPECT_TRUE(shown(PageId::Query));
    EXPECT_EQ(dialogs_.passwordTitles(), QStringList{"请输入查询密码"});
    EXPECT_EQ(loads_[1], 1);
    EXPECT_EQ(dialogs_.unansweredCount(), 0);
}

TEST_F(PagesTest, WrongPasswordAsksAgainUntilRight) {
    settings_.askCustomerPassword = true;
    settings_.password = "Ab";
    dialogs_.answerPassword("ab");
    dialogs_.answerPassword("Ab ");
    dialogs_.answerPassword("Ab");
    click(kCustomers);
    EXPECT_TRUE(shown(PageId::Customers));
    EXPECT_EQ(dialogs_.passwordTitles().size(), 3);
    const ui::RecordedMessage wrong{QStringLiteral("输入密码有误，请重新输入！"),
                                    MessageIcon::Error, QStringLiteral("信息：")};
    EXPECT_EQ(dialogs_.messages(), (QList{wrong, wrong}));
    EXPECT_EQ(loads_[2], 1);
}

TEST_F(PagesTest, CancelledGateClosesThePageAndAsksAgainNextTime) {
    settings_.askCustomerPassword = true;
    dialogs_.cancelPassword();
    click(kCustomers);
    EXPECT_EQ(manager_.page(PageId::Customers), nullptr);
    EXPECT_EQ(visiblePages(), 0);
    EXPECT_EQ(loads_[2], 0) << "a cancelled page loads nothing";
    EXPECT_TRUE(bar_.findChildren<ui::CustomersPage*>().isEmpty()) << "the window is gone";
    EXPECT_TRUE(dialogs_.messages().isEmpty());

    dialogs_.answerPassword("");
    click(kCustomers);
    EXPECT_TRUE(shown(PageId::Customers));
    EXPECT_EQ(dialogs_.passwordTitles(), (QStringList{"请输入客户密码", "请输入客户密码"}));
    EXPECT_EQ(loads_[2], 1);
}

TEST_F(PagesTest, SettingsPageWithoutPasswordNeverAsks) {
    settings_.askLoginPassword = settings_.askQueryPassword = settings_.askCustomerPassword = true;
    click(kSettings);
    EXPECT_TRUE(shown(PageId::Settings));
    EXPECT_TRUE(dialogs_.passwordTitles().isEmpty());
    EXPECT_EQ(loads_[3], 1);
}

TEST_F(PagesTest, SettingsPageWithPasswordAlwaysAsks) {
    settings_.password = "p";
    dialogs_.answerPassword("p");
    click(kSettings);
    EXPECT_TRUE(shown(PageId::Settings));
    EXPECT_EQ(dialogs_.passwordTitles(), QStringList{"请输入密码"});
}

TEST_F(PagesTest, OnePageAtATime) {
    click(kQuery);
    click(kEntry);
    EXPECT_FALSE(shown(PageId::Query));
    EXPECT_TRUE(shown(PageId::Entry));
    click(kSettings);
    EXPECT_EQ(visiblePages(), 1);
    EXPECT_TRUE(shown(PageId::Settings));
    click(kSettings);
    EXPECT_EQ(visiblePages(), 0);
    // Separators and out-of-range positions do nothing.
    click(kEntry);
    manager_.togglePage(0);
    manager_.togglePage(4);
    manager_.togglePage(9);
    EXPECT_TRUE(shown(PageId::Entry));
    EXPECT_EQ(visiblePages(), 1);
}

TEST_F(PagesTest, PageIsOwnedByTheBarAndDockedUnderIt) {
    click(kQuery);
    QWidget* page = manager_.page(PageId::Query);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->parentWidget(), &bar_);
    EXPECT_TRUE(page->isWindow());
    EXPECT_EQ(page->frameGeometry(),
              QRect(bar_.frameGeometry().left(), bar_.frameGeometry().bottom() + 1,
                    bar_.frameGeometry().width(), 800));
}

TEST_F(PagesTest, MovingTheBarTakesEveryCreatedPage) {
    click(kEntry);
    click(kSettings);
    bar_.move(250, 300);
    for (PageId id : {PageId::Entry, PageId::Settings}) {
        const QRect f = manager_.page(id)->frameGeometry();
        EXPECT_EQ(f.topLeft(), QPoint(250, 300 + bar_.frameGeometry().height()));
        EXPECT_EQ(f.width(), bar_.frameGeometry().width());
        EXPECT_EQ(f.height(), 520);
    }
}

TEST_F(PagesTest, CollapseHidesThePageAndKeepsIt) {
    click(kEntry);
    auto* entry = manager_.entryPage();
    ASSERT_NE(entry, nullptr);
    entry->按钮2->click();
    EXPECT_FALSE(entry->isVisible());
    EXPECT_EQ(manager_.entryPage(), entry);
    click(kEntry);
    EXPECT_TRUE(entry->isVisible());
    EXPECT_EQ(loads_[0], 1);
}

TEST_F(PagesTest, HidingTheBarHidesPagesShowingItShowsNone) {
    click(kCustomers);
    bar_.hide();
    EXPECT_EQ(visiblePages(), 0);
    bar_.show();
    EXPECT_EQ(visiblePages(), 0);
    click(kCustomers);
    EXPECT_TRUE(shown(PageId::Customers));
}

TEST_F(PagesTest, EntrySwitchesOff) {
    click(kEntry);
    auto* p = manager_.entryPage();
    EXPECT_FALSE(p->按钮记账->isEnabled());
    EXPECT_FALSE(p->日期框1->isEnabled());
    EXPECT_FALSE(p->超级列表框记账->wholeRowSelection());
}

TEST_F(PagesTest, EntrySwitchesOn) {
    settings_.allowEntry = settings_.allowEntryDate = settings_.allowEntryEdit = true;
    click(kEntry);
    auto* p = manager_.entryPage();
    EXPECT_TRUE(p->按钮记账->isEnabled());
    EXPECT_TRUE(p->日期框1->isEnabled());
    EXPECT_TRUE(p->超级列表框记账->wholeRowSelection());
}

TEST_F(PagesTest, QuerySwitches) {
    settings_.allowDateSearch = true;
    click(kQuery);
    auto* p = manager_.queryPage();
    EXPECT_FALSE(p->编辑框搜索->isEnabled());
    EXPECT_FALSE(p->按钮模糊搜索->isEnabled());
    EXPECT_TRUE(p->按钮时间搜索->isEnabled());
    EXPECT_FALSE(p->按钮组合搜索->isEnabled());
}

TEST_F(PagesTest, CustomerSwitchesGreyTheForbiddenButtons) {
    settings_.allowCustomerEdit = true;
    click(kCustomers);
    auto* p = manager_.customersPage();
    const QColor grey(192, 192, 192);
    EXPECT_FALSE(p->按钮添加->isEnabled());
    EXPECT_EQ(p->按钮添加->backgroundColor(), grey);
    EXPECT_TRUE(p->按钮修改->isEnabled());
    EXPECT_NE(p->按钮修改->backgroundColor(), grey);
    EXPECT_FALSE(p->按钮删除->isEnabled());
    EXPECT_EQ(p->按钮删除->backgroundColor(), grey);
}

TEST_F(PagesTest, SwitchesApplyBeforeTheGateAndLoadAfterIt) {
    settings_.askQueryPassword = true;
    bool enabledDuringLoad = true;
    int promptsBeforeLoad = -1;
    shell::PageLoaders loaders;
    loaders.query = [&](ui::QueryPage& p) {
        enabledDuringLoad = p.按钮组合搜索->isEnabled();
        promptsBeforeLoad = static_cast<int>(dialogs_.passwordTitles().size());
    };
    manager_.setLoaders(loaders);
    dialogs_.answerPassword("");
    click(kQuery);
    EXPECT_FALSE(enabledDuringLoad);
    EXPECT_EQ(promptsBeforeLoad, 1);
}
