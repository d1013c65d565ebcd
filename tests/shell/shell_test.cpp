// Start-up in its order, the login loop, the hot key, "隐藏", "关闭", the
// calculator and the fatal run-time error, with the scripted platform and
// dialogs (offscreen).
#include "shell.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <stdexcept>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "backup.h"
#include "customers_page.h"
#include "edit_box.h"
#include "entry_page.h"
#include "fake_platform.h"
#include "image_button.h"
#include "main_bar.h"
#include "pages.h"
#include "query_page.h"
#include "recycle_bin.h"
#include "recycle_window.h"
#include "report_list.h"
#include "rollup_menu.h"
#include "scripted_dialogs.h"
#include "settings_table.h"
#include "table_error.h"
#include "toolbar.h"

using shell::platform::FakePlatform;
using ui::MessageIcon;
using ui::RecordedMessage;

namespace {

RecordedMessage msg(const char* text, MessageIcon icon, const char* caption = "信息：") {
    return {QString::fromUtf8(text), icon, QString::fromUtf8(caption)};
}

const RecordedMessage kWrong = msg("输入密码有误，请重新输入！", MessageIcon::Error);

class ShellTest : public ::testing::Test {
  protected:
    ShellTest() : previousFolder_(QDir::currentPath()) {}
    ~ShellTest() override { QDir::setCurrent(previousFolder_); }

    QString folder() const { return QString::fromStdString(folder_.path().string()); }
    void writeSettings(const settings::Settings& s) {
        testing_tables::writeSettingsTable(folder_.file("设置.edb"), s);
    }
    shell::Shell& makeShell(backup::Clock* clock = nullptr) {
        shell_ = std::make_unique<shell::Shell>(platform_, shell::ShellOptions{folder(), clock});
        return *shell_;
    }

    QString previousFolder_;
    testing_tables::TempFolder folder_;
    ui::ScriptedDialogs dialogs_;
    FakePlatform platform_;
    std::unique_ptr<shell::Shell> shell_;
};

}  // namespace

TEST_F(ShellTest, NormalStartWithoutSettingsTable) {
    auto& s = makeShell();
    EXPECT_EQ(s.start(), std::nullopt);
    EXPECT_EQ(QDir::currentPath(), QDir(folder()).canonicalPath());
    EXPECT_TRUE(dialogs_.passwordTitles().isEmpty());
    EXPECT_TRUE(dialogs_.messages().isEmpty());
    EXPECT_EQ(s.settings(), settings::Settings{});
    EXPECT_EQ(s.hotKeyId(), 33001);
    EXPECT_TRUE(s.mainBar().isVisible());
    const QRect screen = s.mainBar().screen()->geometry();
    EXPECT_EQ(s.mainBar().frameGeometry().top(), screen.top() + 2);
    EXPECT_EQ(s.mainBar().size(), QSize(700, 75));
    EXPECT_EQ(s.programFileName(), QStringLiteral("lanhe"));
    // The single-instance check comes before the hot key.
    ASSERT_GE(platform_.calls.size(), 2u);
    EXPECT_EQ(platform_.calls[0], "claimInstanceMarker lanhere");
    EXPECT_EQ(platform_.calls[1].rfind("registerHotKey", 0), 0u);
}

TEST_F(ShellTest, WithoutSettingsNoPromptAnywhereAndRecordingStaysDisabled) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    for (int i = 0; i < shell::kPageCount; ++i)
        EXPECT_NE(s.pages().openPage(static_cast<shell::PageId>(i)), nullptr) << i;
    EXPECT_FALSE(s.pages().entryPage()->按钮记账->isEnabled());
    EXPECT_TRUE(dialogs_.passwordTitles().isEmpty());
}

TEST_F(ShellTest, SettingsReadAtStartGateThePages) {
    settings::Settings stored;
    stored.password = "9";
    stored.allowEntry = true;
    stored.askQueryPassword = true;
    writeSettings(stored);
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    EXPECT_EQ(s.settings(), stored);
    s.pages().openPage(shell::PageId::Entry);
    EXPECT_TRUE(s.pages().entryPage()->按钮记账->isEnabled());
    dialogs_.answerPassword("9");
    EXPECT_NE(s.pages().openPage(shell::PageId::Query), nullptr);
    EXPECT_EQ(dialogs_.passwordTitles(), QStringList{"请输入查询密码"});
}

