#include "scramble.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace tables {

// ---------------------------------------------------------------- MD5

namespace {

inline std::uint32_t rotl(std::uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

inline std::uint32_t loadLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void storeLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

constexpr std::uint32_t kMd5T[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

constexpr int kMd5Shift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                               5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                               4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                               6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

void md5Block(std::uint32_t state[4], const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = loadLe32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        std::uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kMd5T[i] + x[g], kMd5Shift[i]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::array<std::uint8_t, 16> md5(std::string_view data) {
    std::uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t n = data.size();
    std::size_t full = n / 64 * 64;
    for (std::size_t off = 0; off < full; off += 64) md5Block(state, p + off);

    // Padding: 0x80, zeros, then the bit length as 64-bit little-endian.
    std::uint8_t tail[128] = {};
    std::size_t rest = n - full;
    if (rest) std::memcpy(tail, p + full, rest);
    tail[rest] = 0x80;
    std::size_t tailLen = rest + 1 + 8 <= 64 ? 64 : 128;
    std::uint64_t bits = std::uint64_t(n) * 8;
    for (int i = 0; i < 8; ++i) tail[tailLen - 8 + i] = std::uint8_t(bits >> (8 * i));
    for (std::size_t off = 0; off < tailLen; off += 64) md5Block(state, tail + off);

    std::array<std::uint8_t, 16> digest{};
    for (int i = 0; i < 4; ++i) storeLe32(digest.data() + 4 * i, state[i]);
    return digest;
}

// ---------------------------------------------------------------- RC4

Rc4::Rc4(std::string_view key) {
    for (int i = 0; i < 256; ++i) s_[i] = std::uint8_t(i);
    if (key.empty()) return;  // no key bytes to mix in; the identity schedule stays
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = std::uint8_t(j + s_[i] + std::uint8_t(key[i % key.size()]));
        std::swap(s_[i], s_[j]);
    }
}

std::uint8_t Rc4::next() {
    i_ = std::uint8_t(i_ + 1);
    j_ = std::uint8_t(j_ + s_[i_]);
    std::swap(s_[i_], s_[j_]);
    return s_[std::uint8_t(s_[i_] + s_[j_])];
}

void Rc4::skip(std::size_t n) {
    while (n--) next();
}

void Rc4::generate(std::uint8_t* out, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) out[k] = next();
}

std::string passwordDigestText(std::string_view password) {
    static constexpr char kHex[] = "0123456789abcdef";
    auto digest = md5(password);
    std::string text;
    text.reserve(32);
    for (int i = 15; i >= 0; --i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 15]);
    }
    return text;
}

// ---------------------------------------------------------------- Scrambler

