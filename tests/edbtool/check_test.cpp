// check: damage put into a sound table on purpose must be found and named,
// every piece of it, with the failure line of the first.
#include <algorithm>
#include <functional>

#include "edbtool_fixture.h"

namespace {

constexpr std::int64_t kBlock = 512;

// Word offsets inside memo block b and the memo header.
std::int64_t prevOf(int b) { return b * kBlock; }
std::int64_t nextOf(int b) { return b * kBlock + 4; }
std::int64_t usedOf(int b) { return b * kBlock + 8; }
constexpr std::int64_t kFreeCount = 20;
constexpr std::int64_t kFirstFree = 24;

class EdbtoolCheck : public EdbtoolTest {
  protected:
    // Record 1 holds a chain of blocks 1-3 (500 + 500 + 200 bytes), record 2
    // a chain of block 4. With `withFreeBlocks`, record 1 is then rewritten
    // with a one-block value, so blocks 2 and 3 make up the free list.
    void build(bool withFreeBlocks, const std::string& password = "") {
        std::vector<std::string> pw;
        if (!password.empty()) pw = {"--password", password};
        auto run = [&](std::vector<std::string> args) {
            args.insert(args.end(), pw.begin(), pw.end());
            const ToolResult r = tool(args);
            ASSERT_EQ(r.status, 0) << r.err;
        };
        run({"create", table_, "n:int", "m:memo"});
        run({"append", table_, "[1,\"" + std::string(1200, 'q') + "\"]"});
        run({"append", table_, "[2,\"short\"]"});
        if (withFreeBlocks) run({"write", table_, "1", "[null,\"x\"]"});
        password_ = password;
    }

    ToolResult check() {
        std::vector<std::string> args = {"check", table_};
        if (!password_.empty()) args.insert(args.end(), {"--password", password_});
        return tool(args);
    }

    void patchMemo(std::int64_t offset, std::int32_t value) {
        patchWord(memo_, offset, value, password_);
    }

    void SetUp() override {
        EdbtoolTest::SetUp();
        table_ = path("c.edb");
        memo_ = path("c.EDT");
    }

    std::string table_;
    std::string memo_;
    std::string password_;
};

TEST_F(EdbtoolCheck, SoundTablesPass) {
    build(true);
    const ToolResult r = check();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, table_ + ": no problems found\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(wordIn(readBytes(memo_), kFreeCount), 2);
}

TEST_F(EdbtoolCheck, ChainsOfMarkedRecordsStillBelongToThem) {
    build(false);
    ASSERT_EQ(tool({"delete", table_, "1"}).status, 0);
    EXPECT_EQ(check().status, 0);
}

TEST_F(EdbtoolCheck, OnlyTheFreeListHeadMayKeepAnOldPreviousWord) {
    build(true);
    // Taking the first free block leaves the next one's previous word as it
    // was; that is no damage.
    patchMemo(prevOf(2), 4);
    EXPECT_EQ(check().status, 0);
    patchMemo(prevOf(3), 4);
    const ToolResult r = check();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, table_ + ": free block 3 names 4 as its previous block instead of 2\n");
}

struct Damage {
    const char* name;
    bool withFreeBlocks;
    std::function<void(EdbtoolCheck&)> apply;
    std::vector<std::string> expected;  // lines of the report, in order
    int code;
};

class EdbtoolCheckDamage : public EdbtoolCheck, public ::testing::WithParamInterface<Damage> {
  public:
    void patch(std::int64_t offset, std::int32_t value) { patchMemo(offset, value); }
    void cutMemo(std::size_t bytes) {
        const std::string m = readBytes(memo_);
        writeBytes(memo_, m.substr(0, m.size() - bytes));
    }
    void patchTable(std::int64_t offset, std::int32_t value) {
        patchWord(table_, offset, value, password_);
    }
};

