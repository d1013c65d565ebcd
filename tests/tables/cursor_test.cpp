// The cursor and the operations that move it or read at it.
#include <gtest/gtest.h>

#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class CursorTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("t"), "pw",
                              {{"n", FieldType::Integer, 0, 0}, {"s", FieldType::Text, 0, 8}}),
                  0);
    }
    void fill(TableFile& t, int count) {
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE(
                t.append({TableValue::integer(i),
                          TableValue::text(std::string(1, 'r').append(std::to_string(i)))}));
        ASSERT_TRUE(t.goFirst());
    }
    TableFile t;
};

TEST_F(CursorTest, EmptyTableStandsOnRecordOneWhichCannotBeRead) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -10);
    TableValue v = t.read("s");
    EXPECT_EQ(lastTableError(), -10);
    EXPECT_EQ(v, TableValue::text(""));
    EXPECT_EQ(t.read("n"), TableValue::integer(0));
    EXPECT_FALSE(t.skip(1));
    EXPECT_EQ(lastTableError(), -26);
    EXPECT_FALSE(t.skip(-1));
    EXPECT_EQ(lastTableError(), -25);
    ASSERT_TRUE(t.goTo(5));
    EXPECT_EQ(t.recordNumber(), 1);
}

TEST_F(CursorTest, WalkingCountTimesVisitsEverySlotThenStopsAtTheEnd) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 4);
    const int count = t.recordCount();
    ASSERT_EQ(count, 4);
    for (int i = 1; i <= count; ++i) {
        EXPECT_EQ(t.recordNumber(), i);
        EXPECT_EQ(t.read("n").asInteger(), i);
        EXPECT_TRUE(t.skip());
    }
    EXPECT_EQ(t.recordNumber(), count + 1);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -10);
    EXPECT_EQ(t.read("s"), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -10);
    EXPECT_FALSE(t.write({TableValue::integer(9)}));
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.skip(1));
    EXPECT_EQ(lastTableError(), -26);
    EXPECT_EQ(t.recordNumber(), count + 1);
    EXPECT_EQ(t.recordCount(), count);
}

TEST_F(CursorTest, SkippingBackFromTheFirstRecord) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 3);
    EXPECT_TRUE(t.skip(-1));
    EXPECT_EQ(t.recordNumber(), 0);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_EQ(t.read("n"), TableValue::integer(0));
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.write({TableValue::integer(5)}));
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.skip(-1));
    EXPECT_EQ(lastTableError(), -25);
    EXPECT_EQ(t.recordNumber(), 0);
    // Forward from before the first record.
    EXPECT_TRUE(t.skip(2));
    EXPECT_EQ(t.recordNumber(), 2);
}

TEST_F(CursorTest, SkipClampsAtBothEnds) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 5);
    EXPECT_TRUE(t.skip(0));
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_TRUE(t.skip(100));
    EXPECT_EQ(t.recordNumber(), 6);
    EXPECT_TRUE(t.skip(-3));
    EXPECT_EQ(t.recordNumber(), 3);
    EXPECT_TRUE(t.skip(-100));
    EXPECT_EQ(t.recordNumber(), 0);
    EXPECT_TRUE(t.skip(0x7FFFFFFF));
    EXPECT_EQ(t.recordNumber(), 6);
    EXPECT_TRUE(t.skip(-0x7FFFFFFF - 1));
    EXPECT_EQ(t.recordNumber(), 0);
}

TEST_F(CursorTest, GoToClampsToTheRecords) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 3);
    ASSERT_TRUE(t.goTo(0));
    EXPECT_EQ(t.recordNumber(), 1);
    ASSERT_TRUE(t.goTo(-5));
    EXPECT_EQ(t.recordNumber(), 1);
    ASSERT_TRUE(t.goTo(13));
    EXPECT_EQ(t.recordNumber(), 3);
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.read("s").asText(), "r2");
}

TEST_F(CursorTest, AppendMarkAndPurgeMoveCountAndCursorAsSaid) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 3);
    ASSERT_TRUE(t.append({TableValue::integer(4)}));
    EXPECT_EQ(t.recordCount(), 4);
    EXPECT_EQ(t.recordNumber(), 4);
    EXPECT_EQ(t.recordId(), 4);
    ASSERT_TRUE(t.goTo(2));
    ASSERT_TRUE(t.markDeleted());
    EXPECT_EQ(t.recordNumber(), 2);
    EXPECT_EQ(t.recordCount(), 4);
    EXPECT_TRUE(t.isDeleted());
    EXPECT_EQ(t.recordId(), -2);
    ASSERT_TRUE(t.goTo(4));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_EQ(t.read("n").asInteger(), 1);
    ASSERT_TRUE(t.skip());
    EXPECT_EQ(t.read("n").asInteger(), 3);
    EXPECT_EQ(t.recordId(), 3);
    // Ids are never given again.
    ASSERT_TRUE(t.append({TableValue::integer(5)}));
    EXPECT_EQ(t.recordId(), 5);
}

TEST_F(CursorTest, AfterCloseEverythingFailsWith67AndReadIsFatal) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 1);
    t.close();
    EXPECT_FALSE(t.isOpen());
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.goFirst());
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.skip());
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_EQ(t.recordNumber(), 0);
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.goTo(1));
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.append({TableValue::integer(1)}));
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.write({TableValue::integer(1)}));
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    const FindResult found = t.find([] { return true; });
    EXPECT_FALSE(found.found);
    EXPECT_EQ(found.status.code(), kNoCurrentTable);
    EXPECT_EQ(lastTableError(), -67);
    setLastTableError(kOk);
    EXPECT_FALSE(t.forEachRecord([] { return true; }));
    EXPECT_EQ(lastTableError(), -67);
    try {
        (void)t.read("n");
        FAIL() << "read after close returned";
    } catch (const FatalCalled& e) {
        EXPECT_EQ(std::string(e.what()), std::string(kFatalNoCurrentTable));
    }
    t.close();  // nothing to do
}

TEST_F(CursorTest, UnknownFieldIsFatalAndNamesMatchWithoutLetterCase) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 1);
    EXPECT_EQ(t.read("N").asInteger(), 1);
    EXPECT_EQ(t.read(2).asText(), "r1");
    EXPECT_THROW((void)t.read("nn"), FatalCalled);
    EXPECT_THROW((void)t.read(0), FatalCalled);
    EXPECT_THROW((void)t.read(3), FatalCalled);
    try {
        (void)t.read("x");
    } catch (const FatalCalled& e) {
        EXPECT_EQ(std::string(e.what()), std::string(kFatalNoSuchField));
    }
}

TEST_F(CursorTest, ReadingTheWrongKindIsFatal) {
    ASSERT_TRUE(t.open(at("t"), "pw"));
    fill(t, 1);
    TableValue v = t.read("n");
    try {
        (void)v.asText();
        FAIL() << "asText on a number returned";
    } catch (const FatalCalled& e) {
        EXPECT_EQ(std::string(e.what()), std::string(kFatalKindMismatch));
    }
    EXPECT_THROW((void)t.read("s").asNumber(), FatalCalled);
}

}  // namespace
}  // namespace tables::testing
