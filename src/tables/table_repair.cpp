// The repair of what interrupted operations leave. Every write keeps the
// files in a state the check passes, so a repair that stops part-way is
// finished by the next one:
// - cuts beyond the counted slots or blocks touch nothing anyone reads;
// - a live copy is marked deleted (4 bytes) before its slot goes; slots are
//   removed as purge removes them, each write moving kept records down and
//   marking the old places of the moved ones deleted in the same call;
// - leaked blocks are rewritten as free blocks before the one header write
//   that puts them on the list.
#include <algorithm>
#include <cstring>
#include <vector>

#include "table_check.h"
#include "table_scan.h"

namespace tables {

namespace {

using layout::getI32;
using layout::kBlockSize;
using layout::putI32;

constexpr std::int64_t kBatchBytes = 163840;

std::string number(std::int64_t v) { return std::to_string(v); }

std::string blockRun(std::int32_t first, std::int32_t last) {
    return first == last ? "block " + number(first)
                         : "blocks " + number(first) + " to " + number(last);
}

class Repairer {
  public:
    Repairer(TableScan& scan, std::vector<std::string>& changes)
        : scan_(scan), changes_(changes), t_(scan.table()), m_(scan.memo()) {}

    TableError run() {
        if (TableError e = cutTableSurplus()) return e;
        if (TableError e = markLiveCopies()) return e;
        if (TableError e = removeCopies()) return e;
        if (!m_.present) return kOk;
        if (TableError e = cutMemoSurplus()) return e;
        if (TableError e = cutLeakedTail()) return e;
        return freeLeaked();
    }

  private:
    // Scrambles a copy of the bytes and writes them in one call.
    TableError write(File& file, std::int64_t offset, const std::uint8_t* plain, std::size_t n) {
        std::vector<std::uint8_t> buf(plain, plain + n);
        scan_.scrambler().apply(offset, buf.data(), n);
        return file.writeAt(offset, buf.data(), n);
    }

    TableError writeWord(File& file, std::int64_t offset, std::int32_t value) {
        std::uint8_t w[4];
        putI32(w, value);
        return write(file, offset, w, 4);
    }

    std::int64_t slotOffset(std::int64_t slot) const { return t_.dataStart + slot * t_.recordSize; }

    TableError cutTableSurplus() {
        const std::int64_t end = slotOffset(t_.count);
        if (t_.fileLength <= end) return kOk;
        if (TableError e = scan_.tableFile().truncate(end)) return e;
        changes_.push_back("cut the " + number(t_.fileLength - end) +
                           " bytes that followed the last record slot");
        return kOk;
    }

    TableError markLiveCopies() {
        for (const TableScan::Copy& c : t_.copies) {
            if (!c.live) continue;
            std::uint8_t w[4];
            if (read(scan_.tableFile(), slotOffset(c.slot), w, 4) != 4) return kFieldReadFailed;
            if (TableError e = writeWord(scan_.tableFile(), slotOffset(c.slot), -getI32(w)))
                return e;
            changes_.push_back("marked record " + number(c.slot + 1) +
                               " deleted: the same record as record " + number(c.owner + 1));
        }
        return kOk;
    }

    std::int64_t read(File& file, std::int64_t offset, std::uint8_t* buf, std::size_t n) {
        const std::int64_t got = file.readAt(offset, buf, n);
        if (got > 0) scan_.scrambler().apply(offset, buf, static_cast<std::size_t>(got));
        return got;
    }

