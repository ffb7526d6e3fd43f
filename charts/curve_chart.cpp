#include "charts/curve_chart.h"

#include <qcustomplot.h>

namespace kx {

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
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, title, QFont("DejaVu Sans", 11)));
    LogAxis(plot->xAxis, xLabel);
    LogAxis(plot->yAxis, yLabel);
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

}  // namespace kx
