// The entry page: day list and total, saving with its checks, price history,
// modify and delete, driven through the controls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimer>
#include <fstream>

#include "../support/record_held_elsewhere.h"
#include "appearance.h"
#include "page_fixture.h"
#include "recycle_bin.h"
#include "transparent_label.h"

namespace ledger::testing {
namespace {

using ::testing::ElementsAre;
using Icon = ui::MessageIcon;

constexpr int kSeq = 1, kCustomer = 2, kItem = 3, kAmount = 4, kStatus = 5, kRemark = 6;

class EntryPageTest : public PageTest {
  protected:
    ui::ReportList* list() { return e<ui::ReportList>("超级列表框记账"); }
    QLabel* total() { return e<QLabel>("合计标签"); }

    // Fills the form by typing and clicks "录入".
    void enter(const char* customer, const char* item, const QString& amount, const char* remark,
               const char* statusButton) {
        type(e<QComboBox>("组合框客户"), q(customer));
        type(e<QComboBox>("组合框事件"), q(item));
        type(e<QLineEdit>("编辑框金额"), amount);
        type(e<QLineEdit>("编辑框备注"), q(remark));
        if (statusButton && !e<QRadioButton>(statusButton)->isChecked()) {
            click(e<QRadioButton>(statusButton));
        }
        click(e<QPushButton>("按钮记账"));
    }
};

// --------------------------------------------------------------- day list

TEST_F(EntryPageTest, DayListShowsTheDaysEntriesNumberedWithTheirTotal) {
    put(day(2024, 3, 1), "张三", "照片", 10, "", false);
    put(day(2024, 3, 2), "李四", "相框", 99, "", false);
    put(day(2024, 3, 1), "王五", "相框", 25.5, "加急", true);
    put(day(2024, 3, 1) + 0.25, "赵六", "照片", 7, "", false);  // 06:00: not this day's
    put(day(2024, 3, 1), "张三", "照片", -3, "", false);
    openEntryPage(day(2024, 3, 1));

    EXPECT_EQ(columnTexts(list(), kSeq), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("王五"), q("张三")}));
    EXPECT_EQ(columnTexts(list(), kItem), (QStringList{q("照片"), q("相框"), q("照片")}));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"10", "25.5", "-3"}));
    EXPECT_EQ(columnTexts(list(), kStatus), (QStringList{q("未结"), q("已结"), q("未结")}));
    EXPECT_EQ(columnTexts(list(), kRemark), (QStringList{"", q("加急"), ""}));
    EXPECT_EQ(list()->rowImage(0), 0);
    EXPECT_EQ(list()->rowImage(1), 1);
    EXPECT_EQ(total()->text(), "32.5");
    EXPECT_THAT(
        std::vector<std::int32_t>(state_->entryRowMap.begin(), state_->entryRowMap.begin() + 4),
        ElementsAre(1, 3, 5, 0));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(EntryPageTest, PickingAnotherDayRefillsTheListAndAnEmptyDayHasAnEmptyTotal) {
    put(day(2024, 3, 1), "张三", "照片", 10, "", false);
    put(day(2024, 3, 2), "李四", "相框", 99, "", true);
    openEntryPage(day(2024, 3, 1));
    ASSERT_EQ(total()->text(), "10");

    e<ui::DatePicker>("日期框1")->setValue(day(2024, 3, 2));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("李四")}));
    EXPECT_EQ(total()->text(), "99");
    EXPECT_EQ(state_->entryRowMap[0], 2);

    e<ui::DatePicker>("日期框1")->setValue(day(2024, 3, 3));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(total()->text(), "");
}

TEST_F(EntryPageTest, TotalAddsTheAmountCellsAsShown) {
    put(day(2024, 3, 1), "A", "x", 1234567890123.4, "", false);
    put(day(2024, 3, 1), "A", "x", 1234567890123.4, "", false);
    put(day(2024, 3, 1), "A", "x", 0.1, "", false);
    put(day(2024, 3, 1), "A", "x", 0.2, "", false);
    openEntryPage(day(2024, 3, 1));
    // The cells show 13 significant digits, and the total adds what they show.
    EXPECT_EQ(list()->cellText(0, kAmount), "1234567890123");
    EXPECT_EQ(total()->text(), "2469135780246");
}

