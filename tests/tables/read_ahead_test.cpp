// The read-ahead of long walks: in every mode, whatever the reader does, the
// bytes are the reference keystream's; helpers stop when the walk ends; kept
// pages belong to their own password and spare later walks the work.
#include "read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "support/table_bytes.h"

namespace tables::testing {
namespace {

using Mode = ReadAhead::Mode;

Bytes keystream(const std::string& password, std::int64_t offset, std::size_t n) {
    Bytes b(n, 0);
    referenceScramble(password, offset, b.data(), n);
    return b;
}

std::string modeName(Mode m) {
    return m == Mode::Helpers ? "Helpers" : m == Mode::ReaderOnly ? "ReaderOnly" : "Off";
}

// Sets the process's mode for one test and puts the program's back after it.
class ModeTest : public ::testing::TestWithParam<Mode> {
  protected:
    void SetUp() override { ReadAhead::setMode(GetParam()); }
    void TearDown() override { ReadAhead::setMode(Mode::Helpers); }
};

// A walk the way forEachRecord goes: batches of whole records front to back,
// telling the read-ahead how far it has come before each.
void walkInBatches(ReadAhead& ahead, std::int64_t from, std::int64_t to, std::int64_t batch,
                   const Bytes& expected, const std::string& what) {
    Bytes buf;
    for (std::int64_t at = from; at < to; at += batch) {
        const auto n = static_cast<std::size_t>(std::min(to - at, batch));
        ahead.passed(at);
        buf.assign(n, 0);
        ahead.apply(at, buf.data(), n);
        ASSERT_TRUE(std::equal(buf.begin(), buf.end(), expected.begin() + (at - from)))
            << what << ": batch at " << at;
    }
}

TEST_P(ModeTest, WalksGiveTheReferenceBytes) {
    // 353 pages: more than the ring holds. The same scrambler walks twice
    // (the second walk finds pages kept by the first), in other batch sizes.
    const std::int64_t from = 116 + 72 * 6, to = from + 361 * 4000;
    const Bytes expected = keystream("583027", from, static_cast<std::size_t>(to - from));
    Scrambler s("583027");
    for (const std::int64_t batch : {361 * 726, 361 * 50, 4096 * 3 + 1}) {
        ReadAhead ahead(s, from, to);
        EXPECT_EQ(ahead.active(), GetParam() != Mode::Off);
        walkInBatches(ahead, from, to, batch, expected, modeName(GetParam()));
    }
}

TEST_P(ModeTest, ReadsOffTheWalkStayRight) {
    // Behind the reader, beyond the ring, past the walk's end, in the magic,
    // and again after the walk was stopped: every byte as the reference's.
    const std::string password = "583027";
    const std::int64_t from = 4096 * 10 + 7, to = from + 4096 * 300;
    Scrambler s(password);
    ReadAhead ahead(s, from, to);
    Bytes buf;
    auto check = [&](std::int64_t at, std::size_t n) {
        buf.assign(n, 0);
        ahead.apply(at, buf.data(), n);
        ASSERT_EQ(buf, keystream(password, at, n)) << "at " << at;
    };
    for (std::int64_t page = 10; page < 310; page += 37) {
        ahead.passed(page * 4096);
        check(page * 4096 + 100, 5000);      // the walk itself, across a page end
        check(from, 300);                    // behind it
        check((page + 280) * 4096 - 2, 40);  // past the ring, and past the walk's end
        check(0, 64);                        // the magic and the header
    }
    ahead.stop();
    check(from + 4096 * 20, 9000);
}

TEST_P(ModeTest, AbandonedWalksEndAndTheNextOneWorks) {
    // Walks given up after a page or two, with helpers blocked on a full
    // ring: ending them returns, and the next walk of the process works.
    const std::string password = "583027";
    Scrambler s(password);
    for (int round = 0; round < 20; ++round) {
        ReadAhead ahead(s, 4, 4096 * 2000);
        Bytes buf(100, 0);
        ahead.apply(4096 * round + 4, buf.data(), buf.size());
        ASSERT_EQ(buf, keystream(password, 4096 * round + 4, 100));
        if (round % 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ReadAhead last(s, 4, 4096 * 64);
    EXPECT_EQ(last.active(), GetParam() != Mode::Off);
    Bytes buf(4096 * 3, 0);
    last.apply(4096 * 60, buf.data(), buf.size());
    EXPECT_EQ(buf, keystream(password, 4096 * 60, buf.size()));
}

TEST_P(ModeTest, ReadersThatSkipPagesLeaveTheRingAndTheStoreRight) {
    // The reader passes pages it never asked for (as a walk does when it
    // reads a batch around the read-ahead), sometimes by more than the ring
    // holds, while helpers may still be making them: no later page, and no
    // page kept for the run, may come out of a ring slot two makers shared.
    const std::int64_t firstPage = 600, pages = 1200;
    const std::int64_t from = firstPage * 4096, to = from + pages * 4096;
    const Bytes expected = keystream("583027", from, static_cast<std::size_t>(to - from));
    Scrambler s("583027");
    for (int round = 0; round < 3; ++round) {
        ReadAhead ahead(s, from, to);
        Bytes buf;
        for (std::int64_t p = firstPage, k = 0; p + 3 < firstPage + pages;
             p += 5 + (k++ % 4) * 90) {
            ahead.passed(p * 4096);
            buf.assign(3 * 4096, 0);
            ahead.apply(p * 4096, buf.data(), buf.size());
            ASSERT_TRUE(
                std::equal(buf.begin(), buf.end(), expected.begin() + (p - firstPage) * 4096))
                << "round " << round << " page " << p;
        }
    }
    // A whole walk by another scrambler, from what the store kept.
    Scrambler again("583027");
    ReadAhead ahead(again, from, to);
    walkInBatches(ahead, from, to, 4096 * 9 + 5, expected, "after the skipping walks");
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ModeTest,
                         ::testing::Values(Mode::Helpers, Mode::ReaderOnly, Mode::Off),
                         [](const auto& info) { return modeName(info.param); });

TEST(ReadAhead, OnlyLongWalksOfProtectedFilesOneAtATime) {
    Scrambler none("");
    EXPECT_FALSE(ReadAhead(none, 0, 1 << 24).active());
    Scrambler s("583027");
    EXPECT_FALSE(ReadAhead(s, 100, 100 + 4096 * 8).active());  // short
    EXPECT_FALSE(ReadAhead(s, 5000, 4000).active());           // empty
    EXPECT_FALSE(ReadAhead().active());

    ReadAhead first(s, 0, 4096 * 400);
    ASSERT_TRUE(first.active());
    const unsigned cores = std::thread::hardware_concurrency();
    EXPECT_EQ(first.helpers(), cores > 1 ? static_cast<int>(std::min(cores - 1, 3u)) : 0);
    // While it runs, no other walk of the process gets one, not even
    // another table's.
    Scrambler other("583027");
    EXPECT_FALSE(ReadAhead(other, 0, 4096 * 400).active());
    // Moving hands the walk on; the moved-from handle has none.
    ReadAhead moved = std::move(first);
    EXPECT_TRUE(moved.active());
    EXPECT_FALSE(first.active());
    moved.stop();
    EXPECT_FALSE(moved.active());
    EXPECT_TRUE(ReadAhead(other, 0, 4096 * 400).active());
}

TEST(ReadAhead, KeptPagesServeLaterWalksOfTheirOwnPasswordOnly) {
    // Pages far from where other tests walk, so that nothing is kept there
    // yet. The store keeps two pages of every three (page % 3 != 2).
    const std::int64_t firstPage = 3900, pages = 99;
    const std::int64_t from = firstPage * 4096, to = from + pages * 4096;
    const Bytes expected = keystream("583027", from, static_cast<std::size_t>(to - from));
    std::int64_t made[2] = {};
    for (int walk = 0; walk < 2; ++walk) {
        Scrambler s("583027");  // a new one each time, as each open of a table makes
        ReadAhead ahead(s, from, to);
        walkInBatches(ahead, from, to, 4096 * 7, expected, "walk " + std::to_string(walk));
        ahead.stop();
        made[walk] = ahead.pagesMade();
    }
    EXPECT_EQ(made[0], pages);
    EXPECT_EQ(made[1], pages / 3);  // only the pages never kept

    // Another password over the same pages finds nothing of the first's.
    Scrambler s("kept-other");
    ReadAhead ahead(s, from, to);
    walkInBatches(ahead, from, to, 4096 * 5,
                  keystream("kept-other", from, static_cast<std::size_t>(to - from)),
                  "other password");
    ahead.stop();
    EXPECT_EQ(ahead.pagesMade(), pages);
}

}  // namespace
}  // namespace tables::testing
