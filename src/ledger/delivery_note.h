// The delivery note "岚禾图文出货单": the query list's rows, the page total in
// figures and in capital numerals, laid out in a table grid for printing on
// A4. The note is built through NoteGrid, the few grid operations it needs,
// so that it does not depend on the grid control that prints it.
//
// Grid rows and columns count from 1. Lengths (row heights, column widths,
// font heights, margins) are in tenths of a millimetre. Texts are GBK.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ledger {

// A rectangle of cells, both corners included.
struct CellRange {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;

    bool operator==(const CellRange&) const = default;
};

// Horizontal alignment; an aligned cell is always centred vertically.
enum class CellAlignment { Left, Centre, Right };

enum class PaperSize { A4 };
enum class PaperOrientation { Portrait, Landscape };

struct NotePrintSettings {
    PaperSize paper = PaperSize::A4;
    PaperOrientation orientation = PaperOrientation::Portrait;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    int copies = 1;
    // The table scaled so that its columns fill the width between the left
    // and right margins; otherwise scalePercent applies.
    bool fitToWidth = false;
    int scalePercent = 100;
    // Where the page painter puts the page number, 0 … 6: 0 nowhere; 1 top
    // left, 2 top centre, 3 top right, 4 bottom left, 5 bottom centre,
    // 6 bottom right.
    int pageNumberPlace = 0;

    bool operator==(const NotePrintSettings&) const = default;
};

// The grid operations the note is built with.
class NoteGrid {
  public:
    virtual ~NoteGrid() = default;

    // An empty grid of that size: the cells of an earlier note, its merges
    // and formats are gone.
    virtual void setSize(int rows, int columns) = 0;
    virtual void setRowHeight(int row, int height) = 0;
    virtual void setColumnWidth(int column, int width) = 0;
    virtual void merge(const CellRange& range) = 0;
    virtual void setCellText(int row, int column, const std::string& text) = 0;
    virtual void setCellFont(int row, int column, const std::string& face, int height) = 0;
    virtual void setAlignment(const CellRange& range, CellAlignment alignment) = 0;
    // A border line on all four edges of every cell of the range.
    virtual void rule(const CellRange& range) = 0;
    // Rows printed again at the top of every page that begins below them.
    virtual void setHeadingRows(int firstRow, int lastRow) = 0;
    virtual void setPrintSettings(const NotePrintSettings& settings) = 0;
    virtual void openPreview() = 0;
};

// One line of the query list: its cell texts (GBK) in the list's columns.
struct NoteLine {
    std::string date;
    std::string customer;
    std::string item;
    std::string amount;
    std::string status;
    std::string remark;
};

inline constexpr int kNoteColumns = 7;
// 191.5 mm together.
inline constexpr int kNoteColumnWidths[kNoteColumns] = {100, 300, 200, 250, 160, 100, 805};
inline constexpr int kNoteTitleRowHeight = 200;
inline constexpr int kNotePrintTimeRowHeight = 100;
inline constexpr int kNoteTitleFontHeight = 100;

// A4 portrait, margins 5, 5, 5 and 10 mm, one copy, fitted to the width,
// the page number at the bottom right.
NotePrintSettings deliveryNotePrintSettings();

// "打印时间：" and the date text of `now` (a date-time).
std::string printTimeText(double now);

// "合计：（大写金额）" + the capital text of `total` read as a number +
// "     （小写金额）" + `total` + "元".
std::string totalLineText(std::string_view total);

// Builds the note of `lines` (in list order; numbered by position) with the
// page total `total` (the total label's text) and the print time `now` into
// `grid`, and opens its print preview.
void buildDeliveryNote(NoteGrid& grid, const std::vector<NoteLine>& lines, std::string_view total,
                       double now);

}  // namespace ledger
