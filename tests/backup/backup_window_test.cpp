// The backup and restore window and the start-up steps, driven through the
// controls with the scripted dialogs (offscreen).
#include "backup_window.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

#include "backup_fixture.h"
#include "backup_window_actions.h"
#include "file_ops.h"
#include "report_list.h"
#include "restore.h"
#include "scripted_dialogs.h"

namespace backup::testing {
namespace {

using ui::MessageIcon;
using ui::RecordedMessage;

RecordedMessage msg(const QString& text, MessageIcon icon) {
    return {text, icon, QStringLiteral("信息：")};
}
QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// The program works in its own folder: the preferences file lies there.
class BackupWindowTest : public BackupTest {
  protected:
    void SetUp() override {
        BackupTest::SetUp();
        previous_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_));
        makeTables();
        addEntry(35);
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent(previous_);
        BackupTest::TearDown();
    }
    BackupPlaces places() { return {dir_, &clock_}; }
    std::string root() const { return at("备份"); }
    BackupOutcome backUp() { return makeBackup({dir_, root(), {}, &clock_, kKeepBackups}); }
    BackupWindowActions& open() {
        window_ = std::make_unique<ui::BackupWindow>();
        actions_ = new BackupWindowActions(
            *window_, places(), [this] { ++refills_; },
            [this](const QString&) { return chosenFolder_; });
        return *actions_;
    }
    ui::ReportList* list() { return window_->超级列表框备份; }
    QStringList row(int r) { return list()->rowTexts(r).mid(1); }

    QString previous_;
    ui::ScriptedDialogs dialogs_;
    std::unique_ptr<ui::BackupWindow> window_;
    BackupWindowActions* actions_ = nullptr;  // owned by the window
    int refills_ = 0;
    QString chosenFolder_;
};

TEST_F(BackupWindowTest, ListsTheBackupsNewestFirstWithWhatTheyHold) {
    ASSERT_TRUE(backUp().failure.ok());
    addEntry(48);
    addCustomer("李丽");
    clock_.set({2024, 3, 2, 14, 5, 9});
    ASSERT_TRUE(backUp().failure.ok());
    // One that stopped before its listing.
    std::filesystem::create_directories(u8(detail::join(root(), "20240303-080000")));
    open();
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(row(0), (QStringList{q("2024年3月3日8时"), "", "", "", q("不完整")}));
    EXPECT_EQ(row(1).mid(0, 3), (QStringList{q("2024年3月2日14时5分9秒"), "2", "1"}));
    EXPECT_EQ(row(1).at(4), q("已核对"));
    EXPECT_EQ(row(2).mid(0, 3), (QStringList{q("2024年3月1日9时30分"), "1", "0"}));
    EXPECT_TRUE(row(2).at(3).endsWith(q(" 字节")) || row(2).at(3).endsWith(" KB"));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(BackupWindowTest, BackUpNowAddsOneAndSaysSo) {
    open();
    QTest::mouseClick(window_->按钮立即备份, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{msg(q("备份成功！"), MessageIcon::Information)}));
    EXPECT_EQ(list()->rowCount(), 1);

    // A table that does not pass: one warning naming it, no new backup.
    writeBytes(at("客户.EDB"), readBytes(at("客户.EDB")).substr(0, 100));
    dialogs_.clearRecords();
    clock_.set({2024, 3, 1, 10, 0, 0});
    actions_->backUpNow();
    ASSERT_EQ(dialogs_.messages().size(), 1);
    EXPECT_EQ(dialogs_.messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(dialogs_.messages()[0].text.startsWith(q("备份失败：客户.EDB 的副本核对不通过：")));
    EXPECT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(listBackups(root()).size(), 1u);
}

TEST_F(BackupWindowTest, RestoreAsksNamingTheBackupThenPutsItBack) {
    ASSERT_TRUE(backUp().failure.ok());
    const auto stateA = snapshot(dir_);
    addEntry(48);
    clock_.set({2024, 3, 2, 8, 0, 0});
    open();
    list()->setRowSelected(0, true);
    const QString question =
        q("是否恢复 2024年3月1日9时30分 的备份（账单 1 条）？\r\n恢复前会先备份现在的数据。");

    // Cancel: nothing happens.
    actions_->restoreSelected();
    EXPECT_EQ(dialogs_.messages(), (QList<RecordedMessage>{msg(question, MessageIcon::Question)}));
    EXPECT_EQ(amounts(at("记账.edb")), (std::vector<double>{35, 48}));
    EXPECT_EQ(refills_, 0);

    dialogs_.clearRecords();
    dialogs_.answerQuestion(true);
    QTest::mouseClick(window_->按钮恢复, Qt::LeftButton);
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<RecordedMessage>{msg(question, MessageIcon::Question),
                                msg(q("恢复成功！设置类重启后生效。"), MessageIcon::Information)}));
    EXPECT_EQ(snapshot(dir_).at("记账.edb"), stateA.at("记账.edb"));
    EXPECT_EQ(refills_, 1);
    // The tables as they were are the newest backup now.
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(row(0).at(1), "2");
}

