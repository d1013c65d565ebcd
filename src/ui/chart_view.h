// The view a chart is shown in: Qt Charts' QChartView where the build has Qt
// Charts; where it has not (a Windows build whose Qt lacks the module), a
// label in the chart's place that says so, while the rest of the window works.
#pragma once

#if LANHE_CHARTS
#include <QChartView>
#else
#include <QLabel>
#endif

namespace ui {

#if LANHE_CHARTS
using ChartView = QChartView;
#else
class ChartView : public QLabel {
    Q_OBJECT
  public:
    explicit ChartView(QWidget* parent = nullptr);
};
#endif

// What a build without charts shows in their place.
inline constexpr const char16_t* kNoChartsText = u"此版本不含图表组件，图表无法显示。";

}  // namespace ui
