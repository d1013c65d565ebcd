// Windows are laid out from tables: one row per control, in creation order,
// with its name, kind, container, rectangle (relative to the container, or
// to the window when it has none), caption and face. The same row creates
// the control into the window's member of that name, so a window class holds
// its table and its members and no geometry code.
#pragma once

#include <QString>
#include <Qt>
#include <span>
#include <vector>

#include "fonts.h"

class QWidget;

namespace ui {

enum class Kind {
    Label,             // QLabel with an opaque background
    TransparentLabel,  // ui::TransparentLabel
    Button,            // QPushButton
    ImageButton,       // ui::ImageButton
    EditBox,           // ui::EditBox
    MultiLineEditBox,  // QPlainTextEdit
    ComboBox,          // ui::ComboBox (editable drop-down)
    DropDownList,      // QComboBox (a fixed list to choose from, no typing)
    ListBox,           // QListWidget
    CheckBox,          // QCheckBox
    RadioButton,       // ui::RadioButton
    DatePicker,        // ui::DatePicker
    GroupFrame,        // ui::GroupFrame (titled frame)
    ShapeFrame,        // QFrame (untitled rectangle)
    PictureBox,        // QLabel showing a picture scaled to its size
    ToolBar,           // ui::ToolBar
    ReportList,        // ui::ReportList
    RollUpMenu,        // ui::RollUpMenu
    DataProvider,      // invisible placeholders (QWidget) beside the grid
    DataSource,        //   that prints the query page's delivery note
    Grid,              // ui::TableGrid, never shown: it prints
    Chart,             // ui::ChartView (the statistics window's charts)
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* inside;  // the container's name, "" for the window
    int x, y, width, height;
    const char* caption;
    Face face = Face::Interface;

    QString objectName() const { return QString::fromUtf8(name); }
    QString containerName() const { return QString::fromUtf8(inside); }
    QString captionText() const { return QString::fromUtf8(caption); }
};

template <class Window>
struct LayoutRow {
    ControlSpec desc;
    // Creates the control with `parent` and stores it in its member.
    QWidget* (*create)(Window& window, QWidget* parent);
};

// Whether `control` is of the class that `kind` is built with.
bool kindMatches(Kind kind, const QWidget* control);

// A page window: owned by the window it is created with (the main bar),
// frameless, as the main bar docks it under itself. Qt makes every window
// with a parent an owned window on Windows, but on X11 it tells the window
// manager the owner (WM_TRANSIENT_FOR) only for dialog-like types; a plain
// Qt::Window would count as a main window of its own there, so that window
// lists and the bring-forward of a second start would take it for the
// program's main window.
inline constexpr Qt::WindowFlags kPageWindowFlags = Qt::Dialog | Qt::FramelessWindowHint;

// Client size, title and default face of a window.
void setUpWindow(QWidget* window, int width, int height, const QString& title = {});

// Puts a dialog owned by the main bar over the page area beneath the bar,
// centred across it, rather than over the bar itself.
void placeUnderOwner(QWidget* dialog, const QWidget* owner);

namespace detail {

template <class M>
struct MemberPointer;
template <class W, class T>
struct MemberPointer<T * W::*> {
    using Window = W;
    using Control = T;
};

// Name, caption, face and the look of the kind.
void configure(QWidget* control, const ControlSpec& desc);
// Puts every control into its container at its rectangle, then orders the
// keyboard focus (orderTabStops).
void place(QWidget* window, std::span<QWidget* const> controls, std::span<const ControlSpec> descs);

// Orders the keyboard focus (Tab) of the window's controls by reading
// order: top to bottom, left to right, the controls of a frame together,
// starting with the first.
void orderTabStops(QWidget* window, std::span<const ControlSpec> descs);

}  // namespace detail

template <auto Member>
QWidget* createInto(typename detail::MemberPointer<decltype(Member)>::Window& window,
                    QWidget* parent) {
    using Control = typename detail::MemberPointer<decltype(Member)>::Control;
    auto* control = new Control(parent);
    window.*Member = control;
    return control;
}

// Orders the Tab key again, for a window that has added focusable pieces to
// its controls since they were built (a toolbar's buttons).
template <class Window>
void orderTabStops(Window& window, std::span<const LayoutRow<Window>> rows) {
    std::vector<ControlSpec> descs;
    descs.reserve(rows.size());
    for (const LayoutRow<Window>& row : rows) descs.push_back(row.desc);
    detail::orderTabStops(&window, descs);
}

// Creates every control of `rows` in order, then places them.
template <class Window>
void buildLayout(Window& window, std::span<const LayoutRow<Window>> rows) {
    std::vector<QWidget*> controls;
    std::vector<ControlSpec> descs;
    controls.reserve(rows.size());
    descs.reserve(rows.size());
    for (const LayoutRow<Window>& row : rows) {
        QWidget* control = row.create(window, &window);
        detail::configure(control, row.desc);
        controls.push_back(control);
        descs.push_back(row.desc);
    }
    detail::place(&window, controls, descs);
}

}  // namespace ui

// One table row: LANHE_CONTROL(member, Kind, inside, x, y, w, h, caption[, face]).
// `Self` names the window class where the table is written.
#define LANHE_CONTROL(member, ...)                                                \
    ::ui::LayoutRow<Self> {                                                       \
        ::ui::ControlSpec{#member, __VA_ARGS__}, &::ui::createInto<&Self::member> \
    }
