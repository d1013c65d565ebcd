// Reads back what a workbook holds, for tests: the .xlsx is a zip of XML
// parts, taken out with a small zip reader over zlib (the same on Linux and
// under wine, where no unzip program can be started), and the few parts that
// say what a cell shows (the worksheet, the shared strings, the styles) are
// read with plain pattern matching. Enough for the workbooks this program
// writes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace testsupport {

namespace detail {

inline std::uint32_t le(const std::string& s, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

inline std::string inflateRaw(const std::string& packed, std::size_t size) {
    std::string out(size, '\0');
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return result == Z_STREAM_END && z.total_out == size ? out : std::string{};
}

}  // namespace detail

// One part of the zip at `zipPath` (UTF-8); empty when it is missing or the
// zip is damaged. The central directory is what counts: the sizes in a local
// header may be left zero by a writer that streams.
inline std::string zipPart(const std::string& zipPath, const std::string& part) {
    std::ifstream in(std::filesystem::path(std::u8string(zipPath.begin(), zipPath.end())),
                     std::ios::binary);
    const std::string zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (zip.size() < 22) return {};
    std::size_t end = zip.size() - 22;  // the end-of-directory record, after any comment
    while (detail::le(zip, end, 4) != 0x06054b50) {
        if (end == 0) return {};
        --end;
    }
    const std::uint32_t entries = detail::le(zip, end + 10, 2);
    std::size_t at = detail::le(zip, end + 16, 4);
    for (std::uint32_t i = 0; i < entries && at + 46 <= zip.size(); ++i) {
        if (detail::le(zip, at, 4) != 0x02014b50) return {};
        const std::uint32_t method = detail::le(zip, at + 10, 2);
        const std::uint32_t packedSize = detail::le(zip, at + 20, 4);
        const std::uint32_t size = detail::le(zip, at + 24, 4);
        const std::uint32_t nameLength = detail::le(zip, at + 28, 2);
        const std::uint32_t extraLength = detail::le(zip, at + 30, 2);
        const std::uint32_t commentLength = detail::le(zip, at + 32, 2);
        const std::uint32_t local = detail::le(zip, at + 42, 4);
        if (zip.compare(at + 46, nameLength, part) == 0 && nameLength == part.size()) {
            if (local + 30 > zip.size()) return {};
            const std::size_t data =
                local + 30 + detail::le(zip, local + 26, 2) + detail::le(zip, local + 28, 2);
            if (data + packedSize > zip.size()) return {};
            const std::string packed = zip.substr(data, packedSize);
            if (method == 0) return packed;
            return method == 8 ? detail::inflateRaw(packed, size) : std::string{};
        }
        at += 46 + nameLength + extraLength + commentLength;
    }
    return {};
}

inline std::string unescapeXml(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::string(from).size(), to);
    }
    // Control characters are written as _xHHHH_.
    static const std::regex control(R"re(_x00([01][0-9A-Fa-f])_)re");
    std::string out;
    auto last = s.cbegin();
    for (std::sregex_iterator it(s.begin(), s.end(), control), end; it != end; ++it) {
        out.append(last, (*it)[0].first);
        out += static_cast<char>(std::stoi((*it)[1], nullptr, 16));
        last = (*it)[0].second;
    }
    out.append(last, s.cend());
    return out;
}

struct XlsxCell {
    std::string type;    // "s" shared string, "n" number (also when the attribute is absent)
    std::string value;   // the string itself for "s", the number's text for "n"
    std::string format;  // the number format code ("General" when none)
    bool bold = false;
};

class XlsxReader {
  public:
    explicit XlsxReader(const std::string& path) {
        sheet_ = zipPart(path, "xl/worksheets/sheet1.xml");
        workbook_ = zipPart(path, "xl/workbook.xml");
        readStrings(zipPart(path, "xl/sharedStrings.xml"));
        readStyles(zipPart(path, "xl/styles.xml"));
        readCells();
    }

    bool ok() const { return !sheet_.empty(); }
    const std::string& sheetXml() const { return sheet_; }
    const std::string& workbookXml() const { return workbook_; }
    std::size_t sharedStringCount() const { return strings_.size(); }

    // "A1", "E12", …; nullopt for a cell the sheet does not hold.
    std::optional<XlsxCell> cell(const std::string& ref) const {
        const auto it = cells_.find(ref);
        if (it == cells_.end()) return std::nullopt;
        return it->second;
    }
    // The last row that holds a cell (1-based).
    int lastRow() const { return lastRow_; }

