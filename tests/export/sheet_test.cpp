// Lists written for a spreadsheet: the CSV byte for byte, the workbook read
// back cell by cell (types, values, formats), and files that cannot be written.
#include "sheet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "xlsx_reader.h"

namespace exporting {
namespace {

std::filesystem::path utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The query list's columns, as the query page hands them over.
Sheet querySheet() {
    Sheet s;
    s.name = "查询结果";
    s.columns = {{"序", ColumnKind::Number},   {"日期", ColumnKind::Date},
                 {"客户", ColumnKind::Text},   {"项目", ColumnKind::Text},
                 {"金额", ColumnKind::Amount}, {"状态", ColumnKind::Text},
                 {"备注", ColumnKind::Text}};
    s.rows = {{"1", "2024年3月5日", "张三", "照片", "30", "已结", "加急, 两张"},
              {"2", "2024年3月6日", "李四", "相框", "-12.5", "未结", "说\"好\"的\r\n第二行"},
              {"3", "2024年3月7日", "=王五", "装裱", "1e+015", "未结", "-5元优惠"}};
    s.totals = {{"本页合计", "", "", "", "1000000000000017.5", "", ""}};
    return s;
}

class ExportFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("lanhe_export_" + std::to_string(counter_++) + "_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed())
#ifndef _WIN32
                + "_" + std::to_string(::getpid())
#endif
               );
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    // A UTF-8 path in the folder.
    std::string path(const char* name) const {
        const std::u8string p = (dir_ / utf8Path(name)).u8string();
        return std::string(p.begin(), p.end());
    }

    std::filesystem::path dir_;
    static inline int counter_ = 0;
};

TEST(Csv, HoldsTheListByteForByte) {
    const std::string expected =
        "\xEF\xBB\xBF"
        "序,日期,客户,项目,金额,状态,备注\r\n"
        "1,2024年3月5日,张三,照片,30,已结,\"加急, 两张\"\r\n"
        "2,2024年3月6日,李四,相框,-12.5,未结,\"说\"\"好\"\"的\r\n第二行\"\r\n"
        // A text a spreadsheet would compute is shown as text; the number
        // columns keep their signs.
        "3,2024年3月7日,'=王五,装裱,1e+015,未结,'-5元优惠\r\n"
        "本页合计,,,,1000000000000017.5,,\r\n";
    EXPECT_EQ(csvText(querySheet()), expected);
}

TEST(Csv, ShortRowsAndAnEmptyListStillGiveEveryColumn) {
    Sheet s;
    s.columns = {{"客户", ColumnKind::Text}, {"总消费", ColumnKind::Amount}};
    EXPECT_EQ(csvText(s), "\xEF\xBB\xBF客户,总消费\r\n");
    s.rows = {{"张三"}, {}};
    s.totals = {{"合计", "+3"}, {"x", "+"}};
    EXPECT_EQ(csvText(s), "\xEF\xBB\xBF客户,总消费\r\n张三,\r\n,\r\n合计,+3\r\nx,'+\r\n");
}

TEST(CellValues, NumbersAreWholeNumberTexts) {
    EXPECT_EQ(cellNumber("12.5"), 12.5);
    EXPECT_EQ(cellNumber("-3"), -3.0);
    EXPECT_EQ(cellNumber(" 7 "), 7.0);
    EXPECT_EQ(cellNumber(".5"), 0.5);
    EXPECT_EQ(cellNumber("1e+015"), 1e15);
    EXPECT_EQ(cellNumber("1.2e-005"), 1.2e-5);
    for (const char* no : {"", " ", "12元", ".", "-", "1e", "1e+", "inf", "nan", "0x10", "1 2"})
        EXPECT_EQ(cellNumber(no), std::nullopt) << no;
}

TEST(CellValues, DatesCountDaysAsAWorkbookDoes) {
    EXPECT_EQ(cellDate("2024年3月5日"), 45356.0);
    EXPECT_EQ(cellDate("1900年3月1日"), 61.0);
    // Before that a workbook counts one day more (its 29 February 1900).
    EXPECT_EQ(cellDate("1900年2月28日"), std::nullopt);
    EXPECT_EQ(cellDate("2023年2月29日"), std::nullopt);
    EXPECT_EQ(cellDate("加急"), std::nullopt);
    EXPECT_EQ(cellDate(""), std::nullopt);
}

TEST(ColumnWidths, FitTheWidestShownCellCountingCjkTwice) {
    Sheet s;
    s.columns = {{"序", ColumnKind::Number},
                 {"金额", ColumnKind::Amount},
                 {"备注", ColumnKind::Text},
                 {"客户", ColumnKind::Text}};
    s.rows = {{"1", "30", "加急两张", "Bob"}, {"10", "-1234.5", std::string(200, 'x'), "王"}};
    // A total's text runs on over the empty cells beside it; its number counts.
    s.totals = {{"本页合计很长很长很长", "123456.25", "", "合计合计合计"}};
    const std::vector<double> w = columnWidths(s);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_DOUBLE_EQ(w[0], 2 * 1.1 + 2);             // the title in bold beats "10"
    EXPECT_DOUBLE_EQ(w[1], 9 * 1.1 + 2);             // "123456.25" in bold
    EXPECT_DOUBLE_EQ(w[2], 80);                      // the widest
    EXPECT_DOUBLE_EQ(w[3], std::max(4.4, 3.0) + 2);  // "客户" in bold beats "Bob"
}

TEST_F(ExportFiles, CsvIsWrittenWholeOrNotAtAll) {
    const std::string file = path("查询结果.csv");
    ASSERT_EQ(writeCsv(querySheet(), file), WriteResult::Ok);
    EXPECT_EQ(readFile(utf8Path(file)), csvText(querySheet()));
    // Written again over the earlier file.
    Sheet small;
    small.columns = {{"客户", ColumnKind::Text}};
    ASSERT_EQ(writeCsv(small, file), WriteResult::Ok);
    EXPECT_EQ(readFile(utf8Path(file)), "\xEF\xBB\xBF客户\r\n");

    const std::string nowhere = path("没有的文件夹/结果.csv");
    EXPECT_EQ(writeCsv(small, nowhere), WriteResult::CannotWrite);
    // A folder of that name cannot be replaced: the folder stays, no part file is left.
    const std::string folder = path("占用");
    std::filesystem::create_directories(utf8Path(folder));
    std::ofstream(utf8Path(folder) / "里面.txt") << "x";
    EXPECT_EQ(writeCsv(small, folder), WriteResult::CannotWrite);
    EXPECT_TRUE(std::filesystem::is_directory(utf8Path(folder)));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2);  // the CSV and the folder
}

