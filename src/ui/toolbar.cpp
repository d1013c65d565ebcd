#include "toolbar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>

namespace ui {
namespace {

QFrame* makeSeparator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedWidth(6);
    line->setFixedHeight(28);
    return line;
}

}  // namespace

ToolBar::ToolBar(QWidget* parent) : QWidget(parent), row_(new QHBoxLayout(this)) {
    // The bar is taller than the main bar shows; the buttons sit in its top
    // part, clear of the line drawn across the main bar above them.
    row_->setContentsMargins(4, 9, 4, 0);
    row_->setSpacing(1);
    row_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ToolBar::setButtons(const QList<Button>& buttons) {
    qDeleteAll(items_);
    items_.clear();
    auto addSeparator = [this] {
        QFrame* line = makeSeparator(this);
        row_->addWidget(line, 0, Qt::AlignVCenter);
        items_.append(line);
    };
    addSeparator();
    for (const Button& b : buttons) {
        auto* button = new QToolButton(this);
        button->setText(b.caption);
        button->setIcon(b.image);
        button->setIconSize(QSize(24, 24));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setFixedHeight(32);
        const int position = static_cast<int>(items_.size());
        connect(button, &QToolButton::clicked, this,
                [this, position] { emit itemClicked(position); });
        row_->addWidget(button, 0, Qt::AlignVCenter);
        items_.append(button);
        addSeparator();
    }
}

bool ToolBar::isSeparator(int position) const {
    return position >= 0 && position < items_.size() &&
           !qobject_cast<QToolButton*>(items_[position]);
}

QToolButton* ToolBar::buttonAt(int position) const {
    if (position < 0 || position >= items_.size()) return nullptr;
    return qobject_cast<QToolButton*>(items_[position]);
}

}  // namespace ui
