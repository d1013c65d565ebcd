// The bridge between GBK bytes (how the program stores, compares and shows
// text) and the UTF-8 / Unicode text of the user interface and the tools.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace convert {

// GBK bytes to UTF-8. Never fails: a double-byte character cut in half at the
// end of the text (a full text field) is dropped, and any other byte sequence
// that is not GBK becomes U+FFFD. The text ends at its first zero byte.
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; nullopt when the text holds a character GBK cannot hold (or
// is not valid UTF-8), so that nothing is stored as something else.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// The first character of `utf8` that GBK cannot hold, as UTF-8, or empty when
// every character converts (for the operator's message). Bytes that are not
// UTF-8 give U+FFFD, so that this is empty exactly when utf8ToGbk succeeds.
std::string firstCharacterNotInGbk(std::string_view utf8);

}  // namespace convert
