// "打印本页" on the query page: the list as it stands becomes the delivery note
// in the page's grid, and the preview is asked for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QRawFont>
#include <QToolBar>

#include "dates.h"
#include "fonts.h"
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

// "保存为PDF…" on the preview's toolbar writes the pages the printer gets;
// pdftotext reads them back.
class NotePdfTest : public PrintNoteTest {
  protected:
#ifndef _WIN32
    // A poppler tool (pdfinfo, pdftotext) on the PDF.
    static QString poppler(const char* tool, const QString& pdf, QStringList arguments) {
        for (QString& a : arguments)
            if (a == QLatin1String("%pdf")) a = pdf;
        QProcess p;
        p.start(QLatin1String(tool), arguments);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            ADD_FAILURE() << tool << " failed: " << p.readAllStandardError().toStdString();
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput());
    }
#endif
    // Where a CJK face draws a radical and an ideograph with one glyph, the
    // PDF's text names that glyph by the lower code point, the radical (⽇
    // for 日, ⼾ for 户). Each radical is folded back to the ideograph that
    // the same glyph draws in the faces the note may be printed with.
    static QString foldRadicals(const QString& text) {
        static const QHash<QChar, QChar> fold = [] {
            QString ideographs, radicals;
            for (char16_t u = 0x4E00; u <= 0x9FFF; ++u) ideographs += QChar(u);
            for (char16_t u = 0x2E80; u <= 0x2FDF; ++u) radicals += QChar(u);
            QHash<QChar, QChar> map;
            for (const QString& family : ui::familiesFor(q("宋体")) + ui::familiesFor(q("黑体"))) {
                QFont font(family);
                font.setPixelSize(40);
                const QRawFont raw = QRawFont::fromFont(font);
                if (!raw.isValid() || raw.familyName() != family) continue;
                QHash<quint32, QChar> drawnBy;
                const QList<quint32> glyphs = raw.glyphIndexesForString(ideographs);
                for (qsizetype i = 0; i < glyphs.size(); ++i)
                    if (glyphs[i] != 0 && !drawnBy.contains(glyphs[i]))
                        drawnBy.insert(glyphs[i], ideographs[i]);
                const QList<quint32> shared = raw.glyphIndexesForString(radicals);
                for (qsizetype i = 0; i < shared.size(); ++i)
                    if (shared[i] != 0 && drawnBy.contains(shared[i]) && !map.contains(radicals[i]))
                        map.insert(radicals[i], drawnBy.value(shared[i]));
            }
            return map;
        }();
        QString out = text;
        for (QChar& c : out) c = fold.value(c, c);
        return out;
    }
    // The preview's own entry, as the operator finds it on its toolbar.
    QAction* pdfEntry(ui::TableGrid& grid) {
        QPrintPreviewDialog* preview = grid.printPreview();
        if (!preview) return nullptr;
        for (QToolBar* bar : preview->findChildren<QToolBar*>())
            for (QAction* a : bar->actions())
                if (a->text() == q("保存为PDF…")) return a;
        return nullptr;
    }
};

