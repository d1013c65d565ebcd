// The check's two severities and the repair: what a stopped operation leaves
// is a warning that repair mends without changing any record a reader sees;
// damage fails the check and repair refuses it. A repair that stops before
// any of its writes leaves a file that passes the check and that the next
// repair finishes.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "file_io.h"
#include "support/fault_fs.h"
#include "support/table_fixture.h"
#include "table_check.h"

namespace tables::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPw = "k";

class RepairTest : public TableTest {
  protected:
    fs::path tablePath() const { return dir / "r.EDB"; }
    fs::path memoPath() const { return dir / "r.EDT"; }

    // Values of record i: memo texts of 1 to 4 blocks, a one-block byte set.
    static std::string memoText(int i) {
        return std::string(std::size_t(200 + 330 * (i % 5)), char('a' + i % 26));
    }
    static std::vector<TableValue> values(int i) {
        return {TableValue::integer(i), TableValue::text(memoText(i)),
                TableValue::bytes(std::string(std::size_t(i * 7), char(i))),
                TableValue::text(std::to_string(i).append("r"))};
    }

    // Table "r": n integer, m memo, b byte set, t text. With the default
    // width: 24-byte records; record i's memo chains are laid out one after
    // the other (record 1: m 1-2, b 3; record 2: m 4-5, b 6; record 3: m 7-9,
    // b 10; record 4: m 11-14, b 15; record 5: m 16, b 17; record 6: m
    // 18-19, b 20 ...).
    void build(int records, std::int32_t width = 8) {
        ASSERT_EQ(createTable(at("r"), kPw,
                              {{"n", FieldType::Integer, 0, 0},
                               {"m", FieldType::Memo, 0, 0},
                               {"b", FieldType::Bytes, 0, 0},
                               {"t", FieldType::Text, 0, width}}),
                  kOk);
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
        for (int i = 1; i <= records; ++i) ASSERT_TRUE(t.append(values(i)));
        rs_ = t.recordSize();
        dataStart_ = static_cast<std::size_t>(t.dataStart());
    }

    Bytes table() const { return readPlain(tablePath(), kPw); }
    Bytes memo() const { return readPlain(memoPath(), kPw); }
    void setTable(const Bytes& b) const { writePlain(tablePath(), b, kPw); }
    void setMemo(const Bytes& b) const { writePlain(memoPath(), b, kPw); }

    Bytes slot(const Bytes& t, std::size_t s) const {
        const auto at = t.begin() + std::ptrdiff_t(dataStart_ + s * std::size_t(rs_));
        return Bytes(at, at + rs_);
    }
    static Bytes negated(Bytes s) {
        put32(s, 0, -get32(s, 0));
        return s;
    }
    // Puts `slots` in place of every slot (the header's count unchanged).
    void setSlots(const std::vector<Bytes>& slots) const {
        Bytes t = table();
        t.resize(dataStart_);
        for (const Bytes& s : slots) t.insert(t.end(), s.begin(), s.end());
        setTable(t);
    }
    void patchMemo(std::size_t at, std::int32_t v) const {
        Bytes m = memo();
        put32(m, at, v);
        setMemo(m);
    }
    void patchTable(std::size_t at, std::int32_t v) const {
        Bytes t = table();
        put32(t, at, v);
        setTable(t);
    }

    // Every finding as "damage: text" or "warning: text".
    static std::vector<std::string> lines(const std::vector<Finding>& findings) {
        std::vector<std::string> out;
        for (const Finding& f : findings)
            out.push_back((f.severity == Severity::Damage ? "damage: " : "warning: ") + f.text);
        return out;
    }
    std::vector<std::string> check() const {
        CheckReport report;
        const Status s = checkTable(at("r"), kPw, report);
        EXPECT_TRUE(s) << s.message();
        return lines(report.findings);
    }
    bool damaged() const {
        CheckReport report;
        EXPECT_TRUE(checkTable(at("r"), kPw, report));
        return report.damaged();
    }

