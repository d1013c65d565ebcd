// The customers page and the entry page's customer box, driven through their
// controls with scripted message boxes.
#include "customers_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <fstream>
#include <iterator>

#include "../support/record_held_elsewhere.h"
#include "../support/xlsx_reader.h"
#include "appearance.h"
#include "controls.h"
#include "customer_tables.h"
#include "customers_page_actions.h"
#include "entry_page.h"
#include "scripted_dialogs.h"

using namespace customers;
using customers::testing::g;
using ui::MessageIcon;
using ui::RecordedMessage;

namespace {

RecordedMessage msg(const char* text, MessageIcon icon) {
    return {QString::fromUtf8(text), icon, QStringLiteral("信息：")};
}

settings::Settings allAllowed() {
    settings::Settings s;
    s.allowCustomerAdd = s.allowCustomerEdit = s.allowCustomerDelete = true;
    return s;
}

class CustomersPageTest : public customers::testing::TableFolderTest {
  protected:
    void SetUp() override {
        TableFolderTest::SetUp();
        page_ = std::make_unique<ui::CustomersPage>();
    }
    void TearDown() override {
        page_.reset();
        entry_.reset();
        TableFolderTest::TearDown();
    }

    // Creates the handlers as the shell does when the page opens.
    // An empty ledger is made when the test made none and wants one.
    CustomersPageActions& open(const settings::Settings& s = allAllowed(), bool withEntry = true) {
        if (ledgerOnOpen_ && !std::filesystem::exists(fsPath(ledgerTable()))) makeLedger({});
        if (withEntry) entry_ = std::make_unique<ui::EntryPage>();
        actions_ = new CustomersPageActions(
            *page_, s, [this] { return entry_.get(); },
            TableFiles{customerTable(), ledgerTable(), file("回收站.edb")});
        actions_->fillCustomerMenu();
        return *actions_;
    }

    QStringList menuItems() const {
        QStringList out;
        const ui::RollUpMenu* menu = page_->卷帘式菜单客户;
        for (int i = 0; i < menu->itemCount(0); ++i) out << menu->itemText(i, 0);
        return out;
    }
    QStringList entryChoices() const {
        QStringList out;
        for (int i = 0; i < entry_->组合框客户->count(); ++i)
            out << entry_->组合框客户->itemText(i);
        return out;
    }
    QStringList form() const {
        return {page_->编辑框姓名->text(), page_->编辑框电话->text(), page_->编辑框地址->text(),
                page_->编辑框备注->text()};
    }
    void type(const QString& name, const QString& phone = {}, const QString& address = {},
              const QString& remark = {}) {
        page_->编辑框姓名->setText(name);
        page_->编辑框电话->setText(phone);
        page_->编辑框地址->setText(address);
        page_->编辑框备注->setText(remark);
    }
    void pick(int item) {
        page_->卷帘式菜单客户->setCurrentItem(item);
        actions_->selectCustomer();
    }
    QStringList statement() const {
        return {page_->标签用户->text(), page_->标签金额->text(), page_->标签已结->text(),
                page_->标签未结->text()};
    }

    ui::ScriptedDialogs dialogs_;
    std::unique_ptr<ui::CustomersPage> page_;
    std::unique_ptr<ui::EntryPage> entry_;
    CustomersPageActions* actions_ = nullptr;  // owned by the page
    bool ledgerOnOpen_ = true;
};

}  // namespace

// --- the menu and the entry page's box ---------------------------------------

