// The query list's right-click menu: the list written to CSV and Excel as it
// shows, and the statistics window with the figures of the whole ledger.
#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#if LANHE_CHARTS
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QStackedBarSeries>
#endif
#include <algorithm>
#include <fstream>
#include <sstream>

#include "../support/record_held_elsewhere.h"
#include "bar_chart.h"
#include "business_figures.h"
#include "business_window.h"
#include "page_fixture.h"
#include "statistics_window.h"
#include "xlsx_reader.h"

namespace ledger::testing {
namespace {

class QueryMenuTest : public PageTest {
  protected:
    ui::ReportList* list() { return qc<ui::ReportList>("超级列表框统计"); }
    void search(const char* keyword) {
        type(qc<QLineEdit>("编辑框搜索"), q(keyword));
        click(qc<QPushButton>("按钮模糊搜索"));
    }
    // A right click on the list, as the operator opens the menu.
    void openMenu() {
        const QPoint at(40, 40);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list()->viewport(), &event);
    }
    QAction* entry(const char* caption) {
        for (QAction* a : list()->contextMenu()->actions())
            if (a->text() == q(caption)) return a;
        ADD_FAILURE() << "no entry " << caption;
        return nullptr;
    }
    QString path(const char* name) const {
        return QDir(QString::fromStdString(dir_.string())).filePath(q(name));
    }
    static std::string bytes(const QString& file) {
        std::ifstream in(utf8Path(file.toStdString()), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void TearDown() override {
        if (query_) list()->contextMenu()->hide();
        PageTest::TearDown();
    }

    // Three entries listed by "张", then sorted by "金额".
    void fillAndSort() {
        put(day(2024, 3, 1), "张三", "照片", 30, "加急, 两张", true);
        put(day(2024, 3, 2), "张四", "相框", 12.5, "", false);
        put(day(2024, 3, 3), "张五", "装裱", -2, "=1+1", true);
        put(day(2024, 3, 4), "李四", "装裱", 99, "", true);
        openQueryPage();
        search("张");
        clickHeader(list(), 5);
    }
};

TEST_F(QueryMenuTest, OffersTheExportsAndTheStatisticsEnablingExportsForAFilledList) {
    openQueryPage();
    QStringList captions;
    for (QAction* a : list()->contextMenu()->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{q("导出到Excel…"), q("导出CSV…"), "", q("经营统计…")}));

    openMenu();
    EXPECT_TRUE(list()->contextMenu()->isVisible());
    EXPECT_FALSE(entry("导出到Excel…")->isEnabled());
    EXPECT_FALSE(entry("导出CSV…")->isEnabled());
    EXPECT_TRUE(entry("经营统计…")->isEnabled());
    list()->contextMenu()->hide();

    put(day(2024, 3, 1), "张三", "照片", 30, "", true);
    search("张三");
    openMenu();
    EXPECT_TRUE(entry("导出到Excel…")->isEnabled());
    EXPECT_TRUE(entry("导出CSV…")->isEnabled());
}

TEST_F(QueryMenuTest, CsvHoldsTheListInItsOrderWithThePageTotal) {
    fillAndSort();
    const QString file = path("三月.csv");
    dialogs_.answerSaveFile(file);
    entry("导出CSV…")->trigger();

    EXPECT_EQ(bytes(file),
              "\xEF\xBB\xBF"
              "序,日期,客户,项目,金额,状态,备注\r\n"
              "3,2024年3月3日,张五,装裱,-2,已结,'=1+1\r\n"
              "2,2024年3月2日,张四,相框,12.5,未结,\r\n"
              "1,2024年3月1日,张三,照片,30,已结,\"加急, 两张\"\r\n"
              "本页合计,,,,40.5,,\r\n");
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("导出成功！"), ui::MessageIcon::Information, q("信息：")}}));
    ASSERT_EQ(dialogs_.saveFileRequests().size(), 1);
    const auto& asked = dialogs_.saveFileRequests()[0];
    EXPECT_EQ(asked.caption, q("导出CSV"));
    EXPECT_EQ(QFileInfo(asked.suggestedPath).fileName(), q("查询结果.csv"));
    EXPECT_EQ(asked.filter, q("CSV 文件 (*.csv)"));

    // The next export starts where this one went.
    dialogs_.cancelSaveFile();
    entry("导出到Excel…")->trigger();
    ASSERT_EQ(dialogs_.saveFileRequests().size(), 2);
    EXPECT_EQ(dialogs_.saveFileRequests()[1].suggestedPath, path("查询结果.xlsx"));
    EXPECT_EQ(dialogs_.saveFileRequests()[1].filter, q("Excel 工作簿 (*.xlsx)"));
    EXPECT_EQ(dialogs_.messages().size(), 1);  // a cancel says nothing
}

