#include "read_ahead.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "thread_safety.h"

namespace tables {

namespace {

constexpr std::int64_t kPageSize = kKeystreamPageSize;
constexpr std::int64_t kFirstScrambled = 4;

// Page keystreams depend only on the password and the page number, and the
// program opens its tables with the same password for every operation. So the
// keystreams of pages near the start of a file are kept for the whole run: a
// query that walks the ledger again makes only the pages the store lacks. The
// store is bounded (12 MiB over all passwords, handed out in 256 KiB chunks
// and never freed) so that memory stays flat however large the tables grow.
// It keeps two pages of every three rather than one stretch, so that a walk
// over a file larger than the store has pages for the helper threads to make
// all along, not none in the stored part and all of them after it.
class KeptPages {
  public:
    static constexpr std::int64_t kChunkPages = 64;
    static constexpr std::int64_t kBudgetPages = 3072;
    static constexpr std::size_t kMaxPasswords = 4;

    // The kept keystream of `page` for `password`, or null. Kept bytes never
    // change and never go away, so the pointer stays good for the run.
    const std::uint8_t* find(const std::string& password, std::int64_t page) EXCLUDES(mutex_) {
        const std::int64_t at = placeOf(page);
        if (at < 0) return nullptr;
        MutexLock lock(mutex_);
        auto it = stores_.find(password);
        if (it == stores_.end()) return nullptr;
        const Store& st = it->second;
        auto c = static_cast<std::size_t>(at / kChunkPages);
        if (c >= st.chunks.size() || !st.chunks[c]) return nullptr;
        auto inChunk = static_cast<std::size_t>(at % kChunkPages);
        if (!st.chunks[c]->filled[inChunk]) return nullptr;
        return st.chunks[c]->bytes + inChunk * kPageSize;
    }

    // Keeps a copy of `bytes` as the keystream of `page`, while the budget lasts.
    void keep(const std::string& password, std::int64_t page, const std::uint8_t* bytes)
        EXCLUDES(mutex_) {
        const std::int64_t at = placeOf(page);
        if (at < 0) return;
        MutexLock lock(mutex_);
        try {
            auto it = stores_.find(password);
            if (it == stores_.end()) {
                if (stores_.size() >= kMaxPasswords) return;
                it = stores_.emplace(password, Store{}).first;
            }
            Store& st = it->second;
            auto c = static_cast<std::size_t>(at / kChunkPages);
            if (c >= st.chunks.size()) st.chunks.resize(c + 1);
            if (!st.chunks[c]) {
                if (usedPages_ + kChunkPages > kBudgetPages) return;
                st.chunks[c] = std::make_unique<Chunk>();
                usedPages_ += kChunkPages;
            }
            auto inChunk = static_cast<std::size_t>(at % kChunkPages);
            if (st.chunks[c]->filled[inChunk]) return;
            std::memcpy(st.chunks[c]->bytes + inChunk * kPageSize, bytes, kPageSize);
            st.chunks[c]->filled[inChunk] = true;
        } catch (const std::bad_alloc&) {
            // Keeping is a saving, not a duty: without memory the page is made again next time.
        }
    }

    // Where a page would be kept, or -1 for a page the store never keeps.
    static std::int64_t placeOf(std::int64_t page) {
        if (page < 0 || page % 3 == 2) return -1;
        const std::int64_t at = page / 3 * 2 + page % 3;
        return at < kBudgetPages ? at : -1;
    }

  private:
    struct Chunk {
        bool filled[kChunkPages] = {};
        std::uint8_t bytes[kChunkPages * kPageSize];
    };
    struct Store {
        std::vector<std::unique_ptr<Chunk>> chunks;
    };
    Mutex mutex_;
    std::map<std::string, Store> stores_ GUARDED_BY(mutex_);
    std::int64_t usedPages_ GUARDED_BY(mutex_) = 0;
};

// Never destroyed: a helper thread may still be making pages when the
// program ends with exit() (after a fatal error, say), and must not find the
// store gone.
KeptPages& keptPages() {
    static KeptPages* store = new KeptPages;
    return *store;
}

std::atomic<ReadAhead::Mode> gMode{ReadAhead::Mode::Helpers};
// One walk with a read-ahead at a time in the process (a walk started inside
// another walk's visitor goes without), so that helpers never pile up.
std::atomic<bool> gWalkUnderWay{false};

}  // namespace

// The pages of one front-to-back walk, made by the helpers and the reader
// together. They claim groups of pages in file order from one counter and put
// them into a ring; the reader takes its page from there, or makes the next
// unclaimed group itself rather than wait. Claims run at most a ring's length
// ahead of the page the reader has passed, so a ring slot is written only by
// the one who claimed its page, and only after the reader is done with the
// page the slot held before. A page's keystream depends on the password and
// the page number alone, so who makes it does not matter.
struct ReadAhead::Walk {
    static constexpr std::int64_t kRing = 256;  // pages: 1 MiB at most
    static constexpr std::int64_t kGroup = kMaxPagesAtOnce;

