// "打印本页": the query list as a delivery note in the page's grid `表格1`.
#include <QDateTime>
#include <QLabel>

#include "date_picker.h"
#include "delivery_note.h"
#include "gbk_text.h"
#include "page_helpers.h"
#include "query_page.h"
#include "query_page_actions.h"
#include "report_list.h"
#include "table_grid.h"

namespace ledger {
namespace {

// The note's grid operations on the grid control: GBK texts become the
// control's text, the alignments and print settings its own.
class ControlGrid final : public NoteGrid {
  public:
    explicit ControlGrid(ui::TableGrid& grid) : grid_(grid) {}

    void setSize(int rows, int columns) override { grid_.setSize(rows, columns); }
    void setRowHeight(int row, int height) override { grid_.setRowHeight(row, height); }
    void setColumnWidth(int column, int width) override { grid_.setColumnWidth(column, width); }
    void merge(const CellRange& range) override { grid_.merge(toGrid(range)); }
    void setCellText(int row, int column, const std::string& text) override {
        grid_.setCellText(row, column, ui::fromGbk(text));
    }
    void setCellFont(int row, int column, const std::string& face, int height) override {
        grid_.setCellFont(row, column, ui::fromGbk(face), height);
    }
    void setAlignment(const CellRange& range, CellAlignment alignment) override {
        const Qt::Alignment h = alignment == CellAlignment::Left     ? Qt::AlignLeft
                                : alignment == CellAlignment::Centre ? Qt::AlignHCenter
                                                                     : Qt::AlignRight;
        grid_.setAlignment(toGrid(range), h);
    }
    void rule(const CellRange& range) override { grid_.rule(toGrid(range)); }
    void setHeadingRows(int firstRow, int lastRow) override {
        grid_.setHeadingRows(firstRow, lastRow);
    }
    void setPrintSettings(const NotePrintSettings& s) override {
        ui::GridPrintSettings p;
        switch (s.paper) {
            case PaperSize::A4:
                p.paper = QPageSize::A4;
                break;
        }
        p.portrait = s.orientation == PaperOrientation::Portrait;
        p.marginLeft = s.marginLeft;
        p.marginTop = s.marginTop;
        p.marginRight = s.marginRight;
        p.marginBottom = s.marginBottom;
        p.copies = s.copies;
        p.fitToWidth = s.fitToWidth;
        p.scalePercent = s.scalePercent;
        p.pageNumberPlace = s.pageNumberPlace;
        grid_.setPrintSettings(p);
    }
    void openPreview() override { grid_.openPrintPreview(); }

  private:
    static ui::GridRange toGrid(const CellRange& r) {
        return {r.firstRow, r.firstColumn, r.lastRow, r.lastColumn};
    }

    ui::TableGrid& grid_;
};

// Columns of `超级列表框统计` that the note shows, "日期" … "备注".
enum QueryColumn { kDate = 2, kCustomer, kItem, kAmount, kStatus, kRemark };

}  // namespace

void QueryPageActions::printDeliveryNote() {
    ui::QueryPage& p = page_;
    const ui::ReportList& list = *p.超级列表框统计;

    std::vector<NoteLine> lines;
    lines.reserve(static_cast<std::size_t>(list.rowCount()));
    for (int row = 0; row < list.rowCount(); ++row) {
        const auto at = [&](int column) { return gbkLossy(list.cellText(row, column)); };
        lines.push_back(
            {at(kDate), at(kCustomer), at(kItem), at(kAmount), at(kStatus), at(kRemark)});
    }

    // Whole seconds: the print time shows no fraction of one.
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));

    p.表格1->setDocumentName(QStringLiteral("岚禾图文出货单"));
    ControlGrid grid(*p.表格1);
    buildDeliveryNote(grid, lines, gbkLossy(p.合计标签->text()), ui::DatePicker::toDays(now));
}

}  // namespace ledger
