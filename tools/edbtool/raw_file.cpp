#include "raw_file.h"

namespace edbtool {
namespace {

// Start of the last path component.
std::size_t lastComponent(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::string tableFilePath(std::string_view name) {
    std::string path(name);
    if (!path.empty() && path.back() == '.') {
        path += "EDB";
    } else if (path.find('.', lastComponent(path)) == std::string::npos) {
        path += ".EDB";
    }
    auto& fs = tables::currentFileSystem();
    return fs.resolveCase(fs.absolutePath(path));
}

std::string memoFilePath(const std::string& tablePath) {
    std::string path = tablePath;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < lastComponent(path)) {
        path += ".EDT";
    } else {
        path.replace(dot + 1, std::string::npos, "EDT");
    }
    return tables::currentFileSystem().resolveCase(path);
}

std::unique_ptr<RawFile> RawFile::open(const std::string& path, tables::TableError& error) {
    tables::FileOpenRequest request;
    request.readOnly = true;
    error = tables::kOk;
    auto file = tables::currentFileSystem().open(path, request, &error);
    if (!file) {
        if (error == tables::kOk) error = tables::kUnknown;
        return nullptr;
    }
    return std::unique_ptr<RawFile>(new RawFile(std::move(file)));
}

std::int64_t RawFile::read(std::int64_t offset, void* buf, std::size_t n) {
    const std::int64_t got = file_->readAt(offset, buf, n);
    if (got > 0)
        scrambler_.apply(offset, static_cast<std::uint8_t*>(buf), static_cast<std::size_t>(got));
    return got;
}

}  // namespace edbtool