    // Removes the copies' slots, keeping every other record in its order
    // (records marked deleted included: removing those is purge's work).
    TableError removeCopies() {
        if (t_.copies.empty()) return kOk;
        File& file = scan_.tableFile();
        const std::int64_t rs = t_.recordSize;
        const std::int64_t count = t_.count;
        const std::int64_t perBatch = std::max<std::int64_t>(1, kBatchBytes / rs);
        std::vector<std::uint8_t> batch(static_cast<std::size_t>(perBatch * rs));
        std::vector<std::uint8_t> out;
        std::size_t next = 0;  // the first copy not yet passed
        std::int64_t kept = t_.copies.front().slot;
        auto negated = [](std::uint8_t* rec) {
            const std::int32_t id = getI32(rec);
            if (id > 0) putI32(rec, -id);
        };
        // Records already moved are changes too, though no copy is gone yet.
        bool moved = false;
        auto stopped = [&](TableError e) {
            if (moved)
                changes_.push_back(
                    "moved records down over copies, then stopped before the "
                    "record count was written");
            return e;
        };
        for (std::int64_t start = kept; start < count; start += perBatch) {
            const std::int64_t n = std::min(perBatch, count - start);
            const auto bytes = static_cast<std::size_t>(n * rs);
            if (read(file, slotOffset(start), batch.data(), bytes) != std::int64_t(bytes))
                return stopped(kRecordReadFailed);
            std::vector<std::int64_t> keep;  // batch indexes of the kept records
            for (std::int64_t i = 0; i < n; ++i) {
                if (next < t_.copies.size() && t_.copies[next].slot == start + i) {
                    ++next;
                    continue;
                }
                keep.push_back(i);
            }
            const auto k = static_cast<std::int64_t>(keep.size());
            if (k == 0) continue;
            out.resize(static_cast<std::size_t>(k * rs));
            for (std::int64_t j = 0; j < k; ++j)
                std::memcpy(out.data() + j * rs, batch.data() + keep[j] * rs,
                            static_cast<std::size_t>(rs));
            if (kept + k >= start) {
                // One write: the kept records, then the rest of the batch's
                // own slots marked deleted (old places of moved records).
                for (std::int64_t p = kept + k; p < start + n; ++p) {
                    const std::uint8_t* old = batch.data() + (p - start) * rs;
                    out.insert(out.end(), old, old + rs);
                    negated(out.data() + (p - kept) * rs);
                }
                if (TableError e = write(file, slotOffset(kept), out.data(), out.size()))
                    return stopped(e);
            } else {
                // The records land wholly below the batch: they are written
                // first (for a moment each is there twice, identical), then
                // the batch's slots are marked deleted; should that fail, the
                // written copies are marked deleted again.
                if (TableError e = write(file, slotOffset(kept), out.data(), out.size()))
                    return stopped(e);
                moved = true;
                for (std::int64_t i = 0; i < n; ++i) negated(batch.data() + i * rs);
                if (TableError e = write(file, slotOffset(start), batch.data(), bytes)) {
                    for (std::int64_t j = 0; j < k; ++j) negated(out.data() + j * rs);
                    (void)write(file, slotOffset(kept), out.data(), out.size());
                    return stopped(e);
                }
            }
            moved = true;
            kept += k;
        }
        if (TableError e =
                writeWord(file, layout::kRecordCountOffset, static_cast<std::int32_t>(kept)))
            return stopped(e);
        for (const TableScan::Copy& c : t_.copies)
            changes_.push_back("removed record " + number(c.slot + 1) + ", a " +
                               (c.live ? "second" : "deleted") + " copy of record " +
                               number(c.owner + 1));
        changes_.push_back("lowered the record count from " + number(count) + " to " +
                           number(kept));
        if (TableError e = file.truncate(slotOffset(kept))) return e;
        return kOk;
    }

    TableError cutMemoSurplus() {
        const std::int64_t counted = std::int64_t(m_.header.blockCount) * kBlockSize;
        if (m_.fileLength <= counted) return kOk;
        if (TableError e = scan_.memoFile().truncate(counted)) return e;
        changes_.push_back("cut the " + number(m_.fileLength - counted) +
                           " bytes that followed the memo file's " + number(m_.header.blockCount) +
                           " counted blocks");
        return kOk;
    }

