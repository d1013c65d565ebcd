#include "table_value.h"

#include <cmath>
#include <limits>

#include "table_error.h"

namespace tables {

namespace {

[[noreturn]] void kindMismatch() { fatalError(kKindMismatch); }

// Truncation toward zero that stays defined for every double: out-of-range
// values saturate, NaN gives 0.
std::int64_t truncateToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

}  // namespace

TableValue TableValue::number(double v) {
    TableValue t;
    t.kind_ = ValueKind::Number;
    t.d_ = v;
    t.i_ = truncateToInt64(v);
    return t;
}

TableValue TableValue::integer(std::int64_t v) {
    TableValue t;
    t.kind_ = ValueKind::Number;
    t.integral_ = true;
    t.i_ = v;
    t.d_ = static_cast<double>(v);
    return t;
}

TableValue TableValue::boolean(bool v) {
    TableValue t;
    t.kind_ = ValueKind::Bool;
    t.i_ = v ? 1 : 0;
    return t;
}

TableValue TableValue::dateTime(double daysSince18991230) {
    TableValue t;
    t.kind_ = ValueKind::DateTime;
    t.d_ = daysSince18991230;
    return t;
}

TableValue TableValue::text(std::string gbk) {
    TableValue t;
    t.kind_ = ValueKind::Text;
    t.s_ = std::move(gbk);
    return t;
}

TableValue TableValue::bytes(std::string raw) {
    TableValue t;
    t.kind_ = ValueKind::Bytes;
    t.s_ = std::move(raw);
    return t;
}

TableValue TableValue::subRef(std::int32_t v) {
    TableValue t;
    t.kind_ = ValueKind::SubRef;
    t.i_ = v;
    return t;
}

double TableValue::asNumber() const {
    if (kind_ != ValueKind::Number) kindMismatch();
    return integral_ ? static_cast<double>(i_) : d_;
}

std::int64_t TableValue::asInteger() const {
    if (kind_ != ValueKind::Number) kindMismatch();
    return i_;
}

bool TableValue::asBool() const {
    if (kind_ != ValueKind::Bool) kindMismatch();
    return i_ != 0;
}

double TableValue::asDateTime() const {
    if (kind_ != ValueKind::DateTime) kindMismatch();
    return d_;
}

const std::string& TableValue::asText() const {
    if (kind_ != ValueKind::Text) kindMismatch();
    return s_;
}

const std::string& TableValue::asBytes() const {
    if (kind_ != ValueKind::Bytes) kindMismatch();
    return s_;
}

std::int32_t TableValue::asSubRef() const {
    if (kind_ != ValueKind::SubRef) kindMismatch();
    return static_cast<std::int32_t>(i_);
}

}  // namespace tables
