#include "entry_page_actions.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <limits>

#include "appearance.h"
#include "combo_box.h"
#include "date_picker.h"
#include "dates.h"
#include "dialogs.h"
#include "edit_box.h"
#include "entry_page.h"
#include "gbk.h"
#include "gbk_text.h"
#include "ledger_table.h"
#include "numbers.h"
#include "page_helpers.h"
#include "radio_button.h"
#include "report_list.h"
#include "transparent_label.h"

namespace ledger {

namespace {

// Columns of `超级列表框记账`.
enum EntryColumn { kSeq = 1, kCustomer = 2, kItem = 3, kAmount = 4, kStatus = 5, kRemark = 6 };

constexpr double kAmountEpsilon = 1e-7;

void show(const char* message, ui::MessageIcon icon) {
    ui::dialogs().message(QString::fromUtf8(message), icon);
}

// The first entry of the box whose text begins with `prefix` (letter case
// ignored), or -1.
int firstEntryStartingWith(const QComboBox& box, const QString& prefix) {
    for (int i = 0; i < box.count(); ++i) {
        if (box.itemText(i).startsWith(prefix, Qt::CaseInsensitive)) return i;
    }
    return -1;
}

}  // namespace

EntryPageActions::EntryPageActions(ui::EntryPage& page, LedgerState& state)
    : QObject(&page), page_(page), state_(state) {
    state_.entryList = this;
    connect(page.日期框1, &ui::DatePicker::valueChanged, this, [this] { refreshEntryList(); });
    connect(page.组合框客户, &QComboBox::activated, this, [this](int index) {
        const QString picked = page_.组合框客户->itemText(index);
        state_.historyCustomer = ui::toGbk(picked).value_or(std::string());
        page_.标签客户名->setText(picked);
        refreshHistory();
    });
    connect(page.组合框事件, &QComboBox::activated, this, [this](int index) {
        state_.historyItem = ui::toGbk(page_.组合框事件->itemText(index)).value_or(std::string());
        refreshHistory();
    });
    connect(page.按钮记账, &QPushButton::clicked, this, [this] { saveEntry(); });

    ui::ReportList* list = page.超级列表框记账;
    connect(list, &ui::ReportList::rowDoubleClicked, this, [this] { beginModify(); });
    connect(list, &ui::ReportList::rightButtonReleased, this, [this] { deleteEntry(); });
    // Any move of the selection or of the focus row leaves modify mode.
    connect(list, &ui::ReportList::rowSelectionChanged, this, [this] { cancelModify(); });
    connect(list, &ui::ReportList::currentRowChanged, this, [this] { cancelModify(); });
}

EntryPageActions::~EntryPageActions() {
    if (state_.entryList == this) state_.entryList = nullptr;
}

void EntryPageActions::refillIfFilled() {
    if (page_.超级列表框记账->rowCount() > 0) refreshEntryList();
}

int EntryPageActions::selectedEntryRow() const {
    const QList<int> rows = page_.超级列表框记账->selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void EntryPageActions::refreshEntryList() {
    ui::ReportList& list = *page_.超级列表框记账;
    list.clearRows();

    LedgerFilter filter;
    filter.days = DayRange::singleDay(convert::datePart(page_.日期框1->value()));
    // A table that cannot be read to the end leaves the list empty, as one
    // that cannot be opened does: a part of the day would show a wrong total.
    const ScanResult found = findRecords(filter);
    if (!found.ok()) {
        show(text::kTableNotRead, ui::MessageIcon::Error);
        return;
    }

    fillEntryRows(list, found, false, state_.entryRowMap, state_.entryRowIds);

    page_.合计标签->setText(QString());
    numberRowsAndSum(list, kAmount, *page_.合计标签);
    list.setUpdatesEnabled(true);

    if (found.cut) show(text::kResultCut, ui::MessageIcon::Information);
}

void EntryPageActions::saveEntry() {
    ui::EntryPage& p = page_;

    if (p.组合框事件->currentText().isEmpty()) {
        show(text::kNoItem, ui::MessageIcon::Warning);
        return;
    }
    if (p.组合框客户->currentText().isEmpty()) {
        show(text::kNoCustomer, ui::MessageIcon::Warning);
        return;
    }
    const double amount = convert::textToNumber(gbkLossy(p.编辑框金额->text()));
    // An amount too large for a double reads as infinite: no amount either.
    if (!(std::fabs(amount) > kAmountEpsilon) || !std::isfinite(amount)) {
        show(text::kBadAmount, ui::MessageIcon::Warning);
        return;
    }
    if (!p.单选框已结->isChecked() && !p.单选框未结->isChecked()) {
        show(text::kNoStatus, ui::MessageIcon::Warning);
        return;
    }
    // The table holds GBK only; a character outside it would be stored as
    // something else, so the form keeps it for the operator to change.
    const std::optional<std::string> customer = ui::toGbk(p.组合框客户->currentText());
    const std::optional<std::string> item = ui::toGbk(p.组合框事件->currentText());
    const std::optional<std::string> remark = ui::toGbk(p.编辑框备注->text());
    if (!customer || !item || !remark) {
        const QString all =
            p.组合框客户->currentText() + p.组合框事件->currentText() + p.编辑框备注->text();
        const std::string bad = convert::firstCharacterNotInGbk(all.toStdString());
        ui::dialogs().message(QString::fromUtf8(text::kNotGbk).arg(QString::fromStdString(bad)),
                              ui::MessageIcon::Warning);
        return;
    }

    const int row = selectedEntryRow();
    if (row < 0) state_.modifyMode = false;

    const LedgerRecord record{convert::datePart(p.日期框1->value()),
                              *customer,
                              *item,
                              amount,
                              *remark,
                              p.单选框已结->isChecked()};
    if (state_.modifyMode) {
        const LedgerStatus status = writeRecord(state_.entryRecord(row), record);
        if (status == LedgerStatus::OpenFailed || status == LedgerStatus::ReadFailed) {
            show(text::kTableNotRead, ui::MessageIcon::Error);
            return;
        }
        if (status == LedgerStatus::RecordGone) {
            // Deleted elsewhere since the list was filled: the refilled list
            // shows what is there now, and modify mode ends with the row.
            show(text::kRecordChanged, ui::MessageIcon::Warning);
            refreshEntryList();
            if (state_.modifyMode) cancelModify();
            return;
        }
        if (status != LedgerStatus::Ok) {
            // Nothing was changed: keep the form and modify mode for another try.
            show(text::kNotSaved, ui::MessageIcon::Error);
            return;
        }
        show(text::kModified, ui::MessageIcon::Information);
        p.组合框事件->clearText();
        p.组合框客户->clearText();
    } else {
        const LedgerStatus status = appendRecord(record);
        if (status == LedgerStatus::OpenFailed) {
            show(text::kTableNotRead, ui::MessageIcon::Error);
            return;
        }
        if (status != LedgerStatus::Ok) {
            show(text::kNotSaved, ui::MessageIcon::Error);
            return;
        }
    }

    refreshEntryList();
    refreshHistory();
    resetEntryForm();
}

void EntryPageActions::resetEntryForm() {
    ui::EntryPage& p = page_;
    state_.modifyMode = false;
    p.编辑框备注->clear();
    p.编辑框金额->clear();
    setModifyHighlight(false);
    p.单选框已结->setChecked(false);
    p.单选框未结->setChecked(false);
    p.组合框事件->setEnabled(true);
}

void EntryPageActions::setModifyHighlight(bool on) {
    ui::EntryPage& p = page_;
    const QColor color = on ? QColor(255, 0, 0) : QColor(255, 255, 255);
    for (QWidget* box :
         {static_cast<QWidget*>(p.组合框客户), static_cast<QWidget*>(p.组合框事件),
          static_cast<QWidget*>(p.编辑框备注), static_cast<QWidget*>(p.编辑框金额)}) {
        ui::setBackgroundColor(box, color);
    }
    p.标签状态->setVisible(on);
}

void EntryPageActions::refreshHistory() {
    ui::EntryPage& p = page_;
    if (p.组合框客户->currentIndex() < 0 || p.组合框事件->currentIndex() < 0) return;

    // Window events run once the box is emptied, before the ledger is opened;
    // a newer refresh started from one of them makes this one stale. None
    // runs while the ledger is open: a click on "录入" or a search then would
    // meet the table's once-per-process open and report it unreadable. So
    // the rows are read with the table open and shown after it is closed.
    const unsigned generation = ++historyGeneration_;
    p.编辑框历史价格->clear();
    QCoreApplication::processEvents();
    if (generation != historyGeneration_) return;

    LedgerFilter filter;
    filter.customer = state_.historyCustomer;
    filter.item = state_.historyItem;
    const ScanResult found = findRecords(filter, std::numeric_limits<std::size_t>::max());
    if (!found.ok()) return;

    QString history;
    for (const FoundRecord& row : found.rows) {
        history += ui::fromGbk(row.record.事件) + QStringLiteral("--金额") +
                   ui::fromGbk(convert::numberToText(row.record.金额)) + QStringLiteral("元\r\n") +
                   ui::fromGbk(row.record.备注) + QStringLiteral("\r\n--------------------");
    }
    p.编辑框历史价格->setPlainText(history);
}

void EntryPageActions::beginModify() {
    ui::EntryPage& p = page_;
    ui::ReportList& list = *p.超级列表框记账;
    const int row = selectedEntryRow();
    if (row < 0) return;

    const QString n = list.cellText(row, kSeq);
    if (!ui::dialogs().question(QStringLiteral("是否修改当前第 ") + n + QStringLiteral(" 项？"),
                                QStringLiteral("当前选中第  ") + n + QStringLiteral("  项"))) {
        list.clearRowSelection();
        return;
    }
    setModifyHighlight(true);
    const int customer = firstEntryStartingWith(*p.组合框客户, list.cellText(row, kCustomer));
    if (customer >= 0) p.组合框客户->setCurrentIndex(customer);
    const int item = firstEntryStartingWith(*p.组合框事件, list.cellText(row, kItem));
    if (item >= 0) p.组合框事件->setCurrentIndex(item);
    p.编辑框备注->setText(list.cellText(row, kRemark));
    p.编辑框金额->setText(list.cellText(row, kAmount));
    state_.modifyMode = true;
}

void EntryPageActions::cancelModify() {
    setModifyHighlight(false);
    page_.编辑框备注->clear();
    page_.编辑框金额->clear();
    state_.modifyMode = false;
}

void EntryPageActions::deleteEntry() {
    ui::ReportList& list = *page_.超级列表框记账;
    const int row = selectedEntryRow();
    const QString n = row < 0 ? QString() : list.cellText(row, kSeq);
    if (n.isEmpty()) return;

    if (!ui::dialogs().question(QStringLiteral("是否删除当前选中第 ") + n + QStringLiteral(" 项？"),
                                QStringLiteral("当前选中第  ") + n + QStringLiteral("  项"))) {
        list.clearRowSelection();
        return;
    }
    const LedgerStatus status = deleteRecord(state_.entryRecord(row));
    if (status == LedgerStatus::OpenFailed || status == LedgerStatus::ReadFailed) {
        show(text::kTableNotRead, ui::MessageIcon::Error);
        list.clearRowSelection();
        return;
    }
    if (status == LedgerStatus::BinFailed) {
        // Nothing was deleted: without its copy in the bin it could not come back.
        show(text::kNotKept, ui::MessageIcon::Error);
        list.clearRowSelection();
        return;
    }
    if (status == LedgerStatus::RecordGone) show(text::kRecordChanged, ui::MessageIcon::Warning);
    list.clearRowSelection();
    // A purge renumbers the records: neither list may keep the old numbers.
    refreshEntryList();
    if (state_.queryList) state_.queryList->refillIfFilled();
}

}  // namespace ledger
