#include "file_io.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/fault_fs.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tables {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards. Paths are handed to the file
// layer as UTF-8 strings with '/' separators, which both platforms take.
class FileIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("lanhe_io_" + std::to_string(rd()) + "_" + std::to_string(serial++));
        fs::create_directories(dir_);
        const auto u8 = dir_.generic_u8string();
        base_.assign(reinterpret_cast<const char*>(u8.data()), u8.size());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return base_ + "/" + name; }

    std::unique_ptr<File> make(const std::string& name, const std::string& content = {}) {
        TableError e = TableError(1);
        auto f = sys().create(path(name), &e);
        EXPECT_TRUE(f) << name << " " << e;
        EXPECT_EQ(e, 0);
        if (f && !content.empty()) {
            EXPECT_EQ(f->writeAt(0, content.data(), content.size()), 0);
        }
        return f;
    }

    std::unique_ptr<File> openFile(const std::string& name, TableError* e = nullptr,
                                   bool readOnly = false, int sharing = 1) {
        TableError ignored;
        return sys().open(path(name), FileOpenRequest{readOnly, sharing}, e ? e : &ignored);
    }

    static FileSystem& sys() { return systemFileSystem(); }

    static std::string readAll(File& f) {
        std::int64_t n = f.size();
        std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
        EXPECT_EQ(f.readAt(0, s.data(), s.size()), n);
        return s;
    }

    fs::path dir_;
    std::string base_;
};

// ---------------------------------------------------------------- data

TEST_F(FileIoTest, WriteReadSizeAndTruncateRoundTrip) {
    auto f = make("t.edb");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), 0);

    const std::string a = "WCDB header bytes";
    ASSERT_EQ(f->writeAt(0, a.data(), a.size()), 0);
    const std::string b(5000, 'x');
    ASSERT_EQ(f->writeAt(10000, b.data(), b.size()), 0);  // leaves a gap
    EXPECT_EQ(f->size(), 15000);

    std::string got(a.size(), '\0');
    EXPECT_EQ(f->readAt(0, got.data(), got.size()), std::int64_t(a.size()));
    EXPECT_EQ(got, a);
    char gap[4] = {1, 1, 1, 1};
    EXPECT_EQ(f->readAt(9998, gap, 4), 4);
    EXPECT_EQ(std::string(gap, 4), std::string("\0\0xx", 4));

    // Short at the end, nothing beyond it.
    std::string tail(100, '\0');
    EXPECT_EQ(f->readAt(14950, tail.data(), tail.size()), 50);
    EXPECT_EQ(f->readAt(15000, tail.data(), tail.size()), 0);
    EXPECT_EQ(f->readAt(1 << 30, tail.data(), tail.size()), 0);

    // Cut, then extend with zeros.
    ASSERT_EQ(f->truncate(10), 0);
    EXPECT_EQ(f->size(), 10);
    ASSERT_EQ(f->truncate(20), 0);
    EXPECT_EQ(f->size(), 20);
    std::string after(20, '\1');
    EXPECT_EQ(f->readAt(0, after.data(), after.size()), 20);
    EXPECT_EQ(after, a.substr(0, 10) + std::string(10, '\0'));
    EXPECT_EQ(f->sync(), 0);

    // What one File wrote, another File of the same path reads.
    f.reset();
    auto g = openFile("t.edb");
    ASSERT_TRUE(g);
    EXPECT_EQ(readAll(*g), a.substr(0, 10) + std::string(10, '\0'));
}

TEST_F(FileIoTest, LargeWriteAndOverwriteInTheMiddle) {
    auto f = make("big.edb");
    ASSERT_TRUE(f);
    std::vector<char> data(3 << 20);
    std::mt19937 rng(7);
    for (auto& c : data) c = static_cast<char>(rng());
    ASSERT_EQ(f->writeAt(0, data.data(), data.size()), 0);
    const char patch[] = "patch";
    ASSERT_EQ(f->writeAt(4095, patch, 5), 0);
    std::memcpy(data.data() + 4095, patch, 5);
    std::vector<char> back(data.size());
    ASSERT_EQ(f->readAt(0, back.data(), back.size()), std::int64_t(data.size()));
    EXPECT_TRUE(back == data);
}

