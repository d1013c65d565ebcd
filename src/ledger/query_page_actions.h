// The query page's operations: the three searches, numbering and totals,
// header sorts, settling or unsettling the selected rows, and the delivery
// note.
//
// One object per query page, made a child of the page when the shell creates
// it, so that it lives exactly as long as the page window. Its constructor
// binds the page's events once; the list stays empty until a search. It
// reaches the entry page only through the shared LedgerState.
#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

#include "ledger_state.h"
#include "list_export.h"
#include "statistics_window.h"

class QAction;

namespace ui {
class QueryPage;
}  // namespace ui

namespace ledger {

class QueryPageActions : public QObject, public LedgerListPeer {
    Q_OBJECT
  public:
    QueryPageActions(ui::QueryPage& page, LedgerState& state = ledgerState());
    ~QueryPageActions() override;

    ui::QueryPage& page() const { return page_; }

    void runKeywordQuery();
    void runDateQuery();
    void runCombinedQuery();
    void numberRowsAndTotal();
    void updateSelectedTotal();
    void rerunLastQuery();
    void queryHeaderClicked(int column);
    void settleSelected();
    void unsettleSelected();
    // The list's rows and page total as a delivery note in `表格1`, whose
    // print preview opens.
    void printDeliveryNote();

    // The list as it shows, in its order, with the page total below it.
    exporting::Sheet listSheet() const;
    // "导出到Excel…", "导出CSV…": asks for the file and writes listSheet().
    void exportList(ExportFormat format);
    // "经营统计…": one walk of the ledger shown in the statistics window (one
    // window per page; opening it again brings it forward with new figures).
    void openBusinessFigures();
    ui::StatisticsWindow* statisticsWindow() const { return statistics_; }
    // Tests: the day the statistics are made for (else today).
    void setToday(double day) { today_ = day; }

    // LedgerListPeer: after the entry page deleted an entry.
    void refillIfFilled() override;

  private:
    // The right-click menu of `超级列表框统计`, built here in one place:
    // the exports, then the statistics. Further entries go to the same menu.
    void buildListMenu();
    enum class QueryKind { Keyword = 1, DateRange = 2, Combined = 3 };
    void runQuery(QueryKind kind);
    void writeSelectedStatus(bool settled);

    ui::QueryPage& page_;
    LedgerState& state_;
    QList<QAction*> exportEntries_;
    QPointer<ui::StatisticsWindow> statistics_;
    std::optional<double> today_;
};

}  // namespace ledger
