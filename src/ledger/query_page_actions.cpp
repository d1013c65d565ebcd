#include "query_page_actions.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

#include "business_window.h"
#include "date_picker.h"
#include "dates.h"
#include "dialogs.h"
#include "edit_box.h"
#include "gbk_text.h"
#include "ledger_table.h"
#include "numbers.h"
#include "page_helpers.h"
#include "query_page.h"
#include "report_list.h"
#include "statistics_window.h"
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

QueryPageActions::QueryPageActions(ui::QueryPage& page, LedgerState& state)
    : QObject(&page), page_(page), state_(state) {
    state_.queryList = this;
    connect(page.按钮模糊搜索, &QPushButton::clicked, this, [this] { runKeywordQuery(); });
    connect(page.编辑框搜索, &QLineEdit::returnPressed, this, [this] { runKeywordQuery(); });
    connect(page.按钮时间搜索, &QPushButton::clicked, this, [this] { runDateQuery(); });
    connect(page.按钮组合搜索, &QPushButton::clicked, this, [this] { runCombinedQuery(); });
    connect(page.按钮结清, &QPushButton::clicked, this, [this] { settleSelected(); });
    connect(page.按钮未结, &QPushButton::clicked, this, [this] { unsettleSelected(); });
    connect(page.按钮打印本页, &QPushButton::clicked, this, [this] { printDeliveryNote(); });

    ui::ReportList* list = page.超级列表框统计;
    connect(list, &ui::ReportList::rowSelectionChanged, this, [this] { updateSelectedTotal(); });
    connect(list, &ui::ReportList::headerClicked, this,
            [this](int column) { queryHeaderClicked(column); });
    buildListMenu();
}

void QueryPageActions::buildListMenu() {
    ui::ReportList* list = page_.超级列表框统计;
    QMenu* menu = list->contextMenu();
    exportEntries_ = addExportEntries(
        *menu, [this] { return listSheet(); }, QStringLiteral("查询结果"));
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("经营统计…")), &QAction::triggered, this,
            [this] { openBusinessFigures(); });
    // An empty list has nothing to export.
    connect(list, &ui::ReportList::contextMenuAboutToOpen, this, [this, list] {
        for (QAction* entry : exportEntries_) entry->setEnabled(list->rowCount() > 0);
    });
}

exporting::Sheet QueryPageActions::listSheet() const {
    using exporting::ColumnKind;
    const ui::ReportList& list = *page_.超级列表框统计;
    static constexpr int kColumns[] = {kSeq, kDate, kCustomer, kItem, kAmount, kStatus, kRemark};
    static constexpr ColumnKind kKinds[] = {
        ColumnKind::Number, ColumnKind::Date, ColumnKind::Text, ColumnKind::Text,
        ColumnKind::Amount, ColumnKind::Text, ColumnKind::Text};
    exporting::Sheet sheet;
    sheet.name = "查询结果";
    sheet.columns = sheetColumns(list, kColumns, kKinds);
    sheet.rows = shownRows(list, kColumns);
    exporting::Row total(std::size(kColumns));
    total[0] = "本页合计";
    total[kAmount - kSeq] = page_.合计标签->text().toStdString();
    sheet.totals.push_back(std::move(total));
    return sheet;
}

void QueryPageActions::exportList(ExportFormat format) {
    exportSheet(listSheet(), format, QStringLiteral("查询结果"));
}

void QueryPageActions::openBusinessFigures() {
    const double today =
        today_.value_or(ui::DatePicker::toDays(QDateTime(QDate::currentDate(), QTime(0, 0))));
    const std::optional<BusinessFigures> figures = businessFigures(today);
    if (!figures) {
        show(text::kTableNotRead, ui::MessageIcon::Error);
        return;
    }
    if (!statistics_) {
        statistics_ = new ui::StatisticsWindow(&page_);
        statistics_->setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
        statistics_->setAttribute(Qt::WA_DeleteOnClose);
        // Over the middle of the page.
        statistics_->move(page_.geometry().center() - statistics_->rect().center());
    }
    fillStatisticsWindow(*statistics_, *figures, today);
    statistics_->show();
    statistics_->raise();
    statistics_->activateWindow();
}

QueryPageActions::~QueryPageActions() {
    if (state_.queryList == this) state_.queryList = nullptr;
}

void QueryPageActions::refillIfFilled() {
    if (page_.超级列表框统计->rowCount() > 0) rerunLastQuery();
}

void QueryPageActions::runKeywordQuery() { runQuery(QueryKind::Keyword); }
void QueryPageActions::runDateQuery() { runQuery(QueryKind::DateRange); }
void QueryPageActions::runCombinedQuery() { runQuery(QueryKind::Combined); }

void QueryPageActions::runQuery(QueryKind kind) {
    ui::QueryPage& p = page_;

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

    fillEntryRows(list, found, true, state_.queryRowMap, state_.queryRowIds);
    list.setUpdatesEnabled(true);

    state_.lastQueryMode = static_cast<int>(kind);
    numberRowsAndTotal();

    if (list.rowCount() == 0) show(text::kNothingFound, ui::MessageIcon::Information);
    if (found.cut) show(text::kResultCut, ui::MessageIcon::Information);
}

void QueryPageActions::numberRowsAndTotal() {
    ui::ReportList& list = *page_.超级列表框统计;
    numberRowsAndSum(list, kAmount, *page_.合计标签);
    if (list.rowCount() > 0) list.scrollToRow(list.rowCount() - 1);
}

void QueryPageActions::updateSelectedTotal() {
    ui::QueryPage& p = page_;
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

void QueryPageActions::rerunLastQuery() {
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

void QueryPageActions::queryHeaderClicked(int column) {
    ui::QueryPage& p = page_;
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

void QueryPageActions::settleSelected() { writeSelectedStatus(true); }
void QueryPageActions::unsettleSelected() { writeSelectedStatus(false); }

void QueryPageActions::writeSelectedStatus(bool settled) {
    ui::ReportList& list = *page_.超级列表框统计;
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
    if (state_.entryList) state_.entryList->refillIfFilled();
}

}  // namespace ledger
