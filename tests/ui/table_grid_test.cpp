// The printing grid: cells and merges, row growth for wrapped text, the page
// layout (scale, page cuts), painting, printing and the preview.
#include "table_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using ui::GridRange;
using ui::TableGrid;

constexpr int kNoteWidths[] = {100, 300, 200, 250, 160, 100, 805};

ui::GridPrintSettings noteSettings() {
    ui::GridPrintSettings s;
    s.marginLeft = s.marginTop = s.marginRight = 50;
    s.marginBottom = 100;
    s.fitToWidth = true;
    return s;
}

double rowHeightOf(const ui::GridPageLayout& layout, int row) {
    return layout.rowTops[static_cast<std::size_t>(row)] -
           layout.rowTops[static_cast<std::size_t>(row - 1)];
}

TEST(TableGrid, FitToWidthScalesTheColumnsOntoThePaperBetweenTheMargins) {
    TableGrid grid;
    grid.setSize(2, 7);
    for (int c = 0; c < 7; ++c) grid.setColumnWidth(c + 1, kNoteWidths[c]);
    grid.setPrintSettings(noteSettings());
    ui::GridPageLayout layout = grid.layOut();
    EXPECT_EQ(layout.paper, QSizeF(2100, 2970));
    EXPECT_EQ(layout.area, QRectF(50, 50, 2000, 2820));
    EXPECT_DOUBLE_EQ(layout.tableWidth(), 1915);
    EXPECT_DOUBLE_EQ(layout.scale, 2000.0 / 1915.0);

    ui::GridPrintSettings landscape = noteSettings();
    landscape.portrait = false;
    grid.setPrintSettings(landscape);
    layout = grid.layOut();
    EXPECT_EQ(layout.paper, QSizeF(2970, 2100));
    EXPECT_DOUBLE_EQ(layout.scale, 2870.0 / 1915.0);

    ui::GridPrintSettings half = noteSettings();
    half.fitToWidth = false;
    half.scalePercent = 50;
    grid.setPrintSettings(half);
    EXPECT_DOUBLE_EQ(grid.layOut().scale, 0.5);
}

TEST(TableGrid, RowsGrowToHoldTextWrappedAtTheCellWidthOrAtLineBreaks) {
    const QFontMetricsF metrics(TableGrid::cellFont(QString(), 0));
    const double em = metrics.horizontalAdvance(QStringLiteral("一"));
    TableGrid grid;
    grid.setSize(5, 2);
    // Two characters a line in column 1.
    grid.setColumnWidth(1, static_cast<int>(2.5 * em) + 2 * TableGrid::kCellPaddingX);
    grid.setColumnWidth(2, 2000);
    for (int row = 1; row <= 4; ++row) grid.setRowHeight(row, 0);
    grid.setCellText(1, 2, QStringLiteral("一"));
    grid.setCellText(2, 2, QStringLiteral("一\r\n二\n三"));
    grid.setCellText(3, 1, QStringLiteral("一二三四五六"));
    grid.setCellText(4, 1, QStringLiteral("一二三四五六"));
    grid.merge({4, 1, 4, 2});
    grid.setRowHeight(5, 300);
    grid.setCellText(5, 1, QStringLiteral("一二"));

    const ui::GridPageLayout layout = grid.layOut();
    const double pad = 2 * TableGrid::kCellPaddingY;
    const double oneLine = rowHeightOf(layout, 1) - pad;
    EXPECT_GT(oneLine, em * 0.9);
    EXPECT_NEAR(rowHeightOf(layout, 2) - pad, 3 * oneLine, 0.01);
    EXPECT_NEAR(rowHeightOf(layout, 3) - pad, 3 * oneLine, 0.01);
    EXPECT_NEAR(rowHeightOf(layout, 4) - pad, oneLine, 0.01);  // the merge is wide enough
    EXPECT_DOUBLE_EQ(rowHeightOf(layout, 5), 300);             // set higher than needed
}

// Every page starts where the one before ended, holds no more than a page,
// and ends at a row boundary unless one row alone is higher than a page.
void expectPagesCoverTheTable(const ui::GridPageLayout& layout) {
    const double perPage = layout.area.height() / layout.scale;
    ASSERT_FALSE(layout.pages.empty());
    EXPECT_EQ(layout.pages.front().top, 0);
    EXPECT_DOUBLE_EQ(layout.pages.back().bottom, layout.tableHeight());
    for (std::size_t p = 0; p < layout.pages.size(); ++p) {
        const auto [top, bottom, heading] = layout.pages[p];
        if (p > 0) {
            EXPECT_EQ(top, layout.pages[p - 1].bottom) << "page " << p;
        }
        EXPECT_GT(bottom, top) << "page " << p;
        const double headingHeight = heading ? layout.headingBottom - layout.headingTop : 0;
        EXPECT_LE(bottom - top + headingHeight, perPage + 1e-6) << "page " << p;
        if (p + 1 == layout.pages.size()) continue;
        const auto at =
            std::lower_bound(layout.rowTops.begin(), layout.rowTops.end(), bottom - 1e-6);
        const bool onBoundary = at != layout.rowTops.end() && std::abs(*at - bottom) < 1e-6;
        const bool rowHigherThanPage = at != layout.rowTops.begin() && *at - *(at - 1) > perPage;
        EXPECT_TRUE(onBoundary || rowHigherThanPage) << "page " << p << " ends at " << bottom;
    }
}

