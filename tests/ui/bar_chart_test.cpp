// The painted bar chart, looked at as the operator sees it: rendered to an
// image and read pixel by pixel.
#include "bar_chart.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <cmath>
#include <limits>

namespace {

using ui::BarChart;

const QColor kGreen(76, 153, 92);
const QColor kOrange(235, 142, 52);
const QColor kBlue(70, 120, 190);

QImage render(BarChart& chart) {
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    chart.render(&image);
    return image;
}

// The rows (or columns) of one pixel line where `colour` lies, first to last.
struct Span {
    int first = -1, last = -1, count = 0;
};
// Within the plot only: the legend's swatches share the bars' colours.
Span columnRun(const QImage& image, const QRect& plot, int x, const QColor& colour) {
    Span run;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        if (image.pixelColor(x, y) != colour) continue;
        if (run.first < 0) run.first = y;
        run.last = y;
        ++run.count;
    }
    return run;
}
Span rowRun(const QImage& image, int y, const QColor& colour) {
    Span run;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) != colour) continue;
        if (run.first < 0) run.first = x;
        run.last = x;
        ++run.count;
    }
    return run;
}

// Text ink: dark pixels between columns [x0, x1) on rows [y0, y1).
Span inkColumns(const QImage& image, int x0, int x1, int y0, int y1) {
    Span run;
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x)
        for (int y = std::max(y0, 0); y < std::min(y1, image.height()); ++y)
            if (qGray(image.pixel(x, y)) < 128) {
                if (run.first < 0) run.first = x;
                run.last = x;
                ++run.count;
                break;
            }
    return run;
}

// The expected length in pixels of a bar of `value` from zero.
double pixels(const BarChart& chart, double value) {
    const double span = chart.axisHigh() - chart.axisLow();
    const QRect plot = chart.plotArea();
    const int length = chart.orientation() == Qt::Vertical ? plot.height() : plot.width();
    return std::abs(value) / span * length;
}

int slotCentre(const BarChart& chart, int category) {
    const QRect plot = chart.plotArea();
    const auto n = chart.categories().size();
    if (chart.orientation() == Qt::Vertical)
        return plot.left() + static_cast<int>(plot.width() * (2 * category + 1) / (2 * n));
    return plot.top() + static_cast<int>(plot.height() * (2 * category + 1) / (2 * n));
}

class Months : public ::testing::Test {
  protected:
    void SetUp() override {
        chart.resize(480, 240);
        chart.setLegendVisible(true);
        chart.setCategories({"1月", "2月", "3月", "4月"});
    }
    void set(QList<double> settled, QList<double> unsettled) {
        chart.setSeries({{"已结", kGreen, settled}, {"未结", kOrange, unsettled}});
    }
    BarChart chart;
};

TEST_F(Months, StackedPartsStandOnTheAxisInProportionSettledBelow) {
    const QList<double> settled{6300, 0, 1200, 4000}, unsettled{1700, 2500, 0, 3999.9};
    set(settled, unsettled);
    const QImage image = render(chart);
    const QRect plot = chart.plotArea();
    // The tallest stack (7999.9) fits, under a round top.
    EXPECT_GE(chart.axisHigh(), 7999.9);
    EXPECT_LE(chart.axisHigh(), 10000);
    EXPECT_EQ(chart.axisLow(), 0);

    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        const int x = slotCentre(chart, c);
        const Span green = columnRun(image, chart.plotArea(), x, kGreen),
                   orange = columnRun(image, chart.plotArea(), x, kOrange);
        EXPECT_NEAR(green.count, pixels(chart, settled[c]), 1.0);
        EXPECT_NEAR(orange.count, pixels(chart, unsettled[c]), 1.0);
        // Solid, no gaps; settled on the axis, unsettled right on top of it.
        if (green.count) {
            EXPECT_EQ(green.last - green.first + 1, green.count);
            EXPECT_EQ(green.last, plot.bottom());
        }
        if (orange.count) {
            EXPECT_EQ(orange.last - orange.first + 1, orange.count);
            EXPECT_EQ(orange.last + 1, green.count ? green.first : plot.bottom() + 1);
            EXPECT_GE(orange.first, plot.top());
        }
    }
    // Bars take part of their slot, centred, and the slots do not touch.
    const Span bar = rowRun(image, plot.bottom() - 1, kGreen);
    EXPECT_LT(bar.count, plot.width() * 0.7);
    EXPECT_GT(bar.first, plot.left() + plot.width() / 4 * 0.1);
}