TEST_F(FileIoTest, NegativeOffsetsAreRefused) {
    auto f = make("n.edb", "abc");
    ASSERT_TRUE(f);
    char c;
    EXPECT_EQ(f->readAt(-1, &c, 1), -10);
    EXPECT_EQ(f->writeAt(-1, "x", 1), -10);
    EXPECT_EQ(f->truncate(-1), -10);
    EXPECT_EQ(readAll(*f), "abc");
}

// ---------------------------------------------------------------- open and create

TEST_F(FileIoTest, MissingFileFailsWithMinus3AndIsNotCreated) {
    TableError e = kOk;
    EXPECT_FALSE(openFile("missing.edb", &e));
    EXPECT_EQ(e, -3);
    EXPECT_FALSE(fs::exists(dir_ / "missing.edb"));
    EXPECT_FALSE(openFile("missing.edb", &e, /*readOnly=*/true));
    EXPECT_EQ(e, -3);
    EXPECT_FALSE(sys().open("", FileOpenRequest{}, &e));
    EXPECT_EQ(e, -3);
}

TEST_F(FileIoTest, BadPathsFailWithMinus4) {
    TableError e = kOk;
    // A folder that does not exist.
    EXPECT_FALSE(openFile("nofolder/t.edb", &e));
    EXPECT_EQ(e, -4);
    EXPECT_FALSE(sys().create(path("nofolder/t.edb"), &e));
    EXPECT_EQ(e, -4);
    EXPECT_FALSE(fs::exists(dir_ / "nofolder"));
    // A file used as a folder.
    make("plain.edb", "x");
    EXPECT_FALSE(openFile("plain.edb/t.edb", &e));
    EXPECT_EQ(e, -4);
}

TEST_F(FileIoTest, AFolderCannotBeOpenedAsAFile) {
    fs::create_directory(dir_ / "folder.edb");
    TableError e = kOk;
    EXPECT_FALSE(openFile("folder.edb", &e));
    EXPECT_EQ(e, -6);
    EXPECT_FALSE(openFile("folder.edb", &e, /*readOnly=*/true));
    EXPECT_EQ(e, -6);
}

TEST_F(FileIoTest, CreateRefusesAnExistingFileAndLeavesItAlone) {
    make("t.edb", "keep me");
    TableError e = kOk;
    EXPECT_FALSE(sys().create(path("t.edb"), &e));
    EXPECT_EQ(e, -6);
    auto f = openFile("t.edb");
    ASSERT_TRUE(f);
    EXPECT_EQ(readAll(*f), "keep me");
}

TEST_F(FileIoTest, ReadOnlyFileReadsButNeverWrites) {
    make("t.edb", "0123456789");
    TableError e = TableError(1);
    auto f = openFile("t.edb", &e, /*readOnly=*/true);
    ASSERT_TRUE(f);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(readAll(*f), "0123456789");
    EXPECT_EQ(f->writeAt(0, "x", 1), -6);
    EXPECT_EQ(f->truncate(2), -6);
    EXPECT_EQ(f->sync(), 0);
    EXPECT_EQ(readAll(*f), "0123456789");
}

TEST_F(FileIoTest, ChineseFileNames) {
    auto f = make("记账.edb", "账");
    ASSERT_TRUE(f);
    f.reset();
    auto g = openFile("记账.edb");
    ASSERT_TRUE(g);
    EXPECT_EQ(readAll(*g), "账");
}

#ifndef _WIN32
TEST_F(FileIoTest, PosixPermissionDeniedGivesMinus6) {
    if (::geteuid() == 0) GTEST_SKIP() << "root passes permission bits";
    make("locked.edb", "x");
    ASSERT_EQ(::chmod(path("locked.edb").c_str(), 0444), 0);
    TableError e = kOk;
    EXPECT_FALSE(openFile("locked.edb", &e));
    EXPECT_EQ(e, -6);
    EXPECT_TRUE(openFile("locked.edb", &e, /*readOnly=*/true));
}

TEST_F(FileIoTest, PosixFifoInPlaceOfATableIsRefusedWithoutHanging) {
    ASSERT_EQ(::mkfifo(path("pipe.edb").c_str(), 0600), 0);
    TableError e = kOk;
    EXPECT_FALSE(openFile("pipe.edb", &e, /*readOnly=*/true));
    EXPECT_EQ(e, -6);
    EXPECT_FALSE(openFile("pipe.edb", &e));
    EXPECT_EQ(e, -6);
}
#endif

