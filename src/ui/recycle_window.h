// The recently deleted window ("最近删除"), opened from the query page and
// the customers page: the ledger entries and customers in the recycle bin,
// most recently deleted first, and "还原" to put one back. It has no title.
#pragma once

#include <QDialog>
#include <span>

#include "controls.h"
#include "layout.h"

namespace ui {

class RecycleWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 416;

    explicit RecycleWindow(QWidget* parent = nullptr);

    // Columns of `超级列表框删除`: 0 untitled and without width, then these.
    enum Column { kDeletedAt = 1, kFrom = 2, kContent = 3 };

    // The controls, in creation order.
    static std::span<const LayoutRow<RecycleWindow>> layout();

    TransparentLabel* 透明标签1 = nullptr;
    ReportList* 超级列表框删除 = nullptr;
    QPushButton* 按钮还原 = nullptr;
    QPushButton* 按钮关闭 = nullptr;
};

}  // namespace ui
