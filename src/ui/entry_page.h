// The entry page (" 记 账 "): the day list with its total, the entry form and
// the customer's price history. A page window has no title; it is created
// frameless because the main bar docks it directly under itself.
#pragma once

#include <QWidget>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class EntryPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 520;

    explicit EntryPage(QWidget* parent = nullptr, Qt::WindowFlags flags = kPageWindowFlags);

    // Columns of `超级列表框记账`: 0 untitled and without width, then "序",
    // "客户", "项目", "金额", "状态" (with the status image) and "备注".
    static constexpr int kStatusColumn = 5;

    // The controls, in creation order.
    static std::span<const LayoutRow<EntryPage>> layout();

    QLabel* 标签客户名 = nullptr;
    QPlainTextEdit* 编辑框历史价格 = nullptr;
    GroupFrame* 分组框1 = nullptr;
    TransparentLabel* 标签状态 = nullptr;
    RadioButton* 单选框已结 = nullptr;
    RadioButton* 单选框未结 = nullptr;
    QLabel* 标签9 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    EditBox* 编辑框金额 = nullptr;
    QLabel* 标签7 = nullptr;
    ComboBox* 组合框客户 = nullptr;
    QLabel* 标签6 = nullptr;
    QPushButton* 按钮2 = nullptr;
    QPushButton* 按钮记账 = nullptr;
    EditBox* 编辑框备注 = nullptr;
    ComboBox* 组合框事件 = nullptr;
    QLabel* 标签5 = nullptr;
    QLabel* 标签2 = nullptr;
    QFrame* 外形框2 = nullptr;
    QLabel* 标签3 = nullptr;
    QLabel* 合计标签 = nullptr;
    QLabel* 标签1 = nullptr;
    DatePicker* 日期框1 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    ReportList* 超级列表框记账 = nullptr;
    QFrame* 外形框1 = nullptr;
};

}  // namespace ui
