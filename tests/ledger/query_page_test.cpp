// The query page: the three searches, totals, header sorts, settle and
// unsettle, and how a delete on the entry page refills the query list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../support/record_held_elsewhere.h"
#include "page_fixture.h"

namespace ledger::testing {
namespace {

using Icon = ui::MessageIcon;

constexpr int kSeq = 1, kDate = 2, kCustomer = 3, kItem = 4, kAmount = 5, kStatus = 6, kRemark = 7;

class QueryPageTest : public PageTest {
  protected:
    ui::ReportList* list() { return qc<ui::ReportList>("超级列表框统计"); }
    QString total() { return qc<QLabel>("合计标签")->text(); }
    QString selectedTotal() { return qc<QLabel>("标签选中合计")->text(); }
    void keywordSearch(const QString& keyword) {
        type(qc<QLineEdit>("编辑框搜索"), keyword);
        click(qc<QPushButton>("按钮模糊搜索"));
    }
    void dateSearch(double first, double last) {
        qc<ui::DatePicker>("日期框起")->setValue(first);
        qc<ui::DatePicker>("日期框止")->setValue(last);
        click(qc<QPushButton>("按钮时间搜索"));
    }
    bool statusButtonsEnabled() {
        const bool settle = qc<QPushButton>("按钮结清")->isEnabled();
        EXPECT_EQ(settle, qc<QPushButton>("按钮未结")->isEnabled());
        return settle;
    }
};

// ---------------------------------------------------------------- searches

TEST_F(QueryPageTest, KeywordQueryListsEachMatchingEntryOnceNumberedAndTotalled) {
    put(day(2024, 3, 1), "张三", "照片", 10, "", true);           // settled
    put(day(2024, 3, 2), "李四", "相框", 20, "已付定金", false);  // remark holds 已
    put(day(2024, 3, 3), "王五", "照片", 30, "已付", true);       // both: once
    put(day(2024, 3, 4), "赵六", "照片", 40, "", false);          // neither
    put(day(2024, 3, 5) + 0.5, "孙七", "相框", 2.5, "", true);    // settled, noon
    openQueryPage();
    keywordSearch(q("已"));

    EXPECT_EQ(columnTexts(list(), kSeq), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(columnTexts(list(), kCustomer),
              (QStringList{q("张三"), q("李四"), q("王五"), q("孙七")}));
    EXPECT_EQ(columnTexts(list(), kDate), (QStringList{q("2024年3月1日"), q("2024年3月2日"),
                                                       q("2024年3月3日"), q("2024年3月5日12时")}));
    EXPECT_EQ(columnTexts(list(), kItem),
              (QStringList{q("照片"), q("相框"), q("照片"), q("相框")}));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"10", "20", "30", "2.5"}));
    EXPECT_EQ(columnTexts(list(), kStatus),
              (QStringList{q("已结"), q("未结"), q("已结"), q("已结")}));
    EXPECT_EQ(columnTexts(list(), kRemark), (QStringList{"", q("已付定金"), q("已付"), ""}));
    EXPECT_EQ(list()->rowImage(0), 1);
    EXPECT_EQ(list()->rowImage(1), 0);
    EXPECT_EQ(total(), "62.5");
    EXPECT_EQ(selectedTotal(), "0");
    EXPECT_EQ(state_->lastQueryMode, 1);
    EXPECT_THAT(
        std::vector<std::int32_t>(state_->queryRowMap.begin(), state_->queryRowMap.begin() + 5),
        ::testing::ElementsAre(1, 2, 3, 5, 0));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(QueryPageTest, EnterInTheKeywordBoxRunsTheSameQuery) {
    put(day(2024, 3, 1), "张三", "照片", 15, "", false);
    put(day(2024, 3, 1), "李四", "照片", 7, "5米", false);
    put(day(2024, 3, 1), "王五", "照片", 7, "", false);
    openQueryPage();
    type(qc<QLineEdit>("编辑框搜索"), "5");
    QTest::keyClick(qc<QLineEdit>("编辑框搜索"), Qt::Key_Return);
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{q("张三"), q("李四")}));
    EXPECT_EQ(total(), "22");
}

TEST_F(QueryPageTest, BlankKeywordIsRefusedAndTheListStays) {
    put(day(2024, 3, 1), "张三", "照片", 15, "", false);
    openQueryPage();
    keywordSearch(q("张"));
    ASSERT_EQ(list()->rowCount(), 1);
    keywordSearch(q(" 　 "));
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{{q("请输入关键字！"), Icon::Error, q("信息：")}}));
    EXPECT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(total(), "15");
}

