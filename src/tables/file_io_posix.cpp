// POSIX file layer (Linux): positional I/O on descriptors and open-file-
// description locks, which belong to the open file rather than to the process,
// so closing one descriptor of a file never drops locks held through another.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include "file_io.h"

#ifndef F_OFD_SETLK
#error "open-file-description locks (F_OFD_SETLK) are required"
#endif

namespace tables {

namespace {

TableError openErrorCode(int err) {
    switch (err) {
        case ENOENT:
            return kFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kAccessDenied;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        case ENAMETOOLONG:
        case ENOTDIR:
        case EINVAL:
        case ELOOP:
            return kBadPath;
        case ETXTBSY:
            return kSharingViolation;
        case EIO:
            return kHardwareFault;
        default:
            return kUnknown;
    }
}

TableError ioErrorCode(int err) {
    switch (err) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return kDiskFull;
        case EIO:
            return kHardwareFault;
        case EBADF:
            return kBadFileHandle;
        case EINVAL:
            return kSeekFailed;  // a position the file cannot take
        default:
            return kUnknown;
    }
}

// Sharing modes are not enforced by the kernel. Each open announces what it
// does and what it denies by read locks on four marker bytes far beyond any
// table's data, and checks the markers of the files already open first, the
// way CreateFile checks share modes. The check and the announcement are two
// steps, so two opens racing each other can both get through: good enough for
// a program that only ever asks for mode 1.
constexpr off_t kShareMarkers = off_t(1) << 62;
constexpr off_t kHasRead = kShareMarkers, kHasWrite = kShareMarkers + 1,
                kDeniesRead = kShareMarkers + 2, kDeniesWrite = kShareMarkers + 3;

bool ofdLock(int fd, short type, off_t start, off_t len, int* err) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    fl.l_pid = 0;
    while (fcntl(fd, F_OFD_SETLK, &fl) == -1) {
        if (errno == EINTR) continue;
        if (err) *err = errno;
        return false;
    }
    return true;
}

// Whether another open file holds a lock on the byte that a write lock would meet.
bool othersHold(int fd, off_t byte) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    fl.l_pid = 0;
    if (fcntl(fd, F_OFD_GETLK, &fl) == -1) return false;
    return fl.l_type != F_UNLCK;
}

class PosixFile final : public File {
  public:
    PosixFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
    ~PosixFile() override { ::close(fd_); }  // also drops every lock of this open file

    std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
        if (offset < 0) return kSeekFailed;
        auto* p = static_cast<char*>(buf);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return ioErrorCode(errno);
            }
            if (r == 0) break;  // end of file
            done += static_cast<std::size_t>(r);
        }
        return static_cast<std::int64_t>(done);
    }

    TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
        if (!writable_) return kAccessDenied;
        if (offset < 0) return kSeekFailed;
        const auto* p = static_cast<const char*>(buf);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return ioErrorCode(errno);
            }
            if (r == 0) return kDiskFull;  // no progress: nothing more fits
            done += static_cast<std::size_t>(r);
        }
        return kOk;
    }

    std::int64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return ioErrorCode(errno);
        return static_cast<std::int64_t>(st.st_size);
    }

    TableError truncate(std::int64_t length) override {
        if (!writable_) return kAccessDenied;
        if (length < 0) return kSeekFailed;
        while (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
            if (errno == EINTR) continue;
            return ioErrorCode(errno);
        }
        return kOk;
    }

    TableError sync() override {
        if (!writable_) return kOk;
        while (::fdatasync(fd_) != 0) {
            if (errno == EINTR) continue;
            if (errno == EINVAL || errno == EROFS) return kOk;  // nothing to flush here
            return ioErrorCode(errno);
        }
        return kOk;
    }

    TableError lock(std::int64_t offset, std::int64_t length) override {
        if (offset < 0 || length <= 0 || offset > kShareMarkers - length) return kLockViolation;
        // Like LockFileEx: a range may not overlap one this File already holds.
        for (const auto& r : held_)
            if (offset < r.offset + r.length && r.offset < offset + length) return kLockViolation;
        // A write lock needs a descriptor open for writing; a read-only File
        // takes a read lock, which still keeps other processes' write locks
        // (every writer's) off the range, but not other read-only Files'.
        int err = 0;
        if (!ofdLock(fd_, writable_ ? F_WRLCK : F_RDLCK, offset, length, &err)) {
            if (err == EAGAIN || err == EACCES) return kLockViolation;
            if (err == ENOLCK) return kLockViolation;
            return kUnknown;
        }
        held_.push_back({offset, length});
        return kOk;
    }

    TableError unlock(std::int64_t offset, std::int64_t length) override {
        // Only a range locked before, exactly as locked (as UnlockFileEx wants).
        auto it = std::find_if(held_.begin(), held_.end(), [&](const Range& r) {
            return r.offset == offset && r.length == length;
        });
        if (it == held_.end()) return kUnlockFailed;
        if (!ofdLock(fd_, F_UNLCK, offset, length, nullptr)) return kUnknown;
        held_.erase(it);
        return kOk;
    }

    // Checks the other opens of this file against what this one asks for and
    // announces it. False (sharing violation) when they cannot coexist.
    bool claimSharing(bool writes, int sharing) {
        bool deniesRead = sharing == 2 || sharing == 4;
        bool deniesWrite = sharing == 3 || sharing == 4;
        if (othersHold(fd_, kDeniesRead)) return false;  // we always read
        if (writes && othersHold(fd_, kDeniesWrite)) return false;
        if (deniesRead && othersHold(fd_, kHasRead)) return false;
        if (deniesWrite && othersHold(fd_, kHasWrite)) return false;
        // Read locks only need a readable descriptor, which every File has.
        ofdLock(fd_, F_RDLCK, kHasRead, 1, nullptr);
        if (writes) ofdLock(fd_, F_RDLCK, kHasWrite, 1, nullptr);
        if (deniesRead) ofdLock(fd_, F_RDLCK, kDeniesRead, 1, nullptr);
        if (deniesWrite) ofdLock(fd_, F_RDLCK, kDeniesWrite, 1, nullptr);
        return true;
    }

  private:
    struct Range {
        std::int64_t offset, length;
    };
    int fd_;
    bool writable_;
    std::vector<Range> held_;
};

