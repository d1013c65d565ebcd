#include "bar_chart.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace ui {
namespace {

const QColor kAxisColour(150, 150, 150);
const QColor kGridColour(225, 225, 225);
const QColor kTextColour(Qt::black);
constexpr int kMargin = 4;
constexpr int kGap = 5;  // between a caption and the plot
constexpr int kLegendSwatch = 10;
constexpr int kLegendSpacing = 14;

// A value that is no number (a damaged figure) draws as nothing.
double usable(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

BarChart::BarChart(QWidget* parent) : QWidget(parent) {
    // A picture: nothing to type into.
    setFocusPolicy(Qt::NoFocus);
}

void BarChart::setOrientation(Qt::Orientation orientation) {
    orientation_ = orientation;
    update();
}

void BarChart::setCategories(const QStringList& categories) {
    categories_ = categories;
    update();
}

void BarChart::setSeries(const QList<Series>& series) {
    series_ = series;
    update();
}

void BarChart::setLegendVisible(bool visible) {
    legend_ = visible;
    update();
}

void BarChart::setValueLabelsVisible(bool visible) {
    valueLabels_ = visible;
    update();
}

void BarChart::setHeadroom(double factor) {
    headroom_ = std::isfinite(factor) ? std::max(factor, 1.0) : 1.0;
    update();
}

void BarChart::setToolTips(const QStringList& tips) { tips_ = tips; }

void BarChart::setBarWidth(double fraction) {
    barWidth_ = std::isfinite(fraction) ? std::clamp(fraction, 0.05, 1.0) : 0.6;
    update();
}

void BarChart::clear() {
    categories_.clear();
    series_.clear();
    tips_.clear();
    update();
}

BarChart::Scale BarChart::niceScale(double low, double high, int maxIntervals) {
    low = std::min(usable(low), 0.0);
    high = std::max(usable(high), 0.0);
    maxIntervals = std::max(maxIntervals, 1);
    // Figures are rounded to a tenth, so a hair over a tick is noise.
    constexpr double kNoise = 1e-9;
    for (double power = 1;; power *= 10) {
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * power;
            const double lo = std::floor(low / step + kNoise) * step;
            double hi = std::ceil(high / step - kNoise) * step;
            if (hi <= lo) hi = lo + step;
            if ((hi - lo) / step <= maxIntervals + kNoise || !std::isfinite(step * 10))
                return Scale{lo + 0.0, hi + 0.0, step};
        }
    }
}

QString BarChart::figure(double value) {
    value = usable(value);
    if (value == 0) value = 0;  // no "-0"
    return QString::number(value, 'g', 15);
}

double BarChart::valueExtent(bool positive) const {
    double extent = 0;
    for (qsizetype c = 0; c < categories_.size(); ++c) {
        double sum = 0;
        for (const Series& s : series_) {
            const double v = c < s.values.size() ? usable(s.values[c]) : 0.0;
            if ((v > 0) == positive) sum += v;
        }
        extent = positive ? std::max(extent, sum) : std::min(extent, sum);
    }
    return extent;
}

int BarChart::legendHeight() const {
    return legend_ && !series_.isEmpty() ? fontMetrics().height() + 2 * kGap : 0;
}

BarChart::Geometry BarChart::layOut() const {
    const QFontMetrics fm = fontMetrics();
    const double high = valueExtent(true) * headroom_;
    const double low = valueExtent(false) * headroom_;
    Geometry g;
    g.legend = QRect(0, kMargin, width(), legendHeight());
    const int top = kMargin + g.legend.height() + fm.height() / 2;
    const int bottom = height() - kMargin - fm.height() - kGap;  // last row of the plot + 1
    if (orientation_ == Qt::Vertical) {
        // Ticks at least a line and a half apart.
        g.scale = niceScale(low, high, std::max(1, (bottom - top) / (fm.height() * 3 / 2)));
        int labels = 0;
        for (double t = g.scale.low; t <= g.scale.high + g.scale.step / 2; t += g.scale.step)
            labels = std::max(labels, fm.horizontalAdvance(figure(t)));
        const int left = kMargin + labels + kGap;
        g.plot = QRect(left, top, std::max(1, width() - kMargin - left), std::max(1, bottom - top));
    } else {
        // Names wider than two fifths of the chart are cut short.
        int names = 0;
        for (const QString& c : categories_) names = std::max(names, fm.horizontalAdvance(c));
        const int left = kMargin + std::min(names, width() * 2 / 5) + kGap;
        const int plotTop = kMargin + g.legend.height() + 2;
        // Ticks with room for their figures between them.
        const int guess =
            fm.horizontalAdvance(figure(std::max(std::abs(low), std::abs(high)))) + 4 * kGap;
        const int span = width() - kMargin - left;
        g.scale = niceScale(low, high, std::max(1, span / std::max(guess, 1)));
        // The last tick's figure is centred on the plot's right edge.
        const int right = width() - kMargin - fm.horizontalAdvance(figure(g.scale.high)) / 2;
        g.plot = QRect(left, plotTop, std::max(1, right - left), std::max(1, bottom - plotTop));
    }
    return g;
}

double BarChart::position(const Geometry& g, double value) const {
    const double fraction = (value - g.scale.low) / (g.scale.high - g.scale.low);
    if (orientation_ == Qt::Vertical) return g.plot.top() + (1 - fraction) * g.plot.height();
    return g.plot.left() + fraction * g.plot.width();
}

QRect BarChart::slot(const Geometry& g, int category) const {
    const int n = static_cast<int>(std::max<qsizetype>(categories_.size(), 1));
    if (orientation_ == Qt::Vertical) {
        const int x0 = g.plot.left() + g.plot.width() * category / n;
        const int x1 = g.plot.left() + g.plot.width() * (category + 1) / n;
        return QRect(x0, g.plot.top(), x1 - x0, g.plot.height());
    }
    const int y0 = g.plot.top() + g.plot.height() * category / n;
    const int y1 = g.plot.top() + g.plot.height() * (category + 1) / n;
    return QRect(g.plot.left(), y0, g.plot.width(), y1 - y0);
}

QRect BarChart::plotArea() const { return layOut().plot; }
double BarChart::axisLow() const { return layOut().scale.low; }
double BarChart::axisHigh() const { return layOut().scale.high; }

QList<double> BarChart::ticks() const {
    const Scale s = layOut().scale;
    QList<double> out;
    const auto count = std::llround((s.high - s.low) / s.step);
    for (long long i = 0; i <= count; ++i) out << s.low + static_cast<double>(i) * s.step + 0.0;
    return out;
}

int BarChart::categoryAt(const QPoint& point) const {
    const Geometry g = layOut();
    if (categories_.isEmpty() || !g.plot.contains(point)) return -1;
    for (int c = 0; c < categories_.size(); ++c)
        if (slot(g, c).contains(point)) return c;
    return -1;
}

bool BarChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int c = categoryAt(help->pos());
        if (c >= 0 && c < tips_.size() && !tips_[c].isEmpty())
            QToolTip::showText(help->globalPos(), tips_[c], this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void BarChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Geometry g = layOut();
    const QFontMetrics fm = fontMetrics();
    const bool vertical = orientation_ == Qt::Vertical;
    const QRect& plot = g.plot;
    const auto at = [&](double v) { return static_cast<int>(std::lround(position(g, v))); };
    const QList<double> marks = ticks();

    // Grid: a line at each tick and between the categories.
    p.setPen(kGridColour);
    for (const double t : marks) {
        const int v = at(t);
        if (vertical)
            p.drawLine(plot.left(), v, plot.right(), v);
        else
            p.drawLine(v, plot.top(), v, plot.bottom());
    }
    for (int c = 1; c < categories_.size(); ++c) {
        const QRect s = slot(g, c);
        if (vertical)
            p.drawLine(s.left(), plot.top(), s.left(), plot.bottom());
        else
            p.drawLine(plot.left(), s.top(), plot.right(), s.top());
    }

    // The zero line where refunds reach below it; bars cover it.
    if (g.scale.low < 0) {
        p.setPen(kAxisColour);
        const int zero = at(0);
        if (vertical)
            p.drawLine(plot.left(), zero, plot.right(), zero);
        else
            p.drawLine(zero, plot.top(), zero, plot.bottom());
    }

    // The bars, each series on the last: positive parts pile up from the
    // zero line, negative ones down (or to the left) from it. Both ends of a
    // part are rounded alone, so parts meet without gap or overlap.
    for (int c = 0; c < categories_.size(); ++c) {
        const QRect s = slot(g, c);
        const int across = vertical ? s.width() : s.height();
        const int thickness = std::max(1, static_cast<int>(std::lround(across * barWidth_)));
        const int start = (vertical ? s.left() : s.top()) + (across - thickness) / 2;
        double up = 0, down = 0;
        for (const Series& series : series_) {
            const double v = c < series.values.size() ? usable(series.values[c]) : 0.0;
            if (v == 0) continue;
            double& base = v > 0 ? up : down;
            const int from = at(base), to = at(base + v);
            base += v;
            const int lo = std::min(from, to), hi = std::max(from, to);
            if (hi == lo) continue;
            const QRect bar = vertical ? QRect(start, lo, thickness, hi - lo)
                                       : QRect(lo, start, hi - lo, thickness);
            p.fillRect(bar, series.colour);
        }
        if (valueLabels_ && !vertical && !series_.isEmpty()) {
            const double total = up + down;
            const QString text = figure(total);
            const int w = fm.horizontalAdvance(text);
            const int end = at(total);
            QRect label = total < 0 ? QRect(end - kGap - w, s.top(), w, s.height())
                                    : QRect(end + kGap, s.top(), w, s.height());
            p.setPen(kTextColour);
            // A figure that would run out of the chart goes inside its bar.
            if (label.left() < 0 || label.right() >= width()) {
                label.moveLeft(total < 0 ? end + kGap : end - kGap - w);
                p.setPen(Qt::white);
            }
            p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text);
        }
    }