TEST_F(EntryPageTest, ARecordHeldElsewhereGivesTheMessageAndNoPartOfTheDay) {
    put(day(2024, 3, 1), "张三", "照片", 10, "", false);
    put(day(2024, 3, 2), "李四", "相框", 20, "", false);
    put(day(2024, 3, 2), "王五", "相框", 5, "", false);
    openEntryPage(day(2024, 3, 1));
    ASSERT_EQ(total()->text(), "10");
    testing_support::RecordHeldElsewhere held(std::string(kLedgerFileName), kLedgerPassword, 2);
    e<ui::DatePicker>("日期框1")->setValue(day(2024, 3, 2));
    // Not 王五 alone with a total of 5: no rows, the total as a failed open leaves it.
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(total()->text(), "10");
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("记账数据库没有读取成功！"), Icon::Error, q("信息：")}}));
}

// ------------------------------------------------------------------ saving

TEST_F(EntryPageTest, SavedEntriesAreStoredAsNumbersAndListed) {
    openEntryPage(day(2024, 3, 5));
    enter("张三", "照片", "-20", "加急", "单选框未结");
    enter("李四", "相框", q("１２"), "", "单选框已结");
    EXPECT_TRUE(dialogs_.messages().isEmpty());

    const auto s = stored();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].record,
              (LedgerRecord{day(2024, 3, 5), g("张三"), g("照片"), -20, g("加急"), false}));
    EXPECT_EQ(s[1].record, (LedgerRecord{day(2024, 3, 5), g("李四"), g("相框"), 12, "", true}));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"-20", "12"}));
    EXPECT_EQ(total()->text(), "-8");
}

TEST_F(EntryPageTest, SaveResetsTheFormButKeepsDayCustomerAndItem) {
    openEntryPage(day(2024, 3, 5));
    enter("张三", "照片", "15", "备注", "单选框已结");
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), q("张三"));
    EXPECT_EQ(e<QComboBox>("组合框事件")->currentText(), q("照片"));
    EXPECT_EQ(e<QLineEdit>("编辑框金额")->text(), "");
    EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), "");
    EXPECT_FALSE(e<QRadioButton>("单选框已结")->isChecked());
    EXPECT_FALSE(e<QRadioButton>("单选框未结")->isChecked());
    EXPECT_EQ(e<ui::DatePicker>("日期框1")->value(), day(2024, 3, 5));
    EXPECT_FALSE(e<QWidget>("标签状态")->isVisible());
}

TEST_F(EntryPageTest, AmountsThatAreNoAmountAreRefused) {
    openEntryPage(day(2024, 3, 5));
    for (const QString& amount :
         {QString("0"), QString(""), q("abc"), QString("0.00000001"), QString("1e999")}) {
        dialogs_.clearRecords();
        enter("张三", "照片", amount, "备注", "单选框已结");
        EXPECT_EQ(dialogs_.messages(),
                  (QList<ui::RecordedMessage>{{q("请正确填写金额！"), Icon::Warning, q("信息：")}}))
            << amount.toStdString();
        // The form stays as it was.
        EXPECT_EQ(e<QLineEdit>("编辑框金额")->text(), amount);
        EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), q("备注"));
        EXPECT_TRUE(e<QRadioButton>("单选框已结")->isChecked());
    }
    EXPECT_TRUE(stored().empty());
}

TEST_F(EntryPageTest, TheFourChecksComeInTheirOrder) {
    openEntryPage(day(2024, 3, 5));
    enter("", "", "", "", nullptr);
    enter("", "照片", "", "", nullptr);
    enter("张三", "照片", "", "", nullptr);
    enter("张三", "照片", "5", "", nullptr);
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{q("请填写项目内容！"), q("请填写客户内容！"),
                                                    q("请正确填写金额！"), q("请选择结账状态！")}));
    for (const auto& m : dialogs_.messages()) EXPECT_EQ(m.icon, Icon::Warning);
    EXPECT_TRUE(stored().empty());
}

TEST_F(EntryPageTest, TextOutsideGbkIsRefusedInsteadOfStoredAsSomethingElse) {
    openEntryPage(day(2024, 3, 5));
    enter("张三", "照片", "5", "笑😀", "单选框已结");
    ASSERT_EQ(dialogs_.messages().size(), 1);
    EXPECT_EQ(dialogs_.messages()[0].icon, Icon::Warning);
    EXPECT_TRUE(dialogs_.messages()[0].text.contains(q("😀")));
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), q("笑😀"));
}

