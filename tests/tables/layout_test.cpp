// The format's rules in one place: open, the check and the raw readers refuse
// the same damaged headers with the same codes, and a header claiming sizes
// no sound file has is refused before anything is sized by it.
#include <gtest/gtest.h>

#include <functional>

#include "file_io.h"
#include "scramble.h"
#include "support/alloc_probe.h"
#include "support/table_fixture.h"
#include "table_check.h"
#include "table_layout.h"

namespace tables::testing {
namespace {

constexpr std::int32_t kMax = 16 << 20;
// Far below anything a huge header would make the reader allocate, above what
// reading a header and a few descriptors takes (the keystreams kept for a
// password come 64 pages, 256 KiB, at a time).
constexpr std::size_t kSmallAllocation = 2 << 20;

class LayoutTest : public TableTest {
  protected:
    // n integer at 4, m memo at 8, t text(5) at 12: 17-byte records. Record 1
    // holds "abc" in memo block 1, record 2 no memo value.
    static TableShape shape() {
        TableShape s;
        s.password = "k";
        s.recordCount = 2;
        s.nextId = 3;
        s.recordSize = 17;
        s.fields = {{"n", 3, 4, 0}, {"m", 12, 8, 0}, {"t", 10, 12, 5}};
        return s;
    }
    static Bytes slots() {
        Bytes b;
        for (std::int32_t i = 0; i < 2; ++i) {
            const std::size_t at = b.size();
            put32(b, at, i + 1);
            put32(b, at + 4, 10 * (i + 1));
            put32(b, at + 8, i == 0 ? 1 : 0);
            putText(b, at + 12, "row");
            b.resize(at + 17);
        }
        return b;
    }
    static Bytes memo() { return concat({memoHeaderBlock(2, 0, 0), memoBlock(0, 0, "abc")}); }

    // Writes the table and memo file with one edit made to each.
    void write(const std::function<void(Bytes&)>& editTable,
               const std::function<void(Bytes&)>& editMemo) {
        Bytes t = concat({headerBytes(shape()), slots()});
        Bytes m = memo();
        if (editTable) editTable(t);
        if (editMemo) editMemo(m);
        writePlain(dir / "a.edb", t, "k");
        writePlain(dir / "a.EDT", m, "k");
    }

    TableError openCode(bool readOnly) {
        TableFile t;
        OpenOptions o;
        o.readOnly = readOnly;
        return t.open(at("a"), "k", o).code();
    }

    TableError checkCode() {
        CheckReport report;
        const Status s = checkTable(at("a"), "k", report);
        EXPECT_TRUE(s) << s.message();
        return report.damageCode();
    }

