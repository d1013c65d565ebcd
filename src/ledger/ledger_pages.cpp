// Event bindings of both pages and the helpers they share.
#include "ledger_pages.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "combo_box.h"
#include "date_picker.h"
#include "edit_box.h"
#include "entry_page.h"
#include "gbk_text.h"
#include "query_page.h"
#include "report_list.h"

namespace ledger {

LedgerState& ledgerState() {
    static LedgerState state;
    return state;
}

LedgerPages::LedgerPages(LedgerState& state, QObject* parent) : QObject(parent), state_(state) {}

void LedgerPages::bindEntryPage(ui::EntryPage& page) {
    entry_ = &page;
    connect(page.日期框1, &ui::DatePicker::valueChanged, this, [this] { refreshEntryList(); });
    connect(page.组合框客户, &QComboBox::activated, this, [this](int index) {
        const QString picked = entry_->组合框客户->itemText(index);
        state_.historyCustomer = ui::toGbk(picked).value_or(std::string());
        entry_->标签客户名->setText(picked);
        refreshHistory();
    });
    connect(page.组合框事件, &QComboBox::activated, this, [this](int index) {
        state_.historyItem = ui::toGbk(entry_->组合框事件->itemText(index)).value_or(std::string());
        refreshHistory();
    });
    connect(page.按钮记账, &QPushButton::clicked, this, [this] { saveEntry(); });

    ui::ReportList* list = page.超级列表框记账;
    connect(list, &ui::ReportList::rowDoubleClicked, this, [this] { beginModify(); });
    connect(list, &ui::ReportList::rightButtonReleased, this, [this] { deleteEntry(); });
    // Any move of the selection or of the focus row leaves modify mode.
    connect(list, &ui::ReportList::rowSelectionChanged, this, [this] { cancelModify(); });
    connect(list, &ui::ReportList::currentRowChanged, this, [this] { cancelModify(); });

    refreshEntryList();
}

void LedgerPages::bindQueryPage(ui::QueryPage& page) {
    query_ = &page;
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
}

}  // namespace ledger
