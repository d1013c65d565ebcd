// The ledger pages on large ledgers (offscreen, the table file in the page
// cache). Targets: 100,000 entries: keyword query from the click to the
// filled list and totals <= 80 ms, a one-month date-range query <= 60 ms,
// the entry page's day refill <= 50 ms, the statistics window from the menu
// entry to its first painting <= 200 ms; 1,000,000 entries: keyword query
// <= 700 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "business_figures.h"
#include "date_picker.h"
#include "entry_page.h"
#include "entry_page_actions.h"
#include "gbk.h"
#include "ledger_table.h"
#include "query_page.h"
#include "query_page_actions.h"
#include "report_list.h"
#include "scripted_dialogs.h"
#include "statistics_window.h"
#include "table_file.h"

namespace {

using tables::TableValue;

std::string gbk(const char* utf8) { return convert::utf8ToGbk(utf8).value(); }

// 2021-01-01 as days since 1899-12-30.
constexpr double kFirstDay = 44197.0;

// The keyword of the keyword benchmarks: one customer of 300.
constexpr const char* kCustomerKeyword = "王建国";

// A ledger of `entries` records, about 90 (100,000) or 270 (1,000,000) a
// day, 300 customers, 40 items, short remarks, a third settled.
class LedgerData {
  public:
    explicit LedgerData(int entries) : days_(entries <= 100000 ? 1100 : 3700) {
        dir_ = std::filesystem::temp_directory_path() /
               ("lanhe_ledger_bench_" + std::to_string(entries) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const auto path = (dir_ / ledger::kLedgerFileName).string();
        using tables::FieldType;
        const std::vector<tables::FieldDescriptor> fields{
            {std::string(ledger::field::日期), FieldType::DateTime, 0, 0},
            {std::string(ledger::field::客户), FieldType::Text, 0, 40},
            {std::string(ledger::field::事件), FieldType::Text, 0, 100},
            {std::string(ledger::field::金额), FieldType::Double, 0, 0},
            {std::string(ledger::field::备注), FieldType::Text, 0, 200},
            {std::string(ledger::field::状态), FieldType::Bool, 0, 0}};
        if (tables::createTable(path, ledger::kLedgerPassword, fields) != 0)
            throw std::runtime_error("create");

        const char* surnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
                                  "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗"};
        const char* given[] = {"建国", "伟", "芳", "娜", "敏", "静", "丽", "强",
                               "磊",   "军", "洋", "勇", "艳", "杰", "娟"};
        std::vector<std::string> customers;
        for (const char* s : surnames)
            for (const char* n : given) customers.push_back(gbk((std::string(s) + n).c_str()));
        std::vector<std::string> items;
        const char* kinds[] = {"照片冲印", "相框", "装裱",   "写真",
                               "喷绘",     "海报", "证件照", "婚纱照"};
        const char* sizes[] = {"5寸", "6寸", "7寸", "10寸", "A4"};
        for (const char* k : kinds)
            for (const char* z : sizes) items.push_back(gbk((std::string(k) + z).c_str()));
        const std::vector<std::string> remarks{"",
                                               "",
                                               "",
                                               gbk("加急"),
                                               gbk("数量2 尺寸1.2米X0.8米"),
                                               gbk("含框"),
                                               gbk("已付定金50"),
                                               gbk("送货上门")};

        tables::TableFile t;
        if (!t.open(path, ledger::kLedgerPassword)) throw std::runtime_error("open");
        std::mt19937 rng(20240305);
        for (int i = 0; i < entries; ++i) {
            const double date =
                kFirstDay + static_cast<double>(static_cast<long long>(i) * days_ / entries);
            const double amount = static_cast<double>(rng() % 4000) / 2.0 + 1.0;
            if (!t.append({TableValue::dateTime(date),
                           TableValue::text(customers[rng() % customers.size()]),
                           TableValue::text(items[rng() % items.size()]),
                           TableValue::number(amount),
                           TableValue::text(remarks[rng() % remarks.size()]),
                           TableValue::boolean(rng() % 3 == 0)})) {
                throw std::runtime_error("append");
            }
        }
        t.close();
    }
    ~LedgerData() { std::filesystem::remove_all(dir_); }

    const std::filesystem::path& dir() const { return dir_; }
    double middleDay() const { return kFirstDay + days_ / 2; }

