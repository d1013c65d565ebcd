// The program's start-up and what lives for the whole run: the main bar, the
// settings read at start, the hot key, the notification icon and the pages.
#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "backup_window_actions.h"
#include "clock.h"
#include "settings.h"

class QSocketNotifier;

namespace shell::platform {
class Platform;
}
namespace ui {
class MainBar;
}

namespace shell {

class PageManager;

namespace text {
inline constexpr const char* kAlreadyRunning = "检测到有相同程序在运行，请勿重复运行！";
inline constexpr const char* kAlreadyRunningCaption = "友情提醒:";
inline constexpr const char* kHotKeyFailed = "注册热键失败！";
inline constexpr const char* kTrayTip = "岚禾记账";
inline constexpr const char* kLoginTitle = "请输入登录密码";
}  // namespace text

// The text of the fatal run-time error's message box.
QString fatalMessage(std::string_view message);

// Makes the table library's fatal run-time error show its message box and end
// the process with exit code -1. `endProcess` replaces the ending (tests).
void installFatalHandler(std::function<void(int exitCode)> endProcess = {});

struct ShellOptions {
    // The folder the program works in, where its tables lie; empty: the
    // folder of the executable.
    QString programFolder;
    // The clock of the daily backup and of deletions; null: the system's.
    backup::Clock* clock = nullptr;
};

class Shell : public QObject {
    Q_OBJECT
  public:
    explicit Shell(platform::Platform& platform, ShellOptions options = {});
    ~Shell() override;

    // Start-up up to the message loop. Returns the exit code when the program
    // ends here (another copy runs, or the login was cancelled); otherwise
    // the main bar is shown and the caller runs the message loop.
    std::optional<int> start();

    // start(), then the message loop until the main bar is closed.
    int run();

    ui::MainBar& mainBar() { return *bar_; }
    PageManager& pages() { return *pages_; }
    const settings::Settings& settings() const { return settings_; }
    int hotKeyId() const { return hotKeyId_; }
    const QString& programFileName() const { return programFileName_; }
    // nullptr where the desktop has no notification area.
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

    // The hot-key label's handler: the press of the registered id toggles the main bar.
    void hotKeyNotified(int id);
    // Whether the operator sees the main bar: shown, neither hidden nor
    // minimised. Every toggle and show goes by this one answer.
    bool mainBarShown() const;
    // Hot key: hides a shown main bar, brings back a hidden or minimised one.
    void toggleMainBar();
    // "隐藏": hides the main bar and its pages; minimises the bar instead where
    // no notification icon could bring it back but a window manager can.
    void hideMainBar();
    // Notification icon double-click and hot key: the main bar without any
    // page, normal, in front and active; nothing when it is shown already.
    void showMainBar();
    // "关闭".
    void closeMainBar();
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    // After a restore or a "还原": every open page shows the tables anew, as
    // if it had just been opened (the settings read at start stay).
    void refreshPages();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createMainBar();
    void registerHotKey();
    void moveMainBarToTop();
    bool login();
    void addTrayIcon();
    void removeTrayIcon();
    void readHotKeyEvents();
    backup::BackupPlaces backupPlaces() const;
    void dropOldDeleted();
    void openRecycleWindow();

    platform::Platform& platform_;
    ShellOptions options_;
    QString programFileName_;
    settings::Settings settings_;
    int hotKeyId_ = 0;
    std::unique_ptr<ui::MainBar> bar_;
    std::unique_ptr<PageManager> pages_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QSocketNotifier> hotKeyNotifier_;
    class NativeHotKeyFilter;
    std::unique_ptr<NativeHotKeyFilter> nativeFilter_;
    class UntitledWindows;
    std::unique_ptr<UntitledWindows> untitled_;
};

}  // namespace shell