void expectReport(const ToolResult& r, const std::string& file, const Damage& d) {
    EXPECT_EQ(r.status, 1);
    std::string want;
    for (const auto& l : d.expected) want += file + ": " + l + "\n";
    EXPECT_EQ(r.out, want);
    EXPECT_EQ(r.err.substr(0, r.err.find(' ', 9 + file.size() + 2)),
              "edbtool: " + file + ": " + std::to_string(d.code));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_P(EdbtoolCheckDamage, IsFoundInAPlainTable) {
    build(GetParam().withFreeBlocks);
    GetParam().apply(*this);
    expectReport(check(), table_, GetParam());
}

TEST_P(EdbtoolCheckDamage, IsFoundInAProtectedTable) {
    build(GetParam().withFreeBlocks, "583027");
    GetParam().apply(*this);
    expectReport(check(), table_, GetParam());
}

const std::string kChain1 = "record 1 field 2 \"m\": ";
const std::string kChain2 = "record 2 field 2 \"m\": ";

INSTANTIATE_TEST_SUITE_P(
    Memo, EdbtoolCheckDamage,
    ::testing::Values(
        Damage{"Loop",
               false,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(nextOf(3), 1); },
               {kChain1 + "block 3 holds 200 bytes but is not the last block of its chain",
                kChain1 + "the chain loops back to block 1"},
               -37},
        Damage{"OutsideAndOrphan",
               false,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(nextOf(2), 9); },
               {kChain1 + "the chain leads to block 9, outside the memo file's 5 blocks",
                "warning: block 3 is neither free nor in any chain"},
               -37},
        Damage{"UsedCounts",
               false,
               [](EdbtoolCheck& t) {
                   auto& d = static_cast<EdbtoolCheckDamage&>(t);
                   d.patch(usedOf(2), 501);
                   d.patch(usedOf(4), 0);
               },
               {kChain1 + "block 2 says 501 bytes used, not 1 to 500",
                kChain2 + "block 4 says 0 bytes used, not 1 to 500"},
               -37},
        Damage{"DataAfterUsed",
               false,
               [](EdbtoolCheck& t) {
                   static_cast<EdbtoolCheckDamage&>(t).patch(4 * kBlock + 12 + 8, 0x100);
               },
               {kChain2 + "block 4 has non-zero bytes after its 5 used bytes"},
               -37},
        Damage{"PreviousPointer",
               false,
               [](EdbtoolCheck& t) {
                   auto& d = static_cast<EdbtoolCheckDamage&>(t);
                   d.patch(prevOf(2), 3);
                   d.patch(prevOf(4), 1);
               },
               {kChain1 + "block 2 names 3 as its previous block instead of 1",
                kChain2 + "block 4 names 1 as its previous block instead of 0"},
               -37},
        Damage{"FreeCountLow",
               true,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(kFreeCount, 1); },
               {"the free list holds 2 blocks but the header counts 1"},
               -37},
        Damage{"FreeBlockInUse",
               true,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(usedOf(3), 7); },
               {"free block 3 says 7 bytes used, not 0"},
               -37},
        Damage{"FreeListLoop",
               true,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(nextOf(3), 2); },
               {"the free list loops back to block 2"},
               -37},
        Damage{"FreeAndInChain",
               true,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(nextOf(3), 4); },
               {"free block 4 is also in the chain of record 2 field 2 \"m\""},
               -37},
        Damage{"TruncatedMemoFile",
               false,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).cutMemo(512); },
               {"the memo file holds 4 blocks but its header counts 5",
                kChain2 + "the chain leads to block 4, outside the memo file's 4 blocks"},
               -37},
        Damage{"CutInsideABlock",
               false,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).cutMemo(100); },
               {"the memo file's length 2460 is not a whole number of 512-byte blocks",
                "the memo file holds 4 blocks but its header counts 5",
                kChain2 + "the chain leads to block 4, outside the memo file's 4 blocks"},
               -37},
        Damage{"RecordCountTooHigh",
               false,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patchTable(16, 3); },
               {"the file holds 2 whole record slots but the header counts 3"},
               -48},
        Damage{"SharedIdAndBadField",
               false,
               [](EdbtoolCheck& t) {
                   auto& d = static_cast<EdbtoolCheckDamage&>(t);
                   d.patchTable(116 + 72 + 28 - 4, 12);  // field 2 offset
                   d.patchTable(116 + 2 * 72 + 12, 1);   // record 2 id
               },
               {"field 2 \"m\": bytes 12 to 15 reach past the record size 12",
                "records 1 and 2 share the id 1 but differ",
                "warning: blocks 1 to 4 are neither free nor in any chain"},
               -22}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST_F(EdbtoolCheck, WrongPasswordIsNotDamage) {
    build(false, "583027");
    password_ = "583028";
    const ToolResult r = check();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, failureLine(table_, -78));
}