namespace {

constexpr std::int64_t kPageSize = 4096;
constexpr std::size_t kPageDiscard = 36;
constexpr std::size_t kPageKeySize = 40;
constexpr std::int64_t kFirstScrambled = 4;
constexpr int kPageCacheSlots = 8;
constexpr int kMaxBatch = 4;

// The page generators make nearly all of the keystream, so they get a tighter
// RC4: state in 32-bit cells (no partial-register stalls), and several
// generators stepped side by side so that their independent dependency chains
// keep the CPU busy while one of them waits on a load.
struct PageRc4 {
    std::uint32_t s[256];
};

#if defined(__GNUC__)
#define LANHE_INLINE inline __attribute__((always_inline))
#else
#define LANHE_INLINE inline
#endif

LANHE_INLINE void scheduleStep(std::uint32_t* s, const std::uint8_t* key, std::uint32_t k,
                               std::uint32_t ki, std::uint32_t& j) {
    std::uint32_t t = s[k];
    j = (j + t + key[ki]) & 0xff;
    s[k] = s[j];
    s[j] = t;
}

LANHE_INLINE std::uint8_t outputStep(std::uint32_t* s, std::uint32_t i, std::uint32_t& j) {
    std::uint32_t a = s[i];
    j = (j + a) & 0xff;
    std::uint32_t b = s[j];
    s[i] = b;
    s[j] = a;
    return static_cast<std::uint8_t>(s[(a + b) & 0xff]);
}

// Keys every generator of g[0..N) with its 40-byte key, drops the first 36
// output bytes and writes the next 4096 to out[q]. The generators step in
// lockstep, so they share their i; locals instead of arrays for the j's keep
// them in registers (stores into s could alias an array).
template <int N>
void makePages(PageRc4* g, const std::uint8_t (*keys)[kPageKeySize], std::uint8_t* const* out);

template <>
void makePages<1>(PageRc4* g, const std::uint8_t (*keys)[kPageKeySize], std::uint8_t* const* out) {
    std::uint32_t* s0 = g[0].s;
    for (std::uint32_t k = 0; k < 256; ++k) s0[k] = k;
    std::uint32_t i = 0, j0 = 0, ki = 0;
    for (std::uint32_t k = 0; k < 256; ++k) {
        scheduleStep(s0, keys[0], k, ki, j0);
        if (++ki == kPageKeySize) ki = 0;
    }
    j0 = 0;
    for (std::size_t k = 0; k < kPageDiscard; ++k) {
        i = (i + 1) & 0xff;
        outputStep(s0, i, j0);
    }
    std::uint8_t* o0 = out[0];
    for (std::int64_t k = 0; k < kPageSize; ++k) {
        i = (i + 1) & 0xff;
        o0[k] = outputStep(s0, i, j0);
    }
}

template <>
void makePages<2>(PageRc4* g, const std::uint8_t (*keys)[kPageKeySize], std::uint8_t* const* out) {
    std::uint32_t *s0 = g[0].s, *s1 = g[1].s;
    for (std::uint32_t k = 0; k < 256; ++k) s0[k] = s1[k] = k;
    std::uint32_t i = 0, j0 = 0, j1 = 0, ki = 0;
    for (std::uint32_t k = 0; k < 256; ++k) {
        scheduleStep(s0, keys[0], k, ki, j0);
        scheduleStep(s1, keys[1], k, ki, j1);
        if (++ki == kPageKeySize) ki = 0;
    }
    j0 = j1 = 0;
    for (std::size_t k = 0; k < kPageDiscard; ++k) {
        i = (i + 1) & 0xff;
        outputStep(s0, i, j0);
        outputStep(s1, i, j1);
    }
    std::uint8_t *o0 = out[0], *o1 = out[1];
    for (std::int64_t k = 0; k < kPageSize; ++k) {
        i = (i + 1) & 0xff;
        o0[k] = outputStep(s0, i, j0);
        o1[k] = outputStep(s1, i, j1);
    }
}

template <>
void makePages<4>(PageRc4* g, const std::uint8_t (*keys)[kPageKeySize], std::uint8_t* const* out) {
    std::uint32_t *s0 = g[0].s, *s1 = g[1].s, *s2 = g[2].s, *s3 = g[3].s;
    for (std::uint32_t k = 0; k < 256; ++k) s0[k] = s1[k] = s2[k] = s3[k] = k;
    std::uint32_t i = 0, j0 = 0, j1 = 0, j2 = 0, j3 = 0, ki = 0;
    for (std::uint32_t k = 0; k < 256; ++k) {
        scheduleStep(s0, keys[0], k, ki, j0);
        scheduleStep(s1, keys[1], k, ki, j1);
        scheduleStep(s2, keys[2], k, ki, j2);
        scheduleStep(s3, keys[3], k, ki, j3);
        if (++ki == kPageKeySize) ki = 0;
    }
    j0 = j1 = j2 = j3 = 0;
    for (std::size_t k = 0; k < kPageDiscard; ++k) {
        i = (i + 1) & 0xff;
        outputStep(s0, i, j0);
        outputStep(s1, i, j1);
        outputStep(s2, i, j2);
        outputStep(s3, i, j3);
    }
    std::uint8_t *o0 = out[0], *o1 = out[1], *o2 = out[2], *o3 = out[3];
    for (std::int64_t k = 0; k < kPageSize; ++k) {
        i = (i + 1) & 0xff;
        o0[k] = outputStep(s0, i, j0);
        o1[k] = outputStep(s1, i, j1);
        o2[k] = outputStep(s2, i, j2);
        o3[k] = outputStep(s3, i, j3);
    }
}

// One to four pages: four side by side, else pairs and a single.
void makeSomePages(PageRc4* g, const std::uint8_t (*keys)[kPageKeySize], std::uint8_t* const* out,
                   int n) {
    if (n == 4) {
        makePages<4>(g, keys, out);
        return;
    }
    for (int k = 0; k + 1 < n; k += 2) makePages<2>(g, keys + k, out + k);
    if (n % 2) makePages<1>(g, keys + n - 1, out + n - 1);
}

// The 40-byte key of a page: its word, the digest text, word ^ page number.
void makePageKey(std::uint32_t word, const std::uint8_t* digestText, std::int64_t page,
                 std::uint8_t (&key)[kPageKeySize]) {
    storeLe32(key, word);
    std::memcpy(key + 4, digestText, 32);
    storeLe32(key + 36, word ^ static_cast<std::uint32_t>(page));
}

inline void xorBytes(std::uint8_t* data, const std::uint8_t* key, std::size_t n) {
    std::size_t k = 0;
#if defined(__GNUC__)
    // Whole pages go through here: 16 bytes a step where the compiler can.
    typedef std::uint8_t Block __attribute__((vector_size(16)));
    for (; k + 16 <= n; k += 16) {
        Block a, b;
        std::memcpy(&a, data + k, 16);
        std::memcpy(&b, key + k, 16);
        a ^= b;
        std::memcpy(data + k, &a, 16);
    }
#endif
    for (; k + 8 <= n; k += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, data + k, 8);
        std::memcpy(&b, key + k, 8);
        a ^= b;
        std::memcpy(data + k, &a, 8);
    }
    for (; k < n; ++k) data[k] ^= key[k];
}


