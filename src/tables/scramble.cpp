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
constexpr std::int64_t kFirstScrambled = 4;
constexpr int kPageCacheSlots = 8;

// The page generators make nearly all of the keystream, so they get a
// tighter RC4: state in 32-bit cells (no partial-register stalls) and two
// generators stepped side by side, whose independent dependency chains keep
// the CPU busy while one waits on a load.
struct FastRc4 {
    std::uint32_t s[256];
    std::uint32_t i = 0, j = 0;

    explicit FastRc4(const std::uint8_t* key, std::size_t len) {
        for (std::uint32_t k = 0; k < 256; ++k) s[k] = k;
        std::uint32_t jj = 0;
        std::size_t ki = 0;
        for (std::uint32_t k = 0; k < 256; ++k) {
            std::uint32_t t = s[k];
            jj = (jj + t + key[ki]) & 0xff;
            if (++ki == len) ki = 0;
            s[k] = s[jj];
            s[jj] = t;
        }
    }

    inline std::uint8_t step() {
        i = (i + 1) & 0xff;
        std::uint32_t a = s[i];
        j = (j + a) & 0xff;
        std::uint32_t b = s[j];
        s[i] = b;
        s[j] = a;
        return std::uint8_t(s[(a + b) & 0xff]);
    }

    void generate(std::uint8_t* out, std::size_t n) {
        std::uint32_t ii = i, jj = j;
        for (std::size_t k = 0; k < n; ++k) {
            ii = (ii + 1) & 0xff;
            std::uint32_t a = s[ii];
            jj = (jj + a) & 0xff;
            std::uint32_t b = s[jj];
            s[ii] = b;
            s[jj] = a;
            out[k] = std::uint8_t(s[(a + b) & 0xff]);
        }
        i = ii;
        j = jj;
    }

    // Two generators at once, n bytes each.
    static void generatePair(FastRc4& g1, std::uint8_t* out1, FastRc4& g2, std::uint8_t* out2,
                             std::size_t n) {
        std::uint32_t i1 = g1.i, j1 = g1.j, i2 = g2.i, j2 = g2.j;
        std::uint32_t* s1 = g1.s;
        std::uint32_t* s2 = g2.s;
        for (std::size_t k = 0; k < n; ++k) {
            i1 = (i1 + 1) & 0xff;
            i2 = (i2 + 1) & 0xff;
            std::uint32_t a1 = s1[i1];
            std::uint32_t a2 = s2[i2];
            j1 = (j1 + a1) & 0xff;
            j2 = (j2 + a2) & 0xff;
            std::uint32_t b1 = s1[j1];
            std::uint32_t b2 = s2[j2];
            s1[i1] = b1;
            s2[i2] = b2;
            s1[j1] = a1;
            s2[j2] = a2;
            out1[k] = std::uint8_t(s1[(a1 + b1) & 0xff]);
            out2[k] = std::uint8_t(s2[(a2 + b2) & 0xff]);
        }
        g1.i = i1;
        g1.j = j1;
        g2.i = i2;
        g2.j = j2;
    }
};

inline void xorBytes(std::uint8_t* data, const std::uint8_t* key, std::size_t n) {
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, data + k, 8);
        std::memcpy(&b, key + k, 8);
        a ^= b;
        std::memcpy(data + k, &a, 8);
    }
    for (; k < n; ++k) data[k] ^= key[k];
}

}  // namespace

struct Scrambler::Impl {
    explicit Impl(std::string_view password, const std::string& digest)
        : master(password) {
        std::memcpy(pageKey + 4, digest.data(), 32);
    }

    // The master keystream from byte 0 on, grown as further pages are needed.
    Rc4 master;
    std::vector<std::uint8_t> masterBytes;
    std::uint8_t pageKey[40] = {};

    struct Slot {
        std::int64_t page = -1;
        std::uint64_t used = 0;
        std::uint8_t bytes[kPageSize];
    };
    Slot slots[kPageCacheSlots];
    std::uint64_t clock = 0;

    std::uint32_t pageWord(std::int64_t page) {
        auto end = static_cast<std::size_t>(page) * 4 + 4;
        if (masterBytes.size() < end) {
            std::size_t want = std::max<std::size_t>(end, masterBytes.size() * 2);
            want = std::max<std::size_t>(want, 4096);
            std::size_t have = masterBytes.size();
            masterBytes.resize(want);
            master.generate(masterBytes.data() + have, want - have);
        }
        return loadLe32(masterBytes.data() + static_cast<std::size_t>(page) * 4);
    }

    FastRc4 pageGenerator(std::int64_t page) {
        std::uint32_t w = pageWord(page);
        storeLe32(pageKey, w);
        storeLe32(pageKey + 36, w ^ static_cast<std::uint32_t>(page));
        FastRc4 g(pageKey, sizeof pageKey);
        std::uint8_t discard[kPageDiscard];
        g.generate(discard, kPageDiscard);
        return g;
    }

    Slot* find(std::int64_t page) {
        for (auto& s : slots)
            if (s.page == page) {
                s.used = ++clock;
                return &s;
            }
        return nullptr;
    }

    Slot* victim(const Slot* keep) {
        Slot* v = nullptr;
        for (auto& s : slots)
            if (&s != keep && (!v || s.used < v->used)) v = &s;
        return v;
    }

    // The keystream of `page`. On a miss the following page is made along
    // with it (both generators run side by side for about the cost of one),
    // because reads run front to back.
    const std::uint8_t* page(std::int64_t page) {
        if (Slot* s = find(page)) return s->bytes;
        Slot* first = victim(nullptr);
        first->page = page;
        first->used = ++clock;
        FastRc4 g1 = pageGenerator(page);
        if (find(page + 1)) {
            g1.generate(first->bytes, kPageSize);
            return first->bytes;
        }
        Slot* second = victim(first);
        second->page = page + 1;
        second->used = clock;  // older than `first`, so it goes first if unused
        FastRc4 g2 = pageGenerator(page + 1);
        FastRc4::generatePair(g1, first->bytes, g2, second->bytes, kPageSize);
        return first->bytes;
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

}  // namespace tables
