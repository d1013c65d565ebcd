// Failing file operations: every failure is reported, nothing is reported as
// success, and what reached the disk stays consistent.
#include <gtest/gtest.h>

#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class FaultsTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("t"), "k",
                              {{"n", FieldType::Integer, 0, 0}, {"m", FieldType::Memo, 0, 0}}),
                  0);
        {
            TableFile t;
            ASSERT_TRUE(t.open(at("t"), "k"));
            ASSERT_TRUE(t.append({TableValue::integer(1), TableValue::text("one")}));
            ASSERT_TRUE(t.append({TableValue::integer(2)}));
        }
        use = std::make_unique<ScopedFileSystem>(ffs);
        ASSERT_TRUE(t.open(at("t"), "k"));
        ffs.resetCounts();
    }
    void TearDown() override {
        t.close();
        use.reset();
        TableTest::TearDown();
    }
    Bytes files() { return concat({readFile(dir / "t.EDB"), readFile(dir / "t.EDT")}); }
    FaultFileSystem ffs;
    std::unique_ptr<ScopedFileSystem> use;
    TableFile t;
};

TEST_F(FaultsTest, FailedSlotWriteAddsNoRecord) {
    ffs.failWritesAfter(0, kDiskFull);
    EXPECT_FALSE(t.append({TableValue::integer(3)}));
    EXPECT_EQ(lastTableError(), -14);
    ffs.clearFaults();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(FaultsTest, FailedCountWriteLeavesASurplusSlotThatTheNextOpenCuts) {
    const std::int64_t before = readFile(dir / "t.EDB").size();
    ffs.failWritesAfter(t.recordSize(), kDiskFull);  // the slot goes through, the counters do not
    EXPECT_FALSE(t.append({TableValue::integer(3)}));
    EXPECT_EQ(lastTableError(), -14);
    ffs.clearFaults();
    EXPECT_EQ(t.recordCount(), 2);
    t.close();
    ASSERT_TRUE(t.open(at("t"), "k"));
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(std::int64_t(readFile(dir / "t.EDB").size()), before);
}

TEST_F(FaultsTest, FailedMemoWriteAddsNoRecordAndReportsIt) {
    ffs.failWritesAfter(0, kDiskFull);  // the first memo block already fails
    EXPECT_FALSE(t.append({TableValue::integer(3), TableValue::text("memo")}));
    EXPECT_EQ(lastTableError(), -59);
    ffs.clearFaults();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(FaultsTest, WriteAndMarkReportFailedWrites) {
    ffs.failWritesAfter(0);
    EXPECT_FALSE(t.write({TableValue::integer(7)}));
    EXPECT_EQ(lastTableError(), -14);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -14);
    EXPECT_FALSE(t.write({TableValue(), TableValue::text("new memo")}));
    EXPECT_EQ(lastTableError(), -59);
    ffs.clearFaults();
    EXPECT_EQ(t.read("n").asInteger(), 1);
    EXPECT_EQ(t.read("m").asText(), "one");
    EXPECT_FALSE(t.isDeleted());
}

TEST_F(FaultsTest, PurgeReportsAFailedCut) {
    ASSERT_TRUE(t.goTo(2));  // no memo chain to free
    ASSERT_TRUE(t.markDeleted());
    ffs.failTruncate(kHardwareFault);
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -11);
    ffs.clearFaults();
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(FaultsTest, PurgeReportsAFailedMemoFreeButStillPurges) {
    ASSERT_TRUE(t.markDeleted());
    ffs.failReadsAfter(4 + t.recordSize() * 2,
                       kHardwareFault);  // the count and the batch read, then the memo
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -59);
    ffs.clearFaults();
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.read("n").asInteger(), 2);
}

TEST_F(FaultsTest, ReadFailuresGiveTheEmptyValueAndTheirCodes) {
    ffs.failReadsAfter(0, kHardwareFault);
    EXPECT_EQ(t.read("n"), TableValue::integer(0));
    EXPECT_EQ(lastTableError(), -46);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -46);
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(lastTableError(), -65);
    EXPECT_FALSE(t.skip());
    EXPECT_EQ(lastTableError(), -65);
    EXPECT_FALSE(t.goTo(2));
    EXPECT_EQ(lastTableError(), -65);
    EXPECT_FALSE(t.append({TableValue::integer(1)}));
    EXPECT_EQ(lastTableError(), -65);
    EXPECT_FALSE(t.write({TableValue::integer(1)}));
    EXPECT_EQ(lastTableError(), -62);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -46);
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -65);
    EXPECT_EQ(t.find([] { return true; }).status.code(), kCountReadFailed);
    EXPECT_EQ(lastTableError(), -65);
    ffs.clearFaults();
    ffs.failReadsAfter(4, kHardwareFault);  // the record's id but not its memo
    EXPECT_EQ(t.read("m"), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(FaultsTest, WrongKindWritesNothingAtAll) {
    const Bytes before = files();
    EXPECT_FALSE(t.append({TableValue::integer(1), TableValue::number(2)}));
    EXPECT_EQ(lastTableError(), -72);
    EXPECT_FALSE(t.write({TableValue::text("1"), TableValue::text("fine")}));
    EXPECT_EQ(lastTableError(), -72);
    EXPECT_EQ(ffs.counts().writes, 0);
    EXPECT_EQ(ffs.counts().truncates, 0);
    EXPECT_EQ(ffs.counts().locks, 0);
    EXPECT_EQ(files(), before);
}

TEST_F(FaultsTest, FailedRepairFailsTheOpenAndKeepsNothingOpen) {
    t.close();
    Bytes f = readFile(dir / "t.EDB");
    f.push_back(0);
    writeFile(dir / "t.EDB", f);
    ffs.failTruncate(kAccessDenied);
    EXPECT_FALSE(t.open(at("t"), "k"));
    EXPECT_EQ(lastTableError(), -6);
    EXPECT_EQ(ffs.openFiles(), 0);
    ffs.clearFaults();
    EXPECT_TRUE(t.open(at("t"), "k"));
}

}  // namespace
}  // namespace tables::testing