// Page keystreams depend only on the password and the page number, and the
// program opens its tables with the same password for every operation. So the
// keystreams of pages near the start of a file are kept for the whole run: a
// query that walks the ledger again makes only the pages the store lacks. The
// store is bounded (12 MiB over all passwords, handed out in 256 KiB chunks
// and never freed) so that memory stays flat however large the tables grow.
// It keeps two pages of every three rather than one stretch, so that a walk
// over a file larger than the store has pages for the helper threads to make
// all along, not none in the stored part and all of them after it.
class KeystreamStore {
public:
    static constexpr std::int64_t kChunkPages = 64;
    static constexpr std::int64_t kBudgetPages = 3072;
    static constexpr std::size_t kMaxPasswords = 4;

    // The stored keystream of `page` for `password`, or null.
    const std::uint8_t* find(const std::string& password, std::int64_t page) {
        const std::int64_t at = placeOf(page);
        if (at < 0) return nullptr;
        std::lock_guard lock(mutex_);
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
    void keep(const std::string& password, std::int64_t page, const std::uint8_t* bytes) {
        const std::int64_t at = placeOf(page);
        if (at < 0) return;
        std::lock_guard lock(mutex_);
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
            usedPages_ += kChunkPages;
            st.chunks[c] = std::make_unique<Chunk>();
        }
        auto inChunk = static_cast<std::size_t>(at % kChunkPages);
        if (st.chunks[c]->filled[inChunk]) return;
        std::memcpy(st.chunks[c]->bytes + inChunk * kPageSize, bytes, kPageSize);
        st.chunks[c]->filled[inChunk] = true;
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
    std::mutex mutex_;
    std::map<std::string, Store> stores_;
    std::int64_t usedPages_ = 0;
};

// Never destroyed: a helper thread may still be making pages when the
// program ends with exit() (after a fatal error, say), and must not find the
// store gone.
KeystreamStore& keystreamStore() {
    static KeystreamStore* store = new KeystreamStore;
    return *store;
}

}  // namespace


// The pages of one front-to-back walk, made by the reader and a helper thread
// together. Both claim groups of pages in file order from one counter and put
// them into a ring; the reader takes its page from there (or makes the next
// unclaimed group itself while it would otherwise wait). The helper runs at
// most a ring's length ahead of the reader. A page's keystream is a function
// of the password and the page number alone, so who makes it does not matter.
struct Scrambler::ReadAhead::State {
    static constexpr std::int64_t kRing = 256;  // pages: 1 MiB
    static constexpr std::int64_t kGroup = 4;

