#include "memo_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "table_layout.h"

namespace tables {

namespace {

using layout::getI32;
using layout::kBlockData;
using layout::kBlockSize;
using layout::putI32;

constexpr TableError kMemoFailed = kMemoAccessFailed;

// Blocks from the first one the header does not count are no chain's.
void cutAtCount(std::vector<std::int32_t>& blocks, std::int32_t blockCount) {
    auto cut = std::find_if(blocks.begin(), blocks.end(),
                            [&](std::int32_t b) { return b < 1 || b >= blockCount; });
    blocks.erase(cut, blocks.end());
}

}  // namespace

TableError MemoFile::readHeader(File& file, Scrambler& scrambler, MemoHeader& h) {
    std::int64_t n = file.readAt(0, h.raw, sizeof h.raw);
    if (n != static_cast<std::int64_t>(sizeof h.raw)) return kMemoFailed;
    scrambler.apply(0, h.raw, sizeof h.raw);
    h.version = getI32(h.raw + 4);
    h.blockCount = getI32(h.raw + 16);
    h.freeCount = getI32(h.raw + 20);
    h.firstFree = getI32(h.raw + 24);
    return kOk;
}

TableError MemoFile::writeHeader(MemoHeader& h) {
    putI32(h.raw + 16, h.blockCount);
    putI32(h.raw + 20, h.freeCount);
    putI32(h.raw + 24, h.firstFree);
    std::uint8_t buf[32];
    std::memcpy(buf, h.raw, sizeof buf);
    scrambler_.apply(0, buf, sizeof buf);
    return file_.writeAt(0, buf, sizeof buf) == kOk ? kOk : kMemoFailed;
}

TableError MemoFile::readLinks(std::int32_t block, BlockLinks& links) {
    ByteLockGuard guard;
    std::int64_t offset = std::int64_t(block) * kBlockSize;
    if (TableError e = guard.acquire(locks_, offset)) return e;
    std::uint8_t buf[12];
    if (file_.readAt(offset, buf, sizeof buf) != static_cast<std::int64_t>(sizeof buf))
        return kMemoFailed;
    scrambler_.apply(offset, buf, sizeof buf);
    links.prev = getI32(buf);
    links.next = getI32(buf + 4);
    links.used = getI32(buf + 8);
    return kOk;
}

TableError MemoFile::writeBlock(std::int32_t block, std::int32_t prev, std::int32_t next,
                                const char* data, std::int32_t used) {
    ByteLockGuard guard;
    std::int64_t offset = std::int64_t(block) * kBlockSize;
    if (TableError e = guard.acquire(locks_, offset)) return e;
    std::uint8_t buf[kBlockSize] = {};
    putI32(buf, prev);
    putI32(buf + 4, next);
    putI32(buf + 8, used);
    if (used > 0) std::memcpy(buf + 12, data, static_cast<std::size_t>(used));
    scrambler_.apply(offset, buf, sizeof buf);
    return file_.writeAt(offset, buf, sizeof buf) == kOk ? kOk : kMemoFailed;
}

TableError MemoFile::writeWord(std::int64_t offset, std::int32_t value) {
    ByteLockGuard guard;
    if (TableError e = guard.acquire(locks_, offset / kBlockSize * kBlockSize)) return e;
    std::uint8_t buf[4];
    putI32(buf, value);
    scrambler_.apply(offset, buf, sizeof buf);
    return file_.writeAt(offset, buf, sizeof buf) == kOk ? kOk : kMemoFailed;
}

TableError MemoFile::read(std::int32_t first, std::string& out) {
    out.clear();
    if (first == 0) return kOk;
    std::int64_t size = file_.size();
    if (size < 0) return kMemoFailed;
    const std::int64_t fileBlocks = size / kBlockSize;
    std::int64_t steps = 0;
    std::uint8_t buf[kBlockSize];
    try {
        for (std::int32_t b = first; b != 0;) {
            // A chain never leaves the file and never visits more blocks than
            // the file has, so a damaged one cannot run on forever.
            if (b < 1 || b >= fileBlocks || ++steps > fileBlocks) return kMemoFailed;
            std::int64_t offset = std::int64_t(b) * kBlockSize;
            ByteLockGuard guard;
            if (TableError e = guard.acquire(locks_, offset)) return e;
            if (file_.readAt(offset, buf, sizeof buf) != kBlockSize) return kMemoFailed;
            guard.release();
            scrambler_.apply(offset, buf, sizeof buf);
            std::int32_t used = getI32(buf + 8);
            if (used < 0 || used > kBlockData) return kMemoFailed;
            out.append(reinterpret_cast<const char*>(buf + 12), static_cast<std::size_t>(used));
            b = getI32(buf + 4);
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return kAllocationFailed;
    }
    return kOk;
}

TableError MemoFile::soundChain(std::int32_t first, std::vector<std::int32_t>& blocks) {
    blocks.clear();
    if (first == 0) return kOk;
    const std::int64_t size = file_.size();
    if (size < 0) return kMemoFailed;
    const std::int64_t fileBlocks = size / kBlockSize;
    // A block that cannot be read or locked fails the caller before anything
    // is written: cut short there, the chain's later blocks would be lost.
    for (std::int32_t b = first, prev = 0;
         b >= 1 && b < fileBlocks && std::ssize(blocks) < fileBlocks;) {
        BlockLinks l;
        if (TableError e = readLinks(b, l)) return e;
        if (l.used < 1 || l.used > kBlockData || l.prev != prev) break;
        blocks.push_back(b);
        prev = b;
        b = l.next;
    }
    return kOk;
}

TableError MemoFile::write(std::string_view value, std::int32_t oldFirst, std::int32_t& newFirst,
                           std::vector<std::int32_t>& leftover) {
    newFirst = 0;
    leftover.clear();
    if (value.empty() && oldFirst == 0) return kOk;
    const std::size_t needed = (value.size() + kBlockData - 1) / kBlockData;

    // 1. The plan, before anything is written: every read happens here, so
    // a failure here leaves the file as it was.
    std::vector<std::int32_t> old;
    if (TableError e = soundChain(oldFirst, old)) return e;
    // The header (and its lock byte at offset 0) is needed only when the
    // free list or the block count is: when the new chain needs more blocks
    // than the old one had, or leaves some of them over.
    ByteLockGuard headerLock;
    MemoHeader h;
    if (needed != old.size()) {
        if (TableError e = headerLock.acquire(locks_, 0)) return e;
        if (readHeader(file_, scrambler_, h) != kOk) return kMemoFailed;
        cutAtCount(old, h.blockCount);
    }
    const std::size_t reused = std::min(needed, old.size());
    std::vector<std::int32_t> chain(old.begin(), old.begin() + std::ptrdiff_t(reused));
    const std::int32_t counted = h.blockCount;
    auto inFile = [&](std::int32_t b) { return b >= 1 && b < counted; };
    // Free blocks are taken from the head of the list while the head really
    // is free; a head in use, or one already taken (a list that loops), ends
    // the taking.
    std::unordered_set<std::int32_t> taken;
    while (chain.size() < needed && inFile(h.firstFree) && !taken.contains(h.firstFree)) {
        BlockLinks l;
        if (TableError e = readLinks(h.firstFree, l)) return e;
        if (l.used != 0) break;
        chain.push_back(h.firstFree);
        taken.insert(h.firstFree);
        h.firstFree = inFile(l.next) ? l.next : 0;
        h.freeCount = std::max(0, h.freeCount - 1);
    }
    const std::size_t firstNew = chain.size();
    while (chain.size() < needed) {
        if (h.blockCount == INT32_MAX) return kMemoFailed;
        chain.push_back(h.blockCount++);
    }

    auto writeChainBlock = [&](std::size_t i) {
        const std::size_t from = i * kBlockData;
        const auto used =
            static_cast<std::int32_t>(std::min<std::size_t>(kBlockData, value.size() - from));
        return writeBlock(chain[i], i == 0 ? 0 : chain[i - 1], i + 1 < needed ? chain[i + 1] : 0,
                          value.data() + from, used);
    };
    // 2. New blocks at the end first: the header does not count them yet.
    for (std::size_t i = needed; i-- > firstNew;)
        if (TableError e = writeChainBlock(i)) return e;
    // 3. One header write takes the free blocks off the list and counts the
    // new ones. Until the chain below points at them they are only leaked.
    if (!taken.empty() || needed > firstNew) {
        if (TableError e = writeHeader(h)) return e;
    }
    // 4. The rest from the last block to the first, so that each block
    // written points only at blocks that already hold their content. Blocks
    // of the old chain are overwritten in place: until the first one is
    // written the old value reads back, then a mix of both.
    for (std::size_t i = firstNew; i-- > 0;)
        if (TableError e = writeChainBlock(i)) return e;
    newFirst = needed > 0 ? chain[0] : 0;
    leftover.assign(old.begin() + std::ptrdiff_t(reused), old.end());
    return kOk;
}

TableError MemoFile::free(std::int32_t first) {
    std::vector<std::int32_t> blocks;
    if (TableError e = soundChain(first, blocks)) return e;
    return freeRun(blocks);
}

TableError MemoFile::freeRun(std::span<const std::int32_t> run) {
    if (run.empty()) return kOk;
    ByteLockGuard headerLock;
    if (TableError e = headerLock.acquire(locks_, 0)) return e;
    MemoHeader h;
    if (readHeader(file_, scrambler_, h) != kOk) return kMemoFailed;
    std::vector<std::int32_t> blocks(run.begin(), run.end());
    cutAtCount(blocks, h.blockCount);
    if (blocks.empty()) return kOk;
    const auto n = static_cast<std::int32_t>(blocks.size());
    std::int32_t oldFree = h.firstFree >= 1 && h.firstFree < h.blockCount ? h.firstFree : 0;
    // A run that holds the list's head itself (only in a damaged file)
    // must not end in a loop.
    if (std::find(blocks.begin(), blocks.end(), oldFree) != blocks.end()) oldFree = 0;

    // Each block is written free, the last one leading on to the old list;
    // the old head then points back at the run. Until the header names the
    // run's first block, the run is only leaked.
    bool freedLast = false;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t prev = k == 0 ? 0 : blocks[k - 1];
        const std::int32_t next = k + 1 < n ? blocks[k + 1] : oldFree;
        if (TableError e = writeBlock(blocks[k], prev, next, nullptr, 0)) return e;
        if (blocks[k] == h.blockCount - 1) freedLast = true;
    }
    if (oldFree != 0) {
        if (TableError e = writeWord(std::int64_t(oldFree) * kBlockSize, blocks.back())) return e;
    }
    h.firstFree = blocks.front();
    h.freeCount = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::int64_t(h.freeCount) + n, h.blockCount - 1));
    if (TableError e = writeHeader(h)) return e;
    return freedLast ? shrinkTail(h) : kOk;
}

