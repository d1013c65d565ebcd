// open: every check in its order with its code, the names it resolves, the
// size repair and the memo-file checks; damaged files never crash it.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "file_io.h"
#include "support/fault_fs.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

namespace fs = std::filesystem;

class OpenTest : public TableTest {
  protected:
    // A plain or protected table with one integer field and `count` records.
    TableShape small(std::string password = "", std::int32_t count = 0) {
        TableShape s;
        s.password = std::move(password);
        s.recordCount = count;
        s.nextId = count + 1;
        s.recordSize = 8;
        s.fields = {{"n", 3, 4, 0}};
        return s;
    }
    static Bytes slots(std::int32_t count) {
        Bytes b;
        for (std::int32_t i = 0; i < count; ++i) {
            put32(b, b.size(), i + 1);
            put32(b, b.size(), 100 + i);
        }
        return b;
    }
    // Plain-table bytes with one change made by `edit`.
    void writeEdited(const std::string& name, TableShape shape,
                     const std::function<void(Bytes&)>& edit, Bytes data = {}) {
        Bytes b = concat({headerBytes(shape), data});
        edit(b);
        writePlain(dir / name, b, shape.password);
    }
    TableError openCode(const std::string& name, std::string_view password = "",
                        OpenOptions o = {}) {
        TableFile t;
        setLastTableError(kOk);
        const Status status = t.open(at(name), password, o);
        const bool ok = status.ok();
        TableError e = lastTableError();
        EXPECT_EQ(ok, e == 0);
        EXPECT_EQ(status.code(), e);
        return e;
    }
};

TEST_F(OpenTest, NamesAndDefaultExtension) {
    writeTable("t.edb", small("", 1), slots(1));
    EXPECT_EQ(openCode(""), -3);
    EXPECT_EQ(openCode("missing"), -3);
    EXPECT_FALSE(fs::exists(dir / "missing.EDB"));
    // No extension, a trailing dot, or the extension in another case: the same file.
    EXPECT_EQ(openCode("t"), 0);
    EXPECT_EQ(openCode("t."), 0);
    EXPECT_EQ(openCode("T.EDB"), 0);
    // Another extension is taken as it is.
    fs::copy_file(dir / "t.edb", dir / "t.dat");
    EXPECT_EQ(openCode("t.dat"), 0);
    TableFile t;
    ASSERT_TRUE(t.open(at("t"), ""));
    EXPECT_EQ(t.path(), (dir / "t.edb").string());
}

TEST_F(OpenTest, RelativeNamesResolveAgainstTheCurrentFolder) {
    writeTable("r.edb", small(), {});
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    TableFile a, b;
    EXPECT_TRUE(a.open("r", ""));
    EXPECT_EQ(a.path(), (dir / "r.edb").string());
    // The same file by its absolute name is already open.
    EXPECT_FALSE(b.open(at("R.EDB"), ""));
    EXPECT_EQ(lastTableError(), -38);
    fs::current_path(old);
}

TEST_F(OpenTest, AFileIsOpenOnlyOnceInTheProcess) {
    writeTable("t.edb", small(), {});
    TableFile a, b;
    ASSERT_TRUE(a.open(at("t"), ""));
    EXPECT_FALSE(b.open(at("t.edb"), ""));
    EXPECT_EQ(lastTableError(), -38);
    EXPECT_FALSE(b.isOpen());
    EXPECT_FALSE(a.open(at("t"), ""));  // also through the same object
    EXPECT_TRUE(a.isOpen());
    a.close();
    EXPECT_TRUE(b.open(at("t"), ""));
    // A failed open does not keep the name: a wrong password, then the right one.
    writeTable("p.edb", small("pw"), {});
    EXPECT_FALSE(a.open(at("p"), "no"));
    EXPECT_EQ(lastTableError(), -78);
    EXPECT_TRUE(a.open(at("p"), "pw"));
}

