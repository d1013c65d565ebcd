// Records on disk: the exact bytes after append, write, markDeleted and purge,
// every field type, text cutting and the value-kind rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

constexpr char kPw[] = "583027";

class RecordsTest : public TableTest {
  protected:
    // A ledger record laid out by hand.
    static Bytes ledgerRecord(std::int32_t id, double date, std::string_view customer,
                              std::string_view event, double amount, std::string_view remark,
                              bool settled) {
        Bytes r(361, 0);
        put32(r, 0, id);
        putDouble(r, 4, date);
        putText(r, 12, customer);  // each text is shorter than its width: a NUL follows
        putText(r, 52, event);
        putDouble(r, 152, amount);
        putText(r, 160, remark);
        r[360] = settled ? 1 : 0;
        return r;
    }
    static TableShape withCounts(TableShape s, std::int32_t count, std::int32_t nextId) {
        s.recordCount = count;
        s.nextId = nextId;
        return s;
    }
    Bytes expectedLedger(std::int32_t count, std::int32_t nextId,
                         std::initializer_list<Bytes> records) {
        Bytes plain = headerBytes(withCounts(ledgerShape(kPw), count, nextId));
        for (const Bytes& r : records) plain.insert(plain.end(), r.begin(), r.end());
        return scrambled(plain, kPw);
    }
    bool appendLedger(TableFile& t, double date, std::string customer, std::string event,
                      double amount, std::string remark, bool settled) {
        return t
            .append({TableValue::dateTime(date), TableValue::text(std::move(customer)),
                     TableValue::text(std::move(event)), TableValue::number(amount),
                     TableValue::text(std::move(remark)), TableValue::boolean(settled)})
            .ok();
    }
};

TEST_F(RecordsTest, AppendWritesTheSlotThenCountAndNextId) {
    ASSERT_EQ(createTable(at("l.edb"), kPw, ledgerFields()), 0);
    TableFile t;
    ASSERT_TRUE(t.open(at("l.edb"), kPw));
    ASSERT_TRUE(appendLedger(t, 45000, gbk::kZhangSan, "frame", 12.5, "", true));
    ASSERT_TRUE(appendLedger(t, 45001.25, "b", "print", -3, "note", false));
    t.close();
    EXPECT_EQ(readFile(dir / "l.edb"),
              expectedLedger(2, 3,
                             {ledgerRecord(1, 45000, gbk::kZhangSan, "frame", 12.5, "", true),
                              ledgerRecord(2, 45001.25, "b", "print", -3, "note", false)}));
}

TEST_F(RecordsTest, AppendTakesTheIdFromTheHeaderAndAbsentValuesStayZero) {
    TableShape shape = withCounts(ledgerShape(kPw), 0, 41);
    writeTable("l.edb", shape);
    TableFile t;
    ASSERT_TRUE(t.open(at("l.edb"), kPw));
    ASSERT_TRUE(t.append({TableValue(), TableValue::text("x")}));
    EXPECT_EQ(t.recordId(), 41);
    EXPECT_EQ(t.read(gbk::kDate), TableValue::dateTime(0));
    EXPECT_EQ(t.read(gbk::kStatus), TableValue::boolean(false));
    t.close();
    Bytes rec(361, 0);
    put32(rec, 0, 41);
    putText(rec, 12, "x");
    EXPECT_EQ(readFile(dir / "l.edb"), expectedLedger(1, 42, {rec}));
}

TEST_F(RecordsTest, WriteRewritesFieldsButNeverTheIdAndKeepsBytesAfterTheNul) {
    ASSERT_EQ(createTable(at("l.edb"), kPw, ledgerFields()), 0);
    TableFile t;
    ASSERT_TRUE(t.open(at("l.edb"), kPw));
    ASSERT_TRUE(appendLedger(t, 1, "abcdefgh", "e", 1, "r", false));
    ASSERT_TRUE(appendLedger(t, 2, "second", "e2", 2, "r2", false));
    ASSERT_TRUE(t.goTo(1));
    ASSERT_TRUE(t.markDeleted());
    // Absent values leave their fields; a shorter text leaves the old tail.
    ASSERT_TRUE(t.write({TableValue(), TableValue::text("xy"), TableValue(), TableValue::integer(7),
                         TableValue(), TableValue::boolean(true)}));
    EXPECT_TRUE(t.isDeleted());
    EXPECT_EQ(t.read(gbk::kCustomer).asText(), "xy");
    EXPECT_EQ(t.read(gbk::kAmount), TableValue::number(7));
    t.close();
    Bytes first = ledgerRecord(-1, 1, "abcdefgh", "e", 7, "r", true);
    putText(first, 12, std::string("xy\0", 3));  // "def gh" after the NUL stays
    EXPECT_EQ(readFile(dir / "l.edb"),
              expectedLedger(2, 3, {first, ledgerRecord(2, 2, "second", "e2", 2, "r2", false)}));
}