TEST_F(QueryMenuTest, ExcelHoldsDatesAmountsAndStatusAsTheirKinds) {
    if (!exporting::xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    fillAndSort();
    const QString file = path("三月.xlsx");
    dialogs_.answerSaveFile(file);
    entry("导出到Excel…")->trigger();
    ASSERT_EQ(dialogs_.messageTexts(), QStringList{q("导出成功！")});

    const testsupport::XlsxReader book(file.toStdString());
    ASSERT_TRUE(book.ok());
    EXPECT_EQ(book.cell("A1")->value, "序");
    EXPECT_EQ(book.cell("G1")->value, "备注");
    // Sorted by amount; each day a date serial, each amount a number.
    const char* serials[] = {"45354", "45353", "45352"};
    const char* amounts[] = {"-2", "12.5", "30"};
    const char* status[] = {"已结", "未结", "已结"};
    for (int r = 0; r < 3; ++r) {
        const std::string row = std::to_string(r + 2);
        SCOPED_TRACE(row);
        EXPECT_EQ(book.cell("A" + row)->value, std::to_string(3 - r));
        EXPECT_EQ(book.cell("B" + row)->type, "n");
        EXPECT_EQ(book.cell("B" + row)->value, serials[r]);
        EXPECT_EQ(book.cell("B" + row)->format, "yyyy\"年\"m\"月\"d\"日\"");
        EXPECT_EQ(book.cell("E" + row)->type, "n");
        EXPECT_EQ(book.cell("E" + row)->value, amounts[r]);
        EXPECT_EQ(book.cell("E" + row)->format, "0.00");
        EXPECT_EQ(book.cell("F" + row)->type, "s");
        EXPECT_EQ(book.cell("F" + row)->value, status[r]);
    }
    EXPECT_EQ(book.cell("G2")->value, "=1+1");
    EXPECT_EQ(book.cell("A5")->value, "本页合计");
    EXPECT_EQ(book.cell("E5")->value, "40.5");
    EXPECT_TRUE(book.cell("E5")->bold);
}

TEST_F(QueryMenuTest, AFileThatCannotBeWrittenIsReported) {
    fillAndSort();
    dialogs_.answerSaveFile(path("没有的文件夹/a.csv"));
    entry("导出CSV…")->trigger();
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("文件没有保存成功！"), ui::MessageIcon::Error, q("信息：")}}));
}

// The statistics window: one walk of the whole ledger, whatever the list shows.
class StatisticsTest : public QueryMenuTest {
  protected:
    ui::StatisticsWindow* open() {
        entry("经营统计…")->trigger();
        return queryActions_->statisticsWindow();
    }
    void putSample() {
        put(day(2023, 3, 31), "老客", "照片", 1000, "", true);  // before the twelve months
        put(day(2023, 4, 1), "老客", "照片", 10.25, "", true);
        put(day(2023, 12, 5), "张三", "相框", 20, "", false);
        put(day(2024, 1, 9), "李四", "装裱", 5.05, "", true);
        put(day(2024, 3, 2), "张三", "照片", 30.04, "", true);
        put(day(2024, 3, 14), "李四", "照片", 7, "", false);
        put(day(2024, 3, 14), "", "照片", 2, "", false);
    }

