#include "scramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tables {
namespace {

std::string hex(const std::uint8_t* p, std::size_t n) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s.push_back(kHex[p[i] >> 4]);
        s.push_back(kHex[p[i] & 15]);
    }
    return s;
}

std::string bytesFromHex(std::string_view h) {
    std::string out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
    return out;
}

// ---------------------------------------------------------------- MD5

TEST(Md5, Rfc1321TestSuite) {
    struct Case {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        auto d = md5(c.input);
        EXPECT_EQ(hex(d.data(), d.size()), c.digest) << '"' << c.input << '"';
    }
}

// Lengths around the 56-byte padding limit and the 64-byte block size, where
// the length field moves into an extra block.
TEST(Md5, PaddingBoundaries) {
    struct Case {
        std::size_t length;
        const char* digest;
    } cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& c : cases) {
        auto d = md5(std::string(c.length, 'a'));
        EXPECT_EQ(hex(d.data(), d.size()), c.digest) << c.length << " bytes";
    }
}

// ---------------------------------------------------------------- RC4

struct Rc4Vector {
    const char* key;
    std::size_t offset;
    const char* output;
};

// RFC 6229, keys of 40, 64, 128 and 256 bits.
const Rc4Vector kRfc6229[] = {
    {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
    {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
    {"0102030405", 240, "28cb1132c96ce286421dcaadb8b69eae"},
    {"0102030405", 256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
    {"0102030405", 1520, "3294f744d8f9790507e70f62e5bbceea"},
    {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050"},
    {"0102030405", 4096, "ff25b58995996707e51fbdf08b34d875"},
    {"833222772a", 0, "80ad97bdc973df8a2e879e92a497efda"},
    {"833222772a", 16, "20f060c2f2e5126501d3d4fea10d5fc0"},
    {"833222772a", 240, "faa148e99046181fec6b2085f3b20ed9"},
    {"833222772a", 4080, "6349d126a37afcba89794f9804914fdc"},
    {"833222772a", 4096, "bf42c3018c2f7c66bfde524975768115"},
    {"0102030405060708", 0, "97ab8a1bf0afb96132f2f67258da15a8"},
    {"0102030405060708", 240, "9636ebc9841926f4f7d1f362bddf6e18"},
    {"0102030405060708", 4096, "3fb46e2c8f0f068edce8cdcd7dfc5862"},
    {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
    {"0102030405060708090a0b0c0d0e0f10", 16, "5248c4959014126a6e8a84f11d1a9e1c"},
    {"0102030405060708090a0b0c0d0e0f10", 4080, "ff38265c1642c1abe8d3c2fe5e572bf8"},
    {"0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 0,
     "dd5bcb0018e922d494759d7c395d02d3"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 1520,
     "ac4e95368d99b9eb78b8da8f81ffa795"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 4096,
     "370b1c1fe655916d97fd0d47ca1d72b8"},
};

TEST(Rc4, Rfc6229VectorsBySkipAndGenerate) {
    for (const auto& v : kRfc6229) {
        Rc4 rc4(bytesFromHex(v.key));
        rc4.skip(v.offset);
        std::uint8_t out[16];
        rc4.generate(out, sizeof out);
        EXPECT_EQ(hex(out, 16), v.output) << "key " << v.key << " offset " << v.offset;
    }
}

TEST(Rc4, NextAndGenerateGiveTheSameStream) {
    const std::string key = bytesFromHex("0102030405");
    Rc4 byByte(key), inBulk(key);
    std::vector<std::uint8_t> bulk(4112);
    inBulk.generate(bulk.data(), 100);
    inBulk.generate(bulk.data() + 100, bulk.size() - 100);
    for (std::size_t i = 0; i < bulk.size(); ++i) ASSERT_EQ(byByte.next(), bulk[i]) << i;
    EXPECT_EQ(hex(bulk.data() + 4096, 16), "ff25b58995996707e51fbdf08b34d875");
}

// ---------------------------------------------------------------- digest text

TEST(PasswordDigestText, IsReversedLowercaseMd5) {
    // MD5("abc") = 900150983cd24fb0d6963f7d28e17f72, bytes reversed.
    EXPECT_EQ(passwordDigestText("abc"), "727fe1287d3f96d6b04fd23c98500190");
    EXPECT_EQ(passwordDigestText("583027"), "f8cdfd59745718b9a9922fb422990edf");
    // MD5("") = d41d8cd98f00b204e9800998ecf8427e
    EXPECT_EQ(passwordDigestText(""), "7e42f8ec980980e904b2008fd98c1dd4");
}

// ---------------------------------------------------------------- Scrambler

// The keystream byte at one file offset, computed the long way from the
// published description, without any caching or bulk generation.
std::uint8_t naiveKeystreamByte(const std::string& password, std::int64_t offset) {
    const std::string digest = passwordDigestText(password);
    const std::int64_t page = offset / 4096;
    Rc4 master(password);
    master.skip(static_cast<std::size_t>(page) * 4);
    std::uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= std::uint32_t(master.next()) << (8 * k);
    std::string key;
    for (int k = 0; k < 4; ++k) key.push_back(static_cast<char>(w >> (8 * k)));
    key += digest;
    const std::uint32_t w2 = w ^ static_cast<std::uint32_t>(page);
    for (int k = 0; k < 4; ++k) key.push_back(static_cast<char>(w2 >> (8 * k)));
    Rc4 pageGen(key);
    pageGen.skip(36 + static_cast<std::size_t>(offset % 4096));
    return pageGen.next();
}

// Per-byte reference over a range; bytes before offset 4 are left alone.
// Computes each needed page's stream once to stay affordable in tests.
std::vector<std::uint8_t> naiveApply(const std::string& password, std::int64_t offset,
                                     std::vector<std::uint8_t> data) {
    std::int64_t cachedPage = -1;
    std::vector<std::uint8_t> stream;
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::int64_t o = offset + static_cast<std::int64_t>(i);
        if (o < 4) continue;
        std::int64_t page = o / 4096;
        if (page != cachedPage) {
            const std::string digest = passwordDigestText(password);
            Rc4 master(password);
            master.skip(static_cast<std::size_t>(page) * 4);
            std::uint32_t w = 0;
            for (int k = 0; k < 4; ++k) w |= std::uint32_t(master.next()) << (8 * k);
            std::string key;
            for (int k = 0; k < 4; ++k) key.push_back(static_cast<char>(w >> (8 * k)));
            key += digest;
            const std::uint32_t w2 = w ^ static_cast<std::uint32_t>(page);
            for (int k = 0; k < 4; ++k) key.push_back(static_cast<char>(w2 >> (8 * k)));
            Rc4 gen(key);
            gen.skip(36);
            stream.resize(4096);
            gen.generate(stream.data(), 4096);
            cachedPage = page;
        }
        data[i] ^= stream[static_cast<std::size_t>(o % 4096)];
    }
    return data;
}

TEST(Scrambler, KnownKeystreamFromAnIndependentImplementation) {
    // Keystream bytes (scrambling of zero bytes) computed by a separate
    // implementation of the page scheme.
    struct Case {
        std::string password;
        std::int64_t offset;
        const char* keystream;
    } cases[] = {
        {"583027", 4, "7aa902dd0518245c98a56a248f2020ba"},
        {"583027", 4090, "95c733c21a93d8179c1d5d38"},           // crosses into page 1
        {bytesFromHex("bcc7d5cb"), 40000, "f7263637360fce0a"},  // GBK "记账"
    };
    for (const auto& c : cases) {
        const std::size_t n = std::string_view(c.keystream).size() / 2;
        std::vector<std::uint8_t> buf(n, 0);
        Scrambler s(c.password);
        s.apply(c.offset, buf.data(), n);
        EXPECT_EQ(hex(buf.data(), n), c.keystream) << "offset " << c.offset;
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ(buf[i], naiveKeystreamByte(c.password, c.offset + std::int64_t(i)));
    }
}

TEST(Scrambler, EmptyPasswordChangesNothing) {
    Scrambler s("");
    EXPECT_FALSE(s.active());
    std::vector<std::uint8_t> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 7);
    auto before = data;
    s.apply(0, data.data(), data.size());
    s.apply(4093, data.data(), data.size());
    EXPECT_EQ(data, before);
}

TEST(Scrambler, MagicBytesAreNeverChanged) {
    Scrambler s("583027");
    EXPECT_TRUE(s.active());
    std::vector<std::uint8_t> data{'W', 'C', 'D', 'B', 0, 0, 0, 0};
    s.apply(0, data.data(), data.size());
    EXPECT_EQ(data[0], 'W');
    EXPECT_EQ(data[3], 'B');
    EXPECT_EQ(data, naiveApply("583027", 0, {'W', 'C', 'D', 'B', 0, 0, 0, 0}));

    // A range that lies wholly before offset 4, also one with a negative start.
    std::vector<std::uint8_t> head{1, 2, 3};
    s.apply(1, head.data(), head.size());
    EXPECT_EQ(head, (std::vector<std::uint8_t>{1, 2, 3}));
    std::vector<std::uint8_t> neg(8, 0);
    s.apply(-2, neg.data(), neg.size());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(neg[i], 0) << i;  // offsets -2 .. 3
    EXPECT_EQ(neg[6], naiveKeystreamByte("583027", 4));
    EXPECT_EQ(neg[7], naiveKeystreamByte("583027", 5));
}

TEST(Scrambler, ApplyingTwiceRestoresTheBytes) {
    Scrambler s("583027");
    std::vector<std::uint8_t> data(20000);
    std::mt19937 rng(1);
    for (auto& b : data) b = std::uint8_t(rng());
    auto original = data;
    s.apply(100, data.data(), data.size());
    EXPECT_NE(data, original);
    Scrambler other("583027");
    other.apply(100, data.data(), data.size());
    EXPECT_EQ(data, original);
}

TEST(Scrambler, FastPathMatchesNaiveComputationOnRandomRanges) {
    std::mt19937_64 rng(20240611);
    for (const std::string& password :
         {std::string("583027"), std::string("a"), std::string(300, 'x')}) {
        Scrambler s(password);  // one instance: its caches see every pattern below
        for (int round = 0; round < 60; ++round) {
            std::int64_t offset;
            switch (round % 4) {
                case 0:
                    offset = std::int64_t(rng() % 16);
                    break;  // near the magic
                case 1:
                    offset = 4096 * std::int64_t(rng() % 20) - 3 + std::int64_t(rng() % 6);
                    break;
                case 2:
                    offset = std::int64_t(rng() % (1 << 20));
                    break;
                default:
                    offset = std::int64_t(200'000'000 + rng() % 5'000'000);
                    break;  // large
            }
            std::size_t n = 1 + rng() % (round % 5 == 0 ? 20000 : 300);
            std::vector<std::uint8_t> data(n);
            for (auto& b : data) b = std::uint8_t(rng());
            auto expected = naiveApply(password, offset, data);
            s.apply(offset, data.data(), data.size());
            ASSERT_EQ(data, expected)
                << "password length " << password.size() << " offset " << offset << " length " << n;
        }
    }
}

TEST(Scrambler, PageVisitsInAnyOrderGiveTheRightStream) {
    // Orders that make the page cache generate its pages in groups of one to
    // four, and that find some of a group's pages cached already.
    const std::int64_t visits[] = {5, 4, 1, 3, 43, 38, 40, 10, 12, 16, 20, 0, 44, 41, 39, 6, 2};
    Scrambler s("583027");
    for (std::int64_t page : visits) {
        const std::int64_t offset = page * 4096 + 1000;
        std::vector<std::uint8_t> data(3000, 0);
        s.apply(offset, data.data(), data.size());
        ASSERT_EQ(data, naiveApply("583027", offset, std::vector<std::uint8_t>(3000, 0)))
            << "page " << page;
    }
}

TEST(Scrambler, SequentialRecordReadsMatchOneBulkApply) {
    // Reading a file record by record (the common pattern) must give the same
    // bytes as one pass over the whole range, also when more pages pass by
    // than the cache holds and when the reader jumps back.
    const std::size_t recordSize = 180, records = 400;
    const std::int64_t start = 116 + 72 * 6;
    std::vector<std::uint8_t> whole(recordSize * records, 0x5a);
    Scrambler bulk("583027");
    bulk.apply(start, whole.data(), whole.size());

    Scrambler piecewise("583027");
    std::vector<std::uint8_t> rec(recordSize);
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (std::size_t r = 0; r < records; ++r) {
            std::fill(rec.begin(), rec.end(), 0x5a);
            piecewise.apply(start + std::int64_t(r * recordSize), rec.data(), recordSize);
            ASSERT_TRUE(std::equal(rec.begin(), rec.end(), whole.begin() + r * recordSize))
                << "pass " << pass << " record " << r;
        }
    }
    // A copy shares the caches and gives the same stream.
    Scrambler copy = piecewise;
    std::fill(rec.begin(), rec.end(), 0x5a);
    copy.apply(start + 7 * recordSize, rec.data(), recordSize);
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), whole.begin() + 7 * recordSize));
}