TEST_F(RecordsTest, MarkDeletedNegatesOnlyTheIdAndOnlyOnce) {
    ASSERT_EQ(createTable(at("l.edb"), kPw, ledgerFields()), 0);
    TableFile t;
    ASSERT_TRUE(t.open(at("l.edb"), kPw));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(appendLedger(t, i, "c", "e", i, "", false));
    ASSERT_TRUE(t.goTo(2));
    ASSERT_TRUE(t.markDeleted());
    ASSERT_TRUE(t.markDeleted());  // already marked: unchanged, still success
    EXPECT_EQ(lastTableError(), 0);
    EXPECT_EQ(t.recordNumber(), 2);
    ASSERT_TRUE(t.skip(2));
    EXPECT_FALSE(t.markDeleted());  // at the end of the table
    EXPECT_EQ(lastTableError(), -60);
    t.close();
    EXPECT_EQ(readFile(dir / "l.edb"),
              expectedLedger(3, 4,
                             {ledgerRecord(1, 0, "c", "e", 0, "", false),
                              ledgerRecord(-2, 1, "c", "e", 1, "", false),
                              ledgerRecord(3, 2, "c", "e", 2, "", false)}));
}

// Records big enough that one purge batch holds 163840 / 40004 = 4 of them.
class PurgeTest : public TableTest {
  protected:
    static constexpr std::int32_t kWidth = 40000;
    static constexpr std::int32_t kSize = 4 + kWidth;
    TableShape shape(std::int32_t count, std::int32_t nextId) const {
        TableShape s;
        s.password = "k";
        s.recordCount = count;
        s.nextId = nextId;
        s.recordSize = kSize;
        s.fields = {{"t", 10, 4, kWidth}};
        return s;
    }
    static Bytes slot(std::int32_t id) {
        Bytes r(kSize, 0);
        put32(r, 0, id);
        for (int k = 0; k < kWidth; k += 997)
            r[4 + k] = std::uint8_t('a' + (std::abs(id) + k) % 26);
        return r;
    }
    // A table of `ids` (negative: marked deleted).
    void make(const std::vector<std::int32_t>& ids) {
        Bytes slots;
        for (auto id : ids) {
            Bytes r = slot(id);
            slots.insert(slots.end(), r.begin(), r.end());
        }
        writeTable("p.edb", shape(static_cast<std::int32_t>(ids.size()), 100), slots);
    }
    Bytes expected(const std::vector<std::int32_t>& kept) const {
        Bytes plain = headerBytes(shape(static_cast<std::int32_t>(kept.size()), 100));
        for (auto id : kept) {
            Bytes r = slot(id);
            plain.insert(plain.end(), r.begin(), r.end());
        }
        return scrambled(plain, "k");
    }
};

TEST_F(PurgeTest, DropsMarkedRecordsAcrossBatchesKeepingOrderAndNextId) {
    // Drops in the first, second and third batch, including two in a row
    // across a batch boundary.
    make({1, -2, 3, 4, -5, 6, 7, -8, -9, 10, 11});
    TableFile t;
    ASSERT_TRUE(t.open(at("p.edb"), "k"));
    ASSERT_TRUE(t.goTo(5));
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_EQ(t.recordCount(), 7);
    t.close();
    EXPECT_EQ(readFile(dir / "p.edb"), expected({1, 3, 4, 6, 7, 10, 11}));
}

TEST_F(PurgeTest, WritesBackOnlyFromTheFirstDroppedRecord) {
    make({1, 2, 3, 4, 5, 6, -7, 8, 9});
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_TRUE(t.open(at("p.edb"), "k"));
    ffs.resetCounts();
    ASSERT_TRUE(t.purge());
    // Records 8 and 9 move down, each with its own batch and in the same
    // write the slot it left marked deleted; then the 4-byte count.
    EXPECT_EQ(ffs.counts().bytesWritten, 4 * kSize + 4);
    EXPECT_EQ(ffs.counts().writes, 3);
    EXPECT_EQ(ffs.counts().truncates, 1);
    t.close();
    EXPECT_EQ(readFile(dir / "p.edb"), expected({1, 2, 3, 4, 5, 6, 8, 9}));
}