TEST(TableGrid, PagesAreCutBetweenRowsAndATooHighRowContinuesOnTheNextPage) {
    TableGrid grid;
    grid.setSize(100, 1);
    grid.setColumnWidth(1, 1915);
    grid.setPrintSettings(noteSettings());
    for (int row = 1; row <= 100; ++row) grid.setRowHeight(row, 100);
    ui::GridPageLayout layout = grid.layOut();
    // 2820 / (2000 / 1915) = 2700.2: 27 rows a page.
    ASSERT_EQ(layout.pages.size(), 4u);
    EXPECT_DOUBLE_EQ(layout.pages[0].bottom, 2700);
    EXPECT_DOUBLE_EQ(layout.pages[3].top, 8100);
    expectPagesCoverTheTable(layout);

    grid.setRowHeight(40, 7000);
    layout = grid.layOut();
    expectPagesCoverTheTable(layout);
    int pagesWithRow40 = 0;
    for (const auto& page : layout.pages) {
        pagesWithRow40 += page.bottom > layout.rowTops[39] && page.top < layout.rowTops[40];
    }
    EXPECT_GE(pagesWithRow40, 3);
}

TEST(TableGrid, MergesReplaceTheOnesTheyOverlapAndANewSizeStartsAfresh) {
    TableGrid grid;
    grid.setSize(3, 3);
    grid.merge({1, 1, 1, 3});
    grid.merge({2, 2, 3, 3});
    grid.merge({1, 3, 2, 3});  // overlaps both
    EXPECT_EQ(grid.merges(), (std::vector<GridRange>{{1, 3, 2, 3}}));
    EXPECT_EQ(grid.cellSpan(2, 3), (GridRange{1, 3, 2, 3}));
    EXPECT_EQ(grid.cellSpan(1, 1), (GridRange{1, 1, 1, 1}));
    grid.merge({3, 0, 9, 1});  // clipped to the grid
    EXPECT_EQ(grid.cellSpan(3, 1), (GridRange{3, 1, 3, 1}));

    grid.setCellText(2, 2, QStringLiteral("x"));
    grid.setCellFont(2, 2, QStringLiteral("黑体"), 100);
    grid.setAlignment({2, 1, 2, 3}, Qt::AlignRight);
    grid.rule({2, 2, 2, 2});
    grid.setRowHeight(2, 500);
    grid.setCellText(4, 1, QStringLiteral("outside"));
    EXPECT_EQ(grid.cellText(4, 1), QString());
    EXPECT_EQ(grid.cellAlignment(2, 1), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(grid.cellEdges(2, 2), TableGrid::AllEdges);

    grid.setSize(4, 3);
    EXPECT_TRUE(grid.merges().empty());
    EXPECT_EQ(grid.cellText(2, 2), QString());
    EXPECT_EQ(grid.cellFontFace(2, 2), QStringLiteral("宋体"));
    EXPECT_EQ(grid.cellFontHeight(2, 2), TableGrid::kDefaultFontHeight);
    EXPECT_EQ(grid.cellAlignment(2, 1), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(grid.cellEdges(2, 2), 0);
    EXPECT_EQ(grid.rowHeight(2), TableGrid::kDefaultRowHeight);
}

// One page drawn at 1 pixel a tenth of a millimetre.
QImage paintPage(const TableGrid& grid, const ui::GridPageLayout& layout, int page) {
    QImage image(layout.paper.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    grid.paintPage(painter, layout, page);
    return image;
}
bool dark(const QImage& image, double x, double y) {
    return qGray(image.pixel(qRound(x), qRound(y))) < 128;
}

TEST(TableGrid, PaintsEachRowOnItsPageWithItsRules) {
    TableGrid grid;
    grid.setSize(40, 1);
    grid.setColumnWidth(1, 1915);
    grid.setPrintSettings(noteSettings());
    for (int row = 1; row <= 40; ++row) grid.setRowHeight(row, 100);
    grid.rule({1, 1, 40, 1});
    const ui::GridPageLayout layout = grid.layOut();
    ASSERT_EQ(layout.pages.size(), 2u);
    const double s = layout.scale;
    const QRectF area = layout.area;

    const QImage first = paintPage(grid, layout, 0);
    EXPECT_TRUE(dark(first, area.left() + 500, area.top()));             // top rule of row 1
    EXPECT_TRUE(dark(first, area.left() + 500, area.top() + 2700 * s));  // bottom of row 27
    EXPECT_TRUE(dark(first, area.left(), area.top() + 50 * s));          // left rule
    EXPECT_TRUE(dark(first, area.right(), area.top() + 50 * s));  // right rule, filling the width
    EXPECT_FALSE(dark(first, area.left() + 500, area.top() + 50 * s));    // inside row 1
    EXPECT_FALSE(dark(first, area.left() + 500, area.top() + 2780 * s));  // row 28 is not here

    const QImage second = paintPage(grid, layout, 1);
    EXPECT_TRUE(dark(second, area.left() + 500, area.top()));             // row 28 starts the page
    EXPECT_TRUE(dark(second, area.left() + 500, area.top() + 1300 * s));  // bottom of row 40
    EXPECT_FALSE(dark(second, area.left() + 500, area.top() + 1350 * s));
}

TEST(TableGrid, HeadingRowsStartEveryPageAfterThem) {
    TableGrid grid;
    grid.setSize(100, 1);
    grid.setColumnWidth(1, 1915);
    grid.setPrintSettings(noteSettings());
    for (int row = 1; row <= 100; ++row) grid.setRowHeight(row, 100);
    grid.rule({2, 1, 100, 1});
    grid.setCellText(2, 1, QStringLiteral("序号"));
    grid.setHeadingRows(2, 2);
    const ui::GridPageLayout layout = grid.layOut();
    expectPagesCoverTheTable(layout);
    // 27 rows on the first page, 26 under the heading on each further one.
    ASSERT_EQ(layout.pages.size(), 4u);
    EXPECT_FALSE(layout.pages[0].heading);
    EXPECT_DOUBLE_EQ(layout.pages[0].bottom, 2700);
    for (std::size_t p = 1; p < layout.pages.size(); ++p) {
        EXPECT_TRUE(layout.pages[p].heading) << p;
        EXPECT_DOUBLE_EQ(layout.pages[p].top, 2700 + 2600 * (p - 1.0)) << p;
    }

    const double s = layout.scale;
    const QRectF area = layout.area;
    const auto inkIn = [&](const QImage& image, double top, double bottom) {
        int ink = 0;
        for (double y = area.top() + top * s + 4; y < area.top() + bottom * s - 4; y += 1)
            for (double x = area.left() + 10; x < area.left() + 400; x += 1)
                ink += dark(image, x, y);
        return ink;
    };
    const QImage second = paintPage(grid, layout, 1);
    // The heading, ruled, then row 28 under it.
    EXPECT_GT(inkIn(second, 0, 100), 50);
    EXPECT_TRUE(dark(second, area.left() + 500, area.top()));
    EXPECT_TRUE(dark(second, area.left() + 500, area.top() + 100 * s));
    EXPECT_TRUE(dark(second, area.left() + 500, area.top() + 200 * s));
    EXPECT_EQ(inkIn(second, 100, 200), 0) << "row 28 is empty";
    EXPECT_EQ(inkIn(paintPage(grid, layout, 0), 0, 100), 0) << "row 1 is no heading";

    // A new size forgets the heading.
    grid.setSize(100, 1);
    for (int row = 1; row <= 100; ++row) grid.setRowHeight(row, 100);
    EXPECT_EQ(grid.firstHeadingRow(), 0);
    EXPECT_FALSE(grid.layOut().pages[1].heading);
}

TEST(TableGrid, PrintsEveryPageOfTheLayout) {
    TableGrid grid;
    grid.setSize(70, 2);
    grid.setPrintSettings(noteSettings());
    for (int row = 1; row <= 70; ++row)
        grid.setCellText(row, 2, QStringLiteral("第%1行\n续").arg(row));
    const std::size_t pages = grid.layOut().pages.size();
    ASSERT_GT(pages, 1u);

    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("note.pdf")));
    grid.applyPrintSettings(printer);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(printer.copyCount(), 1);
    ASSERT_TRUE(grid.print(&printer));

    QFile pdf(printer.outputFileName());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(pdf.readAll());
    EXPECT_EQ(static_cast<std::size_t>(
                  text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b(?!s)")))),
              pages);
}

TEST(TableGrid, PreviewOpensOnceAndIsBroughtBackInsteadOfASecond) {
    QWidget window;
    auto* grid = new TableGrid(&window);
    grid->setSize(1, 1);
    grid->setPrintSettings(noteSettings());
    grid->openPrintPreview();
    QPrintPreviewDialog* preview = grid->printPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(preview->isModal());
    preview->hide();
    grid->openPrintPreview();
    EXPECT_EQ(grid->printPreview(), preview);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(window.findChildren<QPrintPreviewDialog*>().size(), 1);

    preview->close();  // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(grid->printPreview(), nullptr);
    int opened = 0;
    grid->setPreviewOverride([&] { ++opened; });
    grid->openPrintPreview();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(grid->printPreview(), nullptr);
}

}  // namespace
