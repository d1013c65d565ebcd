// find and the batched walk forEachRecord: the same values, codes and cursor
// as the record-by-record loop, read in large batches.
#include <gtest/gtest.h>

#include "read_ahead.h"
#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

constexpr char kPw[] = "583027";

// "c" and a number from 0 to 36 (built without operator+, which one
// compiler's overlap warning trips over).
std::string customerName(int i) { return std::string(1, 'c').append(std::to_string(i % 37)); }

class ScanTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("l"), kPw, ledgerFields()), 0);
        ASSERT_TRUE(t.open(at("l"), kPw));
    }
    void fill(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(
                t.append({TableValue::dateTime(44000 + i % 400), TableValue::text(customerName(i)),
                          TableValue::text(std::string(i % 90, 'e')), TableValue::number(i * 0.5),
                          TableValue::text(i % 3 ? "" : std::string(150, 'r')),
                          TableValue::boolean(i % 2)}));
            if (i % 7 == 3) {
                ASSERT_TRUE(t.markDeleted());
            }
        }
        ASSERT_TRUE(t.goFirst());
    }
    struct Row {
        int number;
        bool deleted;
        double date;
        std::string customer, event;
        double amount;
        std::string remark;
        bool status;
        bool operator==(const Row&) const = default;
    };
    Row row() {
        Row r{t.recordNumber(),
              t.isDeleted(),
              t.read(gbk::kDate).asDateTime(),
              t.read(gbk::kCustomer).asText(),
              t.read(gbk::kEvent).asText(),
              t.read(gbk::kAmount).asNumber(),
              t.read(gbk::kRemark).asText(),
              t.read(gbk::kStatus).asBool()};
        return r;
    }
    TableFile t;
};

TEST_F(ScanTest, WalkGivesWhatTheRecordByRecordLoopGives) {
    fill(2000);  // several batches of 256 KB, long enough for a read-ahead
    std::vector<Row> slow;
    const int count = t.recordCount();
    for (int i = 1; i <= count; ++i) {
        slow.push_back(row());
        ASSERT_TRUE(t.skip());
    }
    // With helper threads making the keystream, with the reader alone, and
    // with the scrambler's own; from the first record and from the middle.
    for (const ReadAhead::Mode mode :
         {ReadAhead::Mode::Helpers, ReadAhead::Mode::ReaderOnly, ReadAhead::Mode::Off}) {
        ReadAhead::setMode(mode);
        for (const int start : {1, 777}) {
            SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)) + " from " +
                         std::to_string(start));
            std::vector<Row> fast;
            ASSERT_TRUE(t.goTo(start));
            ASSERT_TRUE(t.forEachRecord([&] {
                fast.push_back(row());
                return true;
            }));
            EXPECT_EQ(lastTableError(), 0);
            ASSERT_EQ(fast.size(), 2001u - start);
            EXPECT_TRUE(std::equal(fast.begin(), fast.end(), slow.begin() + (start - 1)));
            EXPECT_EQ(t.recordNumber(), count + 1);
            EXPECT_EQ(fast.back().customer, customerName(1999));
        }
    }
    ReadAhead::setMode(ReadAhead::Mode::Helpers);
    EXPECT_TRUE(slow[3].deleted);
}

