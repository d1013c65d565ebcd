// The main bar: the narrow window at the top of the screen with the toolbar
// that opens the pages. It draws its own title row (logo, product title, hide
// and close buttons), so it has no system frame; it can be dragged by any
// spot that is not a control.
#pragma once

#include <QPoint>
#include <QWidget>
#include <array>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class MainBar : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 75;

    static constexpr const char* kTitle = "岚禾记账";
    // The toolbar's buttons, in order; they stand at positions 1, 3, 5, 7.
    static constexpr std::array<const char*, 4> kPageButtons{" 记 账 ", " 查 询 ", " 客 户 ",
                                                             " 设 置 "};

    explicit MainBar(QWidget* parent = nullptr,
                     Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint);

    // The controls, in creation order.
    static std::span<const LayoutRow<MainBar>> layout();

    ImageButton* 超级按钮1 = nullptr;
    QLabel* 标签1 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    QPushButton* 按钮1 = nullptr;
    QPushButton* 结束按钮 = nullptr;
    ToolBar* 工具条1 = nullptr;
    QFrame* 外形框1 = nullptr;
    QLabel* 图片框1 = nullptr;
    TransparentLabel* 透明标签1 = nullptr;

  signals:
    // The window has moved (the pages dock under it) or been hidden.
    void moved();
    void hidden();

  protected:
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QPoint dragOffset_;
    bool dragging_ = false;
};

}  // namespace ui