    // Rewrites the memo header's counts in one write. `listed` is how many
    // blocks were on the list before this write added any: a count that said
    // otherwise is reported as mended.
    TableError writeMemoHeader(std::int32_t blockCount, std::int32_t freeCount,
                               std::int32_t firstFree, std::int32_t listed) {
        std::uint8_t h[layout::kMemoHeaderSize];
        if (read(scan_.memoFile(), 0, h, sizeof h) != std::int64_t(sizeof h))
            return kMemoAccessFailed;
        putI32(h + layout::kMemoBlockCountOffset, blockCount);
        putI32(h + layout::kMemoFreeCountOffset, freeCount);
        putI32(h + layout::kMemoFirstFreeOffset, firstFree);
        if (TableError e = write(scan_.memoFile(), 0, h, sizeof h)) return e;
        if (listed != freeCount_)
            changes_.push_back("set the free block count from " + number(freeCount_) + " to " +
                               number(listed));
        blockCount_ = blockCount;
        freeCount_ = freeCount;
        firstFree_ = firstFree;
        return kOk;
    }

    // Leaked blocks that end the file are cut off: the count first (they
    // are then surplus blocks), then the file.
    TableError cutLeakedTail() {
        std::int32_t newCount = blockCount_;
        while (!leaked_.empty() && leaked_.back() == newCount - 1) {
            leaked_.pop_back();
            --newCount;
        }
        if (newCount == blockCount_) return kOk;
        const std::int32_t oldCount = blockCount_;
        const auto listed = static_cast<std::int32_t>(m_.listLength);
        if (TableError e = writeMemoHeader(newCount, listed, firstFree_, listed)) return e;
        if (TableError e = scan_.memoFile().truncate(std::int64_t(newCount) * kBlockSize)) return e;
        changes_.push_back("cut leaked " + blockRun(newCount, oldCount - 1) +
                           " off the end of the memo file");
        return kOk;
    }

    // The other leaked blocks go on the free list in front of its head, as
    // one run, committed by one header write.
    TableError freeLeaked() {
        const auto listLength = static_cast<std::int32_t>(m_.listLength);
        if (leaked_.empty()) {
            if (freeCount_ == listLength) return kOk;
            return writeMemoHeader(blockCount_, listLength, firstFree_, listLength);
        }
        File& memo = scan_.memoFile();
        std::uint8_t block[kBlockSize];
        for (std::size_t i = 0; i < leaked_.size(); ++i) {
            std::memset(block, 0, sizeof block);
            putI32(block + layout::kBlockPrevOffset, i == 0 ? 0 : leaked_[i - 1]);
            putI32(block + layout::kBlockNextOffset,
                   i + 1 < leaked_.size() ? leaked_[i + 1] : firstFree_);
            if (TableError e =
                    write(memo, std::int64_t(leaked_[i]) * kBlockSize, block, sizeof block))
                return e;
        }
        if (firstFree_ != 0) {
            if (TableError e = writeWord(
                    memo, std::int64_t(firstFree_) * kBlockSize + layout::kBlockPrevOffset,
                    leaked_.back()))
                return e;
        }
        if (TableError e =
                writeMemoHeader(blockCount_, listLength + static_cast<std::int32_t>(leaked_.size()),
                                leaked_[0], listLength))
            return e;
        for (std::size_t i = 0; i < leaked_.size();) {
            std::size_t end = i;
            while (end + 1 < leaked_.size() && leaked_[end + 1] == leaked_[end] + 1) ++end;
            changes_.push_back("put leaked " + blockRun(leaked_[i], leaked_[end]) +
                               " on the free list");
            i = end + 1;
        }
        return kOk;
    }

    TableScan& scan_;
    std::vector<std::string>& changes_;
    const TableScan::TableFacts& t_;
    const TableScan::MemoFacts& m_;
    std::vector<std::int32_t> leaked_ = m_.leaked;
    std::int32_t blockCount_ = m_.header.blockCount;
    std::int32_t freeCount_ = m_.header.freeCount;
    std::int32_t firstFree_ = m_.header.firstFree;
};

}  // namespace

Status repairTable(std::string_view fileName, std::string_view password, RepairReport& report) {
    report.findings.clear();
    report.changes.clear();
    TableScan scan(password);
    if (Status s = scan.run(fileName, true, report.findings); !s) return s;
    for (const Finding& f : report.findings)
        if (f.severity == Severity::Damage) return scan.fail(f.code);
    Repairer repairer(scan, report.changes);
    if (TableError e = repairer.run()) return scan.fail(e);
    setLastTableError(kOk);
    return {};
}

}  // namespace tables
