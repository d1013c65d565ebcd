// Internal: memo-text and byte-set values in chains of 512-byte blocks.
//
// The writes go in an order that a stop at any point (a crash, a failed
// call) cannot turn into damage: a block is written before anything points
// at it, blocks are taken off the free list (one header write) before they
// get chain content, and blocks are freed only once no record points at
// them. A stop may leak blocks (in no chain and not on the free list) or
// leave whole blocks after the counted ones, never more.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "locks.h"
#include "scramble.h"
#include "table_error.h"

namespace tables {

struct MemoHeader {
    std::uint8_t raw[32] = {};  // as read, unscrambled
    std::int32_t version = 0;
    std::int32_t blockCount = 0;
    std::int32_t freeCount = 0;
    std::int32_t firstFree = 0;
};

class MemoFile {
  public:
    MemoFile(File& file, LockSet& locks, Scrambler& scrambler)
        : file_(file), locks_(locks), scrambler_(scrambler) {}

    // The value whose chain starts at `first` (0: empty). A chain that leaves
    // the file, loops or has an impossible used count fails with kMemoAccessFailed.
    [[nodiscard]] TableError read(std::int32_t first, std::string& out);

    // Stores `value` in a chain made of the blocks of the chain at `oldFirst`
    // (0: none) in their order, then blocks from the free list, then new
    // blocks at the end of the file; `newFirst` receives its first block (0
    // for an empty value). Nothing is freed here: the old chain's blocks the
    // value does not need come back in `leftover`, and the caller hands them
    // to freeRun() once the record points at the new chain. If the record
    // cannot be written they stay out of use (leaked), which is harmless.
    [[nodiscard]] TableError write(std::string_view value, std::int32_t oldFirst,
                                   std::int32_t& newFirst, std::vector<std::int32_t>& leftover);

    // Puts blocks that no record points at any more at the head of the free
    // list as one run, then cuts the file's tail when it became free.
    [[nodiscard]] TableError freeRun(std::span<const std::int32_t> run);

    // Frees the chain that starts at `first` (as far as it is sound).
    [[nodiscard]] TableError free(std::int32_t first);

    // The 32-byte header at offset 0 (the caller holds what lock it needs).
    [[nodiscard]] static TableError readHeader(File& file, Scrambler& scrambler, MemoHeader& h);

  private:
    struct BlockLinks {
        std::int32_t prev = 0, next = 0, used = 0;
    };

    // The blocks of the chain at `first` that are sound: inside the file, in
    // use, each pointing back at its predecessor. What lies beyond a broken
    // link may belong to another value or to the free list.
    [[nodiscard]] TableError soundChain(std::int32_t first, std::vector<std::int32_t>& blocks);
    [[nodiscard]] TableError readLinks(std::int32_t block, BlockLinks& links);
    [[nodiscard]] TableError writeBlock(std::int32_t block, std::int32_t prev, std::int32_t next,
                                        const char* data, std::int32_t used);
    [[nodiscard]] TableError writeWord(std::int64_t offset, std::int32_t value);
    [[nodiscard]] TableError writeHeader(MemoHeader& h);
    [[nodiscard]] TableError shrinkTail(MemoHeader& h);

    File& file_;
    LockSet& locks_;
    Scrambler& scrambler_;
};

}  // namespace tables
