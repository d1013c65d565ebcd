// The smaller controls: date picker, toolbar, radio buttons, combo box, edit
// box, image button, transparent label, and the colour helpers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
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
    // Enter, or setting the same day again, changes nothing.
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    QTest::keyClick(&picker, Qt::Key_Return);
    picker.setValue(45356.0);
    EXPECT_EQ(changed.size(), 1);
    picker.setValue(45357.0);
    EXPECT_EQ(changed.size(), 2);
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

TEST(ComboBox, EnterPicksNothing) {
    // Only a pick from the list selects an entry; Enter on typed text that
    // happens to equal one leaves the box as typed.
    ui::ComboBox box;
    box.addItems({"王小明", "李丽"});
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.setFocus();
    QSignalSpy activated(&box, &QComboBox::activated);
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    box.setEditText(QStringLiteral("李丽"));
    ASSERT_EQ(box.currentIndex(), -1);
    changed.clear();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), "李丽");
    EXPECT_EQ(activated.size(), 0);
    EXPECT_EQ(changed.size(), 0);
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

// The colour of a caption as drawn: of the pixels that differ from the face,
// the one that stands out most.
QColor inkOn(const QImage& image, const QColor& face) {
    QColor ink = face;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (ui::contrastRatio(c, face) > ui::contrastRatio(ink, face)) ink = c;
        }
    return ink;
}

TEST(ImageButton, ADisabledCaptionStaysReadableOnItsFace) {
    // The grey of a button its switch forbids on the customers page, and the
    // button's own face.
    for (const QColor& face : {QColor(192, 192, 192), QColor(228, 236, 246)}) {
        ui::ImageButton button;
        button.setText("修改");
        button.resize(55, 25);
        ui::setBackgroundColor(&button, face);
        button.setEnabled(false);
        const QImage drawn = button.grab().toImage();
        ASSERT_EQ(drawn.pixelColor(4, 4), face);
        const QColor ink = inkOn(drawn, face);
        EXPECT_GE(ui::contrastRatio(ink, face), ui::kReadableContrast)
            << face.name().toStdString() << " " << ink.name().toStdString();
        // Still greyed: paler than an enabled caption.
        button.setEnabled(true);
        EXPECT_GT(ui::contrastRatio(inkOn(button.grab().toImage(), face), face),
                  ui::contrastRatio(ink, face) + 1)
            << face.name().toStdString();
    }
}

TEST(Appearance, DisabledControlsOfTheStyleStayReadable) {
    const QPalette saved = QApplication::palette();
    ui::makeDisabledTextReadable();
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("录入"), &window);
    auto* box = new QCheckBox(QStringLiteral("记账录入"), &window);
    auto* edit = new QLineEdit(QStringLiteral("无选中用户"), &window);
    button->setGeometry(0, 0, 79, 40);
    box->setGeometry(0, 50, 90, 20);
    edit->setGeometry(0, 80, 120, 22);
    window.resize(140, 110);
    window.setEnabled(false);
    for (QWidget* control :
         {static_cast<QWidget*>(button), static_cast<QWidget*>(box), static_cast<QWidget*>(edit)}) {
        const QImage drawn = control->grab().toImage();
        const QColor face = drawn.pixelColor(drawn.width() - 4, drawn.height() / 2);
        EXPECT_GE(ui::contrastRatio(inkOn(drawn, face), face), ui::kReadableContrast)
            << control->metaObject()->className();
    }
    QApplication::setPalette(saved);
}

TEST(Appearance, ReadableGreyAndContrast) {
    EXPECT_NEAR(ui::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ui::contrastRatio(QColor(192, 192, 192), QColor(192, 192, 192)), 1.0, 1e-9);
    for (int level : {0, 64, 128, 192, 240, 255}) {
        const QColor face(level, level, level);
        const QColor grey = ui::readableGrey(face);
        EXPECT_GE(ui::contrastRatio(grey, face), ui::kReadableContrast) << level;
        // The palest that reads: one step towards the face no longer does.
        const int towards = level >= 128 ? grey.red() + 1 : grey.red() - 1;
        EXPECT_LT(ui::contrastRatio(QColor(towards, towards, towards), face), ui::kReadableContrast)
            << level;
    }
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
