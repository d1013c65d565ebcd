#include "page_helpers.h"

#include <QLabel>
#include <algorithm>

#include "dates.h"
#include "gbk_text.h"
#include "numbers.h"
#include "report_list.h"

namespace ledger {

namespace {

bool isAscii(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string gbkLossy(const QString& text) {
    if (isAscii(text)) return text.toStdString();
    if (auto whole = ui::toGbk(text)) return *whole;
    std::string out;
    for (const QChar *p = text.constData(), *end = p + text.size(); p < end;) {
        const bool pair = p->isHighSurrogate() && p + 1 < end && p[1].isLowSurrogate();
        const QString one(p, pair ? 2 : 1);
        p += pair ? 2 : 1;
        out += ui::toGbk(one).value_or("?");
    }
    return out;
}

void numberRowsAndSum(ui::ReportList& list, int amountColumn, QLabel& total) {
    std::string sum = gbkLossy(total.text());
    const int rows = list.rowCount();
    for (int j = 0; j < rows; ++j) {
        // A freshly filled list already holds its numbers; setting a cell
        // costs a model notification.
        const QString seq = QString::number(j + 1);
        if (list.cellText(j, 1) != seq) list.setCellText(j, 1, seq);
        const double added = convert::textToNumber(sum) +
                             convert::textToNumber(gbkLossy(list.cellText(j, amountColumn)));
        sum = convert::numberToText(added);
    }
    total.setText(ui::fromGbk(sum));
}

QString statusCellText(bool settled) {
    return QString::fromUtf8(settled ? text::kSettled : text::kUnsettled);
}

void fillEntryRows(ui::ReportList& list, const ScanResult& found, bool withDay,
                   RowRecordMap& numbers, RowRecordMap& ids) {
    list.setUpdatesEnabled(false);
    list.reserveRows(static_cast<int>(found.rows.size()));
    std::size_t r = 0;
    for (const FoundRecord& row : found.rows) {
        const LedgerRecord& rec = row.record;
        QStringList cells{QString(), QString::number(r + 1)};
        if (withDay) cells << ui::fromGbk(convert::dateToText(rec.日期));
        cells << ui::fromGbk(rec.客户) << ui::fromGbk(rec.事件)
              << ui::fromGbk(convert::numberToText(rec.金额)) << statusCellText(rec.状态)
              << ui::fromGbk(rec.备注);
        list.addRow(cells, rec.状态 ? 1 : 0);
        numbers[r] = row.recordNumber;
        ids[r++] = row.recordId;
    }
    std::fill(numbers.begin() + static_cast<std::ptrdiff_t>(r), numbers.end(), 0);
    std::fill(ids.begin() + static_cast<std::ptrdiff_t>(r), ids.end(), 0);
}

}  // namespace ledger
