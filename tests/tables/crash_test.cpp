// Fault loops: every change operation is stopped at every one of its I/O
// calls, once by a failing call that has no effect (the operation must say
// it failed) and once by a crash before a write (nothing from there on
// lands). After each stop the table is opened again as a new process would,
// and then:
//   - the files show no damage (support/table_check.h, which walks chains
//     and the free list without the code under test);
//   - every record the operation was not changing holds exactly its
//     acknowledged values, the changed one is old or new (a memo value may
//     be torn but readable); a purge stopped between its two writes may show
//     identical copies, which the walk refuses to go over;
//   - a follow-up round (append with memo values, delete and purge, a write
//     that shrinks and empties values) succeeds and keeps every record.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "support/fault_fs.h"
#include "support/table_check.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

constexpr char kPw[] = "k";
// Slots of 40016 bytes: a purge batch holds four of them.
constexpr std::int32_t kWidth = 40000;

struct Rec {
    std::int32_t n = 0;
    std::string t, m, b;
    bool operator==(const Rec&) const = default;
};
using Model = std::map<std::int32_t, Rec>;  // the live records by id

std::string filler(std::size_t n, char seed) {
    std::string s(n, ' ');
    for (std::size_t k = 0; k < n; ++k) s[k] = char(seed + k % 37);
    return s;
}

std::vector<TableValue> valuesOf(const Rec& r) {
    return {TableValue::integer(r.n), TableValue::text(r.t), TableValue::text(r.m),
            TableValue::bytes(r.b)};
}

const std::string kUnreadable = "<unreadable chain>";

Rec recOf(const RawTable& raw, const RawRecord& r) {
    auto memo = [&](const char* name) {
        auto it = r.memo.find(name);
        return it == r.memo.end() ? kUnreadable : it->second;
    };
    return {raw.integer(r, "n"), raw.text(r, "t"), memo("m"), memo("b")};
}

const RawRecord* liveRecord(const RawTable& raw, std::int32_t id) {
    for (const RawRecord& r : raw.records)
        if (r.live() && !r.stale && r.id == id) return &r;
    return nullptr;
}

struct Violations {
    int count = 0;
    std::string first;
    void add(const std::string& what) {
        if (++count <= 5) first += "\n  " + what;
    }
};

enum class Stop { Fail, Crash };

struct Scenario {
    // Moves the cursor (before the stop is armed: only the operation counts).
    std::function<void(TableFile&)> position = [](TableFile&) {};
    std::function<Status(TableFile&)> run;
    // Judges the record the operation changes and brings the model to what
    // the files now hold, acknowledged from here on.
    std::function<void(const RawTable&, bool reportedOk, Model&, Violations&)> settle;
    // Stops after which a purge may show a record twice: between the two
    // writes of each batch whose moved records land wholly below it.
    int windows = 0;
};

class CrashTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        ASSERT_EQ(createTable(at("c"), kPw,
                              {{"n", FieldType::Integer, 0, 0},
                               {"t", FieldType::Text, 0, kWidth},
                               {"m", FieldType::Memo, 0, 0},
                               {"b", FieldType::Bytes, 0, 0}}),
                  0);
        TableFile t;
        ASSERT_TRUE(t.open(at("c"), kPw));
        // Sixteen records with values of up to four blocks, and two values
        // emptied in the middle so that the free list holds seven blocks.
        // Record 16's byte set holds the file's last blocks.
        const std::size_t m[16] = {700, 0,   30, 1600, 120,  300, 0, 900,
                                   40,  510, 0,  60,   1000, 20,  0, 600};
        const std::size_t b[16] = {10, 1200, 0, 5, 0, 80, 700, 0, 0, 30, 1001, 0, 7, 0, 300, 800};
        for (int i = 0; i < 16; ++i) {
            Rec r{i + 1, "r" + std::to_string(i + 1), filler(m[i], char('a' + i)),
                  filler(b[i], char('A' + i))};
            ASSERT_TRUE(t.append(valuesOf(r)));
            model[i + 1] = r;
        }
        setMemo(t, 4, "m", "");
        setMemo(t, 11, "b", "");
    }

    void setMemo(TableFile& t, std::int32_t id, const char* field, const std::string& value) {
        ASSERT_TRUE(t.goTo(id));  // no purge yet: record n has id n
        Rec& r = model[id];
        (field == std::string("m") ? r.m : r.b) = value;
        ASSERT_TRUE(t.write(valuesOf(r)));
    }

    void markDeleted(std::initializer_list<std::int32_t> ids) {
        TableFile t;
        ASSERT_TRUE(t.open(at("c"), kPw));
        for (std::int32_t id : ids) {
            ASSERT_TRUE(t.goTo(id));
            ASSERT_TRUE(t.markDeleted());
            model.erase(id);
        }
    }

    RawTable inspect() { return inspectTable(dir / "c.EDB", dir / "c.EDT", kPw); }

    // Every live record of the model once, with its values; nothing else
    // live. Later live copies of a record are allowed only where `repeats`
    // is given (and then must equal the first); it tells whether any was met.
    void compareLive(const RawTable& raw, const Model& m, Violations& v, bool* repeats,
                     const std::string& where) {
        std::map<std::int32_t, const RawRecord*> first;
        for (const RawRecord& r : raw.records) {
            if (!r.live()) continue;
            if (r.stale) {
                auto it = first.find(r.id);
                if (!repeats || it == first.end() || it->second->bytes != r.bytes)
                    v.add(where + ": record " + std::to_string(r.slot + 1) + " repeats id " +
                          std::to_string(r.id));
                else
                    *repeats = true;
                continue;
            }
            first[r.id] = &r;
            auto want = m.find(r.id);
            if (want == m.end())
                v.add(where + ": id " + std::to_string(r.id) + " is live but should not be");
            else if (!(recOf(raw, r) == want->second))
                v.add(where + ": id " + std::to_string(r.id) + " changed");
        }
        for (const auto& [id, rec] : m)
            if (!first.count(id)) v.add(where + ": id " + std::to_string(id) + " is lost");
    }

    // The walk's view of the live records, which must agree with the model.
    Status walk(TableFile& t, Model& seen, std::map<std::int32_t, std::int32_t>* numbers) {
        EXPECT_TRUE(t.goFirst());
        return t.forEachRecord([&] {
            if (t.isDeleted()) return true;
            const std::int32_t id = t.recordId();
            if (seen.count(id)) ADD_FAILURE() << "the walk handed on id " << id << " twice";
            seen[id] = {std::int32_t(t.read("n").asInteger()), t.read("t").asText(),
                        t.read("m").asText(), t.read("b").asBytes()};
            if (numbers) (*numbers)[id] = t.recordNumber();
            return true;
        });
    }

    // What `edbtool repair` does to an interrupted purge's copies, by hand:
    // later live copies of a record are marked deleted.
    void markRepeatsDeleted(const RawTable& raw) {
        Bytes f = readPlain(dir / "c.EDB", kPw);
        for (const RawRecord& r : raw.records)
            if (r.live() && r.stale)
                put32(f, std::size_t(raw.dataStart + r.slot * raw.recordSize), -r.id);
        writePlain(dir / "c.EDB", f, kPw);
    }

    void followUp(Model& m, Violations& v, const std::string& where) {
        TableFile t;
        if (!t.open(at("c"), kPw)) return v.add(where + ": the follow-up open failed");
        Model seen;
        std::map<std::int32_t, std::int32_t> numbers;
        if (!walk(t, seen, &numbers)) v.add(where + ": the walk failed");
        if (seen != m) v.add(where + ": the walk reads other values");
        if (m.size() < 2) return v.add(where + ": too few records left");

        const Rec added{9999, "added", filler(900, 'q'), filler(300, 'Q')};
        if (!t.append(valuesOf(added))) return v.add(where + ": follow-up append failed");
        m[t.recordId()] = added;
        if (!t.goTo(numbers.begin()->second) || !t.markDeleted() || !t.purge())
            return v.add(where + ": follow-up delete and purge failed");
        m.erase(numbers.begin()->first);
        // The record with the longest memo text gets a short one and loses
        // its byte set.
        auto longest = std::max_element(m.begin(), m.end(), [](const auto& a, const auto& b) {
            return a.second.m.size() < b.second.m.size();
        });
        seen.clear();
        numbers.clear();
        if (!walk(t, seen, &numbers)) v.add(where + ": the walk after the purge failed");
        longest->second.m = "x";
        longest->second.b.clear();
        if (!t.goTo(numbers.at(longest->first)) ||
            !t.write({TableValue(), TableValue(), TableValue::text("x"), TableValue::bytes("")}))
            return v.add(where + ": follow-up write failed");
        seen.clear();
        if (!walk(t, seen, nullptr) || seen != m) v.add(where + ": the last walk differs");
        t.close();
        const RawTable raw = inspect();
        for (const std::string& d : raw.damage) v.add(where + " after the follow-up: " + d);
        compareLive(raw, m, v, nullptr, where + " after the follow-up");
        if (raw.count != std::int32_t(m.size()))
            v.add(where + ": the follow-up purge left " + std::to_string(raw.count) + " slots");
    }

    // Stops `op` at each of its calls in turn; see the top of the file.
    void loop(const char* name, const Scenario& op, Stop mode) {
        const Model baseModel = model;
        auto restore = [&] {
            writeFile(dir / "c.EDB", baseTable);
            writeFile(dir / "c.EDT", baseMemo);
        };
        // The calls the operation makes when nothing goes wrong.
        int calls = 0;
        restore();
        {
            FaultFileSystem ffs;
            ScopedFileSystem use(ffs);
            TableFile t;
            ASSERT_TRUE(t.open(at("c"), kPw));
            op.position(t);
            ffs.resetCounts();
            ASSERT_TRUE(op.run(t));
            calls = mode == Stop::Fail ? ffs.counts().ioCalls() : ffs.counts().changes();
        }
        Violations v;
        int points = 0, windows = 0;  // windows: stops that left a purge's copies
        for (int k = 1; k <= calls; ++k) {
            restore();
            Model m = baseModel;
            const std::string where = std::string(name) + " stopped at call " + std::to_string(k);
            bool reportedOk = false;
            const char* failed = nullptr;
            {
                FaultFileSystem ffs;
                ScopedFileSystem use(ffs);
                TableFile t;
                ASSERT_TRUE(t.open(at("c"), kPw));
                op.position(t);
                ffs.resetCounts();
                if (mode == Stop::Fail)
                    ffs.failCall(k);
                else
                    ffs.crashAtWrite(k);
                reportedOk = op.run(t).ok();
                failed = ffs.failedCall();
                ffs.clearFaults();
            }  // the process ends: its locks go
            ++points;
            if (mode == Stop::Fail && !failed) v.add(where + ": no call failed");
            // A failed unlock comes after the work is done and undoes none of it.
            if (mode == Stop::Fail && failed && std::string(failed) != "unlock" && reportedOk)
                v.add(where + ": a failed " + failed + " was reported as success");
            if (mode == Stop::Crash) reportedOk = false;  // no one heard the answer

            {
                TableFile again;  // a new process (a writable open repairs what it may)
                if (!again.open(at("c"), kPw)) {
                    v.add(where + ": the table no longer opens");
                    continue;
                }
            }
            RawTable raw = inspect();
            for (const std::string& d : raw.damage) v.add(where + ": " + d);
            op.settle(raw, reportedOk, m, v);
            bool repeats = false;
            compareLive(raw, m, v, op.windows > 0 && mode == Stop::Crash ? &repeats : nullptr,
                        where);
            if (repeats) {
                ++windows;
                TableFile t;
                if (!t.open(at("c"), kPw)) {
                    v.add(where + ": the table does not open for the walk");
                    continue;
                }
                Model seen;
                const Status walked = walk(t, seen, nullptr);
                if (walked.code() != kRecordReadFailed ||
                    walked.context().find("interrupted purge") == std::string::npos)
                    v.add(where + ": the walk went over repeated records");
                if (seen != m) v.add(where + ": the walk did not hand on each record once");
                t.close();
                markRepeatsDeleted(raw);
            }
            followUp(m, v, where);
        }
        std::printf("[ %s ] %s: %d stop points, %d violations",
                    mode == Stop::Fail ? "fail " : "crash", name, points, v.count);
        if (op.windows > 0) std::printf(", %d inside the two-write window", windows);
        std::printf("\n");
        if (windows > op.windows)
            v.add(std::to_string(windows) + " stops showed records twice, at most " +
                  std::to_string(op.windows) + " may");
        EXPECT_GT(points, 0);
        EXPECT_EQ(v.count, 0) << name << v.first;
    }

    void both(const char* name, const Scenario& op) {
        baseTable = readFile(dir / "c.EDB");
        baseMemo = readFile(dir / "c.EDT");
        loop(name, op, Stop::Fail);
        loop(name, op, Stop::Crash);
    }

    // A write of `after` over record `id` (its number while nothing is purged).
    Scenario writeOf(std::int32_t id, Rec after) {
        Scenario s;
        s.position = [id](TableFile& t) { ASSERT_TRUE(t.goTo(id)); };
        s.run = [after](TableFile& t) { return t.write(valuesOf(after)); };
        s.settle = [id, after, before = model.at(id)](const RawTable& raw, bool ok, Model& m,
                                                      Violations& v) {
            const RawRecord* r = liveRecord(raw, id);
            if (!r) return v.add("the written record is gone");
            const Rec got = recOf(raw, *r);
            const bool whole = got == after;
            if (ok && !whole) v.add("an acknowledged write did not land whole");
            if (got.n != before.n && got.n != after.n) v.add("the written number is neither");
            if (got.t != before.t && got.t != after.t) v.add("the written text is neither");
            // Memo values: old, new, or torn while overwritten in place; the
            // inspection has checked that their chains read.
            m[id] = got;
        };
        return s;
    }

    Model model;
    Bytes baseTable, baseMemo;
};

