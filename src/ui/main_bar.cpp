#include "main_bar.h"

#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <array>

#include "appearance.h"
#include "images.h"

namespace ui {
namespace {

using Self = MainBar;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(超级按钮1, Kind::ImageButton, "", 592, 38, 88, 32, "计算器"),
    LANHE_CONTROL(标签1, Kind::Label, "", 424, 45, 64, 12, "标签_热键"),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "", 460, 2, 120, 28, "快捷键 Ctrl + B"),
    LANHE_CONTROL(按钮1, Kind::Button, "", 586, 6, 50, 20, "隐藏"),
    LANHE_CONTROL(结束按钮, Kind::Button, "", 642, 6, 50, 20, "关闭"),
    LANHE_CONTROL(工具条1, Kind::ToolBar, "", -1, 25, 374, 57, ""),
    LANHE_CONTROL(外形框1, Kind::ShapeFrame, "", 8, 31, 680, 1, ""),
    LANHE_CONTROL(图片框1, Kind::PictureBox, "", 6, 3, 25, 25, ""),
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 37, 6, 85, 24, "岚禾记账", Face::Title),
};
// clang-format on

}  // namespace

std::span<const LayoutRow<MainBar>> MainBar::layout() { return kLayout; }

MainBar::MainBar(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setUpWindow(this, kWidth, kHeight, QString::fromUtf8(kTitle));
    setWindowIcon(programIcon());
    buildLayout<MainBar>(*this, layout());

    QList<ToolBar::Button> buttons;
    for (int page = 0; page < static_cast<int>(kPageButtons.size()); ++page)
        buttons.append({QString::fromUtf8(kPageButtons[page]), QIcon(toolbarImage(page))});
    工具条1->setButtons(buttons);
    // The toolbar's buttons take their place in the Tab order.
    orderTabStops<MainBar>(*this, layout());
    // The hot key's receiver: it takes the key's notifications and shows
    // nothing; its caption is only its name in the layout.
    标签1->hide();
    图片框1->setPixmap(logoImage());
    超级按钮1->setImage(calculatorImage());
    透明标签1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColor(透明标签1, QColor(20, 110, 80));
    setTextColor(透明标签2, QColor(90, 90, 90));
    // A faint green band; the labels take the same colour as their background.
    QPalette band = palette();
    band.setColor(QPalette::Window, QColor(236, 243, 239));
    setPalette(band);
    setAutoFillBackground(true);
}

void MainBar::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    emit moved();
}

void MainBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) emit hidden();
}

void MainBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void MainBar::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void MainBar::paintEvent(QPaintEvent*) {
    // A thin edge, so the frameless bar stands out from whatever lies under it.
    QPainter p(this);
    p.setPen(QColor(150, 170, 160));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace ui