TEST_F(PurgeTest, NothingMarkedWritesNothing) {
    make({1, 2, 3, 4, 5});
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_TRUE(t.open(at("p.edb"), "k"));
    ffs.resetCounts();
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(ffs.counts().writes, 0);
    EXPECT_EQ(ffs.counts().truncates, 0);
    EXPECT_EQ(t.recordCount(), 5);
}

TEST_F(PurgeTest, AllMarkedLeavesAnEmptyTable) {
    make({-1, -2, -3, -4, -5, -6});
    TableFile t;
    ASSERT_TRUE(t.open(at("p.edb"), "k"));
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(t.recordCount(), 0);
    t.close();
    EXPECT_EQ(readFile(dir / "p.edb"), expected({}));
}

TEST_F(PurgeTest, RecordsLargerThanABatchGoOneByOne) {
    TableShape s;
    s.recordSize = 4 + 200000;
    s.fields = {{"t", 10, 4, 200000}};
    s.recordCount = 3;
    Bytes slots(3 * s.recordSize, 0);
    put32(slots, 0, 1);
    put32(slots, s.recordSize, -2);
    put32(slots, 2 * s.recordSize, 3);
    slots[2 * s.recordSize + 4] = 'z';
    writeTable("big.edb", s, slots);
    TableFile t;
    ASSERT_TRUE(t.open(at("big.edb"), ""));
    ASSERT_TRUE(t.purge());
    EXPECT_EQ(t.recordCount(), 2);
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.recordId(), 3);
    EXPECT_EQ(t.read("t").asText(), "z");
}

TEST_F(PurgeTest, ShortBatchReadFailsWithoutLosingRecordsOrTheCount) {
    make({1, -2, 3, 4, 5, 6, 7, 8, 9});
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_TRUE(t.open(at("p.edb"), "k"));
    ffs.shortReadsAfter(4 + 4 * kSize);  // the count and the first batch
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -62);
    ffs.clearFaults();
    EXPECT_EQ(t.recordCount(), 9);
    // Every live record is still there once, in order; what stands between
    // them is marked deleted.
    std::vector<std::int32_t> live;
    ASSERT_TRUE(t.goFirst());
    ASSERT_TRUE(t.forEachRecord([&] {
        if (!t.isDeleted()) live.push_back(t.recordId());
        return true;
    }));
    EXPECT_EQ(live, (std::vector<std::int32_t>{1, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_TRUE(t.purge());
    t.close();
    EXPECT_EQ(readFile(dir / "p.edb"), expected({1, 3, 4, 5, 6, 7, 8, 9}));
}

// Every field type through append, read and the file.
class FieldTypesTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("all"), "",
                              {{"b", FieldType::Byte, 0, 0},
                               {"s", FieldType::Short, 0, 0},
                               {"i", FieldType::Integer, 0, 0},
                               {"l", FieldType::Long, 0, 0},
                               {"f", FieldType::Float, 0, 0},
                               {"d", FieldType::Double, 0, 0},
                               {"o", FieldType::Bool, 0, 0},
                               {"t", FieldType::DateTime, 0, 0},
                               {"r", FieldType::SubRef, 0, 0},
                               {"x", FieldType::Text, 0, 6},
                               {"y", FieldType::Bytes, 0, 0},
                               {"m", FieldType::Memo, 0, 0}}),
                  0);
        ASSERT_TRUE(t.open(at("all"), ""));
    }
    // Offsets: b 4, s 5, i 7, l 11, f 19, d 23, o 31, t 32, r 40, x 44, y 50, m 54; size 58.
    Bytes slotBytes(int slot) {
        Bytes f = readFile(dir / "all.EDB");
        const std::size_t start = 116 + 12 * 72 + std::size_t(slot) * 58;
        return Bytes(f.begin() + start, f.begin() + start + 58);
    }
    TableFile t;
};

