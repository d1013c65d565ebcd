// The settings page (" 设 置 "): the password, the permission and prompt
// switches, and the project list.
#pragma once

#include <QWidget>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class SettingsPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 520;

    explicit SettingsPage(QWidget* parent = nullptr, Qt::WindowFlags flags = kPageWindowFlags);

    // The controls, in creation order.
    static std::span<const LayoutRow<SettingsPage>> layout();

    TransparentLabel* 透明标签6 = nullptr;
    TransparentLabel* 透明标签5 = nullptr;
    QCheckBox* 选择框客户密码 = nullptr;
    QCheckBox* 选择框查询密码 = nullptr;
    QCheckBox* 选择框登录密码 = nullptr;
    QCheckBox* 选择框记账日期 = nullptr;
    QCheckBox* 选择框记账修改删除 = nullptr;
    QCheckBox* 选择框记账录入 = nullptr;
    GroupFrame* 分组框2 = nullptr;
    QCheckBox* 选择框统计组合 = nullptr;
    TransparentLabel* 透明标签4 = nullptr;
    TransparentLabel* 透明标签3 = nullptr;
    GroupFrame* 分组框3 = nullptr;
    QCheckBox* 选择框统计模糊 = nullptr;
    QCheckBox* 选择框统计时间 = nullptr;
    GroupFrame* 分组框4 = nullptr;
    QCheckBox* 选择框客户添加 = nullptr;
    QCheckBox* 选择框客户修改 = nullptr;
    QCheckBox* 选择框客户删除 = nullptr;
    EditBox* 编辑框项目 = nullptr;
    QPushButton* 按钮1 = nullptr;
    QPushButton* 按钮3 = nullptr;
    QListWidget* 列表框项目 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    QLabel* 标签7 = nullptr;
    QPushButton* 按钮全部保存 = nullptr;
    RadioButton* 单选框禁用密码 = nullptr;
    RadioButton* 单选框启用密码 = nullptr;
    EditBox* 编辑框确认密码 = nullptr;
    EditBox* 编辑框密码 = nullptr;
    GroupFrame* 分组框1 = nullptr;
    QFrame* 外形框2 = nullptr;
    QFrame* 外形框1 = nullptr;
    QPushButton* 按钮2 = nullptr;
    // Opens the backup and restore window ("备份恢复").
    QPushButton* 按钮备份恢复 = nullptr;
};

}  // namespace ui
