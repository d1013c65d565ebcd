// A row of picture buttons with a separator before, between and after them.
// Items count from 0 along the row, separators included, so with four
// buttons the buttons stand at positions 1, 3, 5 and 7 and a click reports
// that position.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QWidget>

class QHBoxLayout;
class QToolButton;

namespace ui {

class ToolBar : public QWidget {
    Q_OBJECT
  public:
    explicit ToolBar(QWidget* parent = nullptr);

    struct Button {
        QString caption;
        QIcon image;
    };
    // Replaces every item.
    void setButtons(const QList<Button>& buttons);

    int itemCount() const { return static_cast<int>(items_.size()); }
    bool isSeparator(int position) const;
    // The button at `position`, or nullptr for a separator or a bad position.
    QToolButton* buttonAt(int position) const;

  signals:
    void itemClicked(int position);

  private:
    QHBoxLayout* row_;
    QList<QWidget*> items_;
};

}  // namespace ui