// ---------------------------------------------------------------- names

TEST_F(FileIoTest, ResolveCaseFindsTheEntryWhateverTheExtensionCase) {
    make("客户.EDB", "c");
    const std::string asked = path("客户.edb");
    const std::string resolved = sys().resolveCase(asked);
    EXPECT_EQ(resolved, path("客户.EDB"));
#ifndef _WIN32
    // Only ASCII letters fold: other bytes must match exactly.
    EXPECT_EQ(sys().resolveCase(path("客戶.edb")), path("客戶.edb"));
#endif
    EXPECT_TRUE(sys().open(resolved, FileOpenRequest{}, nullptr));
    // An exact name, and a name with no match, come back unchanged.
    EXPECT_EQ(sys().resolveCase(path("客户.EDB")), path("客户.EDB"));
    EXPECT_EQ(sys().resolveCase(path("nothing.edb")), path("nothing.edb"));
    EXPECT_EQ(sys().resolveCase(path("nofolder/x.edb")), path("nofolder/x.edb"));
    // Wildcards are names here, not patterns.
    EXPECT_EQ(sys().resolveCase(path("*.edb")), path("*.edb"));
}

#ifndef _WIN32
TEST_F(FileIoTest, PosixResolveCaseOfABareNameLooksInTheCurrentFolder) {
    make("Proj.Edb", "p");
    auto old = fs::current_path();
    fs::current_path(dir_);
    std::string got = sys().resolveCase("proj.EDB");
    fs::current_path(old);
    EXPECT_EQ(got, "Proj.Edb");
}

TEST_F(FileIoTest, PosixAbsolutePathFoldsDotsAgainstTheCurrentFolder) {
    auto old = fs::current_path();
    fs::current_path(dir_);
    const std::string cwd = fs::current_path().generic_string();
    EXPECT_EQ(sys().absolutePath("记账.edb"), cwd + "/记账.edb");
    EXPECT_EQ(sys().absolutePath("./a/../b/./c.edb"), cwd + "/b/c.edb");
    EXPECT_EQ(sys().absolutePath("/x//y/../z.edb"), "/x/z.edb");
    EXPECT_EQ(sys().absolutePath("/../../t.edb"), "/t.edb");
    fs::current_path(old);
}
#endif

TEST_F(FileIoTest, AbsolutePathNamesOneFileOneWay) {
    const std::string a = sys().absolutePath(path("a/../t.edb"));
    EXPECT_EQ(a, sys().absolutePath(path("t.edb")));
    EXPECT_EQ(a, sys().absolutePath(path("./t.edb")));
    EXPECT_EQ(sys().absolutePath(a), a);
    EXPECT_EQ(a.find(".."), std::string::npos);
    EXPECT_EQ(sys().absolutePath(""), "");
}

// ---------------------------------------------------------------- locks

TEST_F(FileIoTest, ALockKeepsOtherFilesOfTheSamePathOffTheRange) {
    make("t.edb", std::string(200, 'r'));
    auto a = openFile("t.edb");
    auto b = openFile("t.edb");
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->lock(100, 1), 0);
    EXPECT_EQ(b->lock(100, 1), -13);
    EXPECT_EQ(b->lock(0, 0x7FFFFFFF), -13);  // any overlap fails
    EXPECT_EQ(b->lock(101, 1), 0);           // the next byte is free
    EXPECT_EQ(b->lock(50, 50), 0);           // and so is the range before it
    // Locks keep others off locked bytes, not out of the data.
    char c = 0;
    EXPECT_EQ(b->readAt(100, &c, 1), 1);
    EXPECT_EQ(a->unlock(100, 1), 0);
    EXPECT_EQ(b->lock(100, 1), 0);
    EXPECT_EQ(a->lock(100, 1), -13);
}

TEST_F(FileIoTest, LocksMayLieBeyondTheEndOfTheFile) {
    make("t.edb", "short");
    auto a = openFile("t.edb");
    auto b = openFile("t.edb");
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->lock(1 << 20, 1), 0);
    EXPECT_EQ(b->lock(1 << 20, 1), -13);
}

