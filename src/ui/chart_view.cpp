#include "chart_view.h"

#if !LANHE_CHARTS
#include <QString>

namespace ui {

ChartView::ChartView(QWidget* parent) : QLabel(parent) {
    setText(QString::fromUtf16(kNoChartsText));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
}

}  // namespace ui
#endif
