// Memo chains: the exact blocks, free list and header after every kind of
// change, and damaged chains read and written without harm.
#include <gtest/gtest.h>

#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

class MemoTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        // Unprotected, so that the memo file's bytes can be compared directly;
        // one test below repeats a case scrambled.
        ASSERT_EQ(createTable(at("m"), password(),
                              {{"n", FieldType::Integer, 0, 0},
                               {"m", FieldType::Memo, 0, 0},
                               {"b", FieldType::Bytes, 0, 0}}),
                  0);
        ASSERT_TRUE(t.open(at("m"), password()));
    }
    virtual std::string password() const { return ""; }

    static std::string text(std::size_t n, char seed) {
        std::string s(n, ' ');
        for (std::size_t k = 0; k < n; ++k) s[k] = char(seed + k % 23);
        return s;
    }
    bool appendMemo(const std::string& m) {
        return t.append({TableValue::integer(0), TableValue::text(m)}).ok();
    }
    bool setMemo(int record, const std::string& m) {
        return t.goTo(record) && t.write({TableValue(), TableValue::text(m)});
    }
    Bytes memoFile() { return readPlain(dir / "m.EDT", password()); }
    // Block bytes of a value's chain.
    static Bytes chainBlock(std::int32_t prev, std::int32_t next, const std::string& value,
                            std::size_t part) {
        return memoBlock(prev, next, std::string_view(value).substr(part * 500, 500));
    }
    static Bytes freeBlock(std::int32_t prev, std::int32_t next) {
        return memoBlock(prev, next, "");
    }
    std::int32_t firstBlockOf(int record) {
        Bytes f = readPlain(dir / "m.EDB", password());
        return get32(f, 116 + 3 * 72 + std::size_t(record - 1) * 16 + 8);  // n 4, m 8, b 12
    }
    TableFile t;
};

TEST_F(MemoTest, FiveHundredBytesTakeOneBlockAndOneMoreTakesTwo) {
    const std::string a = text(500, 'a'), b = text(501, 'b');
    ASSERT_TRUE(appendMemo(a));
    ASSERT_TRUE(appendMemo(b));
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(4, 0, 0), chainBlock(0, 0, a, 0),
                                  chainBlock(0, 3, b, 0), chainBlock(2, 0, b, 1)}));
    EXPECT_EQ(firstBlockOf(1), 1);
    EXPECT_EQ(firstBlockOf(2), 2);
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.read("m").asText(), b);
    ASSERT_TRUE(t.goTo(1));
    EXPECT_EQ(t.read("m").asText(), a);
}

TEST_F(MemoTest, EmptyValuesHaveNoChain) {
    const Bytes before = memoFile();
    FaultFileSystem ffs;
    {
        ScopedFileSystem use(ffs);
        t.close();
        ASSERT_TRUE(t.open(at("m"), password()));
        ffs.resetCounts();
        ASSERT_TRUE(appendMemo(""));
        ASSERT_TRUE(t.write({TableValue(), TableValue::text(""), TableValue::bytes("")}));
        // Only the table file was written: the slot, the counters, the slot from byte 4.
        EXPECT_EQ(ffs.counts().bytesWritten, 16 + 8 + 12);
        EXPECT_EQ(t.read("m"), TableValue::text(""));
        EXPECT_EQ(t.read("b"), TableValue::bytes(""));
        t.close();
    }
    EXPECT_EQ(memoFile(), before);
    EXPECT_EQ(firstBlockOf(1), 0);
}

TEST_F(MemoTest, ShorterValueReusesTheFirstBlockAndFreesTheRestAsOneRun) {
    const std::string a = text(1400, 'a'), b = text(10, 'b'), c = text(20, 'c');
    ASSERT_TRUE(appendMemo(a));  // blocks 1, 2, 3
    ASSERT_TRUE(appendMemo(b));  // block 4
    ASSERT_TRUE(setMemo(1, c));
    EXPECT_EQ(firstBlockOf(1), 1);
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(5, 2, 2), chainBlock(0, 0, c, 0), freeBlock(0, 3),
                                  freeBlock(2, 0), chainBlock(0, 0, b, 0)}));
    EXPECT_EQ(t.read("m").asText(), c);

    // The next value takes the free blocks in list order before growing the file.
    const std::string d = text(1200, 'd');
    ASSERT_TRUE(appendMemo(d));  // blocks 2, 3, then the new block 5
    EXPECT_EQ(firstBlockOf(3), 2);
    EXPECT_EQ(memoFile(),
              concat({memoHeaderBlock(6, 0, 0), chainBlock(0, 0, c, 0), chainBlock(0, 3, d, 0),
                      chainBlock(2, 5, d, 1), chainBlock(0, 0, b, 0), chainBlock(3, 0, d, 2)}));
    EXPECT_EQ(t.read("m").asText(), d);
}

