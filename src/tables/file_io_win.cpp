// Windows file layer: handles from CreateFileW (UTF-8 paths converted to
// UTF-16), positional I/O through OVERLAPPED offsets, LockFileEx locks.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "file_io.h"

namespace tables {

namespace {

TableError codeOf(DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
            return kFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return kBadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return kTooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return kAccessDenied;
        case ERROR_INVALID_HANDLE:
            return kBadFileHandle;
        case ERROR_SEEK:
        case ERROR_NEGATIVE_SEEK:
            return kSeekFailed;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
            return kHardwareFault;
        case ERROR_SHARING_VIOLATION:
            return kSharingViolation;
        case ERROR_LOCK_VIOLATION:
            return kLockViolation;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return kDiskFull;
        case ERROR_HANDLE_EOF:
            return kEndOfFile;
        default:
            return kUnknown;
    }
}

// UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool widen(const std::string& s, std::wstring& out) {
    out.clear();
    if (s.empty()) return true;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()), nullptr, 0);
    if (n <= 0) return false;
    out.resize(std::size_t(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()), out.data(),
                               n) == n;
}

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = DWORD(std::uint64_t(offset) & 0xFFFFFFFFu);
    ov.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    return ov;
}

constexpr std::size_t kChunk = std::size_t(1) << 30;  // ReadFile/WriteFile take a DWORD

class WinFile final : public File {
  public:
    WinFile(HANDLE h, bool writable) : h_(h), writable_(writable) {}
    ~WinFile() override {
        for (const auto& r : held_) {
            OVERLAPPED ov = at(r.offset);
            UnlockFileEx(h_, 0, DWORD(std::uint64_t(r.length) & 0xFFFFFFFFu),
                         DWORD(std::uint64_t(r.length) >> 32), &ov);
        }
        CloseHandle(h_);
    }

    std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
        if (offset < 0) return kSeekFailed;
        auto* p = static_cast<char*>(buf);
        std::size_t done = 0;
        while (done < n) {
            DWORD want = DWORD(std::min(n - done, kChunk));
            DWORD got = 0;
            OVERLAPPED ov = at(offset + std::int64_t(done));
            if (!ReadFile(h_, p + done, want, &got, &ov)) {
                DWORD err = GetLastError();
                if (err == ERROR_HANDLE_EOF) break;
                return codeOf(err);
            }
            if (got == 0) break;  // end of file
            done += got;
        }
        return std::int64_t(done);
    }

    TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
        if (!writable_) return kAccessDenied;
        if (offset < 0) return kSeekFailed;
        const auto* p = static_cast<const char*>(buf);
        std::size_t done = 0;
        while (done < n) {
            DWORD want = DWORD(std::min(n - done, kChunk));
            DWORD put = 0;
            OVERLAPPED ov = at(offset + std::int64_t(done));
            if (!WriteFile(h_, p + done, want, &put, &ov)) return codeOf(GetLastError());
            if (put == 0) return kDiskFull;
            done += put;
        }
        return kOk;
    }

    std::int64_t size() override {
        LARGE_INTEGER li{};
        if (!GetFileSizeEx(h_, &li)) return codeOf(GetLastError());
        return li.QuadPart;
    }

    TableError truncate(std::int64_t length) override {
        if (!writable_) return kAccessDenied;
        if (length < 0) return kSeekFailed;
        LARGE_INTEGER li{};
        li.QuadPart = length;
        if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN) || !SetEndOfFile(h_))
            return codeOf(GetLastError());
        return kOk;
    }

    TableError sync() override {
        if (!writable_) return kOk;
        return FlushFileBuffers(h_) ? kOk : codeOf(GetLastError());
    }

    TableError lock(std::int64_t offset, std::int64_t length) override {
        if (offset < 0 || length <= 0 || offset > INT64_MAX - length) return kLockViolation;
        for (const auto& r : held_)
            if (offset < r.offset + r.length && r.offset < offset + length) return kLockViolation;
        OVERLAPPED ov = at(offset);
        if (!LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                        DWORD(std::uint64_t(length) & 0xFFFFFFFFu),
                        DWORD(std::uint64_t(length) >> 32), &ov)) {
            TableError e = codeOf(GetLastError());
            return e == kSharingViolation ? kSharingViolation : kLockViolation;
        }
        held_.push_back({offset, length});
        return kOk;
    }

    TableError unlock(std::int64_t offset, std::int64_t length) override {
        auto it = std::find_if(held_.begin(), held_.end(), [&](const Range& r) {
            return r.offset == offset && r.length == length;
        });
        if (it == held_.end()) return kUnlockFailed;
        OVERLAPPED ov = at(offset);
        if (!UnlockFileEx(h_, 0, DWORD(std::uint64_t(length) & 0xFFFFFFFFu),
                          DWORD(std::uint64_t(length) >> 32), &ov))
            return kUnlockFailed;
        held_.erase(it);
        return kOk;
    }

  private:
    struct Range {
        std::int64_t offset, length;
    };
    HANDLE h_;
    bool writable_;
    std::vector<Range> held_;
};

