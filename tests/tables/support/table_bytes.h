// Test helpers that lay out table and memo files by hand, byte by byte, from
// the format's tables, and a reference unscrambler written straight from the
// published algorithm (RC4 master stream, page words, 40-byte page keys, 36
// discarded bytes). Expected files are built with these, never with the code
// under test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tables::testing {

using Bytes = std::vector<std::uint8_t>;

// GBK spellings of the names the tests use.
namespace gbk {
inline const std::string kDate = "\xC8\xD5\xC6\xDA";      // 日期
inline const std::string kCustomer = "\xBF\xCD\xBB\xA7";  // 客户
inline const std::string kEvent = "\xCA\xC2\xBC\xFE";     // 事件
inline const std::string kAmount = "\xBD\xF0\xB6\xEE";    // 金额
inline const std::string kRemark = "\xB1\xB8\xD7\xA2";    // 备注
inline const std::string kStatus = "\xD7\xB4\xCC\xAC";    // 状态
inline const std::string kZhangSan = "\xD5\xC5\xC8\xFD";  // 张三
}  // namespace gbk

// Little-endian writers into a byte buffer (growing it when needed).
void put32(Bytes& b, std::size_t at, std::int32_t v);
void put64(Bytes& b, std::size_t at, std::int64_t v);
void putDouble(Bytes& b, std::size_t at, double v);
void putFloat(Bytes& b, std::size_t at, float v);
void putText(Bytes& b, std::size_t at, std::string_view s);  // raw bytes, no NUL
std::int32_t get32(const Bytes& b, std::size_t at);

// The reference digest text: MD5 bytes reversed, lowercase hex.
std::string referenceDigest(std::string_view password);
// XORs bytes at file offset `offset` with the reference keystream (offsets
// 0..3 untouched). Its own inverse. Does nothing for an empty password.
void referenceScramble(std::string_view password, std::int64_t offset, std::uint8_t* data,
                       std::size_t n);
Bytes scrambled(Bytes plain, std::string_view password);

struct FieldLayout {
    std::string name;
    std::int32_t type = 3;
    std::int32_t offset = 4;
    std::int32_t width = 0;
};

struct TableShape {
    std::string password;  // empty: "WEDB", else "WCDB" with its digest
    std::int32_t version = 0x00010000;
    std::int32_t recordCount = 0;
    std::int32_t nextId = 1;
    std::int32_t recordSize = 4;
    std::vector<FieldLayout> fields;
};

// Header (112 bytes), field count and descriptors, unscrambled.
Bytes headerBytes(const TableShape& shape);
std::size_t dataStartOf(const TableShape& shape);

// Block 0 of a memo file, unscrambled.
Bytes memoHeaderBlock(std::int32_t blockCount, std::int32_t freeCount, std::int32_t firstFree,
                      std::int32_t version = 0x00010000);
// One chain or free block, unscrambled.
Bytes memoBlock(std::int32_t prev, std::int32_t next, std::string_view data);

Bytes readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const Bytes& bytes);
// The file's bytes unscrambled with `password`.
Bytes readPlain(const std::filesystem::path& p, std::string_view password);
void writePlain(const std::filesystem::path& p, const Bytes& plain, std::string_view password);

Bytes concat(std::initializer_list<Bytes> parts);

}  // namespace tables::testing
