#include "scramble.h"

#include <algorithm>
#include <cstring>

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
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

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

constexpr std::int64_t kPageSize = kKeystreamPageSize;
constexpr std::size_t kPageDiscard = 36;
constexpr std::size_t kPageKeySize = 40;
constexpr std::int64_t kFirstScrambled = 4;

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

}  // namespace

void makePageKeystreams(std::string_view digestText, const std::int64_t* pages,
                        const std::uint32_t* words, std::uint8_t* const* out, int n) {
    PageRc4 generators[kMaxPagesAtOnce];
    std::uint8_t keys[kMaxPagesAtOnce][kPageKeySize];
    const auto* digest = reinterpret_cast<const std::uint8_t*>(digestText.data());
    for (int k = 0; k < n; ++k) makePageKey(words[k], digest, pages[k], keys[k]);
    makeSomePages(generators, keys, out, n);
}

void xorKeystream(std::uint8_t* data, const std::uint8_t* key, std::size_t n) {
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

namespace {

constexpr int kPageCacheSlots = 8;

}  // namespace

struct Scrambler::Impl {
    explicit Impl(std::string_view password) : master(password) {}

    // The master keystream from byte 0 on, grown as further pages are needed.
    Rc4 master;
    std::vector<std::uint8_t> masterBytes;

    struct Slot {
        std::int64_t page = -1;
        std::uint64_t used = 0;
        std::uint8_t bytes[kPageSize];
    };
    Slot slots[kPageCacheSlots];
    std::uint64_t clock = 0;
    std::int64_t nextAhead = -1;  // the page after the last batch made

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
    const std::uint8_t* page(std::int64_t page, std::string_view digestText) {
        if (Slot* s = find(page)) {
            s->used = ++clock;
            return s->bytes;
        }
        const int want = page == nextAhead ? kMaxPagesAtOnce : 2;
        Slot* batch[kMaxPagesAtOnce];
        std::int64_t pages[kMaxPagesAtOnce];
        std::uint32_t words[kMaxPagesAtOnce];
        std::uint8_t* out[kMaxPagesAtOnce] = {};
        int n = 0;
        for (std::int64_t q = page; q < page + want; ++q) {
            if (q != page && find(q)) break;
            Slot* s = victim(batch, n);
            s->page = q;
            pages[n] = q;
            words[n] = pageWord(q);
            out[n] = s->bytes;
            batch[n++] = s;
        }
        makePageKeystreams(digestText, pages, words, out, n);
        // Later pages of the batch count as older, so they go first if unused.
        for (int k = n - 1; k >= 0; --k) batch[k]->used = ++clock;
        nextAhead = page + n;
        return batch[0]->bytes;
    }
};

Scrambler::Scrambler(std::string_view password)
    : password_(password), digest_(passwordDigestText(password)) {
    if (!password_.empty()) impl_ = std::make_shared<Impl>(password_);
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
        xorKeystream(data, impl_->page(p, digest_) + inPage, take);
        data += take;
        n -= take;
        offset += static_cast<std::int64_t>(take);
    }
}

std::vector<std::uint32_t> Scrambler::pageWords(std::int64_t first, std::int64_t last) {
    std::vector<std::uint32_t> words;
    if (!impl_ || first < 0 || last < first) return words;
    impl_->pageWord(last);  // the master keystream up to the last page, made at once
    words.resize(static_cast<std::size_t>(last - first + 1));
    std::memcpy(words.data(), impl_->masterBytes.data() + first * 4, words.size() * 4);
    return words;
}

}  // namespace tables
