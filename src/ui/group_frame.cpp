#include "group_frame.h"

#include <QPainter>

namespace ui {

GroupFrame::GroupFrame(QWidget* parent) : QGroupBox(parent) {}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int lineY = fm.height() / 2;
    const QRect box = rect().adjusted(0, lineY, -1, -1);
    // An etched line: dark, with a light line one pixel in.
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    p.setPen(dark);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(light);
    p.drawRect(box.adjusted(1, 1, 0, 0));

    const QString caption = title();
    if (caption.isEmpty()) return;
    const int left = 8;
    const int width = qMin(fm.horizontalAdvance(caption) + 4, this->width() - left - 2);
    const QRect titleRect(left, 0, width, fm.height());
    p.fillRect(titleRect, palette().color(QPalette::Window));
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(titleRect, Qt::AlignCenter, caption);
}

}  // namespace ui