TEST_F(OpenTest, AFailedOpenLeavesTheHeldTableOpen) {
    writeTable("a.edb", small("", 2), slots(2));
    TableFile t;
    ASSERT_TRUE(t.open(at("a"), ""));
    ASSERT_TRUE(t.goTo(2));
    EXPECT_FALSE(t.open(at("missing"), ""));
    EXPECT_TRUE(t.isOpen());
    EXPECT_EQ(t.recordNumber(), 2);
    EXPECT_EQ(t.read("n").asInteger(), 101);
    // A successful open of another table lets the first one go.
    writeTable("b.edb", small(), {});
    ASSERT_TRUE(t.open(at("b"), ""));
    TableFile other;
    EXPECT_TRUE(other.open(at("a"), ""));
}

TEST_F(OpenTest, PasswordRules) {
    writeTable("plain.edb", small(), {});
    writeTable("prot.edb", small("583027"), {});
    EXPECT_EQ(openCode("plain", "x"), -78);
    EXPECT_EQ(openCode("plain", ""), 0);
    EXPECT_EQ(openCode("prot", ""), -78);
    EXPECT_EQ(openCode("prot", "583028"), -78);
    EXPECT_EQ(openCode("prot", "583027"), 0);
    // The stored digest in capital letters still matches.
    TableShape s = small("583027");
    writeEdited("upper.edb", s, [&](Bytes& b) {
        std::string d = referenceDigest("583027");
        for (char& c : d) c = char(std::toupper(static_cast<unsigned char>(c)));
        putText(b, 28, d);
    });
    EXPECT_EQ(openCode("upper", "583027"), 0);
}

TEST_F(OpenTest, HeaderChecksAndTheirOrder) {
    auto edited = [&](const std::function<void(Bytes&)>& edit, TableShape shape = {}) {
        if (shape.fields.empty()) shape = small();
        writeEdited("h.edb", shape, edit);
        return openCode("h", shape.password);
    };
    EXPECT_EQ(edited([](Bytes& b) { b[1] = 'X'; }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 24, 0); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 24, -8); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 24, 3); }), -22);  // cannot even hold the id
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 16, -1); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 20, 0); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 4, 0x10001); }), -23);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 4, 0x0FFFF); }), 0);
    // Magic before password, password before sizes, sizes before version,
    // version before the field count.
    EXPECT_EQ(edited(
                  [](Bytes& b) {
                      b[0] = 'X';
                      put32(b, 24, 0);
                  },
                  small("pw")),
              -22);
    writeEdited("h.edb", small(), [](Bytes& b) { put32(b, 24, 0); });
    EXPECT_EQ(openCode("h", "pw"), -78);
    EXPECT_EQ(edited([](Bytes& b) {
                  put32(b, 24, 0);
                  put32(b, 4, 0x20000);
              }),
              -22);
    EXPECT_EQ(edited([](Bytes& b) {
                  put32(b, 4, 0x20000);
                  put32(b, 112, 0);
              }),
              -23);
}

TEST_F(OpenTest, FieldCountAndDescriptors) {
    auto edited = [&](const std::function<void(Bytes&)>& edit) {
        writeEdited("d.edb", small(), edit);
        return openCode("d");
    };
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 112, 0); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 112, -3); }), -22);
    // More descriptors than the file holds, up to the largest count a word can
    // give: refused without trying to read (or allocate) them.
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 112, 2); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 112, 0x7FFFFFFF); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { putText(b, 116, "abcdefghijklmnopq"); }),
              -22);  // no NUL in 17 bytes
    EXPECT_EQ(edited([](Bytes& b) {
                  putText(b, 116, "abcdefghijklmnop");
                  b[132] = 0;
              }),
              0);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 136, 0); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 136, 13); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 140, -1); }), -22);
    EXPECT_EQ(edited([](Bytes& b) {
                  put32(b, 136, 10);
                  put32(b, 144, 0);
              }),
              -22);
    EXPECT_EQ(edited([](Bytes& b) {
                  put32(b, 136, 10);
                  put32(b, 144, 4);
              }),
              0);
    // A field reaching past the record would be read from the next slot.
    EXPECT_EQ(edited([](Bytes& b) {
                  put32(b, 136, 10);
                  put32(b, 144, 5);
              }),
              -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 140, 5); }), -22);
    EXPECT_EQ(edited([](Bytes& b) { put32(b, 140, 0x7FFFFFFF); }), -22);
    // Offsets 0 to 3 hold the record id: a field there would overwrite it.
    for (const std::int32_t offset : {0, 1, 3})
        EXPECT_EQ(edited([&](Bytes& b) { put32(b, 140, offset); }), -22) << offset;
}

