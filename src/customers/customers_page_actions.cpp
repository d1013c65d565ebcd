#include "customers_page_actions.h"

#include <QAction>
#include <QColor>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <array>
#include <optional>
#include <tuple>

#include "appearance.h"
#include "controls.h"
#include "customers_page.h"
#include "dialogs.h"
#include "entry_page.h"
#include "gbk.h"
#include "gbk_text.h"
#include "numbers.h"
#include "page_helpers.h"
#include "text.h"

namespace customers {

namespace {

const QColor kGrey(192, 192, 192);
const QColor kRed(255, 0, 0);

void message(const char* text, ui::MessageIcon icon) {
    ui::dialogs().message(QString::fromUtf8(text), icon);
}

QString sumText(double value, int places) {
    return QString::fromStdString(convert::numberToText(convert::roundTo(value, places)));
}

}  // namespace

void fillEntryCustomers(ui::EntryPage& page, std::string_view fileName) {
    ui::ComboBox* box = page.组合框客户;
    box->clear();
    const auto names = readCustomerNames(fileName);
    if (!names) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    for (const std::string& name : *names) box->addItem(ui::fromGbk(name));
}

CustomersPageActions::CustomersPageActions(ui::CustomersPage& page,
                                           const settings::Settings& settings,
                                           EntryPageGetter entryPage, TableFiles files)
    : QObject(&page),
      page_(page),
      settings_(settings),
      entryPage_(std::move(entryPage)),
      files_(std::move(files)) {
    connect(page.卷帘式菜单客户, &ui::RollUpMenu::itemSelected, this, [this] { selectCustomer(); });
    connect(page.超级按钮4, &QAbstractButton::clicked, this, [this] { resetCustomerForm(); });
    connect(page.按钮添加, &QAbstractButton::clicked, this, [this] { addCustomer(); });
    connect(page.按钮修改, &QAbstractButton::clicked, this, [this] { modifyCustomer(); });
    connect(page.按钮删除, &QAbstractButton::clicked, this, [this] { deleteCustomer(); });
    buildRankingMenu();
}

void CustomersPageActions::buildRankingMenu() {
    ui::ReportList* list = page_.超级列表框1;
    exportEntries_ = ledger::addExportEntries(
        *list->contextMenu(), [this] { return rankingSheet(); }, QStringLiteral("客户消费排行"));
    connect(list, &ui::ReportList::contextMenuAboutToOpen, this, [this, list] {
        for (QAction* entry : exportEntries_) entry->setEnabled(list->rowCount() > 0);
    });
}

exporting::Sheet CustomersPageActions::rankingSheet() const {
    using exporting::ColumnKind;
    const ui::ReportList& list = *page_.超级列表框1;
    static constexpr int kColumns[] = {1, 2};  // "客户", "总消费"
    static constexpr ColumnKind kKinds[] = {ColumnKind::Text, ColumnKind::Amount};
    exporting::Sheet sheet;
    sheet.name = "客户消费排行";
    sheet.columns = ledger::sheetColumns(list, kColumns, kKinds);
    sheet.rows = ledger::shownRows(list, kColumns);
    // What the frame "全部已未结金额" beside the list shows, and the whole.
    const std::string settled = page_.标签全部已结->text().toStdString();
    const std::string unsettled = page_.标签全部未结->text().toStdString();
    const double all = convert::textToNumber(settled) + convert::textToNumber(unsettled);
    sheet.totals = {
        {"已结", settled}, {"未结", unsettled}, {"合计", sumText(all, 1).toStdString()}};
    return sheet;
}

void CustomersPageActions::exportRanking(ledger::ExportFormat format) {
    ledger::exportSheet(rankingSheet(), format, QStringLiteral("客户消费排行"));
}

void CustomersPageActions::fillCustomerMenu() {
    ui::RollUpMenu* menu = page_.卷帘式菜单客户;
    menu->clear();
    names_.clear();
    const auto names = readCustomerNames(files_.customers);
    if (!names) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    const int group = menu->addGroup(QString::fromUtf8(text::kGroupCaption));
    for (const std::string& name : *names) menu->addItem(group, ui::fromGbk(name));
    names_ = *names;
    menu->setCurrentGroup(0);

    // The menu reports a pick when the selection changes; a click on the
    // customer already selected changes none, yet must show the statement
    // as the ledger stands now.
    if (QListWidget* list = menu->groupList(group)) {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
            const bool again = pressOnSelected_ && item && item->isSelected();
            pressOnSelected_ = false;
            if (again) selectCustomer();
        });
    }
}

