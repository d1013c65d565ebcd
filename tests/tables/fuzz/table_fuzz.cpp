// libFuzzer target: a table file and its memo file (fuzz_input.h) through
// the table operations and the structural check, in memory.
//
// 1. Opened read-only: every field of every record (memo chains included)
//    read three ways, by the record-by-record loop, by forEachRecord and
//    inside find's predicate, which must all see the same values.
// 2. The structural check on the files as given.
// 3. Opened writable (which may repair the file): read again, then, when it
//    is cheap, an append with a value for every field, two writes that grow
//    and shrink memo values, a few records marked deleted, a purge, and a
//    last walk and loop, which must agree.
// 4. When the check found nothing in step 2 and every change of step 3
//    succeeded: the memo values read back as written and the check still
//    finds nothing.
// No operation may leave a byte-range lock behind. Anything else that goes
// wrong (crash, leak, undefined behaviour, an allocation above the limit
// given to libFuzzer) is the sanitizers' to report.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "table_check.h"
#include "table_file.h"

namespace {

using namespace tables;
using tables::fuzz::MemoryFileSystem;

// Walks visit at most this many records, so that a small file with tiny
// records and many fields cannot make one input take seconds.
constexpr std::int32_t kMaxRecords = 2000;
// Changes are tried only on tables with records up to this size.
constexpr std::int32_t kMaxChangedRecordSize = 1 << 20;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "table_fuzz: %s\n", what.c_str());
    std::abort();
}

// The structural check, called here only. Null when the check cannot run
// (the file cannot be opened or the password does not fit); else every
// finding, damage and leftovers of a stopped operation alike.
std::unique_ptr<std::vector<std::string>> structuralProblems(std::string_view password) {
    CheckReport report;
    if (!checkTable(fuzz::kTablePath, password, report)) return nullptr;
    auto found = std::make_unique<std::vector<std::string>>();
    for (const Finding& f : report.findings) found->push_back(f.text);
    return found;
}

std::string show(const TableValue& v) {
    switch (v.kind()) {
        case ValueKind::Absent:
            return "-";
        case ValueKind::Number:
            return "n" + std::to_string(v.isIntegral() ? static_cast<double>(v.asInteger())
                                                       : v.asNumber());
        case ValueKind::Bool:
            return v.asBool() ? "t" : "f";
        case ValueKind::DateTime:
            return "d" + std::to_string(v.asDateTime());
        case ValueKind::Text:
            return "s" + v.asText();
        case ValueKind::Bytes:
            return "b" + v.asBytes();
        case ValueKind::SubRef:
            return "r" + std::to_string(v.asSubRef());
    }
    return "?";
}

void readRecord(TableFile& t, std::vector<std::string>& seen) {
    seen.push_back(std::to_string(t.recordNumber()) + (t.isDeleted() ? "D" : "L"));
    const int fields = static_cast<int>(t.fields().size());
    for (int f = 1; f <= fields; ++f) seen.push_back(show(t.read(f)));
}

std::vector<std::string> readByLoop(TableFile& t) {
    std::vector<std::string> seen;
    (void)t.goFirst();
    const std::int32_t count = std::min(t.recordCount(), kMaxRecords);
    for (std::int32_t i = 1; i <= count; ++i) {
        readRecord(t, seen);
        if (!t.skip(1)) break;
    }
    return seen;
}

// What the walk handed on, and whether it went to its end. A walk that
// fails still hands on every record it could read, in order: it passes over
// the copies an interrupted purge left and records it cannot read, and says
// so at the end. What it handed on must be what the loop reads there.
struct Walk {
    std::vector<std::string> seen;
    bool whole = true;
};

Walk readByWalk(TableFile& t) {
    Walk w;
    (void)t.goFirst();
    w.whole = t.forEachRecord([&] {
                   readRecord(t, w.seen);
                   return t.recordNumber() < kMaxRecords;
               }).ok();
    return w;
}

bool walkAgrees(const TableFile& t, const Walk& w, const std::vector<std::string>& byLoop) {
    if (w.whole) return w.seen == byLoop;
    // Each record is its number with D or L, then one entry per field.
    const std::size_t per = t.fields().size() + 1;
    std::size_t at = 0;  // where the loop's next candidate record starts
    for (std::size_t r = 0; r < w.seen.size(); r += per) {
        while (at < byLoop.size() && byLoop[at] != w.seen[r]) at += per;
        if (at + per > byLoop.size() || r + per > w.seen.size()) return false;
        if (!std::equal(w.seen.begin() + std::ptrdiff_t(r),
                        w.seen.begin() + std::ptrdiff_t(r + per),
                        byLoop.begin() + std::ptrdiff_t(at)))
            return false;
        at += per;
    }
    return true;
}

std::vector<std::string> readByFind(TableFile& t) {
    std::vector<std::string> seen;
    (void)t.goFirst();
    const std::int32_t last = std::min(t.recordCount(), kMaxRecords);
    (void)t.find([&] {
        readRecord(t, seen);
        return t.recordNumber() >= last;
    });
    return seen;
}

void expectNoLocks(const MemoryFileSystem& fs, const char* after) {
    if (fs.heldLocks() != 0) fail(std::string("a lock is still held after ") + after);
}