    State(const std::string& password, const std::uint8_t* digest, std::int64_t first,
          std::int64_t last, std::vector<std::uint32_t> words)
        : password(password), first(first), last(last), words(std::move(words)),
          ring(new std::uint8_t[kRing * kPageSize]), nextClaim(first), released(first) {
        std::memcpy(digestText, digest, sizeof digestText);
        for (auto& h : held) h.store(-1, std::memory_order_relaxed);
    }

    const std::string password;
    std::uint8_t digestText[32];
    const std::int64_t first, last;               // pages
    const std::vector<std::uint32_t> words;        // page words of first..last
    const std::unique_ptr<std::uint8_t[]> ring;
    std::atomic<std::int64_t> held[kRing];         // the page a ring slot holds
    const std::uint8_t* where[kRing] = {};         // its bytes (ring or store)
    std::atomic<std::int64_t> nextClaim;           // the next page nobody makes yet
    std::atomic<std::int64_t> released;            // pages before it are done with
    std::atomic<bool> stop{false};
    std::vector<std::thread> helpers;
    // Sleeping is rare (a full ring, or the reader's page half made), so one
    // mutex and condition serve every wait. A thread counts itself in
    // `sleepers` before it looks at what it waits for; a change is made
    // before the changer looks at `sleepers` (both sequentially consistent),
    // so either the sleeper sees the change or the changer sees the sleeper.
    std::mutex mutex;
    std::condition_variable woken;
    std::atomic<int> sleepers{0};

    template <typename Ready>
    void sleepUntil(Ready ready) {
        sleepers.fetch_add(1);
        {
            std::unique_lock lock(mutex);
            woken.wait(lock, ready);
        }
        sleepers.fetch_sub(1);
    }

    void wakeSleepers() {
        if (sleepers.load() == 0) return;
        { std::lock_guard lock(mutex); }
        woken.notify_all();
    }

    void publish(std::int64_t page, const std::uint8_t* bytes) {
        const auto slot = static_cast<std::size_t>(page % kRing);
        where[slot] = bytes;
        held[slot].store(page);
        wakeSleepers();
    }

    // Claims the next group of pages, if any is left and the ring has room,
    // and makes it. False when nothing was claimed.
    bool makeGroup() {
        std::int64_t q = nextClaim.load(std::memory_order_relaxed);
        for (;;) {
            if (q > last) return false;
            // Slots of pages below `released` are free; the ring holds kRing.
            if (q + kGroup > released.load(std::memory_order_acquire) + kRing) return false;
            if (nextClaim.compare_exchange_weak(q, q + kGroup, std::memory_order_acq_rel))
                break;
        }
        const std::int64_t end = std::min(q + kGroup, last + 1);
        PageRc4 generators[kGroup];
        // Made in a buffer of this thread first: storing byte by byte into
        // ring lines that the reader's core holds would stall the generator
        // on every line, where one copy of the finished pages costs little.
        alignas(64) std::uint8_t local[kGroup][kPageSize];
        std::uint8_t keys[kGroup][kPageKeySize];
        std::uint8_t* out[kGroup] = {};
        std::int64_t pages[kGroup];
        int n = 0;
        for (std::int64_t p = q; p < end; ++p) {
            if (const std::uint8_t* kept = keystreamStore().find(password, p)) {
                publish(p, kept);
                continue;
            }
            makePageKey(words[static_cast<std::size_t>(p - first)], digestText, p, keys[n]);
            out[n] = local[n];
            pages[n++] = p;
        }
        makeSomePages(generators, keys, out, n);
        for (int k = 0; k < n; ++k) {
            std::uint8_t* slot = ring.get() + (pages[k] % kRing) * kPageSize;
            std::memcpy(slot, out[k], kPageSize);
            keystreamStore().keep(password, pages[k], slot);
            publish(pages[k], slot);
        }
        return true;
    }

