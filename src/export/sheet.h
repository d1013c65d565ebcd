// A list as the operator sees it, written to a file that a spreadsheet
// opens: an Excel workbook (.xlsx) or a CSV text. Rows in, file out; no Qt.
// Every text here is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exporting {

// How a column's cells go into a workbook. A CSV holds every cell as shown.
enum class ColumnKind {
    Text,    // the shown text
    Number,  // a number in the general format (row numbers)
    Amount,  // a number shown with two decimals (format "0.00")
    Date,    // a date cell shown as 2024年3月5日
};

struct Column {
    std::string title;
    ColumnKind kind = ColumnKind::Text;
};

using Row = std::vector<std::string>;  // one shown text per column

struct Sheet {
    std::string name;  // the worksheet's name
    std::vector<Column> columns;
    std::vector<Row> rows;    // the list's rows in its order
    std::vector<Row> totals;  // the lines below the list (bold in a workbook)
};

enum class WriteResult {
    Ok,
    CannotWrite,  // the file could not be made or written; an earlier file stays as it was
    Unavailable,  // this build has no workbook writer
};

// The CSV bytes: a UTF-8 byte-order mark, then the titles, the rows and the
// totals, one line each ended by CR LF, fields quoted as RFC 4180 has it
// (a field holding a comma, a quote or a line break is put in quotes, its
// quotes doubled). A text cell that a spreadsheet would take for a formula
// (starting with = + - @, a tab or CR) is preceded by an apostrophe.
std::string csvText(const Sheet& sheet);
WriteResult writeCsv(const Sheet& sheet, std::string_view pathUtf8);

// The workbook: one worksheet with the titles (bold, frozen), the rows and
// the totals (bold). Number and Amount cells whose text is a number as a
// whole are numbers, Date cells that are a date from 1 March 1900 on are
// dates; any other cell is its text. Column widths fit the titles, the rows
// and the numbers of the totals (a total's text runs on over empty cells).
WriteResult writeXlsx(const Sheet& sheet, std::string_view pathUtf8);
bool xlsxAvailable();

// The value of a Number or Amount cell: its text read as a number when the
// whole text is one (surrounding spaces allowed), as the lists write them.
std::optional<double> cellNumber(std::string_view shown);
// The day serial of a Date cell (days since 30 December 1899, the same count
// a workbook uses from 1 March 1900 on); nullopt when the text is no date or
// one a workbook counts differently.
std::optional<double> cellDate(std::string_view shown);

// The width of each column in a workbook, in widths of the digit 0: the
// widest title, row cell or total number, a CJK character counting two.
std::vector<double> columnWidths(const Sheet& sheet);

// Writes `bytes` to a file beside `pathUtf8` and puts it in its place only
// when all of it was written, so that a failure leaves an earlier file alone.
bool replaceFile(std::string_view pathUtf8, std::string_view bytes);

}  // namespace exporting
