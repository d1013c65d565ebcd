// Reads back what a workbook holds, for tests: the .xlsx is a zip of XML
// parts, taken out with `unzip -p`, and the few parts that say what a cell
// shows (the worksheet, the shared strings, the styles) are read with plain
// pattern matching. Enough for the workbooks this program writes.
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace testsupport {

// One part of the zip; empty when it is missing.
inline std::string zipPart(const std::string& zipPath, const std::string& part) {
    const std::string command = "unzip -p '" + zipPath + "' '" + part + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
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