TEST_F(ShellTest, TheQueryListsMenuHoldsExportFiguresAndWhatWasDeleted) {
    writeSettings({});
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    ASSERT_NE(s.pages().openPage(shell::PageId::Query), nullptr);
    QMenu* menu = s.pages().queryPage()->超级列表框统计->contextMenu();
    QStringList captions;
    QAction* recent = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        captions << a->text();
        if (a->text() == QStringLiteral("最近删除…")) recent = a;
    }
    EXPECT_TRUE(captions.contains(QStringLiteral("导出CSV…"))) << captions.join(' ').toStdString();
    EXPECT_TRUE(captions.contains(QStringLiteral("经营统计…")));
    ASSERT_NE(recent, nullptr);
    // The entry opens the recently deleted window (modal); it is closed again.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* w = qobject_cast<ui::RecycleWindow*>(QApplication::activeModalWidget())) {
            opened = true;
            w->reject();
        }
    });
    recent->trigger();
    EXPECT_TRUE(opened);
}

TEST_F(ShellTest, AnotherCopyRuns) {
    platform_.anotherCopyRuns = true;
    platform_.processes = {{1, "lanhe"}, {42, "LANHE"}};
    platform_.windows = {{7, 42, true, true, false, false}};
    settings::Settings stored;
    stored.askLoginPassword = true;
    writeSettings(stored);
    auto& s = makeShell();
    EXPECT_EQ(s.start(), 0);
    EXPECT_EQ(dialogs_.messages(), (QList{msg("检测到有相同程序在运行，请勿重复运行！",
                                              MessageIcon::Information, "友情提醒:")}));
    // The running copy's minimised window is restored and activated ...
    EXPECT_EQ(platform_.activeWindow, 7u);
    EXPECT_FALSE(platform_.windows[0].iconic);
    // ... and nothing else of start-up runs here.
    for (const std::string& call : platform_.calls)
        EXPECT_EQ(call.rfind("registerHotKey", 0), std::string::npos);
    EXPECT_TRUE(dialogs_.passwordTitles().isEmpty());
    EXPECT_FALSE(s.mainBar().isVisible());
    EXPECT_EQ(s.trayIcon(), nullptr);
    EXPECT_EQ(s.settings(), settings::Settings{});
}

TEST_F(ShellTest, HotKeyTaken) {
    platform_.hotKeyTaken = true;
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    EXPECT_EQ(dialogs_.messages(), (QList{msg("注册热键失败！", MessageIcon::Warning)}));
    EXPECT_EQ(s.hotKeyId(), 0);
    s.hotKeyNotified(33001);
    EXPECT_TRUE(s.mainBar().isVisible());
}

TEST_F(ShellTest, LoginTwoWrongThenRight) {
    settings::Settings stored;
    stored.password = "pw";
    stored.askLoginPassword = true;
    writeSettings(stored);
    dialogs_.answerPassword("PW");
    dialogs_.answerPassword("");
    dialogs_.answerPassword("pw");
    auto& s = makeShell();
    EXPECT_EQ(s.start(), std::nullopt);
    EXPECT_EQ(dialogs_.passwordTitles(), QStringList(3, QStringLiteral("请输入登录密码")));
    EXPECT_EQ(dialogs_.messages(), (QList{kWrong, kWrong}));
    EXPECT_TRUE(s.mainBar().isVisible());
}

TEST_F(ShellTest, LoginWithEmptyPasswordStillAsks) {
    settings::Settings stored;
    stored.askLoginPassword = true;
    writeSettings(stored);
    dialogs_.answerPassword("");
    auto& s = makeShell();
    EXPECT_EQ(s.start(), std::nullopt);
    EXPECT_EQ(dialogs_.passwordTitles(), QStringList{"请输入登录密码"});
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(ShellTest, LoginCancelledEndsWithExitCodeZero) {
    settings::Settings stored;
    stored.password = "pw";
    stored.askLoginPassword = true;
    writeSettings(stored);
    dialogs_.answerPassword("x");
    dialogs_.cancelPassword();
    auto& s = makeShell();
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(dialogs_.messages(), (QList{kWrong}));
    EXPECT_FALSE(s.mainBar().isVisible());
    EXPECT_EQ(s.trayIcon(), nullptr);
    // No backup for whoever could not log in.
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "备份"));
}

