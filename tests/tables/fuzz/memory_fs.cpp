#include "memory_fs.h"

#include <algorithm>
#include <cstring>

namespace tables::fuzz {
namespace {

class MemoryFile : public File {
  public:
    MemoryFile(std::shared_ptr<MemoryFileSystem::Node> node, bool readOnly)
        : node_(std::move(node)), readOnly_(readOnly) {}
    ~MemoryFile() override {
        auto& locks = node_->locks;
        locks.erase(std::remove_if(locks.begin(), locks.end(),
                                   [this](const auto& l) { return l.owner == this; }),
                    locks.end());
    }

    std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
        if (offset < 0) return kSeekFailed;
        const Bytes& b = node_->bytes;
        if (offset >= static_cast<std::int64_t>(b.size())) return 0;
        const std::size_t from = static_cast<std::size_t>(offset);
        const std::size_t got = std::min(n, b.size() - from);
        if (got > 0) std::memcpy(buf, b.data() + from, got);
        return static_cast<std::int64_t>(got);
    }

    TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
        if (readOnly_) return kAccessDenied;
        if (offset < 0) return kSeekFailed;
        Bytes& b = node_->bytes;
        const std::size_t from = static_cast<std::size_t>(offset);
        if (b.size() < from + n) b.resize(from + n);
        if (n > 0) std::memcpy(b.data() + from, buf, n);
        return kOk;
    }

    std::int64_t size() override { return static_cast<std::int64_t>(node_->bytes.size()); }

    TableError truncate(std::int64_t length) override {
        if (readOnly_) return kAccessDenied;
        if (length < 0) return kSeekFailed;
        node_->bytes.resize(static_cast<std::size_t>(length));
        return kOk;
    }

    TableError sync() override { return kOk; }

    TableError lock(std::int64_t offset, std::int64_t length) override {
        if (length <= 0) return kLockViolation;
        for (const auto& l : node_->locks) {
            if (offset < l.offset + l.length && l.offset < offset + length) return kLockViolation;
        }
        node_->locks.push_back({this, offset, length});
        return kOk;
    }

    TableError unlock(std::int64_t offset, std::int64_t length) override {
        auto& locks = node_->locks;
        auto it = std::find_if(locks.begin(), locks.end(), [&](const auto& l) {
            return l.owner == this && l.offset == offset && l.length == length;
        });
        if (it == locks.end()) return kUnlockFailed;
        locks.erase(it);
        return kOk;
    }

  private:
    std::shared_ptr<MemoryFileSystem::Node> node_;
    bool readOnly_;
};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

}  // namespace

void MemoryFileSystem::put(const std::string& path, Bytes bytes) {
    auto node = std::make_shared<Node>();
    node->bytes = std::move(bytes);
    files_[path] = std::move(node);
}

Bytes MemoryFileSystem::get(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? Bytes() : it->second->bytes;
}

bool MemoryFileSystem::exists(const std::string& path) const { return files_.count(path) != 0; }

void MemoryFileSystem::clear() { files_.clear(); }

std::size_t MemoryFileSystem::heldLocks() const {
    std::size_t n = 0;
    for (const auto& [path, node] : files_) n += node->locks.size();
    return n;
}

std::unique_ptr<File> MemoryFileSystem::open(const std::string& path,
                                             const FileOpenRequest& request, TableError* error) {
    auto it = files_.find(path);
    if (it == files_.end()) {
        if (error) *error = kFileNotFound;
        return nullptr;
    }
    if (error) *error = kOk;
    return std::make_unique<MemoryFile>(it->second, request.readOnly);
}

std::unique_ptr<File> MemoryFileSystem::create(const std::string& path, TableError* error) {
    if (files_.count(path)) {
        if (error) *error = kAccessDenied;
        return nullptr;
    }
    put(path, {});
    if (error) *error = kOk;
    return std::make_unique<MemoryFile>(files_[path], false);
}

std::string MemoryFileSystem::absolutePath(const std::string& path) {
    if (path.empty()) return path;
    // Relative names lie in "/"; "." and ".." are folded away.
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string MemoryFileSystem::resolveCase(const std::string& path) {
    if (files_.count(path)) return path;
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = path.substr(dir.size());
    for (const auto& [existing, node] : files_) {  // in name order: the smallest match wins
        if (existing.size() == path.size() && existing.compare(0, dir.size(), dir) == 0 &&
            sameIgnoringAsciiCase(existing.substr(dir.size()), name))
            return existing;
    }
    return path;
}

}  // namespace tables::fuzz