TEST_F(CustomersPageTest, EmptyTableGivesOneGroupWithoutItems) {
    makeCustomerTable();
    open();
    const ui::RollUpMenu* menu = page_->卷帘式菜单客户;
    ASSERT_EQ(menu->groupCount(), 1);
    EXPECT_EQ(menu->groupCaption(0), QStringLiteral("客户信息"));
    EXPECT_EQ(menu->itemCount(0), 0);
    EXPECT_EQ(menu->currentGroup(), 0);
    EXPECT_EQ(menu->currentItem(), -1);
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(CustomersPageTest, MissingTableLeavesTheMenuAndTheEntryBoxEmpty) {
    open();
    EXPECT_EQ(page_->卷帘式菜单客户->groupCount(), 0);
    entry_->组合框客户->addItem(QStringLiteral("旧"));
    fillEntryCustomers(*entry_, customerTable());
    EXPECT_EQ(entry_->组合框客户->count(), 0);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kTableNotOpened, MessageIcon::Error),
                                      msg(text::kTableNotOpened, MessageIcon::Error)}));
}

// --- selecting and resetting -------------------------------------------------

TEST_F(CustomersPageTest, PickingLoadsTheFirstRecordOfTheNameAndItsStatement) {
    makeCustomerTable({person("甲", "1", "东街", "常客"), person("乙"), person("甲", "2")});
    makeLedger({{"甲", 10.25, true}, {"甲", 10.25, false}, {"乙", 5, true}});
    open();
    pick(2);
    EXPECT_EQ(form(), (QStringList{"甲", "1", "东街", "常客"}));
    EXPECT_EQ(statement(), (QStringList{"甲", "20.5", "10.3", "10.3"}));
    EXPECT_EQ(ui::textColor(page_->标签用户), QColor(255, 0, 0));
    EXPECT_TRUE(page_->按钮修改->isEnabled());
    EXPECT_EQ(page_->按钮添加->backgroundColor(), QColor(0, 128, 0));
    EXPECT_EQ(page_->按钮修改->backgroundColor(), QColor(255, 128, 0));
    EXPECT_EQ(page_->按钮删除->backgroundColor(), QColor(255, 128, 192));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(CustomersPageTest, PickingInTheListRunsTheSelection) {
    makeCustomerTable({person("甲", "1")});
    makeLedger({{"甲", 3.333, false}});
    open();
    // The operator moving the list's row, as a click or an arrow key does.
    QListWidget* list = page_->卷帘式菜单客户->groupList(0);
    ASSERT_NE(list, nullptr);
    list->setCurrentRow(0);
    EXPECT_EQ(form(), (QStringList{"甲", "1", "", ""}));
    EXPECT_EQ(statement(), (QStringList{"甲", "3.3", "0", "3.3"}));
}

TEST_F(CustomersPageTest, EveryClickOnACustomerReloadsItsStatement) {
    makeCustomerTable({person("甲", "1"), person("乙")});
    makeLedger({{"甲", 4, true}});
    open();
    page_->show();
    QApplication::processEvents();
    QListWidget* list = page_->卷帘式菜单客户->groupList(0);
    ASSERT_NE(list, nullptr);
    const auto clickItem = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    clickItem(0);
    EXPECT_EQ(statement(), (QStringList{"甲", "4", "4", "0"}));
    {
        // An entry recorded meanwhile (on the entry page, or another computer).
        tables::TableFile t;
        ASSERT_TRUE(t.open(ledgerTable(), tables::kAccessPassword));
        using tables::TableValue;
        ASSERT_TRUE(t.append({TableValue::dateTime(46000), TableValue::text(g("甲")),
                              TableValue::text(g("照片")), TableValue::number(6),
                              TableValue::text(""), TableValue::boolean(false)}));
        t.close();
    }
    page_->编辑框电话->setText("typed");
    // The same customer again: reloaded, form and sums.
    clickItem(0);
    EXPECT_EQ(statement(), (QStringList{"甲", "10", "4", "6"}));
    EXPECT_EQ(form(), (QStringList{"甲", "1", "", ""}));
    // Another customer and back: each click once.
    clickItem(1);
    EXPECT_EQ(statement(), (QStringList{"乙", "0", "0", "0"}));
    clickItem(0);
    EXPECT_EQ(statement(), (QStringList{"甲", "10", "4", "6"}));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(CustomersPageTest, CustomerWithoutEntriesShowsZerosUnderARedName) {
    makeCustomerTable({person("甲")});
    makeLedger({{"甲 ", 8, true}});
    open();
    pick(0);
    EXPECT_EQ(statement(), (QStringList{"甲", "0", "0", "0"}));
    EXPECT_EQ(ui::textColor(page_->标签用户), QColor(255, 0, 0));
}

TEST_F(CustomersPageTest, UnreadableLedgerLeavesNoEarlierSumsUnderTheNewName) {
    makeCustomerTable({person("甲"), person("乙")});
    makeLedger({{"甲", 4, true}});
    open();
    pick(0);
    EXPECT_EQ(statement(), (QStringList{"甲", "4", "4", "0"}));
    std::filesystem::remove(fsPath(ledgerTable()));
    pick(1);
    EXPECT_EQ(statement(), (QStringList{"乙", "0", "0", "0"}));
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kLedgerNotOpened, MessageIcon::Error)}));
}

