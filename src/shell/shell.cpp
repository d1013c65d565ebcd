#include "shell.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "composer_dialog_actions.h"
#include "customers_page.h"
#include "customers_page_actions.h"
#include "dialogs.h"
#include "entry_page.h"
#include "entry_page_actions.h"
#include "image_button.h"
#include "images.h"
#include "main_bar.h"
#include "pages.h"
#include "password_gate.h"
#include "platform.h"
#include "project_list.h"
#include "query_page.h"
#include "query_page_actions.h"
#include "recycle_bin.h"
#include "recycle_window_actions.h"
#include "report_list.h"
#include "settings_page.h"
#include "settings_page_actions.h"
#include "table_error.h"

namespace shell {

QString fatalMessage(std::string_view message) {
    return QStringLiteral("运行时出错!\n\n错误信息：") +
           QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())) +
           QStringLiteral("\n");
}

void installFatalHandler(std::function<void(int)> endProcess) {
    tables::setFatalHandler([endProcess = std::move(endProcess)](std::string_view message) {
        ui::dialogs().message(fatalMessage(message), ui::MessageIcon::Error);
        if (endProcess) {
            endProcess(-1);
            return;
        }
        std::fflush(nullptr);
        // Nothing of the run can be trusted any more: no clean-up.
        std::_Exit(-1);
    });
}

// Windows delivers the hot key as a window message to the main bar.
class Shell::NativeHotKeyFilter : public QAbstractNativeEventFilter {
  public:
    explicit NativeHotKeyFilter(Shell& shell) : shell_(shell) {}
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const int id = shell_.platform_.hotKeyIdFromNativeMessage(message);
        if (id == 0) return false;
        shell_.hotKeyNotified(id);
        return true;
    }

  private:
    Shell& shell_;
};

// The pages and the item composer have no title. Qt names a window without
// one after the program, and window lists and the bring-forward of a second
// start would show that name: take it away again each time such a window is
// about to appear (its native window exists by then and is not yet mapped).
class Shell::UntitledWindows : public QObject {
  public:
    explicit UntitledWindows(platform::Platform& platform) : platform_(platform) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* window = static_cast<QWidget*>(watched);
        const Qt::WindowType type = window->windowType();
        if (window->isWindow() && (type == Qt::Window || type == Qt::Dialog) &&
            window->windowTitle().isEmpty()) {
            platform_.clearWindowTitle(static_cast<platform::WindowHandle>(window->winId()));
        }
        return false;
    }

  private:
    platform::Platform& platform_;
};

Shell::Shell(platform::Platform& platform, ShellOptions options)
    : platform_(platform), options_(std::move(options)) {}

Shell::~Shell() {
    if (nativeFilter_) qApp->removeNativeEventFilter(nativeFilter_.get());
    if (untitled_) qApp->removeEventFilter(untitled_.get());
    if (bar_) bar_->removeEventFilter(this);
}

std::optional<int> Shell::start() {
    // 1. Work in the program's folder, where its tables lie.
    const QString folder = options_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                            : options_.programFolder;
    QDir::setCurrent(folder);
    programFileName_ = QString::fromStdString(platform_.currentExecutableName());
    if (programFileName_.isEmpty())
        programFileName_ = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    // 2. The process-wide state starts empty.
    settings_ = settings::Settings{};
    hotKeyId_ = 0;

    // 3. The main bar; it is shown once start-up is through.
    createMainBar();

    // 4. One copy per logon.
    const auto check =
        platform::ensureSingleInstance(platform_, programFileName_.toStdString(), [] {
            ui::dialogs().message(QString::fromUtf8(text::kAlreadyRunning),
                                  ui::MessageIcon::Information,
                                  QString::fromUtf8(text::kAlreadyRunningCaption));
        });
    if (check == platform::InstanceCheck::anotherCopyRuns) return 0;

    // A restore that stopped part-way is finished before any table is read.
    backup::finishUnfinishedRestore(backupPlaces());

    // 5. to 7.
    registerHotKey();
    moveMainBarToTop();
    settings_ = settings::readSettings();

    // 8. A cancelled login closes the main bar, which ends the program.
    if (settings_.askLoginPassword && !login()) {
        bar_->close();
        return 0;
    }

    // The day's backup, then the recycle bin's old entries go.
    backup::backUpOncePerDay(backupPlaces());
    dropOldDeleted();

    // 9.
    addTrayIcon();
    bar_->show();
    return std::nullopt;
}

