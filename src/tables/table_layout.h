// Internal: the byte layout of table and memo files, field encoding and the
// naming rules shared by open and createTable.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "table_error.h"
#include "table_file.h"
#include "table_value.h"

namespace tables {
class File;
class FileSystem;
class Scrambler;
}  // namespace tables

namespace tables::layout {

// ---- table file --------------------------------------------------------------

inline constexpr std::int32_t kVersion = 0x00010000;

// Header, 112 bytes.
inline constexpr std::int64_t kHeaderSize = 112;
inline constexpr std::int64_t kMagicOffset = 0;  // 4 bytes, never scrambled
inline constexpr std::int64_t kVersionOffset = 4;
inline constexpr std::int64_t kRecordCountOffset = 16;
inline constexpr std::int64_t kNextIdOffset = 20;
inline constexpr std::int64_t kRecordSizeOffset = 24;
inline constexpr std::int64_t kDigestOffset = 28;  // 32 hex digits and a NUL
inline constexpr std::size_t kDigestSize = 32;

// Field count word, then the descriptors of 72 bytes each.
inline constexpr std::int64_t kFieldCountOffset = 112;
inline constexpr std::int64_t kDescriptorsOffset = 116;
inline constexpr std::int64_t kDescriptorSize = 72;
inline constexpr std::size_t kNameBytes = 17;  // inside a descriptor, NUL included
inline constexpr std::int64_t kDescTypeOffset = 20;
inline constexpr std::int64_t kDescOffsetOffset = 24;
inline constexpr std::int64_t kDescWidthOffset = 28;

// Bytes 0..3 of a record slot hold its id; fields start after it.
inline constexpr std::int32_t kRecordIdSize = 4;

// Bounds no sound file exceeds. Every allocation sized by a header word is
// checked against these (or against the file's length) before it is made.
inline constexpr std::int32_t kMaxRecordSize = 16 << 20;
inline constexpr std::int32_t kMaxTextWidth = 16 << 20;

// The lock range that covers a whole file.
inline constexpr std::int64_t kWholeRange = 0x7FFFFFFF;

// ---- memo file ---------------------------------------------------------------

inline constexpr std::int64_t kBlockSize = 512;
inline constexpr std::int64_t kBlockData = 500;
inline constexpr std::int64_t kMemoHeaderSize = 32;
inline constexpr std::int64_t kMemoVersionOffset = 4;
inline constexpr std::int64_t kMemoBlockCountOffset = 16;
inline constexpr std::int64_t kMemoFreeCountOffset = 20;
inline constexpr std::int64_t kMemoFirstFreeOffset = 24;
// Inside a block: previous and next block of the chain, bytes used, data.
inline constexpr std::int64_t kBlockPrevOffset = 0;
inline constexpr std::int64_t kBlockNextOffset = 4;
inline constexpr std::int64_t kBlockUsedOffset = 8;
inline constexpr std::int64_t kBlockDataOffset = 12;

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

// ---- reading and checking the structure --------------------------------------
//
// open(), the check and edbtool's readers take a file's header, descriptors
// and memo header apart with these, so that all of them accept and refuse the
// same files with the same codes.

// The header's words, as stored (bytes from offset 4 unscrambled).
struct TableHeader {
    char magic[4] = {};
    std::int32_t version = 0;
    std::int32_t recordCount = 0;
    std::int32_t nextId = 0;
    std::int32_t recordSize = 0;
    char digest[kDigestSize] = {};

