// Common ground for the table-operation tests: a fresh folder per test and a
// fatal handler that throws instead of ending the process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/table_bytes.h"
#include "table_error.h"
#include "table_file.h"

namespace tables::testing {

// Thrown by the test fatal handler, carrying the message.
struct FatalCalled : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TableTest : public ::testing::Test {
  protected:
    ~TableTest() override;
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path dir;
    std::string at(const std::string& name) const { return (dir / name).string(); }

    // The six ledger fields with the widths the program uses (356-byte records).
    static std::vector<FieldDescriptor> ledgerFields();
    static TableShape ledgerShape(std::string password);

    // Writes a hand-made table file (header and descriptors plus the given
    // slot bytes) scrambled with the shape's password.
    void writeTable(const std::string& name, const TableShape& shape, const Bytes& slots = {});
};

}  // namespace tables::testing