TEST_F(FieldTypesTest, EachTypeStoresItsBytesAndReadsBackItsKind) {
    ASSERT_TRUE(
        t.append({TableValue::integer(200), TableValue::integer(-12345), TableValue::integer(-7),
                  TableValue::integer(std::numeric_limits<std::int64_t>::max() - 1),
                  TableValue::number(1.5), TableValue::number(-2.25), TableValue::boolean(true),
                  TableValue::dateTime(45000.5), TableValue::subRef(77), TableValue::text("abc"),
                  TableValue::bytes(std::string("\0\1\2", 3)), TableValue::text("memo")}));
    Bytes expect(58, 0);
    put32(expect, 0, 1);
    expect[4] = 200;
    expect[5] = 0xC7;  // -12345 = 0xCFC7
    expect[6] = 0xCF;
    put32(expect, 7, -7);
    put64(expect, 11, std::numeric_limits<std::int64_t>::max() - 1);
    putFloat(expect, 19, 1.5f);
    putDouble(expect, 23, -2.25);
    expect[31] = 1;
    putDouble(expect, 32, 45000.5);
    put32(expect, 40, 77);
    putText(expect, 44, std::string("abc\0", 4));
    put32(expect, 50, 1);  // the byte set's chain: block 1
    put32(expect, 54, 2);  // the memo text's chain: block 2
    EXPECT_EQ(slotBytes(0), expect);

    EXPECT_EQ(t.read("b"), TableValue::integer(200));
    EXPECT_EQ(t.read("s"), TableValue::integer(-12345));
    EXPECT_EQ(t.read("i"), TableValue::integer(-7));
    EXPECT_EQ(t.read("l").asInteger(), std::numeric_limits<std::int64_t>::max() - 1);
    EXPECT_EQ(t.read("f"), TableValue::number(1.5));
    EXPECT_EQ(t.read("d"), TableValue::number(-2.25));
    EXPECT_EQ(t.read("o"), TableValue::boolean(true));
    EXPECT_EQ(t.read("t"), TableValue::dateTime(45000.5));
    EXPECT_EQ(t.read("r"), TableValue::subRef(77));
    EXPECT_EQ(t.read("x"), TableValue::text("abc"));
    EXPECT_EQ(t.read("y"), TableValue::bytes(std::string("\0\1\2", 3)));
    EXPECT_EQ(t.read("m"), TableValue::text("memo"));
    for (int k = 1; k <= 12; ++k) {
        (void)t.read(k);
        EXPECT_EQ(lastTableError(), 0) << k;
    }
}

TEST_F(FieldTypesTest, NumbersConvertToTheFieldsType) {
    // Doubles truncate toward zero into integer fields; integers keep all 64
    // bits; values beyond a narrow type saturate.
    ASSERT_TRUE(t.append({TableValue::integer(300), TableValue::number(-2.9),
                          TableValue::number(1e12), TableValue::integer(-9007199254740993),
                          TableValue::integer(3), TableValue::integer(9007199254740993)}));
    EXPECT_EQ(t.read("b"), TableValue::integer(255));
    EXPECT_EQ(t.read("s"), TableValue::integer(-2));
    EXPECT_EQ(t.read("i"), TableValue::integer(2147483647));
    EXPECT_EQ(t.read("l").asInteger(), -9007199254740993);
    EXPECT_EQ(t.read("f"), TableValue::number(3));
    EXPECT_EQ(t.read("d").asNumber(), 9007199254740992.0);
    ASSERT_TRUE(t.write({TableValue::number(-1), TableValue::number(std::nan("")),
                         TableValue::number(-1e300), TableValue::number(1e300),
                         TableValue::number(1e300)}));
    EXPECT_EQ(t.read("b"), TableValue::integer(0));
    EXPECT_EQ(t.read("s"), TableValue::integer(0));
    EXPECT_EQ(t.read("i"), TableValue::integer(-2147483647 - 1));
    EXPECT_EQ(t.read("l").asInteger(), std::numeric_limits<std::int64_t>::max());
    EXPECT_TRUE(std::isinf(t.read("f").asNumber()));
}

