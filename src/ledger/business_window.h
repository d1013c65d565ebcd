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

// The category under each month's bar: "M月", with the year ("2024年1月")
// for the first bar and for every January.
QString monthCaption(const MonthTakings& month, bool first);

}  // namespace ledger
