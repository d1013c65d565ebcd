// Sorting a report list by one column, as a header click does.
#include <QList>
#include <QString>
#include <QStringList>

#include "gbk_text.h"
#include "page_helpers.h"
#include "report_list.h"

namespace ledger {

void sortByColumn(ui::ReportList& list, int column, SortOrder order) {
    const int current = list.currentRow();
    const int rows = list.rowCount();

    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) keys.push_back(gbkLossy(list.cellText(row, column)));
    const std::vector<std::size_t> newOrder = sortedOrder(keys, order);

    QList<QStringList> texts;
    QList<qint64> data;
    texts.reserve(rows);
    data.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        texts.push_back(list.rowTexts(row));
        data.push_back(list.rowData(row));
    }
    const int columns = list.columnCount();
    int newCurrent = -1;
    list.setUpdatesEnabled(false);
    for (int at = 0; at < rows; ++at) {
        const int from = static_cast<int>(newOrder[static_cast<std::size_t>(at)]);
        if (from == at) continue;
        const QStringList& cells = texts[from];
        for (int c = 0; c < columns; ++c) list.setCellText(at, c, cells.value(c));
        list.setRowData(at, data[from]);
    }
    for (int at = 0; at < rows; ++at) {
        if (static_cast<int>(newOrder[static_cast<std::size_t>(at)]) == current) newCurrent = at;
    }
    list.setUpdatesEnabled(true);
    if (newCurrent >= 0) {
        list.setCurrentRow(newCurrent);
        list.scrollToRow(newCurrent);
    }
}

}  // namespace ledger