TEST_F(FileIoTest, ClosingAnotherFileOfThePathKeepsTheLock) {
    make("t.edb", "data");
    auto holder = openFile("t.edb");
    ASSERT_TRUE(holder);
    ASSERT_EQ(holder->lock(16, 1), 0);
    {
        auto other = openFile("t.edb");
        ASSERT_TRUE(other);
        char buf[4];
        EXPECT_EQ(other->readAt(0, buf, 4), 4);
    }  // closed here
    auto probe = openFile("t.edb");
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->lock(16, 1), -13);
}

TEST_F(FileIoTest, DestroyingAFileReleasesItsLocks) {
    make("t.edb", "data");
    auto a = openFile("t.edb");
    auto b = openFile("t.edb");
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->lock(0, 0x7FFFFFFF), 0);
    EXPECT_EQ(b->lock(16, 1), -13);
    a.reset();
    EXPECT_EQ(b->lock(16, 1), 0);
    EXPECT_EQ(b->lock(0, 16), 0);
}

TEST_F(FileIoTest, OwnLocksMayNotOverlapAndUnlockWantsTheExactRange) {
    make("t.edb", "data");
    auto a = openFile("t.edb");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->lock(10, 5), 0);
    EXPECT_EQ(a->lock(12, 1), -13);    // inside a held range
    EXPECT_EQ(a->lock(0, 11), -13);    // reaching into it
    EXPECT_EQ(a->lock(15, 1), 0);      // adjacent is fine
    EXPECT_EQ(a->unlock(10, 1), -29);  // part of a range
    EXPECT_EQ(a->unlock(10, 6), -29);  // two ranges as one
    EXPECT_EQ(a->unlock(40, 1), -29);  // never locked
    EXPECT_EQ(a->unlock(10, 5), 0);
    EXPECT_EQ(a->unlock(10, 5), -29);  // already released
    // The adjacent lock survived the unlock next to it.
    auto b = openFile("t.edb");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->lock(15, 1), -13);
    EXPECT_EQ(b->lock(10, 5), 0);
}

TEST_F(FileIoTest, EmptyOrNegativeRangesAreNotLocks) {
    make("t.edb", "data");
    auto a = openFile("t.edb");
    auto b = openFile("t.edb");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->lock(5, 0), -13);
    EXPECT_EQ(a->lock(-1, 2), -13);
    EXPECT_EQ(a->lock(5, -1), -13);
    // None of them took anything: the whole file is still free to others.
    EXPECT_EQ(b->lock(0, 0x7FFFFFFF), 0);
}

TEST_F(FileIoTest, ReadOnlyFilesStillKeepWritersOff) {
    make("t.edb", "data");
    auto reader = openFile("t.edb", nullptr, /*readOnly=*/true);
    auto writer = openFile("t.edb");
    ASSERT_TRUE(reader && writer);
    ASSERT_EQ(reader->lock(16, 1), 0);
    EXPECT_EQ(writer->lock(16, 1), -13);
    EXPECT_EQ(reader->unlock(16, 1), 0);
    ASSERT_EQ(writer->lock(16, 1), 0);
    EXPECT_EQ(reader->lock(16, 1), -13);
}

// ---------------------------------------------------------------- sharing

TEST_F(FileIoTest, ExclusiveOpenKeepsEveryOtherOpenOut) {
    make("t.edb", "data");
    auto only = openFile("t.edb", nullptr, false, 4);
    ASSERT_TRUE(only);
    TableError e = kOk;
    EXPECT_FALSE(openFile("t.edb", &e));
    EXPECT_EQ(e, -12);
    EXPECT_FALSE(openFile("t.edb", &e, /*readOnly=*/true));
    EXPECT_EQ(e, -12);
    only.reset();
    EXPECT_TRUE(openFile("t.edb", &e));
    EXPECT_EQ(e, 0);
}

