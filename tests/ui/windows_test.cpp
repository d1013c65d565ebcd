// The six windows: the builder puts every control of a window's table where
// the table says, and each window starts in the state its pages expect.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "backup_window.h"
#include "composer_dialog.h"
#include "customers_page.h"
#include "date_picker.h"
#include "entry_page.h"
#include "main_bar.h"
#include "query_page.h"
#include "recycle_window.h"
#include "report_list.h"
#include "rollup_menu.h"
#include "settings_page.h"
#include "statistics_window.h"
#include "toolbar.h"
#include "transparent_label.h"

namespace {

template <class W>
class WindowLayout : public ::testing::Test {};

using Windows =
    ::testing::Types<ui::MainBar, ui::EntryPage, ui::QueryPage, ui::CustomersPage, ui::SettingsPage,
                     ui::ComposerDialog, ui::BackupWindow, ui::RecycleWindow, ui::StatisticsWindow>;
TYPED_TEST_SUITE(WindowLayout, Windows);

QString caption(const QWidget* c) {
    if (auto* group = qobject_cast<const QGroupBox*>(c)) return group->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(c)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(c)) return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(c)) return edit->text();
    return {};
}

TYPED_TEST(WindowLayout, EveryControlStandsInItsContainerWithItsCaption) {
    TypeParam window;
    EXPECT_EQ(window.size(), QSize(TypeParam::kWidth, TypeParam::kHeight));
    QSet<QString> names;
    for (const auto& row : TypeParam::layout()) {
        const ui::ControlSpec& desc = row.desc;
        const QString name = desc.objectName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(names.contains(name));
        names.insert(name);

        const auto found = window.template findChildren<QWidget*>(name);
        ASSERT_EQ(found.size(), 1);
        QWidget* c = found.first();
        EXPECT_TRUE(ui::kindMatches(desc.kind, c));
        const QWidget* expectedParent =
            desc.containerName().isEmpty()
                ? static_cast<QWidget*>(&window)
                : window.template findChild<QWidget*>(desc.containerName());
        EXPECT_EQ(c->parentWidget(), expectedParent);
        EXPECT_EQ(c->geometry(), QRect(desc.x, desc.y, desc.width, desc.height));
        if (!QByteArray(desc.caption).isEmpty()) {
            EXPECT_EQ(caption(c), desc.captionText());
        }
    }
}

TYPED_TEST(WindowLayout, EveryCaptionFitsItsControl) {
    // Full-width punctuation ends with empty half a character, which a tight
    // control may cut off without hiding anything.
    auto inkWidth = [](const QFontMetrics& fm, const QString& line) {
        int w = fm.horizontalAdvance(line);
        if (!line.isEmpty() && QStringLiteral("：，。").contains(line.back()))
            w -= fm.horizontalAdvance(line.back()) / 2;
        return w;
    };
    TypeParam window;
    for (const auto& row : TypeParam::layout()) {
        const ui::ControlSpec& desc = row.desc;
        const QString text = desc.captionText();
        if (text.isEmpty()) continue;
        QWidget* c = window.template findChild<QWidget*>(desc.objectName());
        ASSERT_NE(c, nullptr);
        SCOPED_TRACE(desc.name);
        const QFontMetrics fm(c->font());
        int room = desc.width;
        switch (desc.kind) {
            case ui::Kind::CheckBox:
            case ui::Kind::RadioButton:
                room -= 18;  // the box or circle and its gap
                break;
            case ui::Kind::Button:
            case ui::Kind::ImageButton:
                room -= 4;
                break;
            case ui::Kind::GroupFrame:
                room -= 16;
                break;
            default:
                break;
        }
        // A transparent label wraps; every other caption stays on one line.
        QStringList lines;
        if (auto* label = qobject_cast<ui::TransparentLabel*>(c)) {
            lines = label->lines();
            EXPECT_LE(label->linePitch() * lines.size(), desc.height + 2);
        } else {
            lines = QStringList{text};
        }
        for (const QString& line : lines) EXPECT_LE(inkWidth(fm, line), room) << line.toStdString();
        // Labels leave the glyphs room in height.
        if (desc.kind == ui::Kind::Label) {
            EXPECT_LE(fm.ascent(), desc.height + 2);
        }
    }
}

