#include "locks.h"

#include <algorithm>

namespace tables {

bool LockSet::coveredByRange(std::int64_t offset) const {
    for (const Range& r : ranges_)
        if (offset >= r.offset && offset - r.offset < r.length) return true;
    return false;
}

LockSet::Range* LockSet::findRange(std::int64_t offset, std::int64_t length) {
    for (Range& r : ranges_)
        if (r.offset == offset && r.length == length) return &r;
    return nullptr;
}

TableError LockSet::lockByte(std::int64_t offset) {
    if (!enabled_) return kOk;
    if (offset < 0) return kLockFailed;
    auto it = bytes_.find(offset);
    if (it != bytes_.end()) {
        ++it->second.count;
        return kOk;
    }
    if (coveredByRange(offset)) {
        bytes_.emplace(offset, Byte{1, false});
        return kOk;
    }
    TableError e = file_->lock(offset, 1);
    if (e != kOk) return e;
    bytes_.emplace(offset, Byte{1, true});
    return kOk;
}

TableError LockSet::unlockByte(std::int64_t offset) {
    if (!enabled_) return kOk;
    auto it = bytes_.find(offset);
    if (it == bytes_.end() || it->second.count == 0) return kUnlockFailed;
    if (--it->second.count > 0) return kOk;
    if (it->second.osLocked) {
        // Unlocking it now would open a hole in a range that is still held;
        // the range's release lets it go.
        if (coveredByRange(offset)) return kOk;
        TableError e = file_->unlock(offset, 1);
        bytes_.erase(it);
        return e == kOk ? kOk : kUnlockFailed;
    }
    bytes_.erase(it);
    return kOk;
}

TableError LockSet::lockRange(std::int64_t offset, std::int64_t length) {
    if (!enabled_) return kOk;
    if (offset < 0 || length <= 0) return kLockFailed;
    if (Range* r = findRange(offset, length)) {
        ++r->count;
        return kOk;
    }
    const std::int64_t end = offset + length;

    // What this table already holds inside the range is left out.
    std::vector<std::pair<std::int64_t, std::int64_t>> held;  // [begin, end)
    for (auto it = bytes_.lower_bound(offset); it != bytes_.end() && it->first < end; ++it)
        held.emplace_back(it->first, it->first + 1);
    for (const Range& r : ranges_) {
        std::int64_t b = std::max(offset, r.offset), e = std::min(end, r.offset + r.length);
        if (b < e) held.emplace_back(b, e);
    }
    std::sort(held.begin(), held.end());

    Range range{offset, length, 1, {}};
    std::int64_t pos = offset;
    for (const auto& [b, e] : held) {
        if (b > pos) range.pieces.emplace_back(pos, b - pos);
        pos = std::max(pos, e);
    }
    if (pos < end) range.pieces.emplace_back(pos, end - pos);

    for (std::size_t i = 0; i < range.pieces.size(); ++i) {
        TableError e = file_->lock(range.pieces[i].first, range.pieces[i].second);
        if (e != kOk) {
            // Undo what was taken; the lock failure is what the caller hears.
            for (std::size_t k = 0; k < i; ++k)
                (void)file_->unlock(range.pieces[k].first, range.pieces[k].second);
            return e;
        }
    }
    ranges_.push_back(std::move(range));
    return kOk;
}

TableError LockSet::unlockRange(std::int64_t offset, std::int64_t length) {
    if (!enabled_) return kOk;
    auto rit = std::find_if(ranges_.begin(), ranges_.end(), [&](const Range& r) {
        return r.offset == offset && r.length == length;
    });
    if (rit == ranges_.end() || rit->count == 0) return kUnlockFailed;
    if (--rit->count > 0) return kOk;

    TableError result = kOk;
    for (const auto& [b, len] : rit->pieces)
        if (file_->unlock(b, len) != kOk) result = kUnlockFailed;
    ranges_.erase(rit);

    // Bytes requested while the range covered them get a lock of their own;
    // bytes whose count already dropped to zero are let go.
    const std::int64_t end = offset + length;
    for (auto it = bytes_.lower_bound(offset); it != bytes_.end() && it->first < end;) {
        if (coveredByRange(it->first)) {
            ++it;
            continue;
        }
        Byte& b = it->second;
        if (b.count == 0) {
            if (b.osLocked && file_->unlock(it->first, 1) != kOk) result = kUnlockFailed;
            it = bytes_.erase(it);
            continue;
        }
        if (!b.osLocked && file_->lock(it->first, 1) == kOk) b.osLocked = true;
        ++it;
    }
    return result;
}

void LockSet::releaseAll() {
    if (!enabled_) return;
    // On close and after failures: nothing to report to, and closing the
    // file drops whatever an unlock leaves.
    for (const Range& r : ranges_)
        for (const auto& [b, len] : r.pieces) (void)file_->unlock(b, len);
    ranges_.clear();
    for (const auto& [off, b] : bytes_)
        if (b.osLocked) (void)file_->unlock(off, 1);
    bytes_.clear();
}

}  // namespace tables
