// The statistics window "经营统计", opened from the query page: the takings
// of the last twelve months as stacked bars (settled and unsettled), the ten
// customers with the largest sums, and this year's and this month's totals.
// It has no title, as the program's other windows; "关闭" closes it.
#pragma once

#include <QDialog>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class StatisticsWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 580;

    // `charts`: who draws the two charts (Qt Charts where it is built in).
    explicit StatisticsWindow(QWidget* parent = nullptr,
                              ChartDrawing charts = kDefaultChartDrawing);

    // The controls, in creation order.
    static std::span<const LayoutRow<StatisticsWindow>> layout();

    TransparentLabel* 透明标签1 = nullptr;
    TransparentLabel* 标签统计日期 = nullptr;
    ChartView* 图表月份 = nullptr;
    GroupFrame* 分组框1 = nullptr;
    ChartView* 图表客户 = nullptr;
    GroupFrame* 分组框2 = nullptr;
    QLabel* 标签本年 = nullptr;
    QLabel* 标签本月 = nullptr;
    QLabel* 标签1 = nullptr;
    QLabel* 标签本年已结 = nullptr;
    QLabel* 标签本月已结 = nullptr;
    QLabel* 标签2 = nullptr;
    QLabel* 标签本年未结 = nullptr;
    QLabel* 标签本月未结 = nullptr;
    QLabel* 标签3 = nullptr;
    QLabel* 标签本年合计 = nullptr;
    QLabel* 标签本月合计 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    GroupFrame* 分组框3 = nullptr;
    QPushButton* 按钮1 = nullptr;
};

}  // namespace ui
