#include "customers_page.h"

#include <array>

namespace ui {
namespace {

using Self = CustomersPage;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(标签6, Kind::Label, "外形框6", 123, 6, 16, 16, "元"),
    LANHE_CONTROL(标签5, Kind::Label, "外形框5", 123, 7, 16, 16, "元"),
    LANHE_CONTROL(标签全部未结, Kind::Label, "外形框6", 38, 3, 80, 24, "0"),
    LANHE_CONTROL(标签全部已结, Kind::Label, "外形框5", 38, 3, 80, 24, "0"),
    LANHE_CONTROL(标签2, Kind::Label, "外形框6", 7, 3, 24, 24, "未结"),
    LANHE_CONTROL(标签1, Kind::Label, "外形框5", 7, 3, 24, 24, "已结"),
    LANHE_CONTROL(超级列表框1, Kind::ReportList, "分组框3", 5, 21, 142, 336, ""),
    LANHE_CONTROL(外形框6, Kind::ShapeFrame, "分组框4", 5, 61, 141, 30, ""),
    LANHE_CONTROL(外形框5, Kind::ShapeFrame, "分组框4", 5, 22, 141, 30, ""),
    LANHE_CONTROL(分组框4, Kind::GroupFrame, "", 541, 373, 152, 101, "全部已未结金额"),
    LANHE_CONTROL(分组框3, Kind::GroupFrame, "", 541, 6, 152, 362, "客户消费排行"),
    LANHE_CONTROL(透明标签5, Kind::TransparentLabel, "分组框1", 21, 176, 248, 24, "注：修改姓名，之前的账单在本页不会累计，\r\n    谨慎修改，其他选项随意修改。"),
    LANHE_CONTROL(透明标签10, Kind::TransparentLabel, "外形框4", 220, 8, 24, 24, "元"),
    LANHE_CONTROL(透明标签11, Kind::TransparentLabel, "外形框4", 21, 9, 70, 24, "未结金额:"),
    LANHE_CONTROL(透明标签9, Kind::TransparentLabel, "外形框3", 220, 10, 24, 24, "元"),
    LANHE_CONTROL(透明标签8, Kind::TransparentLabel, "外形框3", 21, 10, 70, 24, "已结金额:"),
    LANHE_CONTROL(外形框4, Kind::ShapeFrame, "分组框2", 10, 116, 252, 43, ""),
    LANHE_CONTROL(标签未结, Kind::Label, "外形框4", 101, 10, 106, 25, "0"),
    LANHE_CONTROL(外形框3, Kind::ShapeFrame, "分组框2", 10, 63, 252, 43, ""),
    LANHE_CONTROL(标签已结, Kind::Label, "外形框3", 101, 10, 106, 25, "0"),
    LANHE_CONTROL(透明标签7, Kind::TransparentLabel, "分组框1", 15, 104, 32, 16, "备注："),
    LANHE_CONTROL(透明标签6, Kind::TransparentLabel, "分组框1", 15, 67, 32, 16, "地址："),
    LANHE_CONTROL(透明标签4, Kind::TransparentLabel, "分组框1", 15, 29, 32, 16, "姓名："),
    LANHE_CONTROL(透明标签3, Kind::TransparentLabel, "分组框1", 143, 25, 32, 24, "电话："),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "分组框2", 23, 25, 72, 24, "当前用户："),
    LANHE_CONTROL(标签9, Kind::Label, "外形框2", 220, 10, 16, 25, "元"),
    LANHE_CONTROL(标签金额, Kind::Label, "外形框2", 101, 10, 106, 25, "0"),
    LANHE_CONTROL(标签7, Kind::Label, "外形框2", 19, 10, 70, 25, "总计金额："),
    LANHE_CONTROL(外形框2, Kind::ShapeFrame, "分组框2", 10, 169, 252, 43, ""),
    LANHE_CONTROL(标签用户, Kind::Label, "分组框2", 98, 25, 160, 25, "无选中用户"),
    LANHE_CONTROL(分组框2, Kind::GroupFrame, "外形框1", 214, 228, 273, 224, "账单总计"),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 136, 480, 320, 31, "删除客户，账单记录不会被删除；\r\n修改姓名，之前的账单不会累计，谨慎修改。"),
    LANHE_CONTROL(超级按钮4, Kind::ImageButton, "分组框1", 54, 139, 55, 25, "重填"),
    LANHE_CONTROL(按钮删除, Kind::ImageButton, "外形框1", 25, 418, 159, 25, "删除"),
    LANHE_CONTROL(按钮修改, Kind::ImageButton, "分组框1", 125, 139, 55, 25, "修改"),
    LANHE_CONTROL(按钮添加, Kind::ImageButton, "分组框1", 196, 139, 55, 25, "添加"),
    LANHE_CONTROL(编辑框备注, Kind::EditBox, "分组框1", 62, 100, 190, 25, ""),
    LANHE_CONTROL(编辑框地址, Kind::EditBox, "分组框1", 62, 63, 190, 25, ""),
    LANHE_CONTROL(编辑框电话, Kind::EditBox, "分组框1", 175, 25, 77, 25, ""),
    LANHE_CONTROL(编辑框姓名, Kind::EditBox, "分组框1", 62, 25, 68, 25, ""),
    LANHE_CONTROL(分组框1, Kind::GroupFrame, "外形框1", 214, 8, 273, 213, "客户信息"),
    LANHE_CONTROL(卷帘式菜单客户, Kind::RollUpMenu, "外形框1", 26, 14, 162, 392, ""),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 9, 12, 527, 461, ""),
    LANHE_CONTROL(按钮2, Kind::Button, "", 12, 481, 104, 24, "收起"),
    // Beside the page's own controls, in the free corner at its foot.
    LANHE_CONTROL(按钮最近删除, Kind::Button, "", 584, 481, 104, 24, "最近删除"),
};
// clang-format on

QList<ReportColumn> rankingColumns() {
    return {{QString(), 0, Qt::AlignLeft},
            {QStringLiteral("客户"), 60, Qt::AlignHCenter},
            {QStringLiteral("总消费"), 75, Qt::AlignRight}};
}

}  // namespace

std::span<const LayoutRow<CustomersPage>> CustomersPage::layout() { return kLayout; }

CustomersPage::CustomersPage(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<CustomersPage>(*this, layout());

    超级列表框1->setColumns(rankingColumns());
}

}  // namespace ui