int Shell::run() {
    if (const auto ended = start()) return *ended;
    QApplication::exec();
    return 0;
}

void Shell::createMainBar() {
    // The main bar's close ends the run; hiding windows or closing message
    // boxes while the bar is hidden must not.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    untitled_ = std::make_unique<UntitledWindows>(platform_);
    qApp->installEventFilter(untitled_.get());

    bar_ = std::make_unique<ui::MainBar>();
    bar_->installEventFilter(this);
    pages_ = std::make_unique<PageManager>(*bar_, settings_);

    PageLoaders loaders;
    loaders.entry = [](ui::EntryPage& page) {
        // The page owns its operations, bound once; then the day list.
        (new ledger::EntryPageActions(page))->refreshEntryList();
        composer::bindEntryPage(page);
        customers::fillEntryCustomers(page);
        projects::fillEntryProjects(page);
    };
    loaders.query = [this](ui::QueryPage& page) {
        new ledger::QueryPageActions(page);
        // The list's right-click menu (export, business figures) also offers
        // what was deleted recently.
        QMenu* menu = page.超级列表框统计->contextMenu();
        connect(menu->addAction(QStringLiteral("最近删除…")), &QAction::triggered, &page,
                [this] { openRecycleWindow(); });
    };
    loaders.customers = [this](ui::CustomersPage& page) {
        // Owned by the page; every change refills the entry page's box while it exists.
        auto* actions = new customers::CustomersPageActions(page, settings_,
                                                            [this] { return pages_->entryPage(); });
        actions->fillCustomerMenu();
        actions->buildSpendingRanking();
        connect(page.按钮最近删除, &QAbstractButton::clicked, &page,
                [this] { openRecycleWindow(); });
    };
    loaders.settings = [this](ui::SettingsPage& page) {
        settings::bindSettingsPage(page);
        connect(page.按钮备份恢复, &QAbstractButton::clicked, &page, [this] {
            backup::openBackupWindow(
                bar_.get(), [this] { refreshPages(); }, backupPlaces());
        });
        connect(page.按钮1, &QAbstractButton::clicked, &page,
                [this, &page] { projects::addProject(page, pages_->entryPage()); });
        connect(page.按钮3, &QAbstractButton::clicked, &page,
                [this, &page] { projects::deleteProject(page, pages_->entryPage()); });
        settings::fillSettingsPage(page, settings_);
        projects::fillProjectList(page);
    };
    pages_->setLoaders(std::move(loaders));

    connect(bar_->按钮1, &QAbstractButton::clicked, this, &Shell::hideMainBar);
    connect(bar_->结束按钮, &QAbstractButton::clicked, this, &Shell::closeMainBar);
    connect(bar_->超级按钮1, &QAbstractButton::clicked, this,
            [this] { platform_.startCalculator(); });
}

backup::BackupPlaces Shell::backupPlaces() const {
    // The tables lie in the working folder, the program's.
    return {std::string(), options_.clock};
}

void Shell::dropOldDeleted() {
    backup::Clock& clock = options_.clock ? *options_.clock : backup::systemClock();
    int dropped = 0;
    // Whatever stays is dropped at a later start.
    (void)recycle::dropDeletedBefore(recycle::kBinFile,
                                     backup::toDateTime(clock.now()) - recycle::kKeepDays, dropped);
}

void Shell::openRecycleWindow() {
    recycle::openRecycleWindow(bar_.get(), [this] { refreshPages(); });
}

