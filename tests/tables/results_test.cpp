// What the operations return: the code, the context that says where it arose,
// find's three outcomes, and the value forms that tell 0 from a failure.
#include <gtest/gtest.h>

#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class ResultTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("t"), "pw",
                              {{"n", FieldType::Integer, 0, 0}, {"s", FieldType::Text, 0, 8}}),
                  kOk);
    }
    void openAndFill(int count) {
        ASSERT_TRUE(t.open(at("t"), "pw"));
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE(t.append({TableValue::integer(i), TableValue::text("r")}));
        ASSERT_TRUE(t.goFirst());
    }
    TableFile t;
};

TEST_F(ResultTest, FailuresNameTheFileTheOperationAndTheRecord) {
    // The file without its folder, as the name was resolved.
    Status s = t.open(at("missing"), "pw");
    EXPECT_EQ(s.code(), kFileNotFound);
    EXPECT_EQ(s.context(), "missing.EDB: open");
    EXPECT_EQ(s.message(), "指定文件未找到 (missing.EDB: open)");
    EXPECT_EQ(t.open(at("t"), "wrong").context(), "t.EDB: open");

    openAndFill(3);
    ASSERT_TRUE(t.goTo(2));
    s = t.write({TableValue::text("not a number")});
    EXPECT_EQ(s.code(), kValueKindMismatch);
    EXPECT_EQ(s.context(), "t.EDB: write, record 2");
    EXPECT_EQ(lastTableError(), kValueKindMismatch);  // still set as before

    ASSERT_TRUE(t.skip(5));  // at the end: record 4 of 3
    s = t.markDeleted();
    EXPECT_EQ(s.code(), kNoCurrentRecord);
    EXPECT_EQ(s.context(), "t.EDB: markDeleted, record 4");
    s = t.skip(1);
    EXPECT_EQ(s.code(), kPastLastRecord);
    EXPECT_EQ(s.context(), "t.EDB: skip");
    // Before the first record there is no record to name.
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.skip(-1));
    s = t.write({TableValue::integer(1)});
    EXPECT_EQ(s.code(), kNoCurrentRecord);
    EXPECT_EQ(s.context(), "t.EDB: write");

    // Success says nothing and costs no text.
    s = t.goTo(1);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.context(), "");
    EXPECT_EQ(lastTableError(), kOk);

    // Closed: no file to name, every form fails alike.
    t.close();
    EXPECT_EQ(t.append({TableValue::integer(1)}).context(), "append");
    EXPECT_EQ(t.purge().code(), kNoCurrentTable);
    EXPECT_EQ(t.goFirst().code(), kNoCurrentTable);
    EXPECT_EQ(t.forEachRecord([] { return true; }).context(), "forEachRecord");
}

TEST_F(ResultTest, ValueFormsTellZeroFromFailure) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    std::int32_t count = -1;
    ASSERT_TRUE(t.recordCount(count));
    EXPECT_EQ(count, 0);
    // An empty table's record 1 lies at the end: no answer, and it says so,
    // where the bool form can only say false.
    bool deleted = true;
    Status s = t.isDeleted(deleted);
    EXPECT_EQ(s.code(), kSeekFailed);
    EXPECT_EQ(s.context(), "t.EDB: isDeleted, record 1");
    EXPECT_FALSE(deleted);
    std::int32_t id = 7;
    s = t.recordId(id);
    EXPECT_EQ(s.code(), kSeekFailed);
    EXPECT_EQ(s.context(), "t.EDB: recordId, record 1");
    EXPECT_EQ(id, 0);

    ASSERT_TRUE(t.append({TableValue::integer(1)}));
    ASSERT_TRUE(t.append({TableValue::integer(2)}));
    ASSERT_TRUE(t.markDeleted());  // record 2, id 2
    ASSERT_TRUE(t.isDeleted(deleted));
    EXPECT_TRUE(deleted);
    ASSERT_TRUE(t.recordId(id));
    EXPECT_EQ(id, -2);
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.isDeleted(deleted));
    EXPECT_FALSE(deleted);
    ASSERT_TRUE(t.recordCount(count));
    EXPECT_EQ(count, 2);

    t.close();
    count = 5;
    EXPECT_EQ(t.recordCount(count).code(), kNoCurrentTable);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(t.isDeleted(deleted).context(), "isDeleted");
    EXPECT_EQ(t.recordId(id).code(), kNoCurrentTable);
}

TEST_F(ResultTest, FindTellsNoMatchFromAFailedSearch) {
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    openAndFill(4);
    ASSERT_TRUE(t.goTo(2));
    FindResult r = t.find([&] { return t.read("n").asInteger() == 3; });
    EXPECT_TRUE(r.found);
    EXPECT_TRUE(r.status.ok());
    EXPECT_EQ(t.recordNumber(), 3);

    r = t.find([&] { return t.read("n").asInteger() == 1; });  // behind the cursor
    EXPECT_FALSE(r.found);
    EXPECT_TRUE(r.status.ok());
    EXPECT_EQ(lastTableError(), kOk);
    EXPECT_EQ(t.recordNumber(), 3);

    // Another process holds record 4: the search stops there and says so.
    ffs.failLocksOverlapping(t.dataStart() + 3 * t.recordSize(), 1);
    r = t.find([] { return false; });
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.status.code(), kLockViolation);
    EXPECT_EQ(r.status.context(), "t.EDB: find, record 4");
    EXPECT_EQ(t.recordNumber(), 3);
}

TEST_F(ResultTest, AWalkNamesTheRecordItCouldNotRead) {
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    openAndFill(5);
    // Record 4 is held elsewhere: the batch falls back to single records, and
    // that one fails while the others are read.
    ffs.failLocksOverlapping(t.dataStart() + 3 * t.recordSize(), 1);
    std::vector<std::int32_t> unreadable;
    const Status s = t.forEachRecord([&] {
        std::int32_t id = 0;
        if (!t.recordId(id)) unreadable.push_back(t.recordNumber());
        return true;
    });
    EXPECT_EQ(unreadable, (std::vector<std::int32_t>{4}));
    EXPECT_EQ(s.code(), kLockViolation);
    EXPECT_EQ(s.context(), "t.EDB: forEachRecord, record 4");
    EXPECT_EQ(t.recordNumber(), 6);  // it still went to the end
}

}  // namespace
}  // namespace tables::testing
