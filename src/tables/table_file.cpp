#include "table_file.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "file_io.h"
#include "table_file_impl.h"
#include "table_layout.h"

namespace tables {

using layout::getI32;
using layout::putI32;

namespace {

constexpr std::int64_t kPurgeBatchBytes = 163840;
constexpr std::int64_t kScanBatchBytes = 256 * 1024;
constexpr std::uint32_t kCountRetryMs = 2000;
constexpr std::uint32_t kRecordRetryMs = 2000;

// Another process holds the byte (the only failure worth asking again for).
bool heldElsewhere(TableError e) { return e == kLockViolation || e == kSharingViolation; }

// ------------------------------------------------------------ open registry

// Absolute paths of the table files open in this process.
std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::set<std::string>& registry() {
    static std::set<std::string> r;
    return r;
}

std::string registryKeyOf(const std::string& path) {
#ifdef _WIN32
    std::string key = path;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
        if (c == '/') c = '\\';
    }
    return key;
#else
    return path;
#endif
}

bool reservePath(const std::string& key) {
    std::lock_guard lock(registryMutex());
    return registry().insert(key).second;
}

void releasePath(const std::string& key) {
    std::lock_guard lock(registryMutex());
    registry().erase(key);
}

std::string_view baseName(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// Where an operation runs, for the context of its failures.
struct Where {
    std::string_view path;  // the table file; empty when none is known
    const char* op;

    // Fails the operation: sets the thread's code and gives it with the
    // context, "记账.edb: write, record 12" (no record part for 0).
    Status fail(TableError code, std::int64_t record = 0) const {
        setLastTableError(code);
        std::string context;
        if (!path.empty()) context.append(baseName(path)).append(": ");
        context.append(op);
        if (record > 0) context.append(", record ").append(std::to_string(record));
        return Status(code, std::move(context));
    }
    // The same with a detail in place of the record number.
    Status fail(TableError code, std::string_view detail) const {
        setLastTableError(code);
        std::string context;
        if (!path.empty()) context.append(baseName(path)).append(": ");
        context.append(op).append(", ").append(detail);
        return Status(code, std::move(context));
    }
};

Where where(const std::unique_ptr<TableFile::Impl>& im, const char* op) {
    return {im ? std::string_view(im->path) : std::string_view(), op};
}

Status succeed() {
    setLastTableError(kOk);
    return {};
}

// Fails an operation that answers with a number: sets the code, gives 0.
std::int32_t failZero(TableError code) {
    setLastTableError(code);
    return 0;
}

// Runs a function when the scope ends, also by an exception.
template <typename F>
class ScopeExit {
  public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() { f_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    F f_;
};

}  // namespace

// ------------------------------------------------------------ Impl helpers

TableFile::Impl::~Impl() {
    locks.releaseAll();
    memoLocks.releaseAll();
    // Every write already went straight to the operating system (there is no
    // buffer of ours to flush); forcing it onto the disk at each close would
    // cost milliseconds per saved entry.
    memoFile.reset();
    file.reset();
    if (!registryKey.empty()) releasePath(registryKey);
}

namespace {

template <typename Word>
Word loadWord(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Whether n bytes at a and b are equal. Field names are at most 16 bytes, so
// two overlapping word compares replace a byte loop and its hard-to-predict
// exit.
inline bool sameBytes(const char* a, const char* b, std::size_t n) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    if (n >= 8)
        return loadWord<std::uint64_t>(a) == loadWord<std::uint64_t>(b) &&
               loadWord<std::uint64_t>(a + n - 8) == loadWord<std::uint64_t>(b + n - 8);
    if (n >= 4)
        return loadWord<std::uint32_t>(a) == loadWord<std::uint32_t>(b) &&
               loadWord<std::uint32_t>(a + n - 4) == loadWord<std::uint32_t>(b + n - 4);
    for (std::size_t k = 0; k < n; ++k)
        if (a[k] != b[k]) return false;
    return true;
}

}  // namespace

int TableFile::Impl::fieldIndex(std::string_view name) {
    const std::size_t n = fields.size();
    // Callers read the same few names over and over, mostly in field order:
    // an exact match starting after the last hit is nearly always immediate.
    std::size_t i = nextGuess;
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& f = fields[i].name;
        if (f.size() == name.size() && sameBytes(f.data(), name.data(), name.size())) {
            nextGuess = i + 1 == n ? 0 : i + 1;
            return canonical[i];
        }
        if (++i == n) i = 0;
    }
    for (std::size_t j = 0; j < n; ++j)
        if (layout::sameFieldName(fields[j].name, name)) return static_cast<int>(j);
    return kUnknown;
}

std::int64_t TableFile::Impl::readPlain(std::int64_t offset, void* buf, std::size_t n) {
    std::int64_t got = file->readAt(offset, buf, n);
    if (got > 0)
        scrambler.apply(offset, static_cast<std::uint8_t*>(buf), static_cast<std::size_t>(got));
    return got;
}

TableError TableFile::Impl::writePlain(std::int64_t offset, const void* buf, std::size_t n) {
    std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(buf),
                                   static_cast<const std::uint8_t*>(buf) + n);
    return writeInPlace(offset, copy.data(), n);
}

TableError TableFile::Impl::writeInPlace(std::int64_t offset, std::uint8_t* buf, std::size_t n) {
    scrambler.apply(offset, buf, n);
    return file->writeAt(offset, buf, n);
}

TableError TableFile::Impl::lockRecordCount(bool retry) {
    TableError e = locks.lockByte(layout::kRecordCountOffset);
    if (e == kOk || !retry) return e;
    FileSystem& fs = currentFileSystem();
    const std::uint32_t start = fs.tickCount();
    while (e != kOk && fs.tickCount() - start < kCountRetryMs) {
        fs.sleepMs(20 + fs.tickCount() % 20);
        e = locks.lockByte(layout::kRecordCountOffset);
    }
    return e;
}

