#include "composer_dialog_actions.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <iterator>

#include "composer_dialog.h"
#include "dialogs.h"
#include "edit_box.h"
#include "entry_page.h"
#include "transparent_label.h"

namespace composer {
namespace {

std::string utf8(const QString& text) { return text.toStdString(); }
QString qt(const std::string& utf8Text) { return QString::fromStdString(utf8Text); }

}  // namespace

void bindEntryPage(ui::EntryPage& page) {
    QObject::connect(page.编辑框备注, &ui::EditBox::doubleClicked, &page,
                     [&page] { openComposer(page); });
}

void openComposer(ui::EntryPage& entry) {
    ui::ComposerDialog dialog(&entry);
    dialog.setWindowModality(Qt::WindowModal);
    ComposerActions actions(dialog, entry);
    dialog.exec();
}

ComposerActions::ComposerActions(ui::ComposerDialog& dialog, ui::EntryPage& entry)
    : QObject(&dialog), dialog_(dialog), entry_(&entry) {
    ui::ComposerDialog& d = dialog_;
    // Enter completes only from the unit price and the remark box: no button
    // takes it from the other boxes, even after the focus has passed over it.
    for (QPushButton* b : {d.按钮1, d.按钮2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    // The amount follows the quantity and the unit price; edits of the sizes
    // count only at the next of those (the operator types sizes first).
    connect(d.编辑框数量, &QLineEdit::textChanged, this, &ComposerActions::recomputeAmount);
    connect(d.编辑框单价, &QLineEdit::textChanged, this, &ComposerActions::recomputeAmount);
    connect(d.编辑框单价, &QLineEdit::returnPressed, this, &ComposerActions::composeItem);
    connect(d.编辑框备注, &QLineEdit::returnPressed, this, &ComposerActions::composeItem);
    connect(d.按钮1, &QAbstractButton::clicked, this, &ComposerActions::composeItem);
    connect(d.按钮2, &QAbstractButton::clicked, &d, &QDialog::reject);

    for (EdgeType edge : kEdgeTypes) d.组合框边条->addItem(qt(std::string(edgeChoiceName(edge))));
    d.组合框边条->setCurrentIndex(0);
    connect(d.组合框边条, &QComboBox::activated, this, &ComposerActions::chooseEdge);
    d.编辑框尺寸1->setFocus();
}

JobInputs ComposerActions::inputs() const {
    return {utf8(dialog_.编辑框尺寸1->text()), utf8(dialog_.编辑框尺寸2->text()),
            utf8(dialog_.编辑框数量->text()), utf8(dialog_.编辑框单价->text())};
}

void ComposerActions::recomputeAmount() {
    const Pricing p = price(inputs(), edge_);
    amount_ = p.amount;
    edgeCharge_ = p.edgeCharge;
    edge_ = p.edge;
    dialog_.透明标签含边条->setText(qt(p.edgeNote));
    dialog_.标签金额->setText(qt(p.amountText));
    // The box shows the edge type in force, also after a fallback to none.
    const auto shownEdge = std::find(std::begin(kEdgeTypes), std::end(kEdgeTypes), edge_);
    const QSignalBlocker quiet(dialog_.组合框边条);
    dialog_.组合框边条->setCurrentIndex(static_cast<int>(shownEdge - std::begin(kEdgeTypes)));
}

void ComposerActions::chooseEdge(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kEdgeTypes))) return;
    edge_ = kEdgeTypes[index];
    recomputeAmount();
}

void ComposerActions::composeItem() {
    const std::string amountText = utf8(dialog_.标签金额->text());
    if (amountIsMissing(amountText)) {
        ui::dialogs().message(QString::fromUtf8(kAmountMissing), ui::MessageIcon::Warning);
        return;
    }
    if (entry_) {
        const std::string remark = composeRemark(utf8(entry_->编辑框备注->text()), inputs(),
                                                 utf8(dialog_.编辑框备注->text()), edge_);
        entry_->编辑框备注->setText(qt(remark));
        entry_->编辑框金额->setText(qt(amountText));
    }
    dialog_.accept();
}

}  // namespace composer
