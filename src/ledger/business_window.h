// The statistics window filled from the business figures: charts, labels
// and hover texts. The numbers follow the pages' rule for totals.
#pragma once

#include <QString>

#include "business_figures.h"

namespace ui {
class StatisticsWindow;
}

namespace ledger {

// `today` is the date-time the figures were made for.
void fillStatisticsWindow(ui::StatisticsWindow& window, const BusinessFigures& figures,
                          double today);

// The months frame's title names the twelve months' span, as the bars
// below it name only their month ("3月"):
// "近十二个月营业额（2023年4月至2024年3月）".
QString monthsTitle(const BusinessFigures& figures);

}  // namespace ledger