TEST_F(FileIoTest, ExclusiveOpenFailsWhileOthersHaveTheFile) {
    make("t.edb", "data");
    auto shared = openFile("t.edb");
    ASSERT_TRUE(shared);
    TableError e = kOk;
    EXPECT_FALSE(openFile("t.edb", &e, false, 4));
    EXPECT_EQ(e, -12);
    EXPECT_FALSE(openFile("t.edb", &e, false, 2));  // deny read
    EXPECT_EQ(e, -12);
    // The refused opens left nothing behind: shared opens still work.
    EXPECT_TRUE(openFile("t.edb", &e));
    shared.reset();
    EXPECT_TRUE(openFile("t.edb", &e, false, 4));
}

TEST_F(FileIoTest, DenyWriteLetsReadersInButNotWriters) {
    make("t.edb", "data");
    auto first = openFile("t.edb", nullptr, /*readOnly=*/true, 3);
    ASSERT_TRUE(first);
    TableError e = kOk;
    EXPECT_TRUE(openFile("t.edb", &e, /*readOnly=*/true, 1));
    EXPECT_FALSE(openFile("t.edb", &e, /*readOnly=*/false, 1));
    EXPECT_EQ(e, -12);
}

// ---------------------------------------------------------------- clock and seam

TEST_F(FileIoTest, TickCountMovesWithSleep) {
    const std::uint32_t t0 = sys().tickCount();
    sys().sleepMs(100);
    const std::uint32_t t1 = sys().tickCount();
    EXPECT_GE(std::uint32_t(t1 - t0), 75u);  // GetTickCount moves in steps of up to 16 ms
    EXPECT_LT(std::uint32_t(t1 - t0), 5000u);
}

TEST(FileSystemSeam, TestsCanPutAnotherFileSystemInPlace) {
    EXPECT_EQ(&currentFileSystem(), &systemFileSystem());
    {
        testing::FaultFileSystem fault;
        testing::ScopedFileSystem use(fault);
        EXPECT_EQ(&currentFileSystem(), &fault);
    }
    EXPECT_EQ(&currentFileSystem(), &systemFileSystem());
}

// ---------------------------------------------------------------- the test double

using testing::FaultFileSystem;

TEST_F(FileIoTest, FaultWritesTearAtTheLimitAndThenFail) {
    make("t.edb", std::string(20, '.'));
    FaultFileSystem fault;
    auto f = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
    ASSERT_TRUE(f);
    fault.failWritesAfter(10);
    EXPECT_EQ(f->writeAt(0, "aaaaaa", 6), 0);
    EXPECT_EQ(f->writeAt(6, "bbbbbbbb", 8), -14);  // 4 of them still land
    EXPECT_EQ(f->writeAt(14, "c", 1), -14);
    EXPECT_EQ(fault.counts().writes, 3);
    EXPECT_EQ(fault.counts().bytesWritten, 10);
    EXPECT_EQ(readAll(*f), "aaaaaabbbb" + std::string(10, '.'));
    fault.clearFaults();
    EXPECT_EQ(f->writeAt(14, "c", 1), 0);
    EXPECT_EQ(readAll(*f), "aaaaaabbbb....c.....");
}

TEST_F(FileIoTest, FaultReadsComeBackShortOrFail) {
    make("t.edb", std::string(100, 'r'));
    FaultFileSystem fault;
    auto f = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
    ASSERT_TRUE(f);
    char buf[20];
    fault.shortReadsAfter(30);
    EXPECT_EQ(f->readAt(0, buf, 20), 20);
    EXPECT_EQ(f->readAt(20, buf, 20), 10);
    EXPECT_EQ(f->readAt(40, buf, 20), 0);
    EXPECT_EQ(fault.counts().bytesRead, 30);
    fault.clearFaults();
    fault.failReadsAfter(5, kHardwareFault);
    EXPECT_EQ(f->readAt(0, buf, 20), 5);
    EXPECT_EQ(f->readAt(0, buf, 20), -11);
    fault.clearFaults();
    EXPECT_EQ(f->readAt(90, buf, 20), 10);  // a real short read at the end
}