TEST_F(ShellTest, TheDaysBackupFollowsTheLoginOncePerDay) {
    settings::Settings stored;
    stored.askLoginPassword = true;
    writeSettings(stored);
    backup::FixedClock clock({2024, 3, 1, 8, 0, 0});
    const std::string root = folder_.file("备份");
    for (const backup::LocalTime t :
         {backup::LocalTime{2024, 3, 1, 8, 0, 0}, backup::LocalTime{2024, 3, 1, 17, 0, 0},
          backup::LocalTime{2024, 3, 2, 8, 0, 0}}) {
        clock.set(t);
        dialogs_.answerPassword("");
        ASSERT_EQ(makeShell(&clock).start(), std::nullopt);
        shell_.reset();
    }
    const auto listed = backup::listBackups(root);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "20240302-080000");
    EXPECT_EQ(listed[1].name, "20240301-080000");
    EXPECT_TRUE(listed[1].verified);
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(ShellTest, StartUpDropsWhatWasDeletedMoreThanNinetyDaysAgo) {
    writeSettings({});
    backup::FixedClock clock({2024, 6, 1, 8, 0, 0});
    const double now = backup::toDateTime(clock.now());
    const std::string bin = folder_.file("回收站.edb");
    for (double age : {91.0, 10.0}) {
        const tables::TableValue name = tables::TableValue::text(std::to_string(int(age)));
        std::int32_t id = 0;
        ASSERT_EQ(recycle::putInBin(bin, recycle::Source::Customers, std::span(&name, 1), {},
                                    now - age, id),
                  recycle::BinResult::Ok);
    }
    ASSERT_EQ(makeShell(&clock).start(), std::nullopt);
    const auto kept = recycle::readBin(bin);
    ASSERT_TRUE(kept.has_value());
    ASSERT_EQ(kept->size(), 1u);
    EXPECT_EQ(kept->at(0).values[0].asText(), "10");
}

TEST_F(ShellTest, RefreshShowsTheTablesAnewOnTheOpenPages) {
    const std::string customers = folder_.file("客户.EDB");
    ASSERT_EQ(tables::createTable(customers, tables::kAccessPassword,
                                  schema::descriptors(schema::customers::kTable)),
              0);
    const auto add = [&](const char* name) {
        tables::TableFile t;
        ASSERT_TRUE(t.open(customers, tables::kAccessPassword));
        ASSERT_TRUE(t.append({tables::TableValue::text(name)}));
    };
    add("a");
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    ASSERT_NE(s.pages().openPage(shell::PageId::Customers), nullptr);
    ui::RollUpMenu* menu = s.pages().customersPage()->卷帘式菜单客户;
    EXPECT_EQ(menu->itemCount(0), 1);
    add("b");  // a restore or a "还原" put another table in place
    s.refreshPages();
    EXPECT_EQ(menu->itemCount(0), 2);
}

TEST_F(ShellTest, HotKeyTogglesTheBarAndItsPages) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    s.mainBar().工具条1->buttonAt(7)->click();
    QWidget* page = s.pages().page(shell::PageId::Settings);
    ASSERT_TRUE(page && page->isVisible());
    s.hotKeyNotified(33001);
    EXPECT_FALSE(s.mainBar().isVisible());
    EXPECT_FALSE(page->isVisible());
    s.hotKeyNotified(33001);
    EXPECT_TRUE(s.mainBar().isVisible());
    EXPECT_FALSE(page->isVisible()) << "showing the bar shows no page";
    // Another id is not ours.
    s.hotKeyNotified(33002);
    s.hotKeyNotified(0);
    EXPECT_TRUE(s.mainBar().isVisible());
}

#ifndef _WIN32
TEST_F(ShellTest, HotKeyPressesArriveThroughTheDescriptor) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    platform_.eventFd = fds[0];
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    platform_.pressHotKey();
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.mainBar().isVisible());
    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    platform_.pressHotKey();
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(s.mainBar().isVisible());
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    shell_.reset();
    ::close(fds[0]);
    ::close(fds[1]);
}
#endif