TEST_F(MemoTest, FreedRunIsPutInFrontOfTheFreeList) {
    const std::string a = text(1300, 'a'), b = text(5, 'b'), c = text(900, 'c'), d = text(7, 'd');
    ASSERT_TRUE(appendMemo(a));    // 1 2 3
    ASSERT_TRUE(appendMemo(b));    // 4
    ASSERT_TRUE(appendMemo(c));    // 5 6
    ASSERT_TRUE(appendMemo(d));    // 7
    ASSERT_TRUE(setMemo(1, "x"));  // frees 2 3
    ASSERT_TRUE(setMemo(3, ""));   // frees 5 6 in front: 5 -> 6 -> 2 -> 3
    EXPECT_EQ(firstBlockOf(3), 0);
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(8, 4, 5), memoBlock(0, 0, "x"), freeBlock(6, 3),
                                  freeBlock(2, 0), chainBlock(0, 0, b, 0), freeBlock(0, 6),
                                  freeBlock(5, 2), chainBlock(0, 0, d, 0)}));
}

TEST_F(MemoTest, FreeingTheChainAtTheEndShortensTheFile) {
    const std::string a = text(30, 'a'), b = text(1100, 'b');
    ASSERT_TRUE(appendMemo(a));  // 1
    ASSERT_TRUE(appendMemo(b));  // 2 3 4
    ASSERT_TRUE(setMemo(2, ""));
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(2, 0, 0), chainBlock(0, 0, a, 0)}));
    ASSERT_TRUE(setMemo(1, ""));
    EXPECT_EQ(memoFile(), memoHeaderBlock(1, 0, 0));
}

TEST_F(MemoTest, ShorteningTakesTrailingFreeBlocksOutOfTheListAndStopsAtOneInUse) {
    const std::string a = text(1300, 'a'), b = text(5, 'b'), c = text(900, 'c');
    ASSERT_TRUE(appendMemo(a));    // 1 2 3
    ASSERT_TRUE(appendMemo(b));    // 4
    ASSERT_TRUE(appendMemo(c));    // 5 6
    ASSERT_TRUE(setMemo(1, "x"));  // free list 2 -> 3
    ASSERT_TRUE(setMemo(3, ""));   // 5 -> 6 -> 2 -> 3, then 6 and 5 leave the file
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(5, 2, 2), memoBlock(0, 0, "x"), freeBlock(0, 3),
                                  freeBlock(2, 0), chainBlock(0, 0, b, 0)}));
    // Shrinking a chain whose freed blocks lie at the end as well.
    ASSERT_TRUE(setMemo(2, ""));  // 4 goes, then 3 and 2 (free) too
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(2, 0, 0), memoBlock(0, 0, "x")}));
}

TEST_F(MemoTest, ByteSetsShareTheFileAndKeepEveryByte) {
    std::string raw;
    for (int k = 0; k < 1001; ++k) raw += char(k * 7);
    ASSERT_TRUE(t.append({TableValue(), TableValue::text("t"), TableValue::bytes(raw)}));
    EXPECT_EQ(memoFile(),
              concat({memoHeaderBlock(5, 0, 0), memoBlock(0, 0, "t"), chainBlock(0, 3, raw, 0),
                      chainBlock(2, 4, raw, 1), chainBlock(3, 0, raw, 2)}));
    EXPECT_EQ(t.read("b"), TableValue::bytes(raw));
}

TEST_F(MemoTest, PurgeFreesTheChainsOfDroppedRecords) {
    const std::string a = text(700, 'a'), b = text(8, 'b');
    ASSERT_TRUE(t.append({TableValue(), TableValue::text(a), TableValue::bytes("zz")}));  // 1 2, 3
    ASSERT_TRUE(appendMemo(b));                                                           // 4
    ASSERT_TRUE(t.goTo(1));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.read("m").asText(), b);
    EXPECT_EQ(firstBlockOf(1), 4);
    // The memo text's chain is freed first, then the byte set's in front of it.
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(5, 3, 3), freeBlock(3, 2), freeBlock(1, 0),
                                  freeBlock(0, 1), chainBlock(0, 0, b, 0)}));
}

TEST_F(MemoTest, WriteKeepsOtherFieldsChains) {
    ASSERT_TRUE(t.append({TableValue(), TableValue::text("m1"), TableValue::bytes("b1")}));
    ASSERT_TRUE(t.write({TableValue::integer(5)}));
    EXPECT_EQ(t.read("m").asText(), "m1");
    EXPECT_EQ(t.read("b").asBytes(), "b1");
    ASSERT_TRUE(t.write({TableValue(), TableValue(), TableValue::bytes("b2")}));
    EXPECT_EQ(t.read("m").asText(), "m1");
    EXPECT_EQ(t.read("b").asBytes(), "b2");
    EXPECT_EQ(memoFile(),
              concat({memoHeaderBlock(3, 0, 0), memoBlock(0, 0, "m1"), memoBlock(0, 0, "b2")}));
}

