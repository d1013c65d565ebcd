// Byte-range locks: the per-table lock bookkeeping, what each operation
// takes and gives back, locks of other processes, the retried record-count
// lock, and processes appending to one table at the same time.
#include "locks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "file_io.h"
#include "support/fault_fs.h"
#include "support/table_fixture.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tables::testing {
namespace {

using Held = FaultFileSystem::HeldLock;

class LockSetTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        writeFile(dir / "f", Bytes(64, 0));
        TableError e = kOk;
        file = ffs.open(at("f"), {}, &e);
        ASSERT_TRUE(file);
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> held() const {
        std::vector<std::pair<std::int64_t, std::int64_t>> out;
        for (const Held& h : ffs.heldLocks()) out.emplace_back(h.offset, h.length);
        std::sort(out.begin(), out.end());
        return out;
    }
    using Ranges = std::vector<std::pair<std::int64_t, std::int64_t>>;
    FaultFileSystem ffs;
    std::unique_ptr<File> file;
};

TEST_F(LockSetTest, NestedByteRequestsAreCounted) {
    LockSet locks(file.get(), true);
    ASSERT_EQ(locks.lockByte(16), 0);
    ASSERT_EQ(locks.lockByte(16), 0);
    EXPECT_EQ(ffs.counts().locks, 1);
    EXPECT_EQ(held(), (Ranges{{16, 1}}));
    ASSERT_EQ(locks.unlockByte(16), 0);
    EXPECT_EQ(held(), (Ranges{{16, 1}}));
    ASSERT_EQ(locks.unlockByte(16), 0);
    EXPECT_TRUE(held().empty());
    EXPECT_EQ(locks.unlockByte(16), -29);
    EXPECT_EQ(locks.lockByte(-1), -28);
}

TEST_F(LockSetTest, RangeIsTakenAroundHeldBytesAndNeverDropsThem) {
    LockSet locks(file.get(), true);
    ASSERT_EQ(locks.lockByte(500), 0);
    ASSERT_EQ(locks.lockByte(16), 0);
    ASSERT_EQ(locks.lockRange(0, 0x7FFFFFFF), 0);
    EXPECT_EQ(held(), (Ranges{{0, 16}, {16, 1}, {17, 483}, {500, 1}, {501, 0x7FFFFFFF - 501}}));
    ASSERT_EQ(locks.lockRange(0, 0x7FFFFFFF), 0);  // nested: counted only
    // A byte let go while the range is held stays locked until the range goes.
    ASSERT_EQ(locks.unlockByte(16), 0);
    EXPECT_EQ(held().size(), 5u);
    // A byte asked for inside the range needs no lock of its own yet.
    const int before = ffs.counts().locks;
    ASSERT_EQ(locks.lockByte(1000), 0);
    EXPECT_EQ(ffs.counts().locks, before);
    ASSERT_EQ(locks.unlockRange(0, 0x7FFFFFFF), 0);
    EXPECT_EQ(held().size(), 5u);
    ASSERT_EQ(locks.unlockRange(0, 0x7FFFFFFF), 0);
    // What is still asked for keeps a lock of its own.
    EXPECT_EQ(held(), (Ranges{{500, 1}, {1000, 1}}));
    ASSERT_EQ(locks.unlockByte(1000), 0);
    ASSERT_EQ(locks.unlockByte(500), 0);
    EXPECT_TRUE(held().empty());
    EXPECT_EQ(locks.unlockRange(0, 0x7FFFFFFF), -29);
}

TEST_F(LockSetTest, FailedRangeGivesBackThePiecesItTook) {
    LockSet locks(file.get(), true);
    ASSERT_EQ(locks.lockByte(100), 0);
    ffs.failLocksOverlapping(300, 1);
    EXPECT_EQ(locks.lockRange(0, 1000), -13);
    EXPECT_EQ(held(), (Ranges{{100, 1}}));
}

TEST_F(LockSetTest, DisabledSetTakesNothing) {
    LockSet locks(file.get(), false);
    EXPECT_EQ(locks.lockByte(16), 0);
    EXPECT_EQ(locks.lockRange(0, 100), 0);
    EXPECT_EQ(locks.unlockRange(0, 100), 0);
    EXPECT_EQ(locks.unlockByte(16), 0);
    EXPECT_EQ(ffs.counts().locks, 0);
}