TEST_F(ShellTest, HideWithoutNotificationAreaMinimises) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    ASSERT_EQ(s.trayIcon(), nullptr) << "the offscreen desktop has no notification area";
    s.mainBar().工具条1->buttonAt(1)->click();
    s.mainBar().按钮1->click();
    // The window manager is asked, as by its own minimise button ...
    EXPECT_EQ(platform_.calls.back(), "minimizeWindow " + std::to_string(s.mainBar().winId()));
    EXPECT_FALSE(s.pages().page(shell::PageId::Entry)->isVisible());
    // ... and reports back.
    s.mainBar().setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(s.mainBarShown());
    // Every press of the hot key then turns what the operator sees: a
    // minimised bar comes back normal, and only the bar.
    s.hotKeyNotified(33001);
    EXPECT_TRUE(s.mainBarShown());
    EXPECT_FALSE(s.mainBar().isMinimized());
    EXPECT_FALSE(s.pages().page(shell::PageId::Entry)->isVisible());
    s.hotKeyNotified(33001);
    EXPECT_FALSE(s.mainBar().isVisible());
    s.hotKeyNotified(33001);
    EXPECT_TRUE(s.mainBarShown());
}

TEST_F(ShellTest, HideWithoutAnyWindowManagerHidesTheBar) {
    // Nothing could minimise it; the hot key brings it back.
    platform_.windowManagerRuns = false;
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    s.mainBar().工具条1->buttonAt(1)->click();
    s.mainBar().按钮1->click();
    EXPECT_FALSE(s.mainBar().isVisible());
    EXPECT_FALSE(s.pages().page(shell::PageId::Entry)->isVisible());
    for (const std::string& call : platform_.calls)
        EXPECT_EQ(call.find("minimizeWindow"), std::string::npos);
    s.hotKeyNotified(33001);
    EXPECT_TRUE(s.mainBarShown());
    s.hotKeyNotified(33001);
    EXPECT_FALSE(s.mainBar().isVisible());
}

// The number of connections to a signal (QObject keeps the count protected).
struct Receivers : QObject {
    static int of(const QObject* object, const char* signal) {
        return (object->*(&Receivers::receivers))(signal);
    }
};

TEST_F(ShellTest, EveryPageIsUntitledOwnedByTheBarAndCollapsedByOneBinding) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    const auto titleCleared = [&](const QWidget* w) {
        const std::string call = "clearWindowTitle " + std::to_string(w->winId());
        return std::find(platform_.calls.begin(), platform_.calls.end(), call) !=
               platform_.calls.end();
    };
    for (int position : {1, 3, 5, 7}) {
        SCOPED_TRACE(position);
        s.mainBar().工具条1->buttonAt(position)->click();
        QWidget* page = s.pages().page(*shell::pageAtToolbarPosition(position));
        ASSERT_TRUE(page && page->isVisible());
        EXPECT_TRUE(page->windowTitle().isEmpty());
        EXPECT_TRUE(page->isWindow());
        EXPECT_EQ(page->parentWidget(), &s.mainBar());
        EXPECT_TRUE(titleCleared(page));
        auto* collapse = page->findChild<QPushButton*>(QStringLiteral("按钮2"));
        ASSERT_NE(collapse, nullptr);
        EXPECT_EQ(Receivers::of(collapse, SIGNAL(clicked(bool))), 1);
        collapse->click();
        EXPECT_FALSE(page->isVisible());
    }
    EXPECT_FALSE(titleCleared(&s.mainBar())) << "the main bar keeps its title";

    // The item composer, modal over the entry page, is untitled too.
    s.mainBar().工具条1->buttonAt(1)->click();
    bool composerSeen = false;
    QTimer::singleShot(0, [&] {
        QWidget* composer = QApplication::activeModalWidget();
        ASSERT_NE(composer, nullptr);
        composerSeen = true;
        EXPECT_TRUE(composer->windowTitle().isEmpty());
        EXPECT_EQ(composer->parentWidget(), s.pages().entryPage());
        EXPECT_TRUE(titleCleared(composer));
        composer->close();
    });
    emit s.pages().entryPage()->编辑框备注->doubleClicked();
    EXPECT_TRUE(composerSeen);
}

