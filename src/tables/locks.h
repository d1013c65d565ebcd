// Internal: the byte-range locks one open table holds on one of its files.
//
// A byte is locked once with the operating system however often it is
// requested; it is unlocked when its request count returns to zero. A range
// lock (the whole-table lock, a scan batch) is taken as the pieces between the
// single bytes already held, so that releasing either never drops the other.
// Bytes requested while a range covers them need no lock of their own.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "file_io.h"
#include "table_error.h"

namespace tables {

class LockSet {
  public:
    LockSet() = default;
    LockSet(File* file, bool enabled) : file_(file), enabled_(enabled) {}

    [[nodiscard]] TableError lockByte(std::int64_t offset);
    [[nodiscard]] TableError unlockByte(std::int64_t offset);
    [[nodiscard]] TableError lockRange(std::int64_t offset, std::int64_t length);
    [[nodiscard]] TableError unlockRange(std::int64_t offset, std::int64_t length);

    // Drops every lock still held (close, or cleanup after a failure).
    void releaseAll();
    bool empty() const { return bytes_.empty() && ranges_.empty(); }

  private:
    struct Byte {
        int count = 0;
        bool osLocked = false;  // locked on its own, not only through a range
    };
    struct Range {
        std::int64_t offset = 0, length = 0;
        int count = 0;
        std::vector<std::pair<std::int64_t, std::int64_t>> pieces;
    };

    bool coveredByRange(std::int64_t offset) const;
    Range* findRange(std::int64_t offset, std::int64_t length);

    File* file_ = nullptr;
    bool enabled_ = false;
    std::map<std::int64_t, Byte> bytes_;
    std::vector<Range> ranges_;
};

// Holds one byte lock for a scope.
class ByteLockGuard {
  public:
    ByteLockGuard() = default;
    ByteLockGuard(const ByteLockGuard&) = delete;
    ByteLockGuard& operator=(const ByteLockGuard&) = delete;
    ~ByteLockGuard() { release(); }

    [[nodiscard]] TableError acquire(LockSet& set, std::int64_t offset) {
        release();
        TableError e = set.lockByte(offset);
        if (e == kOk) {
            set_ = &set;
            offset_ = offset;
        }
        return e;
    }
    // Takes over a lock the caller already acquired.
    void adopt(LockSet& set, std::int64_t offset) {
        release();
        set_ = &set;
        offset_ = offset;
    }
    void release() {
        // Releasing runs in destructors and after the work is done: there is
        // no one to tell, and the operating system drops the lock at close.
        if (set_) (void)set_->unlockByte(offset_);
        set_ = nullptr;
    }

  private:
    LockSet* set_ = nullptr;
    std::int64_t offset_ = 0;
};

// Holds one range lock for a scope.
class RangeLockGuard {
  public:
    RangeLockGuard() = default;
    RangeLockGuard(const RangeLockGuard&) = delete;
    RangeLockGuard& operator=(const RangeLockGuard&) = delete;
    ~RangeLockGuard() { release(); }

    [[nodiscard]] TableError acquire(LockSet& set, std::int64_t offset, std::int64_t length) {
        release();
        TableError e = set.lockRange(offset, length);
        if (e == kOk) {
            set_ = &set;
            offset_ = offset;
            length_ = length;
        }
        return e;
    }
    void release() {
        // As for ByteLockGuard: nothing to report to, the close drops it anyway.
        if (set_) (void)set_->unlockRange(offset_, length_);
        set_ = nullptr;
    }

  private:
    LockSet* set_ = nullptr;
    std::int64_t offset_ = 0, length_ = 0;
};

}  // namespace tables
