// Restores: all four tables back as the backup holds them, the tables as
// they were kept in a backup first, nothing changed when a step fails, and a
// restore stopped at any point finished or undone at the next start.
#include "restore.h"

#include "backup.h"
#include "backup_fixture.h"
#include "fault_fs.h"
#include "file_ops.h"

namespace backup::testing {
namespace {

class Restores : public BackupTest {
  protected:
    // State A in a backup; then state B in the tables (more entries, a
    // customer, another settings record byte).
    void SetUp() override {
        BackupTest::SetUp();
        makeTables();
        addEntry(1);
        addEntry(2);
        BackupRequest request;
        request.tablesDir = dir_;
        request.root = at("备份");
        request.clock = &clock_;
        const BackupOutcome made = makeBackup(request);
        ASSERT_TRUE(made.failure.ok());
        backup_ = made.made.path;
        stateA_ = tables();
        addEntry(3);
        addCustomer("陈老板");
        stateB_ = tables();
        clock_.set({2024, 3, 2, 8, 0, 0});
    }

    RestoreOutcome restore(const std::string& from) {
        RestoreRequest request;
        request.tablesDir = dir_;
        request.backupPath = from;
        request.clock = &clock_;
        return restoreBackup(request);
    }

    // The files beside the tables that the program and the restore care about.
    std::map<std::string, std::string> tables() const {
        auto all = snapshot(dir_);
        all.erase(std::string(kJournalFile));
        return all;
    }
    bool leftovers() const {
        return detail::isFile(at(kJournalFile)) || detail::isFolder(at(kStagingFolder));
    }

