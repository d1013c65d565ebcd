#include "report_list.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <vector>

namespace ui {

// Rows live in one vector; the view asks only for the rows it paints, so a
// list of ten thousand rows costs little more than the texts themselves.
class ReportListModel : public QAbstractTableModel {
  public:
    struct Row {
        QStringList cells;  // exactly one text per column
        int image = -1;
        qint64 data = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const Row& row = rows[static_cast<size_t>(index.row())];
        switch (role) {
            case Qt::DisplayRole:
                return row.cells.at(index.column());
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(columns[index.column()].alignment | Qt::AlignVCenter);
            case Qt::DecorationRole:
                if (index.column() == imageColumn && row.image >= 0 && row.image < images.size())
                    return images[row.image];
                return {};
            default:
                return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= columns.size()) return {};
        if (role == Qt::DisplayRole) return columns[section].title;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(columns[section].alignment | Qt::AlignVCenter);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }

    QStringList fitted(QStringList cells) const {
        const int n = static_cast<int>(columns.size());
        if (cells.size() > n) cells.resize(n);
        while (cells.size() < n) cells.append(QString());
        return cells;
    }

    bool validRow(int row) const { return row >= 0 && row < static_cast<int>(rows.size()); }

    void insert(int at, const QStringList& cells, int image, qint64 data) {
        beginInsertRows({}, at, at);
        rows.insert(rows.begin() + at, Row{fitted(cells), image, data});
        endInsertRows();
    }

    void remove(int row) {
        beginRemoveRows({}, row, row);
        rows.erase(rows.begin() + row);
        endRemoveRows();
    }

    void clearRows() {
        beginResetModel();
        rows.clear();
        endResetModel();
    }

    void setColumns(const QList<ReportColumn>& newColumns) {
        beginResetModel();
        columns = newColumns;
        rows.clear();
        endResetModel();
    }

    void rowChanged(int row, int firstColumn, int lastColumn, const QList<int>& roles) {
        emit dataChanged(index(row, firstColumn), index(row, lastColumn), roles);
    }

    QList<ReportColumn> columns;
    std::vector<Row> rows;
    QList<QPixmap> images;
    int imageColumn = -1;
};

ReportList::ReportList(QWidget* parent)
    : QTreeView(parent), model_(new ReportListModel(this)), menu_(new QMenu(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);

    QHeaderView* head = header();
    head->setMinimumSectionSize(0);
    head->setStretchLastSection(false);
    head->setSectionsClickable(true);
    head->setSectionsMovable(false);
    head->setHighlightSections(false);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(head, &QHeaderView::sectionClicked, this, &ReportList::headerClicked);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ReportList::rowSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                emit currentRowChanged(current.isValid() ? current.row() : -1);
            });
}

ReportList::~ReportList() = default;

void ReportList::setColumns(const QList<ReportColumn>& columns) {
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i) header()->resizeSection(i, columns[i].width);
}

int ReportList::columnCount() const { return model_->columnCount(); }

ReportColumn ReportList::column(int index) const {
    if (index < 0 || index >= model_->columns.size()) return {};
    ReportColumn c = model_->columns[index];
    c.width = header()->sectionSize(index);
    return c;
}

int ReportList::rowCount() const { return model_->rowCount(); }

int ReportList::addRow(const QStringList& cells, int image, qint64 data) {
    const int at = rowCount();
    model_->insert(at, cells, image, data);
    return at;
}

int ReportList::insertRow(int row, const QStringList& cells, int image, qint64 data) {
    const int at = (row < 0 || row > rowCount()) ? rowCount() : row;
    model_->insert(at, cells, image, data);
    return at;
}

void ReportList::removeRow(int row) {
    if (model_->validRow(row)) model_->remove(row);
}

void ReportList::clearRows() { model_->clearRows(); }

void ReportList::reserveRows(int count) {
    if (count > 0) model_->rows.reserve(static_cast<size_t>(count));
}

QString ReportList::cellText(int row, int column) const {
    if (!model_->validRow(row) || column < 0 || column >= columnCount()) return {};
    return model_->rows[static_cast<size_t>(row)].cells.at(column);
}

void ReportList::setCellText(int row, int column, const QString& text) {
    if (!model_->validRow(row) || column < 0 || column >= columnCount()) return;
    model_->rows[static_cast<size_t>(row)].cells[column] = text;
    model_->rowChanged(row, column, column, {Qt::DisplayRole});
}

QStringList ReportList::rowTexts(int row) const {
    if (!model_->validRow(row)) return {};
    return model_->rows[static_cast<size_t>(row)].cells;
}

void ReportList::setImages(const QList<QPixmap>& images) {
    model_->images = images;
    viewport()->update();
}

QList<QPixmap> ReportList::images() const { return model_->images; }

void ReportList::setImageColumn(int column) {
    model_->imageColumn = column;
    viewport()->update();
}

int ReportList::imageColumn() const { return model_->imageColumn; }

int ReportList::rowImage(int row) const {
    return model_->validRow(row) ? model_->rows[static_cast<size_t>(row)].image : -1;
}

