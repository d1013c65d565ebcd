// Internal: the file and folder work of backups and restores. Files go
// through the table layer's FileSystem seam (so that tests can make them
// fail); folders through std::filesystem, each change announced to a hook
// that tests use to stop a run part-way as a crash would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "table_error.h"

namespace backup {

// Called with a short description before every change to a folder (made,
// removed, renamed) and before every file is created; a test may throw from
// it to stop the work there. Null: nothing is called.
void setStepHookForTesting(std::function<void(std::string_view)> hook);

namespace detail {

void step(std::string_view what);

// Paths are UTF-8 bytes on every platform.
std::filesystem::path fsPath(const std::string& utf8);
std::string utf8Path(const std::filesystem::path& path);
std::string join(const std::string& dir, std::string_view name);
std::string baseName(const std::string& path);

tables::TableError codeOf(const std::error_code& ec);
bool isFile(const std::string& path);
bool isFolder(const std::string& path);
// The folder and the ones above it; kOk when it exists already.
tables::TableError makeFolders(const std::string& path);
// A folder that did not exist before: kAccessDenied when it does.
tables::TableError makeNewFolder(const std::string& path);
// Removes a folder and what it holds; a missing one is no failure.
tables::TableError removeTree(const std::string& path);
tables::TableError removeFile(const std::string& path);
// The names of the folders inside `path`.
std::vector<std::string> subfolders(const std::string& path);

// A file held open (and, once locked, locked whole) for a copy or a swap.
struct HeldFile {
    std::unique_ptr<tables::File> file;
    std::string path;
    bool created = false;  // made by this run (it did not exist before)

    explicit operator bool() const { return file != nullptr; }
    void release();  // unlocks and closes
};

// Opens an existing file and locks it whole, waiting up to 2 s for another
// process's locks to go. kFileNotFound when there is no such file.
tables::TableError holdFile(const std::string& path, bool writable, HeldFile& held);
// Makes a new file and locks it whole (a target that did not exist).
tables::TableError holdNewFile(const std::string& path, HeldFile& held);

// Puts the whole content of `from` into `to` from offset 0, cuts `to` to the
// same length and flushes it to the device; `bytes` is the length copied.
tables::TableError copyContent(tables::File& from, tables::File& to, std::int64_t& bytes);
// Copies `from` into a new file at `path` (flushed and closed again).
tables::TableError copyToNewFile(tables::File& from, const std::string& path, std::int64_t& bytes);
// The same for a file given by its path.
tables::TableError copyFileToNew(const std::string& from, const std::string& to,
                                 std::int64_t& bytes);
// A new file holding `content`, flushed to the device.
tables::TableError writeNewFile(const std::string& path, std::string_view content);
// The whole of a small file; nullopt when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace detail
}  // namespace backup
