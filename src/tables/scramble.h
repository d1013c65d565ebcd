// The protection of table and memo files: the password digest text and the
// page-wise keystream that every byte from offset 4 on is combined with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tables {

// MD5 (RFC 1321) of `data`.
std::array<std::uint8_t, 16> md5(std::string_view data);

// RC4 as published: the key schedule over every byte of the key, then the
// output generator. An empty key (which the published schedule does not
// allow) leaves the identity permutation.
class Rc4 {
  public:
    explicit Rc4(std::string_view key);
    std::uint8_t next();
    void skip(std::size_t n);
    void generate(std::uint8_t* out, std::size_t n);

  private:
    std::array<std::uint8_t, 256> s_{};
    std::uint8_t i_ = 0, j_ = 0;
};

// The 32-character digest text of a password: the MD5 digest's bytes in
// reverse order, each as two lowercase hex digits.
std::string passwordDigestText(std::string_view password);

// Whole 4096-byte pages of keystream: what apply() is made of, and what the
// read-ahead of long walks (read_ahead.h) makes on other threads.
inline constexpr std::int64_t kKeystreamPageSize = 4096;
inline constexpr int kMaxPagesAtOnce = 4;

// Makes the keystreams of n pages (1 to kMaxPagesAtOnce) of one password side
// by side: page pages[k], whose word (master output bytes 4p to 4p + 3) is
// words[k], goes to the 4096 bytes at out[k]. `digestText` is the password's
// 32-character digest text. Touches nothing else, so any thread may call it.
void makePageKeystreams(std::string_view digestText, const std::int64_t* pages,
                        const std::uint32_t* words, std::uint8_t* const* out, int n);

// data[k] ^= keystream[k] for k below n.
void xorKeystream(std::uint8_t* data, const std::uint8_t* keystream, std::size_t n);

// Combines file bytes with the keystream of a password. With an empty
// password it does nothing. apply() at file offset `offset` works on any byte
// range; bytes at offsets 0..3 (the magic) are never changed. Keystreams of
// 4096-byte pages are made on demand and the most recent ones are kept, so
// reading a file front to back costs one page generator per page. Copies
// share those caches: a Scrambler and its copies belong to one thread.
class Scrambler {
    struct Impl;

  public:
    explicit Scrambler(std::string_view password);
    bool active() const { return !password_.empty(); }
    void apply(std::int64_t offset, std::uint8_t* data, std::size_t n);
    void apply(std::int64_t offset, char* data, std::size_t n) {
        apply(offset, reinterpret_cast<std::uint8_t*>(data), n);
    }

    const std::string& password() const { return password_; }
    const std::string& digestText() const { return digest_; }
    // The words of pages first..last, for makePageKeystreams (empty when the
    // scrambler is not active or the range is empty).
    std::vector<std::uint32_t> pageWords(std::int64_t first, std::int64_t last);

  private:
    std::string password_;
    std::string digest_;
    std::shared_ptr<Impl> impl_;
};

}  // namespace tables
