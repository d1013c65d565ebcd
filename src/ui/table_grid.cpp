#include "table_grid.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTextLayout>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "dialogs.h"
#include "fonts.h"

namespace ui {
namespace {

// Row boundaries that differ by less than this are the same place.
constexpr double kEpsilon = 1e-6;
// The page number's height on paper.
constexpr int kPageNumberHeight = 30;

const QString& defaultFace() {
    static const QString face = QStringLiteral("宋体");
    return face;
}

// Line breaks of any convention become the separator the text layout breaks at.
QString layoutText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QChar(u'\r'), QChar(u'\n'));
    out.replace(QChar(u'\n'), QChar::LineSeparator);
    return out;
}

// Lays `text` out in lines no wider than `width` and returns their height.
double wrapText(QTextLayout& layout, const QString& text, const QFont& font, double width,
                Qt::Alignment horizontal) {
    layout.setText(layoutText(text));
    layout.setFont(font);
    QTextOption option(horizontal & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    double y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1.0));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

}  // namespace

TableGrid::TableGrid(QWidget* parent) : QWidget(parent) {}

TableGrid::~TableGrid() {
    // The preview paints through this grid and its printer: close it first.
    delete preview_.data();
}

void TableGrid::setSize(int rows, int columns) {
    rows_ = std::max(rows, 0);
    columns_ = std::max(columns, 0);
    cells_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_), Cell{});
    rowHeights_.assign(static_cast<std::size_t>(rows_), kDefaultRowHeight);
    columnWidths_.assign(static_cast<std::size_t>(columns_), kDefaultColumnWidth);
    merges_.clear();
    headingFirst_ = headingLast_ = 0;
}

void TableGrid::setHeadingRows(int first, int last) {
    if (first >= 1 && last >= first && last <= rows_) {
        headingFirst_ = first;
        headingLast_ = last;
    } else {
        headingFirst_ = headingLast_ = 0;
    }
}

void TableGrid::setRowHeight(int row, int height) {
    if (row >= 1 && row <= rows_)
        rowHeights_[static_cast<std::size_t>(row - 1)] = std::max(height, 0);
}

int TableGrid::rowHeight(int row) const {
    return row >= 1 && row <= rows_ ? rowHeights_[static_cast<std::size_t>(row - 1)]
                                    : kDefaultRowHeight;
}

void TableGrid::setColumnWidth(int column, int width) {
    if (column >= 1 && column <= columns_) {
        columnWidths_[static_cast<std::size_t>(column - 1)] = std::max(width, 0);
    }
}

int TableGrid::columnWidth(int column) const {
    return column >= 1 && column <= columns_ ? columnWidths_[static_cast<std::size_t>(column - 1)]
                                             : kDefaultColumnWidth;
}

TableGrid::Cell& TableGrid::cell(int row, int column) {
    return cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column - 1)];
}

const TableGrid::Cell& TableGrid::cell(int row, int column) const {
    static const Cell none;
    if (!validCell(row, column)) return none;
    return cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column - 1)];
}

GridRange TableGrid::clipped(const GridRange& r) const {
    return {std::max(r.firstRow, 1), std::max(r.firstColumn, 1), std::min(r.lastRow, rows_),
            std::min(r.lastColumn, columns_)};
}

void TableGrid::merge(const GridRange& range) {
    const GridRange r = clipped(range);
    if (r.firstRow > r.lastRow || r.firstColumn > r.lastColumn) return;
    std::erase_if(merges_, [&](const GridRange& m) { return m.intersects(r); });
    if (r.firstRow != r.lastRow || r.firstColumn != r.lastColumn) merges_.push_back(r);
}

GridRange TableGrid::cellSpan(int row, int column) const {
    for (const GridRange& m : merges_) {
        if (m.contains(row, column)) return m;
    }
    return {row, column, row, column};
}

void TableGrid::setCellText(int row, int column, const QString& text) {
    if (validCell(row, column)) cell(row, column).text = text;
}

QString TableGrid::cellText(int row, int column) const { return cell(row, column).text; }

