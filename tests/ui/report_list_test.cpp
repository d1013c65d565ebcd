// The report list: rows and cells, the image column, row data, selection in
// both modes, header clicks, the current row and scrolling.
#include "report_list.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

using ui::ReportColumn;
using ui::ReportList;

QPixmap solid(QColor color) {
    QPixmap p(16, 16);
    p.fill(color);
    return p;
}

class ReportListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list.setColumns({{QString(), 0, Qt::AlignLeft},
                         {"序", 30, Qt::AlignHCenter},
                         {"客户", 60, Qt::AlignLeft},
                         {"金额", 60, Qt::AlignRight},
                         {"状态", 55, Qt::AlignLeft}});
        list.resize(300, 200);
    }

    void fill(int rows) {
        for (int i = 0; i < rows; ++i)
            list.addRow({QString(), QString::number(i + 1), QString("客户%1").arg(i),
                         QString::number(i * 10), "未结"});
    }

    void showList() {
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    // The middle of a row's cell in `column`, in viewport coordinates.
    QPoint cellCenter(int row, int column) {
        return list.visualRect(list.model()->index(row, column)).center();
    }

    void click(int row, int column, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(list.viewport(), button, mods, cellCenter(row, column));
    }

    ReportList list;
};

TEST_F(ReportListTest, CellsFollowTheColumnsAndRowsCanBeEditedInsertedAndRemoved) {
    EXPECT_EQ(list.columnCount(), 5);
    EXPECT_EQ(list.column(0).width, 0);
    EXPECT_EQ(list.column(0).title, QString());
    EXPECT_EQ(list.column(2).title, "客户");
    EXPECT_EQ(list.model()->headerData(3, Qt::Horizontal).toString(), "金额");

    // Missing cells are empty, surplus cells are dropped.
    EXPECT_EQ(list.addRow({"", "1", "王"}), 0);
    EXPECT_EQ(list.addRow({"", "2", "李", "5", "已结", "too many"}), 1);
    EXPECT_EQ(list.rowTexts(0), (QStringList{"", "1", "王", "", ""}));
    EXPECT_EQ(list.rowTexts(1), (QStringList{"", "2", "李", "5", "已结"}));

    list.setCellText(0, 3, "12.5");
    EXPECT_EQ(list.cellText(0, 3), "12.5");
    EXPECT_EQ(list.model()->data(list.model()->index(0, 3)).toString(), "12.5");
    // Out of range: reads give nothing, writes change nothing.
    list.setCellText(7, 1, "x");
    list.setCellText(0, 9, "x");
    EXPECT_EQ(list.cellText(7, 1), QString());
    EXPECT_EQ(list.cellText(0, -1), QString());

    EXPECT_EQ(list.insertRow(1, {"", "new"}), 1);
    EXPECT_EQ(list.insertRow(99, {"", "last"}), 3);
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.cellText(1, 1), "new");
    EXPECT_EQ(list.cellText(2, 1), "2");
    list.removeRow(1);
    list.removeRow(42);
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.cellText(1, 1), "2");

    list.clearRows();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.columnCount(), 5);
}

TEST_F(ReportListTest, CellsAreAlignedAsTheirColumns) {
    fill(1);
    auto alignment = [&](int column) {
        return Qt::Alignment(list.model()
                                 ->data(list.model()->index(0, column), Qt::TextAlignmentRole)
                                 .toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(1), Qt::AlignHCenter);
    EXPECT_EQ(alignment(2), Qt::AlignLeft);
    EXPECT_EQ(alignment(3), Qt::AlignRight);
}

TEST_F(ReportListTest, EachRowShowsItsImageInTheImageColumnOnly) {
    list.setImages({solid(Qt::red), solid(Qt::green)});
    list.setImageColumn(4);
    list.addRow({"", "1"}, 1);
    list.addRow({"", "2"}, 0);
    list.addRow({"", "3"});  // no image

    auto decoration = [&](int row, int column) {
        return list.model()->data(list.model()->index(row, column), Qt::DecorationRole);
    };
    EXPECT_EQ(decoration(0, 4).value<QPixmap>().toImage().pixelColor(4, 4), QColor(Qt::green));
    EXPECT_EQ(decoration(1, 4).value<QPixmap>().toImage().pixelColor(4, 4), QColor(Qt::red));
    EXPECT_FALSE(decoration(2, 4).isValid());
    EXPECT_FALSE(decoration(0, 3).isValid());
    EXPECT_EQ(list.rowImage(2), -1);

    QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
    list.setRowImage(1, 1);
    EXPECT_EQ(list.rowImage(1), 1);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().column(), 4);
    EXPECT_EQ(decoration(1, 4).value<QPixmap>().toImage().pixelColor(4, 4), QColor(Qt::green));

    // An index beyond the strip shows nothing rather than failing.
    list.setRowImage(1, 5);
    EXPECT_FALSE(decoration(1, 4).isValid());
}

