// A roll-up menu: a vertical stack of captioned groups. The current group is
// rolled open below its caption and shows its items; the other groups show
// only their captions. Clicking a caption makes that group current.
//
// currentItem() is the selected item of the current group, -1 for none.
// itemSelected is emitted when the operator picks an item (mouse or keys),
// not when the program sets the current item.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QListWidget;
class QPushButton;
class QVBoxLayout;

namespace ui {

class RollUpMenu : public QWidget {
    Q_OBJECT
  public:
    explicit RollUpMenu(QWidget* parent = nullptr);

    // Removes every group and item.
    void clear();

    int addGroup(const QString& caption);
    int groupCount() const { return static_cast<int>(groups_.size()); }
    QString groupCaption(int group) const;

    // Inserts an item into `group` at `position` (at the end when -1 or out of
    // range) and returns its index, or -1 when there is no such group.
    int addItem(int group, const QString& text, int position = -1);
    void removeItem(int item, int group);
    int itemCount(int group) const;
    // The arguments run (item, group), as the pages address items.
    QString itemText(int item, int group) const;
    void setItemText(int item, int group, const QString& text);

    // -1 when there is no group. Making a group current leaves no item
    // selected.
    int currentGroup() const { return current_; }
    void setCurrentGroup(int group);

    int currentItem() const;
    // Selects `item` of the current group; -1 clears the selection.
    void setCurrentItem(int item);
    // The text of the current item of the current group, empty for none.
    QString currentItemText() const;

    // The caption button and the item list of a group (for key handling and
    // tests); nullptr for a bad index.
    QPushButton* groupButton(int group) const;
    QListWidget* groupList(int group) const;

  signals:
    void itemSelected(int item);
    void currentGroupChanged(int group);

  private:
    struct Group {
        QPushButton* caption;
        QListWidget* items;
    };
    void showCurrent();

    QVBoxLayout* stack_;
    QList<Group> groups_;
    int current_ = -1;
    bool settingByProgram_ = false;
};

}  // namespace ui