    void helperLoop() {
        while (!stop.load(std::memory_order_acquire)) {
            if (makeGroup()) continue;
            if (nextClaim.load(std::memory_order_acquire) > last) return;
            // The ring is full: wait for the reader to move on.
            sleepUntil([this] {
                return stop.load() || nextClaim.load() + kGroup <= released.load() + kRing;
            });
        }
    }

    // The reader's page, or null when it is not one this walk makes.
    const std::uint8_t* get(std::int64_t page) {
        const std::int64_t r = released.load(std::memory_order_relaxed);
        if (page < first || page > last || page < r || page + kGroup > r + kRing) return nullptr;
        const auto slot = static_cast<std::size_t>(page % kRing);
        for (;;) {
            const std::int64_t h = held[slot].load(std::memory_order_acquire);
            if (h == page) return where[slot];
            // Rather than wait, make the next unclaimed group (this page's
            // own if nobody has it yet).
            if (makeGroup()) continue;
            sleepUntil([&] { return held[slot].load() != h; });
        }
    }

    void passed(std::int64_t page) {
        if (page <= released.load(std::memory_order_relaxed)) return;
        released.store(page);
        wakeSleepers();
    }

    void finish() {
        stop.store(true);
        wakeSleepers();
        for (auto& h : helpers) h.join();
    }
};

struct Scrambler::Impl {
    Impl(std::string_view password, const std::string& digest)
        : password(password), master(password) {
        std::memcpy(digestText, digest.data(), sizeof digestText);
    }

    std::string password;
    // The master keystream from byte 0 on, grown as further pages are needed.
    Rc4 master;
    std::vector<std::uint8_t> masterBytes;
    std::uint8_t digestText[32];

    struct Slot {
        std::int64_t page = -1;
        std::uint64_t used = 0;
        std::uint8_t bytes[kPageSize];
    };
    Slot slots[kPageCacheSlots];
    std::uint64_t clock = 0;
    std::int64_t nextAhead = -1;  // the page after the last batch made
    PageRc4 generators[kMaxBatch];
    ReadAhead::State* ahead = nullptr;  // the walk under way, if any

    std::uint32_t pageWord(std::int64_t page) {
        auto end = static_cast<std::size_t>(page) * 4 + 4;
        if (masterBytes.size() < end) {
            std::size_t want = std::max<std::size_t>({end, masterBytes.size() * 2, 4096});
            std::size_t have = masterBytes.size();
            masterBytes.resize(want);
            master.generate(masterBytes.data() + have, want - have);
        }
        return loadLe32(masterBytes.data() + static_cast<std::size_t>(page) * 4);
    }

    void pageKey(std::int64_t page, std::uint8_t (&key)[kPageKeySize]) {
        makePageKey(pageWord(page), digestText, page, key);
    }

    Slot* find(std::int64_t page) {
        for (auto& s : slots)
            if (s.page == page) return &s;
        return nullptr;
    }

    // The least recently used slot not among the first `taken` of `batch`.
    Slot* victim(Slot* const* batch, int taken) {
        Slot* v = nullptr;
        for (auto& s : slots) {
            if (std::find(batch, batch + taken, &s) != batch + taken) continue;
            if (!v || s.used < v->used) v = &s;
        }
        return v;
    }

    // The keystream of `page`. A miss makes a batch starting there: four pages
    // when the reader has just run off the end of the previous batch (a front-
    // to-back read), else two, because a record may straddle the page end.
    // Side by side the extra generators cost far less than one alone.
    const std::uint8_t* page(std::int64_t page) {
        if (ahead)
            if (const std::uint8_t* made = ahead->get(page)) return made;
        if (Slot* s = find(page)) {
            s->used = ++clock;
            return s->bytes;
        }
        if (const std::uint8_t* kept = keystreamStore().find(password, page)) return kept;
        const int want = page == nextAhead ? 4 : 2;
        Slot* batch[kMaxBatch];
        std::uint8_t keys[kMaxBatch][kPageKeySize];
        std::uint8_t* out[kMaxBatch] = {};
        int n = 0;
        for (std::int64_t q = page; q < page + want; ++q) {
            if (q != page && find(q)) break;
            Slot* s = victim(batch, n);
            s->page = q;
            pageKey(q, keys[n]);
            out[n] = s->bytes;
            batch[n++] = s;
        }
        makeSomePages(generators, keys, out, n);
        // Later pages of the batch count as older, so they go first if unused.
        for (int k = n - 1; k >= 0; --k) batch[k]->used = ++clock;
        for (int k = 0; k < n; ++k) keystreamStore().keep(password, batch[k]->page, batch[k]->bytes);
        nextAhead = page + n;
        return batch[0]->bytes;
    }
};