TEST_F(ReportListTest, RowDataStaysWithItsRow) {
    list.addRow({"", "1"}, -1, 1001);
    list.addRow({"", "2"}, -1, 1002);
    list.insertRow(0, {"", "0"}, -1, 1000);
    EXPECT_EQ(list.rowData(0), 1000);
    EXPECT_EQ(list.rowData(2), 1002);
    list.setRowData(1, 77);
    EXPECT_EQ(list.rowData(1), 77);
    list.removeRow(0);
    EXPECT_EQ(list.rowData(0), 77);
    EXPECT_EQ(list.rowData(9), 0);
}

TEST_F(ReportListTest, SingleSelectionClickPicksTheWholeRow) {
    fill(5);
    showList();
    QSignalSpy selection(&list, &ReportList::rowSelectionChanged);
    QSignalSpy current(&list, &ReportList::currentRowChanged);

    click(2, 3);
    EXPECT_EQ(list.selectedRows(), QList<int>{2});
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_GE(selection.size(), 1);
    ASSERT_GE(current.size(), 1);
    EXPECT_EQ(current.last()[0].toInt(), 2);
    for (int c = 0; c < list.columnCount(); ++c)
        EXPECT_TRUE(list.selectionModel()->isSelected(list.model()->index(2, c))) << c;

    click(4, 1, Qt::ControlModifier);
    EXPECT_EQ(list.selectedRows(), QList<int>{4});
    list.setRowSelected(1, true);
    EXPECT_EQ(list.selectedRows(), QList<int>{1});
}

TEST_F(ReportListTest, MultipleSelectionAddsWithControlAndSpansWithShift) {
    list.setMultipleSelection(true);
    fill(8);
    showList();
    click(5, 2);
    click(1, 2, Qt::ControlModifier);
    EXPECT_EQ(list.selectedRows(), (QList<int>{1, 5}));
    click(3, 2, Qt::ShiftModifier);
    EXPECT_EQ(list.selectedRows(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(list.selectedRowCount(), 3);
    EXPECT_TRUE(list.isRowSelected(2));
    EXPECT_FALSE(list.isRowSelected(5));

    list.setRowSelected(7, true);
    list.setRowSelected(2, false);
    EXPECT_EQ(list.selectedRows(), (QList<int>{1, 3, 7}));
    list.clearRowSelection();
    EXPECT_TRUE(list.selectedRows().isEmpty());
}

TEST_F(ReportListTest, WithoutWholeRowSelectionAClickPicksNothingAndClearsTheSelection) {
    list.setWholeRowSelection(false);
    fill(4);
    showList();
    click(1, 2);
    EXPECT_TRUE(list.selectedRows().isEmpty());

    // The program (and the keyboard) can still select.
    list.setRowSelected(3, true);
    EXPECT_EQ(list.selectedRows(), QList<int>{3});
    click(1, 3);
    EXPECT_TRUE(list.selectedRows().isEmpty());
    click(2, 1, {}, Qt::RightButton);
    EXPECT_TRUE(list.selectedRows().isEmpty());

    list.setWholeRowSelection(true);
    click(1, 2);
    EXPECT_EQ(list.selectedRows(), QList<int>{1});
}

TEST_F(ReportListTest, DoubleClickAndRightReleaseReportTheRowUnderTheMouse) {
    fill(4);
    showList();
    QSignalSpy doubled(&list, &ReportList::rowDoubleClicked);
    QSignalSpy right(&list, &ReportList::rightButtonReleased);

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cellCenter(2, 2));
    ASSERT_EQ(doubled.size(), 1);
    EXPECT_EQ(doubled[0][0].toInt(), 2);
    EXPECT_EQ(list.selectedRows(), QList<int>{2});

    click(3, 4, {}, Qt::RightButton);
    ASSERT_EQ(right.size(), 1);
    EXPECT_EQ(right[0][0].toInt(), 3);
    // A right click picks the row first, as the delete action expects.
    EXPECT_EQ(list.selectedRows(), QList<int>{3});

    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, QPoint(150, 190));
    ASSERT_EQ(right.size(), 2);
    EXPECT_EQ(right[1][0].toInt(), -1);
}

