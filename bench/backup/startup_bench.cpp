// The program's start-up with the day's backup due, on a ledger of 100,000
// entries: from the start of Shell::start() (working folder, main bar,
// single-instance check, an unfinished restore looked for, hot key, settings
// read, the backup, the recycle bin's old entries dropped) to the shown main
// bar. Target: < 1 s.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "backup_data.h"
#include "fake_platform.h"
#include "scripted_dialogs.h"
#include "shell.h"

namespace {

bench_backup::TableFolder& folder() {
    static bench_backup::TableFolder made("lanhe_startup_bench", 100000);
    return made;
}

void BM_StartWithBackupDue100k(benchmark::State& state) {
    const std::string dir = folder().path();
    ui::ScriptedDialogs dialogs;
    backup::FixedClock clock({2024, 3, 1, 9, 30, 0});
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir + "/备份");
        shell::platform::FakePlatform platform;
        auto shell = std::make_unique<shell::Shell>(
            platform, shell::ShellOptions{QString::fromStdString(dir), &clock});
        state.ResumeTiming();
        if (shell->start()) state.SkipWithError("did not start");
        QApplication::processEvents();
        state.PauseTiming();
        if (!dialogs.messages().isEmpty())
            state.SkipWithError(dialogs.messages().first().text.toStdString().c_str());
        if (backup::listBackups(dir + "/备份").size() != 1) state.SkipWithError("no backup");
        shell.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_StartWithBackupDue100k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
