// Backups and restores of a ledger of 100,000 entries (the tables in the
// page cache; each copy is flushed to the device, as the program does).
// Target: one backup (copy under the locks, open and check of every copy,
// listing, rotation) <= 0.5 s.
#include <benchmark/benchmark.h>

#include "backup.h"
#include "backup_data.h"
#include "restore.h"

namespace {

bench_backup::TableFolder& folder() {
    static bench_backup::TableFolder made("lanhe_backup_bench", 100000);
    return made;
}

void BM_Backup100k(benchmark::State& state) {
    const std::string dir = folder().path();
    const std::string root = dir + "/备份";
    backup::FixedClock clock({2024, 3, 1, 9, 30, 0});
    for (auto _ : state) {
        const backup::BackupOutcome made = backup::makeBackup({dir, root, {}, &clock, 30});
        if (!made.failure.ok()) state.SkipWithError(made.failure.text().c_str());
        state.PauseTiming();
        std::filesystem::remove_all(root);
        state.ResumeTiming();
    }
}

// A restore: stage and check the backup's copies, back up the tables as they
// are, journal, swap in place.
void BM_Restore100k(benchmark::State& state) {
    const std::string dir = folder().path();
    const std::string root = dir + "/备份";
    backup::FixedClock clock({2024, 3, 1, 9, 30, 0});
    std::filesystem::remove_all(root);
    const backup::BackupOutcome made = backup::makeBackup({dir, root, {}, &clock, 30});
    if (!made.failure.ok()) {
        state.SkipWithError(made.failure.text().c_str());
        return;
    }
    for (auto _ : state) {
        backup::RestoreRequest request;
        request.tablesDir = dir;
        request.backupPath = made.made.path;
        request.clock = &clock;
        const backup::RestoreOutcome r = backup::restoreBackup(request);
        if (!r.failure.ok()) state.SkipWithError(r.failure.text().c_str());
        state.PauseTiming();
        std::filesystem::remove_all(r.before.path);
        state.ResumeTiming();
    }
    std::filesystem::remove_all(root);
}

BENCHMARK(BM_Backup100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
