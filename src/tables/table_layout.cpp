#include "table_layout.h"

#include <cmath>
#include <cstring>
#include <limits>

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

}  // namespace layout
}  // namespace tables