TEST_F(FileIoTest, FaultLocksFailOnRequestAndHeldLocksAreTracked) {
    make("t.edb", "data");
    FaultFileSystem fault;
    auto a = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
    auto b = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(fault.openFiles(), 2);

    fault.failLocks(kLockViolation, 2);
    EXPECT_EQ(a->lock(16, 1), 0);
    EXPECT_EQ(a->lock(200, 1), 0);
    EXPECT_EQ(a->lock(300, 1), -13);
    fault.clearFaults();
    fault.failLocksOverlapping(400, 10);
    EXPECT_EQ(b->lock(405, 1), -13);
    EXPECT_EQ(b->lock(410, 1), 0);
    // Real conflicts still come from the real file system.
    EXPECT_EQ(b->lock(16, 1), -13);

    using Held = FaultFileSystem::HeldLock;
    const std::string p = path("t.edb");
    EXPECT_EQ(fault.heldLocks(), (std::vector<Held>{{p, 16, 1}, {p, 200, 1}, {p, 410, 1}}));
    EXPECT_EQ(a->unlock(200, 1), 0);
    EXPECT_EQ(fault.heldLocks(), (std::vector<Held>{{p, 16, 1}, {p, 410, 1}}));
    a.reset();
    EXPECT_EQ(fault.heldLocks(), (std::vector<Held>{{p, 410, 1}}));
    EXPECT_EQ(fault.openFiles(), 1);
    EXPECT_EQ(fault.counts().closes, 1);
    EXPECT_EQ(b->lock(16, 1), 0);  // the destroyed File really let go
    fault.failUnlocks(kUnlockFailed);
    EXPECT_EQ(b->unlock(16, 1), -29);
    EXPECT_EQ(fault.heldLocks().size(), 2u);
    EXPECT_EQ(fault.counts().locks, 7);
    EXPECT_EQ(fault.counts().unlocks, 2);
}

TEST_F(FileIoTest, FaultOpenFailsForChosenPaths) {
    make("t.edb", "table");
    make("t.EDT", "memo");
    FaultFileSystem fault;
    fault.failOpen(kSharingViolation, ".edt");
    TableError e = kOk;
    EXPECT_FALSE(fault.open(path("t.EDT"), FileOpenRequest{}, &e));
    EXPECT_EQ(e, -12);
    EXPECT_TRUE(fault.open(path("t.edb"), FileOpenRequest{}, &e));
    EXPECT_EQ(e, 0);
    EXPECT_TRUE(fault.create(path("new.edt"), &e));  // create is spared unless asked
    fault.failOpen(kTooManyOpenFiles, "", /*alsoCreate=*/true);
    EXPECT_FALSE(fault.open(path("t.edb"), FileOpenRequest{}, &e));
    EXPECT_EQ(e, -5);
    EXPECT_FALSE(fault.create(path("other.edb"), &e));
    EXPECT_EQ(e, -5);
    EXPECT_FALSE(fs::exists(dir_ / "other.edb"));
    EXPECT_EQ(fault.counts().opens, 3);
    EXPECT_EQ(fault.counts().creates, 2);
    // Errors of the real file system come through unchanged.
    fault.clearFaults();
    EXPECT_FALSE(fault.open(path("missing.edb"), FileOpenRequest{}, &e));
    EXPECT_EQ(e, -3);
}

TEST_F(FileIoTest, FaultSizeTruncateAndSync) {
    make("t.edb", "0123456789");
    FaultFileSystem fault;
    auto f = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
    ASSERT_TRUE(f);
    fault.failSize(kUnknown);
    fault.failTruncate(kHardwareFault);
    fault.failSync(kDiskFull);
    EXPECT_EQ(f->size(), -1);
    EXPECT_EQ(f->truncate(2), -11);
    EXPECT_EQ(f->sync(), -14);
    fault.clearFaults();
    EXPECT_EQ(f->size(), 10);  // the failed truncate did not reach the file
    EXPECT_EQ(f->truncate(2), 0);
    EXPECT_EQ(f->size(), 2);
    EXPECT_EQ(fault.counts().truncates, 2);
    EXPECT_EQ(fault.counts().syncs, 1);
}