    // What edbtool info reads beside the table operations: the structure by
    // the same rules, straight from the files.
    TableError rawCode() {
        FileSystem& fs = currentFileSystem();
        FileOpenRequest request;
        request.readOnly = true;
        TableError error = kOk;
        const std::string path = layout::tableFilePath(fs, at("a"));
        auto file = fs.open(path, request, &error);
        if (!file) return error;
        Scrambler scrambler("k");
        layout::Faults faults(false);
        layout::TableStructure s;
        if (TableError e = layout::readTableStructure(*file, scrambler, "k", faults, s)) return e;
        layout::checkTableLength(s, faults);
        if (!faults.empty()) return faults.firstCode();
        if (!s.hasMemo) return kOk;
        auto memoFile = fs.open(layout::memoFilePath(fs, path), request, &error);
        if (!memoFile) return kMemoOpenFailed;
        layout::MemoHeaderWords h;
        if (TableError e =
                layout::readMemoHeader(*memoFile, scrambler, s.header.version, faults, h))
            return e;
        layout::checkMemoLength(memoFile->size(), h, faults);
        return faults.firstCode();
    }
};

struct HeaderCase {
    const char* name;
    std::function<void(Bytes&)> table;
    std::function<void(Bytes&)> memo;
    TableError code;               // of every reader that does not repair
    bool writableRepairs = false;  // a writable open mends it and succeeds
};

constexpr std::size_t kDesc = 116;  // first descriptor
constexpr std::size_t kDesc2 = 116 + 72;
constexpr std::size_t kDesc3 = 116 + 2 * 72;

TEST_F(LayoutTest, OpenCheckAndRawReadersAgree) {
    const std::vector<HeaderCase> cases = {
        {"sound", nullptr, nullptr, kOk},
        {"older version", [](Bytes& b) { put32(b, 4, 0xFFFF); },
         [](Bytes& m) { put32(m, 4, 0xFFFF); }, kOk},
        {"empty field name", [](Bytes& b) { b[kDesc3] = 0; }, nullptr, kOk},
        {"surplus table bytes", [](Bytes& b) { b.resize(b.size() + 20, 7); }, nullptr, kOk},
        {"surplus memo blocks", nullptr, [](Bytes& m) { m.resize(m.size() + 1100, 0); }, kOk},
        {"magic", [](Bytes& b) { b[2] = 'X'; }, nullptr, kNotATable},
        {"version", [](Bytes& b) { put32(b, 4, 0x10001); }, nullptr, kVersionTooNew},
        {"record size 0", [](Bytes& b) { put32(b, 24, 0); }, nullptr, kNotATable},
        {"record size 3", [](Bytes& b) { put32(b, 24, 3); }, nullptr, kNotATable},
        {"record size past the bound", [](Bytes& b) { put32(b, 24, kMax + 1); }, nullptr,
         kNotATable},
        {"record count", [](Bytes& b) { put32(b, 16, -1); }, nullptr, kNotATable},
        {"next id", [](Bytes& b) { put32(b, 20, 0); }, nullptr, kNotATable},
        {"sizes before version",
         [](Bytes& b) {
             put32(b, 4, 0x20000);
             put32(b, 20, 0);
         },
         nullptr, kNotATable},
        {"field count 0", [](Bytes& b) { put32(b, 112, 0); }, nullptr, kNotATable},
        {"field count beyond the file", [](Bytes& b) { put32(b, 112, 0x7FFFFFFF); }, nullptr,
         kNotATable},
        {"more fields than record bytes", [](Bytes& b) { put32(b, 112, 14); }, nullptr, kNotATable},
        {"name without NUL", [](Bytes& b) { putText(b, kDesc, "abcdefghijklmnopq"); }, nullptr,
         kNotATable},
        {"type 13", [](Bytes& b) { put32(b, kDesc + 20, 13); }, nullptr, kNotATable},
        {"text width 0", [](Bytes& b) { put32(b, kDesc3 + 28, 0); }, nullptr, kNotATable},
        {"text width past the bound", [](Bytes& b) { put32(b, kDesc3 + 28, kMax + 1); }, nullptr,
         kNotATable},
        {"offset inside the id", [](Bytes& b) { put32(b, kDesc + 24, 2); }, nullptr, kNotATable},
        {"field past the record", [](Bytes& b) { put32(b, kDesc3 + 24, 13); }, nullptr, kNotATable},
        {"fields sharing bytes", [](Bytes& b) { put32(b, kDesc2 + 24, 6); }, nullptr, kNotATable},
        {"too few slots", [](Bytes& b) { put32(b, 16, 3); }, nullptr, kTableSizeWrong, true},
        {"no memo magic", nullptr, [](Bytes& m) { m[3] = 'X'; }, kMemoOpenFailed},
        {"memo header cut", nullptr, [](Bytes& m) { m.resize(20); }, kMemoOpenFailed},
        {"memo block count 0", nullptr, [](Bytes& m) { put32(m, 16, 0); }, kMemoOpenFailed},
        {"free count at the block count", nullptr, [](Bytes& m) { put32(m, 20, 2); },
         kMemoOpenFailed},
        {"first free outside", nullptr, [](Bytes& m) { put32(m, 24, -1); }, kMemoOpenFailed},
        {"memo version", nullptr, [](Bytes& m) { put32(m, 4, 0x10001); }, kMemoVersionMismatch},
        {"memo checks before its version", nullptr,
         [](Bytes& m) {
             put32(m, 4, 0x10001);
             put32(m, 16, 0);
         },
         kMemoOpenFailed},
        {"memo shorter than counted", nullptr, [](Bytes& m) { put32(m, 16, 3); }, kNotAMemoFile,
         true},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.table, c.memo);
        EXPECT_EQ(openCode(true), c.code);
        EXPECT_EQ(checkCode(), c.code);
        EXPECT_EQ(rawCode(), c.code);
        EXPECT_EQ(openCode(false), c.writableRepairs ? kOk : c.code);
    }
}

TEST_F(LayoutTest, HugeClaimsAreRefusedBeforeAnythingIsSizedByThem) {
    struct Claim {
        const char* name;
        std::function<void(Bytes&)> edit;
    };
    const std::vector<Claim> claims = {
        {"record size", [](Bytes& b) { put32(b, 24, 0x7FFFFFFF); }},
        {"record size just past the bound", [](Bytes& b) { put32(b, 24, kMax + 1); }},
        {"text width", [](Bytes& b) { put32(b, kDesc3 + 28, 0x7FFFFFF0); }},
        {"field count", [](Bytes& b) { put32(b, 112, 0x7FFFFFFF); }},
        {"field offset", [](Bytes& b) { put32(b, kDesc + 24, 0x7FFFFFF0); }},
    };
    for (const Claim& c : claims) {
        SCOPED_TRACE(c.name);
        write(c.edit, nullptr);
        for (const bool readOnly : {true, false}) {
            AllocationProbe probe;
            EXPECT_EQ(openCode(readOnly), kNotATable);
            EXPECT_LT(probe.largest(), kSmallAllocation);
        }
        AllocationProbe probe;
        EXPECT_EQ(checkCode(), kNotATable);
        EXPECT_LT(probe.largest(), kSmallAllocation);
    }
}

TEST_F(LayoutTest, TheBoundsThemselvesAreSound) {
    // A record of exactly the bound (one text field filling it) opens, takes
    // a value and reads it back; its buffers are the bound, no more.
    TableShape s;
    s.recordSize = kMax;
    s.fields = {{"t", 10, 4, kMax - 4}};
    writeTable("big.edb", s);
    {
        AllocationProbe probe;
        TableFile t;
        ASSERT_TRUE(t.open(at("big"), ""));
        ASSERT_TRUE(t.append({TableValue::text("edge")}));
        EXPECT_EQ(t.read("t").asText(), "edge");
        // The probe sees them (so it would see a larger one).
        EXPECT_GE(probe.largest(), std::size_t(kMax - 4));
        EXPECT_LE(probe.largest(), std::size_t(kMax));
    }
    CheckReport report;
    ASSERT_TRUE(checkTable(at("big"), "", report));
    EXPECT_TRUE(report.findings.empty());
    // New tables keep within the bounds too.
    EXPECT_EQ(createTable(at("wide"), "", {{"t", FieldType::Text, 0, kMax - 4}}), kOk);
    EXPECT_EQ(createTable(at("wider"), "", {{"t", FieldType::Text, 0, kMax - 3}}), kBadFieldSize);
    EXPECT_EQ(createTable(at("widest"), "", {{"t", FieldType::Text, 0, kMax + 1}}), kBadFieldSize);
}

}  // namespace
}  // namespace tables::testing