// ---- what stopped operations leave: warnings, and repair ----------------------

class EdbtoolRepair : public EdbtoolCheck {
  protected:
    ToolResult repair() {
        std::vector<std::string> args = {"repair", table_};
        if (!password_.empty()) args.insert(args.end(), {"--password", password_});
        return tool(args);
    }
    std::string bothFiles() { return readBytes(table_) + "|" + readBytes(memo_); }
    std::string dump() {
        std::vector<std::string> args = {"dump", table_};
        if (!password_.empty()) args.insert(args.end(), {"--password", password_});
        const ToolResult r = tool(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    // The lines of a report, each "FILE: line".
    std::string report(const std::vector<std::string>& lines) {
        std::string out;
        for (const auto& l : lines) out += table_ + ": " + l + "\n";
        return out;
    }
};

TEST_F(EdbtoolRepair, AStoppedAppendIsAWarningAndRepairUndoesIt) {
    build(false, "583027");
    const std::string before = bothFiles();
    const std::string records = dump();
    ASSERT_EQ(
        tool({"append", table_, "--password", "583027", "[3,\"" + std::string(600, 'z') + "\"]"})
            .status,
        0);
    // The count and next id the append wrote are taken back, as if it had
    // stopped just before writing them.
    patchWord(table_, 16, 2, password_);
    patchWord(table_, 20, 3, password_);

    ToolResult r = check();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, report({"warning: 12 bytes follow the last record slot",
                             "warning: blocks 5 to 6 are neither free nor in any chain",
                             "no damage found; 2 warnings: run edbtool repair"}));
    EXPECT_EQ(dump(), records);

    r = repair();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, report({"cut the 12 bytes that followed the last record slot",
                             "cut leaked blocks 5 to 6 off the end of the memo file", "repaired"}));
    EXPECT_EQ(bothFiles(), before);
    EXPECT_EQ(check().out, report({"no problems found"}));
    r = repair();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, report({"nothing to repair"}));
}

TEST_F(EdbtoolRepair, DamageIsRefusedAndNothingChanges) {
    build(false);
    patchMemo(nextOf(3), 1);
    const std::string before = bothFiles();
    const ToolResult c = check();
    const ToolResult r = repair();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out + report({"repair refused: repair cannot mend this damage safely; "
                                     "nothing was changed"}));
    EXPECT_EQ(r.err, failureLine(table_, -37));
    EXPECT_EQ(bothFiles(), before);
}

TEST_F(EdbtoolRepair, IsOnTheHelpPage) {
    const ToolResult r = tool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("  edbtool repair FILE [--password P]\n"), std::string::npos);
}

// info reads the header words the operations do not show by the same rules
// as open and check: a damaged header fails all of them with one code.
TEST_F(EdbtoolRepair, InfoAndCheckAgreeOnDamagedHeaders) {
    struct Case {
        const char* name;
        bool memo;  // the edit is to the memo file
        std::int64_t offset;
        std::int32_t value;
        int code;  // 0: both accept it
    };
    const Case cases[] = {
        {"version", false, 4, 0x10001, -23},
        {"record size", false, 24, 0x7FFFFFFF, -22},
        {"field inside the id", false, 116 + 72 + 24, 2, -22},
        {"fields sharing bytes", false, 116 + 72 + 24, 6, -22},
        {"memo block count", true, 16, 0, -35},
        {"memo version", true, 4, 7, -36},
        {"memo free count", true, kFreeCount, 5, -35},
        {"older version", false, 4, 0xFFFF, -36},  // the memo file's no longer matches
    };
    build(false, "583027");
    const std::string table = readBytes(table_), memo = readBytes(memo_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(table_, table);
        writeBytes(memo_, memo);
        patchWord(c.memo ? memo_ : table_, c.offset, c.value, password_);
        const ToolResult info = tool({"info", table_, "--password", password_});
        const ToolResult checked = check();
        EXPECT_EQ(info.status, c.code == 0 ? 0 : 1);
        EXPECT_EQ(checked.status, c.code == 0 ? 0 : 1);
        if (c.code != 0) {
            EXPECT_EQ(info.err, failureLine(table_, c.code));
            EXPECT_EQ(checked.err, failureLine(table_, c.code));
        }
    }
}

}  // namespace