void TableGrid::setCellFont(int row, int column, const QString& face, int height) {
    if (!validCell(row, column)) return;
    Cell& c = cell(row, column);
    c.face = face;
    c.fontHeight = std::max(height, 0);
}

QString TableGrid::cellFontFace(int row, int column) const {
    const Cell& c = cell(row, column);
    return c.face.isEmpty() ? defaultFace() : c.face;
}

int TableGrid::cellFontHeight(int row, int column) const {
    const Cell& c = cell(row, column);
    return c.fontHeight > 0 ? c.fontHeight : kDefaultFontHeight;
}

void TableGrid::setAlignment(const GridRange& range, Qt::Alignment horizontal) {
    const GridRange r = clipped(range);
    const Qt::Alignment h = horizontal & Qt::AlignHorizontal_Mask;
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            cell(row, column).alignment = h;
        }
    }
}

Qt::Alignment TableGrid::cellAlignment(int row, int column) const {
    return cell(row, column).alignment | Qt::AlignVCenter;
}

void TableGrid::rule(const GridRange& range) {
    const GridRange r = clipped(range);
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            cell(row, column).edges = AllEdges;
        }
    }
}

int TableGrid::cellEdges(int row, int column) const { return cell(row, column).edges; }

void TableGrid::setPrintSettings(const GridPrintSettings& settings) { print_ = settings; }

QSizeF TableGrid::paperSize() const {
    const QSizeF mm = QPageSize(print_.paper).size(QPageSize::Millimeter);
    const QSizeF tenths(mm.width() * 10, mm.height() * 10);
    return print_.portrait ? tenths : tenths.transposed();
}

QFont TableGrid::cellFont(const QString& face, int height) {
    QFont font;
    font.setFamilies(familiesFor(face.isEmpty() ? defaultFace() : face));
    font.setPixelSize(height > 0 ? height : kDefaultFontHeight);
    // Printed text keeps the outline's widths, so that lines break on paper
    // where the layout broke them.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double TableGrid::textHeight(const Cell& c, double width) const {
    if (c.text.isEmpty()) return 0;
    QTextLayout layout;
    const double inner = width - 2 * kCellPaddingX;
    return wrapText(layout, c.text, cellFont(c.face, c.fontHeight), inner, c.alignment) +
           2 * kCellPaddingY;
}