TEST_F(ScanTest, WalkReadsInLargeBatches) {
    fill(2000);
    t.close();
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    ASSERT_TRUE(t.open(at("l"), kPw));
    ffs.resetCounts();
    int visited = 0;
    ASSERT_TRUE(t.forEachRecord([&] {
        row();
        ++visited;
        return true;
    }));
    EXPECT_EQ(visited, 2000);
    // The count, then 2000 × 361 bytes in batches of at most 256 KB.
    EXPECT_EQ(ffs.counts().reads, 1 + 3);
    EXPECT_EQ(ffs.counts().locks, 1 + 3);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(ScanTest, WalkStartsAtTheCursorAndStopsWhereTheVisitorSays) {
    fill(10);
    ASSERT_TRUE(t.goTo(4));
    std::vector<int> seen;
    ASSERT_TRUE(t.forEachRecord([&] {
        seen.push_back(t.recordNumber());
        return t.recordNumber() < 7;
    }));
    EXPECT_EQ(seen, (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(t.recordNumber(), 7);
    EXPECT_EQ(t.read(gbk::kAmount).asNumber(), 3.0);
    // From before the first record it starts at the first; at the end it visits nothing.
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.skip(-1));
    seen.clear();
    ASSERT_TRUE(t.forEachRecord([&] {
        seen.push_back(t.recordNumber());
        return true;
    }));
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(seen.front(), 1);
    seen.clear();
    ASSERT_TRUE(t.forEachRecord([&] {
        seen.push_back(1);
        return true;
    }));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(t.recordNumber(), 11);
}

TEST_F(ScanTest, ChangesInsideTheWalkAreSeenAtOnce) {
    fill(5);
    ASSERT_TRUE(t.forEachRecord([&] {
        if (t.recordNumber() == 2) {
            EXPECT_TRUE(t.write({TableValue(), TableValue::text("changed")}));
            EXPECT_EQ(t.read(gbk::kCustomer).asText(), "changed");
            EXPECT_TRUE(t.markDeleted());
            EXPECT_TRUE(t.isDeleted());
        }
        return true;
    }));
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.read(gbk::kCustomer).asText(), "changed");
    EXPECT_TRUE(t.isDeleted());
    // A purge inside the walk ends it: the records it would visit have moved.
    ASSERT_TRUE(t.goFirst());
    int visits = 0;
    ASSERT_TRUE(t.forEachRecord([&] {
        ++visits;
        EXPECT_TRUE(t.purge());
        return true;
    }));
    EXPECT_EQ(visits, 1);
    EXPECT_EQ(t.recordCount(), 3);
}

TEST_F(ScanTest, ClosingInsideTheWalkEndsIt) {
    fill(5);
    int visits = 0;
    const Status walked = t.forEachRecord([&] {
        ++visits;
        t.close();
        EXPECT_FALSE(t.isOpen());
        EXPECT_EQ(t.recordCount(), 0);
        EXPECT_EQ(lastTableError(), -67);
        return true;
    });
    EXPECT_EQ(walked.code(), kNoCurrentTable);
    // Still named after the table it was walking when the close came.
    EXPECT_EQ(walked.context(), "l.EDB: forEachRecord");
    EXPECT_EQ(visits, 1);
    EXPECT_EQ(lastTableError(), -67);
    EXPECT_FALSE(t.isOpen());
    TableFile again;
    EXPECT_TRUE(again.open(at("l"), kPw));
}

TEST_F(ScanTest, FindMatchesDeletedRecordsToo) {
    fill(10);  // record 4 is marked deleted
    ASSERT_TRUE(t.find([&] { return t.read(gbk::kAmount).asNumber() == 1.5; }).found);
    EXPECT_EQ(t.recordNumber(), 4);
    EXPECT_TRUE(t.isDeleted());
    EXPECT_EQ(lastTableError(), 0);
    // It searches forward from the cursor, the current record included.
    ASSERT_TRUE(t.find([&] { return t.read(gbk::kStatus).asBool(); }).found);
    EXPECT_EQ(t.recordNumber(), 4);
    ASSERT_TRUE(t.skip());
    ASSERT_TRUE(t.find([&] { return t.read(gbk::kStatus).asBool(); }).found);
    EXPECT_EQ(t.recordNumber(), 6);
}

TEST_F(ScanTest, FailedFindPutsTheCursorBack) {
    fill(10);
    ASSERT_TRUE(t.goTo(6));
    std::vector<int> examined;
    FindResult r = t.find([&] {
        examined.push_back(t.recordNumber());
        return false;
    });
    EXPECT_FALSE(r.found);
    EXPECT_TRUE(r.status.ok());  // no match is not a failure
    EXPECT_EQ(examined, (std::vector<int>{6, 7, 8, 9, 10}));
    EXPECT_EQ(t.recordNumber(), 6);
    // At the end of the table nothing is examined.
    ASSERT_TRUE(t.skip(100));
    examined.clear();
    r = t.find([&] {
        examined.push_back(1);
        return true;
    });
    EXPECT_FALSE(r.found);
    EXPECT_TRUE(r.status.ok());
    EXPECT_TRUE(examined.empty());
    EXPECT_EQ(t.recordNumber(), 11);
    // Before the first record counts as the first.
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.skip(-1));
    ASSERT_TRUE(t.find([] { return true; }).found);
    EXPECT_EQ(t.recordNumber(), 1);
}

TEST_F(ScanTest, FindReadsEachRecordOnceAndStopsOnAShortRead) {
    fill(6);
    t.close();
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    ASSERT_TRUE(t.open(at("l"), kPw));
    ASSERT_TRUE(t.goTo(2));
    ffs.resetCounts();
    EXPECT_FALSE(t.find([&] {
                      row();  // six fields and the deleted flag from the copy
                      return false;
                  }).found);
    EXPECT_EQ(ffs.counts().reads, 1 + 5);
    ffs.shortReadsAfter(4 + 361 + 100);
    int examined = 0;
    const FindResult r = t.find([&] {
        ++examined;
        return false;
    });
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.status.code(), kRecordReadFailed);
    EXPECT_EQ(r.status.context(), "l.EDB: find, record 3");  // the slot that came back short
    EXPECT_EQ(lastTableError(), -62);
    EXPECT_EQ(examined, 1);
    EXPECT_EQ(t.recordNumber(), 2);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(ScanTest, TheProgramsDeletePattern) {
    fill(8);
    // goFirst, find by one field, markDeleted, purge, close.
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.find([&] { return t.read(gbk::kCustomer).asText() == "c5"; }).found);
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    t.close();
    ASSERT_TRUE(t.open(at("l"), kPw));
    // Records 4 (marked while filling) and 6 are gone.
    EXPECT_EQ(t.recordCount(), 6);
    std::vector<double> amounts;
    ASSERT_TRUE(t.forEachRecord([&] {
        amounts.push_back(t.read(gbk::kAmount).asNumber());
        return true;
    }));
    EXPECT_EQ(amounts, (std::vector<double>{0, 0.5, 1, 2, 3, 3.5}));
}

}  // namespace
}  // namespace tables::testing
