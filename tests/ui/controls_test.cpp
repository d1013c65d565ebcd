// The smaller controls: date picker, toolbar, radio buttons, combo box, edit
// box, image button, transparent label, and the colour helpers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "appearance.h"
#include "combo_box.h"
#include "date_picker.h"
#include "edit_box.h"
#include "image_button.h"
#include "radio_button.h"
#include "toolbar.h"
#include "transparent_label.h"

namespace {

using ui::DatePicker;

TEST(DatePicker, ConvertsToDaysSince30December1899) {
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), 45356.0);
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(2024, 3, 5), QTime(18, 0))), 45356.75);
    // Before the epoch the day counts back while the time still runs forward.
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(100, 1, 1), QTime(0, 0))), -657434.0);
    EXPECT_DOUBLE_EQ(DatePicker::toDays(QDateTime(QDate(9999, 12, 31), QTime(0, 0))), 2958465.0);
}

TEST(DatePicker, ConvertsBackAndClampsToTheValidRange) {
    EXPECT_EQ(DatePicker::fromDays(45356.75), QDateTime(QDate(2024, 3, 5), QTime(18, 0)));
    EXPECT_EQ(DatePicker::fromDays(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(DatePicker::fromDays(-0.5), QDateTime(QDate(1899, 12, 30), QTime(12, 0)));
    EXPECT_EQ(DatePicker::fromDays(9e9).date(), QDate(9999, 12, 31));
    EXPECT_EQ(DatePicker::fromDays(-9e9).date(), QDate(100, 1, 1));
    // A hair below midnight rounds to the next day, not to 24:00.
    EXPECT_EQ(DatePicker::fromDays(45356.9999999999), QDateTime(QDate(2024, 3, 6), QTime(0, 0)));
    for (double v : {45356.5, -1000.25, 0.125, 12345.0})
        EXPECT_DOUBLE_EQ(DatePicker::toDays(DatePicker::fromDays(v)), v) << v;
}

TEST(DatePicker, HoldsTheCurrentDayAtFirstAndReportsChanges) {
    DatePicker picker;
    EXPECT_EQ(picker.date(), QDate::currentDate());
    EXPECT_TRUE(picker.calendarPopup());
    QSignalSpy changed(&picker, &DatePicker::valueChanged);
    picker.setValue(45356.0);
    EXPECT_DOUBLE_EQ(picker.value(), 45356.0);
    EXPECT_EQ(picker.date(), QDate(2024, 3, 5));
    EXPECT_EQ(picker.text(), "2024年3月5日");
    ASSERT_EQ(changed.size(), 1);
    EXPECT_DOUBLE_EQ(changed[0][0].toDouble(), 45356.0);
}

TEST(ToolBar, ButtonsStandBetweenSeparatorsAndReportTheirPositions) {
    ui::ToolBar bar;
    bar.resize(374, 57);
    bar.setButtons({{" 记 账 ", {}}, {" 查 询 ", {}}, {" 客 户 ", {}}, {" 设 置 ", {}}});
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    ASSERT_EQ(bar.itemCount(), 9);
    for (int p = 0; p < 9; p += 2) {
        EXPECT_TRUE(bar.isSeparator(p)) << p;
        EXPECT_EQ(bar.buttonAt(p), nullptr) << p;
    }
    QSignalSpy clicked(&bar, &ui::ToolBar::itemClicked);
    for (int p : {5, 1, 7, 3}) {
        ASSERT_NE(bar.buttonAt(p), nullptr) << p;
        QTest::mouseClick(bar.buttonAt(p), Qt::LeftButton);
    }
    ASSERT_EQ(clicked.size(), 4);
    EXPECT_EQ(clicked[0][0].toInt(), 5);
    EXPECT_EQ(clicked[1][0].toInt(), 1);
    EXPECT_EQ(clicked[2][0].toInt(), 7);
    EXPECT_EQ(clicked[3][0].toInt(), 3);
    EXPECT_EQ(bar.buttonAt(3)->text(), " 查 询 ");
    EXPECT_EQ(bar.buttonAt(9), nullptr);
    EXPECT_FALSE(bar.isSeparator(9));
}

TEST(RadioButton, CheckingOneClearsItsSiblingsAndBothCanBeCleared) {
    QWidget frame;
    QWidget other;
    ui::RadioButton settled(&frame);
    ui::RadioButton unsettled(&frame);
    ui::RadioButton elsewhere(&other);
    elsewhere.setChecked(true);
    settled.setChecked(true);
    unsettled.setChecked(true);
    EXPECT_FALSE(settled.isChecked());
    EXPECT_TRUE(unsettled.isChecked());
    // A control of another container is not touched.
    EXPECT_TRUE(elsewhere.isChecked());
    unsettled.setChecked(false);
    EXPECT_FALSE(settled.isChecked());
    EXPECT_FALSE(unsettled.isChecked());

    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    settled.resize(90, 16);
    QTest::mouseClick(&settled, Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(settled.isChecked());
    EXPECT_FALSE(unsettled.isChecked());
    // A second click on the checked button keeps the operator's choice.
    QTest::mouseClick(&settled, Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(settled.isChecked());
    EXPECT_FALSE(unsettled.isChecked());
}

TEST(ComboBox, TypingDropsTheSelectedEntryButKeepsTheText) {
    ui::ComboBox box;
    box.addItems({"王小明", "李丽"});
    EXPECT_TRUE(box.isEditable());
    EXPECT_EQ(box.currentIndex(), -1);
    box.setCurrentIndex(1);
    EXPECT_EQ(box.currentText(), "李丽");

    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.lineEdit()->setFocus();
    box.lineEdit()->end(false);
    QTest::keyClicks(box.lineEdit(), "a");
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), "李丽a");
    EXPECT_EQ(box.lineEdit()->cursorPosition(), 3);

    box.setCurrentIndex(0);
    EXPECT_EQ(box.currentText(), "王小明");
    box.clearText();
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), QString());
    EXPECT_EQ(box.count(), 2);
}

