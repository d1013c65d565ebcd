#include "page_helpers.h"

#include <QLabel>

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

}  // namespace ledger