TEST_F(BackupWindowTest, RestoreNeedsAPickAndAVerifiedBackup) {
    std::filesystem::create_directories(u8(detail::join(root(), "20240229-080000")));
    open();
    actions_->restoreSelected();
    list()->setRowSelected(0, true);
    actions_->restoreSelected();
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<RecordedMessage>{msg(q("请选择要恢复的备份！"), MessageIcon::Warning),
                                msg(q("该备份没有核对通过，不能恢复！"), MessageIcon::Warning)}));
}

TEST_F(BackupWindowTest, AFailedRestoreSaysTheDataStayedAsItWas) {
    ASSERT_TRUE(backUp().failure.ok());
    addEntry(48);
    const auto stateB = snapshot(dir_);
    // The backup's ledger copy lost its last bytes since.
    const std::string copy = detail::join(listBackups(root())[0].path, "记账.edb");
    writeBytes(copy, readBytes(copy).substr(0, 560));
    open();
    list()->setRowSelected(0, true);
    dialogs_.answerQuestion(true);
    actions_->restoreSelected();
    ASSERT_EQ(dialogs_.messages().size(), 2);
    EXPECT_EQ(dialogs_.messages()[1].icon, MessageIcon::Error);
    EXPECT_TRUE(dialogs_.messages()[1].text.endsWith(q("\r\n现在的数据没有改变。")));
    EXPECT_EQ(snapshot(dir_), stateB);
    EXPECT_EQ(refills_, 0);
}

TEST_F(BackupWindowTest, TheSecondPlaceIsKeptInTheProgramsOwnSettingsFile) {
    open();
    EXPECT_EQ(window_->标签第二位置->text(), q("未设置"));
    EXPECT_FALSE(window_->按钮不用第二位置->isEnabled());
    const QString second = QString::fromStdString(at("U盘备份"));
    QDir().mkpath(second);
    chosenFolder_ = second;
    QTest::mouseClick(window_->按钮第二位置, Qt::LeftButton);
    EXPECT_EQ(QDir::fromNativeSeparators(window_->标签第二位置->text()), second);
    EXPECT_TRUE(window_->按钮不用第二位置->isEnabled());
    // Its own file, readable as UTF-8; the settings table is not touched.
    const std::string ini = readBytes(at("岚禾记账.ini"));
    EXPECT_NE(ini.find("secondFolder=" + second.toStdString()), std::string::npos) << ini;

    actions_->backUpNow();
    EXPECT_EQ(listBackups(second.toStdString()).size(), 1u);

    QTest::mouseClick(window_->按钮不用第二位置, Qt::LeftButton);
    EXPECT_TRUE(secondBackupFolder().isEmpty());
    EXPECT_EQ(window_->标签第二位置->text(), q("未设置"));
    // A cancelled choice changes nothing.
    chosenFolder_.clear();
    actions_->chooseSecondPlace();
    EXPECT_TRUE(secondBackupFolder().isEmpty());
}

TEST_F(BackupWindowTest, OncePerCalendarDay) {
    backUpOncePerDay(places());
    EXPECT_EQ(listBackups(root()).size(), 1u);
    clock_.set({2024, 3, 1, 23, 59, 59});
    backUpOncePerDay(places());
    EXPECT_EQ(listBackups(root()).size(), 1u);
    clock_.set({2024, 3, 2, 0, 0, 1});
    backUpOncePerDay(places());
    const auto listed = listBackups(root());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "20240302-000001");
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(BackupWindowTest, ADailyBackupThatFailsWarnsOnceAndTheProgramGoesOn) {
    writeBytes(at("记账.edb"), readBytes(at("记账.edb")).substr(0, 600));
    backUpOncePerDay(places());
    ASSERT_EQ(dialogs_.messages().size(), 1);
    EXPECT_EQ(dialogs_.messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(dialogs_.messages()[0].text.startsWith(q("自动备份失败：记账.edb")));
    EXPECT_TRUE(folders(root()).empty());
    // Not done that day: the next start tries again.
    backUpOncePerDay(places());
    EXPECT_EQ(dialogs_.messages().size(), 2);
}

TEST_F(BackupWindowTest, AnUnfinishedRestoreIsFinishedAtStartAndSaidSo) {
    ASSERT_TRUE(backUp().failure.ok());
    const auto stateA = snapshot(dir_);
    addEntry(48);
    {
        StoppingFileSystem fs;
        fs.failSuffix = at("记账.edb");
        fs.failWrites = true;
        RestoreRequest request;
        request.tablesDir = dir_;
        request.backupPath = listBackups(root())[0].path;
        request.clock = &clock_;
        ASSERT_TRUE(restoreBackup(request).pending);
    }
    finishUnfinishedRestore(places());
    EXPECT_EQ(dialogs_.messages(), (QList<RecordedMessage>{msg(q("上次的恢复没有完成，现已完成。"),
                                                               MessageIcon::Information)}));
    EXPECT_EQ(snapshot(dir_).at("记账.edb"), stateA.at("记账.edb"));
    dialogs_.clearRecords();
    finishUnfinishedRestore(places());
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

}  // namespace
}  // namespace backup::testing
