// Common ground of the backup, restore and recycle bin tests: a scratch
// folder holding the program's four tables, records put in and read back
// through the table layer, the raw bytes of every file, and a file system
// that stops (throws) at a chosen change, as a crash would.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "file_io.h"
#include "table_value.h"

namespace backup::testing {

// UTF-8 source text as the tables store it (GBK).
std::string g(std::string_view utf8);

// A path of UTF-8 bytes.
std::filesystem::path u8(const std::string& utf8);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Thrown where a test stops a run as a crash would.
struct Crash : std::runtime_error {
    Crash() : std::runtime_error("stopped here") {}
};

// Passes every call to the platform's file system and counts the changes
// (creates, writes, cuts, flushes); the change numbered `stopAt` (from 0)
// throws Crash instead of happening. Writes to files whose path ends with
// `failSuffix` fail with -14 while `failWrites` is set.
class StoppingFileSystem : public tables::FileSystem {
  public:
    StoppingFileSystem();
    ~StoppingFileSystem() override;

    // Counts a change (also from the folder step hook) and throws at `stopAt`.
    void change();

    long changes = 0;
    long stopAt = -1;
    std::string failSuffix;
    bool failWrites = false;
    int failuresLeft = -1;  // -1: fail for as long as failWrites is set

    std::unique_ptr<tables::File> open(const std::string& path,
                                       const tables::FileOpenRequest& request,
                                       tables::TableError* error) override;
    std::unique_ptr<tables::File> create(const std::string& path,
                                         tables::TableError* error) override;
    std::string absolutePath(const std::string& path) override;
    std::string resolveCase(const std::string& path) override;
    std::uint32_t tickCount() override;
    void sleepMs(std::uint32_t ms) override;

    bool failsWritesTo(const std::string& path);
};

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Paths (UTF-8) inside the scratch folder.
    std::string at(std::string_view name) const;

    // The four tables in `dir` (the scratch folder when empty) as edbtool
    // init makes them: empty, the settings table with its one record.
    void makeTables(const std::string& dir = {});
    // A ledger entry whose amount is `amount` and remark "第N笔".
    void addEntry(double amount, const std::string& dir = {});
    void addCustomer(std::string_view nameUtf8, const std::string& dir = {});
    // The amounts of the live ledger entries of a table file, in file order.
    static std::vector<double> amounts(const std::string& ledgerPath);
    // Every field value of every live record of a table, in file order.
    static std::vector<std::vector<tables::TableValue>> records(const std::string& tablePath);

    // The bytes of every file directly in `dir`, by name.
    static std::map<std::string, std::string> snapshot(const std::string& dir);
    // The names of the folders in `dir`.
    static std::vector<std::string> folders(const std::string& dir);

    std::string dir_;
    FixedClock clock_{{2024, 3, 1, 9, 30, 0}};
};

}  // namespace backup::testing