    // What readers see: per id of a live record (its first live slot), the
    // slot's bytes and every field's value.
    struct Visible {
        Bytes slot;
        std::vector<TableValue> values;
        bool operator==(const Visible&) const = default;
        friend void PrintTo(const Visible& v, std::ostream* os) {
            *os << v.slot.size() << "-byte slot, " << v.values.size() << " values";
        }
    };
    std::map<std::int32_t, Visible> visible() const {
        std::map<std::int32_t, Visible> out;
        const Bytes t = table();
        TableFile f;
        OpenOptions ro;
        ro.readOnly = true;
        EXPECT_TRUE(f.open(at("r"), kPw, ro));
        const std::int32_t count = f.recordCount();
        for (std::int32_t r = 1; r <= count; ++r) {
            EXPECT_TRUE(f.goTo(r));
            const std::int32_t id = f.recordId();
            if (id <= 0 || out.count(id)) continue;
            Visible v{slot(t, std::size_t(r - 1)), {}};
            for (int k = 1; k <= 4; ++k) v.values.push_back(f.read(k));
            EXPECT_EQ(lastTableError(), kOk) << "record " << r;
            out[id] = std::move(v);
        }
        return out;
    }

    RepairReport repair() const {
        RepairReport report;
        const Status s = repairTable(at("r"), kPw, report);
        EXPECT_TRUE(s) << s.message();
        return report;
    }

    std::int32_t rs_ = 0;
    std::size_t dataStart_ = 0;
};

const std::string kRun = " left by an interrupted purge: run edbtool repair";

TEST_F(RepairTest, ASoundTableHasNothingToRepair) {
    build(4);
    EXPECT_TRUE(check().empty());
    const Bytes t = readFile(tablePath()), m = readFile(memoPath());
    const RepairReport r = repair();
    EXPECT_TRUE(r.findings.empty());
    EXPECT_TRUE(r.changes.empty());
    EXPECT_EQ(readFile(tablePath()), t);
    EXPECT_EQ(readFile(memoPath()), m);
}

TEST_F(RepairTest, AStoppedAppendIsUndoneExactly) {
    build(3);
    const Bytes t0 = table(), m0 = memo();
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
        ASSERT_TRUE(t.append(values(4)));
    }
    // The 8 bytes of count and next id were never written: the new slot and
    // the chains made for it belong to nothing.
    patchTable(16, 3);
    patchTable(20, 4);
    EXPECT_EQ(check(), (std::vector<std::string>{
                           "warning: 24 bytes follow the last record slot",
                           "warning: blocks 11 to 15 are neither free nor in any chain"}));
    const auto seen = visible();
    EXPECT_EQ(repair().changes, (std::vector<std::string>{
                                    "cut the 24 bytes that followed the last record slot",
                                    "cut leaked blocks 11 to 15 off the end of the memo file"}));
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(visible(), seen);
    EXPECT_EQ(table(), t0);
    EXPECT_EQ(memo(), m0);
}

TEST_F(RepairTest, FreeListLeftoversGoBackOnTheList) {
    build(3);
    {
        // Record 3's memo shrinks to one block: blocks 8 and 9 are freed.
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
        ASSERT_TRUE(t.goTo(3));
        ASSERT_TRUE(t.write({TableValue(), TableValue::text("short")}));
    }
    const Bytes m0 = memo();
    ASSERT_EQ(get32(m0, 24), 8);
    ASSERT_EQ(get32(m0, 20), 2);
    const auto seen = visible();

    // A count above the list's length: the blocks unlinked before a header
    // write that never came.
    patchMemo(20, 4);
    EXPECT_EQ(check(), std::vector<std::string>{
                           "warning: the free list holds 2 blocks but the header counts 4"});
    EXPECT_EQ(repair().changes, std::vector<std::string>{"set the free block count from 4 to 2"});
    EXPECT_EQ(memo(), m0);

    // Blocks freed but never put on the list.
    patchMemo(20, 0);
    patchMemo(24, 0);
    EXPECT_EQ(check(),
              std::vector<std::string>{"warning: blocks 8 to 9 are neither free nor in any chain"});
    EXPECT_EQ(repair().changes,
              std::vector<std::string>{"put leaked blocks 8 to 9 on the free list"});
    EXPECT_EQ(memo(), m0);
    EXPECT_EQ(visible(), seen);
}