class ProtectedMemoTest : public MemoTest {
  protected:
    std::string password() const override { return "583027"; }
};

TEST_F(ProtectedMemoTest, ScrambledMemoFileHoldsTheSameBlocks) {
    const std::string a = text(1300, 'a'), b = text(5, 'b');
    ASSERT_TRUE(appendMemo(a));
    ASSERT_TRUE(appendMemo(b));
    ASSERT_TRUE(setMemo(1, "x"));
    EXPECT_EQ(readFile(dir / "m.EDT"),
              scrambled(concat({memoHeaderBlock(5, 2, 2), memoBlock(0, 0, "x"), freeBlock(0, 3),
                                freeBlock(2, 0), chainBlock(0, 0, b, 0)}),
                        "583027"));
    t.close();
    ASSERT_TRUE(t.open(at("m"), "583027"));
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.read("m").asText(), b);
}

// Chains damaged on disk.
class DamagedMemoTest : public MemoTest {
  protected:
    void patchMemo(const std::function<void(Bytes&)>& edit) {
        t.close();
        Bytes m = memoFile();
        edit(m);
        writePlain(dir / "m.EDT", m, password());
        ASSERT_TRUE(t.open(at("m"), password()));
    }
    TableValue readMemo(int record) {
        EXPECT_TRUE(t.goTo(record));
        return t.read("m");
    }
};

TEST_F(DamagedMemoTest, LoopsAndBadLinksFailWith59InsteadOfHanging) {
    ASSERT_TRUE(appendMemo(text(1400, 'a')));               // 1 2 3
    patchMemo([](Bytes& m) { put32(m, 3 * 512 + 4, 1); });  // 3 -> 1: a loop
    EXPECT_EQ(readMemo(1), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
    patchMemo([](Bytes& m) { put32(m, 3 * 512 + 4, 99); });  // out of the file
    EXPECT_EQ(readMemo(1), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
    patchMemo([](Bytes& m) { put32(m, 3 * 512 + 4, -5); });
    EXPECT_EQ(readMemo(1), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
    patchMemo([](Bytes& m) {
        put32(m, 3 * 512 + 4, 0);
        put32(m, 2 * 512 + 8, 501);  // more used bytes than a block holds
    });
    EXPECT_EQ(readMemo(1), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
    patchMemo([](Bytes& m) {
        put32(m, 2 * 512 + 8, 500);
        m.resize(3 * 512 + 100);  // the last block cut short
    });
    EXPECT_EQ(readMemo(1), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
}

TEST_F(DamagedMemoTest, ARecordPointingOutsideTheFileReadsEmpty) {
    ASSERT_TRUE(appendMemo("v"));
    t.close();
    Bytes f = readPlain(dir / "m.EDB", "");
    put32(f, 116 + 3 * 72 + 8, 0x7FFFFFFF);
    writePlain(dir / "m.EDB", f, "");
    ASSERT_TRUE(t.open(at("m"), ""));
    EXPECT_EQ(t.read("m"), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -59);
}

TEST_F(DamagedMemoTest, WritingOverABrokenChainLeavesForeignBlocksAlone) {
    const std::string a = text(600, 'a'), b = text(600, 'b');
    ASSERT_TRUE(appendMemo(a));  // 1 2
    ASSERT_TRUE(appendMemo(b));  // 3 4
    // Record 1's chain runs on from block 2 into record 2's last block.
    patchMemo([](Bytes& m) { put32(m, 2 * 512 + 4, 4); });
    ASSERT_TRUE(setMemo(1, ""));
    // Blocks 1 and 2 were freed; block 4 still belongs to record 2.
    EXPECT_EQ(memoFile(), concat({memoHeaderBlock(5, 2, 1), freeBlock(0, 2), freeBlock(1, 0),
                                  chainBlock(0, 4, b, 0), chainBlock(3, 0, b, 1)}));
    EXPECT_EQ(readMemo(2).asText(), b);
}

TEST_F(DamagedMemoTest, AFreeListHeadThatIsInUseIsNotTaken) {
    const std::string a = text(600, 'a');
    ASSERT_TRUE(appendMemo(a));  // 1 2
    patchMemo([](Bytes& m) {
        put32(m, 20, 1);
        put32(m, 24, 1);  // claims block 1, which holds a's data, is free
    });
    ASSERT_TRUE(appendMemo("new"));
    EXPECT_EQ(firstBlockOf(2), 3);
    EXPECT_EQ(readMemo(1).asText(), a);
    EXPECT_EQ(readMemo(2).asText(), "new");
}

}  // namespace
}  // namespace tables::testing
