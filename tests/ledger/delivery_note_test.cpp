// The delivery note built into a grid that records what it is given.
#include "delivery_note.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "gbk.h"
#include "ledger_fixture.h"

namespace ledger::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Keeps the grid's state as the operations leave it, and the order of the
// operations that format it.
class RecordingGrid : public NoteGrid {
  public:
    void setSize(int r, int c) override {
        rows = r;
        columns = c;
        log.push_back("size");
    }
    void setRowHeight(int row, int h) override { heights[row] = h; }
    void setColumnWidth(int column, int w) override { widths[column] = w; }
    void merge(const CellRange& r) override {
        merges.push_back(r);
        log.push_back("merge");
    }
    void setCellText(int row, int column, const std::string& t) override {
        EXPECT_TRUE(inside(row, column));
        texts[{row, column}] = convert::gbkToUtf8(t);
    }
    void setCellFont(int row, int column, const std::string& face, int h) override {
        fonts[{row, column}] = {convert::gbkToUtf8(face), h};
    }
    void setAlignment(const CellRange& r, CellAlignment a) override {
        EXPECT_TRUE(inside(r.firstRow, r.firstColumn) && inside(r.lastRow, r.lastColumn));
        each(r, [&](int row, int column) { align[{row, column}] = a; });
        log.push_back("align");
    }
    void rule(const CellRange& r) override {
        each(r, [&](int row, int column) { ruled[{row, column}] = true; });
        log.push_back("rule");
    }
    void setHeadingRows(int first, int last) override {
        headingRows = {first, last};
        log.push_back("heading");
    }
    void setPrintSettings(const NotePrintSettings& s) override {
        settings = s;
        log.push_back("print settings");
    }
    void openPreview() override { log.push_back("preview"); }

    std::string text(int row, int column) const {
        auto it = texts.find({row, column});
        return it == texts.end() ? std::string() : it->second;
    }
    std::vector<std::string> column(int c, int firstRow, int lastRow) const {
        std::vector<std::string> out;
        for (int r = firstRow; r <= lastRow; ++r) out.push_back(text(r, c));
        return out;
    }

    int rows = 0, columns = 0;
    std::map<int, int> heights, widths;
    std::vector<CellRange> merges;
    std::map<std::pair<int, int>, std::string> texts;
    std::map<std::pair<int, int>, std::pair<std::string, int>> fonts;
    std::map<std::pair<int, int>, CellAlignment> align;
    std::map<std::pair<int, int>, bool> ruled;
    std::pair<int, int> headingRows{0, 0};
    NotePrintSettings settings;
    std::vector<std::string> log;

  private:
    bool inside(int row, int column) const {
        return row >= 1 && row <= rows && column >= 1 && column <= columns;
    }
    template <class F>
    static void each(const CellRange& r, F f) {
        for (int row = r.firstRow; row <= r.lastRow; ++row)
            for (int c = r.firstColumn; c <= r.lastColumn; ++c) f(row, c);
    }
};

NoteLine line(const char* date, const char* customer, const char* item, const char* amount,
              const char* status, const char* remark) {
    return {g(date), g(customer), g(item), g(amount), g(status), g(remark)};
}

const double kNow = day(2024, 3, 5) + (14 * 3600 + 7 * 60 + 30) / 86400.0;

TEST(DeliveryNote, ListsTheLinesInListOrderNumberedByPosition) {
    // As a list sorted by amount hands them over: its "序" cells do not count.
    const std::vector<NoteLine> lines{line("2024年3月2日", "李四", "相框", "5", "未结", "加急"),
                                      line("2024年3月1日", "张三", "照片", "12.5", "已结", ""),
                                      line("2024年3月3日", "王五", "照片", "30", "已结", "两张")};
    RecordingGrid grid;
    buildDeliveryNote(grid, lines, "47.5", kNow);

    ASSERT_EQ(grid.rows, 7);
    ASSERT_EQ(grid.columns, 7);
    EXPECT_EQ(grid.text(1, 1), "岚禾图文出货单");
    EXPECT_EQ(grid.text(2, 1), "打印时间：2024年3月5日14时7分30秒");
    EXPECT_THAT(grid.column(1, 3, 6), ElementsAre("序号", "1", "2", "3"));
    EXPECT_THAT(grid.column(2, 3, 6),
                ElementsAre("日期", "2024年3月2日", "2024年3月1日", "2024年3月3日"));
    EXPECT_THAT(grid.column(3, 3, 6), ElementsAre("客户", "李四", "张三", "王五"));
    EXPECT_THAT(grid.column(4, 3, 6), ElementsAre("项目", "相框", "照片", "照片"));
    EXPECT_THAT(grid.column(5, 3, 6), ElementsAre("金额", "5", "12.5", "30"));
    EXPECT_THAT(grid.column(6, 3, 6), ElementsAre("状态", "未结", "已结", "已结"));
    EXPECT_THAT(grid.column(7, 3, 6), ElementsAre("备注", "加急", "", "两张"));
    EXPECT_EQ(grid.text(7, 1), "合计：（大写金额）肆拾柒元伍角整     （小写金额）47.5元");
}