void ReportList::setRowImage(int row, int image) {
    if (!model_->validRow(row)) return;
    model_->rows[static_cast<size_t>(row)].image = image;
    if (model_->imageColumn >= 0 && model_->imageColumn < columnCount())
        model_->rowChanged(row, model_->imageColumn, model_->imageColumn, {Qt::DecorationRole});
}

qint64 ReportList::rowData(int row) const {
    return model_->validRow(row) ? model_->rows[static_cast<size_t>(row)].data : 0;
}

void ReportList::setRowData(int row, qint64 data) {
    if (model_->validRow(row)) model_->rows[static_cast<size_t>(row)].data = data;
}

void ReportList::setMultipleSelection(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

bool ReportList::multipleSelection() const {
    return selectionMode() != QAbstractItemView::SingleSelection;
}

void ReportList::setWholeRowSelection(bool on) { wholeRow_ = on; }

bool ReportList::wholeRowSelection() const { return wholeRow_; }

QList<int> ReportList::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) rows.append(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int ReportList::selectedRowCount() const { return static_cast<int>(selectedRows().size()); }

bool ReportList::isRowSelected(int row) const {
    return model_->validRow(row) && selectionModel()->isRowSelected(row, {});
}

void ReportList::setRowSelected(int row, bool selected) {
    if (!model_->validRow(row)) return;
    if (selected && !multipleSelection()) {
        selectionModel()->select(model_->index(row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    selectionModel()->select(model_->index(row, 0), (selected ? QItemSelectionModel::Select
                                                              : QItemSelectionModel::Deselect) |
                                                        QItemSelectionModel::Rows);
}

void ReportList::clearRowSelection() { selectionModel()->clearSelection(); }

int ReportList::currentRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ReportList::setCurrentRow(int row) {
    if (row < 0) {
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        return;
    }
    if (model_->validRow(row))
        selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

void ReportList::scrollToRow(int row) {
    if (!model_->validRow(row)) return;
    // Only vertically, as a list view's "ensure visible" does: the column 0
    // that the index names has no width and would pull the view to the left.
    const int horizontal = horizontalScrollBar()->value();
    scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
    horizontalScrollBar()->setValue(horizontal);
}

int ReportList::rowAt(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

bool ReportList::pressCanSelect(const QPoint& viewportPos) const {
    if (wholeRow_) return true;
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() && index.column() == 0;
}

void ReportList::mousePressEvent(QMouseEvent* event) {
    pressSwallowed_ = !pressCanSelect(event->position().toPoint());
    if (pressSwallowed_) {
        // As a click on empty space: nothing picked, the selection goes.
        setFocus(Qt::MouseFocusReason);
        clearRowSelection();
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && multipleSelection()) {
        const Qt::KeyboardModifiers mods = event->modifiers();
        if ((mods & Qt::ShiftModifier) && !(mods & Qt::ControlModifier) && anchor_.isValid()) {
            // The span replaces the selection, earlier Ctrl+clicks included.
            const int first = qMin(anchor_.row(), index.row());
            const int last = qMax(anchor_.row(), index.row());
            selectionModel()->select(
                QItemSelection(model_->index(first, 0), model_->index(last, 0)),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            selectionModel()->setCurrentIndex(model_->index(index.row(), 0),
                                              QItemSelectionModel::NoUpdate);
            setFocus(Qt::MouseFocusReason);
            pressSwallowed_ = true;  // no drag-selection from this press
            event->accept();
            return;
        }
    }
    if (event->button() == Qt::LeftButton && index.isValid() &&
        !(event->modifiers() & Qt::ShiftModifier)) {
        anchor_ = model_->index(index.row(), 0);
    }
    QTreeView::mousePressEvent(event);
}

void ReportList::mouseMoveEvent(QMouseEvent* event) {
    if (pressSwallowed_) {
        event->accept();
        return;
    }
    QTreeView::mouseMoveEvent(event);
}

void ReportList::mouseReleaseEvent(QMouseEvent* event) {
    const bool swallowed = pressSwallowed_;
    pressSwallowed_ = false;
    if (swallowed)
        event->accept();
    else
        QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton)
        emit rightButtonReleased(rowAt(event->position().toPoint()));
}

void ReportList::contextMenuEvent(QContextMenuEvent* event) {
    const QList<QAction*> entries = menu_->actions();
    const bool any = std::any_of(entries.begin(), entries.end(), [](const QAction* a) {
        return a->isVisible() && !a->isSeparator();
    });
    if (!any) {
        event->ignore();
        return;
    }
    // The menu key opens it at the current row, or at the list's corner.
    QPoint at = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const int row = currentRow();
        at = row >= 0 ? visualRect(model_->index(row, 1)).center() : QPoint(0, 0);
    }
    emit contextMenuAboutToOpen(rowAt(at));
    menu_->popup(viewport()->mapToGlobal(at));
    event->accept();
}

void ReportList::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (pressCanSelect(pos)) {
        QTreeView::mouseDoubleClickEvent(event);
    } else {
        pressSwallowed_ = true;
        event->accept();
    }
    if (event->button() == Qt::LeftButton) emit rowDoubleClicked(rowAt(pos));
}

}  // namespace ui
