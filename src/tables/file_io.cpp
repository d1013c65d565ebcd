#include "file_io.h"

#include <atomic>

namespace tables {

namespace {
// Set only by tests, before or between the operations they check; atomic so
// that a test swapping it while a helper thread reads never tears the pointer.
std::atomic<FileSystem*> testFileSystem{nullptr};
}  // namespace

FileSystem& currentFileSystem() {
    FileSystem* fs = testFileSystem.load(std::memory_order_acquire);
    return fs ? *fs : systemFileSystem();
}

void setFileSystemForTesting(FileSystem* fs) {
    testFileSystem.store(fs, std::memory_order_release);
}

}  // namespace tables
