#include "list_export.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>

#include "dialogs.h"
#include "report_list.h"

namespace ledger {

std::vector<exporting::Row> shownRows(const ui::ReportList& list, std::span<const int> columns) {
    std::vector<exporting::Row> rows;
    rows.reserve(static_cast<std::size_t>(list.rowCount()));
    for (int row = 0; row < list.rowCount(); ++row) {
        const QStringList cells = list.rowTexts(row);
        exporting::Row& out = rows.emplace_back();
        out.reserve(columns.size());
        for (int c : columns) out.push_back(cells.value(c).toStdString());
    }
    return rows;
}

std::vector<exporting::Column> sheetColumns(const ui::ReportList& list,
                                            std::span<const int> columns,
                                            std::span<const exporting::ColumnKind> kinds) {
    std::vector<exporting::Column> out;
    for (std::size_t i = 0; i < columns.size(); ++i)
        out.push_back({list.column(columns[i]).title.toStdString(),
                       i < kinds.size() ? kinds[i] : exporting::ColumnKind::Text});
    return out;
}

std::optional<QString> exportSheet(const exporting::Sheet& sheet, ExportFormat format,
                                   const QString& baseName) {
    const bool excel = format == ExportFormat::Excel;
    const QString suffix = excel ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    const std::optional<QString> path = ui::dialogs().askSaveFile(
        excel ? QStringLiteral("导出到Excel") : QStringLiteral("导出CSV"),
        QDir(ui::saveFolder()).filePath(baseName + suffix),
        excel ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    if (!path || path->isEmpty()) return std::nullopt;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string file = QDir::toNativeSeparators(*path).toStdString();
    const exporting::WriteResult written =
        excel ? exporting::writeXlsx(sheet, file) : exporting::writeCsv(sheet, file);
    QApplication::restoreOverrideCursor();

    if (written != exporting::WriteResult::Ok) {
        ui::dialogs().message(QString::fromUtf8(text::kNotWritten), ui::MessageIcon::Error);
        return std::nullopt;
    }
    ui::rememberSaveFolder(*path);
    ui::dialogs().message(QString::fromUtf8(text::kExported), ui::MessageIcon::Information);
    return path;
}

QList<QAction*> addExportEntries(QMenu& menu, std::function<exporting::Sheet()> sheet,
                                 const QString& baseName) {
    QList<QAction*> added;
    const auto add = [&](const char* caption, ExportFormat format) {
        QAction* action = menu.addAction(QString::fromUtf8(caption));
        QObject::connect(action, &QAction::triggered, &menu,
                         [sheet, format, baseName] { exportSheet(sheet(), format, baseName); });
        added.append(action);
    };
    if (exporting::xlsxAvailable()) add(text::kExportExcel, ExportFormat::Excel);
    add(text::kExportCsv, ExportFormat::Csv);
    return added;
}

}  // namespace ledger
