// "打印本页" on the query page: the list as it stands becomes the delivery note
// in the page's grid, and the preview is asked for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDateTime>

#include "dates.h"
#include "gbk_text.h"
#include "page_fixture.h"
#include "table_grid.h"

namespace ledger::testing {
namespace {

using ::testing::ElementsAre;

class PrintNoteTest : public PageTest {
  protected:
    ui::TableGrid& openAndSearch(const char* keyword) {
        ui::QueryPage& page = openQueryPage();
        page.表格1->setPreviewOverride([this] { ++previews_; });
        type(qc<QLineEdit>("编辑框搜索"), q(keyword));
        click(qc<QPushButton>("按钮模糊搜索"));
        return *page.表格1;
    }
    void print() { click(qc<QPushButton>("按钮打印本页")); }
    static QStringList column(const ui::TableGrid& grid, int c, int firstRow, int lastRow) {
        QStringList out;
        for (int row = firstRow; row <= lastRow; ++row) out << grid.cellText(row, c);
        return out;
    }

    int previews_ = 0;
};

TEST_F(PrintNoteTest, PrintsTheListInItsSortedOrderNumberedByPosition) {
    put(day(2024, 3, 1), "张三", "照片", 30, "加急", true);
    put(day(2024, 3, 2), "李四", "相框", 20, "", false);
    put(day(2024, 3, 3), "张四", "照片", 12, "两张", true);
    ui::TableGrid& grid = openAndSearch("四");
    clickHeader(qc<ui::ReportList>("超级列表框统计"), 5);  // by "金额": 张四 first

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    print();
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    EXPECT_EQ(previews_, 1);
    ASSERT_EQ(grid.rowCount(), 6);
    ASSERT_EQ(grid.columnCount(), 7);
    EXPECT_EQ(grid.cellText(1, 1), q("岚禾图文出货单"));
    EXPECT_EQ(column(grid, 1, 3, 5), (QStringList{q("序号"), "1", "2"}));
    EXPECT_EQ(column(grid, 3, 4, 5), (QStringList{q("张四"), q("李四")}));
    EXPECT_EQ(column(grid, 2, 4, 5), (QStringList{q("2024年3月3日"), q("2024年3月2日")}));
    EXPECT_EQ(column(grid, 5, 4, 5), (QStringList{"12", "20"}));
    EXPECT_EQ(column(grid, 6, 4, 5), (QStringList{q("已结"), q("未结")}));
    EXPECT_EQ(column(grid, 7, 4, 5), (QStringList{q("两张"), ""}));
    EXPECT_EQ(grid.cellText(6, 1), q("合计：（大写金额）叁拾贰元整     （小写金额）32元"));
    EXPECT_EQ(grid.cellSpan(6, 4), (ui::GridRange{6, 1, 6, 7}));
    EXPECT_EQ(grid.cellAlignment(6, 1), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(grid.cellFontFace(1, 1), q("黑体"));
    EXPECT_TRUE(grid.printSettings().fitToWidth);
    EXPECT_TRUE(grid.isHidden());

    // The print time is now, as date text.
    const QString time = grid.cellText(2, 1);
    ASSERT_TRUE(time.startsWith(q("打印时间：")));
    const convert::TextDate printed =
        convert::textToDate(ui::toGbk(time.mid(5)).value_or(std::string()));
    ASSERT_TRUE(printed.isDate) << time.toStdString();
    EXPECT_GE(printed.dateTime, ui::DatePicker::toDays(before));
    EXPECT_LE(printed.dateTime, ui::DatePicker::toDays(after));
    EXPECT_TRUE(dialogs_.messages().isEmpty());
}

TEST_F(PrintNoteTest, AnEmptyListPrintsHeadingsAndAZeroTotal) {
    put(day(2024, 3, 1), "张三", "照片", 30, "", true);
    ui::TableGrid& grid = openAndSearch("无此人");
    print();
    EXPECT_EQ(previews_, 1);
    ASSERT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.cellText(3, 7), q("备注"));
    EXPECT_EQ(grid.cellText(4, 1), q("合计：（大写金额）零     （小写金额）0元"));
}

TEST_F(PrintNoteTest, ALongerNoteAfterAShortOneKeepsNoMergeOfTheEarlierTotalLine) {
    put(day(2024, 3, 1), "张三", "照片", 1, "", true);
    put(day(2024, 3, 2), "李四", "照片", 2, "", true);
    put(day(2024, 3, 3), "王五", "照片", 3, "", true);
    ui::TableGrid& grid = openAndSearch("张三");
    print();
    ASSERT_EQ(grid.rowCount(), 5);

    type(qc<QLineEdit>("编辑框搜索"), q("照片"));
    click(qc<QPushButton>("按钮模糊搜索"));
    print();
    EXPECT_EQ(previews_, 2);
    ASSERT_EQ(grid.rowCount(), 7);
    // Row 5 held the first note's total line; now it is the third list line.
    EXPECT_EQ(grid.cellSpan(5, 3), (ui::GridRange{5, 3, 5, 3}));
    EXPECT_THAT(column(grid, 3, 4, 6), ElementsAre(q("张三"), q("李四"), q("王五")));
    EXPECT_EQ(grid.cellEdges(5, 7), ui::TableGrid::AllEdges);
    EXPECT_EQ(grid.merges().size(), 3u);
}

TEST_F(PrintNoteTest, ALongNoteKeepsEachLineOnOneLineAndRepeatsItsHeadings) {
    // The widest date there is: every digit of year, month and day.
    for (int i = 0; i < 40; ++i) put(day(2026, 11, 24), "张三", "照片", 10 + i, "", true);
    ui::TableGrid& grid = openAndSearch("照片");
    print();
    ASSERT_EQ(grid.rowCount(), 44);
    ASSERT_EQ(grid.cellText(4, 2), q("2026年11月24日"));

    const ui::GridPageLayout layout = grid.layOut();
    const auto height = [&](int row) {
        return layout.rowTops[static_cast<std::size_t>(row)] -
               layout.rowTops[static_cast<std::size_t>(row - 1)];
    };
    // A date fits its 30 mm column: no line is higher than the headings.
    for (int row = 4; row <= 43; ++row) EXPECT_DOUBLE_EQ(height(row), height(3)) << row;

    ASSERT_EQ(layout.pages.size(), 2u);
    int onFirst = 0;
    for (int row = 4; row <= 43; ++row)
        onFirst += layout.rowTops[static_cast<std::size_t>(row)] <= layout.pages[0].bottom + 1e-6;
    EXPECT_GE(onFirst, 31);
    EXPECT_FALSE(layout.pages[0].heading);
    EXPECT_TRUE(layout.pages[1].heading);
    EXPECT_DOUBLE_EQ(layout.headingTop, layout.rowTops[2]);
    EXPECT_DOUBLE_EQ(layout.headingBottom, layout.rowTops[3]);
}

}  // namespace
}  // namespace ledger::testing
