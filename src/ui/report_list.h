// A multi-column list with column headers, in the manner of a report-mode
// list view: rows of cell texts, a small image per row in one column, a data
// value attached to each row, single or multiple selection, header clicks
// reported by column index. Rows and columns count from 0.
//
// Multiple selection works as in a list view: a click picks one row,
// Ctrl+click adds or removes a row, Shift+click picks the rows from the last
// clicked one to this one (and no others).
//
// Whole-row selection: when it is on, a click anywhere in a row selects the
// row. When it is off the row can only be picked through column 0; the lists
// of this program keep column 0 at width 0, so then a click selects nothing
// and acts as a click on empty space (the selection is cleared). Keyboard and
// program selection work in both modes.
//
// The list does no sorting of its own: a header click is only reported.
//
// Right-click menu: each list has one, contextMenu(), empty until a page adds
// its entries. A right click anywhere in the list (on a row or on empty
// space) or the menu key opens it while it holds an entry that is shown; a
// list whose menu is empty treats the right button as before.
#pragma once

#include <QList>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <Qt>

namespace ui {

class ReportListModel;

struct ReportColumn {
    QString title;
    int width = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

class ReportList : public QTreeView {
    Q_OBJECT
  public:
    explicit ReportList(QWidget* parent = nullptr);
    ~ReportList() override;

    // Columns. setColumns replaces the columns and empties the list.
    void setColumns(const QList<ReportColumn>& columns);
    int columnCount() const;
    ReportColumn column(int index) const;

    // Rows.
    int rowCount() const;
    // Appends a row and returns its index. Missing cells are empty; cells
    // beyond the last column are dropped.
    int addRow(const QStringList& cells = {}, int image = -1, qint64 data = 0);
    // Inserts a row before `row` (at the end when `row` is out of range).
    int insertRow(int row, const QStringList& cells = {}, int image = -1, qint64 data = 0);
    void removeRow(int row);
    // Removes every row; the columns stay.
    void clearRows();
    void reserveRows(int count);

    // Cells: out-of-range reads give the empty text, writes are ignored.
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    QStringList rowTexts(int row) const;

    // The image strip and the column whose cells show a row's image. Image
    // -1 shows none.
    void setImages(const QList<QPixmap>& images);
    QList<QPixmap> images() const;
    void setImageColumn(int column);
    int imageColumn() const;
    int rowImage(int row) const;
    void setRowImage(int row, int image);

    // The data value of a row, 0 when never set.
    qint64 rowData(int row) const;
    void setRowData(int row, qint64 data);

    // Selection.
    void setMultipleSelection(bool on);
    bool multipleSelection() const;
    void setWholeRowSelection(bool on);
    bool wholeRowSelection() const;
    QList<int> selectedRows() const;  // ascending
    int selectedRowCount() const;
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    void clearRowSelection();

    // The current (focused) row, -1 for none. setCurrentRow moves the focus
    // there without changing the selection.
    int currentRow() const;
    void setCurrentRow(int row);
    void scrollToRow(int row);

    // The row under a point of the viewport, -1 for none.
    int rowAt(const QPoint& viewportPos) const;

    // The list's right-click menu: pages add their entries here.
    QMenu* contextMenu() const { return menu_; }

  signals:
    void headerClicked(int column);
    void rowSelectionChanged();
    void currentRowChanged(int row);
    void rowDoubleClicked(int row);     // -1 when not on a row
    void rightButtonReleased(int row);  // -1 when not on a row
    // The right-click menu is about to open over `row` (-1: empty space), so
    // that entries can be enabled for what the list holds now.
    void contextMenuAboutToOpen(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool pressCanSelect(const QPoint& viewportPos) const;

    ReportListModel* model_;
    QMenu* menu_;
    QPersistentModelIndex anchor_;  // the row a Shift+click spans from
    bool wholeRow_ = true;
    bool pressSwallowed_ = false;
};

}  // namespace ui