TEST_F(OpenTest, EveryTruncationOfAHeaderIsRefused) {
    const Bytes whole = scrambled(headerBytes(small("k")), "k");
    for (std::size_t len = 0; len < whole.size(); ++len) {
        writeFile(dir / "cut.edb", Bytes(whole.begin(), whole.begin() + len));
        EXPECT_EQ(openCode("cut", "k"), -22) << len;
    }
    writeFile(dir / "cut.edb", whole);
    EXPECT_EQ(openCode("cut", "k"), 0);
}

TEST_F(OpenTest, SurplusBytesAreCutOnAWritableOpenOnly) {
    Bytes plain = concat({headerBytes(small("k", 2)), slots(2), Bytes{1, 2, 3, 4, 5}});
    writePlain(dir / "s.edb", plain, "k");
    const Bytes before = readFile(dir / "s.edb");
    OpenOptions ro;
    ro.readOnly = true;
    EXPECT_EQ(openCode("s", "k", ro), 0);
    EXPECT_EQ(readFile(dir / "s.edb"), before);
    EXPECT_EQ(openCode("s", "k"), 0);
    EXPECT_EQ(readFile(dir / "s.edb"), Bytes(before.begin(), before.end() - 5));
}

TEST_F(OpenTest, ShortFileLowersTheCountOrFailsReadOnly) {
    // Count 5, but only 3 whole slots and half of a fourth.
    Bytes data = slots(4);
    data.resize(data.size() - 4);
    writePlain(dir / "s.edb", concat({headerBytes(small("k", 5)), data}), "k");
    OpenOptions ro;
    ro.readOnly = true;
    EXPECT_EQ(openCode("s", "k", ro), -48);
    TableFile t;
    ASSERT_TRUE(t.open(at("s"), "k"));
    EXPECT_EQ(t.recordCount(), 3);
    t.close();
    TableShape fixed = small("k", 3);
    fixed.nextId = 6;  // the next id is not touched
    EXPECT_EQ(readFile(dir / "s.edb"), scrambled(concat({headerBytes(fixed), slots(3)}), "k"));
}

TEST_F(OpenTest, ReadOnlyOpenReadsButCannotWrite) {
    writeTable("r.edb", small("", 2), slots(2));
    OpenOptions ro;
    ro.readOnly = true;
    TableFile t;
    ASSERT_TRUE(t.open(at("r"), "", ro));
    EXPECT_EQ(t.read("n").asInteger(), 100);
    EXPECT_FALSE(t.append({TableValue::integer(1)}));
    EXPECT_NE(lastTableError(), 0);
    EXPECT_FALSE(t.markDeleted());
    t.close();
    EXPECT_EQ(readPlain(dir / "r.edb", ""), concat({headerBytes(small("", 2)), slots(2)}));
}

class MemoOpenTest : public OpenTest {
  protected:
    TableShape memoShape(std::string pw = "k") {
        TableShape s;
        s.password = std::move(pw);
        s.recordSize = 8;
        s.fields = {{"m", 12, 4, 0}};
        return s;
    }
    TableError withMemo(const Bytes& memoPlain, OpenOptions o = {}) {
        writeTable("m.edb", memoShape(), {});
        writePlain(dir / "m.EDT", memoPlain, "k");
        return openCode("m", "k", o);
    }
};