    Walk(const Scrambler& scrambler, std::int64_t first, std::int64_t last,
         std::vector<std::uint32_t> words)
        : password(scrambler.password()),
          digestText(scrambler.digestText()),
          first(first),
          last(last),
          ringPages(std::min(kRing, (last - first + kGroup) / kGroup * kGroup)),
          words(std::move(words)),
          ring(new std::uint8_t[static_cast<std::size_t>(ringPages * kPageSize)]),
          nextClaim(first),
          released(first),
          held(static_cast<std::size_t>(ringPages), -1),
          where(static_cast<std::size_t>(ringPages), nullptr),
          busy(static_cast<std::size_t>(ringPages), 0) {}

    // Fixed for the walk: read by every thread without the mutex.
    const std::string password;
    const std::string digestText;
    const std::int64_t first, last;  // pages
    const std::int64_t ringPages;
    const std::vector<std::uint32_t> words;  // of pages first..last
    // A slot's bytes belong to whoever claimed the page that goes there, until
    // it is published; then they are read (by the reader only) until the
    // reader passes the page.
    const std::unique_ptr<std::uint8_t[]> ring;

    Mutex mutex;
    std::condition_variable pageMade;          // the reader waits here for its page
    std::condition_variable roomMade;          // helpers wait here for the reader to move on
    std::int64_t nextClaim GUARDED_BY(mutex);  // the first page nobody makes yet
    std::int64_t released GUARDED_BY(mutex);   // pages before it are done with
    bool stopping GUARDED_BY(mutex) = false;
    std::vector<std::int64_t> held GUARDED_BY(mutex);          // per slot: its page, or -1
    std::vector<const std::uint8_t*> where GUARDED_BY(mutex);  // its bytes: ring or store
    std::vector<char> busy GUARDED_BY(mutex);  // per slot: its page is claimed, not yet published
    std::int64_t made GUARDED_BY(mutex) = 0;

    std::vector<std::thread> helpers;  // started and joined by the reader's thread

    struct Claim {
        std::int64_t begin = 0, end = 0;
        bool empty() const { return begin >= end; }
    };

    std::size_t slotOf(std::int64_t page) const {
        return static_cast<std::size_t>((page - first) % ringPages);
    }

    // The next group of pages if one is left and the ring has room for it:
    // its slots lie within a ring's length of the reader, and the pages they
    // held before are published. (The reader may pass pages it did not wait
    // for, so being behind the reader does not yet mean a slot is free.)
    Claim claim() REQUIRES(mutex) {
        nextClaim = std::max(nextClaim, released);  // pages passed unmade are not needed
        if (stopping || nextClaim > last || nextClaim + kGroup > released + ringPages) return {};
        Claim c{nextClaim, std::min(nextClaim + kGroup, last + 1)};
        for (std::int64_t p = c.begin; p < c.end; ++p)
            if (busy[slotOf(p)]) return {};
        for (std::int64_t p = c.begin; p < c.end; ++p) busy[slotOf(p)] = 1;
        nextClaim = c.end;
        return c;
    }

    // Makes a claimed group (or takes its pages from the store) and publishes it.
    void make(Claim c) EXCLUDES(mutex) {
        std::int64_t pages[kGroup];
        std::uint32_t pageWords[kGroup];
        const std::uint8_t* bytes[kGroup] = {};
        // Made in a buffer of this thread first: storing byte by byte into
        // ring lines that the reader's core holds would stall the generator
        // on every line, where one copy of the finished pages costs little.
        alignas(64) std::uint8_t local[kGroup][kPageSize];
        std::uint8_t* out[kGroup] = {};
        int toMake = 0;
        for (std::int64_t p = c.begin; p < c.end; ++p) {
            const auto k = static_cast<std::size_t>(p - c.begin);
            if ((bytes[k] = keptPages().find(password, p)) != nullptr) continue;
            pages[toMake] = p;
            pageWords[toMake] = words[static_cast<std::size_t>(p - first)];
            out[toMake] = local[toMake];
            ++toMake;
        }
        if (toMake > 0) makePageKeystreams(digestText, pages, pageWords, out, toMake);
        for (int k = 0; k < toMake; ++k) {
            std::uint8_t* slot = ring.get() + slotOf(pages[k]) * kPageSize;
            std::memcpy(slot, out[k], kPageSize);
            keptPages().keep(password, pages[k], slot);
            bytes[static_cast<std::size_t>(pages[k] - c.begin)] = slot;
        }
        {
            MutexLock lock(mutex);
            for (std::int64_t p = c.begin; p < c.end; ++p) {
                held[slotOf(p)] = p;
                where[slotOf(p)] = bytes[static_cast<std::size_t>(p - c.begin)];
                busy[slotOf(p)] = 0;
            }
            made += toMake;
        }
        pageMade.notify_all();
        roomMade.notify_all();  // its slots may be what the next claim waits for
    }

    void helperLoop() EXCLUDES(mutex) {
        for (;;) {
            Claim c;
            {
                MutexLock lock(mutex);
                for (;;) {
                    if (stopping || nextClaim > last) return;
                    c = claim();
                    if (!c.empty()) break;
                    mutex.wait(roomMade);
                }
            }
            make(c);
        }
    }

