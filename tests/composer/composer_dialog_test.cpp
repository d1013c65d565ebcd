// The composer dialog over a real entry page, driven through its boxes and
// buttons with the keyboard and mouse as the operator does.
#include "composer_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "composer_dialog_actions.h"
#include "edit_box.h"
#include "entry_page.h"
#include "scripted_dialogs.h"
#include "transparent_label.h"

namespace composer {
namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

class ComposerDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        entry.show();
        dialog = new ui::ComposerDialog(&entry);
        actions = new ComposerActions(*dialog, entry);
        dialog->show();
        QApplication::setActiveWindow(dialog);
    }
    void TearDown() override { delete dialog; }

    // Types into a box key by key (ASCII), so every change event fires.
    void typeInto(QLineEdit* box, const char* text) {
        box->setFocus();
        QTest::keyClicks(box, q(text));
    }
    void pressEnter(QLineEdit* box) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
    }

    ui::ScriptedDialogs dialogs;
    ui::EntryPage entry;
    ui::ComposerDialog* dialog = nullptr;
    ComposerActions* actions = nullptr;
};

TEST_F(ComposerDialogTest, OpensEmptyWithTheFocusInTheFirstSize) {
    EXPECT_EQ(dialog->标签金额->text(), "0");
    EXPECT_EQ(dialog->透明标签含边条->text(), "");
    EXPECT_TRUE(dialog->编辑框尺寸1->hasFocus());
    EXPECT_EQ(actions->edgeType(), EdgeType::None);
}