TableError TableFile::Impl::readCountLocked(std::int32_t& count) {
    std::uint8_t buf[4];
    if (readPlain(layout::kRecordCountOffset, buf, 4) != 4) return kCountReadFailed;
    count = std::max(0, getI32(buf));
    return kOk;
}

TableError TableFile::Impl::readRecordCount(bool retry, std::int32_t& count) {
    if (TableError e = lockRecordCount(retry)) return e;
    TableError e = readCountLocked(count);
    // The count is read; a failed unlock changes nothing about it, and the
    // close drops the lock in any case.
    (void)locks.unlockByte(layout::kRecordCountOffset);
    return e;
}

TableError TableFile::Impl::lockWaiting(ByteLockGuard& guard, std::int64_t offset,
                                        WalkState* walk) {
    TableError e = guard.acquire(locks, offset);
    if (e == kOk || !walk || !walk->mayWait || !heldElsewhere(e)) return e;
    // A walk that skipped a record another process is writing would leave
    // it out of a list or a total without a word: it waits for it instead,
    // pausing as the record-count lock does.
    FileSystem& fs = currentFileSystem();
    const std::uint32_t start = fs.tickCount();
    while (heldElsewhere(e) && fs.tickCount() - start < kRecordRetryMs) {
        fs.sleepMs(20 + fs.tickCount() % 20);
        e = guard.acquire(locks, offset);
    }
    // Waiting once is enough: a process that keeps records locked this
    // long would make the walk wait for each of them in turn.
    if (e != kOk) walk->mayWait = false;
    return e;
}

TableError TableFile::Impl::slotReadFailure(std::int64_t slot, std::int64_t got) {
    if (got < 0) return kFieldReadFailed;
    std::int64_t size = file->size();
    return size >= 0 && slotOffset(slot) >= size ? kSeekFailed : kFieldReadFailed;
}

TableValue TableFile::Impl::memoValue(const FieldDescriptor& f, std::int32_t first,
                                      TableError& error) {
    std::string bytes;
    error = memoFile ? memo().read(first, bytes) : kMemoAccessFailed;
    if (error != kOk) return layout::emptyValue(f);
    return f.type == FieldType::Memo ? TableValue::text(std::move(bytes))
                                     : TableValue::bytes(std::move(bytes));
}

TableValue TableFile::Impl::readField(int index) {
    const FieldDescriptor& f = fields[static_cast<std::size_t>(index)];
    TableError error = kOk;
    if (view && !view->stale) {
        if (view->error != kOk) {
            setLastTableError(view->error);
            return layout::emptyValue(f);
        }
        const std::uint8_t* p = view->record + f.offset;
        if (!layout::isMemoType(f.type)) {
            setLastTableError(kOk);
            return layout::decodeField(f, p);
        }
        if (view->locked) {
            TableValue v = memoValue(f, getI32(p), error);
            setLastTableError(error);
            return v;
        }
        // The copy came from a batch read earlier: another process may have
        // rewritten the value since (under the record's lock). The chain is
        // followed as the record-by-record read follows it, below.
    }
    if (cursor < 0) {
        setLastTableError(kNoCurrentRecord);
        return layout::emptyValue(f);
    }
    ByteLockGuard guard;
    WalkState* walk = view ? view->walk : nullptr;
    if (TableError e = lockWaiting(guard, slotOffset(cursor), walk)) {
        // In a walk the value left out fails the walk as well.
        if (walk) walk->fail(e, cursor);
        setLastTableError(e);
        return layout::emptyValue(f);
    }
    const auto size = static_cast<std::size_t>(fieldSize(f));
    std::uint8_t small[16];
    std::vector<std::uint8_t> large;
    std::uint8_t* buf = small;
    if (size > sizeof small) {
        large.resize(size);
        buf = large.data();
    }
    std::int64_t got = readPlain(slotOffset(cursor) + f.offset, buf, size);
    if (got != static_cast<std::int64_t>(size)) {
        setLastTableError(slotReadFailure(cursor, got));
        return layout::emptyValue(f);
    }
    TableValue v =
        layout::isMemoType(f.type) ? memoValue(f, getI32(buf), error) : layout::decodeField(f, buf);
    setLastTableError(error);
    return v;
}

TableError TableFile::Impl::checkValues(std::span<const TableValue> values) const {
    const std::size_t n = std::min(values.size(), fields.size());
    for (std::size_t i = 0; i < n; ++i)
        if (!layout::acceptsValue(fields[i], values[i])) return kValueKindMismatch;
    return kOk;
}

// ------------------------------------------------------------ purge and walk helpers

namespace {

// A memo chain of a record that purge dropped.
struct DroppedChain {
    std::int64_t slot;
    std::int32_t first;
};

std::int64_t absoluteId(std::int32_t id) { return id < 0 ? -std::int64_t(id) : std::int64_t(id); }

// Frees the chains of the records a purge dropped, in slot and field order
// (the order the format frees them in), each chain once. `ids` holds every
// slot's record id. A dropped record whose id also occurs at a lower slot,
// or in a record the purge kept, is a copy an interrupted purge left behind:
// its chains are that other record's (or were freed and reused since) and
// are left alone; at worst they stay leaked.
TableError freeDroppedChains(MemoFile memo, const std::vector<std::int32_t>& ids,
                             const std::vector<DroppedChain>& chains) {
    // In a sound file the ids increase with the slot and none repeats.
    bool increasing = true;
    for (std::size_t s = 1; s < ids.size() && increasing; ++s)
        increasing = absoluteId(ids[s]) > absoluteId(ids[s - 1]);
    struct Seen {
        std::int64_t firstSlot;
        bool live;
    };
    std::unordered_map<std::int64_t, Seen> seen;
    if (!increasing) {
        for (std::size_t s = 0; s < ids.size(); ++s) {
            auto [it, fresh] = seen.try_emplace(absoluteId(ids[s]), Seen{std::int64_t(s), false});
            if (ids[s] > 0) it->second.live = true;
        }
    }
    std::unordered_set<std::int32_t> freed;
    TableError result = kOk;
    for (const DroppedChain& c : chains) {
        if (!increasing) {
            const Seen& k = seen.at(absoluteId(ids[static_cast<std::size_t>(c.slot)]));
            if (k.firstSlot != c.slot || k.live) continue;
        }
        if (!freed.insert(c.first).second) continue;
        // A failure is reported, and the other chains are still freed.
        if (TableError e = memo.free(c.first); e != kOk && result == kOk) result = e;
    }
    return result;
}

// Finds the records of a walk whose id a record at a lower slot already has.
// In a sound file ids increase with the slot, so only an id not above the
// largest met so far needs a closer look. The first one makes it read the
// ids of the slots walked so far again; from then on it keeps every id (only
// a file with repeated or unordered ids gets that far).
class RepeatedIds {
  public:
    RepeatedIds(TableFile::Impl& im, std::int64_t first, WalkState* walk)
        : im_(im), first_(first), walk_(walk) {}

