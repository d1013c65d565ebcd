// The program's side of backups: the backup and restore window, the second
// place kept in the program's own settings file, and the two start-up steps
// (an unfinished restore finished, the day's backup made). Messages go
// through ui::dialogs().
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "backup.h"

class QWidget;

namespace ui {
class BackupWindow;
}

namespace backup {

namespace text {
inline constexpr const char* kBackedUp = "备份成功！";
inline constexpr const char* kNothingToBackUp = "程序旁没有可以备份的数据！";
inline constexpr const char* kBackupFailed = "备份失败：%1";
inline constexpr const char* kSecondFailed = "备份成功，但没有复制到第二备份位置：%1";
inline constexpr const char* kChooseBackup = "请选择要恢复的备份！";
inline constexpr const char* kNotVerified = "该备份没有核对通过，不能恢复！";
// %1 the backup's time, %2 its ledger entries.
inline constexpr const char* kAskRestore =
    "是否恢复 %1 的备份（账单 %2 条）？\r\n恢复前会先备份现在的数据。";
// %1 the tables the backup lacks.
inline constexpr const char* kKeptTables = "\r\n备份中没有%1，这些表保持现在的样子。";
inline constexpr const char* kRestored = "恢复成功！设置类重启后生效。";
inline constexpr const char* kRestoreFailed = "恢复失败：%1\r\n现在的数据没有改变。";
inline constexpr const char* kRestorePending =
    "恢复没有完成：%1\r\n请先不要记账，重新启动程序时会自动完成恢复。";
inline constexpr const char* kSecondPlace = "第二备份位置";
inline constexpr const char* kNotSet = "未设置";
inline constexpr const char* kVerified = "已核对";
inline constexpr const char* kIncomplete = "不完整";
inline constexpr const char* kDailyBackupFailed = "自动备份失败：%1";
inline constexpr const char* kDailySecondFailed = "自动备份没有复制到第二备份位置：%1";
inline constexpr const char* kRecovered = "上次的恢复没有完成，现已完成。";
inline constexpr const char* kRecoveryFailed = "上次的恢复没有完成，也无法继续：%1";
}  // namespace text

// The program's own settings file beside it, "岚禾记账.ini" (INI, UTF-8),
// for what "设置.edb" has no field for.
QString preferencesPath();
// The second place each backup is also copied to; empty for none.
QString secondBackupFolder();
void setSecondBackupFolder(const QString& folder);

// Where the program keeps its tables and backups.
struct BackupPlaces {
    std::string tablesDir;   // "" for the current folder (the program's)
    Clock* clock = nullptr;  // null: the system clock

    std::string root() const;
};

// "2024年3月1日9时30分12秒", "35.2 MB".
QString timeText(const LocalTime& t);
QString sizeText(std::int64_t bytes);

class BackupWindowActions : public QObject {
    Q_OBJECT
  public:
    // Asks for a folder, starting at `current`; empty when cancelled.
    using FolderChooser = std::function<QString(const QString& current)>;

    // Binds the window's buttons and fills its list. `afterRestore` refills
    // the open pages once a restore has put other tables in place.
    BackupWindowActions(ui::BackupWindow& window, BackupPlaces places,
                        std::function<void()> afterRestore, FolderChooser chooseFolder = {});

    void fillBackupList();
    void backUpNow();
    void restoreSelected();
    void chooseSecondPlace();
    void forgetSecondPlace();

    const std::vector<BackupInfo>& backups() const { return backups_; }

  private:
    void showSecondPlace();

    ui::BackupWindow& window_;
    BackupPlaces places_;
    std::function<void()> afterRestore_;
    FolderChooser chooseFolder_;
    std::vector<BackupInfo> backups_;  // as listed, row by row
};

// Shows the window, modal, owned by `owner` (the main bar).
void openBackupWindow(QWidget* owner, std::function<void()> afterRestore, BackupPlaces places = {});

// Start-up, before any table is read: finishes or undoes a restore that
// stopped part-way, telling the operator when one was finished or could not be.
void finishUnfinishedRestore(const BackupPlaces& places = {});

// Start-up, after the login: the day's backup, unless one was made today.
// A failure shows one warning naming the reason; the program carries on.
void backUpOncePerDay(const BackupPlaces& places = {});

}  // namespace backup