    // The reader's page, or null when it is not one this walk makes (outside
    // the walk, behind the reader, or farther ahead than the ring reaches).
    const std::uint8_t* get(std::int64_t page) EXCLUDES(mutex) {
        for (;;) {
            Claim c;
            {
                MutexLock lock(mutex);
                for (;;) {
                    if (page < first || page > last || page < released ||
                        page + kGroup > released + ringPages)
                        return nullptr;
                    const std::size_t slot = slotOf(page);
                    if (held[slot] == page) return where[slot];
                    // Rather than wait, make the next unclaimed group (this
                    // page's own, if nobody has it yet).
                    c = claim();
                    if (!c.empty()) break;
                    mutex.wait(pageMade);
                }
            }
            make(c);
        }
    }

    void pass(std::int64_t page) EXCLUDES(mutex) {
        {
            MutexLock lock(mutex);
            if (page <= released) return;
            released = page;
        }
        roomMade.notify_all();
    }

    void finish() EXCLUDES(mutex) {
        {
            MutexLock lock(mutex);
            stopping = true;
        }
        roomMade.notify_all();
        for (auto& h : helpers) h.join();
        helpers.clear();
    }

    std::int64_t pagesMade() EXCLUDES(mutex) {
        MutexLock lock(mutex);
        return made;
    }
};

void ReadAhead::setMode(Mode mode) { gMode.store(mode); }

ReadAhead::Mode ReadAhead::mode() { return gMode.load(); }

ReadAhead::ReadAhead(Scrambler& scrambler, std::int64_t from, std::int64_t to)
    : scrambler_(&scrambler) {
    // Worth it only for walks of some length. The reader keeps one core; a
    // few helpers are enough to outrun any reader.
    constexpr std::int64_t kWorthPages = 32;
    constexpr unsigned kMaxHelpers = 3;
    const Mode mode = gMode.load();
    from = std::max(from, kFirstScrambled);
    if (mode == Mode::Off || !scrambler.active() || to <= from) return;
    const std::int64_t first = from / kPageSize, last = (to - 1) / kPageSize;
    if (last - first + 1 < kWorthPages) return;
    bool idle = false;
    if (!gWalkUnderWay.compare_exchange_strong(idle, true)) return;
    try {
        walk_ = std::make_unique<Walk>(scrambler, first, last, scrambler.pageWords(first, last));
    } catch (const std::exception&) {  // no memory for the ring or the page words
        gWalkUnderWay.store(false);
        return;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned helpers =
        mode == Mode::Helpers && cores > 1 ? std::min(cores - 1, kMaxHelpers) : 0;
    try {
        for (unsigned k = 0; k < helpers; ++k)
            walk_->helpers.emplace_back([w = walk_.get()] { w->helperLoop(); });
    } catch (const std::system_error&) {
        // Fewer threads than hoped, or none: the reader makes what they don't.
    }
}

ReadAhead::ReadAhead() = default;

ReadAhead::ReadAhead(ReadAhead&& other) noexcept
    : scrambler_(other.scrambler_), walk_(std::move(other.walk_)), madeBefore_(other.madeBefore_) {}

ReadAhead& ReadAhead::operator=(ReadAhead&& other) noexcept {
    if (this != &other) {
        stop();
        scrambler_ = other.scrambler_;
        walk_ = std::move(other.walk_);
        madeBefore_ = other.madeBefore_;
    }
    return *this;
}

ReadAhead::~ReadAhead() { stop(); }

void ReadAhead::stop() {
    if (!walk_) return;
    walk_->finish();
    madeBefore_ = walk_->pagesMade();
    walk_.reset();
    gWalkUnderWay.store(false);
}

int ReadAhead::helpers() const { return walk_ ? static_cast<int>(walk_->helpers.size()) : 0; }

std::int64_t ReadAhead::pagesMade() const { return walk_ ? walk_->pagesMade() : madeBefore_; }

void ReadAhead::passed(std::int64_t offset) {
    if (walk_) walk_->pass(offset / kPageSize);
}

void ReadAhead::apply(std::int64_t offset, std::uint8_t* data, std::size_t n) {
    if (!walk_) {
        if (scrambler_) scrambler_->apply(offset, data, n);
        return;
    }
    // Bytes before offset 4 (the magic) stay as they are.
    if (offset < kFirstScrambled) {
        const std::int64_t skip = kFirstScrambled - offset;
        if (static_cast<std::uint64_t>(skip) >= n) return;
        data += skip;
        n -= static_cast<std::size_t>(skip);
        offset = kFirstScrambled;
    }
    while (n > 0) {
        const std::int64_t page = offset / kPageSize;
        const auto inPage = static_cast<std::size_t>(offset % kPageSize);
        const std::size_t take =
            std::min<std::size_t>(n, static_cast<std::size_t>(kPageSize) - inPage);
        if (const std::uint8_t* keystream = walk_->get(page))
            xorKeystream(data, keystream + inPage, take);
        else
            scrambler_->apply(offset, data, take);
        data += take;
        n -= take;
        offset += static_cast<std::int64_t>(take);
    }
}

}  // namespace tables