TEST_F(RepairTest, SurplusMemoBytesAreCut) {
    build(2);
    const Bytes m0 = memo();
    Bytes m = m0;
    m.resize(m.size() + 1100, 0x5A);
    setMemo(m);
    const std::string length = std::to_string(m.size());
    const std::string blocks = std::to_string(m0.size() / 512);
    EXPECT_EQ(check(), (std::vector<std::string>{
                           "warning: the memo file's length " + length +
                               " is not a whole number of 512-byte blocks",
                           "warning: the memo file holds " + std::to_string(m.size() / 512) +
                               " blocks but its header counts only " + blocks}));
    // A writable open leaves them alone.
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
    }
    EXPECT_EQ(memo(), m);
    EXPECT_EQ(repair().changes,
              std::vector<std::string>{"cut the 1100 bytes that followed the memo file's " +
                                       blocks + " counted blocks"});
    EXPECT_EQ(memo(), m0);
}

class PurgeLeftoverTest : public RepairTest {
  protected:
    // Six records, 2 and 4 marked deleted; the slots a stopped purge leaves.
    void SetUp() override {
        RepairTest::SetUp();
        build(6);
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
        for (const std::int32_t r : {2, 4}) {
            ASSERT_TRUE(t.goTo(r));
            ASSERT_TRUE(t.markDeleted());
        }
        t.close();
        const Bytes b = table();
        for (std::size_t s = 0; s < 6; ++s) s_.push_back(slot(b, s));
    }
    std::vector<Bytes> s_;  // the slots before the purge
};

TEST_F(PurgeLeftoverTest, DeletedCopiesOfMovedRecordsAreRemoved) {
    // The kept records moved down, their old places marked deleted; the
    // count and the freeing of the dropped chains never came.
    setSlots({s_[0], s_[2], s_[4], s_[5], negated(s_[4]), negated(s_[5])});
    EXPECT_EQ(check(), (std::vector<std::string>{
                           "warning: record 5 is a deleted copy of record 3" + kRun,
                           "warning: record 6 is a deleted copy of record 4" + kRun,
                           "warning: blocks 4 to 6 are neither free nor in any chain",
                           "warning: blocks 11 to 15 are neither free nor in any chain"}));
    const auto seen = visible();
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(repair().changes,
              (std::vector<std::string>{"removed record 5, a deleted copy of record 3",
                                        "removed record 6, a deleted copy of record 4",
                                        "lowered the record count from 6 to 4",
                                        "put leaked blocks 4 to 6 on the free list",
                                        "put leaked blocks 11 to 15 on the free list"}));
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(visible(), seen);
    EXPECT_EQ(table().size(), dataStart_ + 4 * std::size_t(rs_));
    // The table works on: a new value takes the freed blocks.
    TableFile t;
    ASSERT_TRUE(t.open(at("r"), kPw));
    ASSERT_TRUE(t.append(values(7)));
    t.close();
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(get32(memo(), 16), 21);
}

TEST_F(PurgeLeftoverTest, IdenticalLiveCopiesAreMarkedThenRemoved) {
    // The moved records were written, their old places not yet marked.
    setSlots({s_[0], s_[2], s_[4], s_[5], s_[4], s_[5]});
    const std::vector<std::string> found = check();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0], "warning: records 3 and 5 are the same record twice," + kRun);
    EXPECT_EQ(found[1], "warning: records 4 and 6 are the same record twice," + kRun);
    const auto seen = visible();
    EXPECT_EQ(repair().changes,
              (std::vector<std::string>{"marked record 5 deleted: the same record as record 3",
                                        "marked record 6 deleted: the same record as record 4",
                                        "removed record 5, a second copy of record 3",
                                        "removed record 6, a second copy of record 4",
                                        "lowered the record count from 6 to 4",
                                        "put leaked blocks 4 to 6 on the free list",
                                        "put leaked blocks 11 to 15 on the free list"}));
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(visible(), seen);
}

TEST_F(PurgeLeftoverTest, AnUndoneMoveKeepsTheLiveOriginal) {
    // A move undone: the copy below marked deleted, the original live above.
    setSlots({s_[0], negated(s_[2]), s_[2], s_[3], s_[4], s_[5]});
    EXPECT_EQ(check(), (std::vector<std::string>{
                           "warning: record 2 is a deleted copy of record 3" + kRun,
                           "warning: blocks 4 to 6 are neither free nor in any chain"}));
    const auto seen = visible();
    EXPECT_EQ(repair().changes,
              (std::vector<std::string>{"removed record 2, a deleted copy of record 3",
                                        "lowered the record count from 6 to 5",
                                        "put leaked blocks 4 to 6 on the free list"}));
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(visible(), seen);
    // Record 4 (marked deleted by the user) stays for purge to remove.
    TableFile t;
    ASSERT_TRUE(t.open(at("r"), kPw));
    ASSERT_TRUE(t.goTo(3));
    EXPECT_TRUE(t.isDeleted());
}