// The controls of a window, as the Tab key visits them from the first one:
// each focus stop is named by the table control it belongs to (a combo
// box's edit counts as the box).
template <class W>
QStringList tabStops(W& window) {
    QSet<QString> names;
    for (const auto& row : W::layout()) names.insert(row.desc.objectName());
    const auto stop = [&](QWidget* w) {
        for (; w && w != &window; w = w->parentWidget())
            if (names.contains(w->objectName())) return w->objectName();
        return QString();
    };
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    QStringList visited;
    QWidget* first = nullptr;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&window)) {
            first = w;
            break;
        }
    }
    if (!first) return visited;
    first->setFocus(Qt::TabFocusReason);
    // Round once; a date box steps through its day, month and year first.
    for (int i = 0; i < 80; ++i) {
        const QString name = stop(QApplication::focusWidget());
        if (visited.size() > 1 && name == visited.first()) break;
        if (!name.isEmpty() && (visited.isEmpty() || visited.back() != name)) visited << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return visited;
}

// Whether the eye meets control `a` before `b`: compared where they part,
// as the controls (or frames holding them) of one container.
template <class W>
bool readsBefore(W& window, const QString& a, const QString& b) {
    QWidget* wa = window.template findChild<QWidget*>(a);
    QWidget* wb = window.template findChild<QWidget*>(b);
    for (QWidget* x = wa; x; x = x->parentWidget())
        for (QWidget* y = wb; y; y = y->parentWidget())
            if (x != y && x->parentWidget() == y->parentWidget()) {
                const QRect ra = x->geometry(), rb = y->geometry();
                if (ra.bottom() < rb.top()) return true;
                const bool band = ra.top() <= rb.bottom() && rb.top() <= ra.bottom();
                return band && ra.right() < rb.left();
            }
    return false;
}

bool takesTab(const QWidget* w) { return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled(); }

TYPED_TEST(WindowLayout, TabFollowsTheReadingOrder) {
    TypeParam window;
    // Controls that start disabled wait for a permission switch.
    for (QWidget* w : window.template findChildren<QWidget*>()) w->setEnabled(true);
    // From the first control the window gives the focus to.
    const QStringList stops = tabStops(window);
    int focusable = 0;
    for (const auto& row : TypeParam::layout()) {
        QWidget* c = window.template findChild<QWidget*>(row.desc.objectName());
        if (!c->isVisibleTo(&window) || row.desc.kind == ui::Kind::GroupFrame ||
            row.desc.kind == ui::Kind::ShapeFrame)
            continue;
        const auto inner = c->template findChildren<QWidget*>();
        if (takesTab(c) || std::any_of(inner.begin(), inner.end(), takesTab)) {
            ++focusable;
            EXPECT_TRUE(stops.contains(row.desc.objectName())) << row.desc.name;
        }
    }
    EXPECT_EQ(stops.size(), focusable) << stops.join(' ').toStdString();
    for (int i = 0; i < stops.size(); ++i)
        for (int j = i + 1; j < stops.size(); ++j)
            EXPECT_FALSE(readsBefore(window, stops[j], stops[i]))
                << stops[j].toStdString() << " comes after " << stops[i].toStdString();
}

TEST(ComposerDialog, TabGoesThroughTheSizesQuantityPriceEdgeAndRemarkThenTheButtons) {
    ui::ComposerDialog dialog;
    EXPECT_EQ(tabStops(dialog),
              (QStringList{"编辑框尺寸1", "编辑框尺寸2", "编辑框数量", "编辑框单价", "组合框边条",
                           "编辑框备注", "按钮2", "按钮1"}));
}

// The edge strip's label and box were added to a fixed layout: they take
// only room no other control of their frame had.
TEST(ComposerDialog, TheEdgeStripControlsStandInFreeSpace) {
    ui::ComposerDialog dialog;
    for (QWidget* added : std::initializer_list<QWidget*>{dialog.标签12, dialog.组合框边条}) {
        ASSERT_EQ(added->parentWidget(), dialog.外形框1);
        EXPECT_TRUE(dialog.外形框1->rect().contains(added->geometry()));
        for (QWidget* other : dialog.外形框1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == dialog.标签12 || other == dialog.组合框边条) continue;
            EXPECT_FALSE(other->geometry().intersects(added->geometry()))
                << added->objectName().toStdString() << " over "
                << other->objectName().toStdString();
        }
    }
    EXPECT_FALSE(dialog.组合框边条->isEditable());
}

