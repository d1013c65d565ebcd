// A bar chart drawn with QPainter alone, for builds whose Qt has no Charts
// module: stacked columns with a legend and captions under them, or
// horizontal bars with their captions on the left and their figures at
// their ends; a value axis with a few round ticks. Negative values (refunds)
// are drawn from the zero line downwards (or to the left): the value axis
// reaches below zero far enough to hold them, so nothing is cut off.
#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace ui {

class BarChart : public QWidget {
    Q_OBJECT
  public:
    struct Series {
        QString name;  // the legend's caption
        QColor colour;
        QList<double> values;  // one per category; missing ones count as 0
    };

    // Vertical: columns standing on the category axis, the first category
    // on the left. Horizontal: bars from the left, the first category on top.
    explicit BarChart(QWidget* parent = nullptr);

    void setOrientation(Qt::Orientation orientation);
    Qt::Orientation orientation() const { return orientation_; }
    void setCategories(const QStringList& categories);
    const QStringList& categories() const { return categories_; }
    // The series stack in this order: the first sits on the zero line.
    void setSeries(const QList<Series>& series);
    const QList<Series>& series() const { return series_; }
    void setLegendVisible(bool visible);
    // Each bar's figure just past its end (horizontal charts).
    void setValueLabelsVisible(bool visible);
    // The value axis reaches at least this many times the largest value, to
    // leave room for the figures after the bars.
    void setHeadroom(double factor);
    // Shown when the pointer rests on a category's bar; one per category.
    void setToolTips(const QStringList& tips);
    // Drawing proportions of a category's slot the bar takes.
    void setBarWidth(double fraction);
    // Empties the chart: no categories, no series, no tips.
    void clear();

    // What the chart shows at its present size: the rectangle the bars are
    // drawn in, the value axis's ends and its ticks (low to high).
    QRect plotArea() const;
    double axisLow() const;
    double axisHigh() const;
    QList<double> ticks() const;
    // The category whose slot holds `point`, or -1.
    int categoryAt(const QPoint& point) const;

    // The rounded range and step of a value axis from `low` to `high`
    // holding at most `maxIntervals` steps of 1, 2 or 5 times a power of ten
    // (at least 1: the axis counts whole yuan).
    struct Scale {
        double low = 0, high = 1, step = 1;
    };
    static Scale niceScale(double low, double high, int maxIntervals);
    // How a figure is written at a bar's end and on the value axis.
    static QString figure(double value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Geometry {
        QRect plot;
        QRect legend;
        Scale scale;
    };
    Geometry layOut() const;
    double valueExtent(bool positive) const;
    int legendHeight() const;
    // The pixel position of `value` along the value axis of `g`.
    double position(const Geometry& g, double value) const;
    QRect slot(const Geometry& g, int category) const;

    Qt::Orientation orientation_ = Qt::Vertical;
    QStringList categories_;
    QList<Series> series_;
    QStringList tips_;
    bool legend_ = false;
    bool valueLabels_ = false;
    double headroom_ = 1.0;
    double barWidth_ = 0.6;
};

}  // namespace ui
