#include "layout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <algorithm>

#include "chart_view.h"
#include "combo_box.h"
#include "date_picker.h"
#include "edit_box.h"
#include "group_frame.h"
#include "image_button.h"
#include "radio_button.h"
#include "report_list.h"
#include "rollup_menu.h"
#include "table_grid.h"
#include "toolbar.h"
#include "transparent_label.h"

namespace ui {

bool kindMatches(Kind kind, const QWidget* c) {
    switch (kind) {
        case Kind::Label:
        case Kind::PictureBox:
            return qobject_cast<const QLabel*>(c) && !qobject_cast<const TransparentLabel*>(c);
        case Kind::TransparentLabel:
            return qobject_cast<const TransparentLabel*>(c);
        case Kind::Button:
            return qobject_cast<const QPushButton*>(c);
        case Kind::ImageButton:
            return qobject_cast<const ImageButton*>(c);
        case Kind::EditBox:
            return qobject_cast<const EditBox*>(c);
        case Kind::MultiLineEditBox:
            return qobject_cast<const QPlainTextEdit*>(c);
        case Kind::ComboBox:
            return qobject_cast<const ComboBox*>(c);
        case Kind::DropDownList:
            return qobject_cast<const QComboBox*>(c) && !qobject_cast<const ComboBox*>(c);
        case Kind::ListBox:
            return qobject_cast<const QListWidget*>(c);
        case Kind::CheckBox:
            return qobject_cast<const QCheckBox*>(c);
        case Kind::RadioButton:
            return qobject_cast<const RadioButton*>(c);
        case Kind::DatePicker:
            return qobject_cast<const DatePicker*>(c);
        case Kind::GroupFrame:
            return qobject_cast<const GroupFrame*>(c);
        case Kind::ShapeFrame:
            return qobject_cast<const QFrame*>(c) && c->metaObject() == &QFrame::staticMetaObject;
        case Kind::ToolBar:
            return qobject_cast<const ToolBar*>(c);
        case Kind::ReportList:
            return qobject_cast<const ReportList*>(c);
        case Kind::RollUpMenu:
            return qobject_cast<const RollUpMenu*>(c);
        case Kind::DataProvider:
        case Kind::DataSource:
            return c && c->metaObject() == &QWidget::staticMetaObject;
        case Kind::Grid:
            return qobject_cast<const TableGrid*>(c);
        case Kind::Chart:
            return qobject_cast<const ChartView*>(c);
    }
    return false;
}

void setUpWindow(QWidget* window, int width, int height, const QString& title) {
    window->setFixedSize(width, height);
    window->setWindowTitle(title);
    window->setFont(interfaceFont());
}

void placeUnderOwner(QWidget* dialog, const QWidget* owner) {
    if (!owner) return;
    const QRect bar = owner->frameGeometry();
    // A little below the bar, where the pages open.
    dialog->move(bar.left() + (bar.width() - dialog->width()) / 2, bar.bottom() + 1 + 40);
}

namespace detail {

void configure(QWidget* control, const ControlSpec& desc) {
    control->setObjectName(desc.objectName());
    if (desc.face != Face::Interface) control->setFont(font(desc.face, desc.height));
    const QString caption = desc.captionText();

    switch (desc.kind) {
        case Kind::Label: {
            auto* label = static_cast<QLabel*>(control);
            label->setText(caption);
            label->setAutoFillBackground(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            break;
        }
        case Kind::TransparentLabel:
            static_cast<QLabel*>(control)->setText(caption);
            break;
        case Kind::Button:
            static_cast<QPushButton*>(control)->setText(caption);
            static_cast<QPushButton*>(control)->setAutoDefault(false);
            break;
        case Kind::ImageButton:
        case Kind::CheckBox:
        case Kind::RadioButton:
            static_cast<QAbstractButton*>(control)->setText(caption);
            break;
        case Kind::EditBox:
            static_cast<EditBox*>(control)->setText(caption);
            break;
        case Kind::MultiLineEditBox:
            static_cast<QPlainTextEdit*>(control)->setPlainText(caption);
            break;
        case Kind::GroupFrame:
            static_cast<QGroupBox*>(control)->setTitle(caption);
            break;
        case Kind::ShapeFrame: {
            // An etched rectangle; its colours come from the light and dark
            // roles, so the controls inside keep their own text colour.
            auto* frame = static_cast<QFrame*>(control);
            frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame->setLineWidth(1);
            frame->setMidLineWidth(0);
            break;
        }
        case Kind::PictureBox: {
            auto* picture = static_cast<QLabel*>(control);
            picture->setScaledContents(true);
            picture->setAlignment(Qt::AlignCenter);
            break;
        }
        case Kind::DataProvider:
        case Kind::DataSource:
        case Kind::Grid:
            control->hide();
            break;
        case Kind::Chart:  // a ui::ChartView sets itself up
        case Kind::ComboBox:
        case Kind::DropDownList:  // its owner fills in the entries
        case Kind::ListBox:
        case Kind::DatePicker:
        case Kind::ToolBar:
        case Kind::ReportList:
        case Kind::RollUpMenu:
            break;
    }
}

namespace {

// Whether the eye meets rectangle a before b: a lies wholly above b, or
// beside it on a common band and wholly to its left.
bool readBefore(const QRect& a, const QRect& b) {
    if (a.bottom() < b.top()) return true;
    const bool sameBand = a.top() <= b.bottom() && b.top() <= a.bottom();
    return sameBand && a.right() < b.left();
}

// The controls of one container in reading order: top to bottom, left to
// right. Each step takes, of the controls no other remaining one comes
// before, the highest (then leftmost); a control that spans several lines of
// its neighbours (a tall button beside a form) thus follows all of them.
std::vector<std::size_t> readingOrder(const std::vector<QRect>& rects) {
    std::vector<std::size_t> remaining(rects.size());
    for (std::size_t i = 0; i < rects.size(); ++i) remaining[i] = i;
    const auto higher = [&](std::size_t a, std::size_t b) {
        const QRect& ra = rects[a];
        const QRect& rb = rects[b];
        return ra.top() != rb.top() ? ra.top() < rb.top() : ra.left() < rb.left();
    };
    std::vector<std::size_t> order;
    while (!remaining.empty()) {
        auto pick = remaining.end();
        for (auto it = remaining.begin(); it != remaining.end(); ++it) {
            const bool first = std::none_of(remaining.begin(), remaining.end(), [&](std::size_t o) {
                return o != *it && readBefore(rects[o], rects[*it]);
            });
            if (first && (pick == remaining.end() || higher(*it, *pick))) pick = it;
        }
        // Rectangles can stand so that each has another before it; then the
        // highest goes first.
        if (pick == remaining.end())
            pick = std::min_element(remaining.begin(), remaining.end(), higher);
        order.push_back(*pick);
        remaining.erase(pick);
    }
    return order;
}

}  // namespace

void place(QWidget* window, std::span<QWidget* const> controls,
           std::span<const ControlSpec> descs) {
    QHash<QString, QWidget*> byName;
    for (QWidget* c : controls) byName.insert(c->objectName(), c);

    for (size_t i = 0; i < controls.size(); ++i) {
        QWidget* c = controls[i];
        const ControlSpec& desc = descs[i];
        const QString inside = desc.containerName();
        if (!inside.isEmpty()) {
            QWidget* container = byName.value(inside);
            Q_ASSERT_X(container, "ui::place", "container missing from the table");
            if (container) {
                // The window is not shown yet, so a moved control still shows
                // with it; one hidden on purpose has to stay hidden.
                const bool explicitlyHidden =
                    c->isHidden() && c->testAttribute(Qt::WA_WState_ExplicitShowHide);
                c->setParent(container);
                if (explicitlyHidden) c->hide();
            }
        }
        c->setGeometry(desc.x, desc.y, desc.width, desc.height);
    }

    orderTabStops(window, descs);
}

void orderTabStops(QWidget* window, std::span<const ControlSpec> descs) {
    // The keyboard goes from control to control in reading order, frame by
    // frame: a frame's controls are read together, where the frame stands
    // among its neighbours. A control that takes no focus itself but holds
    // some that do (the toolbar's buttons) stands for them.
    QHash<QString, std::vector<std::size_t>> contents;  // container name -> controls
    for (std::size_t i = 0; i < descs.size(); ++i) contents[descs[i].containerName()].push_back(i);
    std::vector<QWidget*> chain;
    const auto addStops = [&](QWidget* control) {
        if (control->focusPolicy() & Qt::TabFocus) {
            chain.push_back(control);
            return;
        }
        for (QWidget* w = control->nextInFocusChain(); w != control; w = w->nextInFocusChain()) {
            if (w == window) break;
            if (control->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) chain.push_back(w);
        }
    };
    const auto visit = [&](const auto& self, const QString& container) -> void {
        const std::vector<std::size_t> members = contents.value(container);
        std::vector<QRect> rects;
        for (const std::size_t i : members)
            rects.emplace_back(descs[i].x, descs[i].y, descs[i].width, descs[i].height);
        for (const std::size_t k : readingOrder(rects)) {
            const ControlSpec& desc = descs[members[k]];
            const bool isContainer = contents.contains(desc.objectName());
            if (QWidget* control = window->findChild<QWidget*>(desc.objectName());
                control && !isContainer) {
                addStops(control);
            }
            if (isContainer) self(self, desc.objectName());
        }
    };
    visit(visit, QString());
    if (chain.empty()) return;

    // The window itself leads the chain, so that Tab starts at the first
    // stop; Qt only puts a widget after one that takes focus.
    const Qt::FocusPolicy windowPolicy = window->focusPolicy();
    window->setFocusPolicy(Qt::TabFocus);
    QWidget::setTabOrder(window, chain.front());
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
    window->setFocusPolicy(windowPolicy);
}

}  // namespace detail
}  // namespace ui
