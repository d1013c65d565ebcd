// Internal: memo-text and byte-set values in chains of 512-byte blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

    // Stores `value` over the chain that starts at `oldFirst` (0: none):
    // the old chain's blocks first, then the free list, then new blocks at
    // the end; unneeded old blocks go to the free list and a free tail of the
    // file is cut off. `newFirst` receives the first block (0 for empty).
    [[nodiscard]] TableError write(std::string_view value, std::int32_t oldFirst,
                                   std::int32_t& newFirst);

    // Frees the chain that starts at `first`.
    [[nodiscard]] TableError free(std::int32_t first) {
        std::int32_t ignored = 0;
        return write({}, first, ignored);
    }

    // The 32-byte header at offset 0 (the caller holds what lock it needs).
    [[nodiscard]] static TableError readHeader(File& file, Scrambler& scrambler, MemoHeader& h);

  private:
    struct BlockLinks {
        std::int32_t prev = 0, next = 0, used = 0;
    };

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
