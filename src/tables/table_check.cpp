#include "table_check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "gbk.h"
#include "table_file.h"
#include "table_scan.h"

namespace tables {

namespace {

using layout::getI32;
using layout::kBlockData;
using layout::kBlockSize;

constexpr std::int32_t kFree = -1;
constexpr std::uint32_t kLockWaitMs = 2000;
// Records are read in pieces of about this size (at least one record).
constexpr std::int64_t kReadPiece = 1 << 20;

std::string number(std::int64_t v) { return std::to_string(v); }

std::string recordLabel(std::int64_t slot) { return "record " + number(slot + 1); }

bool zeroFrom(const std::uint8_t* block, std::int32_t used) {
    const std::uint8_t* data = block + layout::kBlockDataOffset;
    return std::all_of(data + used, data + kBlockData, [](std::uint8_t c) { return c == 0; });
}

}  // namespace

Status TableScan::fail(TableError code) const {
    const std::size_t cut = path_.find_last_of("/\\");
    setLastTableError(code);
    return Status(code, (cut == std::string::npos ? path_ : path_.substr(cut + 1)) + ": " + op_);
}

namespace {}  // namespace

// ------------------------------------------------------------ report

bool CheckReport::damaged() const { return damageCode() != kOk; }

TableError CheckReport::damageCode() const {
    for (const Finding& f : findings)
        if (f.severity == Severity::Damage) return f.code;
    return kOk;
}

// ------------------------------------------------------------ scan

void TableScan::finding(Severity severity, TableError code, std::string text) {
    findings_->push_back({severity, code, std::move(text)});
}

std::string TableScan::fieldLabel(std::size_t field) const {
    return "field " + number(std::int64_t(field) + 1) + " \"" +
           convert::gbkToUtf8(structure_.fields[field].name) + "\"";
}

std::string TableScan::chainLabel(const Chain& c) const {
    return recordLabel(c.slot) + " " + fieldLabel(c.field);
}

TableError TableScan::lockWhole(File& file) {
    FileSystem& fs = currentFileSystem();
    TableError e = file.lock(0, layout::kWholeRange);
    const std::uint32_t start = fs.tickCount();
    while (e != kOk && fs.tickCount() - start < kLockWaitMs) {
        fs.sleepMs(20 + fs.tickCount() % 20);
        e = file.lock(0, layout::kWholeRange);
    }
    return e;
}

std::int64_t TableScan::read(File& file, std::int64_t offset, void* buf, std::size_t n) {
    const std::int64_t got = file.readAt(offset, buf, n);
    if (got > 0)
        scrambler_.apply(offset, static_cast<std::uint8_t*>(buf), static_cast<std::size_t>(got));
    return got;
}

Status TableScan::run(std::string_view fileName, bool writable, std::vector<Finding>& findings) {
    findings_ = &findings;
    op_ = writable ? "repair" : "check";
    FileSystem& fs = currentFileSystem();
    path_ = std::string(fileName);
    if (fileName.empty()) return fail(kFileNotFound);
    path_ = layout::tableFilePath(fs, fileName);
    FileOpenRequest request;
    request.readOnly = !writable;
    TableError error = kOk;
    tableFile_ = fs.open(path_, request, &error);
    if (!tableFile_) return fail(error != kOk ? error : kUnknown);
    if (TableError e = lockWhole(*tableFile_)) return fail(e);

    layout::Faults faults(true);
    const TableError e =
        layout::readTableStructure(*tableFile_, scrambler_, password_, faults, structure_);
    for (const layout::Fault& f : faults.list()) damage(f.code, f.text);
    // The structure's own refusals are findings; a wrong password or a read
    // that failed says nothing about the file.
    if (e != kOk && e != kNotATable && e != kVersionTooNew) return fail(e);
    if (e != kOk) return {};  // the findings say why nothing more can be read

    table_.recordSize = structure_.header.recordSize;
    table_.dataStart = structure_.dataStart;
    table_.count = std::max(0, structure_.header.recordCount);
    table_.fileLength = structure_.fileLength;
    for (std::size_t i = 0; i < structure_.fields.size(); ++i)
        if (structure_.usable[i] && layout::isMemoType(structure_.fields[i].type))
            memoFields_.push_back(i);
    checkLength();
    checkRecords();
    // A memo field whose descriptor is damaged still has its memo file: its
    // header and free list are checked all the same.
    bool memoFile = false;
    for (const FieldDescriptor& f : structure_.fields)
        memoFile = memoFile || layout::isMemoType(f.type);
    if (memoFile) {
        if (TableError m = checkMemo(fs, writable)) return fail(m);
    }
    return {};
}

void TableScan::checkLength() {
    layout::Faults faults(true);
    layout::checkTableLength(structure_, faults);
    for (const layout::Fault& f : faults.list()) damage(f.code, f.text);
    const std::int64_t end = table_.dataStart + std::int64_t(table_.count) * table_.recordSize;
    // An append that stopped before its count was written leaves its slot
    // here; nothing counts it.
    if (faults.empty() && table_.fileLength > end)
        warning(kTableSizeWrong,
                number(table_.fileLength - end) + " bytes follow the last record slot");
}

void TableScan::checkRecords() {
    const std::int64_t rs = table_.recordSize;
    const std::int64_t slots = std::min<std::int64_t>(
        table_.count, std::max<std::int64_t>(0, (table_.fileLength - table_.dataStart) / rs));
    const std::int32_t nextId = structure_.header.nextId;

    std::vector<std::int32_t> slotIds(static_cast<std::size_t>(slots), 0);
    std::vector<std::pair<std::int64_t, std::int64_t>> ids;  // |id|, slot
    ids.reserve(static_cast<std::size_t>(slots));
    std::vector<Chain> chains;
    const std::int64_t perPiece = std::max<std::int64_t>(1, kReadPiece / rs);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(
        std::min<std::int64_t>(perPiece, std::max<std::int64_t>(slots, 1)) * rs));
    for (std::int64_t slot = 0; slot < slots;) {
        const std::int64_t n = std::min(perPiece, slots - slot);
        if (read(*tableFile_, table_.dataStart + slot * rs, buf.data(),
                 static_cast<std::size_t>(n * rs)) != n * rs) {
            damage(kRecordReadFailed, recordLabel(slot) + " cannot be read");
            slotIds.resize(static_cast<std::size_t>(slot));
            break;
        }
        for (std::int64_t r = 0; r < n; ++r, ++slot) {
            const std::uint8_t* rec = buf.data() + r * rs;
            const std::int32_t id = getI32(rec);
            slotIds[static_cast<std::size_t>(slot)] = id;
            if (id == 0) {
                damage(kNotATable, recordLabel(slot) + " has the id 0");
            } else {
                const std::int64_t absId = id < 0 ? -std::int64_t(id) : id;
                if (nextId >= 1 && absId >= nextId)
                    damage(kNotATable, recordLabel(slot) + " has the id " + number(absId) +
                                           ", not below the next record id " + number(nextId));
                ids.emplace_back(absId, slot);
            }
            for (const std::size_t f : memoFields_) {
                const std::int32_t first = getI32(rec + structure_.fields[f].offset);
                if (first != 0) chains.push_back({slot, f, first});
            }
        }
    }
    classifyCopies(ids, slotIds);
    // Later copies own nothing: their chains are the record's (or were, and
    // have been freed or reused since).
    std::size_t c = 0;
    for (const Chain& chain : chains) {
        while (c < table_.copies.size() && table_.copies[c].slot < chain.slot) ++c;
        if (c < table_.copies.size() && table_.copies[c].slot == chain.slot) continue;
        chains_.push_back(chain);
    }
}

