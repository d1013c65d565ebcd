// The backup and restore window ("备份恢复"), opened from the settings page:
// the backups beside the program, newest first, making one now, restoring
// one, and the second place each backup is also copied to. It has no title.
#pragma once

#include <QDialog>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class BackupWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 392;

    explicit BackupWindow(QWidget* parent = nullptr);

    // Columns of `超级列表框备份`: 0 untitled and without width, then these.
    enum Column { kTime = 1, kEntries = 2, kCustomers = 3, kSize = 4, kVerified = 5 };

    // The controls, in creation order.
    static std::span<const LayoutRow<BackupWindow>> layout();

    TransparentLabel* 透明标签1 = nullptr;
    ReportList* 超级列表框备份 = nullptr;
    TransparentLabel* 透明标签2 = nullptr;
    QLabel* 标签第二位置 = nullptr;
    QPushButton* 按钮第二位置 = nullptr;
    QPushButton* 按钮不用第二位置 = nullptr;
    QPushButton* 按钮立即备份 = nullptr;
    QPushButton* 按钮恢复 = nullptr;
    QPushButton* 按钮关闭 = nullptr;
};

}  // namespace ui
