// The customers page (" 客 户 "): the customer roll-up menu and form, the
// selected customer's statement, the spending ranking and the whole-ledger
// totals.
#pragma once

#include <QWidget>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class CustomersPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 520;

    explicit CustomersPage(QWidget* parent = nullptr, Qt::WindowFlags flags = kPageWindowFlags);

    // Columns of the ranking `超级列表框1`: 0 untitled and without width (it
    // holds the rank), 1 "客户", 2 "总消费".

    // The controls, in creation order.
    static std::span<const LayoutRow<CustomersPage>> layout();

    QLabel* 标签6 = nullptr;
    QLabel* 标签5 = nullptr;
    QLabel* 标签全部未结 = nullptr;
    QLabel* 标签全部已结 = nullptr;
    QLabel* 标签2 = nullptr;
    QLabel* 标签1 = nullptr;
    ReportList* 超级列表框1 = nullptr;
    QFrame* 外形框6 = nullptr;
    QFrame* 外形框5 = nullptr;
    GroupFrame* 分组框4 = nullptr;
    GroupFrame* 分组框3 = nullptr;
    TransparentLabel* 透明标签5 = nullptr;
    TransparentLabel* 透明标签10 = nullptr;
    TransparentLabel* 透明标签11 = nullptr;
    TransparentLabel* 透明标签9 = nullptr;
    TransparentLabel* 透明标签8 = nullptr;
    QFrame* 外形框4 = nullptr;
    QLabel* 标签未结 = nullptr;
    QFrame* 外形框3 = nullptr;
    QLabel* 标签已结 = nullptr;
    TransparentLabel* 透明标签7 = nullptr;
    TransparentLabel* 透明标签6 = nullptr;
    TransparentLabel* 透明标签4 = nullptr;
    TransparentLabel* 透明标签3 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    QLabel* 标签9 = nullptr;
    QLabel* 标签金额 = nullptr;
    QLabel* 标签7 = nullptr;
    QFrame* 外形框2 = nullptr;
    QLabel* 标签用户 = nullptr;
    GroupFrame* 分组框2 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    ImageButton* 超级按钮4 = nullptr;
    ImageButton* 按钮删除 = nullptr;
    ImageButton* 按钮修改 = nullptr;
    ImageButton* 按钮添加 = nullptr;
    EditBox* 编辑框备注 = nullptr;
    EditBox* 编辑框地址 = nullptr;
    EditBox* 编辑框电话 = nullptr;
    EditBox* 编辑框姓名 = nullptr;
    GroupFrame* 分组框1 = nullptr;
    RollUpMenu* 卷帘式菜单客户 = nullptr;
    QFrame* 外形框1 = nullptr;
    QPushButton* 按钮2 = nullptr;
    // Opens the recently deleted entries and customers ("最近删除").
    QPushButton* 按钮最近删除 = nullptr;
};

}  // namespace ui