TEST_F(MemoOpenTest, MemoFileChecks) {
    writeTable("m.edb", memoShape(), {});
    EXPECT_EQ(openCode("m", "k"), -35);  // no memo file
    EXPECT_EQ(withMemo(memoHeaderBlock(1, 0, 0)), 0);
    EXPECT_EQ(withMemo(Bytes(20, 0)), -35);
    Bytes badMagic = memoHeaderBlock(1, 0, 0);
    badMagic[3] = 'B';
    EXPECT_EQ(withMemo(badMagic), -35);
    EXPECT_EQ(withMemo(memoHeaderBlock(0, 0, 0)), -35);
    EXPECT_EQ(withMemo(concat({memoHeaderBlock(2, 2, 0), Bytes(512, 0)})), -35);
    EXPECT_EQ(withMemo(concat({memoHeaderBlock(2, -1, 0), Bytes(512, 0)})), -35);
    EXPECT_EQ(withMemo(concat({memoHeaderBlock(2, 1, 2), Bytes(512, 0)})), -35);
    EXPECT_EQ(withMemo(concat({memoHeaderBlock(2, 1, -1), Bytes(512, 0)})), -35);
    EXPECT_EQ(withMemo(memoHeaderBlock(1, 0, 0, 0x10001)), -36);
    // -35 checks come before the version.
    EXPECT_EQ(withMemo(memoHeaderBlock(0, 0, 0, 0x10001)), -35);
    // The memo file's name is found without regard to case too.
    fs::remove(dir / "m.EDT");
    writePlain(dir / "m.edt", memoHeaderBlock(1, 0, 0), "k");
    EXPECT_EQ(openCode("m", "k"), 0);
}

TEST_F(MemoOpenTest, MemoBlockCountFollowsTheFileLength) {
    OpenOptions ro;
    ro.readOnly = true;
    // Three blocks claimed, two present.
    const Bytes shortMemo = concat({memoHeaderBlock(3, 0, 0), memoBlock(0, 0, "x")});
    EXPECT_EQ(withMemo(shortMemo, ro), -37);
    EXPECT_EQ(readPlain(dir / "m.EDT", "k"), shortMemo);
    EXPECT_EQ(withMemo(shortMemo), 0);
    EXPECT_EQ(readPlain(dir / "m.EDT", "k"),
              concat({memoHeaderBlock(2, 0, 0), memoBlock(0, 0, "x")}));
    // More blocks present than counted (and a partial block): a memo write
    // that stopped left them, nothing refers to them. No open counts them in
    // (they would belong to nothing for good); the next block taken from the
    // end of the file reuses the first of them.
    const Bytes longMemo = concat({memoHeaderBlock(1, 0, 0), memoBlock(0, 0, "x"), Bytes(100, 0)});
    EXPECT_EQ(withMemo(longMemo, ro), 0);
    EXPECT_EQ(readPlain(dir / "m.EDT", "k"), longMemo);
    EXPECT_EQ(withMemo(longMemo), 0);
    EXPECT_EQ(readPlain(dir / "m.EDT", "k"), longMemo);
    TableFile t;
    ASSERT_TRUE(t.open(at("m"), "k"));
    ASSERT_TRUE(t.append({TableValue::text("new")}));
    t.close();
    const Bytes after = readPlain(dir / "m.EDT", "k");
    ASSERT_GE(after.size(), 1024u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 1024),
              concat({memoHeaderBlock(2, 0, 0), memoBlock(0, 0, "new")}));
}

TEST_F(MemoOpenTest, AFailedMemoCheckLeavesNothingOpen) {
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    EXPECT_EQ(withMemo(memoHeaderBlock(1, 0, 0, 7)), -36);
    EXPECT_EQ(ffs.openFiles(), 0);
    EXPECT_TRUE(ffs.heldLocks().empty());
    ffs.failOpen(kAccessDenied, ".EDT");
    writePlain(dir / "m.EDT", memoHeaderBlock(1, 0, 0), "k");
    EXPECT_EQ(openCode("m", "k"), -35);
    EXPECT_EQ(ffs.openFiles(), 0);
}

