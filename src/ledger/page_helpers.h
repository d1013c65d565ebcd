// Helpers shared by the two pages' handlers.
#pragma once

#include <QString>
#include <string>

class QLabel;

namespace ui {
class ReportList;
}

namespace ledger {

// The GBK text of a control's text for reading numbers or sort keys:
// characters GBK cannot hold become '?', as an ANSI control would show them.
std::string gbkLossy(const QString& text);

// Numbers the rows 1 … n in the "序" column (1) and adds each row's amount
// cell, read as a number, to the number read from the total label's text,
// writing the sum back as text after each row: the total lives as label
// text (13 significant digits between the additions).
void numberRowsAndSum(ui::ReportList& list, int amountColumn, QLabel& total);

// "已结" or "未结".
QString statusCellText(bool settled);

}  // namespace ledger