    // For a live record (id above 0) at `slot`: `earlier` receives the
    // lowest slot before it with the same absolute id, or -1.
    [[nodiscard]] TableError check(std::int64_t slot, std::int32_t id, std::int64_t& earlier) {
        earlier = -1;
        const std::int64_t a = absoluteId(id);
        TableError result = kOk;
        if (id > 0 && a <= largest_) {
            if (!indexed_) {
                indexed_ = true;
                result = index(slot);
            }
            if (auto it = slots_.find(a); it != slots_.end() && it->second < slot)
                earlier = it->second;
        }
        if (indexed_) slots_.try_emplace(a, slot);
        largest_ = std::max(largest_, a);
        return result;
    }

  private:
    // Reads the ids of the slots from the walk's first one up to `end`.
    TableError index(std::int64_t end) {
        const std::int64_t rs = im_.recordSize;
        const std::int64_t perBatch = std::max<std::int64_t>(1, kScanBatchBytes / rs);
        if (end <= first_) return kOk;
        std::vector<std::uint8_t> buf(
            static_cast<std::size_t>(std::min(perBatch, end - first_) * rs));
        for (std::int64_t s = first_; s < end;) {
            const std::int64_t n = std::min(perBatch, end - s);
            std::int64_t whole = 0;
            {
                RangeLockGuard lock;
                if (lock.acquire(im_.locks, im_.slotOffset(s), (n - 1) * rs + 1) == kOk) {
                    const std::int64_t got = im_.readPlain(im_.slotOffset(s), buf.data(),
                                                           static_cast<std::size_t>(n * rs));
                    whole = got > 0 ? got / rs : 0;
                }
            }
            for (std::int64_t i = 0; i < n; ++i, ++s) {
                std::int32_t id = 0;
                if (i < whole) {
                    id = getI32(buf.data() + i * rs);
                } else {
                    ByteLockGuard lock;
                    if (TableError e = im_.lockWaiting(lock, im_.slotOffset(s), walk_)) return e;
                    std::uint8_t w[4];
                    if (im_.readPlain(im_.slotOffset(s), w, 4) != 4) return kRecordReadFailed;
                    id = getI32(w);
                }
                slots_.try_emplace(absoluteId(id), s);
            }
        }
        return kOk;
    }

    TableFile::Impl& im_;
    std::int64_t first_;
    WalkState* walk_;
    std::int64_t largest_ = 0;
    bool indexed_ = false;
    std::unordered_map<std::int64_t, std::int64_t> slots_;  // absolute id -> first slot
};

}  // namespace

// ------------------------------------------------------------ TableFile

TableFile::TableFile() = default;

TableFile::~TableFile() = default;

bool TableFile::isOpen() const { return impl_ && !impl_->closeRequested; }

Status TableFile::open(std::string_view fileName, std::string_view password, OpenOptions options) {
    // The name as asked for until it is resolved, for the context of a failure.
    std::string path(fileName);
    auto failed = [&](TableError code) { return Where{path, "open"}.fail(code); };
    if (fileName.empty()) return failed(kFileNotFound);
    // The table this object holds cannot be swapped out from under a walk.
    if (impl_ && impl_->callbackDepth > 0) return failed(kOpenFailed);
    FileSystem& fs = currentFileSystem();

    path = layout::tableFilePath(fs, fileName);
    const std::string key = registryKeyOf(path);
    if (!reservePath(key)) return failed(kAlreadyOpen);

    auto im = std::make_unique<Impl>(password);
    im->registryKey = key;  // the Impl gives the path back when it goes
    im->path = path;
    im->readOnly = options.readOnly;
    im->sharing = options.sharing;
    const bool locking =
        options.sharing != Sharing::DenyRead && options.sharing != Sharing::Exclusive;

    FileOpenRequest request;
    request.readOnly = options.readOnly;
    request.sharing = static_cast<int>(options.sharing);
    TableError error = kOk;
    im->file = fs.open(path, request, &error);
    if (!im->file) return failed(error != kOk ? error : kUnknown);
    im->locks = LockSet(im->file.get(), locking);

    RangeLockGuard wholeTable;
    if (TableError e = wholeTable.acquire(im->locks, 0, layout::kWholeRange)) return failed(e);

    // Header and descriptors, every rule checked before the file is changed
    // or anything is sized by them.
    layout::Faults faults(false);
    layout::TableStructure s;
    if (TableError e = layout::readTableStructure(*im->file, im->scrambler, password, faults, s))
        return failed(e);
    std::int32_t count = s.header.recordCount;
    im->version = s.header.version;
    im->recordSize = s.header.recordSize;
    im->dataStart = s.dataStart;

    // Size repair.
    const std::int64_t slots = (s.fileLength - im->dataStart) / im->recordSize;
    if (slots < count) {
        if (options.readOnly) {
            layout::checkTableLength(s, faults);
            return failed(faults.firstCode());
        }
        count = static_cast<std::int32_t>(slots);
        std::uint8_t word[4];
        putI32(word, count);
        if (TableError e = im->writePlain(layout::kRecordCountOffset, word, 4)) return failed(e);
        if (TableError e = im->file->truncate(im->slotOffset(count))) return failed(e);
    } else if (!options.readOnly && s.fileLength != im->slotOffset(count)) {
        if (TableError e = im->file->truncate(im->slotOffset(count))) return failed(e);
    }

    im->fields = std::move(s.fields);
    im->canonical.resize(im->fields.size());
    for (std::size_t i = 0; i < im->fields.size(); ++i) {
        std::size_t j = 0;
        while (!layout::sameFieldName(im->fields[j].name, im->fields[i].name)) ++j;
        im->canonical[i] = static_cast<int>(j);
    }

    // Memo file.
    RangeLockGuard wholeMemo;
    if (s.hasMemo) {
        const std::string memoPath = layout::memoFilePath(fs, path);
        im->memoFile = fs.open(memoPath, request, &error);
        if (!im->memoFile) return failed(kMemoOpenFailed);
        im->memoLocks = LockSet(im->memoFile.get(), locking);
        if (TableError e = wholeMemo.acquire(im->memoLocks, 0, layout::kWholeRange))
            return failed(e);
        layout::MemoHeaderWords h;
        if (TableError e =
                layout::readMemoHeader(*im->memoFile, im->scrambler, im->version, faults, h))
            return failed(e);
        const std::int64_t memoLength = im->memoFile->size();
        if (memoLength < 0) return failed(kMemoOpenFailed);
        // Only a count above the file's whole blocks is lowered (a read-only
        // open refuses it). Whole blocks beyond the count are left alone: a
        // memo write that failed part-way leaves them, and counting them in
        // would make them belong to nothing for good.
        const std::int64_t blocks = memoLength / layout::kBlockSize;
        if (blocks < h.blockCount) {
            if (options.readOnly) {
                layout::checkMemoLength(memoLength, h, faults);
                return failed(faults.firstCode());
            }
            std::uint8_t word[4];
            putI32(word, static_cast<std::int32_t>(blocks));
            im->scrambler.apply(layout::kMemoBlockCountOffset, word, 4);
            if (im->memoFile->writeAt(layout::kMemoBlockCountOffset, word, 4) != kOk)
                return failed(kMemoOpenFailed);
        }
    }
    wholeMemo.release();
    wholeTable.release();

    im->cursor = 0;
    // The open succeeded: a table this object held before is closed now.
    close();
    impl_ = std::move(im);
    return succeed();
}

