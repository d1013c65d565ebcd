// The entry page's operations: the day list and its total, the entry form,
// the price history, and modifying and deleting an entry of the day list.
//
// One object per entry page, made a child of the page when the shell creates
// it, so that it lives exactly as long as the page window. Its constructor
// binds the page's events once; the shell then runs refreshEntryList (and
// fills the customer and item boxes). It reaches the query page only through
// the shared LedgerState.
#pragma once

#include <QObject>

#include "ledger_state.h"

namespace ui {
class EntryPage;
}  // namespace ui

namespace ledger {

class EntryPageActions : public QObject, public LedgerListPeer {
    Q_OBJECT
  public:
    EntryPageActions(ui::EntryPage& page, LedgerState& state = ledgerState());
    ~EntryPageActions() override;

    ui::EntryPage& page() const { return page_; }

    void refreshEntryList();
    void saveEntry();
    void refreshHistory();
    void beginModify();
    void cancelModify();
    void deleteEntry();

    // LedgerListPeer: after the query page settled or unsettled entries.
    void refillIfFilled() override;

  private:
    void resetEntryForm();
    void setModifyHighlight(bool on);
    int selectedEntryRow() const;

    ui::EntryPage& page_;
    LedgerState& state_;
    unsigned historyGeneration_ = 0;
};

}  // namespace ledger