void Shell::refreshPages() {
    if (ui::EntryPage* entry = pages_->entryPage()) {
        if (auto* actions = entry->findChild<ledger::EntryPageActions*>())
            actions->refreshEntryList();
        customers::fillEntryCustomers(*entry);
        projects::fillEntryProjects(*entry);
    }
    if (ui::QueryPage* query = pages_->queryPage()) {
        // Rows from before would name records by numbers that mean others now.
        if (auto* actions = query->findChild<ledger::QueryPageActions*>())
            actions->refillIfFilled();
    }
    if (ui::CustomersPage* page = pages_->customersPage()) {
        if (auto* actions = page->findChild<customers::CustomersPageActions*>()) {
            actions->fillCustomerMenu();
            actions->resetCustomerForm();
            actions->buildSpendingRanking();
        }
    }
    if (ui::SettingsPage* page = pages_->settingsPage()) projects::fillProjectList(*page);
}

void Shell::registerHotKey() {
    hotKeyId_ = platform_.registerHotKey(static_cast<platform::WindowHandle>(bar_->winId()));
    if (hotKeyId_ == 0) {
        ui::dialogs().message(QString::fromUtf8(text::kHotKeyFailed), ui::MessageIcon::Warning);
        return;
    }
    const int fd = platform_.eventFileDescriptor();
    if (fd >= 0) {
        hotKeyNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(hotKeyNotifier_.get(), &QSocketNotifier::activated, this, &Shell::readHotKeyEvents);
        // Events read during registration do not make the descriptor readable again.
        readHotKeyEvents();
    }
#ifdef _WIN32
    nativeFilter_ = std::make_unique<NativeHotKeyFilter>(*this);
    qApp->installNativeEventFilter(nativeFilter_.get());
#endif
}

void Shell::readHotKeyEvents() {
    const int presses = platform_.processPendingEvents();
    for (int i = 0; i < presses; ++i) hotKeyNotified(platform::kFirstHotKeyId);
}

void Shell::moveMainBarToTop() {
    const QScreen* screen = bar_->screen() ? bar_->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    // The created position across the screen: centred.
    const int left = area.left() + (area.width() - bar_->frameGeometry().width()) / 2;
    bar_->move(left, area.top() + 2);
}

bool Shell::login() { return askUntilAccepted(settings_, QString::fromUtf8(text::kLoginTitle)); }

void Shell::addTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = std::make_unique<QSystemTrayIcon>(ui::programIcon());
    tray_->setToolTip(QString::fromUtf8(text::kTrayTip));
    connect(tray_.get(), &QSystemTrayIcon::activated, this, &Shell::trayActivated);
    tray_->show();
}

void Shell::removeTrayIcon() {
    if (tray_) tray_->hide();
}

void Shell::hotKeyNotified(int id) {
    if (id != 0 && id == hotKeyId_) toggleMainBar();
}

bool Shell::mainBarShown() const {
    // Qt follows the window system here: a bar minimised or restored by the
    // window manager, by a second start or by the task list is reported to
    // it, so this is what the operator sees.
    return bar_->isVisible() && !bar_->isMinimized();
}

void Shell::toggleMainBar() {
    if (mainBarShown())
        bar_->hide();
    else
        showMainBar();
}

void Shell::hideMainBar() {
    pages_->hidePages();
    // Hidden without a notification icon the bar could only come back by the
    // hot key, which the operator may not know: where a window manager can
    // minimise it, minimise it instead. The manager is asked directly; Qt's
    // own minimising would leave the bar marked to appear minimised the next
    // time it is shown, even after something else has restored it.
    const bool trayIcon = tray_ && tray_->isVisible();
    if (!trayIcon && platform_.canMinimizeWindows()) {
        platform_.minimizeWindow(static_cast<platform::WindowHandle>(bar_->winId()));
        return;
    }
    bar_->hide();
}

void Shell::showMainBar() {
    if (mainBarShown()) return;
    // Always normal, in front and active, however it was left.
    bar_->showNormal();
    bar_->raise();
    bar_->activateWindow();
}

void Shell::closeMainBar() { bar_->close(); }

void Shell::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) showMainBar();
}

bool Shell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bar_.get()) {
        switch (event->type()) {
            case QEvent::WindowStateChange:
                // Minimised by any means: the pages go as when the bar is hidden.
                if (bar_->isMinimized()) pages_->hidePages();
                break;
            case QEvent::Close:
                removeTrayIcon();
                QCoreApplication::quit();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace shell
