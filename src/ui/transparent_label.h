// A label drawn without background over a frame. A caption may hold line
// breaks ("\r\n" as the captions are written, or "\n") and wraps where it is
// wider than the label; lines are packed closer than the face's line spacing
// when the label is too low for them, as the two-line notes of the customers
// page are.
#pragma once

#include <QLabel>

namespace ui {

class TransparentLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TransparentLabel(QWidget* parent = nullptr);
    explicit TransparentLabel(const QString& text, QWidget* parent = nullptr);

    // The caption as painted, line by line.
    QStringList lines() const;
    // The distance between two baselines when the caption is painted.
    int linePitch() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