TEST_F(FieldTypesTest, WrongKindsFailWith72AndWriteNothing) {
    ASSERT_TRUE(t.append({TableValue::integer(1)}));
    const Bytes table = readFile(dir / "all.EDB"), memo = readFile(dir / "all.EDT");
    const std::vector<std::vector<TableValue>> bad = {
        {TableValue::boolean(true)},  // bool for a number
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue::integer(1)},  // number for a bool
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue::text("2024-01-01")},  // text for a date-time
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue::number(45000)},  // number for a date-time
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue(), TableValue::integer(1)},  // number for a subroutine reference
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue(), TableValue(), TableValue::bytes("b")},  // byte set for text
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue::text("t")},  // text for a byte set
        // A good memo value first does not get written either.
        {TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
         TableValue::bytes("m")},
    };
    for (std::size_t k = 0; k < bad.size(); ++k) {
        setLastTableError(kOk);
        EXPECT_FALSE(t.append(bad[k])) << k;
        EXPECT_EQ(lastTableError(), -72) << k;
        setLastTableError(kOk);
        EXPECT_FALSE(t.write(bad[k])) << k;
        EXPECT_EQ(lastTableError(), -72) << k;
    }
    EXPECT_EQ(readFile(dir / "all.EDB"), table);
    EXPECT_EQ(readFile(dir / "all.EDT"), memo);
    // Values past the field count are ignored, whatever their kind.
    std::vector<TableValue> extra(13);
    extra[12] = TableValue::boolean(true);
    EXPECT_TRUE(t.write(extra));
}

TEST_F(FieldTypesTest, TextCutsAtTheWidthEvenInsideADoubleByteCharacter) {
    ASSERT_TRUE(t.append({TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
                          TableValue(), TableValue(), TableValue(), TableValue(),
                          TableValue::text("abcdef")}));
    Bytes s = slotBytes(0);
    EXPECT_EQ(std::string(s.begin() + 44, s.begin() + 50), "abcdef");  // exactly the width: no NUL
    EXPECT_EQ(t.read("x").asText(), "abcdef");
    EXPECT_EQ(s[50], 0);  // the next field is untouched

    // "ab" + 张三 is 6 bytes; one more character cuts 三 in half.
    const std::string cut = "abc" + gbk::kZhangSan;  // 7 bytes
    ASSERT_TRUE(
        t.write({TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
                 TableValue(), TableValue(), TableValue(), TableValue::text(cut)}));
    EXPECT_EQ(t.read("x").asText(), cut.substr(0, 6));
    ASSERT_TRUE(
        t.write({TableValue(), TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
                 TableValue(), TableValue(), TableValue(), TableValue::text("")}));
    s = slotBytes(0);
    EXPECT_EQ(s[44], 0);
    EXPECT_EQ(std::string(s.begin() + 45, s.begin() + 50), std::string("bc\xD5\xC5\xC8", 5));
    EXPECT_EQ(t.read("x").asText(), "");
}

TEST_F(FieldTypesTest, StoredBytesReadAsTheFormatSays) {
    ASSERT_TRUE(t.append({TableValue::integer(1)}));
    t.close();
    // Patch the slot by hand: a bool byte of 7, dates beyond both ends and a NaN.
    auto patch = [&](std::size_t off, auto writer) {
        Bytes f = readFile(dir / "all.EDB");
        writer(f, 116 + 12 * 72 + off);
        writeFile(dir / "all.EDB", f);
    };
    patch(31, [](Bytes& f, std::size_t at) { f[at] = 7; });
    patch(32, [](Bytes& f, std::size_t at) { putDouble(f, at, 3e6); });
    ASSERT_TRUE(t.open(at("all"), ""));
    EXPECT_EQ(t.read("o"), TableValue::boolean(true));
    EXPECT_EQ(t.read("t"), TableValue::dateTime(2958465));
    t.close();
    patch(32, [](Bytes& f, std::size_t at) { putDouble(f, at, -1e9); });
    ASSERT_TRUE(t.open(at("all"), ""));
    EXPECT_EQ(t.read("t"), TableValue::dateTime(-657434));
    t.close();
    patch(32, [](Bytes& f, std::size_t at) {
        putDouble(f, at, -std::numeric_limits<double>::infinity());
    });
    ASSERT_TRUE(t.open(at("all"), ""));
    EXPECT_EQ(t.read("t"), TableValue::dateTime(-657434));
    t.close();
    patch(32, [](Bytes& f, std::size_t at) { putDouble(f, at, std::nan("")); });
    ASSERT_TRUE(t.open(at("all"), ""));
    EXPECT_EQ(t.read("t"), TableValue::dateTime(0));
    t.close();
    // A text field without any NUL reads its whole width.
    patch(44, [](Bytes& f, std::size_t at) { putText(f, at, "zzzzzz"); });
    ASSERT_TRUE(t.open(at("all"), ""));
    EXPECT_EQ(t.read("x").asText(), "zzzzzz");
}

}  // namespace
}  // namespace tables::testing