// Another open of the file, as another process would hold it.
class ForeignLockTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("t"), "k",
                              {{"n", FieldType::Integer, 0, 0}, {"m", FieldType::Memo, 0, 0}}),
                  0);
        TableFile t;
        ASSERT_TRUE(t.open(at("t"), "k"));
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(t.append({TableValue::integer(i), TableValue::text("memo")}));
        dataStart = t.dataStart();
        recordSize = t.recordSize();
    }
    std::unique_ptr<File> foreign(const std::string& name = "t.EDB") {
        TableError e = kOk;
        auto f = systemFileSystem().open(at(name), {}, &e);
        EXPECT_TRUE(f) << e;
        return f;
    }
    std::int64_t slot(int record) const {
        return dataStart + std::int64_t(record - 1) * recordSize;
    }
    std::int64_t dataStart = 0;
    std::int32_t recordSize = 0;
};

TEST_F(ForeignLockTest, ALockedRecordFailsAtOnceOthersWork) {
    auto other = foreign();
    ASSERT_EQ(other->lock(slot(2), 1), 0);
    FaultFileSystem ffs;
    ffs.useFakeClock();
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_FALSE(t.open(at("t"), "k", {}));  // open wants the whole range
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(other->unlock(slot(2), 1), kOk);
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(slot(2), 1), 0);
    ASSERT_TRUE(t.goTo(2));
    EXPECT_FALSE(t.write({TableValue::integer(9)}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(t.read("n"), TableValue::integer(0));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_FALSE(t.purge());
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(ffs.counts().sleeps, 0);
    ASSERT_TRUE(t.goTo(3));
    EXPECT_TRUE(t.write({TableValue::integer(33)}));
    EXPECT_EQ(t.read("n"), TableValue::integer(33));
    // The scan meets the locked record like the record-by-record loop does.
    ASSERT_TRUE(t.goFirst());
    std::vector<std::pair<std::int64_t, TableError>> seen;
    EXPECT_FALSE(t.forEachRecord([&] {
        TableValue v = t.read("n");
        seen.emplace_back(v.asInteger(), lastTableError());
        return true;
    }));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(seen, (std::vector<std::pair<std::int64_t, TableError>>{
                        {1, kOk}, {0, kLockViolation}, {33, kOk}}));
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(ForeignLockTest, ALockedMemoBlockFailsTheOpen) {
    auto other = foreign("t.EDT");
    ASSERT_EQ(other->lock(512, 1), 0);
    TableFile t;
    EXPECT_FALSE(t.open(at("t"), "k"));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(other->unlock(512, 1), kOk);
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(1024, 1), 0);  // record 2's memo
    ASSERT_TRUE(t.goTo(2));
    EXPECT_EQ(t.read("m"), TableValue::text(""));
    EXPECT_EQ(lastTableError(), -13);
    ASSERT_TRUE(t.goTo(1));
    EXPECT_EQ(t.read("m"), TableValue::text("memo"));
}

// Another process appending holds the lock byte of the slot after the last
// one; marking there is refused for the missing record before any lock is
// asked for, while write looks at the file's end only under the record lock.
TEST_F(ForeignLockTest, MarkingAtTheEndFailsWith60EvenWhileItsByteIsLocked) {
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    auto other = foreign();
    ASSERT_EQ(other->lock(slot(4), 1), 0);
    ASSERT_TRUE(t.goTo(3));
    ASSERT_TRUE(t.skip());
    ASSERT_EQ(t.recordNumber(), 4);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -60);
    EXPECT_FALSE(t.write({TableValue::integer(9)}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(other->unlock(slot(4), 1), kOk);
    EXPECT_FALSE(t.markDeleted());
    EXPECT_EQ(lastTableError(), -60);
}

// The memo header's lock byte (offset 0) is asked for only when a value's new
// chain needs the free list or the block count: a value that fits in the
// blocks of the old one is written while another process holds that byte.
TEST_F(ForeignLockTest, TheMemoHeaderIsLockedOnlyWhenTheFreeListOrBlockCountIsUsed) {
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    auto other = foreign("t.EDT");
    ASSERT_EQ(other->lock(0, 1), 0);
    ASSERT_TRUE(t.goTo(2));
    EXPECT_TRUE(t.write({TableValue(), TableValue::text("same")}));
    EXPECT_EQ(t.read("m").asText(), "same");
    // A second block would come from the end of the file: the block count.
    EXPECT_FALSE(t.write({TableValue(), TableValue::text(std::string(600, 'x'))}));
    EXPECT_EQ(lastTableError(), -13);
    // An empty value frees the block: the free list.
    EXPECT_FALSE(t.write({TableValue(), TableValue::text("")}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_FALSE(t.append({TableValue::integer(4), TableValue::text("new")}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(t.read("m").asText(), "same");
    EXPECT_EQ(other->unlock(0, 1), kOk);
    EXPECT_TRUE(t.write({TableValue(), TableValue::text(std::string(600, 'x'))}));
    EXPECT_EQ(t.read("m").asText(), std::string(600, 'x'));
}

// A block of the old chain that another process holds fails the write before
// anything is written; the chain is not cut short there (which would lose
// its later blocks to no chain and no free list).
TEST_F(ForeignLockTest, ALockedBlockOfTheOldChainFailsTheWriteAndChangesNothing) {
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    const std::string longMemo(1200, 'l');
    ASSERT_TRUE(t.append({TableValue::integer(4), TableValue::text(longMemo)}));  // 4 5 6
    const Bytes table = readFile(dir / "t.EDB"), memo = readFile(dir / "t.EDT");
    auto other = foreign("t.EDT");
    ASSERT_EQ(other->lock(5 * 512, 1), 0);
    EXPECT_FALSE(t.write({TableValue(), TableValue::text("short")}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_FALSE(t.write({TableValue(), TableValue::text(std::string(1700, 'x'))}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(readFile(dir / "t.EDB"), table);
    EXPECT_EQ(readFile(dir / "t.EDT"), memo);
    EXPECT_EQ(other->unlock(5 * 512, 1), kOk);
    EXPECT_EQ(t.read("m").asText(), longMemo);
    // Once it is let go, the value takes block 4 and frees 5 and 6, the
    // end of the file, which is then cut back to block 3.
    ASSERT_TRUE(t.write({TableValue(), TableValue::text("short")}));
    EXPECT_EQ(t.read("m").asText(), "short");
    EXPECT_EQ(readFile(dir / "t.EDT").size(), 5u * 512);
}

// The walk reads records in batches, but a memo value is read as the
// record-by-record loop reads it: under the record's lock, from the first
// block the record holds at that moment, not the one in the batch's copy.
// A record whose lock another process keeps is waited for, then fails the walk.
TEST_F(ForeignLockTest, TheWalkFollowsMemoChainsUnderTheRecordLock) {
    // Another process, through links (a second name for the same files).
    std::filesystem::create_hard_link(dir / "t.EDB", dir / "l.EDB");
    std::filesystem::create_hard_link(dir / "t.EDT", dir / "l.EDT");
    FaultFileSystem ffs;
    ffs.useFakeClock();
    ScopedFileSystem use(ffs);
    TableFile t, other;
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_TRUE(other.open(at("l"), "k"));
    auto lockOf3 = foreign();
    const std::string longMemo(700, 'v');
    std::vector<std::pair<std::string, TableError>> seen;
    const Status walked = t.forEachRecord([&] {
        if (t.recordNumber() == 1) {
            // Record 2's value goes (block 2 to the free list), record 3's
            // grows into block 3 and then block 2.
            EXPECT_TRUE(other.goTo(2));
            EXPECT_TRUE(other.write({TableValue(), TableValue::text("")}));
            EXPECT_TRUE(other.goTo(3));
            EXPECT_TRUE(other.write({TableValue(), TableValue::text(longMemo)}));
            EXPECT_EQ(lockOf3->lock(slot(3), 1), 0);
        }
        std::string m = t.read("m").asText();
        seen.emplace_back(m, lastTableError());
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, TableError>>{
                        {"memo", kOk}, {"", kOk}, {"", kLockViolation}}));
    EXPECT_EQ(walked.code(), kLockViolation);
    EXPECT_EQ(walked.context(), "t.EDB: forEachRecord, record 3");
    EXPECT_GE(ffs.counts().sleptMs, 2000);
    EXPECT_EQ(lockOf3->unlock(slot(3), 1), kOk);
    ASSERT_TRUE(t.goTo(3));
    EXPECT_EQ(t.read("m").asText(), longMemo);
}

// A record that another process is writing is waited for rather than
// left out of the walk; a walk waits once, so that a process keeping many
// records locked cannot make it wait for each in turn.
TEST_F(ForeignLockTest, TheWalkWaitsForARecordAnotherProcessHolds) {
    auto other = foreign();
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(slot(2), 1), 0);
    std::thread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(other->unlock(slot(2), 1), kOk);
    });
    std::vector<std::int64_t> seen;
    const Status walked = t.forEachRecord([&] {
        seen.push_back(t.read("n").asInteger());
        return true;
    });
    letGo.join();
    EXPECT_TRUE(walked);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));
    t.close();

    FaultFileSystem ffs;
    ffs.useFakeClock();
    ScopedFileSystem use(ffs);
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(slot(2), 1), 0);
    ASSERT_EQ(other->lock(slot(3), 1), 0);
    seen.clear();
    const Status failed = t.forEachRecord([&] {
        seen.push_back(t.read("n").asInteger());
        return true;
    });
    EXPECT_EQ(failed.code(), kLockViolation);
    EXPECT_EQ(failed.context(), "t.EDB: forEachRecord, record 2");
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 0, 0}));
    EXPECT_GE(ffs.counts().sleptMs, 2000);
    EXPECT_LT(ffs.counts().sleptMs, 2100);
}

TEST_F(ForeignLockTest, TheCountLockIsRetriedForCountSkipAndGoToOnly) {
    auto other = foreign();
    FaultFileSystem ffs;
    ffs.useFakeClock(1000);
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(16, 1), 0);

    ffs.resetCounts();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(lastTableError(), -13);
    const auto& c = ffs.counts();
    EXPECT_GE(c.sleptMs, 2000);
    EXPECT_LE(c.sleptMs, 2000 + 39);
    EXPECT_GE(c.sleeps, 2000 / 39);
    EXPECT_LE(c.sleeps, 2000 / 20 + 1);
    EXPECT_EQ(c.locks, c.sleeps + 1);

    ffs.resetCounts();
    EXPECT_FALSE(t.skip(1));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_GE(ffs.counts().sleptMs, 2000);
    ffs.resetCounts();
    EXPECT_FALSE(t.goTo(2));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_GE(ffs.counts().sleptMs, 2000);

    ffs.resetCounts();
    EXPECT_FALSE(t.append({TableValue::integer(4)}));
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(t.find([] { return true; }).status.code(), kLockViolation);
    EXPECT_EQ(lastTableError(), -13);
    EXPECT_EQ(ffs.counts().sleeps, 0);
    EXPECT_EQ(t.recordNumber(), 1);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

TEST_F(ForeignLockTest, TheCountIsReadOnceTheOtherLetsGo) {
    auto other = foreign();
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    ASSERT_EQ(other->lock(16, 1), 0);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(other->unlock(16, 1), kOk);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(lastTableError(), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
}

TEST_F(ForeignLockTest, SharingModesTwoAndFourTakeNoLocks) {
    for (Sharing mode : {Sharing::DenyRead, Sharing::Exclusive}) {
        FaultFileSystem ffs;
        ScopedFileSystem use(ffs);
        TableFile t;
        OpenOptions o;
        o.sharing = mode;
        ASSERT_TRUE(t.open(at("t"), "k", o));
        ASSERT_TRUE(t.append({TableValue::integer(4), TableValue::text("x")}));
        ASSERT_TRUE(t.goTo(1));
        EXPECT_EQ(t.read("m").asText(), "memo");
        ASSERT_TRUE(t.markDeleted());
        ASSERT_TRUE(t.purge());
        EXPECT_TRUE(t.find([&] { return t.read("n").asInteger() == 3; }).found);
        EXPECT_TRUE(t.forEachRecord([] { return true; }));
        EXPECT_EQ(ffs.counts().locks, 0);
        t.close();
    }
}

// Every operation gives back what it took, also when it fails.
TEST_F(ForeignLockTest, OperationsReleaseTheirLocks) {
    FaultFileSystem ffs;
    ffs.useFakeClock();  // the walk waits for the record whose lock fails
    ScopedFileSystem use(ffs);
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), "k"));
    auto none = [&](const char* what) { EXPECT_TRUE(ffs.heldLocks().empty()) << what; };
    // Only the locks left behind matter here, not what each call returns.
    none("open");
    (void)t.recordCount();
    (void)t.skip();
    (void)t.goTo(2);
    none("moves");
    (void)t.read("n");
    (void)t.read("m");
    (void)t.isDeleted();
    none("reads");
    (void)t.append({TableValue::integer(5), TableValue::text(std::string(800, 'q'))});
    (void)t.write({TableValue::integer(6), TableValue::text("w")});
    (void)t.markDeleted();
    none("changes");
    (void)t.append({TableValue::text("wrong kind")});
    (void)t.goTo(0);
    (void)t.skip(-1);
    (void)t.write({TableValue::integer(1)});
    none("failures");
    (void)t.goFirst();
    (void)t.find([&] { return t.read("n").asInteger() == 2; });
    (void)t.goFirst();
    (void)t.find([] { return false; });
    (void)t.goFirst();
    (void)t.forEachRecord([&] {
        (void)t.read("m");
        return true;
    });
    none("walks");
    (void)t.goFirst();
    EXPECT_THROW((void)t.find([&]() -> bool {
        (void)t.read("nope");
        return true;
    }),
                 FatalCalled);
    EXPECT_EQ(t.recordNumber(), 1);
    (void)t.goFirst();
    EXPECT_THROW((void)t.forEachRecord([&]() -> bool {
        (void)t.read("nope");
        return true;
    }),
                 FatalCalled);
    none("throwing callbacks");
    (void)t.purge();
    none("purge");
    // Purge inside find: the whole-table lock goes around the bytes find holds.
    (void)t.goFirst();
    (void)t.find([&] {
        EXPECT_TRUE(t.purge());
        return true;
    });
    none("purge inside find");
    ffs.failLocksOverlapping(t.dataStart() + t.recordSize(), 1);
    (void)t.goTo(2);
    EXPECT_FALSE(t.write({TableValue::integer(1)}));
    (void)t.goFirst();
    (void)t.forEachRecord([] { return true; });
    none("failed locks");
}

