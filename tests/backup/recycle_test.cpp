// The recycle bin: a ledger delete keeps the entry there first (and deletes
// nothing when it cannot), "还原" puts back exactly what was deleted, and
// entries older than 90 days go.
#include "backup_fixture.h"
#include "file_ops.h"
#include "ledger_table.h"
#include "recycle_bin.h"
#include "table_file.h"

namespace backup::testing {
namespace {

using recycle::BinResult;
using recycle::Source;
using tables::TableValue;

// The ledger code works on the tables of the current folder, as the program does.
class RecycleBin : public BackupTest {
  protected:
    void SetUp() override {
        BackupTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(u8(dir_));
        makeTables();
        for (double amount : {35.0, 48.0, -20.0}) addEntry(amount);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        BackupTest::TearDown();
    }
    recycle::BinTarget bin() { return {std::string(recycle::kBinFile), &clock_}; }
    std::vector<recycle::Deleted> inBin() {
        auto entries = recycle::readBin(recycle::kBinFile);
        EXPECT_TRUE(entries.has_value());
        return entries.value_or(std::vector<recycle::Deleted>{});
    }

    std::filesystem::path previous_;
};

TEST_F(RecycleBin, ADeletedEntryWaitsThereAndComesBackWithItsValues) {
    const auto before = records(at("记账.edb"));
    ASSERT_FALSE(detail::isFile(at("回收站.edb")));
    ASSERT_EQ(ledger::deleteRecord({2, 2}, bin()), ledger::LedgerStatus::Ok);
    EXPECT_EQ(amounts(at("记账.edb")), (std::vector<double>{35, -20}));

    // Made when missing, holding the entry, when and from where.
    const auto kept = inBin();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].source, Source::Ledger);
    EXPECT_EQ(kept[0].deletedAt, toDateTime(clock_.now()));
    EXPECT_EQ(kept[0].values, before[1]);

    Source source = Source::Customers;
    ASSERT_EQ(recycle::putBack(recycle::kBinFile, kept[0].id, "记账.edb", "客户", &source),
              BinResult::Ok);
    EXPECT_EQ(source, Source::Ledger);
    const auto after = records(at("记账.edb"));
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2], before[1]);
    EXPECT_TRUE(inBin().empty());
    // Only once.
    EXPECT_EQ(recycle::putBack(recycle::kBinFile, kept[0].id, "记账.edb", "客户"), BinResult::Gone);
    EXPECT_EQ(records(at("记账.edb")).size(), 3u);
}

TEST_F(RecycleBin, ABinThatCannotTakeTheEntryDeletesNothing) {
    const std::string ledgerBytes = readBytes(at("记账.edb"));
    // Not a table at all.
    writeBytes(at("回收站.edb"), "broken");
    EXPECT_EQ(ledger::deleteRecord({1, 1}, bin()), ledger::LedgerStatus::BinFailed);
    EXPECT_EQ(readBytes(at("记账.edb")), ledgerBytes);

    // A bin whose remark is narrower than the entry's: no cut copy either.
    std::filesystem::remove(u8(at("回收站.edb")));
    auto fields = schema::descriptors(schema::recycle::kTable);
    fields[schema::recycle::k备注].width = 4;
    ASSERT_EQ(tables::createTable(at("回收站.edb"), tables::kAccessPassword, fields), 0);
    EXPECT_EQ(ledger::deleteRecord({1, 1}, bin()), ledger::LedgerStatus::BinFailed);
    EXPECT_EQ(readBytes(at("记账.edb")), ledgerBytes);
    EXPECT_TRUE(inBin().empty());
}

TEST_F(RecycleBin, AnEntryNoLongerThereLeavesTheBinAlone) {
    EXPECT_EQ(ledger::deleteRecord({2, 99}, bin()), ledger::LedgerStatus::RecordGone);
    EXPECT_TRUE(inBin().empty());
    EXPECT_EQ(records(at("记账.edb")).size(), 3u);
}

