// For tests of the cores and pages: one record of one table behaves as if
// another process held its lock while this process works with the table.
//
// Lock requests that cover the record's lock byte fail with kLockViolation,
// as the operating system answers when another process holds it. The locks
// that start at offset 0 (the whole-file lock of open and of a purge) are
// spared: the other process took its lock after the table was opened, which
// is when a walk meets it. Time is faked, so that a lock that is retried
// gives up at once. While the object lives, the table operations use it as
// their file system.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>

#include "file_io.h"
#include "table_file.h"

namespace testing_support {

class RecordHeldElsewhere : public tables::FileSystem {
  public:
    // `fileName` is the table file as opened, with its extension (the file
    // whose name equals its last component, letter case ignored, is held);
    // `record` counts from 1.
    RecordHeldElsewhere(std::string fileName, std::string_view password, std::int32_t record)
        : name_(baseName(fileName)) {
        tables::TableFile t;
        if (t.open(fileName, password)) {
            lockByte_ = t.dataStart() + std::int64_t{record - 1} * t.recordSize();
            t.close();
        }
        tables::setFileSystemForTesting(this);
    }
    ~RecordHeldElsewhere() override { tables::setFileSystemForTesting(nullptr); }
    RecordHeldElsewhere(const RecordHeldElsewhere&) = delete;
    RecordHeldElsewhere& operator=(const RecordHeldElsewhere&) = delete;

    // The other process lets go.
    void release() { held_ = false; }

    std::unique_ptr<tables::File> open(const std::string& path,
                                       const tables::FileOpenRequest& request,
                                       tables::TableError* error) override {
        auto file = base().open(path, request, error);
        if (!file || baseName(path) != name_) return file;
        return std::make_unique<Held>(std::move(file), *this);
    }
    std::unique_ptr<tables::File> create(const std::string& path,
                                         tables::TableError* error) override {
        return base().create(path, error);
    }
    std::string absolutePath(const std::string& path) override { return base().absolutePath(path); }
    std::string resolveCase(const std::string& path) override { return base().resolveCase(path); }
    std::uint32_t tickCount() override { return clock_; }
    void sleepMs(std::uint32_t ms) override { clock_ += ms; }

  private:
    class Held : public tables::File {
      public:
        Held(std::unique_ptr<tables::File> inner, RecordHeldElsewhere& owner)
            : inner_(std::move(inner)), owner_(owner) {}
        std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
            return inner_->readAt(offset, buf, n);
        }
        tables::TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
            return inner_->writeAt(offset, buf, n);
        }
        std::int64_t size() override { return inner_->size(); }
        tables::TableError truncate(std::int64_t length) override {
            return inner_->truncate(length);
        }
        tables::TableError sync() override { return inner_->sync(); }
        tables::TableError lock(std::int64_t offset, std::int64_t length) override {
            const std::int64_t byte = owner_.lockByte_;
            if (owner_.held_ && offset > 0 && offset <= byte && byte < offset + length)
                return tables::kLockViolation;
            return inner_->lock(offset, length);
        }
        tables::TableError unlock(std::int64_t offset, std::int64_t length) override {
            return inner_->unlock(offset, length);
        }

      private:
        std::unique_ptr<tables::File> inner_;
        RecordHeldElsewhere& owner_;
    };

    static tables::FileSystem& base() { return tables::systemFileSystem(); }
    static std::string lower(std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
            return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
        });
        return s;
    }
    // The last path component, ASCII letters in lower case.
    static std::string baseName(const std::string& path) {
        const std::size_t cut = path.find_last_of("/\\");
        return lower(cut == std::string::npos ? path : path.substr(cut + 1));
    }

    std::string name_;
    std::int64_t lockByte_ = -1;
    bool held_ = true;
    std::uint32_t clock_ = 0;
};

}  // namespace testing_support