#ifndef _WIN32
// Processes appending to one table at once; each keeps trying while the
// other holds the table (open and append fail at once when they meet a lock).
TEST_F(TableTest, ProcessesAppendingAtOnceKeepEveryRecordWithUniqueIds) {
    ASSERT_EQ(createTable(at("shared"), "583027", ledgerFields()), 0);
    constexpr int kProcesses = 4, kEach = 60;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kEach; ++i) {
                for (;;) {
                    TableFile t;
                    if (t.open(at("shared"), "583027") &&
                        t.append({TableValue::dateTime(40000 + i),
                                  TableValue::text(std::string(1, 'p').append(std::to_string(p))),
                                  TableValue::text(std::to_string(i)),
                                  TableValue::number(p * 1000 + i), TableValue(),
                                  TableValue::boolean(i % 2 == 0)}))
                        break;
                    const TableError e = lastTableError();
                    if (e != -13 && e != -12) ::_exit(10);
                    if (++failures > 200000) ::_exit(11);
                }
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    // A reader walks the table meanwhile and must only ever see whole records.
    int scans = 0, torn = 0;
    for (bool running = true; running;) {
        running = false;
        for (pid_t pid : children)
            if (::waitpid(pid, nullptr, WNOHANG) == 0) running = true;
        TableFile t;
        if (!t.open(at("shared"), "583027")) continue;
        // A record a writer holds fails its reads, which the walk reports at
        // the end; only what was read whole is checked.
        (void)t.forEachRecord([&] {
            const double amount = t.read(gbk::kAmount).asNumber();
            const std::string event = t.read(gbk::kEvent).asText();
            if (lastTableError() == 0 && std::to_string(int(amount) % 1000) != event) ++torn;
            return true;
        });
        ++scans;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_GT(scans, 0);
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    TableFile t;
    ASSERT_TRUE(t.open(at("shared"), "583027"));
    ASSERT_EQ(t.recordCount(), kProcesses * kEach);
    std::set<std::int32_t> ids;
    std::set<std::int64_t> amounts;
    ASSERT_TRUE(t.forEachRecord([&] {
        ids.insert(t.recordId());
        amounts.insert(static_cast<std::int64_t>(t.read(gbk::kAmount).asNumber()));
        return true;
    }));
    EXPECT_EQ(ids.size(), std::size_t(kProcesses * kEach));
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), kProcesses * kEach);
    EXPECT_EQ(amounts.size(), std::size_t(kProcesses * kEach));
}
#endif

}  // namespace
}  // namespace tables::testing
