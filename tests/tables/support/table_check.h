// An independent look at a table file and its memo file on disk for the
// fault loops: both are decoded through the reference unscrambler, and every
// chain and the free list are walked here, without the code under test.
//
// Damage is what no stop of an operation may leave: a record (other than a
// stale copy) pointing at a free block, at a block outside the counted ones
// or at a block another record's chain holds; a broken chain (or bytes after
// a block's used ones); a free list that loops, leaves the counted blocks,
// holds a block with data, has a block other than its head that does not
// point back at the one before it, or is longer than its count. Allowed and
// not reported: leaked blocks, whole blocks after the counted ones, a free
// count above the list's length, stale copies.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/table_bytes.h"

namespace tables::testing {

struct RawField {
    std::string name;
    std::int32_t type = 0, offset = 0, width = 0;
};

struct RawRecord {
    std::int64_t slot = 0;
    std::int32_t id = 0;  // negative: marked deleted
    // Its absolute id occurs at a lower slot: a copy an interrupted purge
    // left behind (its chains are not looked at).
    bool stale = false;
    Bytes bytes;  // the slot, unscrambled
    // Memo-text and byte-set values by field name, where the chain is sound.
    std::map<std::string, std::string> memo;

    bool live() const { return id > 0; }
};

struct RawTable {
    std::int32_t count = 0, nextId = 0, recordSize = 0;
    std::int64_t dataStart = 0;
    std::vector<RawField> fields;
    std::vector<RawRecord> records;
    std::int32_t blockCount = 0, freeCount = 0, firstFree = 0, freeListLength = 0;
    std::vector<std::string> damage;

    const RawField& field(std::string_view name) const;
    std::int32_t integer(const RawRecord& r, std::string_view name) const;
    std::string text(const RawRecord& r, std::string_view name) const;  // up to the NUL
};

RawTable inspectTable(const std::filesystem::path& table, const std::filesystem::path& memo,
                      std::string_view password);

}  // namespace tables::testing
