// The order of the writes changed, the bytes of a completed operation did
// not: a long random run of appends, writes, deletes and purges with memo
// values of random lengths goes through the table operations and through a
// plain reference of the format's algorithms written here (each chain write
// frees its leftovers and cuts a free tail at once, purge frees each dropped
// record's chains as it meets it), and both files are compared byte for byte
// after every operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "support/table_fixture.h"

namespace tables::testing {
namespace {

constexpr char kPw[] = "583027";
// n integer at 4, t text at 8, m memo text and b byte set after it; slots of
// 30016 bytes, so that a purge batch holds five records.
constexpr std::int32_t kWidth = 30000;
constexpr std::size_t kN = 4, kT = 8, kM = 8 + kWidth, kB = kM + 4;
constexpr std::int32_t kSize = kB + 4;

struct Values {
    std::optional<std::int32_t> n;
    std::optional<std::string> t, m, b;
};

// The format's algorithms on plain bytes, in their own order.
class Reference {
  public:
    Reference(Bytes table, Bytes memo) : table_(std::move(table)), memo_(std::move(memo)) {}

    const Bytes& table() const { return table_; }
    const Bytes& memo() const { return memo_; }
    std::int32_t count() const { return get32(table_, 16); }
    bool deleted(std::int32_t slot) const { return get32(table_, at(slot)) < 0; }

    void append(const Values& v) {
        const std::int32_t c = std::max(0, count()), k = std::max(1, get32(table_, 20));
        Bytes rec(kSize, 0);
        put(rec, v);
        put32(rec, 0, k);
        table_.insert(table_.begin() + std::ptrdiff_t(at(c)), rec.begin(), rec.end());
        put32(table_, 16, c + 1);
        put32(table_, 20, k + 1);
    }
    void write(std::int32_t slot, const Values& v) {
        Bytes rec(table_.begin() + std::ptrdiff_t(at(slot)),
                  table_.begin() + std::ptrdiff_t(at(slot) + kSize));
        put(rec, v);
        std::copy(rec.begin() + 4, rec.end(), table_.begin() + std::ptrdiff_t(at(slot) + 4));
    }
    // Purge batches (of five) that keep fewer records than were dropped
    // before them, so that the moved records land wholly below the batch.
    int batchesBelowTheirDrops() const {
        int n = 0, dropped = 0;
        for (std::int32_t start = 0; start < count(); start += 5) {
            int kept = 0, droppedHere = 0;
            for (std::int32_t s = start; s < std::min(count(), start + 5); ++s)
                (deleted(s) ? droppedHere : kept) += 1;
            n += kept > 0 && kept < dropped;
            dropped += droppedHere;
        }
        return n;
    }
    void markDeleted(std::int32_t slot) {
        const std::int32_t id = get32(table_, at(slot));
        if (id > 0) put32(table_, at(slot), -id);
    }
    void purge() {
        std::int32_t kept = 0;
        for (std::int32_t s = 0; s < count(); ++s) {
            if (get32(table_, at(s)) < 0) {
                for (std::size_t f : {kM, kB})
                    if (std::int32_t first = get32(table_, at(s) + f)) chain("", first);
                continue;
            }
            if (kept != s)
                std::copy_n(table_.begin() + std::ptrdiff_t(at(s)), kSize,
                            table_.begin() + std::ptrdiff_t(at(kept)));
            ++kept;
        }
        put32(table_, 16, kept);
        table_.resize(at(kept));
    }

  private:
    static std::size_t dataStart() { return 116 + 4 * 72; }
    static std::size_t at(std::int32_t slot) { return dataStart() + std::size_t(slot) * kSize; }
    std::int32_t word(std::int32_t block, int k) const {
        return get32(memo_, std::size_t(block) * 512 + 4 * std::size_t(k));
    }
    void setWord(std::int32_t block, int k, std::int32_t v) {
        put32(memo_, std::size_t(block) * 512 + 4 * std::size_t(k), v);
    }

