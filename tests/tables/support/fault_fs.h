// A FileSystem for tests: passes every call to a real one (the platform's by
// default) and can make chosen calls fail, come back short, or run on a fake
// clock, while counting what was called.
//
//   FaultFileSystem fs;
//   ScopedFileSystem use(fs);          // the table operations now go through fs
//   fs.failWritesAfter(100);           // the write crossing byte 100 fails with -14
//   EXPECT_FALSE(table.append(...));
//   EXPECT_EQ(fs.heldLocks().size(), 0u);
//
// Faults apply to every File made through the object, also to those opened
// before the fault was set. Byte limits count from the moment they are set.
// Files may outlive the FaultFileSystem; they then simply pass calls through.
// Not thread-safe: use it from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_io.h"

namespace tables::testing {

class FaultFileSystem : public FileSystem {
  public:
    struct Counts {
        int opens = 0;  // open() calls, failed ones included
        int creates = 0;
        int closes = 0;  // Files destroyed
        int reads = 0;
        int writes = 0;
        int sizes = 0;
        int truncates = 0;
        int syncs = 0;
        int locks = 0;  // lock() calls, failed ones included
        int unlocks = 0;
        int sleeps = 0;
        // The calls failCall() counts, and those crashAtWrite() counts.
        int ioCalls() const { return reads + writes + sizes + truncates + locks + unlocks; }
        int changes() const { return writes + truncates; }
        std::int64_t bytesRead = 0;     // delivered to callers
        std::int64_t bytesWritten = 0;  // that reached the real file
        std::int64_t sleptMs = 0;
    };

    struct HeldLock {
        std::string path;
        std::int64_t offset;
        std::int64_t length;
        bool operator==(const HeldLock&) const = default;
    };

    explicit FaultFileSystem(FileSystem& base = systemFileSystem());
    ~FaultFileSystem() override;

    // --- faults (each stays until cleared) ---

    // open() (and create() when `alsoCreate`) fails with `code` for paths
    // that end with `pathSuffix` (ASCII case ignored; empty: every path).
    void failOpen(TableError code, std::string pathSuffix = {}, bool alsoCreate = false);
    // Once `bytes` more bytes have been written, writes fail with `code`; the
    // write that crosses the limit first writes the bytes below it (a torn write).
    void failWritesAfter(std::int64_t bytes, TableError code = kDiskFull);
    // Once `bytes` more bytes have been read, reads come back short: the read
    // that crosses the limit gets the bytes below it, later reads get 0 bytes.
    void shortReadsAfter(std::int64_t bytes);
    // Once `bytes` more bytes have been read, reads fail with `code`.
    void failReadsAfter(std::int64_t bytes, TableError code = kHardwareFault);
    // lock() fails with `code` after `afterCalls` more successful-or-not calls
    // to lock(); with a range, only requests that overlap it fail.
    void failLocks(TableError code = kLockViolation, int afterCalls = 0);
    void failLocksOverlapping(std::int64_t offset, std::int64_t length,
                              TableError code = kLockViolation);
    void failUnlocks(TableError code = kUnlockFailed);
    void failSize(TableError code = kUnknown);
    void failTruncate(TableError code = kHardwareFault);
    void failSync(TableError code = kHardwareFault);
    // The k-th I/O call from now on (from 1; reads, writes, truncates, size
    // queries, locks and unlocks all count) fails with `code` and has no
    // effect; the calls after it work again.
    void failCall(int k, TableError code = kHardwareFault);
    // The kind of call failCall() made fail ("read", "write", "truncate",
    // "size", "lock", "unlock"), or null while it has not come yet.
    const char* failedCall() const;
    // The process dies just before the k-th write or truncate from now on
    // (from 1): that call and every later write and truncate report success
    // and change nothing, while reads go on seeing the files as they are.
    void crashAtWrite(int k);
    // Whether the crash set by crashAtWrite() has happened.
    bool crashed() const;
    // Stops every fault above (counts and the clock stay).
    void clearFaults();

    // --- clock ---

    // With a fake clock, sleepMs() returns at once and moves tickCount() on
    // by the time asked for; tickCount() starts at `start`.
    void useFakeClock(std::uint32_t start = 0);
    void advanceClock(std::uint32_t ms);

    // --- observation ---

    const Counts& counts() const;
    void resetCounts();
    // Locks currently held through Files of this object, in the order taken.
    std::vector<HeldLock> heldLocks() const;
    // Files of this object not yet destroyed.
    int openFiles() const;

    // --- FileSystem ---
    std::unique_ptr<File> open(const std::string& path, const FileOpenRequest& request,
                               TableError* error) override;
    std::unique_ptr<File> create(const std::string& path, TableError* error) override;
    std::string absolutePath(const std::string& path) override;
    std::string resolveCase(const std::string& path) override;
    std::uint32_t tickCount() override;
    void sleepMs(std::uint32_t ms) override;

    struct State;  // shared with the Files, so that they may outlive this object

  private:
    FileSystem& base_;
    std::shared_ptr<State> state_;
};

// Puts a FileSystem in place of the platform's for the table operations
// while it lives (restoring the platform's at the end).
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(FileSystem& fs) { setFileSystemForTesting(&fs); }
    ~ScopedFileSystem() { setFileSystemForTesting(nullptr); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
};

}  // namespace tables::testing