TEST(Scrambler, WholePagesFromTheirWordsMatchTheLongWay) {
    // What the read-ahead makes on other threads: any one to four pages, in
    // any order, from the page words the scrambler hands out.
    const std::string password = "583027";
    Scrambler s(password);
    EXPECT_TRUE(Scrambler("").pageWords(0, 3).empty());
    EXPECT_TRUE(s.pageWords(5, 4).empty());
    const std::int64_t pages[] = {7, 0, 1234, 3};
    const std::vector<std::uint32_t> words = s.pageWords(0, 1234);
    ASSERT_EQ(words.size(), 1235u);
    const std::vector<std::uint32_t> tail = s.pageWords(1230, 1234);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), words.begin() + 1230));
    for (int n = 1; n <= kMaxPagesAtOnce; ++n) {
        std::vector<std::vector<std::uint8_t>> made(n, std::vector<std::uint8_t>(4096, 0));
        std::uint32_t w[kMaxPagesAtOnce];
        std::uint8_t* out[kMaxPagesAtOnce];
        for (int k = 0; k < n; ++k) {
            w[k] = words[static_cast<std::size_t>(pages[k])];
            out[k] = made[k].data();
        }
        makePageKeystreams(s.digestText(), pages, w, out, n);
        for (int k = 0; k < n; ++k) {
            const std::int64_t at = pages[k] * 4096;
            auto expected = naiveApply(password, at, std::vector<std::uint8_t>(4096, 0));
            // The magic's four bytes have keystream too, which apply() never uses.
            if (at == 0)
                for (int i = 0; i < 4; ++i) expected[i] = naiveKeystreamByte(password, i);
            ASSERT_EQ(made[k], expected) << n << " at once, page " << pages[k];
        }
    }
}

}  // namespace
}  // namespace tables