TEST(DeliveryNote, FormatsTheGridInTheOrderItIsLaidOut) {
    RecordingGrid grid;
    buildDeliveryNote(grid, {line("2024年3月1日", "A", "B", "1", "已结", "")}, "1", kNow);

    EXPECT_THAT(grid.log, ElementsAre("size", "rule", "rule", "merge", "merge", "merge", "align",
                                      "align", "align", "align", "align", "align", "heading",
                                      "align", "print settings", "preview"));
    // Only the headings go again at the top of each further page.
    EXPECT_EQ(grid.headingRows, (std::pair{3, 3}));
    EXPECT_THAT(grid.merges,
                ElementsAre(CellRange{1, 1, 1, 7}, CellRange{2, 1, 2, 7}, CellRange{5, 1, 5, 7}));
    std::vector<int> widths;
    for (auto [c, w] : grid.widths) widths.push_back(w);
    EXPECT_THAT(widths, ElementsAre(100, 300, 200, 250, 160, 100, 805));
    EXPECT_THAT(grid.heights, ElementsAre(std::pair{1, 200}, std::pair{2, 100}));
    EXPECT_THAT(grid.fonts,
                ElementsAre(std::pair{std::pair{1, 1}, std::pair{std::string("黑体"), 100}}));

    // The alignments as the later ones leave the earlier: headings and lines alike.
    using A = CellAlignment;
    for (int row : {3, 4}) {
        std::vector<A> got;
        for (int c = 1; c <= 7; ++c) got.push_back(grid.align.at({row, c}));
        EXPECT_THAT(
            got, ElementsAre(A::Centre, A::Left, A::Centre, A::Centre, A::Right, A::Left, A::Left))
            << "row " << row;
    }
    EXPECT_EQ(grid.align.at({1, 1}), A::Centre);
    EXPECT_EQ(grid.align.at({2, 1}), A::Right);
    EXPECT_EQ(grid.align.at({5, 1}), A::Right);

    // Ruled: headings, lines and the total; not the title or the print time.
    for (int row = 1; row <= 5; ++row) {
        for (int c = 1; c <= 7; ++c) EXPECT_EQ((grid.ruled[{row, c}]), row >= 3) << row << "," << c;
    }

    const NotePrintSettings s = grid.settings;
    EXPECT_EQ(s.paper, PaperSize::A4);
    EXPECT_EQ(s.orientation, PaperOrientation::Portrait);
    EXPECT_THAT((std::vector<int>{s.marginLeft, s.marginTop, s.marginRight, s.marginBottom}),
                ElementsAre(50, 50, 50, 100));
    EXPECT_EQ(s.copies, 1);
    EXPECT_TRUE(s.fitToWidth);
    EXPECT_EQ(s.pageNumberPlace, 6);
}

TEST(DeliveryNote, AnEmptyListGivesTitleTimeHeadingsAndAZeroTotal) {
    RecordingGrid grid;
    buildDeliveryNote(grid, {}, "0", day(2024, 3, 5));
    ASSERT_EQ(grid.rows, 4);
    EXPECT_EQ(grid.text(2, 1), "打印时间：2024年3月5日");
    EXPECT_THAT(grid.column(7, 3, 3), ElementsAre("备注"));
    EXPECT_EQ(grid.text(4, 1), "合计：（大写金额）零     （小写金额）0元");
    EXPECT_EQ(grid.merges.back(), (CellRange{4, 1, 4, 7}));
    EXPECT_TRUE((grid.ruled[{3, 1}]) && (grid.ruled[{4, 7}]));
}

TEST(DeliveryNote, TotalLineReadsTheTotalTextAsANumberAndShowsItAsItStands) {
    const auto total = [](const char* text) { return convert::gbkToUtf8(totalLineText(text)); };
    EXPECT_EQ(total("1234.5"), "合计：（大写金额）壹仟贰佰叁拾肆元伍角整     （小写金额）1234.5元");
    EXPECT_EQ(total("-20"), "合计：（大写金额）负贰拾元整     （小写金额）-20元");
    EXPECT_EQ(total("0.125"), "合计：（大写金额）壹角叁分     （小写金额）0.125元");
    EXPECT_EQ(total("1e+013"), "合计：（大写金额）溢出     （小写金额）1e+013元");
    EXPECT_EQ(total(""), "合计：（大写金额）零     （小写金额）元");
}

TEST(DeliveryNote, PrintTimeShowsOnlyTheTimePiecesThatAreNotZero) {
    EXPECT_EQ(convert::gbkToUtf8(printTimeText(kNow)), "打印时间：2024年3月5日14时7分30秒");
    EXPECT_EQ(convert::gbkToUtf8(printTimeText(day(2024, 3, 5) + 9 / 24.0)),
              "打印时间：2024年3月5日9时");
}

}  // namespace
}  // namespace ledger::testing
