#include "settings_page.h"

#include <array>

namespace ui {
namespace {

using Self = SettingsPage;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(透明标签6, Kind::TransparentLabel, "", 568, 224, 96, 32, "皮肤模块禁用了，有的win10报错。"),
    LANHE_CONTROL(透明标签5, Kind::TransparentLabel, "分组框1", 18, 173, 256, 24, "启用密码默认启用设置密码，其他选项请勾选。"),
    LANHE_CONTROL(选择框客户密码, Kind::CheckBox, "分组框1", 188, 147, 72, 24, "客户密码"),
    LANHE_CONTROL(选择框查询密码, Kind::CheckBox, "分组框1", 107, 147, 72, 24, "查询密码"),
    LANHE_CONTROL(选择框登录密码, Kind::CheckBox, "分组框1", 26, 147, 72, 24, "登录密码"),
    LANHE_CONTROL(选择框记账日期, Kind::CheckBox, "分组框2", 108, 28, 70, 16, "记账日期"),
    LANHE_CONTROL(选择框记账修改删除, Kind::CheckBox, "分组框2", 194, 28, 70, 16, "修改删除"),
    LANHE_CONTROL(选择框记账录入, Kind::CheckBox, "分组框2", 22, 28, 70, 16, "记账录入"),
    LANHE_CONTROL(分组框2, Kind::GroupFrame, "外形框1", 202, 9, 282, 59, "记账权限设置"),
    LANHE_CONTROL(选择框统计组合, Kind::CheckBox, "分组框3", 194, 27, 70, 16, "组合搜索"),
    LANHE_CONTROL(透明标签4, Kind::TransparentLabel, "", 181, 480, 264, 32, "删除项目，已录入的账单不会改变。"),
    LANHE_CONTROL(透明标签3, Kind::TransparentLabel, "外形框2", 47, 4, 72, 24, "设置项目"),
    LANHE_CONTROL(分组框3, Kind::GroupFrame, "外形框1", 202, 73, 282, 59, "查询权限设置"),
    LANHE_CONTROL(选择框统计模糊, Kind::CheckBox, "分组框3", 22, 27, 70, 16, "模糊搜索"),
    LANHE_CONTROL(选择框统计时间, Kind::CheckBox, "分组框3", 108, 27, 70, 16, "时间搜索"),
    LANHE_CONTROL(分组框4, Kind::GroupFrame, "外形框1", 202, 137, 282, 59, "客户权限设置"),
    LANHE_CONTROL(选择框客户添加, Kind::CheckBox, "分组框4", 22, 27, 70, 16, "添加客户"),
    LANHE_CONTROL(选择框客户修改, Kind::CheckBox, "分组框4", 108, 27, 70, 16, "修改客户"),
    LANHE_CONTROL(选择框客户删除, Kind::CheckBox, "分组框4", 194, 27, 70, 16, "删除客户"),
    LANHE_CONTROL(编辑框项目, Kind::EditBox, "外形框2", 12, 342, 120, 24, ""),
    LANHE_CONTROL(按钮1, Kind::Button, "外形框2", 12, 376, 120, 24, "添加"),
    LANHE_CONTROL(按钮3, Kind::Button, "外形框2", 12, 408, 120, 24, "删除"),
    LANHE_CONTROL(列表框项目, Kind::ListBox, "外形框2", 12, 30, 120, 299, ""),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "分组框1", 26, 71, 80, 16, "密    码："),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "分组框1", 26, 107, 80, 16, "确认密码："),
    LANHE_CONTROL(标签7, Kind::Label, "外形框1", 211, 418, 166, 24, "设置类保存后重启生效"),
    LANHE_CONTROL(按钮全部保存, Kind::Button, "外形框1", 402, 416, 82, 30, "全部保存"),
    LANHE_CONTROL(单选框禁用密码, Kind::RadioButton, "分组框1", 159, 34, 102, 16, "禁用密码"),
    LANHE_CONTROL(单选框启用密码, Kind::RadioButton, "分组框1", 44, 34, 102, 16, "启用密码"),
    LANHE_CONTROL(编辑框确认密码, Kind::EditBox, "分组框1", 117, 106, 138, 25, ""),
    LANHE_CONTROL(编辑框密码, Kind::EditBox, "分组框1", 117, 69, 138, 25, ""),
    LANHE_CONTROL(分组框1, Kind::GroupFrame, "外形框1", 202, 199, 282, 205, "密码设置"),
    LANHE_CONTROL(外形框2, Kind::ShapeFrame, "外形框1", 17, 11, 144, 441, ""),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 15, 12, 519, 461, ""),
    LANHE_CONTROL(按钮2, Kind::Button, "", 12, 481, 104, 24, "收起"),
    // In the free column right of the frames, under the skin notice.
    LANHE_CONTROL(按钮备份恢复, Kind::Button, "", 568, 272, 96, 28, "备份恢复"),
};
// clang-format on

}  // namespace

std::span<const LayoutRow<SettingsPage>> SettingsPage::layout() { return kLayout; }

SettingsPage::SettingsPage(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<SettingsPage>(*this, layout());

    // The password boxes mask what is typed.
    编辑框密码->setEchoMode(QLineEdit::Password);
    编辑框确认密码->setEchoMode(QLineEdit::Password);
}

}  // namespace ui
