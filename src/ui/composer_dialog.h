// The item composer dialog: prices a job by area. It has no title.
#pragma once

#include <QDialog>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class ComposerDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 324;
    static constexpr int kHeight = 316;

    explicit ComposerDialog(QWidget* parent = nullptr);

    // The controls, in creation order.
    static std::span<const LayoutRow<ComposerDialog>> layout();

    TransparentLabel* 透明标签含边条 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;
    QLabel* 标签8 = nullptr;
    EditBox* 编辑框备注 = nullptr;
    QLabel* 标签11 = nullptr;
    QLabel* 标签10 = nullptr;
    QLabel* 标签9 = nullptr;
    QLabel* 标签金额 = nullptr;
    QLabel* 标签7 = nullptr;
    QLabel* 标签6 = nullptr;
    QLabel* 标签5 = nullptr;
    QLabel* 标签4 = nullptr;
    EditBox* 编辑框单价 = nullptr;
    EditBox* 编辑框数量 = nullptr;
    EditBox* 编辑框尺寸2 = nullptr;
    EditBox* 编辑框尺寸1 = nullptr;
    QLabel* 标签3 = nullptr;
    QLabel* 标签2 = nullptr;
    QLabel* 标签1 = nullptr;
    QPushButton* 按钮2 = nullptr;
    QPushButton* 按钮1 = nullptr;
    QFrame* 外形框1 = nullptr;
    QLabel* 标签12 = nullptr;
    QComboBox* 组合框边条 = nullptr;  // the edge strip: 无, 小灰边, 小金银, 大金银
};

}  // namespace ui
