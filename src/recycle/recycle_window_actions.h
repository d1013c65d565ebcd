// The recently deleted window ("最近删除"): lists what the recycle bin holds
// and puts the chosen entry back into its table ("还原"). Messages go through
// ui::dialogs().
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "recycle_bin.h"

class QWidget;

namespace ui {
class RecycleWindow;
}

namespace recycle {

namespace text {
inline constexpr const char* kChooseEntry = "请选择要还原的项目！";
inline constexpr const char* kPutBack = "还原成功！";
inline constexpr const char* kBinNotRead = "回收站没有读取成功！";
inline constexpr const char* kLedgerNotRead = "记账数据库没有读取成功！";
inline constexpr const char* kCustomersNotRead = "客户数据库没有读取成功！";
inline constexpr const char* kNotPutBack = "还原出错！";
inline constexpr const char* kNotTakenOut = "已还原，但没能从回收站中移除，请不要再次还原！";
inline constexpr const char* kGone = "该项目已不在回收站中！";
inline constexpr const char* kAlreadyThere = "客户列表中已有该客户，没有还原！";
inline constexpr const char* kFromLedger = "记账";
inline constexpr const char* kFromCustomers = "客户";
}  // namespace text

// The files the window works on; the program uses the defaults (its folder).
struct RecycleFiles {
    std::string bin = std::string(kBinFile);
    std::string ledger = std::string(schema::ledger::kTable.fileName);
    std::string customers = std::string(schema::customers::kTable.fileName);
};

// What the list shows of an entry: a ledger entry as
// "2024年3月1日  王小明  相框  48  已结  7寸 实木", a customer as its name,
// phone, address and remark.
QString contentText(const Deleted& entry);

class RecycleWindowActions : public QObject {
    Q_OBJECT
  public:
    // Binds the window's buttons and fills its list. `afterPutBack` refills
    // the open pages once an entry is back in its table.
    RecycleWindowActions(ui::RecycleWindow& window, std::function<void()> afterPutBack,
                         RecycleFiles files = {});

    void fillList();
    void putBackSelected();

    const std::vector<Deleted>& entries() const { return entries_; }

  private:
    ui::RecycleWindow& window_;
    std::function<void()> afterPutBack_;
    RecycleFiles files_;
    std::vector<Deleted> entries_;  // as listed, row by row
};

// Shows the window, modal, owned by `owner` (the main bar).
void openRecycleWindow(QWidget* owner, std::function<void()> afterPutBack);

}  // namespace recycle
