#include "business_window.h"

#include <algorithm>

#if LANHE_CHARTS
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QGraphicsLayout>
#include <QHorizontalBarSeries>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#endif

#include "bar_chart.h"
#include "dates.h"
#include "fonts.h"
#include "gbk_text.h"
#include "numbers.h"
#include "statistics_window.h"

namespace ledger {
namespace {

QString shown(double value) { return QString::fromStdString(shownTotal(value)); }

const QColor kSettledColour(76, 153, 92);
const QColor kUnsettledColour(235, 142, 52);
const QColor kCustomerColour(70, 120, 190);

// The bars carry what the labels show: each figure rounded to one decimal.
double barValue(double value) { return convert::roundTo(value, 1); }

QFont chartFont() {
    QFont font = ui::interfaceFont();
    font.setPixelSize(11);
    return font;
}

// Hovering a month's bar names the month and both parts.
QString monthTip(const MonthTakings& m) {
    return QStringLiteral("%1年%2月\n已结：%3 元\n未结：%4 元\n合计：%5 元")
        .arg(m.year)
        .arg(m.month)
        .arg(shown(m.takings.settled), shown(m.takings.unsettled), shown(m.takings.all()));
}

QString customerName(const CustomerSum& c) {
    const QString name = ui::fromGbk(c.name);
    return name.isEmpty() ? QStringLiteral("（空）") : name;
}

// The painted charts, for a build without Qt Charts: the same bars,
// colours, captions and tips.
void paintMonths(ui::BarChart& chart, const BusinessFigures& f) {
    ui::BarChart::Series settled{QStringLiteral("已结"), kSettledColour, {}};
    ui::BarChart::Series unsettled{QStringLiteral("未结"), kUnsettledColour, {}};
    QStringList categories, tips;
    for (const MonthTakings& m : f.months) {
        settled.values << barValue(m.takings.settled);
        unsettled.values << barValue(m.takings.unsettled);
        categories << QStringLiteral("%1月").arg(m.month);
        tips << monthTip(m);
    }
    chart.setFont(chartFont());
    chart.setOrientation(Qt::Vertical);
    chart.setLegendVisible(true);
    chart.setBarWidth(0.6);
    chart.setCategories(categories);
    chart.setSeries({settled, unsettled});
    chart.setToolTips(tips);
}

void paintCustomers(ui::BarChart& chart, const BusinessFigures& f) {
    ui::BarChart::Series sums{QStringLiteral("总消费"), kCustomerColour, {}};
    QStringList names;
    for (const CustomerSum& c : f.topCustomers) {  // largest first, on top
        sums.values << barValue(c.sum);
        names << customerName(c);
    }
    chart.setFont(chartFont());
    chart.setOrientation(Qt::Horizontal);
    chart.setLegendVisible(false);
    chart.setValueLabelsVisible(true);
    chart.setBarWidth(0.7);
    chart.setHeadroom(1.25);  // room after the longest bar for its figure
    chart.setCategories(names);
    chart.setSeries({sums});
}

#if LANHE_CHARTS
// A chart that blends into its frame: no background, little margin, no
// animation (the window opens at once).
QChart* plainChart() {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setFont(chartFont());
    return chart;
}

// A value axis that starts at 0 (or below, for refunds) and ends at a
// round number above the largest bar.
QValueAxis* valueAxis(double low, double high) {
    auto* axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setLabelsFont(chartFont());
    axis->setRange(std::min(low, 0.0), std::max(high, 1.0));
    axis->applyNiceNumbers();
    return axis;
}

// Takes the chart in the place of the one the view showed (a view does not
// delete the chart it gives up).
void show(QChartView& view, QChart* chart) {
    QChart* old = view.chart();
    view.setChart(chart);
    delete old;
}

void fillMonths(ui::StatisticsWindow& w, const BusinessFigures& f) {
    auto* settled = new QBarSet(QStringLiteral("已结"));
    auto* unsettled = new QBarSet(QStringLiteral("未结"));
    settled->setColor(kSettledColour);
    settled->setBorderColor(kSettledColour);
    unsettled->setColor(kUnsettledColour);
    unsettled->setBorderColor(kUnsettledColour);
    QStringList categories;
    double low = 0, high = 0;
    for (std::size_t i = 0; i < f.months.size(); ++i) {
        const MonthTakings& m = f.months[i];
        const double s = barValue(m.takings.settled), u = barValue(m.takings.unsettled);
        settled->append(s);
        unsettled->append(u);
        categories << QStringLiteral("%1月").arg(m.month);
        // Stacked: positive parts pile up, negative ones down.
        high = std::max(high, std::max(s, 0.0) + std::max(u, 0.0));
        low = std::min(low, std::min(s, 0.0) + std::min(u, 0.0));
    }
    auto* series = new QStackedBarSeries;
    series->append(settled);
    series->append(unsettled);
    series->setBarWidth(0.6);

    QChart* chart = plainChart();
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(chartFont());
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    QValueAxis* y = valueAxis(low, high);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignTop);