    void put(Bytes& rec, const Values& v) {
        if (v.n) put32(rec, kN, *v.n);
        if (v.t) {
            const std::size_t len = std::min(v.t->size(), std::size_t(kWidth));
            std::copy_n(v.t->begin(), len, rec.begin() + kT);
            if (len < kWidth) rec[kT + len] = 0;
        }
        if (v.m) put32(rec, kM, chain(*v.m, get32(rec, kM)));
        if (v.b) put32(rec, kB, chain(*v.b, get32(rec, kB)));
    }

    // Writes a value over the chain at `old`: its blocks, then free ones,
    // then new ones; frees the rest as one run and cuts a free tail.
    std::int32_t chain(const std::string& value, std::int32_t old) {
        if (value.empty() && old == 0) return 0;
        std::int32_t blocks = word(0, 4), freeCount = word(0, 5), firstFree = word(0, 6);
        std::vector<std::int32_t> oldChain;
        for (std::int32_t b = old; b != 0; b = word(b, 1)) oldChain.push_back(b);
        const std::size_t needed = (value.size() + 499) / 500;
        std::vector<std::int32_t> chain;
        for (std::size_t i = 0; i < needed; ++i) {
            if (i < oldChain.size()) {
                chain.push_back(oldChain[i]);
            } else if (firstFree != 0) {
                chain.push_back(firstFree);
                firstFree = word(firstFree, 1);
                --freeCount;
            } else {
                chain.push_back(blocks++);
                memo_.resize(std::size_t(blocks) * 512);
            }
        }
        for (std::size_t i = 0; i < needed; ++i) {
            const std::string part = value.substr(i * 500, 500);
            std::fill_n(memo_.begin() + std::ptrdiff_t(chain[i]) * 512, 512, 0);
            setWord(chain[i], 0, i == 0 ? 0 : chain[i - 1]);
            setWord(chain[i], 1, i + 1 < needed ? chain[i + 1] : 0);
            setWord(chain[i], 2, std::int32_t(part.size()));
            std::copy(part.begin(), part.end(),
                      memo_.begin() + std::ptrdiff_t(chain[i]) * 512 + 12);
        }
        if (needed < oldChain.size()) {
            bool last = false;
            for (std::size_t k = needed; k < oldChain.size(); ++k) {
                std::fill_n(memo_.begin() + std::ptrdiff_t(oldChain[k]) * 512, 512, 0);
                setWord(oldChain[k], 0, k == needed ? 0 : oldChain[k - 1]);
                setWord(oldChain[k], 1, k + 1 < oldChain.size() ? oldChain[k + 1] : firstFree);
                last = last || oldChain[k] == blocks - 1;
            }
            if (firstFree != 0) setWord(firstFree, 0, oldChain.back());
            firstFree = oldChain[needed];
            freeCount += std::int32_t(oldChain.size() - needed);
            std::int32_t b = blocks - 1;
            for (; last && b >= 1 && word(b, 2) == 0; --b) {
                const std::int32_t p = word(b, 0), n = word(b, 1);
                if (p != 0 && word(p, 1) == b) setWord(p, 1, n);
                if (n != 0 && word(n, 0) == b) setWord(n, 0, p);
                if (firstFree == b) firstFree = n;
                --freeCount;
            }
            if (last) {
                blocks = b + 1;
                memo_.resize(std::size_t(blocks) * 512);
            }
        }
        setWord(0, 4, blocks);
        setWord(0, 5, freeCount);
        setWord(0, 6, firstFree);
        return needed == 0 ? 0 : chain[0];
    }