    // Axes, just outside the plot so that they cover no bar: the value axis
    // along its side, the category axis along its foot.
    p.setPen(kAxisColour);
    p.drawLine(plot.left() - 1, plot.top(), plot.left() - 1, plot.bottom() + 1);
    p.drawLine(plot.left() - 1, plot.bottom() + 1, plot.right(), plot.bottom() + 1);

    // Tick figures and category captions.
    p.setPen(kTextColour);
    const int line = fm.height();
    for (const double t : marks) {
        const QString text = figure(t);
        const int v = at(t);
        if (vertical)
            p.drawText(QRect(kMargin, v - line / 2, plot.left() - kGap - kMargin, line),
                       Qt::AlignRight | Qt::AlignVCenter, text);
        else
            p.drawText(QRect(v - 50, plot.bottom() + kGap, 100, line), Qt::AlignCenter, text);
    }
    for (int c = 0; c < categories_.size(); ++c) {
        const QRect s = slot(g, c);
        if (vertical) {
            p.drawText(QRect(s.left(), plot.bottom() + kGap, s.width(), line), Qt::AlignCenter,
                       fm.elidedText(categories_[c], Qt::ElideRight, s.width()));
        } else {
            const int room = plot.left() - kGap - kMargin;
            p.drawText(QRect(kMargin, s.top(), room, s.height()), Qt::AlignRight | Qt::AlignVCenter,
                       fm.elidedText(categories_[c], Qt::ElideRight, room));
        }
    }

    // The legend: a swatch and the name of each series, centred in a row.
    if (g.legend.height() > 0) {
        int total = 0;
        for (const Series& s : series_)
            total += kLegendSwatch + kGap + fm.horizontalAdvance(s.name) + kLegendSpacing;
        total -= kLegendSpacing;
        int x = std::max(0, (width() - total) / 2);
        const int mid = g.legend.center().y();
        for (const Series& s : series_) {
            p.fillRect(QRect(x, mid - kLegendSwatch / 2, kLegendSwatch, kLegendSwatch), s.colour);
            x += kLegendSwatch + kGap;
            const int w = fm.horizontalAdvance(s.name);
            p.drawText(QRect(x, g.legend.top(), w, g.legend.height()), Qt::AlignVCenter, s.name);
            x += w + kLegendSpacing;
        }
    }
}

}  // namespace ui