TEST_F(CustomersPageTest, ALedgerRecordHeldElsewhereGivesTheMessageNotAWrongStatement) {
    makeCustomerTable({person("甲")});
    makeLedger({{"甲", 4, true}, {"乙", 1, true}, {"甲", 6, false}});
    open();
    testing_support::RecordHeldElsewhere held(ledgerTable(), tables::kAccessPassword, 2);
    pick(0);
    // Not 10 from a part of the ledger: the labels stay at "0".
    EXPECT_EQ(statement(), (QStringList{"甲", "0", "0", "0"}));
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kLedgerNotOpened, MessageIcon::Error)}));
}

TEST_F(CustomersPageTest, NoPickDisablesButtonsAndBoxes) {
    makeCustomerTable({person("甲")});
    open();
    pick(-1);
    for (ui::ImageButton* b : {page_->按钮添加, page_->按钮修改, page_->按钮删除}) {
        EXPECT_FALSE(b->isEnabled());
        EXPECT_EQ(b->backgroundColor(), QColor(192, 192, 192));
    }
    EXPECT_FALSE(page_->编辑框姓名->isEnabled());
    EXPECT_FALSE(page_->编辑框备注->isEnabled());
    // "重填" brings the form back.
    QTest::mouseClick(page_->超级按钮4, Qt::LeftButton);
    EXPECT_TRUE(page_->编辑框姓名->isEnabled());
    EXPECT_TRUE(page_->按钮删除->isEnabled());
}

TEST_F(CustomersPageTest, SwitchesDecideTheButtonLook) {
    makeCustomerTable({person("甲")});
    settings::Settings s;
    s.allowCustomerEdit = true;
    open(s);
    pick(0);
    EXPECT_FALSE(page_->按钮添加->isEnabled());
    EXPECT_EQ(page_->按钮添加->backgroundColor(), QColor(192, 192, 192));
    EXPECT_TRUE(page_->按钮修改->isEnabled());
    EXPECT_FALSE(page_->按钮删除->isEnabled());
}

TEST_F(CustomersPageTest, ResetClearsSelectionFormAndSums) {
    makeCustomerTable({person("甲", "1")});
    makeLedger({{"甲", 4, false}});
    open();
    pick(0);
    actions_->resetCustomerForm();
    EXPECT_EQ(page_->卷帘式菜单客户->currentItem(), -1);
    EXPECT_EQ(form(), (QStringList{"", "", "", ""}));
    EXPECT_EQ(statement(), (QStringList{"无选中用户", "0", "0", "0"}));
    EXPECT_EQ(ui::textColor(page_->标签用户), QColor(192, 192, 192));
}

// --- add ---------------------------------------------------------------------

TEST_F(CustomersPageTest, AddStoresTheTextsAsTypedAndRefillsBothLists) {
    makeCustomerTable({person("甲")});
    open();
    fillEntryCustomers(*entry_, customerTable());
    type(QStringLiteral(" 乙 "), QStringLiteral("138"), QStringLiteral("西街"),
         QStringLiteral("x"));
    QTest::mouseClick(page_->按钮添加, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kAdded, MessageIcon::Information)}));
    EXPECT_EQ(stored().at(1).customer, person(" 乙 ", "138", "西街", "x"));
    EXPECT_EQ(menuItems(), (QStringList{"甲", " 乙 "}));
    EXPECT_EQ(entryChoices(), (QStringList{"甲", " 乙 "}));
    EXPECT_EQ(form(), (QStringList{"", "", "", ""}));
}

