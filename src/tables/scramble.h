// The protection of table and memo files: the password digest text and the
// page-wise keystream that every byte from offset 4 on is combined with.
#pragma once

#include <array>
#include <memory>
#include <cstddef>
#include <cstdint>
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

    // Makes the page keystreams over file offsets [from, to) ahead of a
    // reader that goes through them front to back, on a second thread when
    // the machine has more than one core: the reader then shares the
    // generating with it instead of doing it all. The reader tells the handle
    // how far it has come (passed), so that the pages behind it can be
    // reused; ending the handle stops the thread. Every byte apply() gives is
    // the same with or without it.
    class ReadAhead {
    public:
        ReadAhead();
        ReadAhead(ReadAhead&&) noexcept;
        ReadAhead& operator=(ReadAhead&&) noexcept;
        ReadAhead(const ReadAhead&) = delete;
        ReadAhead& operator=(const ReadAhead&) = delete;
        ~ReadAhead();
        // The walk has come to `offset`: the pages before it need not be
        // kept ahead any more (a later read there makes them as usual).
        void passed(std::int64_t offset);
        // Whether helper threads make pages for this walk.
        bool working() const { return state_ != nullptr; }

    private:
        friend class Scrambler;
        struct State;
        void end();
        std::shared_ptr<Scrambler::Impl> impl_;
        std::unique_ptr<State> state_;
    };
    ReadAhead readAhead(std::int64_t from, std::int64_t to);

private:
    std::string password_;
    std::string digest_;
    std::shared_ptr<Impl> impl_;
};

}  // namespace tables