bool CustomersPageActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        QListWidget* list = page_.卷帘式菜单客户->groupList(0);
        if (list && watched == list->viewport()) {
            const QListWidgetItem* item =
                list->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            pressOnSelected_ = item && item->isSelected();
        }
    }
    return QObject::eventFilter(watched, event);
}

bool CustomersPageActions::hasSelection() const {
    const ui::RollUpMenu* menu = page_.卷帘式菜单客户;
    return menu->currentGroup() >= 0 && menu->currentItem() >= 0;
}

std::string CustomersPageActions::selectedName() const {
    const ui::RollUpMenu* menu = page_.卷帘式菜单客户;
    const int item = menu->currentItem();
    if (menu->currentGroup() == 0 && item >= 0 && static_cast<std::size_t>(item) < names_.size())
        return names_[static_cast<std::size_t>(item)];
    return ui::toGbk(menu->currentItemText()).value_or(std::string());
}

void CustomersPageActions::applyButtonLook() {
    const std::tuple<bool, ui::ImageButton*, QColor> buttons[] = {
        {settings_.allowCustomerAdd, page_.按钮添加, QColor(0, 128, 0)},
        {settings_.allowCustomerEdit, page_.按钮修改, QColor(255, 128, 0)},
        {settings_.allowCustomerDelete, page_.按钮删除, QColor(255, 128, 192)},
    };
    for (const auto& [allowed, button, colour] : buttons) {
        button->setEnabled(allowed);
        button->setBackgroundColor(allowed ? colour : kGrey);
    }
}

void CustomersPageActions::enableAndEmptyForm() {
    for (ui::EditBox* box :
         {page_.编辑框姓名, page_.编辑框电话, page_.编辑框地址, page_.编辑框备注}) {
        box->setEnabled(true);
        box->clear();
    }
}

void CustomersPageActions::showNoCustomer() {
    page_.标签用户->setText(QString::fromUtf8(text::kNoCustomer));
    ui::setTextColor(page_.标签用户, kGrey);
}

void CustomersPageActions::selectCustomer() {
    if (!hasSelection()) {
        for (ui::ImageButton* button : {page_.按钮添加, page_.按钮修改, page_.按钮删除}) {
            button->setEnabled(false);
            button->setBackgroundColor(kGrey);
        }
        for (ui::EditBox* box :
             {page_.编辑框姓名, page_.编辑框电话, page_.编辑框地址, page_.编辑框备注})
            box->setEnabled(false);
        return;
    }
    applyButtonLook();
    enableAndEmptyForm();
    showNoCustomer();
    page_.标签金额->setText(QStringLiteral("0"));

    const Lookup found = findCustomer(selectedName(), files_.customers);
    if (!found.opened) {
        message(text::kTableNotOpened, ui::MessageIcon::Error);
        return;
    }
    if (found.customer) {
        page_.编辑框姓名->setText(ui::fromGbk(found.customer->姓名));
        page_.编辑框电话->setText(ui::fromGbk(found.customer->电话));
        page_.编辑框地址->setText(ui::fromGbk(found.customer->地址));
        page_.编辑框备注->setText(ui::fromGbk(found.customer->备注));
    }
    showCustomerStatement();
}

void CustomersPageActions::resetCustomerForm() {
    page_.卷帘式菜单客户->setCurrentItem(-1);
    applyButtonLook();
    enableAndEmptyForm();
    showNoCustomer();
    for (QLabel* label : {page_.标签金额, page_.标签已结, page_.标签未结})
        label->setText(QStringLiteral("0"));
}

std::optional<Customer> CustomersPageActions::formTexts() const {
    std::array<std::string, 4> texts;
    const std::array<const ui::EditBox*, 4> boxes = {page_.编辑框姓名, page_.编辑框电话,
                                                     page_.编辑框地址, page_.编辑框备注};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const QString typed = boxes[i]->text();
        auto gbk = ui::toGbk(typed);
        if (!gbk) {
            ui::dialogs().message(QString::fromUtf8(text::kNotGbk)
                                      .arg(QString::fromStdString(
                                          convert::firstCharacterNotInGbk(typed.toStdString()))),
                                  ui::MessageIcon::Warning);
            return std::nullopt;
        }
        texts[i] = std::move(*gbk);
    }
    return Customer{texts[0], texts[1], texts[2], texts[3]};
}

void CustomersPageActions::refreshEntryCustomers() {
    if (!entryPage_) return;
    if (ui::EntryPage* entry = entryPage_()) fillEntryCustomers(*entry, files_.customers);
}

