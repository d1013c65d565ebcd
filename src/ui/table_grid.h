// A table grid that is never shown on screen but printed: cells with text,
// font and horizontal alignment, merged rectangles, border lines, row heights
// and column widths, laid out on paper pages and opened in a print preview.
// The query page prints its delivery note with it.
//
// Rows and columns count from 1. Every length (row height, column width,
// font height, margin) is in tenths of a millimetre of the unscaled table;
// the print scale maps the table onto the paper. Operations on cells or
// rows outside the grid are ignored; reads give the defaults.
//
// Layout: a row is as high as it was set, or grows to hold the text of its
// cells; a cell's text wraps within the cell where it is wider than the cell
// and where it holds line breaks, and is centred vertically. Pages are cut
// between rows; a row higher than a whole page is cut at the page's end and
// continues on the next one. Heading rows, when named, are printed again at
// the top of every page that begins after them.
#pragma once

#include <QFont>
#include <QPageSize>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class QPrintPreviewDialog;

namespace ui {

// A rectangle of cells, both corners included.
struct GridRange {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;

    bool contains(int row, int column) const {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    bool intersects(const GridRange& o) const {
        return firstRow <= o.lastRow && o.firstRow <= lastRow && firstColumn <= o.lastColumn &&
               o.firstColumn <= lastColumn;
    }
    bool operator==(const GridRange&) const = default;
};

struct GridPrintSettings {
    QPageSize::PageSizeId paper = QPageSize::A4;
    bool portrait = true;  // else landscape
    int marginLeft = 100;
    int marginTop = 100;
    int marginRight = 100;
    int marginBottom = 100;
    int copies = 1;
    // Scale the table so that its column widths fill the width between the
    // left and right margins; else scale it by scalePercent.
    bool fitToWidth = false;
    int scalePercent = 100;
    // Page number "第 i 页，共 n 页" in the margin: 0 none; 1 top left, 2 top
    // centre, 3 top right, 4 bottom left, 5 bottom centre, 6 bottom right.
    int pageNumberPlace = 0;

    bool operator==(const GridPrintSettings&) const = default;
};

// Where the table lands on the pages, in tenths of a millimetre.
struct GridPageLayout {
    QSizeF paper;                     // the paper, orientation applied
    QRectF area;                      // the paper within the margins
    double scale = 1.0;               // paper length per table length
    std::vector<double> rowTops;      // row r (1-based) spans rowTops[r-1] … rowTops[r]
    std::vector<double> columnLefts;  // column c spans columnLefts[c-1] … columnLefts[c]
    struct Page {
        double top;            // table y where the page starts
        double bottom;         // and where it ends
        bool heading = false;  // the heading rows come first, above `top`
    };
    std::vector<Page> pages;  // at least one
    // Table y span of the heading rows printed again on following pages;
    // empty when there are none.
    double headingTop = 0.0;
    double headingBottom = 0.0;

    double tableHeight() const { return rowTops.empty() ? 0.0 : rowTops.back(); }
    double tableWidth() const { return columnLefts.empty() ? 0.0 : columnLefts.back(); }
};

class TableGrid : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDefaultFontHeight = 40;
    static constexpr int kDefaultRowHeight = 60;
    static constexpr int kDefaultColumnWidth = 200;
    // Space between a cell's edges and its text.
    static constexpr int kCellPaddingX = 5;
    static constexpr int kCellPaddingY = 8;
    // Border lines are this wide on paper.
    static constexpr double kRuleWidth = 2.5;

    enum Edge { LeftEdge = 1, TopEdge = 2, RightEdge = 4, BottomEdge = 8, AllEdges = 15 };

    explicit TableGrid(QWidget* parent = nullptr);
    ~TableGrid() override;

    // An empty grid of that size, every cell, row and column back to its
    // defaults and no merges.
    void setSize(int rows, int columns);
    int rowCount() const { return rows_; }
    int columnCount() const { return columns_; }

    void setRowHeight(int row, int height);
    int rowHeight(int row) const;
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;

