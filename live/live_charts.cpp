#include "live/live_charts.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "charts/chart_setup.h"

namespace kx::live {

namespace {

const QString TitleName = QStringLiteral("LiveTitle");

QCPTextElement* Title(QCustomPlot* plot) {
    return plot->findChild<QCPTextElement*>(TitleName);
}

void Common(QCustomPlot* plot) {
    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(
        plot, QString(), QFont(plot->font().family(), int(plot->font().pointSizeF()), QFont::Bold));
    title->setObjectName(TitleName);
    plot->plotLayout()->addElement(0, 0, title);
    plot->setNoAntialiasingOnDrag(true);
    // Redrawn many times a second: no antialiasing of the data, the costliest part.
    plot->setNotAntialiasedElements(QCP::aePlottables);
    plot->setMinimumSize(320, 200);
}

}  // namespace

void SetupStripChart(QCustomPlot* plot) {
    Common(plot);
    QCPGraph* graph = plot->addGraph();
    graph->setPen(QPen(QColor(0x1F, 0x5F, 0xAF), 1));
    graph->setAdaptiveSampling(false);
    plot->xAxis->setLabel(QStringLiteral("Seconds before the latest code"));
    plot->yAxis->setLabel(QStringLiteral("Code"));
    plot->yAxis->setNumberFormat(QStringLiteral("f"));
    plot->yAxis->setNumberPrecision(0);
}

void SetupLiveHistogram(QCustomPlot* plot) {
    Common(plot);
    auto* bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setPen(Qt::NoPen);
    bars->setBrush(QColor(0x1F, 0x5F, 0xAF));
    plot->xAxis->setLabel(QStringLiteral("Code"));
    plot->xAxis->setNumberFormat(QStringLiteral("f"));
    plot->xAxis->setNumberPrecision(0);
    plot->yAxis->setLabel(QStringLiteral("Occurrences"));
}

void SetupDensityChart(QCustomPlot* plot) {
    Common(plot);
    QCPGraph* density = plot->addGraph();
    density->setPen(QPen(QColor(0x1F, 0x5F, 0xAF), 1));
    QCPGraph* white = plot->addGraph();
    white->setPen(QPen(QColor(0xC0, 0x30, 0x30), 1, Qt::DashLine));
    white->setName(QStringLiteral("white level"));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setScaleType(QCPAxis::stLogarithmic);
        axis->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
        axis->grid()->setSubGridVisible(true);
    }
    plot->xAxis->setLabel(QStringLiteral("Hz"));
    plot->yAxis->setLabel(QStringLiteral("nV/\u221AHz"));
}

void SetChartScaling(QCustomPlot* strip, QCustomPlot* histogram, const Scaling& scaling) {
    AddVoltsAxis(strip->yAxis, scaling);
    AddVoltsAxis(histogram->xAxis, scaling);
}

void SetChartTitle(QCustomPlot* plot, const QString& title) {
    QCPTextElement* t = Title(plot);
    if (!t || t->text() == title) return;
    t->setText(title);
    // A screen reader speaks the chart by its title: what it shows and since when.
    plot->setAccessibleName(title);
}

void ShowStrip(QCustomPlot* plot, const std::vector<EnvelopePoint>& points, double seconds) {
    QVector<double> x, y;
    x.reserve(int(points.size() * 2));
    y.reserve(x.capacity());
    int32_t low = INT32_MAX, high = INT32_MIN;
    for (const EnvelopePoint& p : points) {
        x.push_back(p.seconds);
        y.push_back(p.low);
        if (p.high != p.low) {
            x.push_back(p.seconds);
            y.push_back(p.high);
        }
        low = std::min(low, p.low);
        high = std::max(high, p.high);
    }
    plot->graph(0)->setData(x, y, true);
    const double span = points.empty() ? 0.0 : -points.front().seconds;
    plot->xAxis->setRange(-(seconds > 0 ? seconds : std::max(span, 1e-3)), 0);
    if (!points.empty()) {
        const double margin = std::max(1.0, 0.1 * (double(high) - low));
        plot->yAxis->setRange(low - margin, high + margin);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ShowHistogram(QCustomPlot* plot, const std::map<int32_t, int64_t>& counts) {
    auto* bars = qobject_cast<QCPBars*>(plot->plottable(0));
    QVector<double> keys, values;
    if (!counts.empty()) {
        const int64_t low = counts.begin()->first, high = counts.rbegin()->first;
        // Codes per bar: one while they fit, else as many as make MaxHistogramBars bars.
        const int64_t width = std::max<int64_t>(1, (high - low) / MaxHistogramBars + 1);
        for (const auto& [code, n] : counts) {
            const double key = double(low + (code - low) / width * width) + (width - 1) / 2.0;
            if (!keys.isEmpty() && keys.back() == key)
                values.back() += double(n);
            else {
                keys.push_back(key);
                values.push_back(double(n));
            }
        }
        bars->setWidth(double(width));
        plot->xAxis->setRange(double(low) - width, double(high) + width);
        plot->yAxis->setRange(0, *std::max_element(values.begin(), values.end()) * 1.05);
    }
    bars->setData(keys, values, true);
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ShowDensity(QCustomPlot* plot, const std::optional<spectrum::Density>& density) {
    QVector<double> x, y;
    double white = std::nan("");
    if (density) {
        for (size_t k = 1; k < density->nvPerRtHz.size(); ++k) {
            x.push_back(density->hz(k));
            y.push_back(std::max(density->nvPerRtHz[k], 1e-3));
        }
        white = spectrum::WhiteLevel(*density);
    }
    plot->graph(0)->setData(x, y, true);
    if (!x.isEmpty() && !std::isnan(white))
        plot->graph(1)->setData({x.front(), x.back()}, {white, white}, true);
    else
        plot->graph(1)->data()->clear();
    if (!x.isEmpty()) {
        plot->xAxis->setRange(x.front(), x.back());
        const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
        plot->yAxis->setRange(*lo / 1.5, *hi * 1.5);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace kx::live
