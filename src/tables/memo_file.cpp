#include "memo_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "table_layout.h"

namespace tables {

namespace {

using layout::getI32;
using layout::kBlockData;
using layout::kBlockSize;
using layout::putI32;

constexpr TableError kMemoFailed = kMemoAccessFailed;

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

TableError MemoFile::write(std::string_view value, std::int32_t oldFirst, std::int32_t& newFirst) {
    newFirst = 0;
    if (value.empty() && oldFirst == 0) return kOk;
    const std::size_t needed = (value.size() + kBlockData - 1) / kBlockData;

    // The old chain, as far as it is sound: blocks inside the file, in use,
    // each pointing back at its predecessor. Whatever lies beyond a broken
    // link may belong to another value or to the free list and is left alone.
    // A block that cannot be read or locked fails the write before anything
    // is written: cut short there, the chain's later blocks would be lost.
    const std::int64_t size = file_.size();
    if (size < 0) return kMemoFailed;
    const std::int64_t fileBlocks = size / kBlockSize;
    std::vector<std::int32_t> old;
    for (std::int32_t b = oldFirst, prev = 0;
         b >= 1 && b < fileBlocks && std::ssize(old) < fileBlocks;) {
        BlockLinks l;
        if (TableError e = readLinks(b, l)) return e;
        if (l.used < 1 || l.used > kBlockData || l.prev != prev) break;
        old.push_back(b);
        prev = b;
        b = l.next;
    }

    // The header (and its lock byte at offset 0) is needed only when the
    // free list or the block count is: when the new chain needs more blocks
    // than the old one had, or leaves some of them over.
    ByteLockGuard headerLock;
    MemoHeader h;
    if (needed != old.size()) {
        if (TableError e = headerLock.acquire(locks_, 0)) return e;
        if (readHeader(file_, scrambler_, h) != kOk) return kMemoFailed;
        // Blocks the header does not count are no chain's.
        auto cut =
            std::find_if(old.begin(), old.end(), [&](std::int32_t b) { return b >= h.blockCount; });
        old.erase(cut, old.end());
    } else {
        h.blockCount = static_cast<std::int32_t>(std::min<std::int64_t>(fileBlocks, INT32_MAX));
    }
    const std::int32_t count = h.blockCount;
    auto inFile = [&](std::int32_t b) { return b >= 1 && b < h.blockCount; };

    bool headerDirty = false;
    std::size_t reused = 0;
    auto allocate = [&](std::int32_t& block) -> TableError {
        if (reused < old.size()) {
            block = old[reused++];
            return kOk;
        }
        if (inFile(h.firstFree)) {
            BlockLinks l;
            if (TableError e = readLinks(h.firstFree, l)) return e;
            // Only a block that really is free is taken from the list.
            if (l.used == 0) {
                block = h.firstFree;
                h.firstFree = inFile(l.next) ? l.next : 0;
                h.freeCount = std::max(0, h.freeCount - 1);
                headerDirty = true;
                return kOk;
            }
        }
        if (h.blockCount == INT32_MAX) return kMemoFailed;
        block = h.blockCount++;
        headerDirty = true;
        return kOk;
    };

    TableError result = kOk;
    if (needed > 0) {
        std::int32_t cur = 0;
        result = allocate(cur);
        newFirst = cur;
        std::int32_t prev = 0;
        for (std::size_t i = 0; result == kOk && i < needed; ++i) {
            std::int32_t next = 0;
            if (i + 1 < needed && (result = allocate(next)) != kOk) break;
            std::size_t from = i * kBlockData;
            auto used =
                static_cast<std::int32_t>(std::min<std::size_t>(kBlockData, value.size() - from));
            result = writeBlock(cur, prev, next, value.data() + from, used);
            prev = cur;
            cur = next;
        }
    }

    // Old blocks not needed go to the head of the free list as one run.
    if (result == kOk && reused < old.size()) {
        const std::int32_t oldFree = inFile(h.firstFree) ? h.firstFree : 0;
        bool freedLast = false;
        for (std::size_t k = reused; k < old.size() && result == kOk; ++k) {
            std::int32_t prev = k == reused ? 0 : old[k - 1];
            std::int32_t next = k + 1 < old.size() ? old[k + 1] : oldFree;
            result = writeBlock(old[k], prev, next, nullptr, 0);
            if (old[k] == count - 1) freedLast = true;
        }
        if (result == kOk && oldFree != 0)
            result = writeWord(std::int64_t(oldFree) * kBlockSize, old.back());
        if (result == kOk) {
            h.firstFree = old[reused];
            h.freeCount += static_cast<std::int32_t>(old.size() - reused);
            headerDirty = true;
            if (freedLast) result = shrinkTail(h);
        }
    }

    if (headerDirty) {
        TableError e = writeHeader(h);
        if (result == kOk) result = e;
    }
    if (result != kOk) newFirst = 0;
    return result;
}

TableError MemoFile::shrinkTail(MemoHeader& h) {
    auto inFile = [&](std::int32_t b) { return b >= 1 && b < h.blockCount; };
    std::int32_t b = h.blockCount - 1;
    for (; b >= 1; --b) {
        BlockLinks l;
        if (TableError e = readLinks(b, l)) return e;
        if (l.used != 0) break;
        // Take it out of the free list, joining its neighbours where they
        // really point at it.
        if (inFile(l.prev) && l.prev != b) {
            BlockLinks p;
            if (TableError e = readLinks(l.prev, p)) return e;
            if (p.next == b) {
                if (TableError e = writeWord(std::int64_t(l.prev) * kBlockSize + 4, l.next))
                    return e;
            }
        }
        if (inFile(l.next) && l.next != b) {
            BlockLinks n;
            if (TableError e = readLinks(l.next, n)) return e;
            if (n.prev == b) {
                if (TableError e = writeWord(std::int64_t(l.next) * kBlockSize, l.prev)) return e;
            }
        }
        if (h.firstFree == b) h.firstFree = inFile(l.next) ? l.next : 0;
        h.freeCount = std::max(0, h.freeCount - 1);
    }
    h.blockCount = b + 1;
    return file_.truncate(std::int64_t(h.blockCount) * kBlockSize) == kOk ? kOk : kMemoFailed;
}

}  // namespace tables