void CustomersPageActions::addCustomer() {
    const QString name = page_.编辑框姓名->text();
    // A name the table cannot hold is not empty; formTexts reports it below.
    const auto nameGbk = ui::toGbk(name);
    if (nameGbk && convert::removeSpaces(*nameGbk).empty()) {
        message(text::kNameMissing, ui::MessageIcon::Warning);
        return;
    }
    if (hasSelection() && page_.卷帘式菜单客户->currentItemText() == name) {
        message(text::kDuplicate, ui::MessageIcon::Warning);
        return;
    }
    const auto customer = formTexts();
    if (!customer) return;
    switch (appendCustomer(*customer, files_.customers)) {
        case ChangeResult::OpenFailed:
            message(text::kTableNotOpened, ui::MessageIcon::Error);
            return;
        case ChangeResult::Done:
            message(text::kAdded, ui::MessageIcon::Information);
            break;
        default:
            // The typed texts stay in the form, so the operator can try again.
            message(text::kAddFailed, ui::MessageIcon::Error);
            return;
    }
    fillCustomerMenu();
    resetCustomerForm();
    refreshEntryCustomers();
}

void CustomersPageActions::modifyCustomer() {
    if (!hasSelection()) {
        message(text::kSelectToModify, ui::MessageIcon::Warning);
        return;
    }
    if (page_.编辑框姓名->text().isEmpty()) {
        message(text::kCustomerNameMissing, ui::MessageIcon::Warning);
        return;
    }
    const auto customer = formTexts();
    if (!customer) return;
    finishChange(customers::modifyCustomer(selectedName(), *customer, files_.customers),
                 text::kModified, text::kModifyFailed);
}

void CustomersPageActions::deleteCustomer() {
    if (!hasSelection()) {
        message(text::kSelectToDelete, ui::MessageIcon::Warning);
        return;
    }
    finishChange(customers::deleteCustomer(selectedName(), files_.customers, {files_.bin}),
                 text::kDeleted, text::kDeleteFailed);
}

void CustomersPageActions::finishChange(ChangeResult result, const char* done, const char* failed) {
    switch (result) {
        case ChangeResult::OpenFailed:
        case ChangeResult::ReadFailed:
            message(text::kTableNotOpened, ui::MessageIcon::Error);
            return;
        case ChangeResult::WriteFailed:
            // The form keeps what the operator typed.
            message(failed, ui::MessageIcon::Error);
            return;
        case ChangeResult::BinFailed:
            // Nothing was deleted: without its copy in the bin it could not come back.
            message(text::kNotKept, ui::MessageIcon::Error);
            return;
        case ChangeResult::Done:
            message(done, ui::MessageIcon::Information);
            break;
        case ChangeResult::NotFound:
            break;
    }
    resetCustomerForm();
    fillCustomerMenu();
    refreshEntryCustomers();
}

void CustomersPageActions::showCustomerStatement() {
    page_.标签用户->setText(page_.卷帘式菜单客户->currentItemText());
    ui::setTextColor(page_.标签用户, kRed);
    // All three start at 0, so that a ledger that cannot be read never leaves
    // an earlier customer's sums under this name.
    for (QLabel* label : {page_.标签金额, page_.标签已结, page_.标签未结})
        label->setText(QStringLiteral("0"));
    const auto statement = customerStatement(selectedName(), files_.ledger);
    if (!statement) {
        message(text::kLedgerNotOpened, ui::MessageIcon::Error);
        return;
    }
    page_.标签金额->setText(sumText(statement->total, 1));
    page_.标签已结->setText(sumText(statement->settled, 1));
    page_.标签未结->setText(sumText(statement->unsettled, 1));
}

void CustomersPageActions::buildSpendingRanking() {
    const auto ranking = spendingRanking(files_.ledger);
    if (!ranking) {
        message(text::kLedgerNotOpened, ui::MessageIcon::Error);
        return;
    }
    ui::ReportList* list = page_.超级列表框1;
    list->clearRows();
    list->reserveRows(static_cast<int>(ranking->rows.size()));
    for (const RankingRow& row : ranking->rows)
        list->addRow({QString(), ui::fromGbk(row.name), QString::fromStdString(row.sumText)});

    // Ascending by sum, then each row's rank (1 = largest) into the hidden
    // column, then ascending by rank: largest first.
    ledger::sortByColumn(*list, 2, ledger::SortOrder::Numbers);
    const int n = list->rowCount();
    for (int k = 0; k < n; ++k) list->setCellText(k, 0, QString::number(n - k));
    ledger::sortByColumn(*list, 0, ledger::SortOrder::Numbers);

    page_.标签全部已结->setText(sumText(ranking->allSettled, 1));
    page_.标签全部未结->setText(sumText(ranking->allUnsettled, 1));
}

}  // namespace customers
