// Filling a report list with 10,000 rows of eight columns, as the query page
// does after a search of a large ledger: the target is at most 150 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStringList>
#include <vector>

#include "images.h"
#include "report_list.h"

namespace {

constexpr int kRows = 10000;

std::vector<QStringList> ledgerRows() {
    std::vector<QStringList> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        rows.push_back({QString(), QString(), QStringLiteral("2024年3月%1日").arg(i % 28 + 1),
                        QStringLiteral("客户%1").arg(i % 300), QStringLiteral("相片冲印"),
                        QString::number(10 + i % 97 * 0.5),
                        i % 3 ? QStringLiteral("未结") : QStringLiteral("已结"),
                        QStringLiteral("数量2 尺寸1.2米X0.8米 加急 %1").arg(i)});
    }
    return rows;
}

ui::ReportList* makeList() {
    auto* list = new ui::ReportList;
    list->setColumns({{QString(), 0, Qt::AlignLeft},
                      {QStringLiteral("序"), 30, Qt::AlignHCenter},
                      {QStringLiteral("日期"), 100, Qt::AlignLeft},
                      {QStringLiteral("客户"), 60, Qt::AlignLeft},
                      {QStringLiteral("项目"), 80, Qt::AlignHCenter},
                      {QStringLiteral("金额"), 60, Qt::AlignRight},
                      {QStringLiteral("状态"), 55, Qt::AlignLeft},
                      {QStringLiteral("备注"), 500, Qt::AlignLeft}});
    list->setImages(ui::statusImages());
    list->setImageColumn(6);
    list->setMultipleSelection(true);
    list->setGeometry(0, 0, 670, 560);
    list->show();
    QApplication::processEvents();
    return list;
}

// Rows added one at a time, then the list laid out and painted once.
void BM_FillTenThousandRows(benchmark::State& state) {
    const std::vector<QStringList> rows = ledgerRows();
    for (auto _ : state) {
        state.PauseTiming();
        ui::ReportList* list = makeList();
        state.ResumeTiming();
        for (int i = 0; i < kRows; ++i) list->addRow(rows[i], i % 3 ? 0 : 1, i + 1);
        list->scrollToRow(kRows - 1);
        list->viewport()->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FillTenThousandRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same, then every row numbered in its "序" cell as the pages do.
void BM_FillAndNumberTenThousandRows(benchmark::State& state) {
    const std::vector<QStringList> rows = ledgerRows();
    for (auto _ : state) {
        state.PauseTiming();
        ui::ReportList* list = makeList();
        state.ResumeTiming();
        for (int i = 0; i < kRows; ++i) list->addRow(rows[i], i % 3 ? 0 : 1, i + 1);
        for (int i = 0; i < kRows; ++i) list->setCellText(i, 1, QString::number(i + 1));
        list->scrollToRow(kRows - 1);
        list->viewport()->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FillAndNumberTenThousandRows)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
