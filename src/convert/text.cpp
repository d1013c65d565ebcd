#include "text.h"

#include <climits>

namespace convert {
namespace {

constexpr unsigned char kIdeographicSpaceLead = 0xA1;
constexpr unsigned char kIdeographicSpaceTrail = 0xA1;

std::string_view untilZero(std::string_view text) { return text.substr(0, text.find('\0')); }

unsigned char byteAt(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

bool isLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Length of the character at `i`: 2 for a lead byte with a byte after it, else 1.
std::size_t charLength(std::string_view text, std::size_t i) {
    return isLead(byteAt(text, i)) && i + 1 < text.size() ? 2 : 1;
}

bool isSpaceAt(std::string_view text, std::size_t i, std::size_t len) {
    if (len == 1) return text[i] == ' ';
    return byteAt(text, i) == kIdeographicSpaceLead &&
           byteAt(text, i + 1) == kIdeographicSpaceTrail;
}

char foldedPair(unsigned char lead, unsigned char trail) {
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return static_cast<char>(trail - 0x80);
    if (lead == 0xA1) {
        switch (trail) {
            case 0xA1:
                return ' ';
            case 0xAB:
                return '~';
            case 0xEE:
            case 0xEF:
                return '*';
            default:
                break;
        }
    }
    return '\0';  // no folding
}

}  // namespace

std::string foldFullWidth(std::string_view text) {
    text = untilZero(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = byteAt(text, i);
        if (!isLead(b)) {
            out += text[i++];
            continue;
        }
        if (i + 1 == text.size()) break;  // half a character: the walk ends
        const char folded = foldedPair(b, byteAt(text, i + 1));
        if (folded != '\0') {
            out += folded;
        } else {
            out.append(text.substr(i, 2));
        }
        i += 2;
    }
    return out;
}

int findText(std::string_view text, std::string_view searched) {
    text = untilZero(text);
    searched = untilZero(searched);
    if (searched.empty()) return text.empty() ? -1 : 1;
    for (std::size_t i = 0; i < text.size() && text.size() - i >= searched.size();
         i += charLength(text, i)) {
        if (text.compare(i, searched.size(), searched) == 0) {
            return i < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(i) + 1 : -1;
        }
    }
    return -1;
}

std::string trimSpaces(std::string_view text) {
    text = untilZero(text);
    // Character boundaries are only known walking forwards, so the walk notes
    // where the first and the last non-space character lie.
    std::size_t first = text.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = charLength(text, i);
        if (!isSpaceAt(text, i, len)) {
            if (first == text.size()) first = i;
            end = i + len;
        }
        i += len;
    }
    if (first >= end) return {};
    return std::string(text.substr(first, end - first));
}

std::string removeSpaces(std::string_view text) {
    text = untilZero(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = charLength(text, i);
        if (!isSpaceAt(text, i, len)) out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

int compareText(std::string_view a, std::string_view b) {
    a = untilZero(a);
    b = untilZero(b);
    // Equal texts split into the same characters, so at the first differing
    // byte both stand at the same place of the same character: comparing
    // character by character (lead, then trail) is comparing byte by byte.
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = byteAt(a, i);
        const unsigned char y = byteAt(b, i);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string fitToWidth(std::string_view text, std::size_t width) {
    if (text.size() <= width) return std::string(text);
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + charLength(text, end);
        if (next > width) break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

}  // namespace convert