    // Merges the rectangle (clipped to the grid) into one cell that shows the
    // top left cell's text and format. Merges it overlaps are undone.
    void merge(const GridRange& range);
    // The merged rectangle holding a cell, or the cell alone.
    GridRange cellSpan(int row, int column) const;
    const std::vector<GridRange>& merges() const { return merges_; }

    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;
    // An empty face is the grid's default face; a height of 0 its default.
    void setCellFont(int row, int column, const QString& face, int height);
    QString cellFontFace(int row, int column) const;
    int cellFontHeight(int row, int column) const;
    // Left, centre or right for every cell of the range; always vertically
    // centred.
    void setAlignment(const GridRange& range, Qt::Alignment horizontal);
    Qt::Alignment cellAlignment(int row, int column) const;
    // A border line on all four edges of every cell of the range.
    void rule(const GridRange& range);
    int cellEdges(int row, int column) const;

    // Rows `first` … `last` are printed again at the top of every page that
    // begins below them (a table's heading). 0, 0: none, as after setSize.
    void setHeadingRows(int first, int last);
    int firstHeadingRow() const { return headingFirst_; }
    int lastHeadingRow() const { return headingLast_; }

    void setPrintSettings(const GridPrintSettings& settings);
    const GridPrintSettings& printSettings() const { return print_; }

    // The paper of the print settings (tenths of a millimetre).
    QSizeF paperSize() const;
    // The table laid out on pages of `paper`.
    GridPageLayout layOut() const { return layOut(paperSize()); }
    GridPageLayout layOut(QSizeF paper) const;
    // Paints one page; the painter's unit is a tenth of a millimetre with
    // the origin at the paper's top left corner.
    void paintPage(QPainter& painter, const GridPageLayout& layout, int page) const;
    // Prints every page, on the printer's paper and orientation, with the
    // grid's margins and scale. False when the printer cannot be painted on.
    bool print(QPrinter* printer) const;
    // Hands paper, orientation, copies and margins to the printer.
    void applyPrintSettings(QPrinter& printer) const;
    // Writes the pages the printer gets to a PDF file: the same layout and
    // painting, on the paper the preview's printer holds (the print settings
    // before a preview has opened), one copy. The file is written beside
    // its place and put there only when complete. False when it could not
    // be written; an earlier file of that name then stays as it was.
    bool printToPdf(const QString& path) const;

    // The document's name: the PDF's title and the file name the preview's
    // "保存为PDF…" suggests.
    void setDocumentName(const QString& name) { documentName_ = name; }
    const QString& documentName() const { return documentName_; }

    // The font a cell's face and height stand for, its pixel size the height
    // in table units.
    static QFont cellFont(const QString& face, int height);

    // Opens the non-modal print preview of the grid over its window, or
    // brings the open one to the front with the grid's current contents.
    // Its toolbar ends with "保存为PDF…" (savePdf).
    void openPrintPreview();
    // "保存为PDF…": asks for the file and writes it with printToPdf, telling
    // the operator how it went.
    void savePdf();
    QPrintPreviewDialog* printPreview() const;
    // Tests: called instead of opening the preview (empty: open it again).
    void setPreviewOverride(std::function<void()> override) {
        previewOverride_ = std::move(override);
    }

  private:
    struct Cell {
        QString text;
        QString face;
        int fontHeight = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
        int edges = 0;
    };

    bool validCell(int row, int column) const {
        return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
    }
    Cell& cell(int row, int column);
    const Cell& cell(int row, int column) const;
    GridRange clipped(const GridRange& range) const;
    // The height a cell's text needs, padding included, at `width`.
    double textHeight(const Cell& c, double width) const;
    void paintCell(QPainter& painter, const GridPageLayout& layout, const GridRange& span) const;
    // Paints the rows between table y `top` and `bottom` with `top` at page
    // y `at` (table units below the area's top).
    void paintSlice(QPainter& painter, const GridPageLayout& layout, double top, double bottom,
                    double at) const;
    void paintPageNumber(QPainter& painter, const GridPageLayout& layout, int page) const;

    int rows_ = 0;
    int columns_ = 0;
    std::vector<Cell> cells_;
    std::vector<int> rowHeights_;
    std::vector<int> columnWidths_;
    std::vector<GridRange> merges_;
    int headingFirst_ = 0;
    int headingLast_ = 0;
    GridPrintSettings print_;
    QString documentName_;

    std::unique_ptr<QPrinter> printer_;
    QPointer<QPrintPreviewDialog> preview_;
    std::function<void()> previewOverride_;
};

}  // namespace ui