TEST_F(ReportListTest, HeaderClicksReportTheColumnIndexWithoutSorting) {
    fill(3);
    list.setCellText(0, 2, "zz");
    showList();
    QSignalSpy clicked(&list, &ReportList::headerClicked);
    QHeaderView* head = list.header();
    for (int column : {3, 1, 4}) {
        const int x = head->sectionViewportPosition(column) + head->sectionSize(column) / 2;
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, QPoint(x, head->height() / 2));
    }
    ASSERT_EQ(clicked.size(), 3);
    EXPECT_EQ(clicked[0][0].toInt(), 3);
    EXPECT_EQ(clicked[1][0].toInt(), 1);
    EXPECT_EQ(clicked[2][0].toInt(), 4);
    EXPECT_EQ(list.cellText(0, 2), "zz");
}

TEST_F(ReportListTest, CurrentRowMovesWithoutTouchingTheSelection) {
    fill(6);
    list.setRowSelected(1, true);
    EXPECT_EQ(list.currentRow(), -1);
    list.setCurrentRow(4);
    EXPECT_EQ(list.currentRow(), 4);
    EXPECT_EQ(list.selectedRows(), QList<int>{1});
    list.setCurrentRow(-1);
    EXPECT_EQ(list.currentRow(), -1);
}

TEST_F(ReportListTest, ScrollToRowBringsItIntoViewAndKeepsTheHorizontalPosition) {
    fill(500);
    showList();
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
    const int horizontal = list.horizontalScrollBar()->value();
    ASSERT_FALSE(list.viewport()->rect().intersects(list.visualRect(list.model()->index(400, 1))));
    list.scrollToRow(400);
    const QRect row = list.visualRect(list.model()->index(400, 2));
    EXPECT_TRUE(
        list.viewport()->rect().contains(QPoint(list.viewport()->width() / 2, row.center().y())));
    EXPECT_EQ(list.horizontalScrollBar()->value(), horizontal);
}

TEST_F(ReportListTest, ReplacingTheColumnsEmptiesTheList) {
    fill(3);
    list.setColumns({{QString(), 0, Qt::AlignLeft}, {"客户", 60, Qt::AlignHCenter}});
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.header()->sectionSize(1), 60);
}

}  // namespace

// The right-click menu: pages add entries to the list's one menu; it opens
// over rows and empty space alike, and stays shut while it has no entry.
class ReportListMenuTest : public ReportListTest {
  protected:
    void rightClickAt(QPoint pos, QContextMenuEvent::Reason reason = QContextMenuEvent::Mouse) {
        QContextMenuEvent event(reason, pos, list.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list.viewport(), &event);
    }
    void TearDown() override { list.contextMenu()->hide(); }
};

TEST_F(ReportListMenuTest, OpensOverRowsAndEmptySpaceOnceItHasAnEntry) {
    fill(4);
    showList();
    QSignalSpy opening(&list, &ReportList::contextMenuAboutToOpen);
    rightClickAt(cellCenter(2, 2));
    EXPECT_FALSE(list.contextMenu()->isVisible());  // nothing to offer
    EXPECT_EQ(opening.size(), 0);

    // A separator alone, or an entry hidden, offers nothing either.
    list.contextMenu()->addSeparator();
    QAction* hidden = list.contextMenu()->addAction("隐藏的");
    hidden->setVisible(false);
    rightClickAt(cellCenter(2, 2));
    EXPECT_FALSE(list.contextMenu()->isVisible());

    QAction* entry = list.contextMenu()->addAction("导出CSV…");
    rightClickAt(cellCenter(2, 2));
    EXPECT_TRUE(list.contextMenu()->isVisible());
    ASSERT_EQ(opening.size(), 1);
    EXPECT_EQ(opening[0][0].toInt(), 2);
    list.contextMenu()->hide();

    rightClickAt(QPoint(150, 190));  // below the last row
    EXPECT_TRUE(list.contextMenu()->isVisible());
    ASSERT_EQ(opening.size(), 2);
    EXPECT_EQ(opening[1][0].toInt(), -1);
    list.contextMenu()->hide();

    // The menu key opens it at the current row.
    list.setCurrentRow(1);
    rightClickAt(QPoint(0, 0), QContextMenuEvent::Keyboard);
    ASSERT_EQ(opening.size(), 3);
    EXPECT_EQ(opening[2][0].toInt(), 1);
    const QRect row1 = list.visualRect(list.model()->index(1, 1));
    EXPECT_TRUE(QRect(list.viewport()->mapToGlobal(row1.topLeft()), row1.size())
                    .contains(list.contextMenu()->pos()));
    (void)entry;
}
