#include "charts/chart_interaction.h"

#include <qcustomplot.h>

#include "analysis/axis_labels.h"

namespace kx {
namespace {

// The full view and the least spans, kept on the plot so that a second EnableChartNavigation
// replaces them.
class FullView : public QObject {
public:
    FullView(QCustomPlot* plot, double leastX, double leastY)
        : QObject(plot),
          x(plot->xAxis->range()),
          y(plot->yAxis->range()),
          leastX(leastX > 0 ? leastX : x.size() / 1000),
          leastY(leastY > 0 ? leastY : y.size() / 1000) {
        setObjectName(Name());
    }
    static QString Name() { return QStringLiteral("FullView"); }
    static FullView* Of(QCustomPlot* plot) {
        return static_cast<FullView*>(
            plot->findChild<QObject*>(Name(), Qt::FindDirectChildrenOnly));
    }
    QCPRange x, y;
    double leastX, leastY;
};

// Holds an axis inside its full view whenever its range changes.
void Bound(QCPAxis* axis, FullView* view, const QCPRange& full, double least) {
    const bool log = axis->scaleType() == QCPAxis::stLogarithmic;
    QObject::connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), view,
                     [axis, full, least, log](const QCPRange& range) {
                         const axis::View held = axis::ClampView(
                             {range.lower, range.upper}, {full.lower, full.upper}, least, log);
                         if (held != axis::View{range.lower, range.upper})
                             axis->setRange(held.lower, held.upper);
                     });
}

}  // namespace

void EnableChartNavigation(QCustomPlot* plot, double leastX, double leastY) {
    delete FullView::Of(plot);
    auto* view = new FullView(plot, leastX, leastY);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    QCPAxisRect* rect = plot->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeZoom(Qt::Horizontal);
    rect->setRangeDragAxes(plot->xAxis, plot->yAxis);
    rect->setRangeZoomAxes(plot->xAxis, plot->yAxis);
    Bound(plot->xAxis, view, view->x, view->leastX);
    Bound(plot->yAxis, view, view->y, view->leastY);
    // Decided before the plot hands the wheel on: inside the plot the bottom axis, with Ctrl the
    // left one; over an axis, that axis (each axis zooms only itself).
    QObject::connect(plot, &QCustomPlot::mouseWheel, view, [rect](QWheelEvent* event) {
        if (!rect->rect().contains(event->position().toPoint()))
            rect->setRangeZoom(Qt::Horizontal | Qt::Vertical);
        else
            rect->setRangeZoom(event->modifiers() & Qt::ControlModifier ? Qt::Vertical
                                                                        : Qt::Horizontal);
    });
    QObject::connect(plot, &QCustomPlot::mouseDoubleClick, view, [plot](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton) RestoreFullView(plot);
    });
}

void DropChartNavigation(QCustomPlot* plot) {
    delete FullView::Of(plot);
    plot->setInteractions({});
}

void RestoreFullView(QCustomPlot* plot) {
    const FullView* view = FullView::Of(plot);
    if (!view) return;
    plot->xAxis->setRange(view->x);
    plot->yAxis->setRange(view->y);
    plot->replot();
}

bool ShowsFullView(QCustomPlot* plot, bool xAxis) {
    const FullView* view = FullView::Of(plot);
    if (!view) return true;
    const QCPRange full = xAxis ? view->x : view->y;
    const QCPRange now = xAxis ? plot->xAxis->range() : plot->yAxis->range();
    const double tolerance = full.size() * 1e-9;
    return qAbs(now.lower - full.lower) <= tolerance && qAbs(now.upper - full.upper) <= tolerance;
}

void HideEndCaptionsWhenZoomed(QCustomPlot* plot, bool xAxis, std::initializer_list<int> numbers) {
    QList<QCPItemText*> captions;
    for (const int slot : numbers)
        if (auto* c = plot->findChild<QCPItemText*>(QStringLiteral("Caption%1").arg(slot)))
            captions << c;
    if (captions.isEmpty()) return;
    QCPAxis* axis = xAxis ? plot->xAxis : plot->yAxis;
    QObject::connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), captions.first(),
                     [plot, xAxis, captions] {
                         const bool full = ShowsFullView(plot, xAxis);
                         for (QCPItemText* c : captions)
                             c->setVisible(full);
                     });
}

}  // namespace kx
