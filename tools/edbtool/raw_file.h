// Direct, unscrambled reads of a table or memo file, for the commands that
// look at bytes the table operations do not show (info, check).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "file_io.h"
#include "scramble.h"

namespace edbtool {

// The table file a name stands for: the default extension "EDB" added when
// the last path component has none (or after a trailing dot), made absolute,
// the extension matched without regard to case.
std::string tableFilePath(std::string_view name);
// The memo file beside a table file: its extension replaced by "EDT".
std::string memoFilePath(const std::string& tablePath);

class RawFile {
  public:
    // Opens an existing file for reading; on failure returns null and the code.
    static std::unique_ptr<RawFile> open(const std::string& path, tables::TableError& error);

    void setPassword(std::string_view password) { scrambler_ = tables::Scrambler(password); }
    std::int64_t size() { return file_->size(); }
    // Reads up to n bytes at offset and unscrambles them; returns the count
    // read or a negative code.
    std::int64_t read(std::int64_t offset, void* buf, std::size_t n);

  private:
    explicit RawFile(std::unique_ptr<tables::File> file) : file_(std::move(file)), scrambler_("") {}
    std::unique_ptr<tables::File> file_;
    tables::Scrambler scrambler_;
};

// Little-endian words of a byte buffer.
inline std::int32_t wordAt(const unsigned char* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace edbtool