    // What the two charts show, whoever draws them; the customers top down.
    struct Charts {
        QStringList parts, months;
        QList<double> settled, unsettled;
        QStringList names;
        QList<double> sums;
    };
    static Charts contents(ui::StatisticsWindow& w) {
        Charts out;
        if (const ui::BarChart* months = w.图表月份->barChart()) {
            out.months = months->categories();
            for (const ui::BarChart::Series& s : months->series()) out.parts << s.name;
            if (months->series().size() == 2) {
                out.settled = months->series()[0].values;
                out.unsettled = months->series()[1].values;
            }
        }
        if (const ui::BarChart* top = w.图表客户->barChart()) {
            out.names = top->categories();
            if (top->series().size() == 1) out.sums = top->series()[0].values;
        }
#if LANHE_CHARTS
        if (QChartView* view = w.图表月份->qtChartView()) {
            out.months = categories(view, Qt::Horizontal);
            if (auto* months = series<QStackedBarSeries>(view)) {
                for (const QBarSet* set : months->barSets()) out.parts << set->label();
                if (months->count() == 2) {
                    out.settled = values(months->barSets()[0]);
                    out.unsettled = values(months->barSets()[1]);
                }
            }
        }
        // Qt Charts draws its first category at the bottom.
        if (QChartView* view = w.图表客户->qtChartView()) {
            out.names = categories(view, Qt::Vertical);
            std::reverse(out.names.begin(), out.names.end());
            if (auto* top = series<QHorizontalBarSeries>(view); top && top->count() == 1) {
                out.sums = values(top->barSets()[0]);
                std::reverse(out.sums.begin(), out.sums.end());
            }
        }
#endif
        return out;
    }
    static void expectSampleCharts(ui::StatisticsWindow& w) {
        const Charts c = contents(w);
        EXPECT_EQ(c.parts, (QStringList{q("已结"), q("未结")}));
        EXPECT_EQ(c.months,
                  (QStringList{q("4月"), q("5月"), q("6月"), q("7月"), q("8月"), q("9月"),
                               q("10月"), q("11月"), q("12月"), q("1月"), q("2月"), q("3月")}));
        EXPECT_EQ(c.settled, (QList<double>{10.3, 0, 0, 0, 0, 0, 0, 0, 0, 5.1, 0, 30}));
        EXPECT_EQ(c.unsettled, (QList<double>{0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 9}));
        EXPECT_EQ(c.names, (QStringList{q("老客"), q("张三"), q("李四"), q("（空）")}));
        EXPECT_EQ(c.sums, (QList<double>{1010.3, 50, 12.1, 2}));
    }

#if LANHE_CHARTS
    template <typename Series>
    static Series* series(QChartView* view) {
        if (!view->chart() || view->chart()->series().isEmpty()) return nullptr;
        return qobject_cast<Series*>(view->chart()->series().first());
    }
    static QStringList categories(QChartView* view, Qt::Orientation o) {
        const auto axes = view->chart()->axes(o);
        auto* axis = axes.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis*>(axes.first());
        return axis ? axis->categories() : QStringList{};
    }
    static QList<double> values(const QBarSet* set) {
        QList<double> out;
        for (int i = 0; i < set->count(); ++i) out << set->at(i);
        return out;
    }
#endif
};

