#include "table_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "file_io.h"
#include "gbk.h"
#include "scramble.h"

namespace tables {

std::int32_t fieldSize(const FieldDescriptor& field) {
    switch (field.type) {
        case FieldType::Byte:
            return 1;
        case FieldType::Short:
            return 2;
        case FieldType::Integer:
            return 4;
        case FieldType::Long:
            return 8;
        case FieldType::Float:
            return 4;
        case FieldType::Double:
            return 8;
        case FieldType::Bool:
            return 1;
        case FieldType::DateTime:
            return 8;
        case FieldType::SubRef:
            return 4;
        case FieldType::Text:
            return field.width;
        case FieldType::Bytes:
            return 4;
        case FieldType::Memo:
            return 4;
    }
    return 0;
}

ValueKind kindOf(FieldType type) {
    switch (type) {
        case FieldType::Byte:
        case FieldType::Short:
        case FieldType::Integer:
        case FieldType::Long:
        case FieldType::Float:
        case FieldType::Double:
            return ValueKind::Number;
        case FieldType::Bool:
            return ValueKind::Bool;
        case FieldType::DateTime:
            return ValueKind::DateTime;
        case FieldType::SubRef:
            return ValueKind::SubRef;
        case FieldType::Text:
        case FieldType::Memo:
            return ValueKind::Text;
        case FieldType::Bytes:
            return ValueKind::Bytes;
    }
    return ValueKind::Absent;
}

namespace layout {

namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

std::size_t lastComponentStart(std::string_view path) {
    std::size_t i = path.size();
    while (i > 0 && !isSeparator(path[i - 1])) --i;
    return i;
}

inline bool isLead(std::uint8_t c) { return c >= 0x81 && c <= 0xFE; }
inline bool isAsciiLetter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline std::uint8_t foldAscii(std::uint8_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

template <typename Int>
Int saturate(std::int64_t v) {
    if (v < static_cast<std::int64_t>(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    if (v > static_cast<std::int64_t>(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(v);
}

// A stored double in any form (NaN included) as a date inside the range.
double clampDate(double d) {
    if (std::isnan(d)) return 0.0;
    if (d < kDateMin) return kDateMin;
    if (d > kDateMax) return kDateMax;
    return d;
}

float toFloat(double d) {
    if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
    if (d > static_cast<double>(std::numeric_limits<float>::max())) {
        return d == std::numeric_limits<double>::infinity() ||
                       d >= 3.4028235677973366e38  // rounds past FLT_MAX
                   ? std::numeric_limits<float>::infinity()
                   : std::numeric_limits<float>::max();
    }
    if (d < -static_cast<double>(std::numeric_limits<float>::max())) {
        return d == -std::numeric_limits<double>::infinity() || d <= -3.4028235677973366e38
                   ? -std::numeric_limits<float>::infinity()
                   : -std::numeric_limits<float>::max();
    }
    return static_cast<float>(d);
}

}  // namespace

std::string withDefaultExtension(std::string_view name) {
    std::string out(name);
    std::size_t start = lastComponentStart(name);
    std::string_view last = name.substr(start);
    if (last.find('.') == std::string_view::npos) {
        out += ".EDB";
    } else if (!last.empty() && last.back() == '.') {
        out += "EDB";
    }
    return out;
}

std::string replaceExtension(std::string_view path, std::string_view ext) {
    std::size_t start = lastComponentStart(path);
    std::size_t dot = path.rfind('.');
    std::string out;
    if (dot == std::string_view::npos || dot < start) {
        out.assign(path);
        out += '.';
    } else {
        out.assign(path.substr(0, dot + 1));
    }
    out += ext;
    return out;
}

bool sameFieldName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    while (i < a.size()) {
        auto ca = static_cast<std::uint8_t>(a[i]);
        auto cb = static_cast<std::uint8_t>(b[i]);
        if (isLead(ca) && i + 1 < a.size()) {
            if (ca != cb || a[i + 1] != b[i + 1]) return false;
            i += 2;
            continue;
        }
        if (foldAscii(ca) != foldAscii(cb)) return false;
        ++i;
    }
    return true;
}

bool validNewFieldName(std::string_view name) {
    if (name.empty() || name.size() > kNameBytes - 1) return false;
    std::size_t i = 0;
    bool first = true;
    while (i < name.size()) {
        auto c = static_cast<std::uint8_t>(name[i]);
        if (isLead(c)) {
            if (i + 1 >= name.size()) return false;
            auto t = static_cast<std::uint8_t>(name[i + 1]);
            if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
            i += 2;
        } else if (isAsciiLetter(c) || (!first && c >= '0' && c <= '9')) {
            ++i;
        } else {
            return false;
        }
        first = false;
    }
    return true;
}

TableValue decodeField(const FieldDescriptor& f, const std::uint8_t* p) {
    switch (f.type) {
        case FieldType::Byte:
            return TableValue::integer(p[0]);
        case FieldType::Short: {
            auto v = static_cast<std::int16_t>(std::uint16_t(p[0]) | std::uint16_t(p[1]) << 8);
            return TableValue::integer(v);
        }
        case FieldType::Integer:
            return TableValue::integer(getI32(p));
        case FieldType::Long:
            return TableValue::integer(getI64(p));
        case FieldType::Float: {
            float v;
            std::memcpy(&v, p, 4);
            return TableValue::number(static_cast<double>(v));
        }
        case FieldType::Double: {
            double v;
            std::memcpy(&v, p, 8);
            return TableValue::number(v);
        }
        case FieldType::Bool:
            return TableValue::boolean(p[0] != 0);
        case FieldType::DateTime: {
            double v;
            std::memcpy(&v, p, 8);
            return TableValue::dateTime(clampDate(v));
        }
        case FieldType::SubRef:
            return TableValue::subRef(getI32(p));
        case FieldType::Text: {
            auto width = static_cast<std::size_t>(f.width);
            const void* nul = std::memchr(p, 0, width);
            std::size_t len =
                nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p) : width;
            return TableValue::text(std::string(reinterpret_cast<const char*>(p), len));
        }
        case FieldType::Bytes:
        case FieldType::Memo:
            break;
    }
    return emptyValue(f);
}

TableValue emptyValue(const FieldDescriptor& f) {
    switch (f.type) {
        case FieldType::Byte:
        case FieldType::Short:
        case FieldType::Integer:
        case FieldType::Long:
            return TableValue::integer(0);
        case FieldType::Float:
        case FieldType::Double:
            return TableValue::number(0.0);
        case FieldType::Bool:
            return TableValue::boolean(false);
        case FieldType::DateTime:
            return TableValue::dateTime(0.0);
        case FieldType::SubRef:
            return TableValue::subRef(0);
        case FieldType::Text:
        case FieldType::Memo:
            return TableValue::text({});
        case FieldType::Bytes:
            return TableValue::bytes({});
    }
    return {};
}

bool acceptsValue(const FieldDescriptor& f, const TableValue& v) {
    return v.isAbsent() || v.kind() == kindOf(f.type);
}

void encodeField(const FieldDescriptor& f, const TableValue& v, std::uint8_t* p) {
    // Numbers convert to the field's number type; integers keep their exact
    // 64-bit value and saturate into narrower types, doubles truncate.
    auto asInt = [&] { return v.asInteger(); };
    switch (f.type) {
        case FieldType::Byte:
            p[0] = saturate<std::uint8_t>(asInt());
            break;
        case FieldType::Short: {
            auto s = static_cast<std::uint16_t>(saturate<std::int16_t>(asInt()));
            p[0] = std::uint8_t(s);
            p[1] = std::uint8_t(s >> 8);
            break;
        }
        case FieldType::Integer:
            putI32(p, saturate<std::int32_t>(asInt()));
            break;
        case FieldType::Long:
            putI64(p, asInt());
            break;
        case FieldType::Float: {
            float x = toFloat(v.asNumber());
            std::memcpy(p, &x, 4);
            break;
        }
        case FieldType::Double: {
            double x = v.asNumber();
            std::memcpy(p, &x, 8);
            break;
        }
        case FieldType::Bool:
            p[0] = v.asBool() ? 1 : 0;
            break;
        case FieldType::DateTime: {
            double x = v.asDateTime();
            std::memcpy(p, &x, 8);
            break;
        }
        case FieldType::SubRef:
            putI32(p, v.asSubRef());
            break;
        case FieldType::Text: {
            const std::string& s = v.asText();
            auto width = static_cast<std::size_t>(f.width);
            if (s.size() + 1 <= width) {
                std::memcpy(p, s.data(), s.size());
                p[s.size()] = 0;  // bytes after the NUL stay as they were
            } else {
                std::memcpy(p, s.data(), width);
            }
            break;
        }
        case FieldType::Bytes:
        case FieldType::Memo:
            break;
    }
}

// ---- reading and checking the structure --------------------------------------

namespace {

std::string number(std::int64_t v) { return std::to_string(v); }

std::string fieldLabel(std::size_t index, std::string_view gbkName) {
    return "field " + number(std::int64_t(index) + 1) + " \"" + convert::gbkToUtf8(gbkName) + "\"";
}

// Whether the stored digest text equals the password's, letter case aside.
bool sameDigest(const char* stored, const std::string& digest) {
    for (std::size_t i = 0; i < digest.size(); ++i) {
        auto a = static_cast<std::uint8_t>(stored[i]), b = static_cast<std::uint8_t>(digest[i]);
        if (a >= 'A' && a <= 'Z') a = std::uint8_t(a + 32);
        if (b >= 'A' && b <= 'Z') b = std::uint8_t(b + 32);
        if (a != b) return false;
    }
    return true;
}

// Reads exactly n bytes and unscrambles them: the count read or a negative code.
std::int64_t readPlain(File& file, Scrambler& scrambler, std::int64_t offset, void* buf,
                       std::size_t n) {
    const std::int64_t got = file.readAt(offset, buf, n);
    if (got > 0)
        scrambler.apply(offset, static_cast<std::uint8_t*>(buf), static_cast<std::size_t>(got));
    return got;
}

// The descriptor rules that concern one field alone; true when it passes.
bool checkDescriptor(std::size_t index, const RawDescriptor& d, std::int32_t recordSize,
                     Faults& faults) {
    // Named only when refused: every open passes through here.
    auto label = [&] { return fieldLabel(index, d.name); };
    if (!d.hasNul) {
        faults.add(kNotATable, label() + ": the name has no NUL within 17 bytes");
        return false;
    }
    if (!validType(d.type)) {
        faults.add(kNotATable, label() + ": unknown type " + number(d.type));
        return false;
    }
    const bool text = d.type == static_cast<std::int32_t>(FieldType::Text);
    if (text && (d.width < 1 || d.width > kMaxTextWidth)) {
        faults.add(kNotATable, label() + ": text width " + number(d.width) + " is outside 1 to " +
                                   number(kMaxTextWidth));
        return false;
    }
    if (d.offset < kRecordIdSize) {
        faults.add(kNotATable,
                   label() + ": offset " + number(d.offset) + " lies inside the record id");
        return false;
    }
    FieldDescriptor f;
    f.type = static_cast<FieldType>(d.type);
    f.width = text ? d.width : 0;
    const std::int64_t end = std::int64_t(d.offset) + fieldSize(f);
    if (end > recordSize) {
        faults.add(kNotATable, label() + ": bytes " + number(d.offset) + " to " + number(end - 1) +
                                   " reach past the record size " + number(recordSize));
        return false;
    }
    return true;
}

// No byte of a record belongs to two fields: writing one would change the other.
void checkOverlaps(TableStructure& s, Faults& faults) {
    std::vector<std::size_t> order;
    order.reserve(s.fields.size());
    for (std::size_t i = 0; i < s.fields.size(); ++i)
        if (s.usable[i]) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return s.fields[a].offset != s.fields[b].offset ? s.fields[a].offset < s.fields[b].offset
                                                        : a < b;
    });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const FieldDescriptor& before = s.fields[order[k - 1]];
        if (std::int64_t(before.offset) + fieldSize(before) <= s.fields[order[k]].offset) continue;
        faults.add(kNotATable, fieldLabel(order[k], s.fields[order[k]].name) + " overlaps " +
                                   fieldLabel(order[k - 1], before.name));
        if (faults.stop()) return;
    }
}

}  // namespace

TableHeader parseTableHeader(const std::uint8_t* bytes) {
    TableHeader h;
    std::memcpy(h.magic, bytes + kMagicOffset, 4);
    h.version = getI32(bytes + kVersionOffset);
    h.recordCount = getI32(bytes + kRecordCountOffset);
    h.nextId = getI32(bytes + kNextIdOffset);
    h.recordSize = getI32(bytes + kRecordSizeOffset);
    std::memcpy(h.digest, bytes + kDigestOffset, kDigestSize);
    return h;
}

RawDescriptor parseDescriptor(const std::uint8_t* bytes) {
    RawDescriptor d;
    const void* nul = std::memchr(bytes, 0, kNameBytes);
    d.hasNul = nul != nullptr;
    const std::size_t length =
        nul ? std::size_t(static_cast<const std::uint8_t*>(nul) - bytes) : kNameBytes;
    d.name.assign(reinterpret_cast<const char*>(bytes), length);
    d.type = getI32(bytes + kDescTypeOffset);
    d.offset = getI32(bytes + kDescOffsetOffset);
    d.width = getI32(bytes + kDescWidthOffset);
    return d;
}

MemoHeaderWords parseMemoHeader(const std::uint8_t* bytes) {
    MemoHeaderWords h;
    std::memcpy(h.magic, bytes, 4);
    h.version = getI32(bytes + kMemoVersionOffset);
    h.blockCount = getI32(bytes + kMemoBlockCountOffset);
    h.freeCount = getI32(bytes + kMemoFreeCountOffset);
    h.firstFree = getI32(bytes + kMemoFirstFreeOffset);
    return h;
}

TableError readTableStructure(File& file, Scrambler& scrambler, std::string_view password,
                              Faults& faults, TableStructure& out) {
    auto refuse = [&](TableError code, std::string text) {
        faults.add(code, std::move(text));
        return faults.firstCode();
    };

    // Header, magic, password.
    std::uint8_t header[kHeaderSize];
    const std::int64_t got = readPlain(file, scrambler, 0, header, sizeof header);
    if (got < 0) return static_cast<TableError>(got);
    if (got != kHeaderSize)
        return refuse(kNotATable, "the file is shorter than the 112-byte header");
    TableHeader& h = out.header;
    h = parseTableHeader(header);
    if (h.isPlain()) {
        if (!password.empty()) return kWrongPassword;
    } else if (h.isProtected()) {
        if (password.empty() || !sameDigest(h.digest, passwordDigestText(password)))
            return kWrongPassword;
    } else {
        return refuse(kNotATable, "the magic is neither WEDB nor WCDB");
    }

    // Sizes, then the version.
    const bool sizeOk = h.recordSize >= kRecordIdSize && h.recordSize <= kMaxRecordSize;
    if (!sizeOk)
        faults.add(kNotATable, "the record size " + number(h.recordSize) + " is outside " +
                                   number(kRecordIdSize) + " to " + number(kMaxRecordSize));
    if (faults.stop()) return faults.firstCode();
    if (h.recordCount < 0)
        faults.add(kNotATable, "the record count " + number(h.recordCount) + " is negative");
    if (faults.stop()) return faults.firstCode();
    if (h.nextId < 1)
        faults.add(kNotATable, "the next record id " + number(h.nextId) + " is below 1");
    if (faults.stop()) return faults.firstCode();
    if (h.version > kVersion)
        faults.add(kVersionTooNew, "version " + number(h.version) + " is above 0x10000");
    if (faults.stop()) return faults.firstCode();
    // Without a record size nothing after the header can be placed.
    if (!sizeOk) return kNotATable;

    // Field count: its descriptors must lie inside the file, and each field
    // takes at least one record byte after the id.
    std::uint8_t word[4];
    const std::int64_t gotCount = readPlain(file, scrambler, kFieldCountOffset, word, 4);
    if (gotCount < 0) return static_cast<TableError>(gotCount);
    if (gotCount != 4) return refuse(kNotATable, "the file ends before the field count");
    out.fieldCount = getI32(word);
    if (out.fieldCount <= 0)
        return refuse(kNotATable, "the field count " + number(out.fieldCount) + " is not positive");
    out.fileLength = file.size();
    if (out.fileLength < 0) return static_cast<TableError>(out.fileLength);
    const std::int64_t descriptorBytes = std::int64_t(out.fieldCount) * kDescriptorSize;
    if (out.fileLength < kDescriptorsOffset + descriptorBytes)
        return refuse(kNotATable,
                      "the file ends inside the " + number(out.fieldCount) + " field descriptors");
    if (out.fieldCount > h.recordSize - kRecordIdSize)
        return refuse(kNotATable, "the field count " + number(out.fieldCount) +
                                      " is above the record's " +
                                      number(h.recordSize - kRecordIdSize) + " bytes for fields");
    out.dataStart = kDescriptorsOffset + descriptorBytes;

    // Descriptors, a piece at a time.
    constexpr std::int32_t kPiece = 64;
    std::uint8_t piece[kPiece * kDescriptorSize];
    out.fields.clear();
    out.usable.clear();
    out.fields.reserve(static_cast<std::size_t>(std::min(out.fieldCount, kPiece)));
    out.hasMemo = false;
    for (std::int32_t first = 0; first < out.fieldCount; first += kPiece) {
        const std::int32_t n = std::min(kPiece, out.fieldCount - first);
        const std::int64_t at = kDescriptorsOffset + std::int64_t(first) * kDescriptorSize;
        const std::int64_t bytes = std::int64_t(n) * kDescriptorSize;
        const std::int64_t read =
            readPlain(file, scrambler, at, piece, static_cast<std::size_t>(bytes));
        if (read < 0) return static_cast<TableError>(read);
        if (read != bytes) return refuse(kNotATable, "the field descriptors cannot be read");
        for (std::int32_t i = 0; i < n; ++i) {
            const RawDescriptor d = parseDescriptor(piece + std::int64_t(i) * kDescriptorSize);
            const std::size_t index = out.fields.size();
            const bool ok = checkDescriptor(index, d, h.recordSize, faults);
            if (faults.stop()) return faults.firstCode();
            FieldDescriptor f;
            f.name = d.name;
            f.type = validType(d.type) ? static_cast<FieldType>(d.type) : FieldType::Integer;
            f.offset = d.offset;
            f.width = f.type == FieldType::Text ? d.width : 0;
            out.fields.push_back(std::move(f));
            out.usable.push_back(ok);
            out.hasMemo = out.hasMemo || (ok && isMemoType(out.fields.back().type));
        }
    }
    checkOverlaps(out, faults);
    if (faults.stop()) return faults.firstCode();
    return kOk;
}

void checkTableLength(const TableStructure& s, Faults& faults) {
    const std::int64_t slots = (s.fileLength - s.dataStart) / s.header.recordSize;
    if (slots < s.header.recordCount)
        faults.add(kTableSizeWrong, "the file holds " + number(slots) +
                                        " whole record slots but the header counts " +
                                        number(s.header.recordCount));
}

TableError readMemoHeader(File& file, Scrambler& scrambler, std::int32_t tableVersion,
                          Faults& faults, MemoHeaderWords& out) {
    std::uint8_t raw[kMemoHeaderSize];
    const std::int64_t got = readPlain(file, scrambler, 0, raw, sizeof raw);
    if (got != kMemoHeaderSize) {
        faults.add(kMemoOpenFailed, got < 0 ? "the memo header cannot be read"
                                            : "the memo file is shorter than its 32-byte header");
        return faults.firstCode();
    }
    out = parseMemoHeader(raw);
    if (std::memcmp(out.magic, kMagicMemo, 4) != 0) {
        faults.add(kMemoOpenFailed, "the memo file's magic is not WEDT");
        return faults.firstCode();
    }
    if (out.blockCount < 1)
        faults.add(kMemoOpenFailed,
                   "the memo block count " + number(out.blockCount) + " is below 1");
    if (faults.stop()) return faults.firstCode();
    const std::int64_t last = std::max<std::int64_t>(std::int64_t(out.blockCount) - 1, 0);
    if (out.freeCount < 0 || out.freeCount > last)
        faults.add(kMemoOpenFailed, "the free block count " + number(out.freeCount) +
                                        " is outside 0 to the block count - 1");
    if (faults.stop()) return faults.firstCode();
    if (out.firstFree < 0 || out.firstFree > last)
        faults.add(kMemoOpenFailed, "the first free block " + number(out.firstFree) +
                                        " is outside 0 to the block count - 1");
    if (faults.stop()) return faults.firstCode();
    if (out.version != tableVersion)
        faults.add(kMemoVersionMismatch, "the memo file's version " + number(out.version) +
                                             " differs from the table's " + number(tableVersion));
    return faults.stop() ? faults.firstCode() : kOk;
}

void checkMemoLength(std::int64_t length, const MemoHeaderWords& h, Faults& faults) {
    const std::int64_t blocks = length / kBlockSize;
    if (h.blockCount >= 1 && blocks < h.blockCount)
        faults.add(kNotAMemoFile, "the memo file holds " + number(blocks) +
                                      " blocks but its header counts " + number(h.blockCount));
}

std::string tableFilePath(FileSystem& fs, std::string_view name) {
    return fs.resolveCase(fs.absolutePath(withDefaultExtension(name)));
}

std::string memoFilePath(FileSystem& fs, std::string_view tablePath) {
    return fs.resolveCase(replaceExtension(tablePath, "EDT"));
}

}  // namespace layout
}  // namespace tables
