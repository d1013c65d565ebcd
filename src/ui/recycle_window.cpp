#include "recycle_window.h"

#include <array>

namespace ui {
namespace {

using Self = RecycleWindow;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 12, 10, 616, 20, "删除的账单和客户保留90天，选中后点“还原”放回原处。"),
    LANHE_CONTROL(超级列表框删除, Kind::ReportList, "", 10, 36, 620, 326, ""),
    LANHE_CONTROL(按钮还原, Kind::Button, "", 426, 374, 96, 28, "还原"),
    LANHE_CONTROL(按钮关闭, Kind::Button, "", 534, 374, 96, 28, "关闭"),
};
// clang-format on

QList<ReportColumn> recycleColumns() {
    return {{QString(), 0, Qt::AlignLeft},
            {QStringLiteral("删除时间"), 200, Qt::AlignLeft},
            {QStringLiteral("来自"), 46, Qt::AlignHCenter},
            {QStringLiteral("内容"), 350, Qt::AlignLeft}};
}

}  // namespace

std::span<const LayoutRow<RecycleWindow>> RecycleWindow::layout() { return kLayout; }

RecycleWindow::RecycleWindow(QWidget* parent) : QDialog(parent) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<RecycleWindow>(*this, layout());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    超级列表框删除->setColumns(recycleColumns());
    超级列表框删除->setWholeRowSelection(true);
}

}  // namespace ui
