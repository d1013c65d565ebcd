#include "file_ops.h"

#include <algorithm>

#include "table_layout.h"

namespace backup {

namespace {

std::function<void(std::string_view)>& hookSlot() {
    static std::function<void(std::string_view)> hook;
    return hook;
}

constexpr std::uint32_t kLockWaitMs = 2000;
constexpr std::size_t kCopyPiece = 1 << 20;

}  // namespace

void setStepHookForTesting(std::function<void(std::string_view)> hook) {
    hookSlot() = std::move(hook);
}

namespace detail {

using tables::File;
using tables::FileSystem;
using tables::TableError;

void step(std::string_view what) {
    if (hookSlot()) hookSlot()(what);
}

std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string s = path.generic_u8string();
    return std::string(s.begin(), s.end());
}

std::string join(const std::string& dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    if (dir.back() == '/' || dir.back() == '\\') return dir + std::string(name);
    return dir + "/" + std::string(name);
}

std::string baseName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

TableError codeOf(const std::error_code& ec) {
    if (!ec) return tables::kOk;
    if (ec == std::errc::no_space_on_device) return tables::kDiskFull;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system || ec == std::errc::file_exists)
        return tables::kAccessDenied;
    if (ec == std::errc::no_such_file_or_directory) return tables::kFileNotFound;
    if (ec == std::errc::not_a_directory || ec == std::errc::filename_too_long ||
        ec == std::errc::invalid_argument)
        return tables::kBadPath;
    if (ec == std::errc::too_many_files_open) return tables::kTooManyOpenFiles;
    if (ec == std::errc::io_error) return tables::kHardwareFault;
    return tables::kUnknown;
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(fsPath(path), ec);
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(fsPath(path), ec);
}

TableError makeFolders(const std::string& path) {
    if (isFolder(path)) return tables::kOk;
    step("make folder " + path);
    std::error_code ec;
    std::filesystem::create_directories(fsPath(path), ec);
    if (ec) return codeOf(ec);
    return isFolder(path) ? tables::kOk : tables::kBadPath;
}

TableError makeNewFolder(const std::string& path) {
    step("make folder " + path);
    std::error_code ec;
    if (std::filesystem::create_directory(fsPath(path), ec)) return tables::kOk;
    return ec ? codeOf(ec) : tables::kAccessDenied;
}

TableError removeTree(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(fsPath(path), ec)) return tables::kOk;
    step("remove " + path);
    std::filesystem::remove_all(fsPath(path), ec);
    return codeOf(ec);
}

TableError removeFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(fsPath(path), ec)) return tables::kOk;
    step("remove " + path);
    std::filesystem::remove(fsPath(path), ec);
    return codeOf(ec);
}

std::vector<std::string> subfolders(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(fsPath(path), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) continue;
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

void HeldFile::release() {
    // Closing drops every lock of the File; nothing to tell anyone.
    file.reset();
}

namespace {

TableError lockWhole(File& file) {
    FileSystem& fs = tables::currentFileSystem();
    TableError e = file.lock(0, tables::layout::kWholeRange);
    const std::uint32_t start = fs.tickCount();
    while (e != tables::kOk && (e == tables::kLockViolation || e == tables::kSharingViolation) &&
           fs.tickCount() - start < kLockWaitMs) {
        fs.sleepMs(20 + fs.tickCount() % 20);
        e = file.lock(0, tables::layout::kWholeRange);
    }
    return e;
}

}  // namespace

TableError holdFile(const std::string& path, bool writable, HeldFile& held) {
    held = HeldFile{};
    FileSystem& fs = tables::currentFileSystem();
    tables::FileOpenRequest request;
    request.readOnly = !writable;
    TableError error = tables::kOk;
    std::unique_ptr<File> file = fs.open(path, request, &error);
    if (!file) return error != tables::kOk ? error : tables::kUnknown;
    if (const TableError e = lockWhole(*file)) return e;
    held.file = std::move(file);
    held.path = path;
    return tables::kOk;
}

TableError holdNewFile(const std::string& path, HeldFile& held) {
    held = HeldFile{};
    step("create " + path);
    FileSystem& fs = tables::currentFileSystem();
    TableError error = tables::kOk;
    std::unique_ptr<File> file = fs.create(path, &error);
    if (!file) return error != tables::kOk ? error : tables::kUnknown;
    if (const TableError e = lockWhole(*file)) return e;
    held.file = std::move(file);
    held.path = path;
    held.created = true;
    return tables::kOk;
}

TableError copyContent(File& from, File& to, std::int64_t& bytes) {
    bytes = 0;
    const std::int64_t size = from.size();
    if (size < 0) return static_cast<TableError>(size);
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(
        std::max<std::int64_t>(size, 1), static_cast<std::int64_t>(kCopyPiece))));
    for (std::int64_t at = 0; at < size;) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(size - at, std::int64_t(buffer.size())));
        const std::int64_t got = from.readAt(at, buffer.data(), want);
        if (got < 0) return static_cast<TableError>(got);
        // The file is locked whole: it cannot have become shorter meanwhile.
        if (got == 0) return tables::kEndOfFile;
        if (const TableError e = to.writeAt(at, buffer.data(), static_cast<std::size_t>(got)))
            return e;
        at += got;
    }
    const std::int64_t length = to.size();
    if (length < 0) return static_cast<TableError>(length);
    if (length != size) {
        if (const TableError e = to.truncate(size)) return e;
    }
    if (const TableError e = to.sync()) return e;
    bytes = size;
    return tables::kOk;
}

TableError copyToNewFile(File& from, const std::string& path, std::int64_t& bytes) {
    step("create " + path);
    TableError error = tables::kOk;
    std::unique_ptr<File> to = tables::currentFileSystem().create(path, &error);
    if (!to) return error != tables::kOk ? error : tables::kUnknown;
    return copyContent(from, *to, bytes);
}

TableError copyFileToNew(const std::string& from, const std::string& to, std::int64_t& bytes) {
    tables::FileOpenRequest request;
    request.readOnly = true;
    TableError error = tables::kOk;
    std::unique_ptr<File> source = tables::currentFileSystem().open(from, request, &error);
    if (!source) return error != tables::kOk ? error : tables::kUnknown;
    return copyToNewFile(*source, to, bytes);
}

TableError writeNewFile(const std::string& path, std::string_view content) {
    step("create " + path);
    TableError error = tables::kOk;
    std::unique_ptr<File> file = tables::currentFileSystem().create(path, &error);
    if (!file) return error != tables::kOk ? error : tables::kUnknown;
    if (const TableError e = file->writeAt(0, content.data(), content.size())) return e;
    return file->sync();
}

std::optional<std::string> readWholeFile(const std::string& path) {
    tables::FileOpenRequest request;
    request.readOnly = true;
    std::unique_ptr<File> file = tables::currentFileSystem().open(path, request, nullptr);
    if (!file) return std::nullopt;
    const std::int64_t size = file->size();
    // A listing or a journal is a few hundred bytes; anything huge is not one.
    if (size < 0 || size > (1 << 20)) return std::nullopt;
    std::string content(static_cast<std::size_t>(size), '\0');
    std::int64_t at = 0;
    while (at < size) {
        const std::int64_t got =
            file->readAt(at, content.data() + at, static_cast<std::size_t>(size - at));
        if (got <= 0) return std::nullopt;
        at += got;
    }
    return content;
}

}  // namespace detail
}  // namespace backup