TEST_F(CrashTest, AppendWithMemoValues) {
    Scenario s;
    const Rec added{17, "new", filler(1300, 'n'), filler(600, 'N')};
    s.run = [added](TableFile& t) { return t.append(valuesOf(added)); };
    s.settle = [added](const RawTable& raw, bool ok, Model& m, Violations& v) {
        const RawRecord* r = liveRecord(raw, 17);
        if (r && !(recOf(raw, *r) == added)) v.add("the appended record is not whole");
        if (!r && ok) v.add("an acknowledged append is missing");
        if (r) m[17] = added;
    };
    both("append", s);
}

TEST_F(CrashTest, WriteGrowingAMemoIntoFreeAndNewBlocks) {
    Rec r = model.at(3);
    r.m = filler(5000, 'g');  // 1 block becomes 10: its own, 7 free ones, 2 new ones
    both("write grow", writeOf(3, r));
}

TEST_F(CrashTest, WriteShrinkingAMemo) {
    Rec r = model.at(1);
    r.m = "short";
    both("write shrink", writeOf(1, r));
}

TEST_F(CrashTest, WriteShrinkingTheValueAtTheEndOfTheFile) {
    Rec r = model.at(16);
    r.b = "tail";  // its second block is the file's last: the file shrinks
    both("write shrink at the end", writeOf(16, r));
}