TEST_F(QueryPageTest, SpacesInTheKeywordCount) {
    put(day(2024, 3, 1), "王", "照片", 1, "", true);
    put(day(2024, 3, 1), "A", "照片", 2, "老 王", false);
    put(day(2024, 3, 1), "A", "照片", 3, "已结 了", false);
    openQueryPage();
    keywordSearch(q(" 王"));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"2"}));
    keywordSearch(q("已结 "));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"3"}));
}

TEST_F(QueryPageTest, DateRangeOfOneDayAndAReversedRange) {
    put(day(2024, 2, 29), "A", "x", 1, "", false);
    put(day(2024, 3, 1), "B", "x", 2, "", false);
    put(day(2024, 3, 2), "C", "x", 3, "", false);
    put(day(2024, 3, 1), "D", "x", 4, "", true);
    openQueryPage();
    dateSearch(day(2024, 3, 1), day(2024, 3, 1));
    EXPECT_EQ(columnTexts(list(), kCustomer), (QStringList{"B", "D"}));
    EXPECT_EQ(total(), "6");
    EXPECT_EQ(state_->lastQueryMode, 2);
    EXPECT_TRUE(dialogs_.messages().isEmpty());

    dateSearch(day(2024, 3, 2), day(2024, 3, 1));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{{q("无信息！"), Icon::Information, q("信息：")}}));
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(selectedTotal(), "0");
}

TEST_F(QueryPageTest, CombinedQueryNeedsRangeAndKeyword) {
    put(day(2024, 3, 1), "王", "x", 1, "", false);
    put(day(2024, 3, 2), "李", "x", 2, "", false);
    put(day(2024, 4, 1), "王", "x", 3, "", false);
    openQueryPage();
    qc<ui::DatePicker>("日期框组合起")->setValue(day(2024, 3, 1));
    qc<ui::DatePicker>("日期框组合止")->setValue(day(2024, 3, 31));
    type(qc<QLineEdit>("编辑框组合"), q("王"));
    click(qc<QPushButton>("按钮组合搜索"));
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"1"}));
    EXPECT_EQ(state_->lastQueryMode, 3);

    type(qc<QLineEdit>("编辑框组合"), " ");
    click(qc<QPushButton>("按钮组合搜索"));
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{q("请输入关键字！")}));
    EXPECT_EQ(list()->rowCount(), 1);
}

TEST_F(QueryPageTest, KeywordWithACharacterOutsideGbkFindsNothing) {
    put(day(2024, 3, 1), "A", "x", 1, "", false);
    openQueryPage();
    keywordSearch(q("😀"));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{q("无信息！")}));
}

class QueryPageWithoutTableTest : public QueryPageTest {
  protected:
    bool createLedger() const override { return false; }
};

TEST_F(QueryPageWithoutTableTest, UnreadableTableEmptiesTheListAndZeroesTheTotals) {
    openQueryPage();
    qc<QLabel>("合计标签")->setText("12");
    keywordSearch("A");
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("记账数据库没有读取成功！"), Icon::Error, q("信息：")}}));
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(state_->lastQueryMode, 0);
}

TEST_F(QueryPageTest, ARecordHeldElsewhereGivesTheMessageNotAShortListWithAWrongTotal) {
    put(day(2024, 3, 1), "张三", "照片", 10, "", false);
    put(day(2024, 3, 2), "李四", "相框", 20, "", false);
    put(day(2024, 3, 3), "王五", "相框", 5, "", false);
    openQueryPage();
    keywordSearch(q("相框"));
    ASSERT_EQ(total(), "25");
    dialogs_.clearRecords();
    testing_support::RecordHeldElsewhere held(std::string(kLedgerFileName), kLedgerPassword, 2);
    dateSearch(day(2024, 3, 1), day(2024, 3, 31));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(selectedTotal(), "0");
    EXPECT_EQ(state_->lastQueryMode, 1);
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("记账数据库没有读取成功！"), Icon::Error, q("信息：")}}));
}

