// The query page (" 查 询 "): keyword, date-range and combined searches, the
// list of found entries with its totals, settle and unsettle, and the print
// button. The grid that prints the delivery note is never shown; its data
// source and data provider are invisible placeholders of their size.
#pragma once

#include <QWidget>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class QueryPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 800;

    explicit QueryPage(QWidget* parent = nullptr, Qt::WindowFlags flags = kPageWindowFlags);

    // Columns of `超级列表框统计`: 0 untitled and without width, then "序",
    // "日期", "客户", "项目", "金额", "状态" (with the status image), "备注".
    static constexpr int kStatusColumn = 6;

    // The controls, in creation order.
    static std::span<const LayoutRow<QueryPage>> layout();

    QWidget* 通用提供者1 = nullptr;
    QWidget* 数据源1 = nullptr;
    TableGrid* 表格1 = nullptr;
    QPushButton* 按钮打印本页 = nullptr;
    QLabel* 标签1 = nullptr;
    EditBox* 编辑框组合 = nullptr;
    TransparentLabel* 透明标签11 = nullptr;
    TransparentLabel* 透明标签10 = nullptr;
    TransparentLabel* 透明标签9 = nullptr;
    DatePicker* 日期框组合止 = nullptr;
    DatePicker* 日期框组合起 = nullptr;
    QPushButton* 按钮组合搜索 = nullptr;
    GroupFrame* 分组框3 = nullptr;
    TransparentLabel* 透明标签8 = nullptr;
    TransparentLabel* 透明标签7 = nullptr;
    QPushButton* 按钮未结 = nullptr;
    QLabel* 标签选中合计 = nullptr;
    TransparentLabel* 透明标签6 = nullptr;
    QPushButton* 按钮结清 = nullptr;
    TransparentLabel* 透明标签5 = nullptr;
    TransparentLabel* 透明标签4 = nullptr;
    QLabel* 合计标签 = nullptr;
    TransparentLabel* 透明标签3 = nullptr;
    DatePicker* 日期框止 = nullptr;
    EditBox* 编辑框搜索 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    QPushButton* 按钮模糊搜索 = nullptr;
    QPushButton* 按钮时间搜索 = nullptr;
    GroupFrame* 分组框2 = nullptr;
    DatePicker* 日期框起 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    GroupFrame* 分组框1 = nullptr;
    QFrame* 外形框1 = nullptr;
    ReportList* 超级列表框统计 = nullptr;
    QPushButton* 按钮2 = nullptr;
};

}  // namespace ui
