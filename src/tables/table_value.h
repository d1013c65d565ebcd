// A field value as the table operations take and give it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
    ValueKind kind_ = ValueKind::Absent;
    bool integral_ = false;
    std::int64_t i_ = 0;
    double d_ = 0.0;
    std::string s_;
};

}  // namespace tables
