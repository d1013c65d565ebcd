// The customers page: the roll-up menu of customers and the form below it,
// the picked customer's statement, and the spending ranking built once when
// the page is created. Also the entry page's customer box, which every change
// to the customer table refills.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "customers.h"
#include "list_export.h"
#include "settings.h"

namespace ui {
class CustomersPage;
class EntryPage;
}  // namespace ui

namespace customers {

namespace text {
inline constexpr const char* kTableNotOpened = "客户数据库没有读取成功！";
inline constexpr const char* kLedgerNotOpened = "记账数据库没有读取成功！";
inline constexpr const char* kGroupCaption = "客户信息";
inline constexpr const char* kNoCustomer = "无选中用户";
inline constexpr const char* kNameMissing = "必须填写姓名！";
inline constexpr const char* kDuplicate = "请不要重复添加已有客户！";
inline constexpr const char* kAdded = "客户添加成功！";
inline constexpr const char* kAddFailed = "客户添加出错！";
inline constexpr const char* kSelectToModify = "请选择需要修改的客户！";
inline constexpr const char* kCustomerNameMissing = "必须填写客户姓名！";
inline constexpr const char* kModified = "修改成功！";
inline constexpr const char* kModifyFailed = "客户修改出错！";
inline constexpr const char* kSelectToDelete = "请选择需要删除的客户！";
inline constexpr const char* kDeleted = "删除成功！";
inline constexpr const char* kDeleteFailed = "客户删除出错！";
inline constexpr const char* kNotKept = "回收站写入出错，没有删除！";
inline constexpr const char* kNotGbk = "内容中的字符“%1”无法保存，请修改！";
}  // namespace text

// Where the two tables lie; the program uses the defaults (working directory).
struct TableFiles {
    std::string customers = std::string(kCustomerFile);
    std::string ledger = std::string(kLedgerFile);
    std::string bin = std::string(recycle::kBinFile);
};

// Refills the entry page's `组合框客户` with the live customers' names, in
// record order.
void fillEntryCustomers(ui::EntryPage& page, std::string_view fileName = kCustomerFile);

// The handlers of one customers page. Made a child of the page, so it lives
// exactly as long as the page window.
class CustomersPageActions : public QObject {
    Q_OBJECT
  public:
    using EntryPageGetter = std::function<ui::EntryPage*()>;

    // Binds the page's events. `entryPage` gives the entry page while it is
    // loaded, nullptr otherwise.
    CustomersPageActions(ui::CustomersPage& page, const settings::Settings& settings,
                         EntryPageGetter entryPage = {}, TableFiles files = {});

    void fillCustomerMenu();
    void selectCustomer();
    void resetCustomerForm();
    void addCustomer();
    void modifyCustomer();
    void deleteCustomer();
    void showCustomerStatement();
    void buildSpendingRanking();

    // The ranking as it shows, largest first, with the whole ledger's
    // settled and unsettled totals and their sum below it.
    exporting::Sheet rankingSheet() const;
    // "导出到Excel…", "导出CSV…" of the ranking's right-click menu.
    void exportRanking(ledger::ExportFormat format);

  protected:
    // Notes whether a press on the menu's list lands on the selected item.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The right-click menu of `超级列表框1`, built here in one place; further
    // entries go to the same menu.
    void buildRankingMenu();
    void applyButtonLook();
    void enableAndEmptyForm();
    void showNoCustomer();
    bool hasSelection() const;
    // The stored bytes of the selected customer's name.
    std::string selectedName() const;
    // The four boxes as GBK; nullopt (after the warning) when one holds a
    // character GBK cannot hold.
    std::optional<Customer> formTexts() const;
    void refreshEntryCustomers();
    // Reports the end of a modify or delete; unless it failed, resets the
    // form and refills the menu and the entry page's customers.
    void finishChange(ChangeResult result, const char* done, const char* failed);

    ui::CustomersPage& page_;
    settings::Settings settings_;
    EntryPageGetter entryPage_;
    TableFiles files_;
    // The menu's items as stored, so that a name finds its record byte for byte.
    std::vector<std::string> names_;
    // The last press on the menu's list landed on the item already selected.
    bool pressOnSelected_ = false;
    QList<QAction*> exportEntries_;
};

}  // namespace customers