  private:
    int days_;
    std::filesystem::path dir_;
};

LedgerData& data(int entries) {
    static std::map<int, std::unique_ptr<LedgerData>> made;
    auto& slot = made[entries];
    if (!slot) slot = std::make_unique<LedgerData>(entries);
    std::filesystem::current_path(slot->dir());
    return *slot;
}

// The query page bound to the ledger pages, answered by scripted dialogs.
struct QueryPageRig {
    ui::ScriptedDialogs dialogs;
    ledger::LedgerState state;
    ui::QueryPage page;
    QueryPageRig() {
        page.show();
        new ledger::QueryPageActions(page, state);  // owned by the page
        QApplication::processEvents();
    }
    // Shows the filled list as the operator would see it.
    void paint() {
        page.超级列表框统计->viewport()->repaint();
        QApplication::processEvents();
    }
};

void keywordQuery(benchmark::State& state, int entries, const char* keyword) {
    data(entries);
    QueryPageRig rig;
    rig.page.编辑框搜索->setText(QString::fromUtf8(keyword));
    for (auto _ : state) {
        rig.page.按钮模糊搜索->click();
        rig.paint();
    }
    state.counters["rows"] = rig.page.超级列表框统计->rowCount();
    if (rig.page.超级列表框统计->rowCount() == 0) state.SkipWithError("nothing found");
}

void BM_KeywordQuery100k(benchmark::State& state) { keywordQuery(state, 100000, kCustomerKeyword); }
void BM_KeywordQuery1M(benchmark::State& state) { keywordQuery(state, 1000000, kCustomerKeyword); }
// The heaviest keyword: a third of the ledger matches, the list stops at 10,000.
void BM_StatusKeywordQuery100k(benchmark::State& state) { keywordQuery(state, 100000, "已结"); }
void BM_StatusKeywordQuery1M(benchmark::State& state) { keywordQuery(state, 1000000, "已结"); }
// A digit keyword makes every amount be written out as text.
void BM_DigitKeywordQuery100k(benchmark::State& state) { keywordQuery(state, 100000, "1234"); }

void BM_MonthDateQuery100k(benchmark::State& state) {
    const LedgerData& d = data(100000);
    QueryPageRig rig;
    rig.page.日期框起->setValue(d.middleDay());
    rig.page.日期框止->setValue(d.middleDay() + 30);
    for (auto _ : state) {
        rig.page.按钮时间搜索->click();
        rig.paint();
    }
    state.counters["rows"] = rig.page.超级列表框统计->rowCount();
}

void BM_EntryDayRefill100k(benchmark::State& state) {
    const LedgerData& d = data(100000);
    ui::ScriptedDialogs dialogs;
    ledger::LedgerState ls;
    ui::EntryPage page;
    page.日期框1->setValue(d.middleDay());
    page.show();
    (new ledger::EntryPageActions(page, ls))->refreshEntryList();  // owned by the page
    QApplication::processEvents();
    bool other = false;
    for (auto _ : state) {
        // Each change of the date box refills the day list and its total.
        other = !other;
        page.日期框1->setValue(d.middleDay() + (other ? 1 : 0));
        page.超级列表框记账->viewport()->repaint();
        QApplication::processEvents();
    }
    state.counters["rows"] = page.超级列表框记账->rowCount();
}

// Where the time of a keyword query goes: the table walk that reads the five
// fields the match needs, then the same walk with the matching, without a page.
void BM_TableWalkOnly1M(benchmark::State& state) {
    data(1000000);
    for (auto _ : state) {
        tables::TableFile t;
        if (!t.open(ledger::kLedgerFileName, ledger::kLedgerPassword)) state.SkipWithError("open");
        std::size_t bytes = 0;
        const tables::Status walked = t.forEachRecord([&] {
            if (t.isDeleted()) return true;
            bytes +=
                t.read(2).asText().size() + t.read(3).asText().size() + t.read(5).asText().size();
            benchmark::DoNotOptimize(t.read(4).asNumber());
            benchmark::DoNotOptimize(t.read(6).asBool());
            return true;
        });
        if (!walked) state.SkipWithError(walked.message().c_str());
        t.close();
        benchmark::DoNotOptimize(bytes);
    }
}
void BM_KeywordScanOnly1M(benchmark::State& state) {
    data(1000000);
    ledger::LedgerFilter filter;
    filter.keyword.emplace(gbk(kCustomerKeyword));
    for (auto _ : state) benchmark::DoNotOptimize(ledger::findRecords(filter).rows.size());
}

// Settling one listed entry: the walk that finds where each selected record
// stands now by its id, then the status write.
void BM_SettleOne100k(benchmark::State& state) {
    data(100000);
    const std::vector<ledger::RecordRef> one{{50000, 50000}};
    bool settled = false;
    for (auto _ : state) {
        settled = !settled;
        if (ledger::writeStatus(one, settled) != ledger::LedgerStatus::Ok)
            state.SkipWithError("settle");
    }
}

// "经营统计…": the walk, a new window filled with its charts, shown and painted.
void BM_StatisticsWindow100k(benchmark::State& state) {
    const LedgerData& d = data(100000);
    QueryPageRig rig;
    auto* actions = rig.page.findChild<ledger::QueryPageActions*>();
    actions->setToday(d.middleDay());
    for (auto _ : state) {
        actions->openBusinessFigures();
        ui::StatisticsWindow* w = actions->statisticsWindow();
        if (!w) {
            state.SkipWithError("no window");
            break;
        }
        w->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        delete w;  // each opening makes its window anew
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
// The walk alone.
void BM_BusinessFigures100k(benchmark::State& state) {
    const LedgerData& d = data(100000);
    for (auto _ : state) {
        const auto f = ledger::businessFigures(d.middleDay());
        if (!f) state.SkipWithError("walk");
        benchmark::DoNotOptimize(f);
    }
}

BENCHMARK(BM_KeywordQuery100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatisticsWindow100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BusinessFigures100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettleOne100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthDateQuery100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntryDayRefill100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusKeywordQuery100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DigitKeywordQuery100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeywordQuery1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusKeywordQuery1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableWalkOnly1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeywordScanOnly1M)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto start = std::filesystem::current_path();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::current_path(start);
    return 0;
}
