#include "sheet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "dates.h"
#include "gbk.h"
#include "numbers.h"
#include "part_file.h"

namespace exporting {
namespace {

// Paths are UTF-8 bytes on every platform; a narrow std::filesystem path
// would be read in the Windows code page instead.
std::filesystem::path pathOf(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A spreadsheet opening the CSV would compute a cell that starts so.
bool looksLikeFormula(std::string_view text) {
    if (text.empty()) return false;
    const char c = text.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

void appendField(std::string& out, std::string_view text, bool guardFormula) {
    std::string field;
    if (guardFormula && looksLikeFormula(text)) field += '\'';
    field += text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendLine(std::string& out, const Sheet& sheet, const Row& cells, bool titles) {
    for (std::size_t c = 0; c < sheet.columns.size(); ++c) {
        if (c > 0) out += ',';
        const std::string_view text = c < cells.size() ? std::string_view(cells[c]) : "";
        // A number in a number column stays as shown: -20 is an amount.
        const bool guard = titles || sheet.columns[c].kind == ColumnKind::Text || !cellNumber(text);
        appendField(out, text, guard);
    }
    out += "\r\n";
}

// Columns a character takes in a workbook: two for the wide (CJK) ones.
double displayWidth(std::string_view utf8) {
    double width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        char32_t cp = lead;
        if (lead >= 0xF0) {
            length = 4;
            cp = lead & 0x07;
        } else if (lead >= 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

// The width of a cell as a workbook shows it.
double cellWidth(ColumnKind kind, const std::string& shown) {
    if (kind == ColumnKind::Amount) {
        if (const auto value = cellNumber(shown)) {
            char digits[64];
            std::snprintf(digits, sizeof digits, "%.2f", *value);
            return displayWidth(digits);
        }
    }
    return displayWidth(shown);
}

}  // namespace

std::optional<double> cellNumber(std::string_view shown) {
    std::size_t i = 0, end = shown.size();
    while (i < end && shown[i] == ' ') ++i;
    while (end > i && shown[end - 1] == ' ') --end;
    const std::string_view s = shown.substr(i, end - i);
    std::size_t p = 0;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) ++p;
    std::size_t digits = 0;
    while (p < s.size() && isDigit(s[p])) ++p, ++digits;
    if (p < s.size() && s[p] == '.') {
        ++p;
        while (p < s.size() && isDigit(s[p])) ++p, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) ++p;
        std::size_t exponent = 0;
        while (p < s.size() && isDigit(s[p])) ++p, ++exponent;
        if (exponent == 0) return std::nullopt;
    }
    if (p != s.size()) return std::nullopt;
    // The digits read the same in GBK; the program's own reading of them.
    return convert::textToNumber(s);
}

std::optional<double> cellDate(std::string_view shown) {
    const std::optional<std::string> gbk = convert::utf8ToGbk(shown);
    if (!gbk) return std::nullopt;
    const convert::TextDate date = convert::textToDate(*gbk);
    // Before 1 March 1900 a workbook's count is off by the 29 February 1900
    // it believes in.
    if (!date.isDate || date.dateTime < 61) return std::nullopt;
    return date.dateTime;
}

std::string csvText(const Sheet& sheet) {
    std::string out = "\xEF\xBB\xBF";
    std::size_t guess = 64;
    for (const Row& row : sheet.rows)
        for (const std::string& cell : row) guess += cell.size() + 1;
    out.reserve(guess + guess / 8);
    Row titles;
    for (const Column& column : sheet.columns) titles.push_back(column.title);
    appendLine(out, sheet, titles, true);
    for (const Row& row : sheet.rows) appendLine(out, sheet, row, false);
    for (const Row& row : sheet.totals) appendLine(out, sheet, row, false);
    return out;
}

WriteResult writeCsv(const Sheet& sheet, std::string_view pathUtf8) {
    return replaceFile(pathUtf8, csvText(sheet)) ? WriteResult::Ok : WriteResult::CannotWrite;
}

std::vector<double> columnWidths(const Sheet& sheet) {
    constexpr double kPadding = 2, kNarrowest = 4, kWidest = 80;
    std::vector<double> widths;
    for (std::size_t c = 0; c < sheet.columns.size(); ++c) {
        const Column& column = sheet.columns[c];
        // Titles are bold: a little wider.
        double width = displayWidth(column.title) * 1.1;
        for (const Row& row : sheet.rows)
            if (c < row.size()) width = std::max(width, cellWidth(column.kind, row[c]));
        for (const Row& row : sheet.totals)
            if (c < row.size() && column.kind != ColumnKind::Text && cellNumber(row[c]))
                width = std::max(width, cellWidth(column.kind, row[c]) * 1.1);
        widths.push_back(std::clamp(width + kPadding, kNarrowest, kWidest));
    }
    return widths;
}

namespace detail {

std::string partPathOf(std::string_view pathUtf8) { return std::string(pathUtf8) + ".part"; }

bool commitPart(std::string_view pathUtf8) {
    const std::filesystem::path part = pathOf(partPathOf(pathUtf8));
    std::error_code error;
    std::filesystem::rename(part, pathOf(pathUtf8), error);
    if (!error) return true;
    std::filesystem::remove(part, error);
    return false;
}

void dropPart(std::string_view pathUtf8) {
    std::error_code ignored;
    std::filesystem::remove(pathOf(partPathOf(pathUtf8)), ignored);
}

}  // namespace detail

bool replaceFile(std::string_view pathUtf8, std::string_view bytes) {
    std::ofstream out(pathOf(detail::partPathOf(pathUtf8)), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out.fail()) {
        detail::dropPart(pathUtf8);
        return false;
    }
    return detail::commitPart(pathUtf8);
}

}  // namespace exporting