void TableFile::close() {
    if (!impl_) return;
    if (impl_->callbackDepth > 0) {
        // Closing from inside find()/forEachRecord(): the walk notices and
        // finishes the close when it unwinds; until then the table is closed
        // to every caller.
        impl_->closeRequested = true;
        return;
    }
    impl_.reset();
}

Status TableFile::recordCount(std::int32_t& count) {
    count = 0;
    const Where at = where(impl_, "recordCount");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    std::int32_t n = 0;
    if (TableError e = impl_->readRecordCount(true, n)) return at.fail(e);
    count = n;
    return succeed();
}

std::int32_t TableFile::recordCount() {
    if (!isOpen()) return failZero(kNoCurrentTable);
    std::int32_t count = 0;
    if (TableError e = impl_->readRecordCount(true, count)) return failZero(e);
    setLastTableError(kOk);
    return count;
}

TableError TableFile::Impl::currentId(std::int32_t& id) {
    id = 0;
    if (view && !view->stale) {
        if (view->error != kOk) return view->error;
        id = getI32(view->record);
        return kOk;
    }
    if (cursor < 0) return kNoCurrentRecord;
    ByteLockGuard guard;
    if (TableError e = guard.acquire(locks, slotOffset(cursor))) return e;
    std::uint8_t buf[4];
    std::int64_t got = readPlain(slotOffset(cursor), buf, 4);
    if (got != 4) return slotReadFailure(cursor, got);
    id = getI32(buf);
    return kOk;
}

Status TableFile::isDeleted(bool& deleted) {
    deleted = false;
    std::int32_t id = 0;
    const Where at = where(impl_, "isDeleted");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    if (TableError e = impl_->currentId(id)) return at.fail(e, impl_->cursor + 1);
    deleted = id < 0;
    return succeed();
}

bool TableFile::isDeleted() {
    if (!isOpen()) {
        setLastTableError(kNoCurrentTable);
        return false;
    }
    std::int32_t id = 0;
    const TableError e = impl_->currentId(id);
    setLastTableError(e);
    return e == kOk && id < 0;
}

Status TableFile::recordId(std::int32_t& id) {
    id = 0;
    const Where at = where(impl_, "recordId");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    std::int32_t value = 0;
    if (TableError e = impl_->currentId(value)) return at.fail(e, impl_->cursor + 1);
    id = value;
    return succeed();
}

std::int32_t TableFile::recordId() {
    if (!isOpen()) return failZero(kNoCurrentTable);
    std::int32_t id = 0;
    if (TableError e = impl_->currentId(id)) return failZero(e);
    setLastTableError(kOk);
    return id;
}

Status TableFile::goFirst() {
    if (!isOpen()) return where(impl_, "goFirst").fail(kNoCurrentTable);
    impl_->cursor = 0;
    return succeed();
}

Status TableFile::skip(std::int32_t n) {
    const Where at = where(impl_, "skip");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    if (n == 0) return succeed();
    Impl& im = *impl_;
    std::int32_t count = 0;
    if (TableError e = im.readRecordCount(true, count)) return at.fail(e);
    if (n > 0) {
        if (count == 0 || im.cursor >= count) return at.fail(kPastLastRecord);
        im.cursor = std::min<std::int64_t>(im.cursor + n, count);
    } else {
        if (count == 0 || im.cursor < 0) return at.fail(kBeforeFirstRecord);
        im.cursor = std::max<std::int64_t>(im.cursor + n, -1);
    }
    return succeed();
}

std::int32_t TableFile::recordNumber() const {
    if (!isOpen()) return failZero(kNoCurrentTable);
    setLastTableError(kOk);
    return static_cast<std::int32_t>(impl_->cursor + 1);
}

