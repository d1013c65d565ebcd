#include "backup_window.h"

#include <array>

namespace ui {
namespace {

using Self = BackupWindow;

// clang-format off
const std::array kLayout{
    LANHE_CONTROL(透明标签1, Kind::TransparentLabel, "", 12, 10, 596, 20, "每天第一次启动时自动备份，保留最近30份；恢复前先备份现在的数据。"),
    LANHE_CONTROL(超级列表框备份, Kind::ReportList, "", 10, 36, 600, 260, ""),
    LANHE_CONTROL(透明标签2, Kind::TransparentLabel, "", 12, 310, 112, 20, "第二备份位置："),
    LANHE_CONTROL(标签第二位置, Kind::Label, "", 124, 308, 486, 24, ""),
    LANHE_CONTROL(按钮第二位置, Kind::Button, "", 10, 350, 120, 28, "第二备份位置…"),
    LANHE_CONTROL(按钮不用第二位置, Kind::Button, "", 138, 350, 110, 28, "不用第二位置"),
    LANHE_CONTROL(按钮立即备份, Kind::Button, "", 298, 350, 96, 28, "立即备份"),
    LANHE_CONTROL(按钮恢复, Kind::Button, "", 406, 350, 96, 28, "恢复"),
    LANHE_CONTROL(按钮关闭, Kind::Button, "", 514, 350, 96, 28, "关闭"),
};
// clang-format on

QList<ReportColumn> backupColumns() {
    return {{QString(), 0, Qt::AlignLeft},
            {QStringLiteral("备份时间"), 200, Qt::AlignLeft},
            {QStringLiteral("账单条数"), 80, Qt::AlignRight},
            {QStringLiteral("客户数"), 70, Qt::AlignRight},
            {QStringLiteral("大小"), 110, Qt::AlignRight},
            {QStringLiteral("核对"), 80, Qt::AlignHCenter}};
}

}  // namespace

std::span<const LayoutRow<BackupWindow>> BackupWindow::layout() { return kLayout; }

BackupWindow::BackupWindow(QWidget* parent) : QDialog(parent) {
    setUpWindow(this, kWidth, kHeight);
    buildLayout<BackupWindow>(*this, layout());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    超级列表框备份->setColumns(backupColumns());
    超级列表框备份->setWholeRowSelection(true);
}

}  // namespace ui