bool TableScan::sameSlot(std::int64_t a, std::int64_t b) {
    const auto rs = static_cast<std::size_t>(table_.recordSize);
    std::vector<std::uint8_t> x(rs), y(rs);
    return read(*tableFile_, table_.dataStart + a * table_.recordSize, x.data(), rs) ==
               std::int64_t(rs) &&
           read(*tableFile_, table_.dataStart + b * table_.recordSize, y.data(), rs) ==
               std::int64_t(rs) &&
           x == y;
}

void TableScan::classifyCopies(std::vector<std::pair<std::int64_t, std::int64_t>>& ids,
                               const std::vector<std::int32_t>& slotIds) {
    // Ids grow with the slot and are never reused, so an id seen twice is an
    // interrupted purge's copy. The record is the lowest live occurrence
    // (else the lowest): a purge that undid a move marks the lower copy
    // deleted and leaves the original live above it.
    std::sort(ids.begin(), ids.end());
    for (std::size_t g = 0; g < ids.size();) {
        std::size_t end = g + 1;
        while (end < ids.size() && ids[end].first == ids[g].first) ++end;
        if (end - g > 1) {
            auto live = [&](std::size_t k) {
                return slotIds[static_cast<std::size_t>(ids[k].second)] > 0;
            };
            std::size_t owner = g;
            for (std::size_t k = g; k < end; ++k) {
                if (live(k)) {
                    owner = k;
                    break;
                }
            }
            const std::int64_t ownerSlot = ids[owner].second;
            for (std::size_t k = g; k < end; ++k) {
                if (k == owner) continue;
                const std::int64_t slot = ids[k].second;
                if (!live(k)) {
                    warning(kNotATable, recordLabel(slot) + " is a deleted copy of " +
                                            recordLabel(ownerSlot) +
                                            " left by an interrupted purge: run edbtool repair");
                    table_.copies.push_back({slot, ownerSlot, false});
                } else if (sameSlot(ownerSlot, slot)) {
                    warning(kNotATable, "records " + number(std::min(slot, ownerSlot) + 1) +
                                            " and " + number(std::max(slot, ownerSlot) + 1) +
                                            " are the same record twice, left by an interrupted "
                                            "purge: run edbtool repair");
                    table_.copies.push_back({slot, ownerSlot, true});
                } else {
                    damage(kNotATable, "records " + number(std::min(slot, ownerSlot) + 1) +
                                           " and " + number(std::max(slot, ownerSlot) + 1) +
                                           " share the id " + number(ids[g].first) + " but differ");
                }
            }
        }
        g = end;
    }
    std::sort(table_.copies.begin(), table_.copies.end(),
              [](const Copy& a, const Copy& b) { return a.slot < b.slot; });
}