Status TableFile::goTo(std::int32_t n) {
    const Where at = where(impl_, "goTo");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    std::int32_t count = 0;
    if (TableError e = impl_->readRecordCount(true, count)) return at.fail(e);
    impl_->cursor = std::max(std::min(n, count), 1) - 1;
    return succeed();
}

TableValue TableFile::read(std::string_view fieldName) {
    if (!isOpen()) fatalError(kFatalNoCurrentTable);
    int index = impl_->fieldIndex(fieldName);
    if (index < 0) fatalError(kFatalNoSuchField);
    return impl_->readField(index);
}

TableValue TableFile::read(int fieldNumber) {
    if (!isOpen()) fatalError(kFatalNoCurrentTable);
    if (fieldNumber < 1 || static_cast<std::size_t>(fieldNumber) > impl_->fields.size())
        fatalError(kFatalNoSuchField);
    return impl_->readField(fieldNumber - 1);
}

Status TableFile::append(std::span<const TableValue> values) {
    const Where at = where(impl_, "append");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    Impl& im = *impl_;
    if (TableError e = im.checkValues(values)) return at.fail(e);

    ByteLockGuard countLock;
    if (TableError e = countLock.acquire(im.locks, layout::kRecordCountOffset)) return at.fail(e);
    std::uint8_t counters[8];
    if (im.readPlain(layout::kRecordCountOffset, counters, 8) != 8)
        return at.fail(kCountReadFailed);
    const std::int32_t count = std::max(0, getI32(counters));
    const std::int32_t nextId = std::max(1, getI32(counters + 4));
    // Neither the count nor the ids may wrap around.
    if (count == INT32_MAX || nextId == INT32_MAX) return at.fail(kRecordWriteFailed);
    const std::int64_t record = std::int64_t(count) + 1;

    ByteLockGuard recordLock;
    if (TableError e = recordLock.acquire(im.locks, im.slotOffset(count)))
        return at.fail(e, record);
    std::vector<std::uint8_t> rec;
    try {
        rec.assign(static_cast<std::size_t>(im.recordSize), 0);
    } catch (const std::bad_alloc&) {
        return at.fail(kAllocationFailed, record);
    }
    // Chains made for the record. Until the count below takes the record in,
    // nothing points at them: if the append fails they are given back (best
    // effort, it fails with the first error either way; a chain left over
    // only wastes blocks).
    std::vector<std::int32_t> made;
    auto fail = [&](TableError e) {
        for (std::int32_t first : made) (void)im.memo().free(first);
        return at.fail(e, record);
    };
    const std::size_t n = std::min(values.size(), im.fields.size());
    for (std::size_t i = 0; i < n; ++i) {
        const TableValue& v = values[i];
        if (v.isAbsent()) continue;
        const FieldDescriptor& f = im.fields[i];
        if (!layout::isMemoType(f.type)) {
            layout::encodeField(f, v, rec.data() + f.offset);
            continue;
        }
        if (!im.memoFile) return fail(kMemoAccessFailed);
        std::int32_t first = 0;
        std::vector<std::int32_t> none;  // a new record has no old chain to leave over
        const std::string& bytes = f.type == FieldType::Memo ? v.asText() : v.asBytes();
        if (TableError e = im.memo().write(bytes, 0, first, none)) return fail(e);
        putI32(rec.data() + f.offset, first);
        if (first != 0) made.push_back(first);
    }
    putI32(rec.data(), nextId);
    // The slot lies beyond the count: invisible until the 8 bytes of count
    // and next id take it in, in one write.
    if (TableError e = im.writeInPlace(im.slotOffset(count), rec.data(), rec.size()))
        return fail(e);
    putI32(counters, count + 1);
    putI32(counters + 4, nextId + 1);
    if (TableError e = im.writePlain(layout::kRecordCountOffset, counters, 8)) return fail(e);
    im.cursor = count;
    return succeed();
}

Status TableFile::write(std::span<const TableValue> values) {
    return writeCurrent(values, nullptr);
}

Status TableFile::write(std::span<const TableValue> values, std::int32_t expectedId) {
    return writeCurrent(values, &expectedId);
}

Status TableFile::writeCurrent(std::span<const TableValue> values, const std::int32_t* expectedId) {
    const Where at = where(impl_, "write");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    Impl& im = *impl_;
    if (im.cursor < 0) return at.fail(kNoCurrentRecord);
    if (TableError e = im.checkValues(values)) return at.fail(e, im.cursor + 1);

    const std::int64_t slot = im.cursor;
    ByteLockGuard recordLock;
    if (TableError e = recordLock.acquire(im.locks, im.slotOffset(slot)))
        return at.fail(e, slot + 1);
    const std::int64_t length = im.file->size();
    if (length < 0) return at.fail(static_cast<TableError>(length), slot + 1);
    if (im.slotOffset(slot) >= length) return at.fail(kNoCurrentRecord, slot + 1);
    std::vector<std::uint8_t> rec;
    try {
        rec.resize(static_cast<std::size_t>(im.recordSize));
    } catch (const std::bad_alloc&) {
        return at.fail(kAllocationFailed, slot + 1);
    }
    if (im.readPlain(im.slotOffset(slot), rec.data(), rec.size()) != im.recordSize)
        return at.fail(kRecordReadFailed, slot + 1);
    if (expectedId && getI32(rec.data()) != *expectedId) return at.fail(kRecordMissing, slot + 1);
    if (im.view) im.view->stale = true;

    const std::size_t n = std::min(values.size(), im.fields.size());
    std::size_t lastMemo = n;  // the last memo field given a value
    for (std::size_t i = 0; i < n; ++i)
        if (!values[i].isAbsent() && layout::isMemoType(im.fields[i].type)) lastMemo = i;
    // The record id (bytes 0..3) is not rewritten: a deleted mark stays.
    auto writeRecord = [&] {
        return im.writePlain(im.slotOffset(slot) + 4, rec.data() + 4, rec.size() - 4);
    };
    // A value's old blocks that it no longer needs are freed only after the
    // record points at its new chain; until then the record still holds them.
    std::vector<std::int32_t> leftover;
    for (std::size_t i = 0; i < n; ++i) {
        const TableValue& v = values[i];
        if (v.isAbsent()) continue;
        const FieldDescriptor& f = im.fields[i];
        if (!layout::isMemoType(f.type)) {
            layout::encodeField(f, v, rec.data() + f.offset);
            continue;
        }
        if (!im.memoFile) return at.fail(kMemoAccessFailed, slot + 1);
        std::int32_t first = 0;
        const std::string& bytes = f.type == FieldType::Memo ? v.asText() : v.asBytes();
        if (TableError e = im.memo().write(bytes, getI32(rec.data() + f.offset), first, leftover))
            return at.fail(e, slot + 1);
        putI32(rec.data() + f.offset, first);
        if (leftover.empty() || i == lastMemo) continue;
        // A later value may take blocks from the free list, and takes them
        // after these blocks went back: the record is written once more
        // in between.
        if (TableError e = writeRecord()) return at.fail(e, slot + 1);
        if (TableError e = im.memo().freeRun(leftover)) return at.fail(e, slot + 1);
        leftover.clear();
    }
    if (TableError e = im.writeInPlace(im.slotOffset(slot) + 4, rec.data() + 4, rec.size() - 4))
        return at.fail(e, slot + 1);
    if (!leftover.empty()) {
        if (TableError e = im.memo().freeRun(leftover)) return at.fail(e, slot + 1);
    }
    return succeed();
}

