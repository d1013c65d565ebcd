// The query page: the three searches, numbering and totals, header sorts,
// and settling or unsettling the selected rows.
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "date_picker.h"
#include "dates.h"
#include "dialogs.h"
#include "edit_box.h"
#include "entry_page.h"
#include "gbk_text.h"
#include "ledger_pages.h"
#include "ledger_table.h"
#include "numbers.h"
#include "page_helpers.h"
#include "query_page.h"
#include "report_list.h"
#include "text.h"

namespace ledger {

namespace {

// Columns of `超级列表框统计`.
enum QueryColumn {
    kSeq = 1,
    kDate = 2,
    kCustomer = 3,
    kItem = 4,
    kAmount = 5,
    kStatus = 6,
    kRemark = 7
};

void show(const char* message, ui::MessageIcon icon) {
    ui::dialogs().message(QString::fromUtf8(message), icon);
}

// Whether a keyword is left once every half-width and ideographic space is gone.
bool isBlank(const QString& keyword) {
    for (QChar c : keyword) {
        if (c != QChar(u' ') && c != QChar(u'\u3000')) return false;
    }
    return true;
}

}  // namespace

void LedgerPages::runKeywordQuery() { runQuery(QueryKind::Keyword); }
void LedgerPages::runDateQuery() { runQuery(QueryKind::DateRange); }
void LedgerPages::runCombinedQuery() { runQuery(QueryKind::Combined); }

void LedgerPages::runQuery(QueryKind kind) {
    if (!query_) return;
    ui::QueryPage& p = *query_;

    LedgerFilter filter;
    bool matchesNothing = false;
    if (kind != QueryKind::DateRange) {
        const QString keyword = (kind == QueryKind::Keyword ? p.编辑框搜索 : p.编辑框组合)->text();
        if (isBlank(keyword)) {
            show(text::kNoKeyword, ui::MessageIcon::Error);
            return;
        }
        // A character GBK cannot hold occurs in no stored text.
        if (std::optional<std::string> gbk = ui::toGbk(keyword)) {
            filter.keyword.emplace(std::move(*gbk));
        } else {
            matchesNothing = true;
        }
    }
    if (kind == QueryKind::DateRange) {
        filter.days.emplace(convert::datePart(p.日期框起->value()),
                            convert::datePart(p.日期框止->value()));
    } else if (kind == QueryKind::Combined) {
        filter.days.emplace(convert::datePart(p.日期框组合起->value()),
                            convert::datePart(p.日期框组合止->value()));
    }

    ui::ReportList& list = *p.超级列表框统计;
    list.clearRows();
    p.合计标签->setText(QStringLiteral("0"));
    p.标签选中合计->setText(QStringLiteral("0"));
    p.按钮结清->setEnabled(true);
    p.按钮未结->setEnabled(true);

    filter.matchNothing = matchesNothing;
    // A table that cannot be read to the end is reported as one that cannot
    // be opened, with the list empty: a part of it would give a wrong total.
    const ScanResult found = findRecords(filter);
    if (!found.ok()) {
        show(text::kTableNotRead, ui::MessageIcon::Error);
        return;
    }

    list.setUpdatesEnabled(false);
    list.reserveRows(static_cast<int>(found.rows.size()));
    std::size_t r = 0;
    for (const FoundRecord& row : found.rows) {
        const LedgerRecord& rec = row.record;
        list.addRow({QString(), QString::number(r + 1), ui::fromGbk(convert::dateToText(rec.日期)),
                     ui::fromGbk(rec.客户), ui::fromGbk(rec.事件),
                     ui::fromGbk(convert::numberToText(rec.金额)), statusCellText(rec.状态),
                     ui::fromGbk(rec.备注)},
                    rec.状态 ? 1 : 0);
        state_.queryRowMap[r] = row.recordNumber;
        state_.queryRowIds[r++] = row.recordId;
    }
    std::fill(state_.queryRowMap.begin() + static_cast<std::ptrdiff_t>(r), state_.queryRowMap.end(),
              0);
    std::fill(state_.queryRowIds.begin() + static_cast<std::ptrdiff_t>(r), state_.queryRowIds.end(),
              0);
    list.setUpdatesEnabled(true);

    state_.lastQueryMode = static_cast<int>(kind);
    numberRowsAndTotal();

    if (list.rowCount() == 0) show(text::kNothingFound, ui::MessageIcon::Information);
    if (found.cut) show(text::kResultCut, ui::MessageIcon::Information);
}

void LedgerPages::numberRowsAndTotal() {
    if (!query_) return;
    ui::ReportList& list = *query_->超级列表框统计;
    numberRowsAndSum(list, kAmount, *query_->合计标签);
    if (list.rowCount() > 0) list.scrollToRow(list.rowCount() - 1);
}

void LedgerPages::updateSelectedTotal() {
    if (!query_) return;
    ui::QueryPage& p = *query_;
    const QList<int> rows = p.超级列表框统计->selectedRows();
    std::string sum = "0";
    for (int row : rows) {
        const double added =
            convert::textToNumber(sum) +
            convert::textToNumber(gbkLossy(p.超级列表框统计->cellText(row, kAmount)));
        sum = convert::numberToText(added);
    }
    p.标签选中合计->setText(ui::fromGbk(sum));
}

void LedgerPages::rerunLastQuery() {
    switch (state_.lastQueryMode) {
        case 1:
            runKeywordQuery();
            break;
        case 2:
            runDateQuery();
            break;
        case 3:
            runCombinedQuery();
            break;
        default:
            break;
    }
}

void LedgerPages::queryHeaderClicked(int column) {
    if (!query_) return;
    ui::QueryPage& p = *query_;
    ui::ReportList& list = *p.超级列表框统计;

    // The row map describes the list in its filled order; only that order
    // ("序") lets the status buttons use it.
    auto sortBy = [&](SortOrder order, bool buttonsEnabled) {
        sortByColumn(list, column, order);
        p.按钮结清->setEnabled(buttonsEnabled);
        p.按钮未结->setEnabled(buttonsEnabled);
    };
    switch (column) {
        case kSeq:
            sortBy(SortOrder::Numbers, true);
            break;
        case kDate:
            sortBy(SortOrder::Dates, false);
            break;
        case kCustomer:
        case kItem:
        case kStatus:
            sortBy(SortOrder::Texts, false);
            break;
        case kAmount:
            sortBy(SortOrder::Numbers, false);
            break;
        default:
            break;  // "备注" and the hidden column are not sorted
    }

    const QString settled = statusCellText(true);
    for (int row = 0; row < list.rowCount(); ++row) {
        list.setRowImage(row, list.cellText(row, kStatus) == settled ? 1 : 0);
    }
}

void LedgerPages::settleSelected() { writeSelectedStatus(true); }
void LedgerPages::unsettleSelected() { writeSelectedStatus(false); }

void LedgerPages::writeSelectedStatus(bool settled) {
    if (!query_) return;
    ui::ReportList& list = *query_->超级列表框统计;
    if (list.currentRow() < 0) {
        show(settled ? text::kSelectToSettle : text::kSelectToUnsettle, ui::MessageIcon::Warning);
        return;
    }
    // The rows stand where the map describes them: the buttons are disabled
    // while the list is sorted by anything but "序".
    std::vector<RecordRef> records;
    for (int row : list.selectedRows()) records.push_back(state_.queryRecord(row));
    const LedgerStatus status = writeStatus(records, settled);
    if (status == LedgerStatus::OpenFailed || status == LedgerStatus::ReadFailed) {
        show(text::kTableNotRead, ui::MessageIcon::Error);
        return;
    }
    // One of them was deleted elsewhere: nothing was written, and the list is
    // filled again for the operator to choose anew.
    if (status == LedgerStatus::RecordGone) show(text::kRecordChanged, ui::MessageIcon::Warning);
    rerunLastQuery();
    if (entry_ && entry_->超级列表框记账->rowCount() > 0) refreshEntryList();
}

}  // namespace ledger