    std::string backup_;
    std::map<std::string, std::string> stateA_, stateB_;
};

TEST_F(Restores, PutsTheBackupBackAndKeepsTheTablesAsTheyWere) {
    const RestoreOutcome r = restore(backup_);
    ASSERT_TRUE(r.failure.ok()) << r.failure.text();
    EXPECT_FALSE(r.pending);
    EXPECT_EQ(tables(), stateA_);
    EXPECT_FALSE(leftovers());
    EXPECT_EQ(amounts(at("记账.edb")), (std::vector<double>{1, 2}));
    // The tables as they were, in a backup of their own.
    EXPECT_EQ(r.before.name, "20240302-080000");
    EXPECT_TRUE(readBackup(r.before.path).verified);
    auto before = snapshot(r.before.path);
    before.erase(std::string(kListingFile));
    EXPECT_EQ(before, stateB_);
}

TEST_F(Restores, OnlyAVerifiedBackup) {
    std::filesystem::remove(u8(detail::join(backup_, kListingFile)));
    const RestoreOutcome r = restore(backup_);
    EXPECT_EQ(r.failure.step, Failure::Step::NotVerified);
    EXPECT_EQ(tables(), stateB_);
    EXPECT_EQ(listBackups(at("备份")).size(), 1u);
}

TEST_F(Restores, ATableTheBackupLacksStaysAsItIs) {
    // A backup made while the project table was not there.
    const std::string projects = readBytes(at("项目.edb"));
    std::filesystem::remove(u8(at("项目.edb")));
    clock_.set({2024, 3, 1, 12, 0, 0});
    BackupRequest request{dir_, at("备份"), {}, &clock_, kKeepBackups};
    const BackupOutcome made = makeBackup(request);
    ASSERT_TRUE(made.failure.ok());
    writeBytes(at("项目.edb"), projects);
    addEntry(9);

    const RestoreOutcome r = restore(made.made.path);
    ASSERT_TRUE(r.failure.ok()) << r.failure.text();
    EXPECT_EQ(r.kept, std::vector<std::string>{"项目.edb"});
    EXPECT_EQ(readBytes(at("项目.edb")), projects);
    EXPECT_EQ(amounts(at("记账.edb")), (std::vector<double>{1, 2, 3}));
}

TEST_F(Restores, ACopyThatFailsChangesNothing) {
    tables::testing::FaultFileSystem fs;
    tables::testing::ScopedFileSystem use(fs);
    fs.failWritesAfter(700);  // part-way through staging the ledger's copy
    const RestoreOutcome r = restore(backup_);
    EXPECT_EQ(r.failure.step, Failure::Step::Stage);
    EXPECT_EQ(r.failure.code, tables::kDiskFull);
    EXPECT_FALSE(r.pending);
    EXPECT_EQ(tables(), stateB_);
    EXPECT_FALSE(leftovers());
    EXPECT_EQ(fs.openFiles(), 0);
    EXPECT_TRUE(fs.heldLocks().empty());
}

TEST_F(Restores, ADamagedBackupCopyChangesNothing) {
    // The backup's ledger copy loses its last bytes: fewer slots than counted.
    const std::string ledger = detail::join(backup_, "记账.edb");
    const std::string bytes = readBytes(ledger);
    writeBytes(ledger, bytes.substr(0, bytes.size() - 10));
    const RestoreOutcome r = restore(backup_);
    EXPECT_EQ(r.failure.step, Failure::Step::Verify);
    EXPECT_EQ(r.failure.file, "记账.edb");
    EXPECT_EQ(tables(), stateB_);
    EXPECT_FALSE(leftovers());
}

TEST_F(Restores, ASwapThatFailsOnceIsUndone) {
    StoppingFileSystem fs;
    // The second table to be replaced refuses its first write; putting the
    // first one back works.
    fs.failSuffix = at("设置.edb");
    fs.failWrites = true;
    fs.failuresLeft = 1;
    const RestoreOutcome r = restore(backup_);
    EXPECT_EQ(r.failure.step, Failure::Step::Swap);
    EXPECT_EQ(r.failure.file, "设置.edb");
    EXPECT_FALSE(r.pending);
    EXPECT_EQ(tables(), stateB_);
    EXPECT_FALSE(leftovers());
}

TEST_F(Restores, ASwapThatCannotBeUndoneIsFinishedAtTheNextStart) {
    {
        StoppingFileSystem fs;
        fs.failSuffix = at("设置.edb");
        fs.failWrites = true;
        const RestoreOutcome r = restore(backup_);
        EXPECT_EQ(r.failure.step, Failure::Step::Swap);
        EXPECT_TRUE(r.pending);
        EXPECT_TRUE(detail::isFile(at(kJournalFile)));
        // While it is pending nothing else is restored over it.
        const RestoreOutcome again = restore(backup_);
        EXPECT_EQ(again.failure.step, Failure::Step::Pending);
    }
    const RecoveryOutcome next = recoverRestore(dir_);
    EXPECT_EQ(next.result, Recovery::Completed);
    EXPECT_EQ(tables(), stateA_);
    EXPECT_FALSE(leftovers());
    EXPECT_EQ(recoverRestore(dir_).result, Recovery::Nothing);
}

TEST_F(Restores, StoppedAtAnyChangeItIsFinishedOrUndoneAtTheNextStart) {
    // Count the changes of an undisturbed restore, then stop one at each.
    const auto beforeAny = snapshot(dir_);
    long total = 0;
    {
        StoppingFileSystem fs;
        ASSERT_TRUE(restore(backup_).failure.ok());
        total = fs.changes;
    }
    ASSERT_GT(total, 20);
    const std::string original = at("原备份");
    std::filesystem::copy(u8(backup_), u8(original), std::filesystem::copy_options::recursive);
    int finished = 0, undone = 0;
    for (long stop = 0; stop < total; ++stop) {
        SCOPED_TRACE(stop);
        // Back to state B, with no backup but the original one.
        std::filesystem::remove_all(u8(at("备份")));
        std::filesystem::create_directories(u8(at("备份")));
        std::filesystem::copy(u8(original), u8(backup_), std::filesystem::copy_options::recursive);
        for (const auto& [name, bytes] : beforeAny) writeBytes(at(name), bytes);
        ASSERT_EQ(tables(), stateB_);
        {
            StoppingFileSystem fs;
            fs.stopAt = stop;
            EXPECT_THROW((void)restore(backup_), Crash);
        }
        const RecoveryOutcome next = recoverRestore(dir_);
        ASSERT_NE(next.result, Recovery::Failed) << next.failure.text();
        const auto now = tables();
        ASSERT_TRUE(now == stateA_ || now == stateB_);
        if (now == stateA_)
            ++finished;
        else
            ++undone;
        EXPECT_FALSE(leftovers());
    }
    // Both ends occur: stopped before the journal is undone, after it finished.
    EXPECT_GT(finished, 0);
    EXPECT_GT(undone, 0);
}

}  // namespace
}  // namespace backup::testing
