// The platform's code page 936 converter, as used by gbk.cpp. Each platform
// provides these in its own file (gbk_posix.cpp, gbk_win.cpp).
#pragma once

#include <string>
#include <string_view>

namespace convert::detail {

// Appends the UTF-8 form of `gbk` to `out`. The caller passes whole
// characters only (single bytes below 0x81, or a lead byte with a trail byte
// in the GBK trail range). False when some character has no Unicode
// counterpart; `out` may then hold a partial result.
bool gbkRunToUtf8(std::string_view gbk, std::string& out);

// Appends the GBK form of `utf8` to `out`. The caller passes valid UTF-8
// only. False when some character has no GBK form (no best-fit stand-ins);
// `out` may then hold a partial result.
bool utf8RunToGbk(std::string_view utf8, std::string& out);

}  // namespace convert::detail