TEST_F(ComposerDialogTest, CompletingWritesTheEntryPageAndCloses) {
    entry.编辑框金额->setText("999");
    typeInto(dialog->编辑框尺寸1, "1.2");
    typeInto(dialog->编辑框尺寸2, "0.8");
    typeInto(dialog->编辑框数量, "2");
    typeInto(dialog->编辑框单价, "35");
    EXPECT_EQ(dialog->标签金额->text(), "67.2");
    dialog->编辑框备注->setText(q("加急"));
    click(dialog->按钮1);

    EXPECT_EQ(entry.编辑框备注->text(), q("数量2 尺寸1.2米X0.8米 加急"));
    EXPECT_EQ(entry.编辑框金额->text(), "67.2");  // replaced, not appended
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(ComposerDialogTest, NoAmountYetIsRefusedAndTheDialogStays) {
    entry.编辑框备注->setText(q("原有"));
    click(dialog->按钮1);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages()[0], (ui::RecordedMessage{q("请完善内容或关闭！"),
                                                          ui::MessageIcon::Warning, q("信息：")}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(entry.编辑框备注->text(), q("原有"));
    // A price that rounds away leaves "0" too.
    typeInto(dialog->编辑框数量, "1");
    typeInto(dialog->编辑框单价, "0.04");
    pressEnter(dialog->编辑框单价);
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ComposerDialogTest, SizesCountOnlyAtTheNextQuantityOrPriceEdit) {
    typeInto(dialog->编辑框数量, "3");
    typeInto(dialog->编辑框单价, "5");
    EXPECT_EQ(dialog->标签金额->text(), "15");
    typeInto(dialog->编辑框尺寸1, "2");
    typeInto(dialog->编辑框尺寸2, "2");
    EXPECT_EQ(dialog->标签金额->text(), "15");  // stale until the next edit
    click(dialog->按钮1);
    // The stale amount goes out with the new sizes in the text.
    EXPECT_EQ(entry.编辑框金额->text(), "15");
    EXPECT_EQ(entry.编辑框备注->text(), q("数量3 尺寸2米X2米 "));
}

TEST_F(ComposerDialogTest, EditingTheQuantityAgainTakesTheSizesIn) {
    typeInto(dialog->编辑框尺寸1, "2");
    typeInto(dialog->编辑框尺寸2, "2");
    typeInto(dialog->编辑框数量, "3");
    typeInto(dialog->编辑框单价, "5");
    EXPECT_EQ(dialog->标签金额->text(), "60");
    dialog->编辑框尺寸2->clear();
    QTest::keyClick(dialog->编辑框数量, Qt::Key_Backspace);  // quantity now empty
    EXPECT_EQ(dialog->标签金额->text(), "0");
}

TEST_F(ComposerDialogTest, EnterCompletesOnlyFromThePriceAndTheRemark) {
    typeInto(dialog->编辑框数量, "3");
    typeInto(dialog->编辑框单价, "5");
    for (QLineEdit* box : {dialog->编辑框数量, dialog->编辑框尺寸1, dialog->编辑框尺寸2}) {
        pressEnter(box);
        QTest::keyClick(box, Qt::Key_Enter);  // the keypad's key too
        EXPECT_TRUE(dialog->isVisible()) << box->objectName().toStdString();
    }
    EXPECT_EQ(entry.编辑框金额->text(), "");
    pressEnter(dialog->编辑框备注);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(entry.编辑框金额->text(), "15");
}

TEST_F(ComposerDialogTest, EnterInThePriceBoxCompletes) {
    typeInto(dialog->编辑框数量, "3");
    typeInto(dialog->编辑框单价, "5");
    pressEnter(dialog->编辑框单价);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(entry.编辑框备注->text(), q("数量3 "));
}

TEST_F(ComposerDialogTest, CloseLeavesTheEntryPageAlone) {
    entry.编辑框备注->setText(q("原有"));
    entry.编辑框金额->setText("8");
    typeInto(dialog->编辑框数量, "3");
    typeInto(dialog->编辑框单价, "5");
    click(dialog->按钮2);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(entry.编辑框备注->text(), q("原有"));
    EXPECT_EQ(entry.编辑框金额->text(), "8");
}

TEST_F(ComposerDialogTest, TextOutsideGbkReachesTheEntryPageUnchanged) {
    // The entry page's save names such a character; the composer keeps it.
    entry.编辑框备注->setText(q("😀"));
    dialog->编辑框数量->setText(q("1"));
    dialog->编辑框单价->setText(q("10"));
    dialog->编辑框备注->setText(q("加急😀"));
    click(dialog->按钮1);
    EXPECT_EQ(entry.编辑框备注->text(), q("😀数量1 加急😀"));
    EXPECT_EQ(entry.编辑框金额->text(), "10");
}

// --- edge strips --------------------------------------------------------------

class EdgeStripTest : public ComposerDialogTest {
  protected:
    // Picks an edge type from the drop-down with the mouse, as the operator does.
    void chooseEdge(const char* name) {
        QComboBox* box = dialog->组合框边条;
        const int index = box->findText(q(name));
        ASSERT_GE(index, 0) << name;
        box->showPopup();
        QAbstractItemView* view = box->view();
        const QRect rect = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }
    void fill(const char* size1, const char* size2, const char* quantity, const char* price) {
        typeInto(dialog->编辑框尺寸1, size1);
        typeInto(dialog->编辑框尺寸2, size2);
        typeInto(dialog->编辑框数量, quantity);
        typeInto(dialog->编辑框单价, price);
    }
    QString note() const { return dialog->透明标签含边条->text(); }
    QString amount() const { return dialog->标签金额->text(); }
};

TEST_F(EdgeStripTest, TheBoxOffersTheFourTypesStartingWithNone) {
    QStringList names;
    for (int i = 0; i < dialog->组合框边条->count(); ++i) names << dialog->组合框边条->itemText(i);
    EXPECT_EQ(names, (QStringList{q("无"), q("小灰边"), q("小金银"), q("大金银")}));
    EXPECT_EQ(dialog->组合框边条->currentIndex(), 0);
}

TEST_F(EdgeStripTest, EachTypeAddsStripsAtItsPriceToTheAmountAndTheRemark) {
    // 1.2 × 0.8 m, 2 pieces at 35: 67.2; strips (2.4 + 1.6) / 2.4 = 5/3 per piece.
    fill("1.2", "0.8", "2", "35");
    ASSERT_EQ(amount(), "67.2");
    struct Case {
        const char* edge;
        const char* note;
        const char* amount;
    };
    // 5/3 × 2 × 2 = 6.667; × 3 = 10; × 4 = 13.333.
    for (const Case& c :
         {Case{"小灰边", "含边条：6.7元", "73.9"}, Case{"小金银", "含边条：10元", "77.2"},
          Case{"大金银", "含边条：13.3元", "80.5"}}) {
        SCOPED_TRACE(c.edge);
        chooseEdge(c.edge);
        EXPECT_EQ(actions->edgeType(), kEdgeTypes[dialog->组合框边条->findText(q(c.edge))]);
        EXPECT_EQ(note(), q(c.note));
        EXPECT_EQ(amount(), c.amount);
    }
    dialog->编辑框备注->setText(q("加急"));
    click(dialog->按钮1);
    EXPECT_EQ(entry.编辑框备注->text(), q("数量2 尺寸1.2米X0.8米 大金银 加急"));
    EXPECT_EQ(entry.编辑框金额->text(), "80.5");
}

TEST_F(EdgeStripTest, TheStripChargeIsRoundedHalfAwayFromZero) {
    // 0.1 × 0.05 m: strips 0.3 / 2.4 = 0.125, at 2 yuan 0.25, shown 0.3.
    fill("0.1", "0.05", "1", "100");
    chooseEdge("小灰边");
    EXPECT_EQ(note(), q("含边条：0.3元"));
    EXPECT_EQ(amount(), "0.8");  // 0.5 + 0.25 = 0.75
    // Choosing none again takes the strips away.
    chooseEdge("无");
    EXPECT_EQ(note(), "");
    EXPECT_EQ(amount(), "0.5");
    EXPECT_EQ(actions->edgeType(), EdgeType::None);
}

TEST_F(EdgeStripTest, TheTypeStaysThroughQuantityEditsAndFallsBackToNoneWithoutASize) {
    fill("1", "0.5", "1", "10");
    chooseEdge("小金银");  // strips 1.25 × 3 = 3.75
    EXPECT_EQ(note(), q("含边条：3.8元"));
    typeInto(dialog->编辑框数量, "0");  // quantity 10
    EXPECT_EQ(note(), q("含边条：37.5元"));
    EXPECT_EQ(amount(), "87.5");
    EXPECT_EQ(dialog->组合框边条->currentText(), q("小金银"));

    // A size missing: quantity × price, and the type falls back to none at the
    // next recomputation; the box shows it.
    dialog->编辑框尺寸2->clear();
    typeInto(dialog->编辑框单价, "0");  // price 100
    EXPECT_EQ(amount(), "1000");
    EXPECT_EQ(note(), "");
    EXPECT_EQ(actions->edgeType(), EdgeType::None);
    EXPECT_EQ(dialog->组合框边条->currentText(), q("无"));
    // Choosing a type without both sizes falls back at once.
    chooseEdge("大金银");
    EXPECT_EQ(actions->edgeType(), EdgeType::None);
    EXPECT_EQ(dialog->组合框边条->currentText(), q("无"));
    click(dialog->按钮1);
    EXPECT_EQ(entry.编辑框备注->text(), q("数量10 "));
}

// The whole road: a double click on the entry page's remark box opens the
// dialog modally; each opening starts afresh and appends its own description.
TEST(ComposerOpening, DoubleClickOnTheRemarkOpensAFreshDialogEachTime) {
    ui::ScriptedDialogs dialogs;
    ui::EntryPage entry;
    bindEntryPage(entry);
    entry.show();

    int opened = 0;
    auto fillAndComplete = [&](const char* quantity, const char* price) {
        auto* d = qobject_cast<ui::ComposerDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        ++opened;
        EXPECT_EQ(d->标签金额->text(), "0");
        EXPECT_EQ(d->编辑框数量->text(), "");
        EXPECT_TRUE(d->isModal());
        EXPECT_EQ(d->parentWidget(), &entry);
        d->编辑框数量->setText(q(quantity));
        d->编辑框单价->setText(q(price));
        // Shown by exec(), Enter in the quantity still completes nothing.
        d->编辑框数量->setFocus();
        QTest::keyClick(d->编辑框数量, Qt::Key_Return);
        EXPECT_TRUE(d->isVisible());
        click(d->按钮1);
    };
    for (auto [quantity, price] : {std::pair{"2", "5"}, std::pair{"3", "7"}}) {
        QTimer::singleShot(0, [&, quantity, price] { fillAndComplete(quantity, price); });
        QTest::mouseDClick(entry.编辑框备注, Qt::LeftButton);
    }
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(entry.编辑框备注->text(), q("数量2 数量3 "));
    EXPECT_EQ(entry.编辑框金额->text(), "21");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(entry.findChildren<ui::ComposerDialog*>().isEmpty());  // destroyed
}

}  // namespace
}  // namespace composer
