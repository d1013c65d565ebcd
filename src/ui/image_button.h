// A button with an image and a caption, in a colour of its own. The colour
// is the one shown while the mouse is outside the button; hovering lightens
// it and a press darkens it. A disabled button keeps its colour with a greyed
// caption that still reads on it (the customers page paints disabled buttons
// grey itself).
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace ui {

class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ImageButton(QWidget* parent = nullptr);

    void setImage(const QPixmap& image);
    QPixmap image() const { return image_; }

    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return background_; }

    // True while the mouse is over the button.
    bool isHovered() const { return hovered_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QPixmap image_;
    QColor background_;
    bool hovered_ = false;
};

}  // namespace ui