TEST_F(Months, LegendShowsEachSeriesColourAboveThePlotAndCaptionsSitUnderTheBars) {
    set({10, 20, 30, 40}, {5, 5, 5, 5});
    const QImage image = render(chart);
    const QRect plot = chart.plotArea();
    int greenAbove = 0, orangeAbove = 0;
    for (int y = 0; y < plot.top(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            greenAbove += image.pixelColor(x, y) == kGreen;
            orangeAbove += image.pixelColor(x, y) == kOrange;
        }
    EXPECT_GT(greenAbove, 20);  // a swatch each
    EXPECT_GT(orangeAbove, 20);
    // Every month's caption is written under its own slot.
    const QFontMetrics fm = chart.fontMetrics();
    const int w = plot.width() / 4;
    for (int c = 0; c < 4; ++c) {
        const Span ink = inkColumns(image, plot.left() + c * w, plot.left() + (c + 1) * w,
                                    plot.bottom() + 2, image.height());
        ASSERT_GT(ink.count, 0) << c;
        const int mid = (ink.first + ink.last) / 2;
        EXPECT_NEAR(mid, slotCentre(chart, c), 3) << c;
        // (a glyph's ink is a little narrower than its advance)
        EXPECT_NEAR(ink.last - ink.first + 1, fm.horizontalAdvance(chart.categories()[c]), 5);
    }
}

TEST_F(Months, EmptyDataDrawsAxesAndNoBar) {
    for (const bool noCategories : {true, false}) {
        SCOPED_TRACE(noCategories);
        if (noCategories)
            chart.clear();
        else
            set({0, 0, 0, 0}, {0, 0, 0, 0});
        const QImage image = render(chart);
        const QRect plot = chart.plotArea();
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x)
                ASSERT_TRUE(image.pixelColor(x, y) != kGreen && image.pixelColor(x, y) != kOrange)
                    << x << "," << y;
        // The value axis still stands with its figures "0" and "1".
        EXPECT_EQ(chart.ticks(), (QList<double>{0, 1}));
        EXPECT_LT(qGray(image.pixel(plot.left() - 1, (plot.top() + plot.bottom()) / 2)), 200);
        EXPECT_GT(inkColumns(image, 0, plot.left(), plot.top() - 8, plot.bottom() + 8).count, 0);
    }
}

TEST_F(Months, RefundsHangBelowTheZeroLineInsideThePlot) {
    set({300, -120, 0, 0}, {-80, 50, 0, 0});
    const QImage image = render(chart);
    const QRect plot = chart.plotArea();
    EXPECT_LE(chart.axisLow(), -120);  // the lowest stack
    EXPECT_GE(chart.axisHigh(), 300);
    const int zero = static_cast<int>(std::lround(
        plot.top() + chart.axisHigh() / (chart.axisHigh() - chart.axisLow()) * plot.height()));
    // 1月: settled up from zero, the unsettled refund down from it.
    Span green = columnRun(image, chart.plotArea(), slotCentre(chart, 0), kGreen);
    Span orange = columnRun(image, chart.plotArea(), slotCentre(chart, 0), kOrange);
    EXPECT_EQ(green.last + 1, zero);
    EXPECT_NEAR(green.count, pixels(chart, 300), 1.0);
    EXPECT_EQ(orange.first, zero);
    EXPECT_NEAR(orange.count, pixels(chart, 80), 1.0);
    // 2月: the settled refund below, the unsettled part above.
    green = columnRun(image, chart.plotArea(), slotCentre(chart, 1), kGreen);
    orange = columnRun(image, chart.plotArea(), slotCentre(chart, 1), kOrange);
    EXPECT_EQ(green.first, zero);
    EXPECT_NEAR(green.count, pixels(chart, 120), 1.0);
    EXPECT_LE(green.last, plot.bottom());
    EXPECT_EQ(orange.last + 1, zero);
}

TEST_F(Months, FiguresThatAreNoNumbersDrawNothingAndTipsFollowThePointer) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    set({nan, 100, inf, -inf}, {0, 0, 0, 0});
    EXPECT_EQ(chart.axisHigh(), 100);
    const QImage image = render(chart);
    for (const int c : {0, 2, 3})
        EXPECT_EQ(columnRun(image, chart.plotArea(), slotCentre(chart, c), kGreen).count, 0);

    const QRect plot = chart.plotArea();
    EXPECT_EQ(chart.categoryAt(QPoint(slotCentre(chart, 2), plot.center().y())), 2);
    EXPECT_EQ(chart.categoryAt(QPoint(plot.right(), plot.bottom())), 3);
    EXPECT_EQ(chart.categoryAt(QPoint(plot.left() - 1, plot.center().y())), -1);
}

