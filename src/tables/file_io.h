// The seam between the table operations and the operating system: files read
// and written at an offset, their length, and exclusive byte-range locks.
// One implementation per platform (POSIX with open-file-description locks,
// Windows with LockFileEx) and a fault-injecting double for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "table_error.h"

namespace tables {

class File {
  public:
    virtual ~File() = default;
    // Reads up to n bytes at offset; returns the count read (short at the end
    // of the file) or a negative result code (kHardwareFault, kEndOfFile …).
    // A negative offset gives kSeekFailed.
    [[nodiscard]] virtual std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) = 0;
    // Writes all n bytes at offset; kOk or a result code (kDiskFull,
    // kHardwareFault, kAccessDenied when the File was opened read-only,
    // kSeekFailed for a negative offset).
    // After a failure part of the range may have been written.
    [[nodiscard]] virtual TableError writeAt(std::int64_t offset, const void* buf,
                                             std::size_t n) = 0;
    // The file's length, or a negative result code.
    [[nodiscard]] virtual std::int64_t size() = 0;
    // Sets the length (cutting or zero-extending); kAccessDenied when read-only.
    [[nodiscard]] virtual TableError truncate(std::int64_t length) = 0;
    // Flushes written data to the device (nothing to do when read-only).
    [[nodiscard]] virtual TableError sync() = 0;
    // Exclusive lock of [offset, offset + length), failing at once when
    // another File (of this or another process) holds any byte of it
    // (kSharingViolation or kLockViolation). Locks belong to this File object: closing another File
    // of the same path never drops them; destroying this File releases them all. As with
    // LockFileEx, a range may not overlap one this File already holds (kLockViolation: callers
    // count nested requests themselves), and length must be positive (kLockViolation otherwise). On
    // POSIX a File opened read-only takes a shared lock: it still conflicts with every writable
    // File's lock, but not with another read-only File's.
    [[nodiscard]] virtual TableError lock(std::int64_t offset, std::int64_t length) = 0;
    // Releases a range exactly as an earlier lock() of this File took it;
    // kUnlockFailed when this File holds no such range.
    [[nodiscard]] virtual TableError unlock(std::int64_t offset, std::int64_t length) = 0;
};

struct FileOpenRequest {
    bool readOnly = false;
    int sharing = 1;  // 1 shared, 2 deny read, 3 deny write, 4 exclusive
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Opens an existing regular file (never creates one). On failure returns
    // null and stores the mapped result code (kFileNotFound, kAccessDenied
    // also for what is not a regular file, kSharingViolation,
    // kTooManyOpenFiles, kBadPath, kUnknown otherwise); on success stores kOk.
    // `error` may be null.
    // Sharing is checked against the other Files open on the same file, as
    // Windows does; on POSIX this is emulated with marker locks and is best
    // effort (two opens racing each other may both get through).
    [[nodiscard]] virtual std::unique_ptr<File> open(const std::string& path,
                                                     const FileOpenRequest& request,
                                                     TableError* error) = 0;
    // Creates a new empty file open for reading and writing (sharing mode 1),
    // failing when it exists (kAccessDenied) or with the codes of open().
    [[nodiscard]] virtual std::unique_ptr<File> create(const std::string& path,
                                                       TableError* error) = 0;
    // The absolute form of a path with "." and ".." folded away (no check
    // that it exists, symbolic links are not followed); empty for an empty path.
    virtual std::string absolutePath(const std::string& path) = 0;
    // `path` with its last component spelled as the existing directory entry
    // in the same folder that equals it without regard to ASCII letter case
    // (of several such entries on POSIX, the smallest name), or `path` itself
    // when none does. Only the last component is looked up. On Windows the
    // platform's own case-blind match decides (it folds non-ASCII letters too).
    virtual std::string resolveCase(const std::string& path) = 0;
    virtual std::uint32_t tickCount() = 0;  // milliseconds
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// The platform's file system.
FileSystem& systemFileSystem();

// The file system the table operations use: the platform's unless a test put
// another in place (pass null to restore the platform's).
FileSystem& currentFileSystem();
void setFileSystemForTesting(FileSystem* fs);

}  // namespace tables
