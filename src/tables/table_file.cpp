#include "table_file.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "file_io.h"
#include "read_ahead.h"
#include "table_file_impl.h"
#include "table_layout.h"

namespace tables {

using layout::getI32;
using layout::putI32;

namespace {

constexpr std::int64_t kPurgeBatchBytes = 163840;
constexpr std::int64_t kScanBatchBytes = 256 * 1024;
constexpr std::uint32_t kCountRetryMs = 2000;

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

bool sameDigest(const std::uint8_t* stored, const std::string& digest) {
    for (std::size_t i = 0; i < digest.size(); ++i) {
        auto a = stored[i], b = static_cast<std::uint8_t>(digest[i]);
        if (a >= 'A' && a <= 'Z') a = std::uint8_t(a + 32);
        if (b >= 'A' && b <= 'Z') b = std::uint8_t(b + 32);
        if (a != b) return false;
    }
    return true;
}

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
    if (TableError e = guard.acquire(locks, slotOffset(cursor))) {
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

TableError TableFile::Impl::putValues(std::span<const TableValue> values, std::uint8_t* rec,
                                      bool freshRecord) {
    const std::size_t n = std::min(values.size(), fields.size());
    for (std::size_t i = 0; i < n; ++i) {
        const TableValue& v = values[i];
        if (v.isAbsent()) continue;
        const FieldDescriptor& f = fields[i];
        if (!layout::isMemoType(f.type)) {
            layout::encodeField(f, v, rec + f.offset);
            continue;
        }
        if (!memoFile) return kMemoAccessFailed;
        std::int32_t newFirst = 0;
        const std::string& bytes = f.type == FieldType::Memo ? v.asText() : v.asBytes();
        TableError e = memo().write(bytes, getI32(rec + f.offset), newFirst);
        if (e != kOk) {
            if (freshRecord) {
                // The record will not be added: give back the chains already
                // made for its earlier fields.
                for (std::size_t k = 0; k < i; ++k) {
                    if (!layout::isMemoType(fields[k].type)) continue;
                    std::int32_t first = getI32(rec + fields[k].offset);
                    // Best effort: the append fails with the first error
                    // either way; a chain left over only wastes blocks.
                    if (first != 0) (void)memo().free(first);
                }
            }
            return e;
        }
        putI32(rec + f.offset, newFirst);
    }
    return kOk;
}

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

    path = fs.absolutePath(layout::withDefaultExtension(fileName));
    path = fs.resolveCase(path);
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

    // Header.
    std::uint8_t header[layout::kHeaderSize];
    std::int64_t got = im->readPlain(0, header, sizeof header);
    if (got < 0) return failed(static_cast<TableError>(got));
    if (got != layout::kHeaderSize) return failed(kNotATable);
    if (std::memcmp(header, layout::kMagicPlain, 4) == 0) {
        if (!password.empty()) return failed(kWrongPassword);
    } else if (std::memcmp(header, layout::kMagicProtected, 4) == 0) {
        if (password.empty()) return failed(kWrongPassword);
        if (!sameDigest(header + layout::kDigestOffset, passwordDigestText(password)))
            return failed(kWrongPassword);
    } else {
        return failed(kNotATable);
    }
    std::int32_t count = getI32(header + layout::kRecordCountOffset);
    const std::int32_t nextId = getI32(header + layout::kNextIdOffset);
    const std::int32_t recordSize = getI32(header + layout::kRecordSizeOffset);
    // A slot must at least hold its record id.
    if (recordSize < 4 || count < 0 || nextId < 1) return failed(kNotATable);
    im->version = getI32(header + layout::kVersionOffset);
    if (im->version > layout::kVersion) return failed(kVersionTooNew);
    im->recordSize = recordSize;

    // Field count and descriptors; the count is checked against the file's
    // length before anything is allocated for it.
    std::uint8_t countBytes[4];
    if (im->readPlain(layout::kFieldCountOffset, countBytes, 4) != 4) return failed(kNotATable);
    const std::int32_t fieldCount = getI32(countBytes);
    if (fieldCount <= 0) return failed(kNotATable);
    const std::int64_t descriptorBytes = std::int64_t(fieldCount) * layout::kDescriptorSize;
    std::int64_t length = im->file->size();
    if (length < 0) return failed(static_cast<TableError>(length));
    if (length < layout::kDescriptorsOffset + descriptorBytes) return failed(kNotATable);
    std::vector<std::uint8_t> descriptors;
    try {
        descriptors.resize(static_cast<std::size_t>(descriptorBytes));
    } catch (const std::bad_alloc&) {
        return failed(kAllocationFailed);
    }
    if (im->readPlain(layout::kDescriptorsOffset, descriptors.data(), descriptors.size()) !=
        descriptorBytes)
        return failed(kNotATable);
    im->dataStart = layout::kDescriptorsOffset + descriptorBytes;

    // Size repair.
    const std::int64_t slots = (length - im->dataStart) / recordSize;
    if (slots < count) {
        if (options.readOnly) return failed(kTableSizeWrong);
        count = static_cast<std::int32_t>(slots);
        std::uint8_t word[4];
        putI32(word, count);
        if (TableError e = im->writePlain(layout::kRecordCountOffset, word, 4)) return failed(e);
        if (TableError e = im->file->truncate(im->slotOffset(count))) return failed(e);
    } else if (!options.readOnly && length != im->slotOffset(count)) {
        if (TableError e = im->file->truncate(im->slotOffset(count))) return failed(e);
    }

    // Descriptors.
    im->fields.reserve(static_cast<std::size_t>(fieldCount));
    bool hasMemo = false;
    for (std::int32_t i = 0; i < fieldCount; ++i) {
        const std::uint8_t* d = descriptors.data() + std::int64_t(i) * layout::kDescriptorSize;
        const void* nul = std::memchr(d, 0, layout::kNameBytes);
        const std::int32_t type = getI32(d + 20), offset = getI32(d + 24), width = getI32(d + 28);
        if (!nul || offset < 0 || !layout::validType(type)) return failed(kNotATable);
        FieldDescriptor f;
        f.name.assign(reinterpret_cast<const char*>(d), static_cast<const std::uint8_t*>(nul) - d);
        f.type = static_cast<FieldType>(type);
        f.offset = offset;
        f.width = f.type == FieldType::Text ? width : 0;
        if (f.type == FieldType::Text && width < 1) return failed(kNotATable);
        // A field must lie inside the record, or reading it would run into
        // the next slot (or past the buffer).
        if (std::int64_t(offset) + fieldSize(f) > recordSize) return failed(kNotATable);
        hasMemo = hasMemo || layout::isMemoType(f.type);
        im->fields.push_back(std::move(f));
    }
    im->canonical.resize(im->fields.size());
    for (std::size_t i = 0; i < im->fields.size(); ++i) {
        std::size_t j = 0;
        while (!layout::sameFieldName(im->fields[j].name, im->fields[i].name)) ++j;
        im->canonical[i] = static_cast<int>(j);
    }

    // Memo file.
    RangeLockGuard wholeMemo;
    if (hasMemo) {
        const std::string memoPath = fs.resolveCase(layout::replaceExtension(path, "EDT"));
        im->memoFile = fs.open(memoPath, request, &error);
        if (!im->memoFile) return failed(kMemoOpenFailed);
        im->memoLocks = LockSet(im->memoFile.get(), locking);
        if (TableError e = wholeMemo.acquire(im->memoLocks, 0, layout::kWholeRange))
            return failed(e);
        MemoHeader h;
        if (MemoFile::readHeader(*im->memoFile, im->scrambler, h) != kOk)
            return failed(kMemoOpenFailed);
        if (std::memcmp(h.raw, layout::kMagicMemo, 4) != 0 || h.blockCount < 1 || h.freeCount < 0 ||
            h.freeCount > h.blockCount - 1 || h.firstFree < 0 || h.firstFree > h.blockCount - 1)
            return failed(kMemoOpenFailed);
        if (h.version != im->version) return failed(kMemoVersionMismatch);
        const std::int64_t memoLength = im->memoFile->size();
        if (memoLength < 0) return failed(kMemoOpenFailed);
        const std::int64_t blocks = memoLength / layout::kBlockSize;
        if (blocks < h.blockCount && options.readOnly) return failed(kNotAMemoFile);
        if (!options.readOnly && blocks != h.blockCount) {
            std::uint8_t word[4];
            putI32(word, static_cast<std::int32_t>(std::min<std::int64_t>(blocks, INT32_MAX)));
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

    ByteLockGuard recordLock;
    if (TableError e = recordLock.acquire(im.locks, im.slotOffset(count)))
        return at.fail(e, std::int64_t(count) + 1);
    std::vector<std::uint8_t> rec;
    try {
        rec.assign(static_cast<std::size_t>(im.recordSize), 0);
    } catch (const std::bad_alloc&) {
        return at.fail(kAllocationFailed, std::int64_t(count) + 1);
    }
    if (TableError e = im.putValues(values, rec.data(), true))
        return at.fail(e, std::int64_t(count) + 1);
    putI32(rec.data(), nextId);
    if (TableError e = im.writeInPlace(im.slotOffset(count), rec.data(), rec.size()))
        return at.fail(e, std::int64_t(count) + 1);
    putI32(counters, count + 1);
    putI32(counters + 4, nextId + 1);
    if (TableError e = im.writePlain(layout::kRecordCountOffset, counters, 8))
        return at.fail(e, std::int64_t(count) + 1);
    im.cursor = count;
    return succeed();
}

Status TableFile::write(std::span<const TableValue> values) {
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
    if (TableError e = im.putValues(values, rec.data(), false)) return at.fail(e, slot + 1);
    if (im.view) im.view->stale = true;
    // The record id (bytes 0..3) is not rewritten: a deleted mark stays.
    if (TableError e = im.writeInPlace(im.slotOffset(slot) + 4, rec.data() + 4, rec.size() - 4))
        return at.fail(e, slot + 1);
    return succeed();
}

Status TableFile::markDeleted() {
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
    std::vector<std::uint8_t> buf;
    try {
        buf.resize(
            static_cast<std::size_t>(std::min<std::int64_t>(perBatch, std::max(count, 1)) * rs));
    } catch (const std::bad_alloc&) {
        return at.fail(kAllocationFailed);
    }

    TableError firstError = kOk;
    std::int64_t failedRecord = 0;  // where the first error arose; 0: not at a record
    auto remember = [&](TableError e, std::int64_t record) {
        if (firstError != kOk) return;
        firstError = e;
        failedRecord = record;
    };
    std::int64_t kept = 0;  // kept records so far: the next write position
    std::int64_t dropped = 0;
    std::int64_t examined = 0;  // slots read and handled
    bool stopped = false;

    // The batch stays scrambled; each record is unscrambled at its old place
    // and scrambled again at its new one right away, while the keystream
    // pages of both places are still at hand.
    for (std::int64_t start = 0; start < count; start += perBatch) {
        const std::int64_t n = std::min<std::int64_t>(perBatch, count - start);
        if (im.file->readAt(im.slotOffset(start), buf.data(), static_cast<std::size_t>(n * rs)) !=
            n * rs) {
            remember(kRecordReadFailed, start + 1);
            stopped = true;
            break;
        }
        std::int64_t writeFrom = -1;  // slot where this batch's moved records go
        std::int64_t packed = 0;      // records packed at the front of buf
        for (std::int64_t i = 0; i < n; ++i) {
            std::uint8_t* rec = buf.data() + i * rs;
            const std::int64_t from = im.slotOffset(start + i);
            auto wordAt = [&](std::int64_t at) {
                std::uint8_t w[4];
                std::memcpy(w, rec + at, 4);
                im.scrambler.apply(from + at, w, 4);
                return getI32(w);
            };
            if (wordAt(0) < 0) {
                for (const FieldDescriptor& f : im.fields) {
                    if (!layout::isMemoType(f.type)) continue;
                    std::int32_t first = wordAt(f.offset);
                    if (first == 0) continue;
                    TableError e = im.memoFile ? im.memo().free(first) : kMemoAccessFailed;
                    if (e != kOk) remember(e, start + i + 1);
                }
                ++dropped;
                continue;
            }
            if (dropped == 0) {
                ++kept;  // still in its place
                continue;
            }
            if (writeFrom < 0) writeFrom = kept;
            std::uint8_t* to = buf.data() + packed * rs;
            im.scrambler.apply(from, rec, static_cast<std::size_t>(rs));
            if (to != rec) std::memmove(to, rec, static_cast<std::size_t>(rs));
            im.scrambler.apply(im.slotOffset(writeFrom + packed), to, static_cast<std::size_t>(rs));
            ++packed;
        }
        if (packed > 0) {
            TableError e = im.file->writeAt(im.slotOffset(writeFrom), buf.data(),
                                            static_cast<std::size_t>(packed * rs));
            if (e != kOk) {
                remember(e, writeFrom + 1);
                stopped = true;
                break;
            }
            kept += packed;
        }
        examined = start + n;
    }

    if (stopped) {
        // Nothing unexamined may be lost and the count must stay true: the
        // slots between the moved records and the first unexamined one become
        // empty records marked deleted, which a later purge takes away.
        if (dropped > 0 && examined > kept) {
            std::vector<std::uint8_t> filler(static_cast<std::size_t>((examined - kept) * rs), 0);
            for (std::int64_t i = 0; i < examined - kept; ++i) putI32(filler.data() + i * rs, -1);
            // Best effort: the purge already reports its first error. Should
            // this write fail too, those slots still hold their old records:
            // some kept records then appear twice, but none is lost.
            (void)im.writeInPlace(im.slotOffset(kept), filler.data(), filler.size());
        }
    } else if (dropped > 0) {
        std::uint8_t word[4];
        putI32(word, static_cast<std::int32_t>(kept));
        if (TableError e = im.writePlain(layout::kRecordCountOffset, word, 4))
            remember(e, 0);
        else if (TableError e2 = im.file->truncate(im.slotOffset(kept)))
            remember(e2, 0);
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

    TableError firstError = kOk;
    std::int64_t firstErrorSlot = 0;
    bool stopped = false;
    {
        const std::int64_t rs = im.recordSize;
        const std::int64_t perBatch = std::max<std::int64_t>(1, kScanBatchBytes / rs);
        std::int64_t slot = std::max<std::int64_t>(im.cursor, 0);
        std::vector<std::uint8_t> buf;
        if (slot < count)
            buf.resize(
                static_cast<std::size_t>(std::min<std::int64_t>(perBatch, count - slot) * rs));

        RecordView view;
        RecordView* outer = im.view;
        ++im.callbackDepth;
        ScopeExit restore([&] {
            im.view = outer;
            --im.callbackDepth;
        });
        const std::uint64_t purges = im.purgeCount;
        // The keystream of the pages still to come is made alongside, up to
        // the end of the file (however many records the count claims).
        ReadAhead ahead(im.scrambler, im.slotOffset(slot),
                        std::min(im.slotOffset(count), im.file->size()));

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
                    std::int64_t got = im.file->readAt(im.slotOffset(slot), buf.data(),
                                                       static_cast<std::size_t>(n * rs));
                    if (got > 0)
                        ahead.apply(im.slotOffset(slot), buf.data(), static_cast<std::size_t>(got));
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
                    // as the record-by-record loop would read it.
                    ByteLockGuard recordLock;
                    if (TableError e = recordLock.acquire(im.locks, im.slotOffset(slot))) {
                        view.error = e;
                    } else {
                        std::int64_t got = im.readPlain(im.slotOffset(slot), slotBytes,
                                                        static_cast<std::size_t>(rs));
                        if (got != rs) view.error = im.slotReadFailure(slot, got);
                    }
                    if (view.error != kOk && firstError == kOk) {
                        firstError = view.error;
                        firstErrorSlot = slot;
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
    if (firstError != kOk) return at.fail(firstError, firstErrorSlot + 1);
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
