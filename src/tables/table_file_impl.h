// Internal: the state of an open table and the pieces its operations share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "file_io.h"
#include "locks.h"
#include "memo_file.h"
#include "scramble.h"
#include "table_file.h"

namespace tables {

// What forEachRecord() shares with the reads its visitor makes: whether it
// may still wait for a record another process holds, and its first failure.
struct WalkState {
    bool mayWait = true;  // a walk waits (up to 2 s) once; later locks fail at once
    TableError error = kOk;
    std::int64_t errorSlot = 0;
    std::string detail;  // what the context says instead of the record number

    void fail(TableError e, std::int64_t slot, std::string what = {}) {
        if (error != kOk) return;
        error = e;
        errorSlot = slot;
        detail = std::move(what);
    }
};

// What read() and isDeleted() answer from while find() or forEachRecord()
// hands a record to the caller's function.
struct RecordView {
    const std::uint8_t* record = nullptr;  // unscrambled slot bytes
    TableError error = kOk;                // non-zero: the slot could not be read
    bool stale = false;                    // written meanwhile: answer from the file
    bool locked = false;                   // the record's lock is held while it is current
    WalkState* walk = nullptr;             // set by forEachRecord()
};

struct TableFile::Impl {
    explicit Impl(std::string_view password) : scrambler(password) {}
    ~Impl();

    std::string path;
    std::string registryKey;
    std::unique_ptr<File> file;
    std::unique_ptr<File> memoFile;
    Scrambler scrambler;
    LockSet locks;
    LockSet memoLocks;
    std::vector<FieldDescriptor> fields;
    std::vector<int> canonical;  // per field: the first field whose name matches it
    std::int32_t recordSize = 0;
    std::int64_t dataStart = 0;
    std::int32_t version = 0;
    bool readOnly = false;
    Sharing sharing = Sharing::Shared;

    std::int64_t cursor = 0;  // slot; -1 before the first record
    RecordView* view = nullptr;
    int callbackDepth = 0;
    bool closeRequested = false;
    std::uint64_t purgeCount = 0;
    std::size_t nextGuess = 0;  // where the next field-name lookup starts

    std::int64_t slotOffset(std::int64_t slot) const { return dataStart + slot * recordSize; }
    int fieldIndex(std::string_view name);
    MemoFile memo() { return MemoFile(*memoFile, memoLocks, scrambler); }

    // Reads exactly n bytes at offset and unscrambles them: the count read
    // (short at the end of the file) or a negative code.
    [[nodiscard]] std::int64_t readPlain(std::int64_t offset, void* buf, std::size_t n);
    // Scrambles a copy of the bytes and writes it.
    [[nodiscard]] TableError writePlain(std::int64_t offset, const void* buf, std::size_t n);
    // Scrambles the buffer in place and writes it.
    [[nodiscard]] TableError writeInPlace(std::int64_t offset, std::uint8_t* buf, std::size_t n);

    [[nodiscard]] TableError lockRecordCount(bool retry);
    [[nodiscard]] TableError readRecordCount(bool retry, std::int32_t& count);
    [[nodiscard]] TableError readCountLocked(std::int32_t& count);

    // The current record's id: from the record handed to find() or
    // forEachRecord()'s function, else read under the record's lock.
    [[nodiscard]] TableError currentId(std::int32_t& id);
    TableValue readField(int index);
    TableValue memoValue(const FieldDescriptor& f, std::int32_t first, TableError& error);
    [[nodiscard]] TableError checkValues(std::span<const TableValue> values) const;
    // Takes the lock byte at `offset`; in a walk that may still wait, a lock
    // another process holds is asked for again for up to 2 s.
    [[nodiscard]] TableError lockWaiting(ByteLockGuard& guard, std::int64_t offset,
                                         WalkState* walk);
    [[nodiscard]] TableError slotReadFailure(std::int64_t slot, std::int64_t got);
};

}  // namespace tables