TEST_F(CustomersPageTest, AddRefusesANameOfSpacesOnly) {
    makeCustomerTable();
    open();
    for (const QString& name : {QString(), QStringLiteral("  "), QStringLiteral("\u3000 \u3000")}) {
        type(name, QStringLiteral("1"));
        actions_->addCustomer();
    }
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kNameMissing, MessageIcon::Warning),
                                      msg(text::kNameMissing, MessageIcon::Warning),
                                      msg(text::kNameMissing, MessageIcon::Warning)}));
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(page_->编辑框电话->text(), QStringLiteral("1"));
}

TEST_F(CustomersPageTest, AddingThePickedNameIsRefusedButAfterResetItIsAdded) {
    makeCustomerTable({person("甲")});
    open();
    pick(0);
    actions_->addCustomer();
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kDuplicate, MessageIcon::Warning)}));
    EXPECT_EQ(stored().size(), 1u);
    actions_->resetCustomerForm();
    type(QStringLiteral("甲"));
    actions_->addCustomer();
    EXPECT_EQ(menuItems(), (QStringList{"甲", "甲"}));
}

TEST_F(CustomersPageTest, TextsGbkCannotHoldAreRefusedBeforeAnythingIsStored) {
    makeCustomerTable();
    open();
    type(QStringLiteral("甲"), {}, QStringLiteral("街😀"));
    actions_->addCustomer();
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{"内容中的字符“😀”无法保存，请修改！"}));
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(page_->编辑框地址->text(), QStringLiteral("街😀"));
}

TEST_F(CustomersPageTest, AddToAMissingTableKeepsTheForm) {
    open();
    dialogs_.clearRecords();
    type(QStringLiteral("甲"), QStringLiteral("1"));
    actions_->addCustomer();
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kTableNotOpened, MessageIcon::Error)}));
    EXPECT_EQ(form(), (QStringList{"甲", "1", "", ""}));
}

// --- modify ------------------------------------------------------------------

TEST_F(CustomersPageTest, ModifyNeedsAPickAndAName) {
    makeCustomerTable({person("甲")});
    open();
    type(QStringLiteral("乙"));
    actions_->modifyCustomer();
    pick(0);
    page_->编辑框姓名->clear();
    actions_->modifyCustomer();
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kSelectToModify, MessageIcon::Warning),
                                      msg(text::kCustomerNameMissing, MessageIcon::Warning)}));
    EXPECT_EQ(storedNames(), (std::vector<std::string>{g("甲")}));
}

TEST_F(CustomersPageTest, ModifyRewritesTheFirstRecordOfThePickedName) {
    makeCustomerTable({person("甲", "1"), person("乙"), person("甲", "2")});
    open();
    fillEntryCustomers(*entry_, customerTable());
    pick(2);
    EXPECT_EQ(page_->编辑框电话->text(), QStringLiteral("1"));
    type(QStringLiteral("  "), QStringLiteral("3"));
    QTest::mouseClick(page_->按钮修改, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kModified, MessageIcon::Information)}));
    EXPECT_EQ(stored().at(0).customer, person("  ", "3"));
    EXPECT_EQ(stored().at(2).customer, person("甲", "2"));
    EXPECT_EQ(menuItems(), (QStringList{"  ", "乙", "甲"}));
    EXPECT_EQ(entryChoices(), (QStringList{"  ", "乙", "甲"}));
    EXPECT_EQ(page_->卷帘式菜单客户->currentItem(), -1);
    EXPECT_EQ(form(), (QStringList{"", "", "", ""}));
}