TEST(EntryPage, TabGoesThroughTheFormAsItReadsThenToRecording) {
    ui::EntryPage page;
    page.按钮记账->setEnabled(true);
    page.日期框1->setEnabled(true);
    const QStringList stops = tabStops(page);
    const QStringList form{"组合框客户", "组合框事件", "编辑框备注", "编辑框金额",
                           "单选框未结", "单选框已结", "按钮记账"};
    const qsizetype first = stops.indexOf(form.first());
    ASSERT_GE(first, 0) << stops.join(' ').toStdString();
    EXPECT_EQ(stops.mid(first, form.size()), form) << stops.join(' ').toStdString();
    EXPECT_EQ(stops.first(), "日期框1");
}

TEST(MainBar, TheHotKeyLabelShowsNothing) {
    ui::MainBar bar;
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    // It keeps its caption; only it is not drawn.
    EXPECT_EQ(bar.标签1->text(), "标签_热键");
    const QImage drawn = bar.grab().toImage();
    const QRect spot = bar.标签1->geometry();
    const QColor band = drawn.pixelColor(spot.left() - 2, spot.center().y());
    int differing = 0;
    for (int y = spot.top(); y <= spot.bottom(); ++y)
        for (int x = spot.left(); x <= spot.right(); ++x)
            differing += drawn.pixelColor(x, y) != band;
    EXPECT_EQ(differing, 0);
}

TEST(MainBar, HasItsTitleAndTheFourPageButtons) {
    ui::MainBar bar;
    EXPECT_EQ(bar.windowTitle(), "岚禾记账");
    ASSERT_EQ(bar.工具条1->itemCount(), 9);
    EXPECT_EQ(bar.工具条1->buttonAt(1)->text(), " 记 账 ");
    EXPECT_EQ(bar.工具条1->buttonAt(3)->text(), " 查 询 ");
    EXPECT_EQ(bar.工具条1->buttonAt(5)->text(), " 客 户 ");
    EXPECT_EQ(bar.工具条1->buttonAt(7)->text(), " 设 置 ");
    EXPECT_FALSE(bar.工具条1->buttonAt(1)->icon().isNull());
    EXPECT_FALSE(bar.图片框1->pixmap().isNull());
    EXPECT_FALSE(bar.超级按钮1->image().isNull());
}

TEST(MainBar, ReportsMovesAndHiding) {
    ui::MainBar bar;
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QSignalSpy moved(&bar, &ui::MainBar::moved);
    QSignalSpy hidden(&bar, &ui::MainBar::hidden);
    bar.move(bar.pos() + QPoint(30, 0));
    QTest::qWait(10);
    EXPECT_GE(moved.size(), 1);
    bar.hide();
    EXPECT_EQ(hidden.size(), 1);
}

TEST(EntryPage, StartsWithRecordingAndDateLockedAndRowsNotPickable) {
    ui::EntryPage page;
    EXPECT_FALSE(page.按钮记账->isEnabled());
    EXPECT_FALSE(page.日期框1->isEnabled());
    EXPECT_TRUE(page.标签状态->isHidden());
    EXPECT_FALSE(page.超级列表框记账->wholeRowSelection());
    EXPECT_FALSE(page.超级列表框记账->multipleSelection());
    const ui::ReportList& list = *page.超级列表框记账;
    ASSERT_EQ(list.columnCount(), 7);
    EXPECT_EQ(list.column(0).width, 0);
    EXPECT_EQ(list.column(ui::EntryPage::kStatusColumn).title, "状态");
    EXPECT_EQ(list.imageColumn(), ui::EntryPage::kStatusColumn);
    EXPECT_EQ(list.images().size(), 2);
}