Status TableFile::markDeleted() { return markCurrentDeleted(nullptr); }

Status TableFile::markDeleted(std::int32_t expectedId) { return markCurrentDeleted(&expectedId); }

Status TableFile::markCurrentDeleted(const std::int32_t* expectedId) {
    const Where at = where(impl_, "markDeleted");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    Impl& im = *impl_;
    if (im.cursor < 0) return at.fail(kNoCurrentRecord);
    const std::int64_t slot = im.cursor;
    // A slot past the file is refused before its lock is asked for (another
    // process appending there may hold it); write looks only under the lock.
    const std::int64_t length = im.file->size();
    if (length < 0) return at.fail(static_cast<TableError>(length), slot + 1);
    if (im.slotOffset(slot) >= length) return at.fail(kNoCurrentRecord, slot + 1);
    ByteLockGuard recordLock;
    if (TableError e = recordLock.acquire(im.locks, im.slotOffset(slot)))
        return at.fail(e, slot + 1);
    std::uint8_t buf[4];
    if (im.readPlain(im.slotOffset(slot), buf, 4) != 4) return at.fail(kFieldReadFailed, slot + 1);
    const std::int32_t id = getI32(buf);
    if (expectedId && id != *expectedId) return at.fail(kRecordMissing, slot + 1);
    if (id > 0) {
        putI32(buf, -id);
        if (im.view) im.view->stale = true;
        if (TableError e = im.writeInPlace(im.slotOffset(slot), buf, 4))
            return at.fail(e, slot + 1);
    }
    return succeed();
}

