// The entry page and the query page: their handlers and event bindings.
//
// The shell creates each page window once and hands it over here:
// bindEntryPage() binds the entry page's events and fills its day list
// (refreshEntryList); bindQueryPage() binds the query page's events and
// loads nothing. The permission switches (which buttons and boxes start
// enabled, whole-row selection of the entry list) stay with the shell.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "entry_page.h"
#include "ledger_state.h"
#include "query_page.h"
#include "sort_order.h"

namespace ui {
class ReportList;
}  // namespace ui

namespace ledger {

// Message texts the pages show.
namespace text {
inline constexpr const char* kTableNotRead = "记账数据库没有读取成功！";
inline constexpr const char* kNoItem = "请填写项目内容！";
inline constexpr const char* kNoCustomer = "请填写客户内容！";
inline constexpr const char* kBadAmount = "请正确填写金额！";
inline constexpr const char* kNoStatus = "请选择结账状态！";
inline constexpr const char* kModified = "修改成功！";
inline constexpr const char* kNotSaved = "记账数据没有保存成功！";
inline constexpr const char* kRecordChanged = "该记录已被更改或删除，请重新查询！";
inline constexpr const char* kNotGbk = "内容中的字符“%1”无法保存，请修改！";
inline constexpr const char* kNoKeyword = "请输入关键字！";
inline constexpr const char* kNothingFound = "无信息！";
inline constexpr const char* kResultCut =
    "符合条件的记录超过10000条，只显示前10000条，合计只含显示的记录。";
inline constexpr const char* kSelectToSettle = "请选中要结清的项目！";
inline constexpr const char* kSelectToUnsettle = "请选中要未结的项目！";
inline constexpr const char* kSettled = "已结";
inline constexpr const char* kUnsettled = "未结";
}  // namespace text

// Sorts the rows of `list` ascending by `column` (the customer ranking uses
// it too): keys trimmed, inserted with bisection; every cell and each row's
// data value move with the row; the current row stays current.
void sortByColumn(ui::ReportList& list, int column, SortOrder order);

class LedgerPages : public QObject {
    Q_OBJECT
  public:
    explicit LedgerPages(LedgerState& state = ledgerState(), QObject* parent = nullptr);

    // Page created: binds the events, then refreshEntryList. The shell fills
    // the customer and item boxes afterwards.
    void bindEntryPage(ui::EntryPage& page);
    // Page created: binds the events; the list stays empty until a search.
    void bindQueryPage(ui::QueryPage& page);

    ui::EntryPage* entryPage() const { return entry_; }
    ui::QueryPage* queryPage() const { return query_; }
    LedgerState& state() { return state_; }

    // Entry page.
    void refreshEntryList();
    void saveEntry();
    void refreshHistory();
    void beginModify();
    void cancelModify();
    void deleteEntry();

    // Query page.
    void runKeywordQuery();
    void runDateQuery();
    void runCombinedQuery();
    void numberRowsAndTotal();
    void updateSelectedTotal();
    void rerunLastQuery();
    void queryHeaderClicked(int column);
    void settleSelected();
    void unsettleSelected();
    // The list's rows and page total as a delivery note in `表格1`, whose
    // print preview opens.
    void printDeliveryNote();

  private:
    enum class QueryKind { Keyword = 1, DateRange = 2, Combined = 3 };
    void runQuery(QueryKind kind);
    void writeSelectedStatus(bool settled);
    void resetEntryForm();
    void setModifyHighlight(bool on);
    int selectedEntryRow() const;

    LedgerState& state_;
    QPointer<ui::EntryPage> entry_;
    QPointer<ui::QueryPage> query_;
    unsigned historyGeneration_ = 0;
};

}  // namespace ledger
