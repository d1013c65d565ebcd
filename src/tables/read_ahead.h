// Keystream made ahead of a long front-to-back walk over a protected file
// (forEachRecord): helper threads make the page keystreams the reader will
// need next, into a ring, while the reader works on the records; pages made
// for a password are kept for the run, so that a later walk of the same
// table finds them made. Every byte apply() gives is the one the scrambler
// gives: only who makes the keystream, and when, differs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scramble.h"

namespace tables {

class ReadAhead {
  public:
    // How walks are helped. A setting of the whole process, for the
    // benchmarks and tests that compare the ways; the program keeps Helpers.
    enum class Mode {
        Helpers,     // helper threads (when the machine has a core to spare)
        ReaderOnly,  // no threads: the reader makes the pages, a group at a time
        Off,         // no read-ahead: apply() is the scrambler's
    };
    static void setMode(Mode mode);
    static Mode mode();

    // No walk: apply() is the scrambler's, if any.
    ReadAhead();
    // Starts a read-ahead over the file offsets [from, to) of `scrambler`'s
    // file, which one thread then goes through front to back with passed()
    // and apply(). A short walk, a walk over an unprotected file, and a walk
    // started while another one of this process is under way get none:
    // apply() is then the scrambler's. `scrambler` must outlive the walk.
    ReadAhead(Scrambler& scrambler, std::int64_t from, std::int64_t to);
    ReadAhead(ReadAhead&& other) noexcept;
    ReadAhead& operator=(ReadAhead&& other) noexcept;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead();

    // The reader has come to `offset`: the pages before it are done with
    // (reading there again still works, through the scrambler).
    void passed(std::int64_t offset);
    // Combines data, which lies at file offset `offset`, with the keystream,
    // exactly as the scrambler's apply() does.
    void apply(std::int64_t offset, std::uint8_t* data, std::size_t n);
    // Ends the walk: its helper threads stop and are joined. Also done by
    // the destructor.
    void stop();

    // Whether this walk has a read-ahead, and how many helper threads it has.
    bool active() const { return walk_ != nullptr; }
    int helpers() const;
    // Page keystreams made for this walk so far (by its helpers or its
    // reader), not counting those found kept from earlier walks.
    std::int64_t pagesMade() const;

  private:
    struct Walk;
    Scrambler* scrambler_ = nullptr;
    std::unique_ptr<Walk> walk_;
    std::int64_t madeBefore_ = 0;  // pagesMade() of a walk already stopped
};

}  // namespace tables
