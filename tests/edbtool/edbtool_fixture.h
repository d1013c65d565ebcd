// A scratch folder per test and the helpers the edbtool tests share: run the
// tool, read and patch the bytes of the files it makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tool_runner.h"

// A path of UTF-8 bytes.
std::filesystem::path u8path(const std::string& utf8);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Appends little-endian integers and raw bytes to a byte string.
void putWord(std::string& s, std::int32_t v);
void putBytes(std::string& s, std::size_t n, char c = '\0');
std::int32_t wordIn(const std::string& bytes, std::size_t offset);

class EdbtoolTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& name) const;
    ToolResult tool(const std::vector<std::string>& args);

    // The file's bytes from offset 4 on combined with the keystream of
    // `password` (none when empty), so that they read as stored.
    std::string plainBytes(const std::string& file, const std::string& password = "");
    // Overwrites the word at `offset` as stored under `password`.
    void patchWord(const std::string& file, std::int64_t offset, std::int32_t value,
                   const std::string& password = "");

    // The failure line for `file` with `code` and its text.
    static std::string failureLine(const std::string& file, int code);

    std::string dir_;
};