// Damage the repair will not touch: it refuses, changing no byte.
class RefusalTest : public PurgeLeftoverTest {
  protected:
    void expectRefused(TableError code, const std::string& line) {
        const Bytes t = readFile(tablePath()), m = readFile(memoPath());
        const std::vector<std::string> found = check();
        EXPECT_NE(std::find(found.begin(), found.end(), line), found.end())
            << ::testing::PrintToString(found);
        RepairReport report;
        const Status s = repairTable(at("r"), kPw, report);
        EXPECT_EQ(s.code(), code);
        EXPECT_TRUE(report.changes.empty());
        EXPECT_EQ(lines(report.findings), found);
        EXPECT_EQ(readFile(tablePath()), t);
        EXPECT_EQ(readFile(memoPath()), m);
    }
};

TEST_F(RefusalTest, LiveCopiesThatDiffer) {
    Bytes changed = s_[4];
    put32(changed, 4, 99);
    setSlots({s_[0], s_[2], s_[4], s_[5], changed, s_[5]});
    expectRefused(kNotATable, "damage: records 3 and 5 share the id 5 but differ");
}

TEST_F(RefusalTest, ABlockInTwoRecordsChains) {
    Bytes second = s_[1];
    put32(second, 8, get32(s_[0], 8));  // record 2's memo starts at record 1's block
    setSlots({s_[0], second, s_[2], s_[3], s_[4], s_[5]});
    expectRefused(kNotAMemoFile,
                  "damage: record 2 field 2 \"m\": block 1 also belongs to the chain of record 1 "
                  "field 2 \"m\"");
}

TEST_F(RefusalTest, AChainRunningIntoTheFreeList) {
    TableFile t;
    ASSERT_TRUE(t.open(at("r"), kPw));
    ASSERT_TRUE(t.goTo(3));
    ASSERT_TRUE(t.write({TableValue(), TableValue::text("short")}));  // frees 8 and 9
    t.close();
    patchMemo(5 * 512 + 4, 8);  // record 2's last memo block goes on into block 8
    patchMemo(5 * 512 + 8, 500);
    expectRefused(kNotAMemoFile,
                  "damage: free block 8 is also in the chain of record 2 field 2 "
                  "\"m\"");
}

TEST_F(RefusalTest, TooFewSlotsForTheCount) {
    patchTable(16, 7);
    expectRefused(kTableSizeWrong,
                  "damage: the file holds 6 whole record slots but the header counts 7");
}

// Every leftover at once, in a table whose records span several batches
// (8 per batch), stopped at each call of the repair in turn.
class RepairStopTest : public RepairTest {
  protected:
    void SetUp() override {
        RepairTest::SetUp();
        build(24, 20000);
        TableFile t;
        ASSERT_TRUE(t.open(at("r"), kPw));
        ASSERT_TRUE(t.write({TableValue(), TableValue::text("x")}));  // record 1: frees a block
        t.close();
        const Bytes b = table();
        std::vector<Bytes> s;
        for (std::size_t k = 0; k < 24; ++k) s.push_back(slot(b, k));
        // Records 1-5; ten deleted copies of them; record 5 twice; a deleted
        // copy of record 18 below it; records 18-24. Records 6-17 are gone.
        std::vector<Bytes> slots(s.begin(), s.begin() + 5);
        for (int r = 0; r < 2; ++r)
            for (std::size_t k = 0; k < 5; ++k) slots.push_back(negated(s[k]));
        slots.push_back(s[4]);
        slots.push_back(negated(s[17]));
        slots.insert(slots.end(), s.begin() + 17, s.end());
        setSlots(slots);
        // An append that stopped before its count, a memo write that stopped
        // before its header, a free count above the list.
        ASSERT_TRUE(t.open(at("r"), kPw));
        ASSERT_TRUE(t.append(values(25)));
        t.close();
        patchTable(16, 24);
        patchTable(20, 25);
        Bytes m = memo();
        put32(m, 20, get32(m, 20) + 2);
        m.resize(m.size() + 700, 1);
        setMemo(m);

        tableBytes_ = readFile(tablePath());
        memoBytes_ = readFile(memoPath());
        seen_ = visible();
    }
    void restore() const {
        writeFile(tablePath(), tableBytes_);
        writeFile(memoPath(), memoBytes_);
    }