TEST_F(StatisticsTest, ShowsTheMonthsCustomersAndTotalsOfTheWholeLedger) {
    putSample();
    openQueryPage();
    queryActions_->setToday(day(2024, 3, 15));
    search("张三");  // the list shows two entries; the figures are the whole ledger's
    ui::StatisticsWindow* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(dialogs_.messages().isEmpty());

    EXPECT_EQ(w->标签统计日期->text(), q("截至 2024年3月15日，共 7 笔账单"));
    EXPECT_EQ(w->标签本年->text(), q("2024年"));
    EXPECT_EQ(w->标签本月->text(), q("3月"));
    EXPECT_EQ(w->标签本年已结->text(), "35.1");  // 5.05 + 30.04, to one decimal
    EXPECT_EQ(w->标签本年未结->text(), "9");
    EXPECT_EQ(w->标签本年合计->text(), "44.1");
    EXPECT_EQ(w->标签本月已结->text(), "30");
    EXPECT_EQ(w->标签本月未结->text(), "9");
    EXPECT_EQ(w->标签本月合计->text(), "39");
    EXPECT_EQ(w->分组框1->title(), q("近十二个月营业额（2023年4月至2024年3月）"));

    // Qt Charts where the build has it, else the painted charts.
    EXPECT_EQ(w->图表月份->drawing(), ui::kDefaultChartDrawing);
    EXPECT_EQ(w->图表客户->drawing(), ui::kDefaultChartDrawing);
    expectSampleCharts(*w);
    w->close();
}

// A build without Qt Charts (the Windows one): the window paints the same
// charts, with the bars where they belong.
TEST_F(StatisticsTest, ThePaintedChartsShowTheSameBars) {
    putSample();
    const std::optional<BusinessFigures> figures = businessFigures(day(2024, 3, 15));
    ASSERT_TRUE(figures);
    ui::StatisticsWindow w(nullptr, ui::ChartDrawing::Painted);
    fillStatisticsWindow(w, *figures, day(2024, 3, 15));
    ui::BarChart* months = w.图表月份->barChart();
    ui::BarChart* top = w.图表客户->barChart();
    ASSERT_TRUE(months && top);
    expectSampleCharts(w);
    EXPECT_EQ(months->orientation(), Qt::Vertical);
    EXPECT_EQ(top->orientation(), Qt::Horizontal);
    w.show();
    // The chart takes its frame's place, in the program's face.
    EXPECT_EQ(months->size(), w.图表月份->size());
    EXPECT_EQ(months->font().family(), w.font().family());
    // March (the last slot): 30 settled, 9 unsettled on top of it.
    QImage image(months->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    months->render(&image);
    const QRect plot = months->plotArea();
    const int x = plot.left() + plot.width() * 23 / 24;
    QList<int> rows[2];
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int part = 0; part < 2; ++part)
            if (image.pixelColor(x, y) == months->series()[part].colour) rows[part] << y;
    ASSERT_FALSE(rows[0].isEmpty() || rows[1].isEmpty());
    EXPECT_NEAR(static_cast<double>(rows[1].size()) / rows[0].size(), 9.0 / 30, 0.05);
    EXPECT_EQ(rows[1].back() + 1, rows[0].front());
    w.close();
}

TEST_F(StatisticsTest, OpeningAgainShowsTheSameWindowWithNewFigures) {
    put(day(2024, 3, 1), "张三", "照片", 30, "", true);
    openQueryPage();
    queryActions_->setToday(day(2024, 3, 15));
    ui::StatisticsWindow* first = open();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->标签本月合计->text(), "30");
    put(day(2024, 3, 2), "李四", "照片", 12, "", false);
    EXPECT_EQ(open(), first);
    EXPECT_EQ(first->标签本月合计->text(), "42");
    EXPECT_EQ(query_->findChildren<ui::StatisticsWindow*>().size(), 1);
    first->按钮1->click();  // "关闭"
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(queryActions_->statisticsWindow(), nullptr);
}

TEST_F(StatisticsTest, ALedgerThatCannotBeReadShowsTheMessageAndNoWindow) {
    put(day(2024, 3, 1), "张三", "照片", 30, "", true);
    put(day(2024, 3, 2), "李四", "相框", 20, "", false);
    openQueryPage();
    // An entry that another program keeps locked: figures without it would
    // be wrong, so there are none.
    const testing_support::RecordHeldElsewhere held(std::string(kLedgerFileName), kLedgerPassword,
                                                    2);
    EXPECT_EQ(open(), nullptr);
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("记账数据库没有读取成功！"), ui::MessageIcon::Error, q("信息：")}}));
}

}  // namespace
}  // namespace ledger::testing