TEST(QueryPage, SelectsSeveralRowsAndKeepsThePrintControlsOutOfSight) {
    ui::QueryPage page;
    EXPECT_TRUE(page.超级列表框统计->multipleSelection());
    EXPECT_TRUE(page.超级列表框统计->wholeRowSelection());
    EXPECT_EQ(page.超级列表框统计->columnCount(), 8);
    EXPECT_EQ(page.超级列表框统计->column(ui::QueryPage::kStatusColumn).title, "状态");
    EXPECT_EQ(page.超级列表框统计->imageColumn(), ui::QueryPage::kStatusColumn);
    EXPECT_TRUE(page.表格1->isHidden());
    EXPECT_TRUE(page.数据源1->isHidden());
    EXPECT_TRUE(page.通用提供者1->isHidden());
    EXPECT_EQ(page.表格1->size(), QSize(32, 16));
}

TEST(QueryPage, TheListShowsItsColumnTitles) {
    ui::QueryPage page;
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    QHeaderView* head = page.超级列表框统计->header();
    EXPECT_TRUE(head->isVisible());
    EXPECT_EQ(head->sectionSize(0), 0);
    EXPECT_EQ(head->sectionSize(7), 500);
    EXPECT_EQ(page.超级列表框统计->model()->headerData(2, Qt::Horizontal).toString(), "日期");
}

TEST(CustomersPage, StartsWithAnEmptyMenuAndRankingList) {
    ui::CustomersPage page;
    EXPECT_EQ(page.卷帘式菜单客户->groupCount(), 0);
    EXPECT_EQ(page.卷帘式菜单客户->currentItem(), -1);
    EXPECT_EQ(page.超级列表框1->columnCount(), 3);
    EXPECT_EQ(page.超级列表框1->column(2).title, "总消费");
    EXPECT_EQ(page.超级列表框1->rowCount(), 0);
}

TEST(SettingsPage, TheBackupButtonStandsInTheFreeColumnBesideTheFrames) {
    ui::SettingsPage page;
    const QRect button = page.按钮备份恢复->geometry();
    for (QWidget* other :
         {static_cast<QWidget*>(page.外形框1), static_cast<QWidget*>(page.透明标签6),
          static_cast<QWidget*>(page.按钮2), static_cast<QWidget*>(page.透明标签4)})
        EXPECT_FALSE(button.intersects(other->geometry())) << other->objectName().toStdString();
    EXPECT_TRUE(page.rect().contains(button));
}

TEST(CustomersPage, TheRecentlyDeletedButtonOverlapsNothing) {
    ui::CustomersPage page;
    const QRect button = page.按钮最近删除->geometry();
    EXPECT_TRUE(page.rect().contains(button));
    for (QWidget* child : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == page.按钮最近删除) continue;
        EXPECT_FALSE(button.intersects(child->geometry())) << child->objectName().toStdString();
    }
}

TEST(BackupAndRecycleWindows, HaveNoTitleAndListTheirColumns) {
    ui::BackupWindow backups;
    ui::RecycleWindow recycle;
    EXPECT_TRUE(backups.windowTitle().isEmpty());
    EXPECT_TRUE(recycle.windowTitle().isEmpty());
    EXPECT_EQ(backups.超级列表框备份->columnCount(), 6);
    EXPECT_EQ(backups.超级列表框备份->column(0).width, 0);
    EXPECT_EQ(backups.超级列表框备份->column(ui::BackupWindow::kEntries).title, "账单条数");
    EXPECT_EQ(recycle.超级列表框删除->columnCount(), 4);
    EXPECT_EQ(recycle.超级列表框删除->column(ui::RecycleWindow::kFrom).title, "来自");
}

TEST(SettingsPage, PasswordBoxesMaskAndStartEmptyAndEnabled) {
    ui::SettingsPage page;
    for (QLineEdit* box :
         {static_cast<QLineEdit*>(page.编辑框密码), static_cast<QLineEdit*>(page.编辑框确认密码)}) {
        EXPECT_EQ(box->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(box->text().isEmpty());
        EXPECT_TRUE(box->isEnabled());
    }
    EXPECT_FALSE(page.单选框启用密码->isChecked());
    EXPECT_FALSE(page.单选框禁用密码->isChecked());
}

}  // namespace
