// write and markDeleted with an expected record id: a caller that remembered
// a record by its number (which a purge elsewhere can shift) changes it only
// while the slot still holds that record.
#include <gtest/gtest.h>

#include <array>

#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class ExpectedIdTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("t"), "pw",
                              {{"n", FieldType::Integer, 0, 0}, {"s", FieldType::Text, 0, 8}}),
                  kOk);
        ASSERT_TRUE(t.open(at("t"), "pw"));
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(t.append({TableValue::integer(i), TableValue::text("r")}));
    }
    std::int64_t n(int record) {
        EXPECT_TRUE(t.goTo(record));
        return t.read("n").asInteger();
    }
    TableFile t;
};

TEST_F(ExpectedIdTest, WriteChangesTheRecordOnlyWhileItBearsTheId) {
    ASSERT_TRUE(t.goTo(2));
    const std::array<TableValue, 1> twenty{TableValue::integer(20)};
    EXPECT_TRUE(t.write(twenty, 2));
    EXPECT_EQ(n(2), 20);

    // Another id: refused with "指定记录不存在", nothing written, cursor kept.
    ASSERT_TRUE(t.goTo(3));
    const std::array<TableValue, 1> thirty{TableValue::integer(30)};
    const Status s = t.write(thirty, 2);
    EXPECT_EQ(s.code(), kRecordMissing);
    EXPECT_EQ(s.context(), "t.EDB: write, record 3");
    EXPECT_EQ(lastTableError(), kRecordMissing);
    EXPECT_EQ(t.recordNumber(), 3);
    EXPECT_EQ(n(3), 3);
}

TEST_F(ExpectedIdTest, AMarkedRecordNoLongerBearsItsId) {
    ASSERT_TRUE(t.goTo(1));
    ASSERT_TRUE(t.markDeleted(1));
    EXPECT_EQ(t.recordId(), -1);
    // Marked meanwhile: neither a write nor a second mark by the old id.
    const std::array<TableValue, 1> value{TableValue::integer(9)};
    EXPECT_EQ(t.write(value, 1).code(), kRecordMissing);
    EXPECT_EQ(t.markDeleted(1).code(), kRecordMissing);
    EXPECT_EQ(n(1), 1);
    EXPECT_EQ(t.recordId(), -1);
}

TEST_F(ExpectedIdTest, AfterAPurgeTheOldNumberHoldsAnotherRecord) {
    ASSERT_TRUE(t.goTo(1));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    // Record 3 (id 3) now stands at number 2; number 3 is past the end.
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.markDeleted(2).code(), kRecordMissing);
    EXPECT_EQ(t.recordId(), 3);
    EXPECT_TRUE(t.markDeleted(3));
    EXPECT_EQ(t.recordId(), -3);
}

TEST_F(ExpectedIdTest, TheOtherFailuresComeFirst) {
    // Before the first record and after close the usual codes stand.
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.skip(-1));
    const std::array<TableValue, 1> value{TableValue::integer(9)};
    EXPECT_EQ(t.write(value, 1).code(), kNoCurrentRecord);
    EXPECT_EQ(t.markDeleted(1).code(), kNoCurrentRecord);
    t.close();
    EXPECT_EQ(t.write(value, 1).code(), kNoCurrentTable);
    EXPECT_EQ(t.markDeleted(1).code(), kNoCurrentTable);
}

}  // namespace
}  // namespace tables::testing