Status TableFile::purge() {
    const Where at = where(impl_, "purge");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    Impl& im = *impl_;
    RangeLockGuard wholeTable;
    if (TableError e = wholeTable.acquire(im.locks, 0, layout::kWholeRange)) return at.fail(e);
    std::int32_t count = 0;
    if (TableError e = im.readCountLocked(count)) return at.fail(e);
    ++im.purgeCount;

    const std::int64_t rs = im.recordSize;
    const std::int64_t perBatch = std::max<std::int64_t>(1, kPurgeBatchBytes / rs);
    const std::int64_t batchSlots = std::min<std::int64_t>(perBatch, std::max(count, 1));
    std::vector<std::uint8_t> buf, out, saved;
    try {
        buf.resize(static_cast<std::size_t>(batchSlots * rs));
    } catch (const std::bad_alloc&) {
        return at.fail(kAllocationFailed);
    }
    std::vector<std::size_t> memoOffsets;
    for (const FieldDescriptor& f : im.fields)
        if (layout::isMemoType(f.type)) memoOffsets.push_back(static_cast<std::size_t>(f.offset));
    const bool hasMemo = !memoOffsets.empty();

    TableError firstError = kOk;
    std::int64_t failedRecord = 0;  // where the first error arose; 0: not at a record
    auto remember = [&](TableError e, std::int64_t record) {
        if (firstError != kOk) return;
        firstError = e;
        failedRecord = record;
    };
    std::int64_t kept = 0;  // kept records so far: the next write position
    std::int64_t dropped = 0;
    bool stopped = false;
    // Memo tables only: every slot's record id, and the chains of the dropped
    // records, freed only once the records are gone from the file.
    std::vector<std::int32_t> ids;
    std::vector<DroppedChain> chains;

    // Slots stay scrambled: a word is read, or a record id negated, through
    // the keystream of its slot's place.
    auto wordAt = [&](const std::uint8_t* p, std::int64_t slot, std::size_t at) {
        std::uint8_t w[4];
        std::memcpy(w, p + at, 4);
        im.scrambler.apply(im.slotOffset(slot) + std::int64_t(at), w, 4);
        return getI32(w);
    };
    auto markCopy = [&](std::uint8_t* p, std::int64_t slot) {
        const std::int32_t id = wordAt(p, slot, 0);
        if (id <= 0) return;
        std::uint8_t w[4];
        putI32(w, -id);
        im.scrambler.apply(im.slotOffset(slot), w, 4);
        std::memcpy(p, w, 4);
    };

    // After every write below, the slots between the records kept so far and
    // the first slot not yet examined are all marked deleted and the count
    // is unchanged: a stop anywhere leaves every record visible once (the
    // one window is named below), and the next purge takes the rest away.
    for (std::int64_t start = 0; start < count; start += perBatch) {
        const std::int64_t n = std::min<std::int64_t>(perBatch, count - start);
        if (im.file->readAt(im.slotOffset(start), buf.data(), static_cast<std::size_t>(n * rs)) !=
            n * rs) {
            // Nothing is lost: the gap is already marked deleted.
            remember(kRecordReadFailed, start + 1);
            stopped = true;
            break;
        }
        std::int64_t packed = 0;                       // kept records of this batch that move
        std::int64_t firstMoved = -1, lastMoved = -1;  // their slots
        for (std::int64_t i = 0; i < n; ++i) {
            std::uint8_t* rec = buf.data() + i * rs;
            const std::int64_t from = start + i;
            const std::int32_t id = wordAt(rec, from, 0);
            if (hasMemo) ids.push_back(id);
            if (id < 0) {
                for (std::size_t at : memoOffsets)
                    if (std::int32_t first = wordAt(rec, from, at); first != 0)
                        chains.push_back({from, first});
                ++dropped;
                continue;
            }
            if (dropped == 0) {
                ++kept;  // still in its place
                continue;
            }
            if (out.empty()) {
                try {
                    out.resize(static_cast<std::size_t>(2 * batchSlots * rs));
                } catch (const std::bad_alloc&) {
                    remember(kAllocationFailed, from + 1);
                    stopped = true;
                    break;
                }
            }
            // Unscrambled at its old place, scrambled again at its new one.
            std::uint8_t* to = out.data() + packed * rs;
            std::memcpy(to, rec, static_cast<std::size_t>(rs));
            im.scrambler.apply(im.slotOffset(from), to, static_cast<std::size_t>(rs));
            im.scrambler.apply(im.slotOffset(kept + packed), to, static_cast<std::size_t>(rs));
            if (firstMoved < 0) firstMoved = from;
            lastMoved = from;
            ++packed;
        }
        if (stopped) break;
        if (packed == 0) continue;

        const std::int64_t destEnd = kept + packed;
        if (destEnd >= start) {
            // The moved records reach this batch's own slots: one write puts
            // them in place and marks the slots they left (old copies of
            // moved records become deleted copies at higher slots).
            const std::int64_t markEnd = std::max(destEnd, lastMoved + 1);
            for (std::int64_t s = destEnd; s < markEnd; ++s) {
                std::uint8_t* copy = out.data() + (s - kept) * rs;
                std::memcpy(copy, buf.data() + (s - start) * rs, static_cast<std::size_t>(rs));
                markCopy(copy, s);
            }
            if (TableError e = im.file->writeAt(im.slotOffset(kept), out.data(),
                                                static_cast<std::size_t>((markEnd - kept) * rs))) {
                remember(e, kept + 1);
                stopped = true;
                break;
            }
        } else {
            // More records were dropped before this batch than it keeps: the
            // moved records land wholly below it. Two writes, the records
            // first, then their old slots marked. A stop between the two
            // leaves this batch's records visible twice (identical copies,
            // the later ones stale): walks refuse to go over them and
            // `edbtool repair` removes them. Should the second write fail,
            // the first is undone by putting back what it overwrote.
            const auto destBytes = static_cast<std::size_t>(packed * rs);
            try {
                saved.resize(destBytes);
            } catch (const std::bad_alloc&) {
                remember(kAllocationFailed, kept + 1);
                stopped = true;
                break;
            }
            if (im.file->readAt(im.slotOffset(kept), saved.data(), destBytes) !=
                std::int64_t(destBytes)) {
                remember(kRecordReadFailed, kept + 1);
                stopped = true;
                break;
            }
            if (TableError e = im.file->writeAt(im.slotOffset(kept), out.data(), destBytes)) {
                remember(e, kept + 1);
                stopped = true;
                break;
            }
            for (std::int64_t s = firstMoved; s <= lastMoved; ++s)
                markCopy(buf.data() + (s - start) * rs, s);
            if (TableError e = im.file->writeAt(
                    im.slotOffset(firstMoved), buf.data() + (firstMoved - start) * rs,
                    static_cast<std::size_t>((lastMoved + 1 - firstMoved) * rs))) {
                // Best effort: the purge already reports its error.
                (void)im.file->writeAt(im.slotOffset(kept), saved.data(), destBytes);
                remember(e, firstMoved + 1);
                stopped = true;
                break;
            }
        }
        kept += packed;
    }

    if (!stopped && dropped > 0) {
        std::uint8_t word[4];
        putI32(word, static_cast<std::int32_t>(kept));
        if (TableError e = im.writePlain(layout::kRecordCountOffset, word, 4)) {
            // The dropped records are still counted (marked deleted, or
            // overwritten): their chains stay as they are.
            remember(e, 0);
        } else {
            // A file that cannot be cut keeps whole slots after the counted
            // ones, which the next writable open cuts off: the chains of the
            // records there are no one's either way.
            if (TableError e2 = im.file->truncate(im.slotOffset(kept))) remember(e2, 0);
            if (!chains.empty()) {
                TableError e3 =
                    im.memoFile ? freeDroppedChains(im.memo(), ids, chains) : kMemoAccessFailed;
                if (e3 != kOk) remember(e3, 0);
            }
        }
    }
    im.cursor = 0;
    if (firstError != kOk) return at.fail(firstError, failedRecord);
    return succeed();
}