TEST(BarChartScale, RoundsOutwardToOneTwoOrFiveStepsAndCopesWithOddInput) {
    const auto expect = [](double low, double high, int max, double lo, double hi, double step) {
        const BarChart::Scale s = BarChart::niceScale(low, high, max);
        EXPECT_EQ(s.low, lo) << low << ".." << high;
        EXPECT_EQ(s.high, hi) << low << ".." << high;
        EXPECT_EQ(s.step, step) << low << ".." << high;
    };
    expect(0, 8600, 5, 0, 10000, 2000);
    expect(0, 10000, 5, 0, 10000, 2000);  // exactly on a tick: no extra step
    expect(0, 32516.1, 4, 0, 40000, 10000);
    expect(-120, 530, 6, -200, 600, 200);
    expect(-35, 0, 5, -40, 0, 10);
    expect(0, 0, 5, 0, 1, 1);  // never a flat axis
    expect(0, 0.3, 5, 0, 1, 1);
    expect(5, 7, 5, 0, 8, 2);  // always from zero
    expect(0, 100, 0, 0, 100, 100);
    const BarChart::Scale odd = BarChart::niceScale(std::nan(""), 1e300, 5);
    EXPECT_EQ(odd.low, 0);
    EXPECT_TRUE(std::isfinite(odd.high));
    EXPECT_GE(odd.high, 0.99e300);
    EXPECT_EQ(BarChart::figure(-0.0), "0");
    EXPECT_EQ(BarChart::figure(26012.9), "26012.9");
    EXPECT_EQ(BarChart::figure(1200000), "1200000");
}

class Customers : public ::testing::Test {
  protected:
    void SetUp() override {
        chart.resize(410, 201);
        chart.setOrientation(Qt::Horizontal);
        chart.setValueLabelsVisible(true);
        chart.setHeadroom(1.25);
        chart.setBarWidth(0.7);
    }
    void set(QStringList names, QList<double> sums) {
        chart.setCategories(names);
        chart.setSeries({{"总消费", kBlue, sums}});
    }
    BarChart chart;
};

TEST_F(Customers, BarsRunInOrderFromTheTopEachWithItsNameAndFigure) {
    const QStringList names{"周记影楼", "王小明", "李丽", "A", "孙经理"};
    const QList<double> sums{26012.9, 11345.1, 5000, 12.5, 0};
    set(names, sums);
    const QImage image = render(chart);
    const QRect plot = chart.plotArea();
    const QFontMetrics fm = chart.fontMetrics();
    EXPECT_GE(chart.axisHigh(), 26012.9 * 1.25);

    for (int c = 0; c < names.size(); ++c) {
        SCOPED_TRACE(c);
        const int y = slotCentre(chart, c);
        const Span bar = rowRun(image, y, kBlue);
        EXPECT_NEAR(bar.count, pixels(chart, sums[c]), 1.0);
        if (bar.count) {
            EXPECT_EQ(bar.first, plot.left());
            EXPECT_LE(bar.last, plot.right());
        }
        const int rowTop = plot.top() + plot.height() * c / 5;
        const int rowBottom = plot.top() + plot.height() * (c + 1) / 5;
        // The name, right-aligned against the plot.
        const Span name = inkColumns(image, 0, plot.left(), rowTop + 1, rowBottom);
        EXPECT_NEAR(name.last - name.first + 1, fm.horizontalAdvance(names[c]), 3);
        EXPECT_NEAR(name.last, plot.left() - 5, 3);
        // The figure just past the bar's end.
        const int end = bar.count ? bar.last + 1 : plot.left();
        const Span figure = inkColumns(image, end + 1, image.width(), rowTop + 1, rowBottom);
        EXPECT_NEAR(figure.first, end + 5, 3);
        EXPECT_NEAR(figure.last - figure.first + 1, fm.horizontalAdvance(BarChart::figure(sums[c])),
                    3);
    }
}

TEST_F(Customers, NoCustomersDrawAnAxisAndNoBarAndARefundGoesLeftOfZero) {
    set({}, {});
    QImage image = render(chart);
    EXPECT_EQ(chart.ticks(), (QList<double>{0, 1}));
    for (int y = 0; y < image.height(); ++y) ASSERT_EQ(rowRun(image, y, kBlue).count, 0);

    set({"张三", "退款客"}, {400, -100});
    image = render(chart);
    EXPECT_LT(chart.axisLow(), -100);
    const QRect plot = chart.plotArea();
    const Span positive = rowRun(image, slotCentre(chart, 0), kBlue);
    const Span refund = rowRun(image, slotCentre(chart, 1), kBlue);
    EXPECT_NEAR(refund.count, pixels(chart, 100), 1.0);
    EXPECT_EQ(refund.last + 1, positive.first);  // both meet at zero
    EXPECT_GE(refund.first, plot.left());
    // Its figure stands left of its end, inside the chart.
    const Span figure = inkColumns(image, plot.left(), refund.first,
                                   plot.top() + plot.height() / 2 + 2, plot.bottom());
    EXPECT_GT(figure.count, 0);
    EXPECT_NEAR(figure.last, refund.first - 5, 3);
    EXPECT_NEAR(figure.last - figure.first + 1, chart.fontMetrics().horizontalAdvance("-100"), 3);
}

}  // namespace
