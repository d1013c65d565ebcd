// The recently deleted window: what it lists and "还原", with the scripted
// dialogs (offscreen).
#include "recycle_window.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

#include "backup_fixture.h"
#include "file_ops.h"
#include "ledger_table.h"
#include "recycle_window_actions.h"
#include "report_list.h"
#include "scripted_dialogs.h"

namespace backup::testing {
namespace {

using ui::MessageIcon;
using ui::RecordedMessage;

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

class RecycleWindowTest : public BackupTest {
  protected:
    void SetUp() override {
        BackupTest::SetUp();
        previous_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_));
        makeTables();
        addEntry(35);
        addEntry(48);
        addCustomer("王小明");  // another customer stays in the table
        // The entry of 48 first, the customer a minute later.
        ASSERT_EQ(ledger::deleteRecord({2, 2}, {std::string(recycle::kBinFile), &clock_}),
                  ledger::LedgerStatus::Ok);
        clock_.set({2024, 3, 1, 9, 31, 0});
        const std::array<tables::TableValue, 4> customer{
            tables::TableValue::text(g("李丽")), tables::TableValue::text("13800000002"),
            tables::TableValue::text(""), tables::TableValue::text(g("老主顾"))};
        std::int32_t id = 0;
        ASSERT_EQ(recycle::putInBin(recycle::kBinFile, recycle::Source::Customers, customer, {},
                                    toDateTime(clock_.now()), id),
                  recycle::BinResult::Ok);
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent(previous_);
        BackupTest::TearDown();
    }
    recycle::RecycleWindowActions& open() {
        window_ = std::make_unique<ui::RecycleWindow>();
        actions_ = new recycle::RecycleWindowActions(*window_, [this] { ++refills_; });
        return *actions_;
    }
    ui::ReportList* list() { return window_->超级列表框删除; }

    QString previous_;
    ui::ScriptedDialogs dialogs_;
    std::unique_ptr<ui::RecycleWindow> window_;
    recycle::RecycleWindowActions* actions_ = nullptr;
    int refills_ = 0;
};

TEST_F(RecycleWindowTest, ListsTheMostRecentlyDeletedFirst) {
    open();
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->rowTexts(0).mid(1),
              (QStringList{q("2024年3月1日9时31分"), q("客户"), q("李丽  13800000002  老主顾")}));
    EXPECT_EQ(list()->rowTexts(1).mid(1),
              (QStringList{q("2024年3月1日9时30分"), q("记账"),
                           q("2024年3月1日  王小明  相框  48元  已结  第48笔")}));
}

TEST_F(RecycleWindowTest, PutBackAppendsTheEntryAndRefillsThePages) {
    const auto kept = recycle::readBin(recycle::kBinFile);
    ASSERT_TRUE(kept && kept->size() == 2);
    open();
    list()->setRowSelected(1, true);
    QTest::mouseClick(window_->按钮还原, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages(),
              (QList<RecordedMessage>{{q("还原成功！"), MessageIcon::Information, q("信息：")}}));
    EXPECT_EQ(amounts(at("记账.edb")), (std::vector<double>{35, 48}));
    EXPECT_EQ(records(at("记账.edb")).back(), kept->at(1).values);
    EXPECT_EQ(refills_, 1);
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(list()->cellText(0, ui::RecycleWindow::kFrom), q("客户"));

    // The customer, with all four texts.
    list()->setRowSelected(0, true);
    actions_->putBackSelected();
    EXPECT_EQ(records(at("客户.EDB")).back(), kept->at(0).values);
    EXPECT_EQ(list()->rowCount(), 0);
}

TEST_F(RecycleWindowTest, ACustomerWhoseNameIsInTheTableIsNotPutBackTwice) {
    addCustomer("李丽");
    open();
    list()->setRowSelected(0, true);
    actions_->putBackSelected();
    EXPECT_EQ(dialogs_.messages(), (QList<RecordedMessage>{{q("客户列表中已有该客户，没有还原！"),
                                                            MessageIcon::Warning, q("信息：")}}));
    EXPECT_EQ(records(at("客户.EDB")).size(), 2u);
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(refills_, 0);
}

TEST_F(RecycleWindowTest, PutBackNeedsAPick) {
    open();
    actions_->putBackSelected();
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<RecordedMessage>{{q("请选择要还原的项目！"), MessageIcon::Warning, q("信息：")}}));
    EXPECT_EQ(refills_, 0);
}

TEST_F(RecycleWindowTest, AnUnreadableBinIsReported) {
    writeBytes(at("回收站.edb"), "broken");
    open();
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<RecordedMessage>{{q("回收站没有读取成功！"), MessageIcon::Error, q("信息：")}}));
    EXPECT_EQ(list()->rowCount(), 0);
}

}  // namespace
}  // namespace backup::testing
