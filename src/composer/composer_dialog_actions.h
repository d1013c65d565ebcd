// The item composer dialog at work: opened by a double click on the entry
// page's remark box, modal over the entry page; "完成" appends the job's
// description to the entry page's remark and puts the amount into its amount
// box, "关闭" leaves the entry page alone.
#pragma once

#include <QObject>
#include <QPointer>

#include "composer.h"

namespace ui {
class ComposerDialog;
class EntryPage;
}  // namespace ui

namespace composer {

// The message when "完成" finds no amount yet.
inline constexpr const char* kAmountMissing = "请完善内容或关闭！";

// Entry page created: a double click on its 编辑框备注 opens the composer.
void bindEntryPage(ui::EntryPage& page);

// Makes the dialog over `entry`, runs it modally and destroys it when it
// closes: every opening starts afresh.
void openComposer(ui::EntryPage& entry);

// One open dialog and its state (amount, edge charge, edge type), bound to
// the dialog's boxes and buttons; lives as long as the dialog.
class ComposerActions : public QObject {
    Q_OBJECT
  public:
    ComposerActions(ui::ComposerDialog& dialog, ui::EntryPage& entry);

    // Quantity or unit price edited, or an edge strip chosen: the amount
    // label and the edge note anew.
    void recomputeAmount();
    // An entry of `组合框边条` chosen: that edge type, and the amount anew
    // (with a size missing it falls back to none, and the box shows so).
    void chooseEdge(int index);
    // "完成", or Enter in the unit price or the dialog's remark box.
    void composeItem();

    EdgeType edgeType() const { return edge_; }

  private:
    JobInputs inputs() const;

    ui::ComposerDialog& dialog_;
    QPointer<ui::EntryPage> entry_;
    EdgeType edge_ = EdgeType::None;
    double amount_ = 0;
    double edgeCharge_ = 0;
};

}  // namespace composer