TEST_F(QueryPageTest, MoreThanTenThousandMatchesShowTheFirstAndSaySo) {
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        using tables::TableValue;
        for (std::size_t i = 0; i < kMaxListRows + 3; ++i) {
            ASSERT_TRUE(
                t.append({TableValue::dateTime(day(2024, 3, 1)), TableValue::text("A"),
                          TableValue::text("x"), TableValue::number(i < kMaxListRows ? 2 : 500),
                          TableValue::text(""), TableValue::boolean(true)}));
        }
        t.close();
    }
    openQueryPage();
    keywordSearch(q("已"));
    EXPECT_EQ(list()->rowCount(), static_cast<int>(kMaxListRows));
    EXPECT_EQ(total(), "20000");
    EXPECT_EQ(state_->queryRowMap[kMaxListRows - 1], static_cast<std::int32_t>(kMaxListRows));
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("符合条件的记录超过10000条，只显示前10000条，合计只含显示的记录。"),
                   Icon::Information, q("信息：")}}));
}

// ------------------------------------------------------ selection and sort

class FilledQueryTest : public QueryPageTest {
  protected:
    void SetUp() override {
        QueryPageTest::SetUp();
        put(day(2024, 3, 3), "王五", "照片", 30, "c", false);
        put(day(2024, 3, 1), "张三", "相框", 5, "a", true);
        put(day(2024, 3, 2), "李四", "照片", 12.5, "b", false);
        put(day(2024, 3, 4), "赵六", "装裱", 5, "d", false);
        put(day(2024, 3, 5), "孙七", "相框", 100, "e", true);
        openQueryPage();
        keywordSearch(q("照片"));  // rows of records 1 and 3
        keywordSearch("a");        // nothing matches
        dialogs_.clearRecords();
        dateSearch(day(2024, 3, 1), day(2024, 3, 31));
        ASSERT_EQ(list()->rowCount(), 5);
    }
};

TEST_F(FilledQueryTest, SelectedTotalFollowsTheSelection) {
    clickRow(list(), 0);
    EXPECT_EQ(selectedTotal(), "30");
    clickRow(list(), 2, Qt::ControlModifier);
    clickRow(list(), 4, Qt::ControlModifier);
    EXPECT_EQ(selectedTotal(), "142.5");
    clickRow(list(), 0, Qt::ControlModifier);
    EXPECT_EQ(selectedTotal(), "112.5");
    list()->clearRowSelection();
    EXPECT_EQ(selectedTotal(), "0");
}

TEST_F(FilledQueryTest, SortingByAmountTwiceGivesTheSameOrderAndDisablesTheStatusButtons) {
    clickHeader(list(), kAmount);
    const QStringList once = columnTexts(list(), kCustomer);
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"5", "5", "12.5", "30", "100"}));
    // 赵六's 5 meets 张三's 5 as the first key and goes before it.
    EXPECT_EQ(once, (QStringList{q("赵六"), q("张三"), q("李四"), q("王五"), q("孙七")}));
    EXPECT_FALSE(statusButtonsEnabled());
    clickHeader(list(), kAmount);
    EXPECT_EQ(columnTexts(list(), kCustomer), once);
    // The "序" cells moved with their rows; sorting by them restores the order.
    EXPECT_EQ(columnTexts(list(), kSeq), (QStringList{"4", "2", "3", "1", "5"}));
    clickHeader(list(), kSeq);
    EXPECT_EQ(columnTexts(list(), kCustomer),
              (QStringList{q("王五"), q("张三"), q("李四"), q("赵六"), q("孙七")}));
    EXPECT_TRUE(statusButtonsEnabled());
    EXPECT_EQ(total(), "152.5");  // sorting changes no total
}

TEST_F(FilledQueryTest, SortingByDateTextsAndStatus) {
    clickHeader(list(), kDate);
    EXPECT_EQ(columnTexts(list(), kAmount), (QStringList{"5", "12.5", "30", "5", "100"}));
    EXPECT_FALSE(statusButtonsEnabled());
    clickHeader(list(), kSeq);
    clickHeader(list(), kCustomer);  // GBK order: 李 C0EE, 孙 CBEF, 王 CDF5, 张 D5C5, 赵 D5D4
    EXPECT_EQ(columnTexts(list(), kCustomer),
              (QStringList{q("李四"), q("孙七"), q("王五"), q("张三"), q("赵六")}));
    EXPECT_FALSE(statusButtonsEnabled());
    clickHeader(list(), kStatus);  // 未结 CEB4 before 已结 D2D1
    EXPECT_EQ(columnTexts(list(), kStatus).first(), q("未结"));
    EXPECT_EQ(columnTexts(list(), kStatus).last(), q("已结"));
    for (int row = 0; row < list()->rowCount(); ++row) {
        EXPECT_EQ(list()->rowImage(row), list()->cellText(row, kStatus) == q("已结") ? 1 : 0);
    }
}

