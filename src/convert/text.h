// Text operations on GBK byte strings (code page 936). A byte 0x81 to 0xFE
// followed by another byte is one two-byte character; no operation here ever
// splits one, so a trail byte in the ASCII range ('A', '@', '\\') is never
// taken for that ASCII character. A text ends at its first zero byte, if it
// holds one, as the stored texts do. All operations are total: any input,
// however malformed, gives a result without reading past its end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace convert {

// The text with the full-width forms replaced by ASCII: 0xA3 0xA1 … 0xA3 0xFE
// ("！" … "～", with the digits, letters, "．", "－", "＋") become the byte
// trail − 0x80, the ideographic space a space, "～" (0xA1 0xAB) "~", "☆" and
// "★" "*". Other characters stay. A lead byte left without its trail byte at
// the end is dropped.
std::string foldFullWidth(std::string_view text);

// The 1-based byte position of the first occurrence of `searched` in `text`
// that starts at a character start (letter case counts), or -1. An empty
// `searched` gives 1 in a non-empty text, else -1.
int findText(std::string_view text, std::string_view searched);

// Without the ASCII and ideographic spaces (0xA1 0xA1) at both ends.
std::string trimSpaces(std::string_view text);

// Without any ASCII or ideographic space.
std::string removeSpaces(std::string_view text);

// Byte order as unsigned values, a two-byte character ordered by its lead and
// then its trail byte, a text before every longer text it begins: negative
// when a sorts first, 0 when equal, positive otherwise.
int compareText(std::string_view a, std::string_view b);

// The longest beginning of `text` that fits in `width` bytes and ends at a
// character end, so that a text longer than a field is cut before the
// two-byte character that would not fit whole, never through it. A text that
// fits is returned whole.
std::string fitToWidth(std::string_view text, std::size_t width);

}  // namespace convert
