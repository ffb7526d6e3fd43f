#include <qcustomplot.h>

#include "cli/chart_command.h"
#include "cli/output.h"
#include "cli/tool.h"

// The spectrum and Allan deviation charts: one curve on log axes with grid and captions.

namespace kx::cli {

namespace {

void LogAxis(QCPAxis* axis, const QString& label) {
    axis->setScaleType(QCPAxis::stLogarithmic);
    QSharedPointer<QCPAxisTickerLog> ticker(new QCPAxisTickerLog);
    axis->setTicker(ticker);
    axis->setNumberFormat("gb");
    axis->setNumberPrecision(6);
    axis->setLabel(label);
    axis->grid()->setSubGridVisible(true);
}

void SetupCurve(QCustomPlot& plot, const CurveData& curve, const QString& title) {
    QVector<double> x;
    QVector<double> y;
    for (size_t i = 0; i < curve.x.size() && i < curve.y.size(); ++i)
        if (curve.x[i] > 0 && curve.y[i] > 0) {  // log axes show no zero
            x.push_back(curve.x[i]);
            y.push_back(curve.y[i]);
        }
    plot.plotLayout()->insertRow(0);
    plot.plotLayout()->addElement(0, 0, new QCPTextElement(&plot, title, QFont("DejaVu Sans", 11)));
    LogAxis(plot.xAxis, QString::fromStdString(curve.xLabel));
    LogAxis(plot.yAxis, QString::fromStdString(curve.yLabel));
    QCPGraph* graph = plot.addGraph();
    graph->setData(x, y, true);
    graph->setPen(QPen(QColor(0, 0, 160), 1));
    if (x.size() < 64) graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
    plot.rescaleAxes();
    // A flat curve still gets a decade to sit in; the end points keep clear of the frame.
    for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
        const QCPRange r = axis->range();
        const double margin = r.upper <= r.lower * 1.01 ? 3.0 : 1.1;
        axis->setRange(r.lower / margin, r.upper * margin);
    }
}

}  // namespace

int RenderCurve(const ChartRequest& request) {
    CurveData curve;
    if (const int status = request.makeCurve(curve); status != ExitOk) return status;
    if (curve.x.empty()) return Failure("nothing to draw");
    return DrawChart(request, [&](QCustomPlot& plot) {
        SetupCurve(plot, curve, QString::fromStdString(request.title.value_or(curve.title)));
    });
}

}  // namespace kx::cli