    Bytes table_, memo_;
};

// The offset where two byte strings first differ (a length counts), or -1.
std::int64_t firstDifference(const Bytes& a, const Bytes& b) {
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (x == a.end() && y == b.end()) return -1;
    return x - a.begin();
}

class ReferenceOrderTest : public TableTest {};

TEST_F(ReferenceOrderTest, RandomRunsGiveTheFormatsBytesAfterEveryOperation) {
    ASSERT_EQ(createTable(at("r"), kPw,
                          {{"n", FieldType::Integer, 0, 0},
                           {"t", FieldType::Text, 0, kWidth},
                           {"m", FieldType::Memo, 0, 0},
                           {"b", FieldType::Bytes, 0, 0}}),
              0);
    Reference ref(readPlain(dir / "r.EDB", kPw), readPlain(dir / "r.EDT", kPw));
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto value = [&](char seed) {
        // Empty, within a block, a few blocks; now and then exactly full blocks.
        static const std::size_t sizes[] = {0, 0, 1, 37, 499, 500, 501, 1000, 1250, 2600};
        std::size_t n = sizes[pick(10)];
        if (n > 1 && pick(2)) n = std::size_t(pick(int(n)) + 1);
        std::string s(n, seed);
        for (auto& c : s) c = char(seed + pick(20));
        return s;
    };
    auto values = [&](bool all) {
        Values v;
        if (all || pick(2)) v.n = std::int32_t(rng());
        if (all || pick(3) == 0) v.t = std::string(std::size_t(pick(40)), char('a' + pick(26)));
        if (all || pick(2)) v.m = value('m');
        if (all || pick(2)) v.b = value('B');
        return v;
    };
    auto asTableValues = [](const Values& v) {
        return std::vector<TableValue>{v.n ? TableValue::integer(*v.n) : TableValue(),
                                       v.t ? TableValue::text(*v.t) : TableValue(),
                                       v.m ? TableValue::text(*v.m) : TableValue(),
                                       v.b ? TableValue::bytes(*v.b) : TableValue()};
    };

    TableFile t;
    ASSERT_TRUE(t.open(at("r"), kPw));
    int purgesOverBatches = 0, twoWriteBatches = 0;
    for (int op = 0; op < 600; ++op) {
        const std::int32_t count = ref.count();
        const int kind = count == 0 ? 0 : count > 30 ? 6 + pick(4) : pick(10);
        std::string what;
        if (kind <= 2) {  // 0, 1, 2: append
            const Values v = values(true);
            ASSERT_TRUE(t.append(asTableValues(v))) << op;
            ref.append(v);
            what = "append";
        } else if (kind <= 5) {  // 3, 4, 5: write
            const std::int32_t slot = pick(count);
            const Values v = values(false);
            ASSERT_TRUE(t.goTo(slot + 1));
            ASSERT_TRUE(t.write(asTableValues(v))) << op;
            ref.write(slot, v);
            what = "write of record " + std::to_string(slot + 1);
        } else if (kind <= 8) {  // 6, 7, 8: delete, mostly more than one
            for (int k = pick(6); k >= 0; --k) {
                const std::int32_t slot = pick(count);
                ASSERT_TRUE(t.goTo(slot + 1));
                ASSERT_TRUE(t.markDeleted()) << op;
                ref.markDeleted(slot);
            }
            what = "markDeleted";
        } else {
            purgesOverBatches += count > 5;
            twoWriteBatches += ref.batchesBelowTheirDrops();
            ASSERT_TRUE(t.purge()) << op;
            ref.purge();
            what = "purge";
        }
        ASSERT_EQ(firstDifference(readPlain(dir / "r.EDB", kPw), ref.table()), -1)
            << "table after " << op << ": " << what;
        ASSERT_EQ(firstDifference(readPlain(dir / "r.EDT", kPw), ref.memo()), -1)
            << "memo after " << op << ": " << what;
    }
    // The run went through both kinds of purge batch.
    EXPECT_GT(purgesOverBatches, 20);
    EXPECT_GT(twoWriteBatches, 5);
}

}  // namespace
}  // namespace tables::testing
