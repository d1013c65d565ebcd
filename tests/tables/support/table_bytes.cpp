#include "support/table_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include "scramble.h"  // md5 only; it is checked against RFC 1321's vectors elsewhere

namespace tables::testing {

namespace {

// RC4 exactly as published, kept apart from the library's.
struct PlainRc4 {
    std::array<std::uint8_t, 256> s{};
    std::uint8_t i = 0, j = 0;
    explicit PlainRc4(const std::uint8_t* key, std::size_t len) {
        for (int k = 0; k < 256; ++k) s[k] = std::uint8_t(k);
        std::uint8_t jj = 0;
        for (int k = 0; k < 256; ++k) {
            jj = std::uint8_t(jj + s[k] + key[k % len]);
            std::swap(s[k], s[jj]);
        }
    }
    std::uint8_t next() {
        i = std::uint8_t(i + 1);
        j = std::uint8_t(j + s[i]);
        std::swap(s[i], s[j]);
        return s[std::uint8_t(s[i] + s[j])];
    }
};

}  // namespace

void put32(Bytes& b, std::size_t at, std::int32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    auto u = static_cast<std::uint32_t>(v);
    for (int k = 0; k < 4; ++k) b[at + k] = std::uint8_t(u >> (8 * k));
}

void put64(Bytes& b, std::size_t at, std::int64_t v) {
    if (b.size() < at + 8) b.resize(at + 8);
    auto u = static_cast<std::uint64_t>(v);
    for (int k = 0; k < 8; ++k) b[at + k] = std::uint8_t(u >> (8 * k));
}

void putDouble(Bytes& b, std::size_t at, double v) {
    std::int64_t bits;
    std::memcpy(&bits, &v, 8);
    put64(b, at, bits);
}

void putFloat(Bytes& b, std::size_t at, float v) {
    std::int32_t bits;
    std::memcpy(&bits, &v, 4);
    put32(b, at, bits);
}

void putText(Bytes& b, std::size_t at, std::string_view s) {
    if (b.size() < at + s.size()) b.resize(at + s.size());
    std::memcpy(b.data() + at, s.data(), s.size());
}

std::int32_t get32(const Bytes& b, std::size_t at) {
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k) u |= std::uint32_t(b.at(at + k)) << (8 * k);
    return static_cast<std::int32_t>(u);
}

std::string referenceDigest(std::string_view password) {
    auto d = md5(password);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (int k = 15; k >= 0; --k) {
        out += hex[d[k] >> 4];
        out += hex[d[k] & 15];
    }
    return out;
}

namespace {

// The keystream of a password for the file offsets below the pages made so
// far, from the published algorithm. It is made once per password and kept
// for the run: the fault loops unscramble whole files after every step.
std::mutex keystreamMutex;
std::map<std::string, Bytes, std::less<>> keystreams;

void extendKeystream(std::string_view password, Bytes& ks, std::int64_t end) {
    const std::int64_t lastPage = (end - 1) / 4096;
    const auto firstPage = static_cast<std::int64_t>(ks.size() / 4096);
    if (firstPage > lastPage) return;
    const std::string digest = referenceDigest(password);
    Bytes master(static_cast<std::size_t>(4 * (lastPage + 1)));
    PlainRc4 m(reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    for (auto& b : master) b = m.next();
    ks.resize(static_cast<std::size_t>((lastPage + 1) * 4096));
    for (std::int64_t page = firstPage; page <= lastPage; ++page) {
        std::uint32_t w = 0;
        for (int k = 0; k < 4; ++k) w |= std::uint32_t(master[4 * page + k]) << (8 * k);
        std::uint8_t key[40];
        for (int k = 0; k < 4; ++k) key[k] = std::uint8_t(w >> (8 * k));
        std::memcpy(key + 4, digest.data(), 32);
        std::uint32_t x = w ^ static_cast<std::uint32_t>(page);
        for (int k = 0; k < 4; ++k) key[36 + k] = std::uint8_t(x >> (8 * k));
        PlainRc4 g(key, 40);
        for (int k = 0; k < 36; ++k) g.next();
        for (std::int64_t o = page * 4096; o < page * 4096 + 4096; ++o)
            ks[static_cast<std::size_t>(o)] = g.next();
    }
}

}  // namespace

void referenceScramble(std::string_view password, std::int64_t offset, std::uint8_t* data,
                       std::size_t n) {
    if (password.empty() || n == 0) return;
    const std::int64_t end = offset + static_cast<std::int64_t>(n);
    std::lock_guard lock(keystreamMutex);
    auto it = keystreams.find(password);
    if (it == keystreams.end()) it = keystreams.emplace(std::string(password), Bytes()).first;
    Bytes& ks = it->second;
    extendKeystream(password, ks, end);
    for (std::int64_t o = std::max<std::int64_t>(offset, 4); o < end; ++o)
        data[o - offset] ^= ks[static_cast<std::size_t>(o)];
}

Bytes scrambled(Bytes plain, std::string_view password) {
    referenceScramble(password, 0, plain.data(), plain.size());
    return plain;
}

Bytes headerBytes(const TableShape& shape) {
    Bytes b(116 + 72 * shape.fields.size(), 0);
    std::memcpy(b.data(), shape.password.empty() ? "WEDB" : "WCDB", 4);
    put32(b, 4, shape.version);
    put32(b, 16, shape.recordCount);
    put32(b, 20, shape.nextId);
    put32(b, 24, shape.recordSize);
    if (!shape.password.empty())
        putText(b, 28, referenceDigest(shape.password));  // byte 60 stays 0
    put32(b, 112, static_cast<std::int32_t>(shape.fields.size()));
    for (std::size_t i = 0; i < shape.fields.size(); ++i) {
        const std::size_t d = 116 + 72 * i;
        putText(b, d, shape.fields[i].name);
        put32(b, d + 20, shape.fields[i].type);
        put32(b, d + 24, shape.fields[i].offset);
        put32(b, d + 28, shape.fields[i].width);
    }
    return b;
}

std::size_t dataStartOf(const TableShape& shape) { return 116 + 72 * shape.fields.size(); }

Bytes memoHeaderBlock(std::int32_t blockCount, std::int32_t freeCount, std::int32_t firstFree,
                      std::int32_t version) {
    Bytes b(512, 0);
    std::memcpy(b.data(), "WEDT", 4);
    put32(b, 4, version);
    put32(b, 16, blockCount);
    put32(b, 20, freeCount);
    put32(b, 24, firstFree);
    return b;
}

Bytes memoBlock(std::int32_t prev, std::int32_t next, std::string_view data) {
    if (data.size() > 500) throw std::logic_error("memo block data over 500 bytes");
    Bytes b(512, 0);
    put32(b, 0, prev);
    put32(b, 4, next);
    put32(b, 8, static_cast<std::int32_t>(data.size()));
    putText(b, 12, data);
    return b;
}

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    Bytes b(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return b;
}

void writeFile(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

Bytes readPlain(const std::filesystem::path& p, std::string_view password) {
    return scrambled(readFile(p), password);
}

void writePlain(const std::filesystem::path& p, const Bytes& plain, std::string_view password) {
    writeFile(p, scrambled(plain, password));
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace tables::testing