class EntryPageWithoutTableTest : public EntryPageTest {
  protected:
    bool createLedger() const override { return false; }
};

TEST_F(EntryPageWithoutTableTest, SavingWithTheTableMissingKeepsTheForm) {
    openEntryPage(day(2024, 3, 5));
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("记账数据库没有读取成功！"), Icon::Error, q("信息：")}}));
    dialogs_.clearRecords();
    enter("张三", "照片", "12", "备注", "单选框未结");
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("记账数据库没有读取成功！"), Icon::Error, q("信息：")}}));
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), q("张三"));
    EXPECT_EQ(e<QComboBox>("组合框事件")->currentText(), q("照片"));
    EXPECT_EQ(e<QLineEdit>("编辑框金额")->text(), "12");
    EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), q("备注"));
    EXPECT_TRUE(e<QRadioButton>("单选框未结")->isChecked());
    EXPECT_FALSE(std::filesystem::exists(ledger::testing::utf8Path(kLedgerFileName)));
}

// ----------------------------------------------------------------- history

TEST_F(EntryPageTest, HistoryListsTheCustomersEarlierPricesForThePickedItem) {
    put(day(2024, 1, 1), "张三", "照片", 15, "6寸", false);
    put(day(2024, 1, 2), "张三", "相框", 80, "", false);
    put(day(2024, 1, 3), "李四", "照片", 16, "", false);
    put(day(2024, 2, 1), "张三", "照片", 12.5, "", true);
    openEntryPage(day(2024, 3, 5), {q("李四"), q("张三")}, {q("相框"), q("照片")});

    pick(e<QComboBox>("组合框客户"), q("张三"));
    EXPECT_EQ(e<QLabel>("标签客户名")->text(), q("张三"));
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(), "");  // no item picked yet
    pick(e<QComboBox>("组合框事件"), q("照片"));
    const QString expected =
        q("照片--金额15元\r\n6寸\r\n--------------------"
          "照片--金额12.5元\r\n\r\n--------------------");
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(),
              QString(expected).replace("\r\n", "\n"));
    EXPECT_EQ(state_->historyCustomer, g("张三"));
    EXPECT_EQ(state_->historyItem, g("照片"));
}

TEST_F(EntryPageTest, TypedTextThatWasNotPickedLeavesTheHistoryAlone) {
    put(day(2024, 1, 1), "张三", "照片", 15, "", false);
    openEntryPage(day(2024, 3, 5), {q("张三")}, {q("照片")});
    pick(e<QComboBox>("组合框客户"), q("张三"));
    pick(e<QComboBox>("组合框事件"), q("照片"));
    const QString before = e<QPlainTextEdit>("编辑框历史价格")->toPlainText();
    ASSERT_FALSE(before.isEmpty());

    type(e<QComboBox>("组合框事件"), q("相框"));
    put(day(2024, 1, 2), "张三", "照片", 20, "", false);
    entryActions_->refreshHistory();
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(), before);
}

TEST_F(EntryPageTest, SavingRefreshesTheHistory) {
    openEntryPage(day(2024, 3, 5), {q("张三")}, {q("照片")});
    pick(e<QComboBox>("组合框客户"), q("张三"));
    pick(e<QComboBox>("组合框事件"), q("照片"));
    type(e<QLineEdit>("编辑框金额"), "30");
    click(e<QRadioButton>("单选框未结"));
    click(e<QPushButton>("按钮记账"));
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(),
              q("照片--金额30元\n\n--------------------"));
}