TEST(EditBox, ReportsALeftDoubleClick) {
    ui::EditBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QSignalSpy doubled(&box, &ui::EditBox::doubleClicked);
    QTest::mouseDClick(&box, Qt::RightButton);
    EXPECT_EQ(doubled.size(), 0);
    QTest::mouseDClick(&box, Qt::LeftButton);
    EXPECT_EQ(doubled.size(), 1);
}

TEST(ImageButton, KeepsItsColourAndKnowsWhenTheMouseIsOver) {
    ui::ImageButton button;
    button.setText("删除");
    button.resize(159, 25);
    ui::setBackgroundColor(&button, QColor(255, 128, 192));
    EXPECT_EQ(button.backgroundColor(), QColor(255, 128, 192));
    EXPECT_EQ(ui::backgroundColor(&button), QColor(255, 128, 192));

    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    // The colour is the one painted while the mouse is outside; hovering
    // shows another.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovered());
    EXPECT_EQ(button.grab().toImage().pixelColor(6, 6), QColor(255, 128, 192));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovered());
    EXPECT_NE(button.grab().toImage().pixelColor(6, 6), QColor(255, 128, 192));

    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 1);
}

TEST(TransparentLabel, PacksTwoLinesIntoALowLabel) {
    ui::TransparentLabel label("注：修改姓名，\r\n    谨慎修改。");
    QFont f = label.font();
    f.setPixelSize(12);
    label.setFont(f);
    label.resize(248, 24);
    EXPECT_EQ(label.linePitch(), 12);
    label.resize(248, 60);
    EXPECT_EQ(label.linePitch(), label.fontMetrics().height());
    EXPECT_FALSE(label.autoFillBackground());
}

TEST(Appearance, BackgroundAndTextColoursRoundTrip) {
    ui::EditBox edit;
    ui::setBackgroundColor(&edit, QColor(255, 0, 0));
    EXPECT_EQ(ui::backgroundColor(&edit), QColor(255, 0, 0));
    ui::ComboBox combo;
    ui::setBackgroundColor(&combo, QColor(255, 0, 0));
    EXPECT_EQ(ui::backgroundColor(&combo), QColor(255, 0, 0));
    EXPECT_EQ(combo.lineEdit()->palette().color(QPalette::Base), QColor(255, 0, 0));
    ui::setBackgroundColor(&combo, Qt::white);
    EXPECT_EQ(ui::backgroundColor(&combo), QColor(Qt::white));

    ui::TransparentLabel label;
    ui::setTextColor(&label, QColor(192, 192, 192));
    EXPECT_EQ(ui::textColor(&label), QColor(192, 192, 192));
    ui::setTextColor(&edit, QColor(1, 2, 3));
    EXPECT_EQ(ui::textColor(&edit), QColor(1, 2, 3));
}

}  // namespace