Scrambler::Scrambler(std::string_view password)
    : password_(password), digest_(passwordDigestText(password)) {
    if (!password_.empty()) impl_ = std::make_shared<Impl>(password_, digest_);
}

void Scrambler::apply(std::int64_t offset, std::uint8_t* data, std::size_t n) {
    if (!impl_ || n == 0) return;
    // Bytes before offset 4 (the magic) stay as they are.
    if (offset < kFirstScrambled) {
        std::int64_t skip = kFirstScrambled - offset;
        if (static_cast<std::uint64_t>(skip) >= n) return;
        data += skip;
        n -= static_cast<std::size_t>(skip);
        offset = kFirstScrambled;
    }
    while (n > 0) {
        std::int64_t p = offset / kPageSize;
        auto inPage = static_cast<std::size_t>(offset % kPageSize);
        std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(kPageSize) - inPage);
        xorBytes(data, impl_->page(p) + inPage, take);
        data += take;
        n -= take;
        offset += static_cast<std::int64_t>(take);
    }
}

Scrambler::ReadAhead::ReadAhead() = default;
Scrambler::ReadAhead::ReadAhead(ReadAhead&& other) noexcept
    : impl_(std::move(other.impl_)), state_(std::move(other.state_)) {}
Scrambler::ReadAhead& Scrambler::ReadAhead::operator=(ReadAhead&& other) noexcept {
    if (this != &other) {
        end();
        impl_ = std::move(other.impl_);
        state_ = std::move(other.state_);
    }
    return *this;
}
Scrambler::ReadAhead::~ReadAhead() { end(); }

void Scrambler::ReadAhead::end() {
    if (!state_) return;
    state_->finish();
    if (impl_ && impl_->ahead == state_.get()) impl_->ahead = nullptr;
    state_.reset();
    impl_.reset();
}

void Scrambler::ReadAhead::passed(std::int64_t offset) {
    if (state_) state_->passed(offset / kPageSize);
}

Scrambler::ReadAhead Scrambler::readAhead(std::int64_t from, std::int64_t to) {
    ReadAhead handle;
    // Helpers pay off only for walks of some length, on a machine with a core
    // to spare, and with no other walk of this scrambler under way. The reader
    // keeps one core; a few helpers are enough to outrun any reader.
    constexpr std::int64_t kWorthPages = 32;
    constexpr unsigned kMaxHelpers = 3;
    const unsigned cores = std::thread::hardware_concurrency();
    from = std::max(from, kFirstScrambled);
    if (!impl_ || impl_->ahead || to <= from || cores < 2) return handle;
    const std::int64_t first = from / kPageSize, last = (to - 1) / kPageSize;
    if (last - first + 1 < kWorthPages) return handle;
    impl_->pageWord(last);  // the master keystream up to the last page, made here
    std::vector<std::uint32_t> words(static_cast<std::size_t>(last - first + 1));
    std::memcpy(words.data(), impl_->masterBytes.data() + first * 4, words.size() * 4);
    auto state = std::make_unique<ReadAhead::State>(impl_->password, impl_->digestText, first,
                                                    last, std::move(words));
    const unsigned helpers = std::min(cores - 1, kMaxHelpers);
    try {
        for (unsigned k = 0; k < helpers; ++k)
            state->helpers.emplace_back([s = state.get()] { s->helperLoop(); });
    } catch (const std::system_error&) {
        // Fewer threads than hoped (or none): the reader makes what they don't.
        if (state->helpers.empty()) return handle;
    }
    impl_->ahead = state.get();
    handle.impl_ = impl_;
    handle.state_ = std::move(state);
    return handle;
}

}  // namespace tables