// A value of each field's kind for append; `memo` for memo and byte-set fields.
std::vector<TableValue> valuesFor(const std::vector<FieldDescriptor>& fields,
                                  const std::string& memo, const std::string& text) {
    std::vector<TableValue> values;
    for (const auto& f : fields) {
        switch (kindOf(f.type)) {
            case ValueKind::Number:
                values.push_back(TableValue::integer(3));
                break;
            case ValueKind::Bool:
                values.push_back(TableValue::boolean(true));
                break;
            case ValueKind::DateTime:
                values.push_back(TableValue::dateTime(44000.5));
                break;
            case ValueKind::Text:
                values.push_back(TableValue::text(f.type == FieldType::Memo ? memo : text));
                break;
            case ValueKind::Bytes:
                values.push_back(TableValue::bytes(memo));
                break;
            case ValueKind::SubRef:
                values.push_back(TableValue::subRef(7));
                break;
            case ValueKind::Absent:
                values.emplace_back();
                break;
        }
    }
    return values;
}

bool isChained(FieldType type) { return type == FieldType::Memo || type == FieldType::Bytes; }

// Whether the chained fields of the current record read back as `memo`.
bool chainsReadBack(TableFile& t, const std::string& memo) {
    const auto& fields = t.fields();
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (!isChained(fields[f].type)) continue;
        const TableValue v = t.read(static_cast<int>(f + 1));
        const std::string& got = fields[f].type == FieldType::Memo ? v.asText() : v.asBytes();
        if (got != memo) return false;
    }
    return true;
}

// Step 3's changes. True when every one of them succeeded.
bool change(TableFile& t, bool sound) {
    bool ok = true;
    const std::string grown(1100, 'g'), shortValue = "short";
    const auto& fields = t.fields();
    const std::string memo(600, 'm');
    ok = t.append(valuesFor(fields, memo, "fz")).ok() && ok;
    if (ok && sound && !chainsReadBack(t, memo))
        fail("an appended memo value reads back otherwise");
    const std::int32_t appended = t.recordNumber();
    if (t.goTo(1).ok()) ok = t.write(valuesFor(fields, grown, "w")).ok() && ok;
    if (ok && sound && !chainsReadBack(t, grown)) fail("a grown memo value reads back otherwise");
    if (t.goTo(appended).ok()) ok = t.write(valuesFor(fields, shortValue, "")).ok() && ok;
    if (ok && sound && !chainsReadBack(t, shortValue))
        fail("a shortened memo value reads back otherwise");
    const std::int32_t count = std::min(t.recordCount(), kMaxRecords);
    for (std::int32_t n = 1; n <= count; n += 3) {
        if (t.goTo(n).ok()) ok = t.markDeleted().ok() && ok;
    }
    ok = t.purge().ok() && ok;
    return ok;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "\n  " + l;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFileSystem* fs = [] {
        auto* made = new MemoryFileSystem;
        setFileSystemForTesting(made);
        setFatalHandler([](std::string_view message) {
            fail("fatal run-time error: " + std::string(message));
        });
        return made;
    }();

    const fuzz::Files files = fuzz::unpack(data, size);
    const std::string password(fuzz::passwordFor(files.table));
    fuzz::lay(*fs, files);

    {
        TableFile t;
        // The other password never fits.
        if (t.open(fuzz::kTablePath, password.empty() ? fuzz::kPassword : "", {.readOnly = true}))
            fail("opened with the wrong password");
        if (t.open(fuzz::kTablePath, password, {.readOnly = true})) {
            const auto byLoop = readByLoop(t);
            const auto byWalk = readByWalk(t);
            const auto byFind = readByFind(t);
            if (!walkAgrees(t, byWalk, byLoop))
                fail("forEachRecord saw other values than the loop");
            if (byLoop != byFind) fail("find saw other values than the loop");
            t.close();
        }
        expectNoLocks(*fs, "the read-only open");
    }

    const auto before = structuralProblems(password);
    expectNoLocks(*fs, "the check");
    const bool sound = before && before->empty();

    bool changed = false;
    {
        TableFile t;
        if (t.open(fuzz::kTablePath, password)) {
            (void)readByWalk(t);
            if (t.recordSize() <= kMaxChangedRecordSize) {
                changed = change(t, sound);
                const Walk walked = readByWalk(t);
                if (!walkAgrees(t, walked, readByLoop(t)))
                    fail("after the changes forEachRecord saw other values than the loop");
            }
            t.close();
        }
        expectNoLocks(*fs, "the writable open");
    }

    // TABLE_FUZZ_TRACE=1 says which steps an input reached (for replays by hand).
    static const bool trace = std::getenv("TABLE_FUZZ_TRACE") != nullptr;
    if (trace)
        std::fprintf(stderr, "table_fuzz: check %s, changes %s\n",
                     !before ? "could not run"
                     : sound ? "found nothing"
                             : "found problems",
                     changed ? "all succeeded" : "not all made or not all succeeded");
    if (sound && changed) {
        const auto after = structuralProblems(password);
        if (!after) fail("the check cannot open a table it passed before the changes");
        if (!after->empty()) fail("changes to a sound table left problems:" + joined(*after));
    }
    return 0;
}
