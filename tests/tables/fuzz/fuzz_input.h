// How one fuzz input stands for a table file and its memo file:
//
//   bytes 0..3   the table file's length L, little-endian (cut to what follows)
//   next L bytes the table file
//   the rest     the memo file; with nothing left there is no memo file
//
// Both files are given as their plain bytes. A table whose magic is "WCDB"
// is protected: the fuzz target scrambles it (and the memo file) with the
// fixed password before opening it with that password, so that the fuzzer
// changes the fields themselves rather than keystream-covered noise. Any
// other table is opened with the empty password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_fs.h"

namespace tables::fuzz {

inline constexpr std::string_view kPassword = "583027";
inline const std::string kTablePath = "/fuzz/t.EDB";
inline const std::string kMemoPath = "/fuzz/t.EDT";

struct Files {
    Bytes table;
    Bytes memo;
    bool hasMemo = false;
};

Files unpack(const std::uint8_t* data, std::size_t size);
Bytes pack(const Files& files);

// The password the table is opened with: kPassword for "WCDB", else empty.
std::string_view passwordFor(const Bytes& table);

// Puts the files at kTablePath and kMemoPath as they lie on disk (scrambled
// when protected), after clearing `fs`.
void lay(MemoryFileSystem& fs, const Files& files);

// The plain bytes of what lies at kTablePath and kMemoPath in `fs`.
Files plainFiles(const MemoryFileSystem& fs, std::string_view password);

}  // namespace tables::fuzz