TEST_F(FilledQueryTest, RemarkHeaderOnlySetsTheStatusImagesAgain) {
    const QStringList before = columnTexts(list(), kCustomer);
    clickHeader(list(), kAmount);
    clickHeader(list(), kSeq);
    list()->setRowImage(0, 1);  // out of step with its "未结"
    list()->setRowImage(1, 0);  // out of step with its "已结"
    clickHeader(list(), kRemark);
    EXPECT_EQ(columnTexts(list(), kCustomer), before);
    EXPECT_EQ(list()->rowImage(0), 0);
    EXPECT_EQ(list()->rowImage(1), 1);
    EXPECT_TRUE(statusButtonsEnabled());
}

TEST_F(FilledQueryTest, TheCurrentRowStaysCurrentAfterASort) {
    clickRow(list(), 2);  // 李四
    clickHeader(list(), kAmount);
    ASSERT_GE(list()->currentRow(), 0);
    EXPECT_EQ(list()->cellText(list()->currentRow(), kCustomer), q("李四"));
    EXPECT_EQ(list()->currentRow(), 2);
    clickHeader(list(), kCustomer);
    EXPECT_EQ(list()->cellText(list()->currentRow(), kCustomer), q("李四"));
    EXPECT_EQ(list()->currentRow(), 0);
}

// ---------------------------------------------------- settle and unsettle

TEST_F(FilledQueryTest, SettlingThreeSelectedRowsChangesExactlyThoseRecords) {
    const auto before = stored();
    clickRow(list(), 0);
    clickRow(list(), 2, Qt::ControlModifier);
    clickRow(list(), 3, Qt::ControlModifier);
    click(qc<QPushButton>("按钮结清"));

    const auto after = stored();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        LedgerRecord expected = before[i].record;
        if (i == 0 || i == 2 || i == 3) expected.状态 = true;
        EXPECT_EQ(after[i].record, expected) << "record " << i + 1;
    }
    // The list is rebuilt by the same query, with fresh totals and no selection.
    EXPECT_EQ(list()->rowCount(), 5);
    EXPECT_EQ(columnTexts(list(), kStatus), QStringList(5, q("已结")));
    EXPECT_TRUE(list()->selectedRows().isEmpty());
    EXPECT_EQ(selectedTotal(), "0");
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(FilledQueryTest, UnsettlingWritesFalseOnlyToTheSelectedRecords) {
    const auto before = stored();
    clickRow(list(), 4);
    click(qc<QPushButton>("按钮未结"));
    const auto after = stored();
    for (std::size_t i = 0; i < after.size(); ++i) {
        LedgerRecord expected = before[i].record;
        if (i == 4) expected.状态 = false;
        EXPECT_EQ(after[i].record, expected);
    }
    EXPECT_EQ(list()->cellText(4, kStatus), q("未结"));
    EXPECT_EQ(list()->rowImage(4), 0);
}

TEST_F(FilledQueryTest, WithoutACurrentRowTheStatusButtonsWarn) {
    click(qc<QPushButton>("按钮结清"));
    click(qc<QPushButton>("按钮未结"));
    EXPECT_EQ(dialogs_.messages(), (QList<ui::RecordedMessage>{
                                       {q("请选中要结清的项目！"), Icon::Warning, q("信息：")},
                                       {q("请选中要未结的项目！"), Icon::Warning, q("信息：")}}));
}

TEST_F(FilledQueryTest, SettlingRefreshesAFilledEntryList) {
    openEntryPage(day(2024, 3, 3));
    ASSERT_EQ(columnTexts(entry_->超级列表框记账, 5), (QStringList{q("未结")}));
    clickRow(list(), 0);
    click(qc<QPushButton>("按钮结清"));
    EXPECT_EQ(columnTexts(entry_->超级列表框记账, 5), (QStringList{q("已结")}));
}

