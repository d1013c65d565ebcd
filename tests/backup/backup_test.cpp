// Backups: what a backup folder holds, the rotation, the checks that fail a
// backup (and leave nothing behind), the second place, and backups taken
// while another process appends.
#include "backup.h"

#include <algorithm>

#include "backup_fixture.h"
#include "fault_fs.h"
#include "file_ops.h"
#include "scramble.h"
#include "table_file.h"
#include "table_layout.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace backup::testing {
namespace {

using tables::testing::FaultFileSystem;
using tables::testing::ScopedFileSystem;

class Backups : public BackupTest {
  protected:
    BackupOutcome backUp(const std::string& second = {}) {
        BackupRequest request;
        request.tablesDir = dir_;
        request.root = root();
        request.secondRoot = second;
        request.clock = &clock_;
        return makeBackup(request);
    }
    std::string root() const { return at("备份"); }
    void tick(int seconds) {
        LocalTime t = clock_.now();
        const double next = toDateTime(t) + seconds / 86400.0;
        clock_.set(fromDateTime(next));
    }
};

TEST_F(Backups, AFolderOfRawCopiesWithAListingThatNamesWhatWasMissing) {
    makeTables();
    addEntry(35);
    addEntry(48);
    addCustomer("李丽");
    std::filesystem::remove(u8(at("项目.edb")));

    const BackupOutcome made = backUp();
    ASSERT_TRUE(made.failure.ok()) << made.failure.text();
    EXPECT_EQ(made.made.name, "20240301-093000");
    EXPECT_EQ(folders(root()), std::vector<std::string>{"20240301-093000"});

    // The copies are the tables' bytes, unchanged.
    const auto now = snapshot(dir_);
    const auto copied = snapshot(made.made.path);
    for (const char* name : {"记账.edb", "设置.edb", "客户.EDB"})
        EXPECT_EQ(copied.at(name), now.at(name)) << name;
    EXPECT_EQ(copied.count("项目.edb"), 0u);

    // The listing says what it holds, and that the project table was not there.
    const std::string listing = copied.at("清单.txt");
    EXPECT_NE(listing.find("缺少\t项目.edb\t备份时程序旁没有这个表"), std::string::npos);
    const BackupInfo read = readBackup(made.made.path);
    EXPECT_TRUE(read.verified);
    EXPECT_EQ(read.time, (LocalTime{2024, 3, 1, 9, 30, 0}));
    EXPECT_EQ(read.ledgerEntries(), 2);
    EXPECT_EQ(read.customerCount(), 1);
    EXPECT_EQ(read.totalBytes(),
              std::int64_t(now.at("记账.edb").size() + now.at("设置.edb").size() +
                           now.at("客户.EDB").size()));
    ASSERT_NE(read.table("项目.edb"), nullptr);
    EXPECT_FALSE(read.table("项目.edb")->present);
}

TEST_F(Backups, ListingsCutShortAreNotVerified) {
    BackupInfo info;
    info.time = {2024, 3, 1, 9, 30, 0};
    info.tables = {{"记账.edb", true, 548, 3, "", 0}, {"项目.edb", false, 0, 0, "", 0}};
    const std::string text = listingText(info);
    BackupInfo back;
    ASSERT_TRUE(parseListing(text, back));
    EXPECT_TRUE(back.verified);
    EXPECT_EQ(back.ledgerEntries(), 3);
    ASSERT_EQ(back.tables.size(), 2u);
    EXPECT_FALSE(back.tables[1].present);
    // Any cut before its last line (a stop while it was written).
    for (std::size_t cut : {text.size() - 1, text.size() - 3, text.size() / 2}) {
        ASSERT_TRUE(parseListing(text.substr(0, cut), back)) << cut;
        EXPECT_FALSE(back.verified) << cut;
    }
    EXPECT_FALSE(parseListing("something else\n核对\t通过\n", back));
}

TEST_F(Backups, OnlyAVerifiedBackupMarksItsDay) {
    makeTables();
    EXPECT_FALSE(backedUpOn(root(), clock_.now()));
    ASSERT_TRUE(backUp().failure.ok());
    EXPECT_TRUE(backedUpOn(root(), {2024, 3, 1, 23, 59, 59}));
    EXPECT_FALSE(backedUpOn(root(), {2024, 3, 2, 0, 0, 0}));
    EXPECT_FALSE(backedUpOn(root(), {2025, 3, 1, 9, 30, 0}));
    // A folder of the day without its listing (a backup that stopped) does not count.
    std::filesystem::create_directories(u8(detail::join(root(), "20240302-080000")));
    EXPECT_FALSE(backedUpOn(root(), {2024, 3, 2, 12, 0, 0}));
}

TEST_F(Backups, TwoInOneSecondGetTwoFolders) {
    makeTables();
    ASSERT_TRUE(backUp().failure.ok());
    const BackupOutcome second = backUp();
    ASSERT_TRUE(second.failure.ok());
    EXPECT_EQ(second.made.name, "20240301-093000-2");
    const auto listed = listBackups(root());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "20240301-093000-2");  // newest first
}

