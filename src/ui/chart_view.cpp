#include "chart_view.h"

#include <QVBoxLayout>

#include "bar_chart.h"

namespace ui {

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A picture: nothing to type into, no Tab stop.
    setFocusPolicy(Qt::NoFocus);
    setDrawing(kDefaultChartDrawing);
}

void ChartView::setDrawing(ChartDrawing drawing) {
    QWidget* next = nullptr;
#if LANHE_CHARTS
    if (drawing == ChartDrawing::QtCharts) {
        auto* view = new QChartView;
        view->setRenderHint(QPainter::Antialiasing);
        view->setFrameShape(QFrame::NoFrame);
        view->setFocusPolicy(Qt::NoFocus);
        for (QWidget* inner : view->findChildren<QWidget*>()) inner->setFocusPolicy(Qt::NoFocus);
        next = view;
    }
#else
    Q_UNUSED(drawing);
#endif
    if (!next) next = new BarChart;
    delete content_;
    content_ = next;
    layout()->addWidget(content_);
}

ChartDrawing ChartView::drawing() const {
    return barChart() ? ChartDrawing::Painted : ChartDrawing::QtCharts;
}

BarChart* ChartView::barChart() const { return qobject_cast<BarChart*>(content_); }

#if LANHE_CHARTS
QChartView* ChartView::qtChartView() const { return qobject_cast<QChartView*>(content_); }
#endif

}  // namespace ui