std::string normalise(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        unsigned char x = static_cast<unsigned char>(a[k]), y = static_cast<unsigned char>(b[k]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool parentExists(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return true;  // the current directory
    std::string dir = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class PosixFileSystem final : public FileSystem {
  public:
    std::unique_ptr<File> open(const std::string& path, const FileOpenRequest& request,
                               TableError* error) override {
        auto fail = [&](TableError code) -> std::unique_ptr<File> {
            if (error) *error = code;
            return nullptr;
        };
        if (request.sharing < 1 || request.sharing > 4) return fail(kUnknown);
        if (path.find('\0') != std::string::npos) return fail(kBadPath);
        // Non-blocking so that a FIFO in a table's place cannot hang the open;
        // it is refused below like any other non-regular file.
        int flags = (request.readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        int fd;
        do fd = ::open(path.c_str(), flags);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            int err = errno;
            // A missing folder is a bad path, as Windows reports it, not a missing file.
            if (err == ENOENT && !parentExists(path)) return fail(kBadPath);
            return fail(openErrorCode(err));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return fail(kAccessDenied);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        auto file = std::make_unique<PosixFile>(fd, !request.readOnly);
        if (!file->claimSharing(!request.readOnly, request.sharing)) return fail(kSharingViolation);
        if (error) *error = kOk;
        return file;
    }

    std::unique_ptr<File> create(const std::string& path, TableError* error) override {
        if (path.find('\0') != std::string::npos) {
            if (error) *error = kBadPath;
            return nullptr;
        }
        int fd;
        do fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            int err = errno;
            if (error) {
                if (err == EEXIST)
                    *error = kAccessDenied;
                else if (err == ENOENT && !parentExists(path))
                    *error = kBadPath;
                else
                    *error = openErrorCode(err);
            }
            return nullptr;
        }
        auto file = std::make_unique<PosixFile>(fd, true);
        file->claimSharing(true, 1);
        if (error) *error = kOk;
        return file;
    }

    std::string absolutePath(const std::string& path) override {
        if (path.empty()) return path;  // names no file, as on Windows
        if (path[0] == '/') return normalise(path);
        std::string cwd;
        std::vector<char> buf(PATH_MAX);
        while (!::getcwd(buf.data(), buf.size())) {
            if (errno != ERANGE) return normalise("/" + path);
            buf.resize(buf.size() * 2);
        }
        cwd = buf.data();
        return normalise(cwd + "/" + path);
    }

    std::string resolveCase(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) return path;  // already names an entry
        std::size_t slash = path.rfind('/');
        std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty()) return path;
        DIR* d = ::opendir(dir.c_str());
        if (!d) return path;
        // Of several matches the smallest name wins, so the choice does not
        // depend on the directory's order.
        std::string best;
        while (dirent* e = ::readdir(d)) {
            std::string_view entry(e->d_name);
            if (equalsIgnoringAsciiCase(entry, name) && (best.empty() || entry < best))
                best = entry;
        }
        ::closedir(d);
        if (best.empty()) return path;
        return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + best;
    }

    std::uint32_t tickCount() override {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                          static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
    }

    void sleepMs(std::uint32_t ms) override {
        timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        while (::nanosleep(&req, &req) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

FileSystem& systemFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace tables
