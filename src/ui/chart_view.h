// Where the statistics window shows a chart. Qt Charts draws it where the
// build has that module (the Linux build); elsewhere, or when asked, the
// program's own painted bar chart does, so the Windows build shows the same
// two charts.
#pragma once

#include <QWidget>

#if LANHE_CHARTS
#include <QChartView>
#endif

namespace ui {

class BarChart;

enum class ChartDrawing { QtCharts, Painted };

// Qt Charts where it is compiled in.
inline constexpr ChartDrawing kDefaultChartDrawing =
    LANHE_CHARTS ? ChartDrawing::QtCharts : ChartDrawing::Painted;

class ChartView : public QWidget {
    Q_OBJECT
  public:
    explicit ChartView(QWidget* parent = nullptr);

    // Shows an empty chart of that drawing in place of the present one. A
    // build without Qt Charts always paints.
    void setDrawing(ChartDrawing drawing);
    ChartDrawing drawing() const;

    // The painted chart, or null while Qt Charts draws.
    BarChart* barChart() const;
#if LANHE_CHARTS
    // Qt Charts' view, or null while the chart is painted.
    QChartView* qtChartView() const;
#endif

  private:
    QWidget* content_ = nullptr;
};

}  // namespace ui
