#include "charts/curve_chart.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "charts/axis_tickers.h"

namespace kx {

namespace {

void AddTitle(QCustomPlot* plot, const QString& title) {
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, title, QFont("DejaVu Sans", 11)));
}

}  // namespace

void SetupLogCurve(QCustomPlot* plot, const std::vector<double>& xs, const std::vector<double>& ys,
                   const QString& title, const QString& xLabel, const QString& yLabel) {
    QVector<double> x;
    QVector<double> y;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i)
        if (xs[i] > 0 && ys[i] > 0) {  // log axes show no zero
            x.push_back(xs[i]);
            y.push_back(ys[i]);
        }
    AddTitle(plot, title);
    UseLogAxis(plot->xAxis, xLabel);
    UseLogAxis(plot->yAxis, yLabel);
    QCPGraph* graph = plot->addGraph();
    graph->setData(x, y, true);
    graph->setPen(QPen(QColor(0, 0, 160), 1));
    if (x.size() < 64) graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
    plot->rescaleAxes();
    // A flat curve still gets a decade to sit in; the end points keep clear of the frame.
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        const QCPRange r = axis->range();
        const double margin = r.upper <= r.lower * 1.01 ? 3.0 : 1.1;
        axis->setRange(r.lower / margin, r.upper * margin);
    }
}

void SetupSeriesChart(QCustomPlot* plot, const std::vector<double>& seconds,
                      const std::vector<double>& volts, const QString& title) {
    QVector<double> x, y;
    double low = qInf(), high = -qInf();
    for (size_t i = 0; i < seconds.size() && i < volts.size(); ++i) {
        x.push_back(seconds[i]);
        y.push_back(volts[i]);  // NaN leaves a gap
        if (std::isfinite(volts[i])) {
            low = std::min(low, volts[i]);
            high = std::max(high, volts[i]);
        }
    }
    AddTitle(plot, title);
    UseTimeAxis(plot->xAxis, QStringLiteral("Time"));
    UseVoltsAxis(plot->yAxis, QStringLiteral("Input"));
    QCPGraph* graph = plot->addGraph();
    graph->setData(x, y, true);
    graph->setPen(QPen(QColor(0, 0, 160), 1));
    if (x.size() < 64) graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
    plot->xAxis->setRange(x.isEmpty() ? 0 : x.front(), x.size() > 1 ? x.back() : 1);
    if (!(high >= low)) low = high = 0;
    // A flat series still gets a little room; the readings keep clear of the frame.
    const double margin = high > low ? (high - low) * 0.05 : std::max(std::fabs(high) * 1e-6, 1e-9);
    plot->yAxis->setRange(low - margin, high + margin);
}

}  // namespace kx