bool TableScan::readBlock(std::int32_t b, std::uint8_t* block) {
    return read(*memoFile_, std::int64_t(b) * kBlockSize, block, kBlockSize) == kBlockSize;
}

TableError TableScan::checkMemo(FileSystem& fs, bool writable) {
    const std::string memoPath = layout::memoFilePath(fs, path_);
    FileOpenRequest request;
    request.readOnly = !writable;
    TableError error = kOk;
    memoFile_ = fs.open(memoPath, request, &error);
    if (!memoFile_) {
        damage(kMemoOpenFailed, "the memo file cannot be opened (" + number(error) + " " +
                                    std::string(errorText(error)) + ")");
        return kOk;
    }
    if (TableError e = lockWhole(*memoFile_)) return e;
    layout::Faults faults(true);
    layout::MemoHeaderWords& h = memo_.header;
    const TableError e =
        layout::readMemoHeader(*memoFile_, scrambler_, structure_.header.version, faults, h);
    for (const layout::Fault& f : faults.list()) damage(f.code, f.text);
    if (e != kOk) return kOk;  // no memo header to go by
    memo_.present = true;

    memo_.fileLength = memoFile_->size();
    if (memo_.fileLength < 0) return static_cast<TableError>(memo_.fileLength);
    const std::int64_t fileBlocks = memo_.fileLength / kBlockSize;
    const bool countOk = h.blockCount >= 1;
    if (memo_.fileLength % kBlockSize != 0) {
        const std::string text = "the memo file's length " + number(memo_.fileLength) +
                                 " is not a whole number of 512-byte blocks";
        if (countOk && fileBlocks >= h.blockCount)
            warning(kNotAMemoFile, text);
        else
            damage(kNotAMemoFile, text);
    }
    layout::Faults length(true);
    layout::checkMemoLength(memo_.fileLength, h, length);
    for (const layout::Fault& f : length.list()) damage(f.code, f.text);
    // A memo write that stopped before its header write leaves the blocks it
    // added beyond the count; nothing refers to them yet.
    if (countOk && fileBlocks > h.blockCount)
        warning(kNotAMemoFile, "the memo file holds " + number(fileBlocks) +
                                   " blocks but its header counts only " + number(h.blockCount));

    // Blocks that both the header and the file have.
    blocks_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        countOk ? std::min<std::int64_t>(h.blockCount, fileBlocks) : fileBlocks, 0,
        std::numeric_limits<std::int32_t>::max()));
    owner_.assign(static_cast<std::size_t>(std::max(blocks_, 1)), 0);
    for (std::size_t c = 0; c < chains_.size(); ++c) walkChain(c);
    walkFreeList();
    findLeaked();
    return kOk;
}

