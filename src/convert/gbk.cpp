// The GBK bridge: the byte structure (which bytes form a character, what is
// cut or broken) is decided here, the same on every platform; the mapping of
// whole characters is left to the platform's converter (gbk_platform.h).
#include "gbk.h"

#include "gbk_platform.h"

namespace convert {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool isTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Length of the valid UTF-8 sequence at the start of `s` (1 to 4), or 0 when
// it is not one: truncated, overlong, a surrogate or beyond U+10FFFF.
std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) return 1;
    std::size_t len;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (s.size() < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (byte(i) & 0x3Fu);
    }
    if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
    if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
    return len;
}

// Converts a run of whole GBK characters; when the run as a whole does not
// convert, each of its characters is tried alone and the ones without a
// Unicode counterpart become U+FFFD.
void flushGbkRun(std::string_view run, std::string& out) {
    const std::size_t start = out.size();
    if (detail::gbkRunToUtf8(run, out)) return;
    out.resize(start);
    std::size_t i = 0;
    while (i < run.size()) {
        const std::size_t len = isLead(static_cast<unsigned char>(run[i])) ? 2 : 1;
        const std::size_t before = out.size();
        if (!detail::gbkRunToUtf8(run.substr(i, len), out)) {
            out.resize(before);
            out += kReplacement;
        }
        i += len;
    }
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    gbk = gbk.substr(0, gbk.find('\0'));
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    std::size_t runStart = 0;
    std::size_t i = 0;
    const auto flush = [&](std::size_t end) {
        flushGbkRun(gbk.substr(runStart, end - runStart), out);
    };
    while (i < gbk.size()) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b <= 0x80) {  // ASCII, and 0x80 (the euro sign) is a character of its own
            ++i;
        } else if (isLead(b) && i + 1 < gbk.size() &&
                   isTrail(static_cast<unsigned char>(gbk[i + 1]))) {
            i += 2;
        } else if (isLead(b) && i + 1 == gbk.size()) {
            // The second half was cut off by a full text field: show nothing.
            flush(i);
            return out;
        } else {
            // 0xFF, or a lead byte before a byte that cannot follow one: only
            // this byte is broken, the next one is read on its own.
            flush(i);
            out += kReplacement;
            runStart = ++i;
        }
    }
    flush(i);
    return out;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = utf8SequenceLength(utf8.substr(i));
        if (len == 0) return std::nullopt;
        i += len;
    }
    std::string out;
    out.reserve(utf8.size());
    if (!detail::utf8RunToGbk(utf8, out)) return std::nullopt;
    return out;
}

std::string firstCharacterNotInGbk(std::string_view utf8) {
    std::string scratch;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = utf8SequenceLength(utf8.substr(i));
        if (len == 0) return std::string(kReplacement);  // not UTF-8 at all
        const std::string_view ch = utf8.substr(i, len);
        scratch.clear();
        if (!detail::utf8RunToGbk(ch, scratch)) return std::string(ch);
        i += len;
    }
    return {};
}

}  // namespace convert