GridPageLayout TableGrid::layOut(QSizeF paper) const {
    GridPageLayout out;
    out.paper = paper;
    out.area = QRectF(print_.marginLeft, print_.marginTop,
                      paper.width() - print_.marginLeft - print_.marginRight,
                      paper.height() - print_.marginTop - print_.marginBottom);

    out.columnLefts.assign(static_cast<std::size_t>(columns_) + 1, 0.0);
    for (int c = 1; c <= columns_; ++c) {
        out.columnLefts[static_cast<std::size_t>(c)] =
            out.columnLefts[static_cast<std::size_t>(c - 1)] + columnWidth(c);
    }
    const double width = out.tableWidth();
    if (print_.fitToWidth) {
        out.scale = width > 0 && out.area.width() > 0 ? out.area.width() / width : 1.0;
    } else {
        out.scale = std::max(print_.scalePercent, 1) / 100.0;
    }

    // Row heights as set, grown for the text of the cells that lie in one
    // row; then a merge over several rows grows its last row if it needs more.
    std::vector<double> heights(rowHeights_.begin(), rowHeights_.end());
    std::vector<GridRange> tallMerges;
    for (int row = 1; row <= rows_; ++row) {
        for (int column = 1; column <= columns_; ++column) {
            const GridRange span = cellSpan(row, column);
            if (span.firstRow != row || span.firstColumn != column) continue;
            if (span.lastRow != span.firstRow) {
                tallMerges.push_back(span);
                continue;
            }
            const double spanWidth =
                out.columnLefts[static_cast<std::size_t>(span.lastColumn)] -
                out.columnLefts[static_cast<std::size_t>(span.firstColumn - 1)];
            double& h = heights[static_cast<std::size_t>(row - 1)];
            h = std::max(h, textHeight(cell(row, column), spanWidth));
        }
    }
    for (const GridRange& span : tallMerges) {
        const double spanWidth = out.columnLefts[static_cast<std::size_t>(span.lastColumn)] -
                                 out.columnLefts[static_cast<std::size_t>(span.firstColumn - 1)];
        double have = 0;
        for (int r = span.firstRow; r <= span.lastRow; ++r)
            have += heights[static_cast<std::size_t>(r - 1)];
        const double need = textHeight(cell(span.firstRow, span.firstColumn), spanWidth);
        if (need > have) heights[static_cast<std::size_t>(span.lastRow - 1)] += need - have;
    }
    out.rowTops.assign(static_cast<std::size_t>(rows_) + 1, 0.0);
    for (int r = 1; r <= rows_; ++r) {
        out.rowTops[static_cast<std::size_t>(r)] =
            out.rowTops[static_cast<std::size_t>(r - 1)] + heights[static_cast<std::size_t>(r - 1)];
    }

    // Pages: as many whole rows as fit; a row higher than a page is cut. A
    // page that begins below the heading rows starts with them, and holds
    // that much less.
    const double total = out.tableHeight();
    const double perPage = out.area.height() / out.scale;
    double headingHeight = 0;
    if (headingFirst_ >= 1 && headingLast_ <= rows_) {
        out.headingTop = out.rowTops[static_cast<std::size_t>(headingFirst_ - 1)];
        out.headingBottom = out.rowTops[static_cast<std::size_t>(headingLast_)];
        headingHeight = out.headingBottom - out.headingTop;
        // Headings that leave no room for a row are not repeated.
        if (headingHeight > perPage / 2) headingHeight = 0;
    }
    if (!(perPage > kEpsilon) || total <= perPage + kEpsilon) {
        out.pages.push_back({0.0, total, false});
        return out;
    }
    double top = 0;
    for (;;) {
        const bool heading = headingHeight > 0 && top >= out.headingBottom - kEpsilon;
        const double room = perPage - (heading ? headingHeight : 0);
        if (total - top <= room + kEpsilon) {
            out.pages.push_back({top, total, heading});
            break;
        }
        // The lowest row boundary on the page; none below its top means a
        // row higher than the page, cut at the page's end.
        const auto past =
            std::upper_bound(out.rowTops.begin(), out.rowTops.end(), top + room + kEpsilon);
        double bottom = *(past - 1);
        if (bottom <= top + kEpsilon) bottom = top + room;
        out.pages.push_back({top, bottom, heading});
        top = bottom;
    }
    return out;
}

void TableGrid::paintCell(QPainter& painter, const GridPageLayout& layout,
                          const GridRange& span) const {
    const QRectF rect(QPointF(layout.columnLefts[static_cast<std::size_t>(span.firstColumn - 1)],
                              layout.rowTops[static_cast<std::size_t>(span.firstRow - 1)]),
                      QPointF(layout.columnLefts[static_cast<std::size_t>(span.lastColumn)],
                              layout.rowTops[static_cast<std::size_t>(span.lastRow)]));
    const Cell& c = cell(span.firstRow, span.firstColumn);

    if (!c.text.isEmpty()) {
        QTextLayout text;
        const double inner = rect.width() - 2 * kCellPaddingX;
        const double height =
            wrapText(text, c.text, cellFont(c.face, c.fontHeight), inner, c.alignment);
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.setPen(Qt::black);
        text.draw(&painter,
                  QPointF(rect.left() + kCellPaddingX, rect.top() + (rect.height() - height) / 2));
        painter.restore();
    }

    // An edge of a merged cell is drawn when a cell along it is ruled there.
    bool left = false, right = false, top = false, bottom = false;
    for (int r = span.firstRow; r <= span.lastRow; ++r) {
        left = left || (cell(r, span.firstColumn).edges & LeftEdge);
        right = right || (cell(r, span.lastColumn).edges & RightEdge);
    }
    for (int col = span.firstColumn; col <= span.lastColumn; ++col) {
        top = top || (cell(span.firstRow, col).edges & TopEdge);
        bottom = bottom || (cell(span.lastRow, col).edges & BottomEdge);
    }
    if (!(left || right || top || bottom)) return;
    QPen pen(Qt::black, kRuleWidth / layout.scale);
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    if (top) painter.drawLine(rect.topLeft(), rect.topRight());
    if (bottom) painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    if (left) painter.drawLine(rect.topLeft(), rect.bottomLeft());
    if (right) painter.drawLine(rect.topRight(), rect.bottomRight());
}

