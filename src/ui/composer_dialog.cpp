#include "composer_dialog.h"

#include <array>

namespace ui {
namespace {

using Self = ComposerDialog;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(透明标签含边条, Kind::TransparentLabel, "外形框1", 172, 89, 120, 20, ""),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 15, 15, 80, 16, "平米换算"),
    LANHE_CONTROL(标签8, Kind::Label, "外形框1", 18, 146, 32, 24, "备注："),
    LANHE_CONTROL(编辑框备注, Kind::EditBox, "外形框1", 52, 148, 233, 20, ""),
    LANHE_CONTROL(标签11, Kind::Label, "外形框1", 65, 181, 212, 23, "平米尺寸计算，金额自动核算。"),
    LANHE_CONTROL(标签10, Kind::Label, "外形框1", 144, 87, 15, 24, "元"),
    LANHE_CONTROL(标签9, Kind::Label, "外形框1", 29, 87, 32, 24, "金额："),
    LANHE_CONTROL(标签金额, Kind::Label, "外形框1", 70, 89, 70, 20, "0"),
    LANHE_CONTROL(标签7, Kind::Label, "外形框1", 272, 51, 23, 24, "元"),
    LANHE_CONTROL(标签6, Kind::Label, "外形框1", 272, 15, 21, 24, "米"),
    LANHE_CONTROL(标签5, Kind::Label, "外形框1", 178, 15, 16, 24, "X"),
    LANHE_CONTROL(标签4, Kind::Label, "外形框1", 137, 15, 20, 24, "米"),
    LANHE_CONTROL(编辑框单价, Kind::EditBox, "外形框1", 203, 53, 64, 20, ""),
    LANHE_CONTROL(编辑框数量, Kind::EditBox, "外形框1", 70, 53, 64, 20, ""),
    LANHE_CONTROL(编辑框尺寸2, Kind::EditBox, "外形框1", 203, 17, 64, 20, ""),
    LANHE_CONTROL(编辑框尺寸1, Kind::EditBox, "外形框1", 70, 17, 64, 20, ""),
    LANHE_CONTROL(标签3, Kind::Label, "外形框1", 159, 51, 32, 24, "单价："),
    LANHE_CONTROL(标签2, Kind::Label, "外形框1", 29, 51, 32, 24, "数量："),
    LANHE_CONTROL(标签1, Kind::Label, "外形框1", 29, 15, 32, 24, "尺寸："),
    LANHE_CONTROL(按钮2, Kind::Button, "", 122, 277, 80, 25, "关闭"),
    LANHE_CONTROL(按钮1, Kind::Button, "", 233, 277, 80, 25, "完成"),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 3, 44, 317, 221, ""),
    // The edge strip's choice, in the free row between the amount and the remark.
    LANHE_CONTROL(标签12, Kind::Label, "外形框1", 29, 117, 32, 24, "边条："),
    LANHE_CONTROL(组合框边条, Kind::DropDownList, "外形框1", 70, 119, 70, 20, ""),
};
// clang-format on

}  // namespace

std::span<const LayoutRow<ComposerDialog>> ComposerDialog::layout() { return kLayout; }

ComposerDialog::ComposerDialog(QWidget* parent) : QDialog(parent) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<ComposerDialog>(*this, layout());

    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

}  // namespace ui