    // Stops the repair at each of its calls in turn: with `crash`, the
    // process dies before its k-th write or truncate; otherwise its k-th I/O
    // call of any kind fails. The file must pass the check right after, and
    // one more repair must finish it.
    void stopEachCall(bool crash) {
        int stops = 0;
        for (int k = 1;; ++k) {
            SCOPED_TRACE(::testing::Message() << "stopped at call " << k);
            ASSERT_LT(k, 2000);
            restore();
            bool stopped = false;
            {
                FaultFileSystem ffs;
                ScopedFileSystem use(ffs);
                if (crash)
                    ffs.crashAtWrite(k);
                else
                    ffs.failCall(k);
                RepairReport report;
                const Status s = repairTable(at("r"), kPw, report);
                const char* failed = ffs.failedCall();
                stopped = crash ? ffs.crashed() : failed != nullptr;
                // A crash is not heard; a failed lock is tried again (the
                // 2 s wait for another process) and a failed unlock comes
                // after the work: either may end in success.
                const bool retried =
                    failed && (std::string(failed) == "lock" || std::string(failed) == "unlock");
                if (!crash && !retried) {
                    EXPECT_EQ(s.ok(), !stopped) << failed << ": " << s.message();
                }
                ffs.clearFaults();
            }
            EXPECT_FALSE(damaged());
            EXPECT_EQ(visible(), seen_);
            repair();
            EXPECT_TRUE(check().empty()) << ::testing::PrintToString(check());
            EXPECT_EQ(visible(), seen_);
            if (!stopped) break;
            stops = k;
        }
        EXPECT_GT(stops, 30);
    }

    Bytes tableBytes_, memoBytes_;
    std::map<std::int32_t, Visible> seen_;
};

TEST_F(RepairStopTest, EveryLeftoverIsMended) {
    std::vector<std::string> expected = {"warning: " + std::to_string(rs_) +
                                         " bytes follow the last record slot"};
    for (int r = 1; r <= 5; ++r)
        for (const int copy : {r + 5, r + 10})
            expected.push_back("warning: record " + std::to_string(copy) +
                               " is a deleted copy of record " + std::to_string(r) + kRun);
    expected.push_back("warning: records 5 and 16 are the same record twice," + kRun);
    expected.push_back("warning: record 17 is a deleted copy of record 18" + kRun);
    const std::string blocks = std::to_string(get32(memo(), 16));
    expected.insert(expected.end(),
                    {"warning: the memo file's length " + std::to_string(memo().size()) +
                         " is not a whole number of 512-byte blocks",
                     "warning: the memo file holds " + std::to_string(memo().size() / 512) +
                         " blocks but its header counts only " + blocks,
                     "warning: the free list holds 0 blocks but the header counts 2",
                     // Record 25's memo took the free block 2, its byte set a new one.
                     "warning: block 2 is neither free nor in any chain",
                     // The chains of records 6 to 17.
                     "warning: blocks 18 to 57 are neither free nor in any chain",
                     "warning: block " + std::to_string(get32(memo(), 16) - 1) +
                         " is neither free nor in any chain"});
    EXPECT_EQ(check(), expected);
    EXPECT_EQ(seen_.size(), 12u);
    const RepairReport r = repair();
    EXPECT_EQ(r.changes.front(),
              "cut the " + std::to_string(rs_) + " bytes that followed the last record slot");
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(visible(), seen_);
    EXPECT_EQ(table().size(), dataStart_ + 12 * std::size_t(rs_));
}

TEST_F(RepairStopTest, ACrashBeforeAnyWriteLeavesAFileTheNextRepairFinishes) { stopEachCall(true); }

TEST_F(RepairStopTest, AFailedCallLeavesAFileTheNextRepairFinishes) { stopEachCall(false); }

}  // namespace
}  // namespace tables::testing
