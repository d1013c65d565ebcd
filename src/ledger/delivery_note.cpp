#include "delivery_note.h"

#include "capital_amount.h"
#include "dates.h"
#include "numbers.h"

namespace ledger {
namespace {

// GBK texts of the note.
constexpr std::string_view kTitle =
    "\xE1\xB0\xBA\xCC\xCD\xBC\xCE\xC4\xB3\xF6\xBB\xF5\xB5\xA5";  // 岚禾图文出货单
constexpr std::string_view kPrintTime = "\xB4\xF2\xD3\xA1\xCA\xB1\xBC\xE4\xA3\xBA";  // 打印时间：
constexpr std::string_view kTitleFace = "\xBA\xDA\xCC\xE5";                          // 黑体
// 合计：（大写金额）
constexpr std::string_view kTotalCapital =
    "\xBA\xCF\xBC\xC6\xA3\xBA\xA3\xA8\xB4\xF3\xD0\xB4\xBD\xF0\xB6\xEE\xA3\xA9";
// five spaces and （小写金额）
constexpr std::string_view kTotalFigures = "     \xA3\xA8\xD0\xA1\xD0\xB4\xBD\xF0\xB6\xEE\xA3\xA9";
constexpr std::string_view kYuan = "\xD4\xAA";  // 元
// 序号, 日期, 客户, 项目, 金额, 状态, 备注
constexpr std::string_view kHeadings[kNoteColumns] = {
    "\xD0\xF2\xBA\xC5", "\xC8\xD5\xC6\xDA", "\xBF\xCD\xBB\xA7", "\xCF\xEE\xC4\xBF",
    "\xBD\xF0\xB6\xEE", "\xD7\xB4\xCC\xAC", "\xB1\xB8\xD7\xA2"};

}  // namespace

NotePrintSettings deliveryNotePrintSettings() {
    NotePrintSettings s;
    s.paper = PaperSize::A4;
    s.orientation = PaperOrientation::Portrait;
    s.marginLeft = 50;
    s.marginTop = 50;
    s.marginRight = 50;
    s.marginBottom = 100;
    s.copies = 1;
    s.fitToWidth = true;
    // A long note runs over several pages; the wider bottom margin holds
    // their numbers.
    s.pageNumberPlace = 6;
    return s;
}

std::string printTimeText(double now) { return std::string(kPrintTime) + convert::dateToText(now); }

std::string totalLineText(std::string_view total) {
    std::string line(kTotalCapital);
    line += convert::capitalAmountText(convert::textToNumber(total));
    line += kTotalFigures;
    line += total;
    line += kYuan;
    return line;
}

void buildDeliveryNote(NoteGrid& grid, const std::vector<NoteLine>& lines, std::string_view total,
                       double now) {
    const int n = static_cast<int>(lines.size());
    const int headingRow = 3;
    const int lastLineRow = n + 3;
    const int totalRow = n + 4;
    const auto wholeRow = [](int row) { return CellRange{row, 1, row, kNoteColumns}; };
    const auto columns = [&](int first, int last) {
        return CellRange{headingRow, first, lastLineRow, last};
    };

    grid.setSize(totalRow, kNoteColumns);

    grid.rule(columns(1, kNoteColumns));
    grid.rule(wholeRow(totalRow));

    grid.merge(wholeRow(1));
    grid.merge(wholeRow(2));
    grid.merge(wholeRow(totalRow));

    for (int c = 0; c < kNoteColumns; ++c) grid.setColumnWidth(c + 1, kNoteColumnWidths[c]);
    grid.setRowHeight(1, kNoteTitleRowHeight);
    grid.setRowHeight(2, kNotePrintTimeRowHeight);
    grid.setCellFont(1, 1, std::string(kTitleFace), kNoteTitleFontHeight);
    grid.setAlignment(wholeRow(1), CellAlignment::Centre);
    grid.setAlignment(wholeRow(2), CellAlignment::Right);
    grid.setAlignment(columns(2, 7), CellAlignment::Left);
    grid.setAlignment(columns(5, 5), CellAlignment::Right);
    grid.setAlignment(columns(3, 4), CellAlignment::Centre);
    grid.setAlignment(columns(1, 1), CellAlignment::Centre);
    // A long note goes on over several pages; each of them shows what its
    // columns hold.
    grid.setHeadingRows(headingRow, headingRow);

    grid.setCellText(1, 1, std::string(kTitle));
    grid.setCellText(2, 1, printTimeText(now));
    for (int c = 0; c < kNoteColumns; ++c)
        grid.setCellText(headingRow, c + 1, std::string(kHeadings[c]));
    for (int i = 0; i < n; ++i) {
        const NoteLine& line = lines[static_cast<std::size_t>(i)];
        const int row = headingRow + 1 + i;
        grid.setCellText(row, 1, convert::numberToText(i + 1));
        grid.setCellText(row, 2, line.date);
        grid.setCellText(row, 3, line.customer);
        grid.setCellText(row, 4, line.item);
        grid.setCellText(row, 5, line.amount);
        grid.setCellText(row, 6, line.status);
        grid.setCellText(row, 7, line.remark);
    }
    grid.setCellText(totalRow, 1, totalLineText(total));
    grid.setAlignment(wholeRow(totalRow), CellAlignment::Right);

    grid.setPrintSettings(deliveryNotePrintSettings());
    grid.openPreview();
}

}  // namespace ledger
