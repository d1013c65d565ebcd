#include "rollup_menu.h"

#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace ui {

RollUpMenu::RollUpMenu(QWidget* parent) : QWidget(parent), stack_(new QVBoxLayout(this)) {
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(1);
    stack_->addStretch(1);  // holds the captions together while no group is open
}

void RollUpMenu::clear() {
    for (const Group& g : groups_) {
        delete g.caption;
        delete g.items;
    }
    groups_.clear();
    current_ = -1;
    showCurrent();
}

int RollUpMenu::addGroup(const QString& caption) {
    const int index = static_cast<int>(groups_.size());
    auto* button = new QPushButton(caption, this);
    button->setFlat(false);
    button->setFixedHeight(24);
    button->setFocusPolicy(Qt::NoFocus);
    auto* list = new QListWidget(this);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setFrameShape(QFrame::NoFrame);
    list->hide();
    // Layout: caption, list, caption, list, …, stretch.
    stack_->insertWidget(index * 2, button);
    stack_->insertWidget(index * 2 + 1, list, 1);
    groups_.append({button, list});

    connect(button, &QPushButton::clicked, this, [this, button] {
        for (int g = 0; g < groups_.size(); ++g) {
            if (groups_[g].caption == button && g != current_) setCurrentGroup(g);
        }
    });
    // A mouse press moves the current row before it selects the item, so the
    // pick is reported once the selection holds it: the handler reads it.
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
        if (settingByProgram_ || current_ < 0 || groups_[current_].items != list) return;
        const QList<QListWidgetItem*> picked = list->selectedItems();
        if (!picked.isEmpty()) emit itemSelected(list->row(picked.first()));
    });
    if (current_ < 0) setCurrentGroup(index);
    return index;
}

QString RollUpMenu::groupCaption(int group) const {
    return group >= 0 && group < groups_.size() ? groups_[group].caption->text() : QString();
}

int RollUpMenu::addItem(int group, const QString& text, int position) {
    if (group < 0 || group >= groups_.size()) return -1;
    QListWidget* list = groups_[group].items;
    const int at = (position < 0 || position > list->count()) ? list->count() : position;
    const QScopedValueRollback guard(settingByProgram_, true);
    list->insertItem(at, text);
    return at;
}

void RollUpMenu::removeItem(int item, int group) {
    if (group < 0 || group >= groups_.size()) return;
    const QScopedValueRollback guard(settingByProgram_, true);
    delete groups_[group].items->takeItem(item);
}

int RollUpMenu::itemCount(int group) const {
    return group >= 0 && group < groups_.size() ? groups_[group].items->count() : 0;
}

QString RollUpMenu::itemText(int item, int group) const {
    if (group < 0 || group >= groups_.size()) return {};
    const QListWidgetItem* entry = groups_[group].items->item(item);
    return entry ? entry->text() : QString();
}

void RollUpMenu::setItemText(int item, int group, const QString& text) {
    if (group < 0 || group >= groups_.size()) return;
    if (QListWidgetItem* entry = groups_[group].items->item(item)) entry->setText(text);
}

void RollUpMenu::setCurrentGroup(int group) {
    if (group < -1 || group >= groups_.size()) return;
    current_ = group;
    {
        const QScopedValueRollback guard(settingByProgram_, true);
        for (const Group& g : groups_) {
            g.items->clearSelection();
            g.items->setCurrentRow(-1);
        }
    }
    showCurrent();
    emit currentGroupChanged(group);
}

int RollUpMenu::currentItem() const {
    if (current_ < 0) return -1;
    const QListWidget* list = groups_[current_].items;
    const QList<QListWidgetItem*> picked = list->selectedItems();
    return picked.isEmpty() ? -1 : list->row(picked.first());
}

void RollUpMenu::setCurrentItem(int item) {
    if (current_ < 0) return;
    QListWidget* list = groups_[current_].items;
    const QScopedValueRollback guard(settingByProgram_, true);
    if (item < 0 || item >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
    } else {
        list->setCurrentRow(item, QItemSelectionModel::ClearAndSelect);
    }
}

QString RollUpMenu::currentItemText() const { return itemText(currentItem(), current_); }

QPushButton* RollUpMenu::groupButton(int group) const {
    return group >= 0 && group < groups_.size() ? groups_[group].caption : nullptr;
}

QListWidget* RollUpMenu::groupList(int group) const {
    return group >= 0 && group < groups_.size() ? groups_[group].items : nullptr;
}

void RollUpMenu::showCurrent() {
    for (int g = 0; g < groups_.size(); ++g) {
        groups_[g].items->setVisible(g == current_);
        groups_[g].caption->setDown(false);
    }
    // The stretch at the end only matters while no list is open.
    stack_->setStretch(stack_->count() - 1, current_ < 0 ? 1 : 0);
}

}  // namespace ui