FindResult TableFile::find(const std::function<bool()>& predicate) {
    const Where at = where(impl_, "find");
    if (!isOpen()) return {false, at.fail(kNoCurrentTable)};
    Impl& im = *impl_;
    const std::int64_t saved = im.cursor;
    TableError error = kOk;
    std::int64_t errorSlot = 0;
    bool matched = false;
    {
        ByteLockGuard countLock;
        if (TableError e = countLock.acquire(im.locks, layout::kRecordCountOffset))
            return {false, at.fail(e)};
        std::int32_t count = 0;
        if (TableError e = im.readCountLocked(count)) return {false, at.fail(e)};

        std::vector<std::uint8_t> rec(static_cast<std::size_t>(im.recordSize));
        RecordView view;
        view.record = rec.data();
        RecordView* outer = im.view;
        ++im.callbackDepth;
        ScopeExit restore([&] {
            im.view = outer;
            --im.callbackDepth;
            if (!matched) im.cursor = saved;
        });
        const std::uint64_t purges = im.purgeCount;
        for (std::int64_t slot = std::max<std::int64_t>(saved, 0); slot < count; ++slot) {
            ByteLockGuard recordLock;
            errorSlot = slot;
            if ((error = recordLock.acquire(im.locks, im.slotOffset(slot))) != kOk) break;
            if (im.readPlain(im.slotOffset(slot), rec.data(), rec.size()) != im.recordSize) {
                error = kRecordReadFailed;
                break;
            }
            view.stale = false;
            view.locked = true;  // recordLock is held while the predicate runs
            im.view = &view;
            im.cursor = slot;
            bool hit = predicate();
            im.view = outer;
            if (im.closeRequested || im.purgeCount != purges) break;
            if (hit) {
                matched = true;
                break;
            }
        }
    }
    if (impl_->closeRequested && impl_->callbackDepth == 0) {
        Status closed = at.fail(kNoCurrentTable);  // before the path goes with the table
        impl_.reset();
        return {false, std::move(closed)};
    }
    if (error != kOk) return {false, at.fail(error, errorSlot + 1)};
    return {matched, succeed()};
}

Status TableFile::forEachRecord(const std::function<bool()>& visitor) {
    const Where at = where(impl_, "forEachRecord");
    if (!isOpen()) return at.fail(kNoCurrentTable);
    Impl& im = *impl_;
    std::int32_t count = 0;
    if (TableError e = im.readRecordCount(true, count)) return at.fail(e);

    WalkState walk;
    bool stopped = false;
    {
        const std::int64_t rs = im.recordSize;
        const std::int64_t perBatch = std::max<std::int64_t>(1, kScanBatchBytes / rs);
        const std::int64_t first = std::max<std::int64_t>(im.cursor, 0);
        std::int64_t slot = first;
        std::vector<std::uint8_t> buf;
        if (slot < count)
            buf.resize(
                static_cast<std::size_t>(std::min<std::int64_t>(perBatch, count - slot) * rs));
        RepeatedIds repeats(im, first, &walk);

        RecordView view;
        view.walk = &walk;
        RecordView* outer = im.view;
        ++im.callbackDepth;
        ScopeExit restore([&] {
            im.view = outer;
            --im.callbackDepth;
        });
        const std::uint64_t purges = im.purgeCount;
        // The keystream of the pages still to come is made alongside.
        Scrambler::ReadAhead ahead =
            slot < count ? im.scrambler.readAhead(im.slotOffset(slot), im.slotOffset(count))
                         : Scrambler::ReadAhead();

        while (slot < count && !stopped) {
            const std::int64_t n = std::min<std::int64_t>(perBatch, count - slot);
            ahead.passed(im.slotOffset(slot));
            // One lock over the lock bytes of the whole batch (from the first
            // slot's start to the last slot's start) while it is read; the
            // visitor then works on that copy.
            std::int64_t whole = 0;  // records read in one go
            {
                RangeLockGuard batchLock;
                if (batchLock.acquire(im.locks, im.slotOffset(slot), (n - 1) * rs + 1) == kOk) {
                    std::int64_t got = im.readPlain(im.slotOffset(slot), buf.data(),
                                                    static_cast<std::size_t>(n * rs));
                    whole = got > 0 ? got / rs : 0;
                }
            }
            for (std::int64_t i = 0; i < n; ++i, ++slot) {
                view.stale = false;
                view.error = kOk;
                std::uint8_t* slotBytes = buf.data() + i * rs;
                view.record = slotBytes;
                if (i >= whole) {
                    // Not covered by the batch (another process holds one of
                    // its records, or the file ended early): this slot alone,
                    // as the record-by-record loop would read it, waiting for
                    // a record that another process holds.
                    ByteLockGuard recordLock;
                    if (TableError e = im.lockWaiting(recordLock, im.slotOffset(slot), &walk)) {
                        view.error = e;
                    } else {
                        std::int64_t got = im.readPlain(im.slotOffset(slot), slotBytes,
                                                        static_cast<std::size_t>(rs));
                        if (got != rs) view.error = im.slotReadFailure(slot, got);
                    }
                    if (view.error != kOk) walk.fail(view.error, slot);
                }
                if (view.error == kOk) {
                    // A live record met a second time is a copy an interrupted
                    // purge left behind: counted twice it would make every
                    // total wrong, so it is not handed on and the walk fails.
                    std::int64_t earlier = -1;
                    if (TableError e = repeats.check(slot, getI32(slotBytes), earlier)) {
                        walk.fail(e, slot);
                    } else if (earlier >= 0) {
                        walk.fail(kRecordReadFailed, slot,
                                  "interrupted purge: record " + std::to_string(slot + 1) +
                                      " repeats record " + std::to_string(earlier + 1) +
                                      "; run edbtool repair");
                        continue;
                    }
                }
                im.view = &view;
                im.cursor = slot;
                bool goOn = visitor();
                im.view = outer;
                if (im.closeRequested || im.purgeCount != purges || !goOn) {
                    stopped = true;
                    break;
                }
            }
        }
        if (!stopped) im.cursor = count;
    }
    if (impl_->closeRequested && impl_->callbackDepth == 0) {
        Status closed = at.fail(kNoCurrentTable);  // before the path goes with the table
        impl_.reset();
        return closed;
    }
    if (walk.error != kOk) {
        if (!walk.detail.empty()) return at.fail(walk.error, walk.detail);
        return at.fail(walk.error, walk.errorSlot + 1);
    }
    return succeed();
}

const std::vector<FieldDescriptor>& TableFile::fields() const {
    static const std::vector<FieldDescriptor> none;
    return isOpen() ? impl_->fields : none;
}

std::int32_t TableFile::recordSize() const { return isOpen() ? impl_->recordSize : 0; }

std::int64_t TableFile::dataStart() const { return isOpen() ? impl_->dataStart : 0; }

const std::string& TableFile::path() const {
    static const std::string none;
    return isOpen() ? impl_->path : none;
}

}  // namespace tables
