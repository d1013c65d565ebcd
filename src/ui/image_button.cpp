#include "image_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "appearance.h"

namespace ui {

ImageButton::ImageButton(QWidget* parent)
    : QAbstractButton(parent), background_(QColor(228, 236, 246)) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::setImage(const QPixmap& image) {
    image_ = image;
    update();
}

void ImageButton::setBackgroundColor(const QColor& color) {
    background_ = color;
    update();
}

QSize ImageButton::sizeHint() const {
    const QFontMetrics fm(font());
    const int imageWidth = image_.isNull() ? 0 : image_.width() + 4;
    return {imageWidth + fm.horizontalAdvance(text()) + 16,
            qMax(fm.height(), image_.isNull() ? 0 : image_.height()) + 8};
}

void ImageButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = background_;
    if (isEnabled() && (isDown() || isChecked()))
        fill = fill.darker(118);
    else if (isEnabled() && hovered_)
        fill = fill.lighter(112);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawRoundedRect(box, 3, 3);

    // Image and caption side by side, centred together.
    const QFontMetrics fm(font());
    QSize picture;
    if (!image_.isNull()) {
        const int side = qMin(image_.height(), height() - 4);
        picture = image_.size().scaled(QSize(side, side), Qt::KeepAspectRatio);
    }
    const int gap = picture.isEmpty() || text().isEmpty() ? 0 : 4;
    const int textWidth = fm.horizontalAdvance(text());
    const int total = picture.width() + gap + textWidth;
    int x = qMax(2, (width() - total) / 2);
    if (!picture.isEmpty()) {
        const QRect target(x, (height() - picture.height()) / 2, picture.width(), picture.height());
        if (!isEnabled()) p.setOpacity(0.5);
        p.drawPixmap(target, image_);
        p.setOpacity(1.0);
        x += picture.width() + gap;
    }
    const bool darkFill = fill.lightness() < 110;
    QColor ink = darkFill ? QColor(Qt::white) : palette().color(QPalette::ButtonText);
    // Greyed out, yet readable on whatever face the button has (the
    // customers page paints disabled buttons grey).
    if (!isEnabled()) ink = readableGrey(fill, kCaptionContrast);
    p.setPen(ink);
    p.setFont(font());
    p.drawText(QRect(x, 0, width() - x - 2, height()), Qt::AlignLeft | Qt::AlignVCenter, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace ui