TEST_F(CustomersPageTest, ModifyOfANameNoLongerStoredEndsSilently) {
    makeCustomerTable({person("甲")});
    open();
    pick(0);
    ASSERT_EQ(customers::modifyCustomer(g("甲"), person("乙"), customerTable()),
              ChangeResult::Done);
    type(QStringLiteral("丙"));
    actions_->modifyCustomer();
    EXPECT_TRUE(dialogs_.messages().isEmpty());
    EXPECT_EQ(storedNames(), (std::vector<std::string>{g("乙")}));
    EXPECT_EQ(menuItems(), (QStringList{"乙"}));
}

// --- delete ------------------------------------------------------------------

TEST_F(CustomersPageTest, DeleteNeedsAPick) {
    makeCustomerTable({person("甲")});
    open();
    actions_->deleteCustomer();
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kSelectToDelete, MessageIcon::Warning)}));
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(CustomersPageTest, DeleteRemovesTheFirstRecordOfThePickedName) {
    makeCustomerTable({person("甲", "1"), person("乙"), person("甲", "2")});
    open();
    fillEntryCustomers(*entry_, customerTable());
    pick(2);
    QTest::mouseClick(page_->按钮删除, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kDeleted, MessageIcon::Information)}));
    ASSERT_EQ(stored().size(), 2u);
    EXPECT_EQ(stored().at(1).customer, person("甲", "2"));
    EXPECT_EQ(menuItems(), (QStringList{"乙", "甲"}));
    EXPECT_EQ(entryChoices(), (QStringList{"乙", "甲"}));
    EXPECT_EQ(statement(), (QStringList{"无选中用户", "0", "0", "0"}));
}

// --- the ranking ---------------------------------------------------------------

TEST_F(CustomersPageTest, DeleteKeepsTheCustomerInTheRecycleBinFirst) {
    makeCustomerTable({person("甲", "13800000001", "东街12号", "老主顾"), person("乙")});
    open();
    pick(0);
    actions_->deleteCustomer();
    const auto kept = recycle::readBin(file("回收站.edb"));
    ASSERT_TRUE(kept.has_value());
    ASSERT_EQ(kept->size(), 1u);
    EXPECT_EQ(kept->at(0).source, recycle::Source::Customers);
    const customers::Customer c = person("甲", "13800000001", "东街12号", "老主顾");
    EXPECT_EQ(kept->at(0).values,
              (std::vector<tables::TableValue>{
                  tables::TableValue::text(c.姓名), tables::TableValue::text(c.电话),
                  tables::TableValue::text(c.地址), tables::TableValue::text(c.备注)}));
}

TEST_F(CustomersPageTest, ABinThatCannotTakeTheCustomerDeletesNothing) {
    makeCustomerTable({person("甲"), person("乙")});
    std::ofstream(fsPath(file("回收站.edb")), std::ios::binary) << "broken";
    open();
    pick(1);
    actions_->deleteCustomer();
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kNotKept, MessageIcon::Error)}));
    EXPECT_EQ(storedNames(), (std::vector<std::string>{g("甲"), g("乙")}));
    EXPECT_EQ(menuItems(), (QStringList{"甲", "乙"}));
    // The pick stays, so that the operator sees what was not deleted.
    EXPECT_EQ(page_->卷帘式菜单客户->currentItem(), 1);
}

TEST_F(CustomersPageTest, RankingRunsFromLargestToSmallestWithRanksAndTotals) {
    makeCustomerTable();
    makeLedger({{"甲", 10.25, true},
                {"乙", 3.333, false},
                {"", 50, false},
                {"甲", 10.25, false},
                {"丙", 100, true}});
    open();
    actions_->buildSpendingRanking();
    const ui::ReportList* list = page_->超级列表框1;
    ASSERT_EQ(list->rowCount(), 4);
    const QList<QStringList> expected = {
        {"1", "丙", "100"}, {"2", "", "50"}, {"3", "甲", "20.5"}, {"4", "乙", "3.333"}};
    for (int r = 0; r < 4; ++r) EXPECT_EQ(list->rowTexts(r), expected[r]) << "row " << r;
    EXPECT_EQ(page_->标签全部已结->text(), QStringLiteral("110.3"));
    EXPECT_EQ(page_->标签全部未结->text(), QStringLiteral("63.6"));
}

