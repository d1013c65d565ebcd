// Field values between the command line (JSON, UTF-8) and the table (GBK).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_file.h"
#include "table_value.h"

namespace edbtool {

// The values of a JSON array, one per field in field order: null is absent, a
// number goes to number, date-time and subroutine-reference fields, true/false
// is a bool, a string is text for text and memo fields, hex for byte sets and
// "YYYY-MM-DD[ HH:MM:SS]" for date-times. A value is given the kind its JSON
// form says, so that the table rejects a wrong kind with -72 itself; a
// string that cannot be what its field needs (a character GBK cannot hold,
// bad hex, a date that does not exist) and text that is not a JSON array fail
// here with -72. Returns the code, 0 on success.
// A JSON object gives values by field name instead ({"客户":"王","金额":5}),
// names found as the table finds them; the fields it does not name are
// absent, and a name the table does not have fails with -61.
tables::TableError valuesFromJson(std::string_view jsonArray,
                                  const std::vector<tables::FieldDescriptor>& fields,
                                  std::vector<tables::TableValue>& values);

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (years 100 to 9999) as days since
// 30 December 1899; before that day the time is counted away from zero, as
// the stored date-times do.
std::optional<double> parseDateTime(std::string_view text);
// The day and time of a stored date-time, to the nearest second:
// "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when there is a time.
std::string dateTimeText(double days);

std::string hexEncode(std::string_view bytes);
std::optional<std::string> hexDecode(std::string_view hex);

// The shortest decimal form that reads back as the same double (float);
// "null" for values JSON cannot hold (NaN, infinities).
std::string numberText(double v);
std::string floatText(float v);

// A value read from `field` as JSON text (strings UTF-8, byte sets hex).
std::string jsonValue(const tables::TableValue& v, const tables::FieldDescriptor& field);
// The same for a CSV cell, unquoted; date-times as dateTimeText.
std::string csvValue(const tables::TableValue& v, const tables::FieldDescriptor& field);
// A CSV cell quoted when it holds a comma, a quote or a line break.
std::string csvQuote(std::string_view cell);
// A JSON string literal.
std::string jsonString(std::string_view utf8);

// A GBK field name with its single-byte letters in capitals, the form in
// which two names that a lookup cannot tell apart are equal. Both bytes of a
// double-byte character stay as they are (a trail byte may look like a letter).
std::string fieldNameKey(std::string_view gbk);

// The type names of the command line, in field-type order.
std::string_view typeName(tables::FieldType type);
std::optional<tables::FieldType> typeFromName(std::string_view name);

}  // namespace edbtool
