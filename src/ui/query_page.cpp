#include "query_page.h"

#include <array>

#include "images.h"

namespace ui {
namespace {

using Self = QueryPage;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(通用提供者1, Kind::DataProvider, "", 312, 760, 16, 16, ""),
    LANHE_CONTROL(数据源1, Kind::DataSource, "", 344, 760, 132, 22, ""),
    LANHE_CONTROL(表格1, Kind::Grid, "", 304, 776, 32, 16, ""),
    LANHE_CONTROL(按钮打印本页, Kind::Button, "外形框1", 562, 590, 96, 24, "打印本页"),
    LANHE_CONTROL(标签1, Kind::Label, "外形框1", 20, 5, 652, 16, "点击表头排序，排序后是否结清为不可选择，按序号排序或重新搜索后方可选择是否结清。"),
    LANHE_CONTROL(编辑框组合, Kind::EditBox, "分组框3", 436, 14, 94, 20, ""),
    LANHE_CONTROL(透明标签11, Kind::TransparentLabel, "分组框3", 384, 12, 47, 24, "关键字："),
    LANHE_CONTROL(透明标签10, Kind::TransparentLabel, "分组框3", 25, 12, 32, 24, "时间："),
    LANHE_CONTROL(透明标签9, Kind::TransparentLabel, "分组框3", 206, 20, 8, 8, ""),
    LANHE_CONTROL(日期框组合止, Kind::DatePicker, "分组框3", 229, 14, 130, 20, ""),
    LANHE_CONTROL(日期框组合起, Kind::DatePicker, "分组框3", 67, 14, 130, 20, ""),
    LANHE_CONTROL(按钮组合搜索, Kind::Button, "分组框3", 552, 12, 90, 22, "搜索"),
    LANHE_CONTROL(分组框3, Kind::GroupFrame, "", 9, 90, 680, 40, "组合搜索"),
    LANHE_CONTROL(透明标签8, Kind::TransparentLabel, "", 140, 769, 175, 21, "模糊搜索很强大，多试试！"),
    LANHE_CONTROL(透明标签7, Kind::TransparentLabel, "外形框1", 283, 594, 16, 16, "元"),
    LANHE_CONTROL(按钮未结, Kind::Button, "外形框1", 418, 590, 80, 24, "标记未结"),
    LANHE_CONTROL(标签选中合计, Kind::Label, "外形框1", 159, 590, 117, 24, "0"),
    LANHE_CONTROL(透明标签6, Kind::TransparentLabel, "外形框1", 17, 590, 136, 24, "当前选中项目合计："),
    LANHE_CONTROL(按钮结清, Kind::Button, "外形框1", 321, 590, 80, 24, "选中结清"),
    LANHE_CONTROL(透明标签5, Kind::TransparentLabel, "", 664, 768, 16, 16, "元"),
    LANHE_CONTROL(透明标签4, Kind::TransparentLabel, "", 471, 768, 77, 16, "本页合计："),
    LANHE_CONTROL(合计标签, Kind::Label, "", 552, 766, 104, 20, "0"),
    LANHE_CONTROL(透明标签3, Kind::TransparentLabel, "分组框1", 280, 12, 23, 24, "止：", Face::Song),
    LANHE_CONTROL(日期框止, Kind::DatePicker, "分组框1", 321, 13, 140, 22, ""),
    LANHE_CONTROL(编辑框搜索, Kind::EditBox, "分组框2", 240, 12, 195, 22, ""),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "分组框2", 138, 11, 80, 24, "关 键 字 ：", Face::Song),
    LANHE_CONTROL(按钮模糊搜索, Kind::Button, "分组框2", 552, 12, 90, 22, "搜索"),
    LANHE_CONTROL(按钮时间搜索, Kind::Button, "分组框1", 552, 12, 90, 22, "搜索"),
    LANHE_CONTROL(分组框2, Kind::GroupFrame, "", 9, 5, 680, 40, "模糊搜索"),
    LANHE_CONTROL(日期框起, Kind::DatePicker, "分组框1", 118, 13, 140, 22, ""),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "分组框1", 80, 12, 22, 24, "起：", Face::Song),
    LANHE_CONTROL(分组框1, Kind::GroupFrame, "", 9, 48, 680, 40, "时间搜索"),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 9, 133, 680, 620, ""),
    LANHE_CONTROL(超级列表框统计, Kind::ReportList, "外形框1", 5, 25, 670, 560, ""),
    LANHE_CONTROL(按钮2, Kind::Button, "", 12, 763, 104, 24, "收起"),
};
// clang-format on

QList<ReportColumn> queryColumns() {
    return {{QString(), 0, Qt::AlignLeft},
            {QStringLiteral("序"), 30, Qt::AlignHCenter},
            {QStringLiteral("日期"), 100, Qt::AlignLeft},
            {QStringLiteral("客户"), 60, Qt::AlignLeft},
            {QStringLiteral("项目"), 80, Qt::AlignHCenter},
            {QStringLiteral("金额"), 60, Qt::AlignRight},
            {QStringLiteral("状态"), 55, Qt::AlignLeft},
            {QStringLiteral("备注"), 500, Qt::AlignLeft}};
}

}  // namespace

std::span<const LayoutRow<QueryPage>> QueryPage::layout() { return kLayout; }

QueryPage::QueryPage(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<QueryPage>(*this, layout());

    超级列表框统计->setColumns(queryColumns());
    超级列表框统计->setImages(statusImages());
    超级列表框统计->setImageColumn(kStatusColumn);
    超级列表框统计->setMultipleSelection(true);
}

}  // namespace ui