TEST_F(EntryPageTest, NoWindowEventRunsWhileTheHistoryHasTheLedgerOpen) {
    {
        // A long history: the read takes a while.
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        using tables::TableValue;
        for (int i = 0; i < 2000; ++i) {
            ASSERT_TRUE(
                t.append({TableValue::dateTime(day(2024, 1, 1)), TableValue::text(g("张三")),
                          TableValue::text(g("照片")), TableValue::number(1), TableValue::text(""),
                          TableValue::boolean(false)}));
        }
        t.close();
    }
    openEntryPage(day(2024, 3, 5), {q("张三")}, {q("照片")});
    pick(e<QComboBox>("组合框客户"), q("张三"));
    type(e<QLineEdit>("编辑框金额"), "30");
    click(e<QRadioButton>("单选框未结"));
    // Whenever window events run, the operator's click on "录入" may be one
    // of them: it must never find the ledger open.
    int eventsWithTheLedgerOpen = 0;
    bool saved = false;
    QTimer operatorClicks;
    QObject::connect(&operatorClicks, &QTimer::timeout, [&] {
        tables::TableFile probe;
        if (!probe.open(kLedgerFileName, kLedgerPassword)) ++eventsWithTheLedgerOpen;
        probe.close();
        if (!saved && state_->historyItem == g("照片")) {
            saved = true;
            click(e<QPushButton>("按钮记账"));
        }
    });
    operatorClicks.start(0);
    pick(e<QComboBox>("组合框事件"), q("照片"));
    QApplication::processEvents();
    operatorClicks.stop();
    EXPECT_EQ(eventsWithTheLedgerOpen, 0);
    EXPECT_TRUE(saved);
    EXPECT_FALSE(dialogs_.messageTexts().contains(q("记账数据库没有读取成功！")));
    EXPECT_EQ(stored().size(), 2001u);
}

// ------------------------------------------------- typed text and picks

class EntryBoxesTest : public EntryPageTest {
  protected:
    void SetUp() override {
        EntryPageTest::SetUp();
        put(day(2024, 1, 1), "Alice", "Bob", 15, "", false);
        openEntryPage(day(2024, 3, 5), {q("Alice"), q("Bob")}, {q("Bob"), q("Bobby")});
        QApplication::setActiveWindow(entry_.get());
    }
    QComboBox* customer() { return e<QComboBox>("组合框客户"); }
    QComboBox* item() { return e<QComboBox>("组合框事件"); }
    // Types into the box as the operator does, then leaves it for the amount box.
    void typeAndLeave(QComboBox* box, const QString& text) {
        box->setFocus();
        type(box, text);
        e<QLineEdit>("编辑框金额")->setFocus();
        QApplication::processEvents();
    }
};

TEST_F(EntryBoxesTest, TypedTextStaysAsTypedWhenTheFocusLeaves) {
    typeAndLeave(customer(), "alice");
    EXPECT_EQ(customer()->currentText(), "alice");
    typeAndLeave(item(), "Bo");
    EXPECT_EQ(item()->currentText(), "Bo");
    // Neither counts as a pick from the list.
    EXPECT_EQ(customer()->currentIndex(), -1);
    EXPECT_EQ(e<QLabel>("标签客户名")->text(), "");
    EXPECT_EQ(state_->historyCustomer, "");
    EXPECT_EQ(state_->historyItem, "");

    type(e<QLineEdit>("编辑框金额"), "8");
    click(e<QRadioButton>("单选框未结"));
    click(e<QPushButton>("按钮记账"));
    const auto s = stored();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].record.客户, "alice");
    EXPECT_EQ(s[1].record.事件, "Bo");

    // An entry's exact text, typed, is no pick either.
    typeAndLeave(customer(), "Alice");
    typeAndLeave(item(), "Bob");
    EXPECT_EQ(e<QLabel>("标签客户名")->text(), "");
    EXPECT_EQ(state_->historyCustomer, "");
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(), "");
}

TEST_F(EntryBoxesTest, AChoiceInTheDropDownIsAPickByMouseOrKeyboard) {
    pick(customer(), "Alice");
    EXPECT_EQ(e<QLabel>("标签客户名")->text(), "Alice");
    EXPECT_EQ(state_->historyCustomer, "Alice");
    // The keyboard: open the list, move down to "Bob", Enter.
    item()->setFocus();
    item()->showPopup();
    QAbstractItemView* view = item()->view();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Enter);
    QApplication::processEvents();
    EXPECT_EQ(item()->currentText(), "Bob");
    EXPECT_EQ(state_->historyItem, "Bob");
    EXPECT_EQ(e<QPlainTextEdit>("编辑框历史价格")->toPlainText(),
              q("Bob--金额15元\n\n--------------------"));
}

// ------------------------------------------------------------------ modify