// The ranking's right-click menu writes what the list shows, largest
// first, and below it the whole ledger's totals as the frame beside it shows.
TEST_F(CustomersPageTest, RankingExportsHoldTheListAndTheLedgerTotals) {
    makeCustomerTable();
    makeLedger({{"甲", 10.25, true},
                {"乙", 3.333, false},
                {"", 50, false},
                {"甲", 10.25, false},
                {"丙,丁", 100, true}});
    open();
    actions_->buildSpendingRanking();
    QMenu* menu = page_->超级列表框1->contextMenu();
    QStringList captions;
    for (QAction* a : menu->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{"导出到Excel…", "导出CSV…"}));

    const QString csv = QString::fromStdString(file("排行.csv"));
    dialogs_.answerSaveFile(csv);
    menu->actions().last()->trigger();
    std::ifstream in(fsPath(csv.toStdString()), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes,
              "\xEF\xBB\xBF"
              "客户,总消费\r\n\"丙,丁\",100\r\n,50\r\n甲,20.5\r\n乙,3.333\r\n"
              "已结,110.3\r\n未结,63.6\r\n合计,173.9\r\n");
    ASSERT_EQ(dialogs_.saveFileRequests().size(), 1);
    EXPECT_TRUE(dialogs_.saveFileRequests()[0].suggestedPath.endsWith("/客户消费排行.csv"));
    EXPECT_EQ(dialogs_.messageTexts(), QStringList{"导出成功！"});

    if (!exporting::xlsxAvailable()) return;
    const std::string xlsx = file("排行.xlsx");
    dialogs_.answerSaveFile(QString::fromStdString(xlsx));
    menu->actions().first()->trigger();
    const testsupport::XlsxReader book(xlsx);
    ASSERT_TRUE(book.ok());
    EXPECT_NE(book.workbookXml().find("name=\"客户消费排行\""), std::string::npos);
    EXPECT_EQ(book.cell("A2")->value, "丙,丁");
    EXPECT_EQ(book.cell("B2")->type, "n");
    EXPECT_EQ(book.cell("B2")->value, "100");
    EXPECT_EQ(book.cell("B2")->format, "0.00");
    EXPECT_FALSE(book.cell("A3"));  // the empty name
    EXPECT_EQ(book.cell("B5")->value, "3.333");
    EXPECT_EQ(book.cell("A8")->value, "合计");
    EXPECT_EQ(book.cell("B8")->value, "173.9");
    EXPECT_TRUE(book.cell("B8")->bold);
    EXPECT_EQ(book.lastRow(), 8);
}

TEST_F(CustomersPageTest, RankingWithoutLedgerReportsIt) {
    makeCustomerTable();
    ledgerOnOpen_ = false;
    open();
    const QString before = page_->标签全部已结->text();
    actions_->buildSpendingRanking();
    EXPECT_EQ(page_->超级列表框1->rowCount(), 0);
    EXPECT_EQ(page_->标签全部已结->text(), before);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kLedgerNotOpened, MessageIcon::Error)}));
}

TEST_F(CustomersPageTest, RankingWithALedgerRecordHeldElsewhereReportsItAndListsNothing) {
    makeCustomerTable();
    makeLedger({{"甲", 10, true}, {"乙", 3, false}, {"甲", 5, false}});
    open();
    const QString before = page_->标签全部已结->text();
    testing_support::RecordHeldElsewhere held(ledgerTable(), tables::kAccessPassword, 3);
    actions_->buildSpendingRanking();
    EXPECT_EQ(page_->超级列表框1->rowCount(), 0);
    EXPECT_EQ(page_->标签全部已结->text(), before);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(text::kLedgerNotOpened, MessageIcon::Error)}));
}
