#include "fuzz_input.h"

#include <algorithm>
#include <cstring>

#include "scramble.h"

namespace tables::fuzz {

Files unpack(const std::uint8_t* data, std::size_t size) {
    Files f;
    if (size < 4) return f;
    std::uint32_t length = 0;
    for (int k = 0; k < 4; ++k) length |= std::uint32_t(data[k]) << (8 * k);
    const std::size_t tableBytes = std::min<std::size_t>(length, size - 4);
    f.table.assign(data + 4, data + 4 + tableBytes);
    f.hasMemo = 4 + tableBytes < size;
    f.memo.assign(data + 4 + tableBytes, data + size);
    return f;
}

Bytes pack(const Files& files) {
    Bytes out(4);
    const auto length = static_cast<std::uint32_t>(files.table.size());
    for (int k = 0; k < 4; ++k) out[k] = static_cast<std::uint8_t>(length >> (8 * k));
    out.insert(out.end(), files.table.begin(), files.table.end());
    if (files.hasMemo) out.insert(out.end(), files.memo.begin(), files.memo.end());
    return out;
}

std::string_view passwordFor(const Bytes& table) {
    return table.size() >= 4 && std::memcmp(table.data(), "WCDB", 4) == 0 ? kPassword
                                                                          : std::string_view();
}

void lay(MemoryFileSystem& fs, const Files& files) {
    fs.clear();
    Scrambler scrambler(passwordFor(files.table));
    Bytes table = files.table;
    scrambler.apply(0, table.data(), table.size());
    fs.put(kTablePath, std::move(table));
    if (files.hasMemo) {
        Bytes memo = files.memo;
        scrambler.apply(0, memo.data(), memo.size());
        fs.put(kMemoPath, std::move(memo));
    }
}

Files plainFiles(const MemoryFileSystem& fs, std::string_view password) {
    Files f;
    Scrambler scrambler(password);
    f.table = fs.get(kTablePath);
    scrambler.apply(0, f.table.data(), f.table.size());
    f.hasMemo = fs.exists(kMemoPath);
    f.memo = fs.get(kMemoPath);
    scrambler.apply(0, f.memo.data(), f.memo.size());
    return f;
}

}  // namespace tables::fuzz
