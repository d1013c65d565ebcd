// What the entry page's and the query page's operations share: the
// messages they show, the header sort (the customer ranking uses it too),
// numbering and totals, and GBK helpers.
#pragma once

#include <QString>
#include <string>

#include "ledger_table.h"
#include "sort_order.h"

class QLabel;

namespace ui {
class ReportList;
}

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
inline constexpr const char* kNotKept = "回收站写入出错，没有删除！";
inline constexpr const char* kSettled = "已结";
inline constexpr const char* kUnsettled = "未结";
}  // namespace text

// Sorts the rows of `list` ascending by `column` (the customer ranking uses
// it too): keys trimmed, inserted with bisection; every cell and each row's
// data value move with the row; the current row stays current.
void sortByColumn(ui::ReportList& list, int column, SortOrder order);

// The GBK text of a control's text for reading numbers or sort keys:
// characters GBK cannot hold become '?', as an ANSI control would show them.
std::string gbkLossy(const QString& text);

// Numbers the rows 1 … n in the "序" column (1) and adds each row's amount
// cell, read as a number, to the number read from the total label's text,
// writing the sum back as text after each row: the total lives as label
// text (13 significant digits between the additions).
void numberRowsAndSum(ui::ReportList& list, int amountColumn, QLabel& total);

// "已结" or "未结".
QString statusCellText(bool settled);

// Puts the found entries into `list` (emptied before), one row each: "序",
// the day (only where `withDay`), customer, item, amount, status, remark,
// the status image 1 when settled. Each row's record number and id go to
// `numbers` and `ids`; their entries past the rows are cleared, so that no
// entry outlives the rows it was written for. Updates stay off for the caller
// to total the rows; it turns them on again.
void fillEntryRows(ui::ReportList& list, const ScanResult& found, bool withDay,
                   RowRecordMap& numbers, RowRecordMap& ids);

}  // namespace ledger
