#include "ledger_state.h"

namespace ledger {

LedgerState& ledgerState() {
    static LedgerState state;
    return state;
}

}  // namespace ledger
