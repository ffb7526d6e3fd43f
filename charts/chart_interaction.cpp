#include "charts/chart_interaction.h"

#include <qcustomplot.h>

namespace kx {
namespace {

// The full view, kept on the plot so that a second EnableChartNavigation replaces it.
class FullView : public QObject {
public:
    FullView(QCustomPlot* plot) : QObject(plot), x(plot->xAxis->range()), y(plot->yAxis->range()) {
        setObjectName(Name());
    }
    static QString Name() { return QStringLiteral("FullView"); }
    static FullView* Of(QCustomPlot* plot) {
        return static_cast<FullView*>(
            plot->findChild<QObject*>(Name(), Qt::FindDirectChildrenOnly));
    }
    QCPRange x, y;
};

}  // namespace

void EnableChartNavigation(QCustomPlot* plot) {
    delete FullView::Of(plot);
    auto* view = new FullView(plot);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    QCPAxisRect* rect = plot->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeZoom(Qt::Horizontal | Qt::Vertical);
    rect->setRangeDragAxes(plot->xAxis, plot->yAxis);
    rect->setRangeZoomAxes(plot->xAxis, plot->yAxis);
    QObject::connect(plot, &QCustomPlot::mouseDoubleClick, view, [plot](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton) RestoreFullView(plot);
    });
}

void RestoreFullView(QCustomPlot* plot) {
    const FullView* view = FullView::Of(plot);
    if (!view) return;
    plot->xAxis->setRange(view->x);
    plot->yAxis->setRange(view->y);
    plot->replot();
}

}  // namespace kx
