// A full query list (10,000 rows, the most a list holds) written as a
// workbook and as CSV, from the rows to the finished file. Target: each at
// most 0.5 s.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "sheet.h"

namespace {

exporting::Sheet queryList(int rows) {
    using exporting::ColumnKind;
    exporting::Sheet s;
    s.name = "查询结果";
    s.columns = {{"序", ColumnKind::Number},   {"日期", ColumnKind::Date},
                 {"客户", ColumnKind::Text},   {"项目", ColumnKind::Text},
                 {"金额", ColumnKind::Amount}, {"状态", ColumnKind::Text},
                 {"备注", ColumnKind::Text}};
    const char* customers[] = {"王建国", "李伟", "张芳", "刘娜", "陈敏", "杨静", "赵丽", "黄强"};
    const char* items[] = {"照片冲印5寸", "相框A4", "装裱", "写真10寸", "喷绘", "证件照"};
    const char* remarks[] = {"", "", "加急", "数量2 尺寸1.2米X0.8米", "含框", "已付定金50"};
    std::mt19937 rng(5);
    double total = 0;
    for (int i = 0; i < rows; ++i) {
        const double amount = static_cast<double>(rng() % 4000) / 2.0 + 1.0;
        total += amount;
        char amountText[32];
        std::snprintf(amountText, sizeof amountText, "%.13g", amount);
        s.rows.push_back(
            {std::to_string(i + 1),
             "2024年" + std::to_string(1 + i % 12) + "月" + std::to_string(1 + i % 28) + "日",
             customers[rng() % 8], items[rng() % 6], amountText, rng() % 3 == 0 ? "已结" : "未结",
             remarks[rng() % 6]});
    }
    char totalText[32];
    std::snprintf(totalText, sizeof totalText, "%.13g", total);
    s.totals = {{"本页合计", "", "", "", totalText, "", ""}};
    return s;
}

std::string outPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("lanhe_export_bench_") + std::to_string(::getpid()) + name))
        .string();
}

void BM_Xlsx10000Rows(benchmark::State& state) {
    if (!exporting::xlsxAvailable()) {
        state.SkipWithError("built without libxlsxwriter");
        return;
    }
    const exporting::Sheet sheet = queryList(10000);
    const std::string path = outPath(".xlsx");
    for (auto _ : state) {
        if (exporting::writeXlsx(sheet, path) != exporting::WriteResult::Ok)
            state.SkipWithError("write");
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}

void BM_Csv10000Rows(benchmark::State& state) {
    const exporting::Sheet sheet = queryList(10000);
    const std::string path = outPath(".csv");
    for (auto _ : state) {
        if (exporting::writeCsv(sheet, path) != exporting::WriteResult::Ok)
            state.SkipWithError("write");
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}

BENCHMARK(BM_Xlsx10000Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Csv10000Rows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
