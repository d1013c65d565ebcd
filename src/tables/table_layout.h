// Internal: the byte layout of table and memo files, field encoding and the
// naming rules shared by open and createTable.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "table_error.h"
#include "table_file.h"
#include "table_value.h"

namespace tables::layout {

inline constexpr std::int32_t kVersion = 0x00010000;
inline constexpr std::int64_t kHeaderSize = 112;
inline constexpr std::int64_t kFieldCountOffset = 112;
inline constexpr std::int64_t kDescriptorsOffset = 116;
inline constexpr std::int64_t kDescriptorSize = 72;
inline constexpr std::int64_t kRecordCountOffset = 16;
inline constexpr std::int64_t kNextIdOffset = 20;
inline constexpr std::int64_t kRecordSizeOffset = 24;
inline constexpr std::int64_t kDigestOffset = 28;
inline constexpr std::int64_t kVersionOffset = 4;
inline constexpr std::size_t kNameBytes = 17;
inline constexpr std::int64_t kWholeRange = 0x7FFFFFFF;

inline constexpr std::int64_t kBlockSize = 512;
inline constexpr std::int64_t kBlockData = 500;
inline constexpr std::int64_t kMemoHeaderSize = 32;
inline constexpr std::int64_t kMemoBlockCountOffset = 16;

inline constexpr char kMagicPlain[4] = {'W', 'E', 'D', 'B'};
inline constexpr char kMagicProtected[4] = {'W', 'C', 'D', 'B'};
inline constexpr char kMagicMemo[4] = {'W', 'E', 'D', 'T'};

inline constexpr double kDateMin = -657434.0;  // 1 January 100
inline constexpr double kDateMax = 2958465.0;  // 31 December 9999

inline std::int32_t getI32(const std::uint8_t* p) {
    std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                      std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

inline void putI32(std::uint8_t* p, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline std::int64_t getI64(const std::uint8_t* p) {
    std::uint64_t lo = static_cast<std::uint32_t>(getI32(p));
    std::uint64_t hi = static_cast<std::uint32_t>(getI32(p + 4));
    return static_cast<std::int64_t>(lo | hi << 32);
}

inline void putI64(std::uint8_t* p, std::int64_t value) {
    auto v = static_cast<std::uint64_t>(value);
    putI32(p, static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    putI32(p + 4, static_cast<std::int32_t>(static_cast<std::uint32_t>(v >> 32)));
}

inline bool validType(std::int32_t code) { return code >= 1 && code <= 12; }

inline bool isMemoType(FieldType t) { return t == FieldType::Bytes || t == FieldType::Memo; }

// The file name after the default-extension rule: no "." in the last path
// component gives ".EDB", a trailing "." gives "EDB" after it.
std::string withDefaultExtension(std::string_view name);

// `path` with the extension of its last component replaced by `ext`.
std::string replaceExtension(std::string_view path, std::string_view ext);

// Field names compare without regard to ASCII letter case, but only on
// single-byte characters: both bytes of a GBK double-byte character compare
// exactly (a trail byte may look like a letter).
bool sameFieldName(std::string_view a, std::string_view b);

// Whether `name` is acceptable for a new field: 1 to 16 bytes, starting with
// a letter or a double-byte character, continuing with letters, digits or
// double-byte characters.
bool validNewFieldName(std::string_view name);

// The value a field's bytes hold (text: up to the first NUL; date-time
// clamped). Memo-kind fields are not handled here.
TableValue decodeField(const FieldDescriptor& f, const std::uint8_t* p);

// The empty value of a field's kind.
TableValue emptyValue(const FieldDescriptor& f);

// Whether `v` may be stored in field `f` (same kind, or both numbers).
bool acceptsValue(const FieldDescriptor& f, const TableValue& v);

// Puts a value of an accepted kind into the field's bytes (not memo kinds).
void encodeField(const FieldDescriptor& f, const TableValue& v, std::uint8_t* p);

}  // namespace tables::layout
