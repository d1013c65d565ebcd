// The workbook through libxlsxwriter.
#include <xlsxwriter.h>

#include <memory>

#include "part_file.h"
#include "sheet.h"

namespace exporting {
namespace {

// The part of `name` a worksheet may be named: no []:*?/\ and at most 31
// characters; "Sheet1" when nothing is left.
std::string worksheetName(std::string_view name) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size() && characters < 31;) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view piece = name.substr(i, length);
        i += length;
        if (piece.size() == 1 && std::string_view("[]:*?/\\").find(piece[0]) != std::string::npos)
            continue;
        out += piece;
        ++characters;
    }
    return out.empty() ? "Sheet1" : out;
}

struct Formats {
    lxw_format* title = nullptr;
    lxw_format* amount = nullptr;
    lxw_format* date = nullptr;
    lxw_format* totalText = nullptr;
    lxw_format* totalNumber = nullptr;
    lxw_format* totalAmount = nullptr;
    lxw_format* totalDate = nullptr;
};

Formats makeFormats(lxw_workbook* book) {
    Formats f;
    f.title = workbook_add_format(book);
    format_set_bold(f.title);
    f.amount = workbook_add_format(book);
    format_set_num_format(f.amount, "0.00");
    f.date = workbook_add_format(book);
    format_set_num_format(f.date, "yyyy\"年\"m\"月\"d\"日\"");
    f.totalText = workbook_add_format(book);
    format_set_bold(f.totalText);
    f.totalNumber = workbook_add_format(book);
    format_set_bold(f.totalNumber);
    f.totalAmount = workbook_add_format(book);
    format_set_bold(f.totalAmount);
    format_set_num_format(f.totalAmount, "0.00");
    f.totalDate = workbook_add_format(book);
    format_set_bold(f.totalDate);
    format_set_num_format(f.totalDate, "yyyy\"年\"m\"月\"d\"日\"");
    return f;
}

// One cell as its column's kind has it; false when the worksheet refused it.
bool writeCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, ColumnKind kind,
               const std::string& shown, const Formats& f, bool total) {
    if (kind == ColumnKind::Number || kind == ColumnKind::Amount) {
        if (const auto value = cellNumber(shown)) {
            lxw_format* format = kind == ColumnKind::Amount ? (total ? f.totalAmount : f.amount)
                                                            : (total ? f.totalNumber : nullptr);
            return worksheet_write_number(sheet, row, column, *value, format) == LXW_NO_ERROR;
        }
    } else if (kind == ColumnKind::Date) {
        if (const auto serial = cellDate(shown)) {
            return worksheet_write_number(sheet, row, column, *serial,
                                          total ? f.totalDate : f.date) == LXW_NO_ERROR;
        }
    }
    if (shown.empty()) return true;
    return worksheet_write_string(sheet, row, column, shown.c_str(),
                                  total ? f.totalText : nullptr) == LXW_NO_ERROR;
}

}  // namespace

bool xlsxAvailable() { return true; }

WriteResult writeXlsx(const Sheet& sheet, std::string_view pathUtf8) {
    const std::string part = detail::partPathOf(pathUtf8);
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;  // shared strings, as a workbook usually has them
    lxw_workbook* book = workbook_new_opt(part.c_str(), &options);
    if (!book) return WriteResult::CannotWrite;

    bool ok = true;
    const Formats f = makeFormats(book);
    lxw_worksheet* ws = workbook_add_worksheet(book, worksheetName(sheet.name).c_str());
    if (!ws) ok = false;
    const std::size_t columns = sheet.columns.size();
    if (ok) {
        const std::vector<double> widths = columnWidths(sheet);
        for (std::size_t c = 0; c < columns && ok; ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            ok = worksheet_set_column(ws, col, col, widths[c], nullptr) == LXW_NO_ERROR &&
                 worksheet_write_string(ws, 0, col, sheet.columns[c].title.c_str(), f.title) ==
                     LXW_NO_ERROR;
        }
        worksheet_freeze_panes(ws, 1, 0);
    }
    lxw_row_t at = 1;
    const auto writeRows = [&](const std::vector<Row>& rows, bool total) {
        for (const Row& row : rows) {
            if (!ok) return;
            for (std::size_t c = 0; c < columns && c < row.size() && ok; ++c)
                ok = writeCell(ws, at, static_cast<lxw_col_t>(c), sheet.columns[c].kind, row[c], f,
                               total);
            ++at;
        }
    };
    writeRows(sheet.rows, false);
    writeRows(sheet.totals, true);

    // Closing writes the file, and frees the workbook whatever happened.
    const bool closed = workbook_close(book) == LXW_NO_ERROR;
    if (!ok || !closed) {
        detail::dropPart(pathUtf8);
        return WriteResult::CannotWrite;
    }
    return detail::commitPart(pathUtf8) ? WriteResult::Ok : WriteResult::CannotWrite;
}

}  // namespace exporting