class EntryModifyTest : public EntryPageTest {
  protected:
    void SetUp() override {
        EntryPageTest::SetUp();
        put(day(2024, 3, 5), "张三", "照片", 10, "第一", false);
        put(day(2024, 3, 4), "别日", "照片", 1, "", false);
        put(day(2024, 3, 5), "李四", "相框", 20, "第二", true);
        put(day(2024, 3, 5), "王五", "照片", 30, "第三", false);
        openEntryPage(day(2024, 3, 5), {q("张三丰"), q("张三"), q("李四")},
                      {q("照片冲印"), q("照片"), q("相框")});
    }
    QWidget* box(const char* name) { return e<QWidget>(name); }
    bool highlighted(const QColor& color) {
        for (const char* name : {"组合框客户", "组合框事件", "编辑框备注", "编辑框金额"}) {
            if (ui::backgroundColor(box(name)) != color) return false;
        }
        return true;
    }
};

TEST_F(EntryModifyTest, DoubleClickAsksAndLoadsTheRowIntoTheForm) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("是否修改当前第 2 项？"), Icon::Question, q("当前选中第  2  项")}}));
    EXPECT_TRUE(state_->modifyMode);
    EXPECT_TRUE(highlighted(QColor(255, 0, 0)));
    EXPECT_TRUE(e<QWidget>("标签状态")->isVisible());
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), q("李四"));
    EXPECT_EQ(e<QComboBox>("组合框事件")->currentText(), q("相框"));
    EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), q("第二"));
    EXPECT_EQ(e<QLineEdit>("编辑框金额")->text(), "20");
}

TEST_F(EntryModifyTest, PrefixMatchPicksTheFirstLongerEntryAndAMissingCustomerKeepsTheText) {
    type(e<QComboBox>("组合框客户"), q("旧客户"));
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 0);  // 张三 / 照片: the lists hold 张三丰 and 照片冲印 first
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), q("张三丰"));
    EXPECT_EQ(e<QComboBox>("组合框事件")->currentText(), q("照片冲印"));

    list()->clearRowSelection();
    type(e<QComboBox>("组合框客户"), q("旧客户"));
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 2);  // 王五 is not in the customer list
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), q("旧客户"));
}

TEST_F(EntryModifyTest, SaveInModifyModeOverwritesOnlyTheSelectedRecord) {
    const auto before = stored();
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);
    type(e<QLineEdit>("编辑框金额"), "25");
    click(e<QRadioButton>("单选框未结"));
    click(e<QPushButton>("按钮记账"));

    EXPECT_EQ(dialogs_.messageTexts().last(), q("修改成功！"));
    EXPECT_EQ(dialogs_.messages().last().icon, Icon::Information);
    const auto after = stored();
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0].record, before[0].record);
    EXPECT_EQ(after[1].record, before[1].record);
    EXPECT_EQ(after[2].record,
              (LedgerRecord{day(2024, 3, 5), g("李四"), g("相框"), 25, g("第二"), false}));
    EXPECT_EQ(after[3].record, before[3].record);

    EXPECT_FALSE(state_->modifyMode);
    EXPECT_TRUE(highlighted(QColor(255, 255, 255)));
    EXPECT_FALSE(e<QWidget>("标签状态")->isVisible());
    EXPECT_EQ(e<QComboBox>("组合框客户")->currentText(), "");
    EXPECT_EQ(e<QComboBox>("组合框事件")->currentText(), "");
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"10", "25", "30"}));
}

TEST_F(EntryModifyTest, StatusMustBePickedAgainBeforeAModification) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);
    dialogs_.clearRecords();
    click(e<QPushButton>("按钮记账"));
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{q("请选择结账状态！")}));
    EXPECT_TRUE(state_->modifyMode);
}

TEST_F(EntryModifyTest, CancellingTheQuestionClearsTheSelectionAndChangesNothing) {
    doubleClickRow(list(), 1);  // no answer queued: Cancel
    EXPECT_EQ(dialogs_.messages().size(), 1);
    EXPECT_FALSE(state_->modifyMode);
    EXPECT_TRUE(list()->selectedRows().isEmpty());
    EXPECT_FALSE(e<QWidget>("标签状态")->isVisible());
}

TEST_F(EntryModifyTest, SelectingAnotherRowLeavesModifyMode) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);
    ASSERT_TRUE(state_->modifyMode);
    clickRow(list(), 2);
    EXPECT_FALSE(state_->modifyMode);
    EXPECT_TRUE(highlighted(QColor(255, 255, 255)));
    EXPECT_FALSE(e<QWidget>("标签状态")->isVisible());
    EXPECT_EQ(e<QLineEdit>("编辑框金额")->text(), "");
    EXPECT_EQ(e<QLineEdit>("编辑框备注")->text(), "");
}

