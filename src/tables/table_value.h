// A field value as the table operations take and give it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tables {

// The kinds of value a field holds. Field types byte … double are numbers,
// bool is Bool, date-time is DateTime, subroutine reference is SubRef, text and
// memo text are Text, byte set is Bytes. Absent means "no value given".
enum class ValueKind : std::uint8_t { Absent, Number, Bool, DateTime, Text, Bytes, SubRef };

// A number keeps whether it came as an integer so that 64-bit fields round-trip
// exactly; everything else converts on the way into a field.
class TableValue {
  public:
    TableValue() = default;  // absent

    static TableValue number(double v);
    static TableValue integer(std::int64_t v);
    static TableValue boolean(bool v);
    static TableValue dateTime(double daysSince18991230);
    static TableValue text(std::string gbk);
    static TableValue bytes(std::string raw);
    static TableValue subRef(std::int32_t v);

    ValueKind kind() const { return kind_; }
    bool isAbsent() const { return kind_ == ValueKind::Absent; }
    bool isNumber() const { return kind_ == ValueKind::Number; }
    bool isIntegral() const { return kind_ == ValueKind::Number && integral_; }

    // Readers for one kind. Asking a value for a kind it is not (a table not
    // written by this program) is the fatal run-time error "数据或数组类型不匹配":
    // the installed fatal handler runs and the call does not return normally.
    double asNumber() const;
    std::int64_t asInteger() const;  // numbers only; a double is truncated toward zero
    bool asBool() const;
    double asDateTime() const;
    const std::string& asText() const;   // GBK bytes
    const std::string& asBytes() const;  // raw bytes
    std::int32_t asSubRef() const;

    bool operator==(const TableValue&) const = default;

  private:
    [[noreturn]] static void kindMismatch();
    static std::int64_t truncateToInt64(double v);

    ValueKind kind_ = ValueKind::Absent;
    bool integral_ = false;
    std::int64_t i_ = 0;
    double d_ = 0.0;
    std::string s_;
};

// The factories and readers are inline: a scan makes and reads one value per
// field of every record, and a call each would cost more than the work.

inline TableValue TableValue::number(double v) {
    TableValue t;
    t.kind_ = ValueKind::Number;
    t.d_ = v;
    t.i_ = truncateToInt64(v);
    return t;
}

inline TableValue TableValue::integer(std::int64_t v) {
    TableValue t;
    t.kind_ = ValueKind::Number;
    t.integral_ = true;
    t.i_ = v;
    t.d_ = static_cast<double>(v);
    return t;
}

inline TableValue TableValue::boolean(bool v) {
    TableValue t;
    t.kind_ = ValueKind::Bool;
    t.i_ = v ? 1 : 0;
    return t;
}

inline TableValue TableValue::dateTime(double daysSince18991230) {
    TableValue t;
    t.kind_ = ValueKind::DateTime;
    t.d_ = daysSince18991230;
    return t;
}

inline TableValue TableValue::text(std::string gbk) {
    TableValue t;
    t.kind_ = ValueKind::Text;
    t.s_ = std::move(gbk);
    return t;
}

inline TableValue TableValue::bytes(std::string raw) {
    TableValue t;
    t.kind_ = ValueKind::Bytes;
    t.s_ = std::move(raw);
    return t;
}

inline TableValue TableValue::subRef(std::int32_t v) {
    TableValue t;
    t.kind_ = ValueKind::SubRef;
    t.i_ = v;
    return t;
}

inline double TableValue::asNumber() const {
    if (kind_ != ValueKind::Number) kindMismatch();
    return integral_ ? static_cast<double>(i_) : d_;
}

inline std::int64_t TableValue::asInteger() const {
    if (kind_ != ValueKind::Number) kindMismatch();
    return i_;
}

inline bool TableValue::asBool() const {
    if (kind_ != ValueKind::Bool) kindMismatch();
    return i_ != 0;
}

inline double TableValue::asDateTime() const {
    if (kind_ != ValueKind::DateTime) kindMismatch();
    return d_;
}

inline const std::string& TableValue::asText() const {
    if (kind_ != ValueKind::Text) kindMismatch();
    return s_;
}

inline const std::string& TableValue::asBytes() const {
    if (kind_ != ValueKind::Bytes) kindMismatch();
    return s_;
}

inline std::int32_t TableValue::asSubRef() const {
    if (kind_ != ValueKind::SubRef) kindMismatch();
    return static_cast<std::int32_t>(i_);
}

// Truncation toward zero that stays defined for every double: out-of-range
// values saturate, NaN gives 0.
inline std::int64_t TableValue::truncateToInt64(double v) {
    if (v != v) return 0;
    if (v >= 9223372036854775807.0) return INT64_MAX;
    if (v <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

}  // namespace tables