TEST_F(Backups, KeepsTheThirtyNewest) {
    makeTables();
    for (int i = 0; i < 32; ++i) {
        addEntry(i);
        ASSERT_TRUE(backUp().failure.ok()) << i;
        tick(3600);
    }
    const auto listed = listBackups(root());
    ASSERT_EQ(listed.size(), 30u);
    // The two oldest went; the newest holds every entry.
    EXPECT_EQ(listed.back().ledgerEntries(), 3);
    EXPECT_EQ(listed.front().ledgerEntries(), 32);
    // Something beside them that is no backup is never touched.
    std::filesystem::create_directories(u8(detail::join(root(), "留着")));
    rotateBackups(root(), 1);
    EXPECT_EQ(listBackups(root()).size(), 1u);
    EXPECT_EQ(folders(root()).size(), 2u);
}

TEST_F(Backups, NeverRemovesTheNewestVerifiedOne) {
    makeTables();
    ASSERT_TRUE(backUp().failure.ok());
    const std::string verified = listBackups(root()).front().name;
    // Thirty newer folders that never got their listing.
    for (int i = 0; i < 30; ++i) {
        tick(60);
        std::filesystem::create_directories(u8(detail::join(root(), folderName(clock_.now()))));
    }
    tick(60);
    std::filesystem::create_directories(u8(detail::join(root(), folderName(clock_.now()))));
    rotateBackups(root(), kKeepBackups);
    const auto listed = listBackups(root());
    EXPECT_EQ(listed.size(), 31u);
    EXPECT_EQ(listed.back().name, verified);
    EXPECT_TRUE(listed.back().verified);
}

TEST_F(Backups, ADamagedTableFailsTheBackupAndLeavesNoFolder) {
    makeTables();
    addEntry(1);
    addEntry(2);
    // The second record's id becomes 0: damage, not something a stopped
    // operation leaves.
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(at("记账.edb"), tables::kAccessPassword));
        const std::int64_t slot = t.dataStart() + t.recordSize();
        t.close();
        auto fs = tables::currentFileSystem().open(at("记账.edb"), {}, nullptr);
        ASSERT_TRUE(fs);
        std::uint8_t plain[4] = {0, 0, 0, 0};
        tables::Scrambler scrambler(tables::kAccessPassword);
        scrambler.apply(slot, plain, 4);
        ASSERT_EQ(fs->writeAt(slot, plain, 4), 0);
    }
    const auto before = snapshot(dir_);
    const BackupOutcome made = backUp();
    EXPECT_EQ(made.failure.step, Failure::Step::Verify);
    EXPECT_EQ(made.failure.file, "记账.edb");
    EXPECT_EQ(made.failure.code, tables::kNotATable);
    EXPECT_EQ(made.failure.text(), "记账.edb 的副本核对不通过：指定文件不是数据库文件");
    EXPECT_TRUE(folders(root()).empty());
    EXPECT_EQ(snapshot(dir_), before);
}

TEST_F(Backups, LeftoversOfAStoppedAppendDoNotFailIt) {
    makeTables();
    addEntry(1);
    // Bytes after the last counted slot: an append that stopped before its count.
    writeBytes(at("记账.edb"), readBytes(at("记账.edb")) + std::string(100, '\x5a'));
    const BackupOutcome made = backUp();
    ASSERT_TRUE(made.failure.ok()) << made.failure.text();
    EXPECT_EQ(made.made.ledgerEntries(), 1);
}

TEST_F(Backups, AFullDiskFailsTheBackupAndLeavesNoFolder) {
    makeTables();
    for (int i = 0; i < 20; ++i) addEntry(i);
    FaultFileSystem fs;
    ScopedFileSystem use(fs);
    fs.failWritesAfter(3000);
    const BackupOutcome made = backUp();
    EXPECT_EQ(made.failure.step, Failure::Step::Copy);
    EXPECT_EQ(made.failure.code, tables::kDiskFull);
    EXPECT_EQ(made.failure.text(), "复制 记账.edb 出错：磁盘空间不够");
    EXPECT_TRUE(folders(root()).empty());
    EXPECT_EQ(fs.openFiles(), 0);
    EXPECT_TRUE(fs.heldLocks().empty());
}