TEST_F(RecycleBin, ANewBinIsAsWideAsTheTableItTakesFrom) {
    // A ledger whose remark field is wider than a new table's.
    std::filesystem::remove(u8(at("记账.edb")));
    auto fields = schema::descriptors(schema::ledger::kTable);
    fields[schema::ledger::k备注].width = 300;
    ASSERT_EQ(tables::createTable(at("记账.edb"), tables::kAccessPassword, fields), 0);
    const std::string remark(260, 'r');
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(at("记账.edb"), tables::kAccessPassword));
        ASSERT_TRUE(
            t.append({TableValue::dateTime(45000), TableValue::text("a"), TableValue::text("b"),
                      TableValue::number(5), TableValue::text(remark), TableValue::boolean(true)}));
    }
    ASSERT_EQ(ledger::deleteRecord({1, 1}, bin()), ledger::LedgerStatus::Ok);
    const auto kept = inBin();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].values[schema::ledger::k备注].asText(), remark);
    ASSERT_EQ(recycle::putBack(recycle::kBinFile, kept[0].id, "记账.edb", "客户"), BinResult::Ok);
    EXPECT_EQ(records(at("记账.edb"))[0][schema::ledger::k备注].asText(), remark);
}

TEST_F(RecycleBin, EntriesOlderThanNinetyDaysAreDropped) {
    const double now = toDateTime(clock_.now());
    std::vector<tables::FieldDescriptor> none;
    for (double age : {100.0, 91.0, 89.0, 0.5}) {
        const std::array<TableValue, 4> customer{TableValue::text(std::to_string(int(age))),
                                                 TableValue::text(""), TableValue::text(""),
                                                 TableValue::text("")};
        std::int32_t id = 0;
        ASSERT_EQ(
            recycle::putInBin(recycle::kBinFile, Source::Customers, customer, none, now - age, id),
            BinResult::Ok);
    }
    int dropped = 0;
    ASSERT_EQ(recycle::dropDeletedBefore(recycle::kBinFile, now - recycle::kKeepDays, dropped),
              BinResult::Ok);
    EXPECT_EQ(dropped, 2);
    const auto kept = inBin();
    ASSERT_EQ(kept.size(), 2u);
    // Most recently deleted first.
    EXPECT_EQ(kept[0].values[0].asText(), "0");
    EXPECT_EQ(kept[1].values[0].asText(), "89");
    EXPECT_EQ(kept[1].source, Source::Customers);
    // Nothing to drop, or no bin at all, is no failure.
    EXPECT_EQ(recycle::dropDeletedBefore(recycle::kBinFile, now - 90, dropped), BinResult::Ok);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(recycle::dropDeletedBefore("没有.edb", now, dropped), BinResult::Ok);
}

TEST_F(RecycleBin, PutBackIntoATableThatCannotBeOpenedKeepsTheEntry) {
    ASSERT_EQ(ledger::deleteRecord({1, 1}, bin()), ledger::LedgerStatus::Ok);
    const auto kept = inBin();
    ASSERT_EQ(kept.size(), 1u);
    std::filesystem::rename(u8(at("记账.edb")), u8(at("别处.edb")));
    EXPECT_EQ(recycle::putBack(recycle::kBinFile, kept[0].id, "记账.edb", "客户"),
              BinResult::OpenFailed);
    EXPECT_EQ(inBin().size(), 1u);
}

TEST_F(RecycleBin, ACustomerWhoseNameIsInTheTableAgainIsNotPutBackTwice) {
    addCustomer("王小明");
    const auto customers = records(at("客户.EDB"));
    ASSERT_EQ(customers.size(), 1u);
    // In the bin and in the table at once: added anew since the delete, or
    // the program stopped between the bin and the delete.
    std::int32_t id = 0;
    ASSERT_EQ(recycle::putInBin(recycle::kBinFile, Source::Customers, customers[0], {},
                                toDateTime(clock_.now()), id),
              BinResult::Ok);
    EXPECT_EQ(recycle::putBack(recycle::kBinFile, id, "记账.edb", "客户"), BinResult::AlreadyThere);
    EXPECT_EQ(records(at("客户.EDB")).size(), 1u);
    EXPECT_EQ(inBin().size(), 1u);
    // Once the table's one is gone, the kept one comes back.
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(at("客户"), tables::kAccessPassword));
        ASSERT_TRUE(t.markDeleted());
        ASSERT_TRUE(t.purge());
    }
    EXPECT_EQ(recycle::putBack(recycle::kBinFile, id, "记账.edb", "客户"), BinResult::Ok);
    EXPECT_EQ(records(at("客户.EDB")), customers);
    EXPECT_TRUE(inBin().empty());
}

}  // namespace
}  // namespace backup::testing
