// A report list written to a file for a spreadsheet: the page builds the
// sheet from what its list shows; here the operator is asked where to put
// it, the file is written and the outcome told.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <span>

#include "sheet.h"

class QAction;
class QMenu;

namespace ui {
class ReportList;
}

namespace ledger {

namespace text {
inline constexpr const char* kExportExcel = "导出到Excel…";
inline constexpr const char* kExportCsv = "导出CSV…";
inline constexpr const char* kExported = "导出成功！";
inline constexpr const char* kNotWritten = "文件没有保存成功！";
}  // namespace text

enum class ExportFormat { Excel, Csv };

// The shown texts of `columns` of `list`, row by row in the list's order.
std::vector<exporting::Row> shownRows(const ui::ReportList& list, std::span<const int> columns);
// The titles of `columns` with the kind each is written as.
std::vector<exporting::Column> sheetColumns(const ui::ReportList& list,
                                            std::span<const int> columns,
                                            std::span<const exporting::ColumnKind> kinds);

// Asks for the file (named `baseName` in ui::saveFolder()), writes `sheet` there and tells the
// operator how it went. The path written, or nullopt (cancelled or failed).
std::optional<QString> exportSheet(const exporting::Sheet& sheet, ExportFormat format,
                                   const QString& baseName);

// Adds "导出到Excel…" (where this build writes workbooks) and "导出CSV…" to
// `menu`; each builds the sheet when chosen. Returns the entries added.
QList<QAction*> addExportEntries(QMenu& menu, std::function<exporting::Sheet()> sheet,
                                 const QString& baseName);

}  // namespace ledger