void TableGrid::paintPageNumber(QPainter& painter, const GridPageLayout& layout, int page) const {
    const int place = print_.pageNumberPlace;
    if (place < 1 || place > 6) return;
    const QString text = QStringLiteral("第 %1 页，共 %2 页")
                             .arg(page + 1)
                             .arg(static_cast<int>(layout.pages.size()));
    const bool atTop = place <= 3;
    const Qt::Alignment h = place % 3 == 1   ? Qt::AlignLeft
                            : place % 3 == 2 ? Qt::AlignHCenter
                                             : Qt::AlignRight;
    const QRectF band = atTop
                            ? QRectF(layout.area.left(), 0, layout.area.width(), layout.area.top())
                            : QRectF(layout.area.left(), layout.area.bottom(), layout.area.width(),
                                     layout.paper.height() - layout.area.bottom());
    painter.save();
    painter.setFont(cellFont(QString(), kPageNumberHeight));
    painter.setPen(Qt::black);
    painter.drawText(band, h | Qt::AlignVCenter, text);
    painter.restore();
}

void TableGrid::paintSlice(QPainter& painter, const GridPageLayout& layout, double top,
                           double bottom, double at) const {
    painter.save();
    painter.translate(0, at - top);
    // A row cut at the page's end shows only its part on this page; the
    // border lines at the cut stay whole.
    const double overhang = kRuleWidth / layout.scale;
    painter.setClipRect(QRectF(-overhang, top - overhang,
                               layout.area.width() / layout.scale + 2 * overhang,
                               bottom - top + 2 * overhang));

    // The rows in the slice; a merge that reaches down from above it is
    // painted by the slice's first row, any other by its own first row.
    const auto firstHere =
        std::upper_bound(layout.rowTops.begin() + 1, layout.rowTops.end(), top + kEpsilon);
    const int firstRow = static_cast<int>(firstHere - layout.rowTops.begin());
    for (int row = firstRow; row <= rows_; ++row) {
        if (layout.rowTops[static_cast<std::size_t>(row - 1)] >= bottom - kEpsilon) break;
        for (int column = 1; column <= columns_; ++column) {
            const GridRange span = cellSpan(row, column);
            if (span.firstColumn != column) continue;
            if (span.firstRow == row || (row == firstRow && span.firstRow < row)) {
                paintCell(painter, layout, span);
            }
        }
    }
    painter.restore();
}

void TableGrid::paintPage(QPainter& painter, const GridPageLayout& layout, int page) const {
    if (page < 0 || static_cast<std::size_t>(page) >= layout.pages.size()) return;
    const GridPageLayout::Page slice = layout.pages[static_cast<std::size_t>(page)];

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(layout.area.topLeft());
    painter.scale(layout.scale, layout.scale);
    double at = 0;
    if (slice.heading) {
        paintSlice(painter, layout, layout.headingTop, layout.headingBottom, 0);
        at = layout.headingBottom - layout.headingTop;
    }
    paintSlice(painter, layout, slice.top, slice.bottom, at);
    painter.restore();

    paintPageNumber(painter, layout, page);
}

void TableGrid::applyPrintSettings(QPrinter& printer) const {
    printer.setPageSize(QPageSize(print_.paper));
    printer.setPageOrientation(print_.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    // The pages are painted from the paper's corner with the grid's own margins.
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(print_.marginLeft / 10.0, print_.marginTop / 10.0,
                                     print_.marginRight / 10.0, print_.marginBottom / 10.0),
                           QPageLayout::Millimeter);
    printer.setCopyCount(std::max(print_.copies, 1));
}