void TableScan::walkChain(std::size_t index) {
    const Chain& chain = chains_[index];
    const auto id = static_cast<std::int32_t>(index + 1);
    const std::string label = chainLabel(chain);
    std::array<std::uint8_t, kBlockSize> block{};
    std::int32_t previous = 0;
    std::int32_t b = chain.first;
    while (b != 0) {
        if (b < 1 || b >= blocks_) {
            damage(kNotAMemoFile, label + ": the chain leads to block " + number(b) +
                                      ", outside the memo file's " + number(blocks_) + " blocks");
            return;
        }
        const std::int32_t owner = owner_[static_cast<std::size_t>(b)];
        if (owner == id) {
            damage(kNotAMemoFile, label + ": the chain loops back to block " + number(b));
            return;
        }
        if (owner != 0) {
            damage(kNotAMemoFile, label + ": block " + number(b) +
                                      " also belongs to the chain of " +
                                      chainLabel(chains_[static_cast<std::size_t>(owner - 1)]));
            return;
        }
        owner_[static_cast<std::size_t>(b)] = id;
        if (!readBlock(b, block.data())) {
            damage(kNotAMemoFile, label + ": block " + number(b) + " cannot be read");
            return;
        }
        const std::int32_t prev = getI32(block.data() + layout::kBlockPrevOffset);
        const std::int32_t next = getI32(block.data() + layout::kBlockNextOffset);
        const std::int32_t used = getI32(block.data() + layout::kBlockUsedOffset);
        const std::string where = label + ": block " + number(b);
        if (prev != previous)
            damage(kNotAMemoFile, where + " names " + number(prev) +
                                      " as its previous block instead of " + number(previous));
        if (used < 1 || used > kBlockData) {
            damage(kNotAMemoFile, where + " says " + number(used) + " bytes used, not 1 to 500");
        } else {
            if (next != 0 && used != kBlockData)
                damage(kNotAMemoFile, where + " holds " + number(used) +
                                          " bytes but is not the last block of its chain");
            if (!zeroFrom(block.data(), used))
                damage(kNotAMemoFile,
                       where + " has non-zero bytes after its " + number(used) + " used bytes");
        }
        previous = b;
        b = next;
    }
}

void TableScan::walkFreeList() {
    const layout::MemoHeaderWords& h = memo_.header;
    std::array<std::uint8_t, kBlockSize> block{};
    std::int32_t previous = 0;
    std::int64_t found = 0;
    std::int32_t b = h.firstFree;
    while (b != 0) {
        if (b < 1 || b >= blocks_) {
            damage(kNotAMemoFile, "the free list leads to block " + number(b) +
                                      ", outside the memo file's " + number(blocks_) + " blocks");
            return;
        }
        const std::int32_t owner = owner_[static_cast<std::size_t>(b)];
        if (owner == kFree) {
            damage(kNotAMemoFile, "the free list loops back to block " + number(b));
            return;
        }
        if (owner != 0) {
            damage(kNotAMemoFile, "free block " + number(b) + " is also in the chain of " +
                                      chainLabel(chains_[static_cast<std::size_t>(owner - 1)]));
            return;
        }
        owner_[static_cast<std::size_t>(b)] = kFree;
        ++found;
        if (!readBlock(b, block.data())) {
            damage(kNotAMemoFile, "free block " + number(b) + " cannot be read");
            return;
        }
        const std::int32_t prev = getI32(block.data() + layout::kBlockPrevOffset);
        const std::int32_t used = getI32(block.data() + layout::kBlockUsedOffset);
        // Taking the first free block leaves the next one's previous word as
        // it was, so only the blocks behind the head must agree.
        if (previous != 0 && prev != previous) {
            damage(kNotAMemoFile, "free block " + number(b) + " names " + number(prev) +
                                      " as its previous block instead of " + number(previous));
        }
        if (used != 0)
            damage(kNotAMemoFile,
                   "free block " + number(b) + " says " + number(used) + " bytes used, not 0");
        if (!zeroFrom(block.data(), 0))
            damage(kNotAMemoFile, "free block " + number(b) + " has non-zero data bytes");
        previous = b;
        b = getI32(block.data() + layout::kBlockNextOffset);
    }
    memo_.listLength = found;
    const std::string text = "the free list holds " + number(found) +
                             " blocks but the header counts " + number(h.freeCount);
    // A free count above the list's length is what a stop between unlinking
    // blocks and the header write leaves; one below it is not.
    if (found < h.freeCount) warning(kNotAMemoFile, text);
    if (found > h.freeCount) damage(kNotAMemoFile, text);
}

void TableScan::findLeaked() {
    // Blocks neither free nor in a chain, reported as runs.
    for (std::int32_t b = 1; b < blocks_;) {
        if (owner_[static_cast<std::size_t>(b)] != 0) {
            ++b;
            continue;
        }
        std::int32_t end = b;
        while (end + 1 < blocks_ && owner_[static_cast<std::size_t>(end + 1)] == 0) ++end;
        warning(kNotAMemoFile, (end == b ? "block " + number(b) + " is"
                                         : "blocks " + number(b) + " to " + number(end) + " are") +
                                   " neither free nor in any chain");
        for (std::int32_t k = b; k <= end; ++k) memo_.leaked.push_back(k);
        b = end + 1;
    }
}

// ------------------------------------------------------------ check

Status checkTable(std::string_view fileName, std::string_view password, CheckReport& report) {
    report.findings.clear();
    TableScan scan(password);
    Status s = scan.run(fileName, false, report.findings);
    if (s) setLastTableError(kOk);
    return s;
}

}  // namespace tables