TEST_F(EntryModifyTest, SaveWithoutASelectedRowAppendsEvenAfterModifyMode) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);
    ASSERT_TRUE(state_->modifyMode);
    // Drop the selection without any notification reaching the page.
    list()->blockSignals(true);
    list()->selectionModel()->blockSignals(true);
    list()->clearRowSelection();
    list()->selectionModel()->blockSignals(false);
    list()->blockSignals(false);
    ASSERT_TRUE(state_->modifyMode);

    type(e<QLineEdit>("编辑框金额"), "44");
    click(e<QRadioButton>("单选框已结"));
    click(e<QPushButton>("按钮记账"));
    EXPECT_FALSE(dialogs_.messageTexts().contains(q("修改成功！")));
    const auto s = stored();
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[2].record.金额, 20);
    EXPECT_EQ(s[4].record,
              (LedgerRecord{day(2024, 3, 5), g("李四"), g("相框"), 44, g("第二"), true}));
}

// Another copy of the program sharing the folder (or edbtool) deletes a
// record after the list was filled: the later records move one number down.
void deleteElsewhere(std::int32_t number) {
    tables::TableFile t;
    ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
    ASSERT_TRUE(t.goTo(number));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    t.close();
}

TEST_F(EntryModifyTest, AModificationOfAMovedRecordChangesThatRecord) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 2);  // 王五, record 4
    deleteElsewhere(2);         // 别日: 王五 is record 3 now, where 李四 stood
    type(e<QComboBox>("组合框客户"), q("王五"));  // not in the box's list
    type(e<QLineEdit>("编辑框金额"), "99");
    click(e<QRadioButton>("单选框已结"));
    click(e<QPushButton>("按钮记账"));
    EXPECT_EQ(dialogs_.messageTexts().last(), q("修改成功！"));
    const auto s = stored();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].record,
              (LedgerRecord{day(2024, 3, 5), g("李四"), g("相框"), 20, g("第二"), true}));
    EXPECT_EQ(s[2].record.客户, g("王五"));
    EXPECT_EQ(s[2].record.金额, 99);
    EXPECT_TRUE(s[2].record.状态);
}

TEST_F(EntryModifyTest, AModificationWhoseRecordIsGoneIsRefusedAndWritesNothing) {
    dialogs_.answerQuestion(true);
    doubleClickRow(list(), 1);  // 李四, record 3
    deleteElsewhere(3);         // 李四 is gone; 王五 moves to record 3
    const auto before = stored();
    type(e<QLineEdit>("编辑框金额"), "99");
    click(e<QRadioButton>("单选框已结"));
    click(e<QPushButton>("按钮记账"));
    EXPECT_EQ(
        dialogs_.messages().last(),
        (ui::RecordedMessage{q("该记录已被更改或删除，请重新查询！"), Icon::Warning, q("信息：")}));
    const auto after = stored();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].record, before[i].record);
    // The list shows what is there now, and modify mode has ended with the row.
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("王五")}));
    EXPECT_FALSE(state_->modifyMode);
    EXPECT_FALSE(e<QWidget>("标签状态")->isVisible());
}

// ------------------------------------------------------------------ delete

TEST_F(EntryModifyTest, RightClickDeletesTheSelectedRecordAfterTheQuestion) {
    clickRow(list(), 1);
    dialogs_.answerQuestion(true);
    rightClickRow(list(), 1);
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("是否删除当前选中第 2 项？"), Icon::Question, q("当前选中第  2  项")}}));
    const auto s = stored();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].record.客户, g("张三"));
    EXPECT_EQ(s[1].record.客户, g("别日"));
    EXPECT_EQ(s[2].record.客户, g("王五"));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("王五")}));
    EXPECT_EQ(state_->entryRowMap[1], 3);  // 王五 moved down from 4
    EXPECT_EQ(total()->text(), "40");
    EXPECT_TRUE(list()->selectedRows().isEmpty());
}

TEST_F(EntryModifyTest, DeletingAMovedRecordDeletesThatRecord) {
    clickRow(list(), 2);  // 王五, record 4
    deleteElsewhere(2);
    dialogs_.answerQuestion(true);
    rightClickRow(list(), 2);
    const auto s = stored();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].record.客户, g("张三"));
    EXPECT_EQ(s[1].record.客户, g("李四"));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("李四")}));
}