TEST_F(FileIoTest, FaultFakeClockSleepsWithoutWaiting) {
    FaultFileSystem fault;
    fault.useFakeClock(0xFFFFFF00u);
    auto started = std::chrono::steady_clock::now();
    fault.sleepMs(100000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(fault.tickCount(), std::uint32_t(0xFFFFFF00u + 100000u));  // wraps like GetTickCount
    fault.advanceClock(5);
    EXPECT_EQ(fault.tickCount(), std::uint32_t(0xFFFFFF00u + 100005u));
    EXPECT_EQ(fault.counts().sleeps, 1);
    EXPECT_EQ(fault.counts().sleptMs, 100000);
}

TEST_F(FileIoTest, FaultFilesMayOutliveTheirFileSystem) {
    make("t.edb", "data");
    std::unique_ptr<File> f;
    {
        FaultFileSystem fault;
        f = fault.open(path("t.edb"), FileOpenRequest{}, nullptr);
        ASSERT_TRUE(f);
        ASSERT_EQ(f->lock(0, 4), 0);
    }
    EXPECT_EQ(readAll(*f), "data");
    EXPECT_EQ(f->unlock(0, 4), 0);
    f.reset();
}

// ---------------------------------------------------------------- other processes

#ifndef _WIN32

// Runs `child` in a forked process and returns its exit status (or -1).
template <typename F>
int inChildProcess(F child) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int status = child();
        ::_exit(status);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Result codes fit an exit status as their negation.
int exitCodeOf(TableError e) { return -e; }

TEST_F(FileIoTest, PosixALockHeldHereFailsAtOnceInAnotherProcess) {
    make("t.edb", std::string(64, 'd'));
    auto holder = openFile("t.edb");
    ASSERT_TRUE(holder);
    ASSERT_EQ(holder->lock(16, 1), 0);
    const std::string p = path("t.edb");
    auto started = std::chrono::steady_clock::now();
    int status = inChildProcess([&] {
        auto f = systemFileSystem().open(p, FileOpenRequest{}, nullptr);
        if (!f) return 100;
        return exitCodeOf(f->lock(16, 1));
    });
    EXPECT_EQ(status, 13);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    // Bytes next to it are free to the other process.
    EXPECT_EQ(inChildProcess([&] {
                  auto f = systemFileSystem().open(p, FileOpenRequest{}, nullptr);
                  return f ? exitCodeOf(f->lock(17, 1)) : 100;
              }),
              0);
}

TEST_F(FileIoTest, PosixClosingAnotherDescriptorHereKeepsTheLockForOtherProcesses) {
    // With per-process record locks, closing any descriptor of the file would
    // drop the lock; these locks belong to the open file.
    make("t.edb", std::string(64, 'd'));
    auto holder = openFile("t.edb");
    ASSERT_TRUE(holder);
    ASSERT_EQ(holder->lock(0, 0x7FFFFFFF), 0);
    openFile("t.edb").reset();
    auto another = openFile("t.edb", nullptr, /*readOnly=*/true);
    another.reset();
    const std::string p = path("t.edb");
    EXPECT_EQ(inChildProcess([&] {
                  auto f = systemFileSystem().open(p, FileOpenRequest{}, nullptr);
                  return f ? exitCodeOf(f->lock(200, 1)) : 100;
              }),
              13);
}

TEST_F(FileIoTest, PosixALockOfAnotherProcessKeepsUsOffUntilItEnds) {
    make("t.edb", std::string(64, 'd'));
    const std::string p = path("t.edb");
    int ready[2], finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        auto f = systemFileSystem().open(p, FileOpenRequest{}, nullptr);
        char ok = f && f->lock(16, 1) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(finish[0], &c, 1);  // hold the lock until told
        ::_exit(0);                       // exit without closing: the kernel lets go
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    auto here = openFile("t.edb");
    ASSERT_TRUE(here);
    EXPECT_EQ(here->lock(16, 1), -13);
    EXPECT_EQ(here->lock(0, 0x7FFFFFFF), -13);
    EXPECT_EQ(here->lock(0, 16), 0);
    ASSERT_EQ(::write(finish[1], "x", 1), 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(here->lock(16, 1), 0);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]}) ::close(fd);
}

TEST_F(FileIoTest, PosixSharingIsCheckedAcrossProcesses) {
    make("t.edb", "data");
    auto only = openFile("t.edb", nullptr, false, 4);
    ASSERT_TRUE(only);
    const std::string p = path("t.edb");
    EXPECT_EQ(inChildProcess([&] {
                  TableError e = kOk;
                  auto f = systemFileSystem().open(p, FileOpenRequest{}, &e);
                  return f ? 0 : exitCodeOf(e);
              }),
              12);
}

#endif  // !_WIN32

}  // namespace
}  // namespace tables