TEST_F(ShellTest, EnterActsOnlyWhereItIsMeantTo) {
    settings::Settings allowed;
    allowed.allowEntry = allowed.allowEntryDate = allowed.allowEntryEdit = true;
    allowed.allowKeywordSearch = allowed.allowDateSearch = allowed.allowCombinedSearch = true;
    allowed.allowCustomerAdd = allowed.allowCustomerEdit = allowed.allowCustomerDelete = true;
    writeSettings(allowed);
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    for (int position : {1, 3, 5, 7}) {
        s.mainBar().工具条1->buttonAt(position)->click();
        QWidget* page = s.pages().page(*shell::pageAtToolbarPosition(position));
        ASSERT_NE(page, nullptr);
        for (QWidget* control : page->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || !(control->focusPolicy() & Qt::TabFocus) ||
                !control->isEnabled() || !control->isVisible())
                continue;
            SCOPED_TRACE(control->objectName().toStdString());
            dialogs_.clearRecords();
            bool modal = false;
            // A dialog opened by the key would run its own loop: note it and close it.
            QTimer::singleShot(0, [&] {
                if (QWidget* w = QApplication::activeModalWidget()) {
                    modal = true;
                    w->close();
                }
            });
            control->setFocus();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier,
                              QStringLiteral("\r"));
            QApplication::sendEvent(control, &press);
            QApplication::sendEvent(control, &release);
            QCoreApplication::processEvents();
            EXPECT_FALSE(modal);
            EXPECT_TRUE(page->isVisible());
            if (control->objectName() == QStringLiteral("编辑框搜索")) {
                // The keyword query runs, and asks for a keyword.
                EXPECT_EQ(dialogs_.messages(), (QList{msg("请输入关键字！", MessageIcon::Error)}));
            } else {
                EXPECT_TRUE(dialogs_.messages().isEmpty());
            }
        }
    }
}

TEST_F(ShellTest, TrayDoubleClickShowsTheBar) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    s.mainBar().hide();
    s.trayActivated(QSystemTrayIcon::Trigger);
    s.trayActivated(QSystemTrayIcon::Context);
    EXPECT_FALSE(s.mainBar().isVisible());
    s.trayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(s.mainBar().isVisible());
    s.trayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(s.mainBar().isVisible());
}

TEST_F(ShellTest, CalculatorButton) {
    platform_.calculatorAvailable = false;
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    s.mainBar().超级按钮1->click();
    EXPECT_EQ(platform_.calls.back(), "startCalculator");
    EXPECT_TRUE(dialogs_.messages().isEmpty()) << "no calculator: nothing shown";
}

TEST_F(ShellTest, CloseEndsTheMessageLoop) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    QTimer::singleShot(0, s.mainBar().结束按钮, &QPushButton::click);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(s.mainBar().isVisible());
}

TEST_F(ShellTest, HidingTheBarDoesNotEndTheRun) {
    auto& s = makeShell();
    ASSERT_EQ(s.start(), std::nullopt);
    bool stillRunning = false;
    QTimer::singleShot(0, &s.mainBar(), [&] { s.hotKeyNotified(33001); });
    QTimer::singleShot(0, &s.mainBar(), [&] { dialogs_.message("x", MessageIcon::Information); });
    QTimer::singleShot(20, &s.mainBar(), [&] {
        stillRunning = true;
        s.closeMainBar();
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(stillRunning);
}

// ---- the fatal run-time error

TEST(FatalError, MessageText) {
    EXPECT_EQ(shell::fatalMessage("指定字段不存在"),
              QStringLiteral("运行时出错!\n\n错误信息：指定字段不存在\n"));
}

TEST(FatalError, ShowsTheMessageAndEndsWithMinusOne) {
    ui::ScriptedDialogs dialogs;
    struct Ended {
        int code;
    };
    shell::installFatalHandler([](int code) { throw Ended{code}; });
    try {
        tables::fatalError(tables::kFatalKindMismatch);
        FAIL() << "the handler did not end the run";
    } catch (const Ended& e) {
        EXPECT_EQ(e.code, -1);
    }
    EXPECT_EQ(dialogs.messages(),
              (QList{msg("运行时出错!\n\n错误信息：数据或数组类型不匹配\n", MessageIcon::Error)}));
    tables::setFatalHandler({});
}

TEST(FatalErrorDeathTest, ProcessExitCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ui::ScriptedDialogs dialogs;
            shell::installFatalHandler();
            tables::fatalError(tables::kFatalNoSuchField);
        },
        [](int status) {
            return ::testing::ExitedWithCode(255)(status) || ::testing::ExitedWithCode(-1)(status);
        },
        "");
}
