#include "values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "gbk.h"

namespace edbtool {
namespace {

using tables::FieldType;
using tables::TableValue;

constexpr tables::TableError kWrongKind = tables::kValueKindMismatch;
// Days from 1 January 1970 back to 30 December 1899, the date-times' day 0.
constexpr std::int64_t kEpochOffset = 25569;

constexpr std::array<std::string_view, 12> kTypeNames = {"byte",   "short",  "int",   "long",
                                                         "float",  "double", "bool",  "datetime",
                                                         "subref", "text",   "bytes", "memo"};

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool isLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly `n` decimal digits at `pos`.
bool digits(std::string_view s, std::size_t pos, std::size_t n, unsigned& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

// A number for a subroutine-reference field: a whole 32-bit value.
bool subRefFrom(double v, std::int32_t& out) {
    if (!(v == std::trunc(v)) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

tables::TableError valueFromJson(const nlohmann::json& j, const tables::FieldDescriptor& field,
                                 TableValue& out) {
    using Json = nlohmann::json;
    switch (j.type()) {
        case Json::value_t::null:
            out = TableValue();
            return tables::kOk;
        case Json::value_t::boolean:
            out = TableValue::boolean(j.get<bool>());
            return tables::kOk;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: {
            const double d = j.get<double>();
            if (field.type == FieldType::DateTime) {
                out = TableValue::dateTime(d);
            } else if (field.type == FieldType::SubRef) {
                std::int32_t ref = 0;
                if (!subRefFrom(d, ref)) return kWrongKind;
                out = TableValue::subRef(ref);
            } else if (j.is_number_unsigned() &&
                       j.get<std::uint64_t>() >
                           static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                // Beyond a long integer: the number itself, which each field
                // type then saturates; its bits as an int64 would be negative.
                out = TableValue::number(d);
            } else if (j.is_number_integer()) {
                out = TableValue::integer(j.get<std::int64_t>());
            } else {
                out = TableValue::number(d);  // fractions and exponents
            }
            return tables::kOk;
        }
        case Json::value_t::string: {
            const auto& s = j.get_ref<const std::string&>();
            if (field.type == FieldType::Bytes) {
                auto raw = hexDecode(s);
                if (!raw) return kWrongKind;
                out = TableValue::bytes(std::move(*raw));
            } else if (field.type == FieldType::DateTime) {
                auto days = parseDateTime(s);
                if (!days) return kWrongKind;
                out = TableValue::dateTime(*days);
            } else {
                auto gbk = convert::utf8ToGbk(s);
                if (!gbk) return kWrongKind;
                out = TableValue::text(std::move(*gbk));
            }
            return tables::kOk;
        }
        default:
            return kWrongKind;
    }
}

}  // namespace

tables::TableError valuesFromJson(std::string_view jsonArray,
                                  const std::vector<tables::FieldDescriptor>& fields,
                                  std::vector<TableValue>& values) {
    const auto j = nlohmann::json::parse(jsonArray, nullptr, false);
    if (j.is_discarded() || !(j.is_array() || j.is_object())) return kWrongKind;
    values.clear();
    if (j.is_object()) {
        // By name, as the table looks names up: letters without regard to
        // case, the first field of the name. Fields not named stay absent.
        for (const auto& [name, value] : j.items()) {
            const auto gbk = convert::utf8ToGbk(name);
            std::size_t i = 0;
            while (gbk && i < fields.size() && fieldNameKey(fields[i].name) != fieldNameKey(*gbk))
                ++i;
            if (!gbk || i == fields.size()) return tables::kNoSuchField;
            if (values.size() <= i) values.resize(i + 1);
            if (const auto code = valueFromJson(value, fields[i], values[i])) return code;
        }
        return tables::kOk;
    }
    // Values beyond the field count are ignored, as the table does.
    const std::size_t n = std::min(j.size(), fields.size());
    values.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (const auto code = valueFromJson(j[i], fields[i], values[i])) return code;
    }
    return tables::kOk;
}

std::optional<double> parseDateTime(std::string_view s) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (s.size() != 10 && s.size() != 19) return std::nullopt;
    if (!digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' ||
        !digits(s, 8, 2, d))
        return std::nullopt;
    if (s.size() == 19 && (s[10] != ' ' || !digits(s, 11, 2, h) || s[13] != ':' ||
                           !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, sec)))
        return std::nullopt;
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 ||
        sec > 59)
        return std::nullopt;
    const auto day = static_cast<double>(daysFromCivil(y, mo, d) + kEpochOffset);
    const double time = (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
    return day < 0 ? day - time : day + time;
}

std::string dateTimeText(double days) {
    if (!std::isfinite(days)) return {};
    double whole = std::trunc(days);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
    if (seconds >= 86400) {
        whole += 1;
        seconds = 0;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(static_cast<std::int64_t>(whole) - kEpochOffset, y, m, d);
    char buf[64];
    if (seconds == 0) {
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    } else {
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y),
                      m, d, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60));
    }
    return buf;
}

std::string hexEncode(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::optional<std::string> hexDecode(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

std::string numberText(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string floatText(float v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string jsonString(std::string_view utf8) {
    return nlohmann::json(std::string(utf8))
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

namespace {

// The number, bool and reference forms shared by JSON and CSV.
std::string scalarText(const TableValue& v, FieldType type) {
    switch (type) {
        case FieldType::Byte:
        case FieldType::Short:
        case FieldType::Integer:
        case FieldType::Long:
            return std::to_string(v.asInteger());
        case FieldType::Float:
            return floatText(static_cast<float>(v.asNumber()));
        case FieldType::Double:
            return numberText(v.asNumber());
        case FieldType::Bool:
            return v.asBool() ? "true" : "false";
        case FieldType::DateTime:
            return numberText(v.asDateTime());
        case FieldType::SubRef:
            return std::to_string(v.asSubRef());
        case FieldType::Bytes:
            return hexEncode(v.asBytes());
        case FieldType::Text:
        case FieldType::Memo:
            return convert::gbkToUtf8(v.asText());
    }
    return {};
}

}  // namespace

std::string jsonValue(const TableValue& v, const tables::FieldDescriptor& field) {
    if (field.type == FieldType::Text || field.type == FieldType::Memo ||
        field.type == FieldType::Bytes)
        return jsonString(scalarText(v, field.type));
    return scalarText(v, field.type);
}

std::string csvValue(const TableValue& v, const tables::FieldDescriptor& field) {
    if (field.type == FieldType::DateTime) return dateTimeText(v.asDateTime());
    const std::string s = scalarText(v, field.type);
    return s == "null" && field.type != FieldType::Text && field.type != FieldType::Memo ? "" : s;
}

std::string csvQuote(std::string_view cell) {
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(cell);
    std::string out = "\"";
    for (const char c : cell) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string fieldNameKey(std::string_view gbk) {
    std::string key(gbk);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;  // lead byte: leave the pair alone
        } else if (c >= 'a' && c <= 'z') {
            key[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

std::string_view typeName(FieldType type) {
    const auto i = static_cast<int>(type);
    return i >= 1 && i <= 12 ? kTypeNames[static_cast<std::size_t>(i - 1)] : "?";
}

std::optional<FieldType> typeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        if (kTypeNames[i] == name) return static_cast<FieldType>(i + 1);
    }
    return std::nullopt;
}

}  // namespace edbtool