TableError MemoFile::shrinkTail(MemoHeader& h) {
    const std::int32_t count = h.blockCount;
    auto inFile = [&](std::int32_t b) { return b >= 1 && b < count; };

    // The free tail: the blocks from the last one down that hold nothing.
    std::unordered_map<std::int32_t, BlockLinks> links;
    std::int32_t keep = count - 1;
    for (; keep >= 1; --keep) {
        BlockLinks l;
        if (TableError e = readLinks(keep, l)) return e;
        if (l.used != 0) break;
        links.emplace(keep, l);
    }
    const std::int32_t newCount = keep + 1;
    const std::size_t tail = static_cast<std::size_t>(count - newCount);
    if (tail == 0) return kOk;

    // Which of them the free list holds, found by walking it from its head
    // (a free block that the list does not hold is a leaked one and is
    // simply cut off). The walk goes on to the first block after the last
    // of them, so that every neighbour that changes is known.
    std::vector<std::int32_t> order;
    std::unordered_set<std::int32_t> onList;
    std::size_t found = 0;
    for (std::int32_t cur = h.firstFree; inFile(cur) && !onList.contains(cur);) {
        BlockLinks l;
        if (auto it = links.find(cur); it != links.end()) {
            l = it->second;
        } else {
            if (TableError e = readLinks(cur, l)) return e;
            if (l.used != 0) break;
            links.emplace(cur, l);
        }
        order.push_back(cur);
        onList.insert(cur);
        if (cur >= newCount) {
            ++found;
        } else if (found == tail) {
            break;  // the list goes on from here unchanged
        }
        cur = l.next;
    }

    // The list without the tail blocks: each kept block that follows tail
    // blocks is joined to the kept block before it (none: it becomes the
    // head), and a list that ends among tail blocks ends at its last kept
    // block.
    struct Join {
        std::int32_t before, block;
    };
    std::vector<Join> joins;
    std::int32_t firstKept = 0, lastKept = 0;
    bool skipped = false;  // tail blocks met since lastKept
    for (std::int32_t b : order) {
        if (b >= newCount) {
            skipped = true;
            continue;
        }
        if (skipped) joins.push_back({lastKept, b});
        skipped = false;
        if (firstKept == 0) firstKept = b;
        lastKept = b;
    }
    const bool endsAmongTail = skipped && lastKept != 0;
    // A join inside the list changes two words in two blocks, and in between
    // the block's previous word would not name the block before it. While
    // such joins are written, the list starts at the last joined block: the
    // blocks before it are leaked meanwhile (the count is above the list's
    // length), so each write touches only blocks off the list.
    const bool inner =
        std::any_of(joins.begin(), joins.end(), [](const Join& j) { return j.before != 0; });
    if (inner) {
        MemoHeader meanwhile = h;
        meanwhile.firstFree = joins.back().block;
        if (TableError e = writeHeader(meanwhile)) return e;
    }
    for (const Join& j : joins) {
        if (j.before != 0) {
            if (TableError e = writeWord(std::int64_t(j.before) * kBlockSize + 4, j.block))
                return e;
        }
        // A new head's previous word is left until the header names it (a
        // head's previous word is read by nothing) unless the list is cut.
        if (j.before != 0 || inner) {
            if (TableError e = writeWord(std::int64_t(j.block) * kBlockSize, j.before)) return e;
        }
    }
    if (endsAmongTail) {
        // Only makes the list shorter: the tail blocks after it are leaked.
        if (TableError e = writeWord(std::int64_t(lastKept) * kBlockSize + 4, 0)) return e;
    }

    if (!inFile(h.firstFree) || h.firstFree >= newCount) h.firstFree = firstKept;
    h.freeCount = static_cast<std::int32_t>(
        std::max<std::int64_t>(0, std::int64_t(h.freeCount) - std::int64_t(found)));
    h.blockCount = newCount;
    if (TableError e = writeHeader(h)) return e;
    if (!inner && !joins.empty() && joins.front().before == 0) {
        if (TableError e = writeWord(std::int64_t(joins.front().block) * kBlockSize, 0)) return e;
    }
    // A stop before the cut leaves whole blocks after the counted ones.
    return file_.truncate(std::int64_t(newCount) * kBlockSize) == kOk ? kOk : kMemoFailed;
}

}  // namespace tables
