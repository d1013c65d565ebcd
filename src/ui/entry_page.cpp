#include "entry_page.h"

#include <array>

#include "appearance.h"
#include "images.h"

namespace ui {
namespace {

using Self = EntryPage;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(标签客户名, Kind::Label, "分组框1", 4, 18, 145, 30, ""),
    LANHE_CONTROL(编辑框历史价格, Kind::MultiLineEditBox, "分组框1", 4, 51, 145, 450, ""),
    LANHE_CONTROL(分组框1, Kind::GroupFrame, "", 543, 8, 153, 507, "客户历史价格表"),
    LANHE_CONTROL(标签状态, Kind::TransparentLabel, "外形框1", 55, 269, 176, 24, "--修改状态↓↓↓"),
    LANHE_CONTROL(单选框已结, Kind::RadioButton, "外形框2", 309, 95, 90, 16, "现款结清"),
    LANHE_CONTROL(单选框未结, Kind::RadioButton, "外形框2", 212, 95, 88, 16, "未结记账"),
    LANHE_CONTROL(标签9, Kind::Label, "外形框2", 177, 91, 16, 20, "元", Face::Song),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "", 174, 487, 271, 16, "左双击项目修改，右双击项目删除。"),
    LANHE_CONTROL(编辑框金额, Kind::EditBox, "外形框2", 81, 90, 90, 22, ""),
    LANHE_CONTROL(标签7, Kind::Label, "外形框2", 30, 91, 35, 20, "金额：", Face::Song),
    LANHE_CONTROL(组合框客户, Kind::ComboBox, "外形框2", 81, 15, 112, 21, ""),
    LANHE_CONTROL(标签6, Kind::Label, "外形框2", 30, 15, 37, 20, "客户：", Face::Song),
    LANHE_CONTROL(按钮2, Kind::Button, "", 17, 481, 104, 24, "收起"),
    LANHE_CONTROL(按钮记账, Kind::Button, "外形框2", 431, 18, 79, 93, "录入", Face::Song),
    LANHE_CONTROL(编辑框备注, Kind::EditBox, "外形框2", 81, 47, 314, 32, ""),
    LANHE_CONTROL(组合框事件, Kind::ComboBox, "外形框2", 270, 15, 126, 21, ""),
    LANHE_CONTROL(标签5, Kind::Label, "外形框2", 30, 53, 40, 20, "备注：", Face::Song),
    LANHE_CONTROL(标签2, Kind::Label, "外形框2", 220, 15, 40, 20, "项目：", Face::Song),
    LANHE_CONTROL(外形框2, Kind::ShapeFrame, "", 9, 345, 530, 128, ""),
    LANHE_CONTROL(标签3, Kind::Label, "外形框1", 503, 271, 19, 20, "元"),
    LANHE_CONTROL(合计标签, Kind::Label, "外形框1", 369, 271, 123, 20, "0"),
    LANHE_CONTROL(标签1, Kind::Label, "外形框1", 319, 271, 49, 20, "合计："),
    LANHE_CONTROL(日期框1, Kind::DatePicker, "", 140, 10, 209, 22, "", Face::Song),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 43, 9, 69, 24, "当前日期："),
    LANHE_CONTROL(超级列表框记账, Kind::ReportList, "外形框1", 5, 5, 520, 259, ""),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 9, 40, 530, 300, ""),
};
// clang-format on

QList<ReportColumn> entryColumns() {
    return {{QString(), 0, Qt::AlignLeft},
            {QStringLiteral("序"), 25, Qt::AlignHCenter},
            {QStringLiteral("客户"), 60, Qt::AlignLeft},
            {QStringLiteral("项目"), 80, Qt::AlignHCenter},
            {QStringLiteral("金额"), 55, Qt::AlignRight},
            {QStringLiteral("状态"), 55, Qt::AlignLeft},
            {QStringLiteral("备注"), 400, Qt::AlignLeft}};
}

}  // namespace

std::span<const LayoutRow<EntryPage>> EntryPage::layout() { return kLayout; }

EntryPage::EntryPage(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<EntryPage>(*this, layout());

    超级列表框记账->setColumns(entryColumns());
    超级列表框记账->setImages(statusImages());
    超级列表框记账->setImageColumn(kStatusColumn);
    // Rows become pickable only when the modify-and-delete switch turns
    // whole-row selection on.
    超级列表框记账->setWholeRowSelection(false);
    // "录入" and the date wait for their permission switches.
    按钮记账->setEnabled(false);
    日期框1->setEnabled(false);
    // Shown only in modify mode.
    标签状态->hide();
    setTextColor(标签状态, QColor(255, 0, 0));
    编辑框历史价格->setReadOnly(true);
}

}  // namespace ui
