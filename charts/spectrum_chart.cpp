#include "charts/spectrum_chart.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "charts/axis_tickers.h"

namespace kx {
namespace {

// The title above the axis rect, made once per plot.
void SetTitle(QCustomPlot* plot, const QString& text) {
    auto* title = plot->findChild<QCPTextElement*>(QStringLiteral("SpectrumTitle"));
    if (!title) {
        plot->plotLayout()->insertRow(0);
        title = new QCPTextElement(
            plot, text,
            QFont(plot->font().family(), int(plot->font().pointSizeF() * 1.2), QFont::Bold));
        title->setObjectName(QStringLiteral("SpectrumTitle"));
        plot->plotLayout()->addElement(0, 0, title);
    }
    title->setText(text);
}

}  // namespace

void SetupSpectrumPlot(QCustomPlot* plot, const SpectrumView& view) {
    plot->clearItems();
    plot->clearPlottables();
    SetTitle(plot, QString::fromLatin1(SpectrumTitle));
    UseLogAxis(plot->xAxis, QStringLiteral("Frequency (Hz)"));
    UseLogAxis(plot->yAxis, QStringLiteral("Density (nV/rtHz)"));

    QVector<double> hz, nsd;
    const size_t rows = std::min(view.frequencyHz.size(), view.nsdNvPerRtHz.size());
    for (size_t i = 0; i < rows; ++i) {
        if (view.frequencyHz[i] > 0 && view.nsdNvPerRtHz[i] > 0 &&
            std::isfinite(view.nsdNvPerRtHz[i])) {
            hz.push_back(view.frequencyHz[i]);
            nsd.push_back(view.nsdNvPerRtHz[i]);
        }
    }
    QCPGraph* graph = plot->addGraph();
    graph->setName(QString::fromLatin1(SpectrumTitle));
    graph->setPen(QPen(QColor(0x1F, 0x4E, 0x9A)));
    graph->setData(hz, nsd, true);

    if (hz.isEmpty()) {
        plot->xAxis->setRange(0.1, std::max(view.rateHz / 2, 1.0));
        plot->yAxis->setRange(1, 1000);
    } else {
        plot->xAxis->setRange(hz.front(), std::max(hz.back(), view.rateHz / 2));
        const auto [low, high] = std::minmax_element(nsd.begin(), nsd.end());
        // Half a decade of room, so neither the floor nor the highest spur touches the frame.
        plot->yAxis->setRange(*low / 3, *high * 3);
    }

    if (view.whiteNsdNvPerRtHz > 0) {
        auto* white = new QCPItemStraightLine(plot);
        white->setObjectName(QStringLiteral("WhiteNoiseLine"));
        white->point1->setCoords(plot->xAxis->range().lower, view.whiteNsdNvPerRtHz);
        white->point2->setCoords(plot->xAxis->range().upper, view.whiteNsdNvPerRtHz);
        white->setPen(QPen(QColor(0xC0, 0x39, 0x2B), 1.0, Qt::DashLine));
    }
    plot->setAccessibleName(QString::fromLatin1(SpectrumTitle));
    plot->setAccessibleDescription(QStringLiteral("%1 bins up to %2 Hz, white noise %3 nV/rtHz")
                                       .arg(hz.size())
                                       .arg(view.rateHz / 2)
                                       .arg(view.whiteNsdNvPerRtHz));
}

}  // namespace kx