TEST_F(FilledQueryTest, EachPageReachesTheOtherOnlyWhileItExists) {
    openEntryPage(day(2024, 3, 3));
    EXPECT_EQ(state_->entryList, entryActions_);
    EXPECT_EQ(state_->queryList, queryActions_);
    // The query page goes: a delete on the entry page refills its own list only.
    query_.reset();
    EXPECT_EQ(state_->queryList, nullptr);
    clickRow(entry_->超级列表框记账, 0);
    dialogs_.answerQuestion(true);
    rightClickRow(entry_->超级列表框记账, 0);
    EXPECT_EQ(stored().size(), 4u);
    EXPECT_EQ(entry_->超级列表框记账->rowCount(), 0);
    entry_.reset();
    EXPECT_EQ(state_->entryList, nullptr);
}

TEST_F(FilledQueryTest, AfterADeleteSettlingFromTheEarlierListSettlesTheRightRecord) {
    // The query list was filled before the delete; the delete refills it.
    openEntryPage(day(2024, 3, 3));  // 王五, record 1
    clickRow(entry_->超级列表框记账, 0);
    dialogs_.answerQuestion(true);
    rightClickRow(entry_->超级列表框记账, 0);
    ASSERT_EQ(stored().size(), 4u);
    ASSERT_EQ(columnTexts(list(), kCustomer),
              (QStringList{q("张三"), q("李四"), q("赵六"), q("孙七")}));

    clickRow(list(), 1);  // 李四, now record 2
    click(qc<QPushButton>("按钮结清"));
    const auto s = stored();
    EXPECT_EQ(s[0].record.客户, g("张三"));
    EXPECT_TRUE(s[0].record.状态);
    EXPECT_EQ(s[1].record.客户, g("李四"));
    EXPECT_TRUE(s[1].record.状态);
    EXPECT_EQ(s[2].record.客户, g("赵六"));
    EXPECT_FALSE(s[2].record.状态);
}

// ------------------------------------------ records moved or gone elsewhere

// Another copy of the program sharing the folder deletes a record after the
// list was filled: the later records move one number down.
void deleteElsewhere(std::int32_t number) {
    tables::TableFile t;
    ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
    ASSERT_TRUE(t.goTo(number));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    t.close();
}

template <typename Stored>
std::string statuses(const std::vector<Stored>& s) {
    std::string out;
    for (const auto& r : s) out += r.record.状态 ? '+' : '-';
    return out;
}

TEST_F(FilledQueryTest, SettlingAMovedRecordSettlesThatRecord) {
    clickRow(list(), 2);  // 李四, record 3
    deleteElsewhere(1);   // 王五 goes: 李四 is record 2, 赵六 stands at 3
    click(qc<QPushButton>("按钮结清"));
    const auto s = stored();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[1].record.客户, g("李四"));
    EXPECT_EQ(statuses(s), "++-+");  // 张三 李四 赵六 孙七
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(FilledQueryTest, UnsettlingAMovedRecordUnsettlesThatRecord) {
    clickRow(list(), 4);  // 孙七, record 5
    deleteElsewhere(1);   // 孙七 is record 4 now; there is no record 5
    click(qc<QPushButton>("按钮未结"));
    const auto s = stored();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(statuses(s), "+---");
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(FilledQueryTest, SettlingARecordThatIsGoneIsRefusedAndWritesNothing) {
    clickRow(list(), 0);                       // 王五, record 1
    clickRow(list(), 2, Qt::ControlModifier);  // 李四, record 3
    deleteElsewhere(3);                        // 赵六 moves to record 3
    click(qc<QPushButton>("按钮结清"));
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("该记录已被更改或删除，请重新查询！"), Icon::Warning, q("信息：")}}));
    EXPECT_EQ(statuses(stored()), "-+-+");  // 王五 张三 赵六 孙七 as they were
    // The list is filled again by the last query.
    EXPECT_EQ(columnTexts(list(), kCustomer),
              (QStringList{q("王五"), q("张三"), q("赵六"), q("孙七")}));
}

TEST_F(FilledQueryTest, UnsettlingARecordThatIsGoneIsRefusedAndWritesNothing) {
    clickRow(list(), 1);  // 张三, record 2
    deleteElsewhere(2);   // 李四 moves to record 2
    click(qc<QPushButton>("按钮未结"));
    EXPECT_EQ(dialogs_.messageTexts(), (QStringList{q("该记录已被更改或删除，请重新查询！")}));
    EXPECT_EQ(statuses(stored()), "---+");
}

}  // namespace
}  // namespace ledger::testing