bool TableGrid::print(QPrinter* printer) const {
    if (!printer) return false;
    // The preview may have turned the paper: lay out on what the printer holds.
    const QRectF paperMm = printer->pageLayout().fullRect(QPageLayout::Millimeter);
    const GridPageLayout layout = layOut(QSizeF(paperMm.width() * 10, paperMm.height() * 10));
    QPainter painter;
    if (!painter.begin(printer)) return false;
    const double dotsPerTenth = printer->resolution() / 254.0;
    // Pages are drawn from the paper's corner; a printer set to paint only
    // its printable area has its origin there.
    const QPointF origin =
        printer->fullPage()
            ? QPointF()
            : printer->pageLayout().paintRect(QPageLayout::Millimeter).topLeft() * 10;
    for (std::size_t page = 0; page < layout.pages.size(); ++page) {
        if (page > 0) printer->newPage();
        painter.save();
        painter.scale(dotsPerTenth, dotsPerTenth);
        painter.translate(-origin);
        paintPage(painter, layout, static_cast<int>(page));
        painter.restore();
    }
    return painter.end();
}

bool TableGrid::printToPdf(const QString& path) const {
    const QString part = path + QStringLiteral(".part");
    bool written = false;
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        applyPrintSettings(pdf);
        // The paper as the preview shows it, should the operator have turned it there.
        if (printer_) pdf.setPageLayout(printer_->pageLayout());
        pdf.setFullPage(true);
        pdf.setCopyCount(1);
        pdf.setDocName(documentName_);
        pdf.setCreator(QStringLiteral("岚禾记账"));
        pdf.setOutputFileName(part);
        written = print(&pdf);
    }
    // The PDF engine tells no write error: a whole file begins with its header.
    QFile check(part);
    written =
        written && check.open(QIODevice::ReadOnly) && check.read(5) == "%PDF-" && check.size() > 64;
    check.close();
    if (written) {
        // In the earlier file's place in one step.
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(part.toStdU16String()),
                                std::filesystem::path(path.toStdU16String()), error);
        written = !error;
    }
    if (!written) QFile::remove(part);
    return written;
}

void TableGrid::savePdf() {
    const QString name = documentName_.isEmpty() ? QStringLiteral("打印") : documentName_;
    const std::optional<QString> path = dialogs().askSaveFile(
        QStringLiteral("保存为PDF"), QDir(saveFolder()).filePath(name + QStringLiteral(".pdf")),
        QStringLiteral("PDF 文件 (*.pdf)"));
    if (!path || path->isEmpty()) return;
    if (!printToPdf(*path)) {
        dialogs().message(QStringLiteral("文件没有保存成功！"), MessageIcon::Error);
        return;
    }
    rememberSaveFolder(*path);
    dialogs().message(QStringLiteral("保存成功！"), MessageIcon::Information);
}

QPrintPreviewDialog* TableGrid::printPreview() const { return preview_.data(); }

void TableGrid::openPrintPreview() {
    if (previewOverride_) {
        previewOverride_();
        return;
    }
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    applyPrintSettings(*printer_);
    if (preview_) {
        // The open preview shows what the grid holds now.
        if (auto* pages = preview_->findChild<QPrintPreviewWidget*>()) pages->updatePreview();
        preview_->showNormal();
        preview_->raise();
        preview_->activateWindow();
        return;
    }
    auto* dialog = new QPrintPreviewDialog(printer_.get(), window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    connect(dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { print(printer); });
    if (auto* tools = dialog->findChild<QToolBar*>()) {
        tools->addSeparator();
        QAction* pdf = tools->addAction(QStringLiteral("保存为PDF…"));
        pdf->setObjectName(QStringLiteral("保存为PDF"));
        connect(pdf, &QAction::triggered, this, [this] { savePdf(); });
    }
    preview_ = dialog;
    dialog->show();
}

}  // namespace ui