TEST_F(OpenTest, OperatingSystemFailuresKeepTheirCodes) {
    writeTable("t.edb", small(), {});
    FaultFileSystem ffs;
    ScopedFileSystem use(ffs);
    ffs.failOpen(kSharingViolation);
    EXPECT_EQ(openCode("t"), -12);
    ffs.clearFaults();
    ffs.failLocks(kLockViolation);
    EXPECT_EQ(openCode("t"), -13);
    ffs.clearFaults();
    ffs.failReadsAfter(0, kHardwareFault);
    EXPECT_EQ(openCode("t"), -11);
    ffs.clearFaults();
    EXPECT_EQ(openCode("t"), 0);
    EXPECT_EQ(ffs.openFiles(), 0);
    EXPECT_TRUE(ffs.heldLocks().empty());
}

// Random damage to a good table and memo file: every open ends with a code
// from the table (or succeeds), and whatever opens can be walked, written and
// purged without a crash or a hang.
TEST_F(OpenTest, RandomDamageNeverCrashes) {
    ASSERT_EQ(createTable(at("good"), "k",
                          {{"n", FieldType::Integer, 0, 0},
                           {"t", FieldType::Text, 0, 9},
                           {"m", FieldType::Memo, 0, 0},
                           {"b", FieldType::Bytes, 0, 0}}),
              0);
    {
        TableFile t;
        ASSERT_TRUE(t.open(at("good"), "k"));
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(t.append({TableValue::integer(i), TableValue::text("row"),
                                  TableValue::text(std::string(300 + 400 * i, 'a' + i)),
                                  TableValue::bytes(std::string(i * 50, '\x01'))}));
        ASSERT_TRUE(t.goTo(3));
        ASSERT_TRUE(t.markDeleted());
    }
    const Bytes table = readPlain(dir / "good.EDB", "k");
    const Bytes memo = readPlain(dir / "good.EDT", "k");
    const std::set<TableError> allowed = {kOk,
                                          kNotATable,
                                          kVersionTooNew,
                                          kMemoOpenFailed,
                                          kMemoVersionMismatch,
                                          kTableSizeWrong,
                                          kNotAMemoFile,
                                          kWrongPassword};
    std::mt19937 rng(20240611);
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes t = table, m = memo;
        Bytes& victim = (round % 2) ? m : t;
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = rng() % victim.size();
            switch (rng() % 4) {
                case 0:
                    victim[at] = std::uint8_t(rng());
                    break;
                case 1:
                    put32(victim, at - at % 4, std::int32_t(rng() % 16) - 4);
                    break;  // small words
                case 2:
                    victim.resize(at);
                    break;
                default:
                    put32(victim, at - at % 4, std::int32_t(rng()));
                    break;
            }
            if (victim.empty()) break;
        }
        writePlain(dir / "bad.EDB", t, "k");
        writePlain(dir / "bad.EDT", m, "k");
        TableFile f;
        setLastTableError(kOk);
        const bool ok = f.open(at("bad"), "k").ok();
        EXPECT_TRUE(allowed.count(lastTableError())) << round << ": " << lastTableError();
        if (!ok) continue;
        ++opened;
        const int count = f.recordCount();
        ASSERT_TRUE(f.goFirst());
        const Status walked = f.forEachRecord([&] {
            for (int k = 1; k <= int(f.fields().size()); ++k) (void)f.read(k);
            (void)f.isDeleted();
            return true;
        });
        ASSERT_TRUE(walked || lastTableError() == walked.code()) << walked.message();
        // Damaged tables may fail anywhere from here on; they must only fail
        // cleanly, so the outcomes themselves are not looked at.
        (void)f.goTo(count);
        (void)f.write(
            {TableValue(), TableValue(), TableValue::text("changed"), TableValue::bytes("")});
        (void)f.append(
            {TableValue::integer(9), TableValue(), TableValue::text(std::string(1200, 'z'))});
        (void)f.goFirst();
        (void)f.find([&] { return f.read("m").asText() == "nothing"; });
        (void)f.purge();
        f.close();
    }
    EXPECT_GT(opened, 60);  // the damage must not all be caught at the door
}

}  // namespace
}  // namespace tables::testing
