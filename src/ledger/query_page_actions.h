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

#include "ledger_state.h"

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

    // LedgerListPeer: after the entry page deleted an entry.
    void refillIfFilled() override;

  private:
    enum class QueryKind { Keyword = 1, DateRange = 2, Combined = 3 };
    void runQuery(QueryKind kind);
    void writeSelectedStatus(bool settled);

    ui::QueryPage& page_;
    LedgerState& state_;
};

}  // namespace ledger