TEST_F(CrashTest, WriteShrinkingAValueThatEndsTheFileFromTheMiddleOfTheList) {
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("c"), kPw));
        setMemo(t, 3, "m", filler(5000, 'g'));  // its own block, the 7 free ones, 2 new ones
        setMemo(t, 1, "m", "");                 // the free list: record 1's 2 blocks
    }
    // The 9 blocks left over go in front of the list; the 2 at the end are
    // then taken out of its middle and the file shrinks.
    Rec r = model.at(3);
    r.m = "x";
    both("write shrink from the middle of the list", writeOf(3, r));
}

TEST_F(CrashTest, WriteEmptyingAMemo) {
    Rec r = model.at(2);
    r.n = 222;
    r.b.clear();
    both("write empty", writeOf(2, r));
}

TEST_F(CrashTest, WriteShrinkingOneValueAndGrowingTheNext) {
    Rec r = model.at(8);
    r.m = "ten bytes!";       // frees one block ...
    r.b = filler(1500, 'z');  // ... which this value then takes first
    both("write shrink and grow", writeOf(8, r));
}

TEST_F(CrashTest, WriteKeepingTheBlockCount) {
    Rec r = model.at(6);
    r.t = "same blocks";
    r.m = filler(450, 's');
    both("write stay", writeOf(6, r));
}

TEST_F(CrashTest, MarkDeleted) {
    Scenario s;
    s.position = [](TableFile& t) { ASSERT_TRUE(t.goTo(8)); };
    s.run = [](TableFile& t) { return t.markDeleted(); };
    s.settle = [](const RawTable& raw, bool ok, Model& m, Violations& v) {
        const bool live = liveRecord(raw, 8) != nullptr;
        if (ok && live) v.add("an acknowledged delete did not land");
        if (!live) m.erase(8);
    };
    both("markDeleted", s);
}

TEST_F(CrashTest, PurgeOverSeveralBatches) {
    // Batches of four: [1 -2 -3 4] drops within, [5 6 -7 8] keeps more than
    // it follows, [-9 -10 -11 12] and [13 14 15 -16] keep fewer than were
    // dropped before them (two writes each). Most dropped records have
    // chains; record 16 holds the file's last blocks.
    markDeleted({2, 3, 7, 9, 10, 11, 16});
    Scenario s;
    s.windows = 2;
    s.run = [](TableFile& t) { return t.purge(); };
    s.settle = [](const RawTable& raw, bool ok, Model& m, Violations& v) {
        if (ok && raw.count != std::int32_t(m.size()))
            v.add("an acknowledged purge left " + std::to_string(raw.count) + " slots");
    };
    both("purge", s);
}

}  // namespace
}  // namespace tables::testing
