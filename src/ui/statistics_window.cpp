#include "statistics_window.h"

#include <array>

namespace ui {
namespace {

using Self = StatisticsWindow;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 15, 12, 80, 16, "经营统计"),
    LANHE_CONTROL(标签统计日期, Kind::TransparentLabel, "", 110, 12, 400, 16, ""),
    LANHE_CONTROL(图表月份, Kind::Chart, "分组框1", 5, 20, 672, 245, ""),
    LANHE_CONTROL(分组框1, Kind::GroupFrame, "", 9, 36, 682, 270, "近十二个月营业额"),
    LANHE_CONTROL(图表客户, Kind::Chart, "分组框2", 5, 20, 410, 201, ""),
    LANHE_CONTROL(分组框2, Kind::GroupFrame, "", 9, 312, 420, 226, "客户消费前十"),
    LANHE_CONTROL(标签本年, Kind::Label, "分组框3", 70, 28, 85, 24, "本年"),
    LANHE_CONTROL(标签本月, Kind::Label, "分组框3", 160, 28, 85, 24, "本月"),
    LANHE_CONTROL(标签1, Kind::Label, "分组框3", 12, 64, 50, 24, "已结："),
    LANHE_CONTROL(标签本年已结, Kind::Label, "分组框3", 70, 64, 85, 24, "0"),
    LANHE_CONTROL(标签本月已结, Kind::Label, "分组框3", 160, 64, 85, 24, "0"),
    LANHE_CONTROL(标签2, Kind::Label, "分组框3", 12, 100, 50, 24, "未结："),
    LANHE_CONTROL(标签本年未结, Kind::Label, "分组框3", 70, 100, 85, 24, "0"),
    LANHE_CONTROL(标签本月未结, Kind::Label, "分组框3", 160, 100, 85, 24, "0"),
    LANHE_CONTROL(标签3, Kind::Label, "分组框3", 12, 136, 50, 24, "合计："),
    LANHE_CONTROL(标签本年合计, Kind::Label, "分组框3", 70, 136, 85, 24, "0"),
    LANHE_CONTROL(标签本月合计, Kind::Label, "分组框3", 160, 136, 85, 24, "0"),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "分组框3", 12, 186, 230, 24, "金额单位：元"),
    LANHE_CONTROL(分组框3, Kind::GroupFrame, "", 435, 312, 256, 226, "本年、本月合计"),
    LANHE_CONTROL(按钮1, Kind::Button, "", 611, 547, 80, 25, "关闭"),
};
// clang-format on

}  // namespace

std::span<const LayoutRow<StatisticsWindow>> StatisticsWindow::layout() { return kLayout; }

StatisticsWindow::StatisticsWindow(QWidget* parent, ChartDrawing charts) : QDialog(parent) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<StatisticsWindow>(*this, layout());
    if (charts != kDefaultChartDrawing) {
        图表月份->setDrawing(charts);
        图表客户->setDrawing(charts);
    }
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Figures read from the right, as in a ledger.
    for (QLabel* figure : {标签本年, 标签本月, 标签本年已结, 标签本月已结, 标签本年未结,
                           标签本月未结, 标签本年合计, 标签本月合计})
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(按钮1, &QPushButton::clicked, this, &QDialog::close);
}

}  // namespace ui