TEST_F(NotePdfTest, ThePreviewSavesEveryPageWithHeadingsLinesAndTheCapitalTotal) {
    // Enough lines for three pages; the amounts tell the lines apart.
    std::vector<std::pair<QString, QString>> lines;  // date text, amount text
    for (int i = 0; i < 75; ++i) {
        const int d = 1 + i % 28;
        put(day(2024, 3, d), "张三", "照片", 100 + i + 0.5, "", i % 2 == 0);
        lines.emplace_back(q("2024年3月") + QString::number(d) + q("日"),
                           QString::number(100 + i) + ".5");
    }
    ui::TableGrid& grid = openAndSearch("张三");
    grid.setPreviewOverride({});  // the real preview
    print();
    QAction* entry = pdfEntry(grid);
    ASSERT_NE(entry, nullptr);

    const QString file = QDir(QString::fromStdString(dir_.string())).filePath(q("出货单.pdf"));
    dialogs_.answerSaveFile(file);
    entry->trigger();
    EXPECT_EQ(
        dialogs_.messages(),
        (QList<ui::RecordedMessage>{{q("保存成功！"), ui::MessageIcon::Information, q("信息：")}}));
    ASSERT_EQ(dialogs_.saveFileRequests().size(), 1);
    EXPECT_EQ(dialogs_.saveFileRequests()[0].caption, q("保存为PDF"));
    EXPECT_TRUE(dialogs_.saveFileRequests()[0].suggestedPath.endsWith(q("/岚禾图文出货单.pdf")));
    EXPECT_EQ(dialogs_.saveFileRequests()[0].filter, q("PDF 文件 (*.pdf)"));

    // A4, as many pages as the grid lays out.
    const int pages = static_cast<int>(grid.layOut().pages.size());
    ASSERT_GE(pages, 3);
#ifdef _WIN32
    // Under wine no poppler tool can be waited for: the page objects and their
    // size are read from the PDF itself, its text in the Linux build.
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QString objects = QString::fromLatin1(pdf.readAll());
    EXPECT_EQ(objects.count(QRegularExpression(R"re(/Type\s*/Page\b)re")), pages);
    EXPECT_EQ(objects.count(QRegularExpression(
                  R"re(/MediaBox\s*\[\s*0\s+0\s+595(\.0*)?\s+84[12](\.0*)?\s*\])re")),
              pages);
    grid.printPreview()->close();
#else
    const QString info = poppler("pdfinfo", file, {"%pdf"});
    EXPECT_TRUE(info.contains(QRegularExpression(q("Pages:\\s+") + QString::number(pages) + "\\n")))
        << info.toStdString();
    EXPECT_TRUE(info.contains(
        QRegularExpression(R"re(Page size:\s+595(\.\d+)? x 84[12](\.\d+)? pts \(A4\))re")))
        << info.toStdString();

    const QStringList text =
        foldRadicals(poppler("pdftotext", file, {"-layout", "%pdf", "-"})).split(QChar(u'\f'));
    ASSERT_GE(text.size(), pages);
    EXPECT_TRUE(text[0].contains(q("岚禾图文出货单")));
    EXPECT_TRUE(text[0].contains(q("打印时间：")));
    QString all;
    for (int page = 0; page < pages; ++page) {
        SCOPED_TRACE(page);
        const QString& t = text[page];
        for (const char* heading : {"序号", "日期", "客户", "项目", "金额", "状态", "备注"})
            EXPECT_TRUE(t.contains(q(heading))) << heading;
        EXPECT_TRUE(t.contains(q("第 %1 页，共 %2 页").arg(page + 1).arg(pages)));
        all += t;
    }
    // Every line with its date and amount.
    for (const auto& [date, amount] : lines) {
        const QRegularExpression line(QRegularExpression::escape(date) + q("\\s+张三\\s+照片\\s+") +
                                      QRegularExpression::escape(amount) + q("\\s+(已结|未结)"));
        EXPECT_TRUE(all.contains(line)) << date.toStdString() << " " << amount.toStdString();
    }
    // 75 × 100.5 + 0 + 1 + … + 74 = 10312.5
    EXPECT_EQ(qc<QLabel>("合计标签")->text(), "10312.5");
    const QString last = text[pages - 1];
    EXPECT_TRUE(last.contains(QRegularExpression(
        q("合计：（大写金额）壹万零叁佰壹拾贰元伍角整\\s+（小写金额）10312\\.5元"))))
        << last.toStdString();
    grid.printPreview()->close();
#endif
}

TEST_F(NotePdfTest, AFileThatCannotBeWrittenIsReportedAndCancelWritesNothing) {
    put(day(2024, 3, 1), "张三", "照片", 30, "", true);
    ui::TableGrid& grid = openAndSearch("张三");
    grid.setPreviewOverride({});
    print();
    QAction* entry = pdfEntry(grid);
    ASSERT_NE(entry, nullptr);

    dialogs_.cancelSaveFile();
    entry->trigger();
    EXPECT_TRUE(dialogs_.messages().isEmpty());

    const auto files = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) n += e.is_regular_file();
        return n;
    };
    const int before = files();
    dialogs_.answerSaveFile(QString::fromStdString((dir_ / "没有的文件夹" / "a.pdf").string()));
    entry->trigger();
    EXPECT_EQ(dialogs_.messages(),
              (QList<ui::RecordedMessage>{
                  {q("文件没有保存成功！"), ui::MessageIcon::Error, q("信息：")}}));
    EXPECT_EQ(files(), before);  // no part file left behind
    grid.printPreview()->close();
}

}  // namespace
}  // namespace ledger::testing