TEST_F(ExportFiles, WorkbookCellsHaveTheirTypesValuesAndFormats) {
    if (!xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    const std::string file = path("查询结果.xlsx");
    ASSERT_EQ(writeXlsx(querySheet(), file), WriteResult::Ok);
    const testsupport::XlsxReader book(file);
    ASSERT_TRUE(book.ok());
    EXPECT_NE(book.workbookXml().find("name=\"查询结果\""), std::string::npos);

    // Titles: bold shared strings, frozen above the rows.
    const std::string titles[] = {"序", "日期", "客户", "项目", "金额", "状态", "备注"};
    for (int c = 0; c < 7; ++c) {
        const auto cell = book.cell(std::string(1, static_cast<char>('A' + c)) + "1");
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->type, "s");
        EXPECT_EQ(cell->value, titles[c]);
        EXPECT_TRUE(cell->bold);
    }
    EXPECT_NE(book.sheetXml().find("<pane ySplit=\"1\""), std::string::npos);

    // Row numbers are plain numbers, days are date serials with a date format.
    EXPECT_EQ(book.cell("A2")->type, "n");
    EXPECT_EQ(book.cell("A2")->value, "1");
    EXPECT_EQ(book.cell("A2")->format, "General");
    EXPECT_EQ(book.cell("B2")->type, "n");
    EXPECT_EQ(book.cell("B2")->value, "45356");
    EXPECT_EQ(book.cell("B2")->format, "yyyy\"年\"m\"月\"d\"日\"");
    EXPECT_EQ(book.cell("B4")->value, "45358");
    // Amounts are numbers with two decimals, negative and large ones too.
    EXPECT_EQ(book.cell("E2")->value, "30");
    EXPECT_EQ(book.cell("E2")->format, "0.00");
    EXPECT_EQ(book.cell("E3")->value, "-12.5");
    EXPECT_EQ(std::stod(book.cell("E4")->value), 1e15);
    // Texts are shared strings exactly as shown; a workbook needs no guard.
    EXPECT_EQ(book.cell("C4")->value, "=王五");
    EXPECT_EQ(book.cell("C4")->type, "s");
    EXPECT_EQ(book.cell("F2")->value, "已结");
    EXPECT_EQ(book.cell("F3")->value, "未结");
    EXPECT_EQ(book.cell("G3")->value, "说\"好\"的\r\n第二行");
    EXPECT_EQ(book.cell("G4")->value, "-5元优惠");
    EXPECT_FALSE(book.cell("F2")->bold);

    // The total line: bold, its amount a number with two decimals.
    EXPECT_EQ(book.lastRow(), 5);
    EXPECT_EQ(book.cell("A5")->value, "本页合计");
    EXPECT_TRUE(book.cell("A5")->bold);
    EXPECT_EQ(book.cell("E5")->type, "n");
    // (A workbook keeps 15 significant digits; the writer 16.)
    EXPECT_NEAR(std::stod(book.cell("E5")->value), 1000000000000017.5, 1);
    EXPECT_EQ(book.cell("E5")->format, "0.00");
    EXPECT_TRUE(book.cell("E5")->bold);
    EXPECT_FALSE(book.cell("B5"));  // empty cells are not written

    const std::map<int, double> widths = book.columnWidths();
    const std::vector<double> expected = columnWidths(querySheet());
    ASSERT_EQ(widths.size(), 7u);
    // A workbook stores a width rounded to whole pixels of its digit.
    for (int c = 1; c <= 7; ++c) EXPECT_NEAR(widths.at(c), expected[c - 1], 1.0) << c;
}