    bool isPlain() const { return std::memcmp(magic, kMagicPlain, 4) == 0; }
    bool isProtected() const { return std::memcmp(magic, kMagicProtected, 4) == 0; }
};
TableHeader parseTableHeader(const std::uint8_t* bytes);  // kHeaderSize bytes

// One descriptor as stored; `hasNul` tells whether the name ends within its
// 17 bytes (the name is cut there, or holds all 17 bytes when not).
struct RawDescriptor {
    std::string name;
    bool hasNul = false;
    std::int32_t type = 0;
    std::int32_t offset = 0;
    std::int32_t width = 0;
};
RawDescriptor parseDescriptor(const std::uint8_t* bytes);  // kDescriptorSize bytes

// The memo header's words, as stored.
struct MemoHeaderWords {
    char magic[4] = {};
    std::int32_t version = 0;
    std::int32_t blockCount = 0;
    std::int32_t freeCount = 0;
    std::int32_t firstFree = 0;
};
MemoHeaderWords parseMemoHeader(const std::uint8_t* bytes);  // kMemoHeaderSize bytes

// What the rules refuse: the code open() fails with and a description
// (UTF-8) for the check's report.
struct Fault {
    TableError code;
    std::string text;
};

// Where the rules put what they refuse. open() stops at the first fault; the
// check keeps every one and goes on where the structure still allows it.
class Faults {
  public:
    explicit Faults(bool keepAll) : keepAll_(keepAll) {}
    void add(TableError code, std::string text) {
        if (keepAll_ || list_.empty()) list_.push_back({code, std::move(text)});
    }
    // Whether the reader must stop here: a fault was found and only the
    // first one is wanted.
    bool stop() const { return !keepAll_ && !list_.empty(); }
    bool empty() const { return list_.empty(); }
    TableError firstCode() const { return list_.empty() ? kOk : list_.front().code; }
    const std::vector<Fault>& list() const { return list_; }

  private:
    bool keepAll_;
    std::vector<Fault> list_;
};

// A table file's structure as read and checked.
struct TableStructure {
    TableHeader header;
    std::int32_t fieldCount = 0;
    std::vector<FieldDescriptor> fields;  // every descriptor, in field order
    std::vector<bool> usable;             // per field: passed every rule
    std::int64_t dataStart = 0;
    std::int64_t fileLength = 0;
    bool hasMemo = false;  // some usable field is a memo or byte-set field
};

// Reads a table file's header and field descriptors through `scrambler` and
// checks them in open()'s order: header length and magic, password, record
// size (4 to kMaxRecordSize), record count, next id, version, field count
// (above 0, descriptors inside the file, at most one field per record byte
// after the id), then each descriptor (NUL in the name, type, width, offset
// from 4, inside the record) and that no two fields share a byte.
// Returns kOk when the descriptors could be read (`faults` may still hold
// refusals when it keeps all); otherwise the code that ended the reading: the
// first fault's, kWrongPassword (not a fault: the file may be sound), or the
// operating system's code of a failed read. Allocates nothing beyond the
// file's own length.
[[nodiscard]] TableError readTableStructure(File& file, Scrambler& scrambler,
                                            std::string_view password, Faults& faults,
                                            TableStructure& out);

// The table file's length against its record count: fewer whole slots than
// counted is refused with kTableSizeWrong (a writable open lowers the count
// instead).
void checkTableLength(const TableStructure& s, Faults& faults);

// Reads the memo header (kMemoOpenFailed when short, of another magic, or
// with a block count below 1 or a free count or first free block outside 0
// to block count - 1; kMemoVersionMismatch when its version is not the
// table's). Returns kOk or the code that ended the reading.
[[nodiscard]] TableError readMemoHeader(File& file, Scrambler& scrambler, std::int32_t tableVersion,
                                        Faults& faults, MemoHeaderWords& out);

// The memo file's length against its block count: fewer whole blocks than
// counted is refused with kNotAMemoFile (a writable open lowers the count
// instead). Surplus blocks are allowed.
void checkMemoLength(std::int64_t length, const MemoHeaderWords& h, Faults& faults);

// The path of the table file `name` stands for (default extension, absolute,
// the existing spelling of its last component) and of its memo file.
std::string tableFilePath(FileSystem& fs, std::string_view name);
std::string memoFilePath(FileSystem& fs, std::string_view tablePath);

}  // namespace tables::layout