TEST_F(Backups, ATableLockedElsewhereFailsAfterWaiting) {
    makeTables();
    FaultFileSystem fs;
    ScopedFileSystem use(fs);
    fs.useFakeClock();
    // Another holder of the customer table's whole range (another process
    // half-way through a purge).
    auto other = tables::systemFileSystem().open(at("客户.EDB"), {}, nullptr);
    ASSERT_TRUE(other);
    ASSERT_EQ(other->lock(0, tables::layout::kWholeRange), 0);
    const BackupOutcome made = backUp();
    EXPECT_EQ(made.failure.step, Failure::Step::Lock);
    EXPECT_EQ(made.failure.file, "客户.EDB");
    EXPECT_GE(fs.counts().sleptMs, 2000);
    EXPECT_TRUE(folders(root()).empty());
    EXPECT_TRUE(fs.heldLocks().empty());
}

TEST_F(Backups, TheSecondPlaceGetsAVerifiedCopy) {
    makeTables();
    addEntry(7);
    const std::string second = at("U盘");
    const BackupOutcome made = backUp(second);
    ASSERT_TRUE(made.failure.ok());
    ASSERT_TRUE(made.secondFailure.ok()) << made.secondFailure.text();
    const auto there = listBackups(second);
    ASSERT_EQ(there.size(), 1u);
    EXPECT_TRUE(there[0].verified);
    EXPECT_EQ(there[0].name, made.made.name);
    EXPECT_EQ(snapshot(there[0].path), snapshot(made.made.path));
}

TEST_F(Backups, ASecondPlaceThatFailsKeepsTheBackup) {
    makeTables();
    // A file where the folder should be.
    writeBytes(at("U盘"), "not a folder");
    const BackupOutcome made = backUp(at("U盘"));
    ASSERT_TRUE(made.failure.ok());
    EXPECT_EQ(made.secondFailure.step, Failure::Step::Folder);
    EXPECT_EQ(listBackups(root()).size(), 1u);

    // A copy that fails part-way leaves nothing half-made there.
    const std::string second = at("第二处");
    std::filesystem::create_directories(u8(second));
    FaultFileSystem fs;
    ScopedFileSystem use(fs);
    tick(1);
    fs.failOpen(tables::kAccessDenied, "第二处/" + folderName(clock_.now()) + "/清单.txt", true);
    const BackupOutcome again = backUp(second);
    EXPECT_TRUE(again.failure.ok());
    EXPECT_EQ(again.secondFailure.step, Failure::Step::Listing);
    EXPECT_TRUE(folders(second).empty());
}

TEST_F(Backups, NoTablesNoBackup) {
    const BackupOutcome made = backUp();
    EXPECT_TRUE(made.nothingToBackUp);
    EXPECT_FALSE(std::filesystem::exists(u8(root())));
}

#ifndef _WIN32
TEST_F(Backups, TakenWhileAnotherProcessAppendsEachHoldsAPrefix) {
    makeTables();
    constexpr int kAppends = 400;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0; i < kAppends; ++i) {
            for (int tries = 0;; ++tries) {
                tables::TableFile t;
                if (t.open(at("记账.edb"), tables::kAccessPassword) &&
                    t.append({tables::TableValue::dateTime(45352), tables::TableValue::text("x"),
                              tables::TableValue::text("y"), tables::TableValue::number(i)}))
                    break;
                const tables::TableError e = tables::lastTableError();
                // Only the backup's lock may stop an append, for a while.
                if ((e != tables::kLockViolation && e != tables::kSharingViolation) ||
                    tries > 100000)
                    ::_exit(10);
            }
        }
        ::_exit(0);
    }
    int backups = 0;
    std::size_t longest = 0;
    int childStatus = -1;
    for (bool running = true; running;) {
        const pid_t ended = ::waitpid(child, &childStatus, WNOHANG);
        running = ended == 0;
        const BackupOutcome made = backUp();
        ASSERT_TRUE(made.failure.ok()) << made.failure.text();
        ++backups;
        const std::vector<double> got = amounts(detail::join(made.made.path, "记账.edb"));
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], double(i)) << backups;
        EXPECT_EQ(made.made.ledgerEntries(), std::int32_t(got.size()));
        EXPECT_GE(got.size(), longest);
        longest = got.size();
        tick(1);
    }
    ASSERT_TRUE(WIFEXITED(childStatus));
    EXPECT_EQ(WEXITSTATUS(childStatus), 0);
    // The last one, taken after the appends ended, holds them all.
    EXPECT_EQ(longest, std::size_t(kAppends));
    EXPECT_GE(backups, 2);
}
#endif

}  // namespace
}  // namespace backup::testing
