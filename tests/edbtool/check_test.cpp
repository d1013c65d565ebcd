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
                "block 3 is neither free nor in any chain"},
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
        Damage{"FreeCountHigh",
               true,
               [](EdbtoolCheck& t) { static_cast<EdbtoolCheckDamage&>(t).patch(kFreeCount, 3); },
               {"the free list holds 2 blocks but the header counts 3"},
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
        Damage{"LostFreeList",
               true,
               [](EdbtoolCheck& t) {
                   auto& d = static_cast<EdbtoolCheckDamage&>(t);
                   d.patch(kFirstFree, 0);
                   d.patch(kFreeCount, 0);
               },
               {"blocks 2 to 3 are neither free nor in any chain"},
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
        Damage{
            "SharedIdAndBadField",
            false,
            [](EdbtoolCheck& t) {
                auto& d = static_cast<EdbtoolCheckDamage&>(t);
                d.patchTable(116 + 72 + 28 - 4, 12);  // field 2 offset
                d.patchTable(116 + 2 * 72 + 12, 1);   // record 2 id
            },
            {"field 2 \"m\": bytes 12 to 15 reach past the record size 12",
             "records 1 and 2 share the id 1", "blocks 1 to 4 are neither free nor in any chain"},
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

}  // namespace
