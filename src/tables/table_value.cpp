#include "table_value.h"

#include "table_error.h"

namespace tables {

void TableValue::kindMismatch() { fatalError(kFatalKindMismatch); }

}  // namespace tables