    const auto months = f.months;
    QObject::connect(series, &QAbstractBarSeries::hovered, chart, [months](bool on, int index) {
        if (!on || index < 0 || index >= static_cast<int>(months.size())) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(QCursor::pos(), monthTip(months[static_cast<std::size_t>(index)]));
    });
    show(*w.图表月份->qtChartView(), chart);
}

void fillCustomers(ui::StatisticsWindow& w, const BusinessFigures& f) {
    auto* sums = new QBarSet(QStringLiteral("总消费"));
    sums->setColor(kCustomerColour);
    sums->setBorderColor(kCustomerColour);
    QStringList names;
    double low = 0, high = 0;
    // A horizontal chart draws its first category at the bottom: the largest
    // goes last so that it stands on top.
    for (auto it = f.topCustomers.rbegin(); it != f.topCustomers.rend(); ++it) {
        const double v = barValue(it->sum);
        sums->append(v);
        names << customerName(*it);
        high = std::max(high, v);
        low = std::min(low, v);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(sums);
    series->setBarWidth(0.7);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(15);
    sums->setLabelColor(Qt::black);
    sums->setLabelFont(chartFont());

    QChart* chart = plainChart();
    chart->addSeries(series);
    chart->legend()->hide();
    auto* names_ = new QBarCategoryAxis;
    names_->append(names);
    names_->setLabelsFont(chartFont());
    names_->setTruncateLabels(false);  // a name is short: always whole
    chart->addAxis(names_, Qt::AlignLeft);
    series->attachAxis(names_);
    // Room after the longest bar for its figure.
    QValueAxis* x = valueAxis(low, high * 1.25);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    show(*w.图表客户->qtChartView(), chart);
}
#endif

}  // namespace

QString monthsTitle(const BusinessFigures& figures) {
    const MonthTakings& first = figures.months.front();
    const MonthTakings& last = figures.months.back();
    return QStringLiteral("近十二个月营业额（%1年%2月至%3年%4月）")
        .arg(first.year)
        .arg(first.month)
        .arg(last.year)
        .arg(last.month);
}

void fillStatisticsWindow(ui::StatisticsWindow& w, const BusinessFigures& f, double today) {
    w.标签统计日期->setText(QStringLiteral("截至 %1，共 %2 笔账单")
                                .arg(ui::fromGbk(convert::dateToText(convert::datePart(today))))
                                .arg(static_cast<qulonglong>(f.entries)));
    w.分组框1->setTitle(monthsTitle(f));
    w.标签本年->setText(QStringLiteral("%1年").arg(f.year));
    w.标签本月->setText(QStringLiteral("%1月").arg(f.month));
    w.标签本年已结->setText(shown(f.yearTakings.settled));
    w.标签本年未结->setText(shown(f.yearTakings.unsettled));
    w.标签本年合计->setText(shown(f.yearTakings.all()));
    w.标签本月已结->setText(shown(f.monthTakings.settled));
    w.标签本月未结->setText(shown(f.monthTakings.unsettled));
    w.标签本月合计->setText(shown(f.monthTakings.all()));
    if (ui::BarChart* months = w.图表月份->barChart()) paintMonths(*months, f);
    if (ui::BarChart* customers = w.图表客户->barChart()) paintCustomers(*customers, f);
#if LANHE_CHARTS
    if (w.图表月份->qtChartView()) fillMonths(w, f);
    if (w.图表客户->qtChartView()) fillCustomers(w, f);
#endif
}

}  // namespace ledger