std::unique_ptr<File> fromHandle(HANDLE h, bool writable, TableError* error) {
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = codeOf(GetLastError());
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {  // a device or pipe is no table
        CloseHandle(h);
        if (error) *error = kAccessDenied;
        return nullptr;
    }
    if (error) *error = kOk;
    return std::make_unique<WinFile>(h, writable);
}

class WinFileSystem final : public FileSystem {
  public:
    std::unique_ptr<File> open(const std::string& path, const FileOpenRequest& request,
                               TableError* error) override {
        auto fail = [&](TableError code) -> std::unique_ptr<File> {
            if (error) *error = code;
            return nullptr;
        };
        if (path.empty()) return fail(kFileNotFound);
        std::wstring wpath;
        if (!widen(path, wpath) || wpath.find(L'\0') != std::wstring::npos) return fail(kBadPath);
        DWORD share;
        switch (request.sharing) {
            case 1:
                share = FILE_SHARE_READ | FILE_SHARE_WRITE;
                break;
            case 2:
                share = FILE_SHARE_WRITE;
                break;
            case 3:
                share = FILE_SHARE_READ;
                break;
            case 4:
                share = 0;
                break;
            default:
                return fail(kUnknown);
        }
        DWORD access = GENERIC_READ | (request.readOnly ? 0 : GENERIC_WRITE);
        HANDLE h = CreateFileW(wpath.c_str(), access, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        return fromHandle(h, !request.readOnly, error);
    }

    std::unique_ptr<File> create(const std::string& path, TableError* error) override {
        std::wstring wpath;
        if (path.empty() || !widen(path, wpath) || wpath.find(L'\0') != std::wstring::npos) {
            if (error) *error = kBadPath;
            return nullptr;
        }
        HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        return fromHandle(h, true, error);
    }

    std::string absolutePath(const std::string& path) override {
        std::wstring wpath;
        if (path.empty() || !widen(path, wpath)) return path;
        std::wstring out(MAX_PATH, L'\0');
        for (;;) {
            DWORD n = GetFullPathNameW(wpath.c_str(), DWORD(out.size()), out.data(), nullptr);
            if (n == 0) return path;
            if (n < out.size()) {
                out.resize(n);
                return narrow(out);
            }
            out.resize(n);
        }
    }

    // Windows finds the file whatever the case; this gives the spelling on
    // disk, so that one file has one name on every platform.
    std::string resolveCase(const std::string& path) override {
        std::size_t cut = path.find_last_of("/\\");
        std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
        if (name.empty() || name.find_first_of("*?") != std::string::npos) return path;
        std::wstring wpath;
        if (!widen(path, wpath)) return path;
        WIN32_FIND_DATAW found{};
        HANDLE h = FindFirstFileW(wpath.c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return path;
        FindClose(h);
        std::string onDisk = narrow(found.cFileName);
        if (onDisk.empty()) return path;
        return (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + onDisk;
    }

    std::uint32_t tickCount() override { return GetTickCount(); }
    void sleepMs(std::uint32_t ms) override { Sleep(ms); }
};

}  // namespace

FileSystem& systemFileSystem() {
    static WinFileSystem fs;
    return fs;
}

}  // namespace tables