    // Column widths by 1-based column from <col min max width>.
    std::map<int, double> columnWidths() const {
        std::map<int, double> out;
        static const std::regex col(R"re(<col min="(\d+)" max="(\d+)" width="([0-9.]+)")re");
        for (std::sregex_iterator it(sheet_.begin(), sheet_.end(), col), end; it != end; ++it) {
            for (int c = std::stoi((*it)[1]); c <= std::stoi((*it)[2]); ++c)
                out[c] = std::stod((*it)[3]);
        }
        return out;
    }

  private:
    void readStrings(const std::string& xml) {
        static const std::regex si(R"re(<si>([\s\S]*?)</si>)re");
        static const std::regex t(R"re(<t(?: [^>]*)?>([^<]*)</t>)re");
        for (std::sregex_iterator it(xml.begin(), xml.end(), si), end; it != end; ++it) {
            const std::string inner = (*it)[1];
            std::string text;
            for (std::sregex_iterator p(inner.begin(), inner.end(), t); p != end; ++p)
                text += unescapeXml((*p)[1]);
            strings_.push_back(text);
        }
    }

    void readStyles(const std::string& xml) {
        // Built-in formats that a writer may name by number.
        std::map<int, std::string> formats{{0, "General"}, {1, "0"}, {2, "0.00"}, {14, "m/d/yyyy"}};
        static const std::regex numFmt(R"re(<numFmt numFmtId="(\d+)" formatCode="([^"]*)")re");
        for (std::sregex_iterator it(xml.begin(), xml.end(), numFmt), end; it != end; ++it)
            formats[std::stoi((*it)[1])] = unescapeXml((*it)[2]);
        std::vector<bool> boldFonts;
        const auto fontsAt = xml.find("<fonts");
        const auto fontsEnd = xml.find("</fonts>");
        if (fontsAt != std::string::npos && fontsEnd != std::string::npos) {
            const std::string fonts = xml.substr(fontsAt, fontsEnd - fontsAt);
            static const std::regex font(R"re(<font>([\s\S]*?)</font>)re");
            for (std::sregex_iterator it(fonts.begin(), fonts.end(), font), end; it != end; ++it)
                boldFonts.push_back(std::string((*it)[1]).find("<b/>") != std::string::npos);
        }
        const auto xfsAt = xml.find("<cellXfs");
        const auto xfsEnd = xml.find("</cellXfs>");
        if (xfsAt == std::string::npos || xfsEnd == std::string::npos) return;
        const std::string xfs = xml.substr(xfsAt, xfsEnd - xfsAt);
        static const std::regex xf(R"re(<xf numFmtId="(\d+)" fontId="(\d+)")re");
        for (std::sregex_iterator it(xfs.begin(), xfs.end(), xf), end; it != end; ++it) {
            const int fmt = std::stoi((*it)[1]);
            const auto font = static_cast<std::size_t>(std::stoi((*it)[2]));
            styles_.push_back({formats.count(fmt) ? formats[fmt] : "#" + std::to_string(fmt),
                               font < boldFonts.size() && boldFonts[font]});
        }
    }

    void readCells() {
        static const std::regex c(R"re(<c r="([A-Z]+)(\d+)"([^>]*?)(?:/>|>([\s\S]*?)</c>))re");
        static const std::regex s(R"re( s="(\d+)")re");
        static const std::regex t(R"re( t="(\w+)")re");
        static const std::regex v(R"re(<v>([^<]*)</v>)re");
        for (std::sregex_iterator it(sheet_.begin(), sheet_.end(), c), end; it != end; ++it) {
            const std::string attributes = (*it)[3];
            const std::string inner = (*it)[4];
            XlsxCell cell;
            std::smatch m;
            cell.type = std::regex_search(attributes, m, t) ? std::string(m[1]) : "n";
            std::size_t style = 0;
            if (std::regex_search(attributes, m, s)) style = std::stoul(m[1]);
            if (style < styles_.size()) {
                cell.format = styles_[style].format;
                cell.bold = styles_[style].bold;
            } else {
                cell.format = "General";
            }
            if (std::regex_search(inner, m, v)) cell.value = m[1];
            if (cell.type == "s") {
                const auto index = static_cast<std::size_t>(std::stoul(cell.value));
                cell.value = index < strings_.size() ? strings_[index] : "?";
            }
            const int row = std::stoi((*it)[2]);
            lastRow_ = std::max(lastRow_, row);
            cells_[std::string((*it)[1]) + std::to_string(row)] = cell;
        }
    }

    struct Style {
        std::string format;
        bool bold;
    };
    std::string sheet_;
    std::string workbook_;
    std::vector<std::string> strings_;
    std::vector<Style> styles_;
    std::map<std::string, XlsxCell> cells_;
    int lastRow_ = 0;
};

}  // namespace testsupport
