// open() of a ledger-shaped table (the rules every open applies), open() of
// one whose header claims a 2 GB record (refused before anything is sized by
// it: the target is well within 2 s), and the check of a 100,000-record
// ledger. The files are made once per run in a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "file_io.h"
#include "scramble.h"
#include "table_check.h"
#include "table_file.h"

namespace {

namespace fs = std::filesystem;
using tables::FieldType;
using tables::TableFile;
using tables::TableValue;

constexpr std::string_view kPassword = tables::kAccessPassword;

fs::path gDir;
std::string gLedger, gHuge;

[[noreturn]] void die(const std::string& what) {
    std::cerr << "layout_bench: " << what << " (table error " << tables::lastTableError() << ")\n";
    std::exit(2);
}

// The ledger's six fields (names in GBK: 日期 客户 事件 金额 备注 状态).
std::vector<tables::FieldDescriptor> ledgerFields() {
    return {{"\xC8\xD5\xC6\xDA", FieldType::DateTime, 0, 0},
            {"\xBF\xCD\xBB\xA7", FieldType::Text, 0, 40},
            {"\xCA\xC2\xBC\xFE", FieldType::Text, 0, 100},
            {"\xBD\xF0\xB6\xEE", FieldType::Double, 0, 0},
            {"\xB1\xB8\xD7\xA2", FieldType::Text, 0, 200},
            {"\xD7\xB4\xCC\xAC", FieldType::Bool, 0, 0}};
}

void makeFiles() {
    gDir = fs::temp_directory_path() / ("layout_bench_" + std::to_string(std::rand()));
    fs::create_directories(gDir);
    gLedger = (gDir / "ledger.edb").string();
    if (tables::createTable(gLedger, kPassword, ledgerFields()) != tables::kOk)
        die("create " + gLedger);
    {
        TableFile t;
        if (!t.open(gLedger, kPassword)) die("open " + gLedger);
        for (int i = 0; i < 100000; ++i) {
            if (!t.append({TableValue::dateTime(45000 + i / 300),
                           TableValue::text("customer " + std::to_string(i % 23)),
                           TableValue::text("frame A4"), TableValue::number(i % 1000 * 1.5),
                           TableValue::text(i % 3 ? "delivered" : ""),
                           TableValue::boolean(i % 2 == 0)}))
                die("append");
        }
    }
    // A copy whose header claims 0x7FFFFFFF bytes per record.
    gHuge = (gDir / "huge.edb").string();
    fs::copy_file(gLedger, gHuge);
    tables::FileOpenRequest request;
    auto file = tables::currentFileSystem().open(gHuge, request, nullptr);
    if (!file) die("open " + gHuge);
    std::uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    tables::Scrambler(kPassword).apply(24, word, 4);
    if (file->writeAt(24, word, 4) != tables::kOk) die("patch " + gHuge);
}

void BM_Open_Ledger(benchmark::State& state) {
    for (auto _ : state) {
        TableFile t;
        if (!t.open(gLedger, kPassword)) die("open " + gLedger);
    }
}

void BM_Open_RefusesAHugeRecordSize(benchmark::State& state) {
    for (auto _ : state) {
        TableFile t;
        if (t.open(gHuge, kPassword).code() != tables::kNotATable) die("huge header opened");
    }
}

void BM_Check_Ledger100000(benchmark::State& state) {
    for (auto _ : state) {
        tables::CheckReport report;
        if (!tables::checkTable(gLedger, kPassword, report) || !report.findings.empty())
            die("check");
    }
}

}  // namespace

BENCHMARK(BM_Open_Ledger)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Open_RefusesAHugeRecordSize)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Check_Ledger100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    makeFiles();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(gDir, ec);
    return 0;
}
