// Code page 936 through the Windows converter, by way of UTF-16.
#include <windows.h>

#include <climits>

#include "gbk_platform.h"

namespace convert::detail {
namespace {

constexpr UINT kGbk = 936;

bool toWide(UINT codePage, std::string_view in, std::wstring& wide) {
    if (in.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int inLen = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, wide.data(), n) ==
           n;
}

}  // namespace

bool gbkRunToUtf8(std::string_view gbk, std::string& out) {
    if (gbk.empty()) return true;
    std::wstring wide;
    if (!toWide(kGbk, gbk, wide)) return false;
    const int wideLen = static_cast<int>(wide.size());
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(n));
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, out.data() + start, n, nullptr,
                               nullptr) == n;
}

bool utf8RunToGbk(std::string_view utf8, std::string& out) {
    if (utf8.empty()) return true;
    std::wstring wide;
    if (!toWide(CP_UTF8, utf8, wide)) return false;
    const int wideLen = static_cast<int>(wide.size());
    // Without WC_NO_BEST_FIT_CHARS Windows would store look-alikes (A for
    // A-breve); with it an unmappable character becomes the default
    // character, which the flag below reports.
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), wideLen, nullptr, 0,
                                      nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(n));
    const int written = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), wideLen,
                                            out.data() + start, n, nullptr, &usedDefault);
    return written == n && !usedDefault;
}

}  // namespace convert::detail
