// What an interrupted purge can leave (a record's copy at a higher slot, live
// or marked deleted) and how the walk and the next purge treat it: the walk
// never hands on a record twice and says why it fails; the purge never frees
// a chain that a copy shares with the record.
#include <gtest/gtest.h>

#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class InterruptedPurgeTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("d"), "",
                              {{"n", FieldType::Integer, 0, 0}, {"m", FieldType::Memo, 0, 0}}),
                  0);
        TableFile t;
        ASSERT_TRUE(t.open(at("d"), ""));
        for (int i = 1; i <= 4; ++i)
            ASSERT_TRUE(
                t.append({TableValue::integer(i * 10),
                          TableValue::text(std::string(i == 1 ? 700 : 100, char('a' + i)))}));
    }
    static constexpr std::size_t kStart = 116 + 2 * 72, kSize = 12;
    // Appends a copy of `slot` with the id `id` (the unprotected file is
    // edited directly).
    void addCopy(int slot, std::int32_t id) {
        Bytes f = readFile(dir / "d.EDB");
        Bytes rec(f.begin() + std::ptrdiff_t(kStart + slot * kSize),
                  f.begin() + std::ptrdiff_t(kStart + (slot + 1) * kSize));
        put32(rec, 0, id);
        f.insert(f.end(), rec.begin(), rec.end());
        put32(f, 16, get32(f, 16) + 1);
        writeFile(dir / "d.EDB", f);
    }
    void setId(int slot, std::int32_t id) {
        Bytes f = readFile(dir / "d.EDB");
        put32(f, kStart + slot * kSize, id);
        writeFile(dir / "d.EDB", f);
    }
    // The ids the walk hands on (deleted ones negative) and its result.
    Status walk(std::vector<std::int32_t>& ids) {
        TableFile t;
        EXPECT_TRUE(t.open(at("d"), ""));
        return t.forEachRecord([&] {
            ids.push_back(t.recordId());
            return true;
        });
    }
};

TEST_F(InterruptedPurgeTest, TheWalkHandsOnEachRecordOnceAndSaysWhyItFails) {
    addCopy(1, 2);  // slots: 1 2 3 4 2
    std::vector<std::int32_t> ids;
    Status s = walk(ids);
    EXPECT_EQ(s.code(), kRecordReadFailed);
    EXPECT_EQ(s.context(),
              "d.EDB: forEachRecord, interrupted purge: record 5 repeats record 2; run edbtool "
              "repair");
    EXPECT_EQ(lastTableError(), kRecordReadFailed);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3, 4}));

    // A copy marked deleted is only a deleted record.
    setId(4, -2);
    ids.clear();
    EXPECT_TRUE(walk(ids));
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3, 4, -2}));

    // A live copy of a record that was deleted is not the record either.
    setId(1, -2);
    setId(4, 2);
    ids.clear();
    EXPECT_EQ(walk(ids).context(),
              "d.EDB: forEachRecord, interrupted purge: record 5 repeats record 2; run edbtool "
              "repair");
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, -2, 3, 4}));
}

TEST_F(InterruptedPurgeTest, IdsOutOfOrderAreNoRepeats) {
    setId(1, 7);  // 1 7 3 4: the ids after 7 get a closer look, none repeats
    std::vector<std::int32_t> ids;
    EXPECT_TRUE(walk(ids));
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 7, 3, 4}));
    addCopy(0, 3);  // 1 7 3 4 3
    ids.clear();
    EXPECT_EQ(walk(ids).context(),
              "d.EDB: forEachRecord, interrupted purge: record 5 repeats record 3; run edbtool "
              "repair");
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 7, 3, 4}));
}

TEST_F(InterruptedPurgeTest, PurgeLeavesTheChainsOfCopiesAlone) {
    const Bytes memo = readFile(dir / "d.EDT");
    // A deleted copy of record 1 (its chain is record 1's) at a higher slot.
    addCopy(0, -1);
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("d"), ""));
        ASSERT_TRUE(t.purge());
        EXPECT_EQ(t.recordCount(), 4);
        EXPECT_EQ(t.read("m").asText(), std::string(700, 'b'));
    }
    EXPECT_EQ(readFile(dir / "d.EDT"), memo);

    // Record 1 deleted, its live copy later in the file: the copy keeps the chain.
    addCopy(0, 1);
    setId(0, -1);
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("d"), ""));
        ASSERT_TRUE(t.purge());
        ASSERT_TRUE(t.goTo(4));
        EXPECT_EQ(t.recordId(), 1);
        EXPECT_EQ(t.read("m").asText(), std::string(700, 'b'));
    }
    EXPECT_EQ(readFile(dir / "d.EDT"), memo);

    // The record's own deletion still frees it.
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("d"), ""));
        ASSERT_TRUE(t.goTo(4));
        ASSERT_TRUE(t.markDeleted());
        ASSERT_TRUE(t.purge());
    }
    const Bytes after = readFile(dir / "d.EDT");
    EXPECT_EQ(get32(after, 20), 2);  // its two blocks are on the free list
}

}  // namespace
}  // namespace tables::testing
