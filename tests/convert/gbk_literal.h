// GBK bytes for a UTF-8 literal, so that tests can be written readably.
#pragma once

#include <string>
#include <string_view>

#include "gbk.h"

inline std::string gbk(std::string_view utf8) { return convert::utf8ToGbk(utf8).value(); }
