// Builds without libxlsxwriter (the Windows cross build of the Qt-free code)
// write no workbook.
#include "sheet.h"

namespace exporting {

bool xlsxAvailable() { return false; }

WriteResult writeXlsx(const Sheet&, std::string_view) { return WriteResult::Unavailable; }

}  // namespace exporting