TEST_F(ExportFiles, WorkbookCellsThatAreNoNumbersOrDatesStayText) {
    if (!xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    Sheet s;
    s.name = "a[b]:c*d?e/f\\g 这个名字超过了三十一个字符的限制所以要截断一些字";
    s.columns = {{"日期", ColumnKind::Date}, {"金额", ColumnKind::Amount}};
    s.rows = {{"1900年1月1日", "12元"}, {"", ""}, {"不是日期", "3"}};
    const std::string file = path("b.xlsx");
    ASSERT_EQ(writeXlsx(s, file), WriteResult::Ok);
    const testsupport::XlsxReader book(file);
    EXPECT_EQ(book.cell("A2")->type, "s");
    EXPECT_EQ(book.cell("A2")->value, "1900年1月1日");
    EXPECT_EQ(book.cell("B2")->type, "s");
    EXPECT_EQ(book.cell("B2")->value, "12元");
    EXPECT_FALSE(book.cell("A3"));
    EXPECT_EQ(book.cell("A4")->value, "不是日期");
    EXPECT_EQ(book.cell("B4")->type, "n");
    // The worksheet's name without the characters a workbook refuses, 31 long.
    EXPECT_NE(
        book.workbookXml().find("name=\"abcdefg 这个名字超过了三十一个字符的限制所以要截断一些\""),
        std::string::npos)
        << book.workbookXml();
}

TEST_F(ExportFiles, AWorkbookThatCannotBeWrittenLeavesTheEarlierFile) {
    if (!xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    EXPECT_EQ(writeXlsx(querySheet(), path("没有的文件夹/a.xlsx")), WriteResult::CannotWrite);
    const std::string file = path("a.xlsx");
    ASSERT_EQ(writeXlsx(querySheet(), file), WriteResult::Ok);
    const std::string before = readFile(utf8Path(file));
    // The part file's place is taken by a folder: the workbook cannot be made.
    std::filesystem::create_directories(utf8Path(file + ".part") / "x");
    EXPECT_EQ(writeXlsx(Sheet{}, file), WriteResult::CannotWrite);
    EXPECT_EQ(readFile(utf8Path(file)), before);
}

}  // namespace
}  // namespace exporting
