// A FileSystem whose files are byte vectors in memory, for the fuzz target
// and its corpus maker: no disk, so thousands of tables a second. It keeps
// the contract of file_io.h where the table operations could break it: a
// lock range may not overlap one that any File holds (also the same File's),
// an unlock must name a range exactly as it was locked, a read-only File
// cannot write or cut, and a destroyed File lets its locks go. Sharing modes
// are not checked; the clock is a counter that sleepMs() moves on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file_io.h"

namespace tables::fuzz {

using Bytes = std::vector<std::uint8_t>;

class MemoryFileSystem : public FileSystem {
  public:
    void put(const std::string& path, Bytes bytes);
    // The file's bytes; empty when there is no such file.
    Bytes get(const std::string& path) const;
    bool exists(const std::string& path) const;
    void clear();
    // Locks still held by Files not yet destroyed.
    std::size_t heldLocks() const;

    std::unique_ptr<File> open(const std::string& path, const FileOpenRequest& request,
                               TableError* error) override;
    std::unique_ptr<File> create(const std::string& path, TableError* error) override;
    std::string absolutePath(const std::string& path) override;
    std::string resolveCase(const std::string& path) override;
    std::uint32_t tickCount() override { return clock_; }
    void sleepMs(std::uint32_t ms) override { clock_ += ms; }

    struct Lock {
        const void* owner;
        std::int64_t offset, length;
    };
    struct Node {
        Bytes bytes;
        std::vector<Lock> locks;
    };

  private:
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::uint32_t clock_ = 0;
};

}  // namespace tables::fuzz