TEST_F(EntryModifyTest, DeletingARecordThatIsGoneIsRefusedAndDeletesNothingElse) {
    clickRow(list(), 1);  // 李四, record 3
    deleteElsewhere(3);   // 王五 moves to record 3
    dialogs_.answerQuestion(true);
    rightClickRow(list(), 1);
    EXPECT_EQ(
        dialogs_.messages().last(),
        (ui::RecordedMessage{q("该记录已被更改或删除，请重新查询！"), Icon::Warning, q("信息：")}));
    const auto s = stored();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[2].record.客户, g("王五"));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("王五")}));
    EXPECT_EQ(state_->entryRowIds[1], 4);
}

TEST_F(EntryModifyTest, TheDeletedEntryWaitsInTheRecycleBin) {
    const auto before = stored();
    clickRow(list(), 1);
    dialogs_.answerQuestion(true);
    rightClickRow(list(), 1);
    const auto kept = recycle::readBin(recycle::kBinFile);
    ASSERT_TRUE(kept.has_value());
    ASSERT_EQ(kept->size(), 1u);
    const LedgerRecord& r = before[2].record;  // 李四, record 3
    EXPECT_EQ(kept->at(0).values,
              (std::vector<tables::TableValue>{
                  tables::TableValue::dateTime(r.日期), tables::TableValue::text(r.客户),
                  tables::TableValue::text(r.事件), tables::TableValue::number(r.金额),
                  tables::TableValue::text(r.备注), tables::TableValue::boolean(r.状态)}));
}

TEST_F(EntryModifyTest, ABinThatCannotTakeTheEntryDeletesNothing) {
    std::ofstream(utf8Path("回收站.edb"), std::ios::binary) << "broken";
    clickRow(list(), 1);
    dialogs_.answerQuestion(true);
    rightClickRow(list(), 1);
    EXPECT_EQ(dialogs_.messages().last(),
              (ui::RecordedMessage{q("回收站写入出错，没有删除！"), Icon::Error, q("信息：")}));
    EXPECT_EQ(stored().size(), 4u);
    EXPECT_EQ(list()->rowCount(), 3);
    EXPECT_TRUE(list()->selectedRows().isEmpty());
}

TEST_F(EntryModifyTest, CancellingTheDeleteDeletesNothing) {
    clickRow(list(), 1);
    rightClickRow(list(), 1);  // Cancel
    EXPECT_EQ(stored().size(), 4u);
    EXPECT_TRUE(list()->selectedRows().isEmpty());
    EXPECT_EQ(list()->rowCount(), 3);
}

TEST_F(EntryModifyTest, RightClickWithoutASelectedRowAsksNothing) {
    rightClickRow(list(), 0);
    list()->clearRowSelection();
    dialogs_.clearRecords();
    const QPoint below(10, list()->viewport()->height() - 2);
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, below);
    EXPECT_TRUE(dialogs_.messages().isEmpty());
    EXPECT_EQ(stored().size(), 4u);
}

// -------------------------------------------------------------- the 10,000

TEST_F(EntryPageTest, ADayWithMoreThanTenThousandEntriesShowsTheFirstAndSaysSo) {
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        using tables::TableValue;
        for (std::size_t i = 0; i < kMaxListRows + 5; ++i) {
            ASSERT_TRUE(
                t.append({TableValue::dateTime(day(2024, 3, 1)), TableValue::text("A"),
                          TableValue::text("x"), TableValue::number(i < kMaxListRows ? 1 : 1000),
                          TableValue::text(""), TableValue::boolean(false)}));
        }
        t.close();
    }
    openEntryPage(day(2024, 3, 1));
    EXPECT_EQ(list()->rowCount(), static_cast<int>(kMaxListRows));
    EXPECT_EQ(total()->text(), "10000");
    EXPECT_EQ(state_->entryRowMap[kMaxListRows - 1], static_cast<std::int32_t>(kMaxListRows));
    EXPECT_EQ(list()->cellText(static_cast<int>(kMaxListRows) - 1, kSeq), "10000");
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("符合条件的记录超过10000条，只显示前10000条，合计只含显示的记录。"),
                   Icon::Information, q("信息：")}}));
}

}  // namespace
}  // namespace ledger::testing
