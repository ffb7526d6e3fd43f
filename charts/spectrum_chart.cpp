#include "charts/spectrum_chart.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace kx {
namespace {

// Log ticks labelled at 1, 2 and 5 times each power of ten while the view spans few decades (a
// band of 0.08 to 10 Hz would otherwise read only "0.1" and "1"), at each power of ten beyond
// that; the other whole multiples are the minor grid.
class LogTicker : public QCPAxisTicker {
protected:
    QVector<double> createTickVector(double, const QCPRange& range) override {
        const bool dense = range.upper / range.lower <= 1e3;
        QVector<double> ticks;
        for (int e = int(std::floor(std::log10(range.lower))); std::pow(10.0, e) <= range.upper;
             ++e)
            for (double m : {1.0, 2.0, 5.0})
                if (m == 1.0 || dense) ticks.push_back(m * std::pow(10.0, e));
        return ticks;
    }
    QVector<double> createSubTickVector(int, const QVector<double>& ticks) override {
        QVector<double> sub;
        for (double tick : ticks) {
            if (tick != std::pow(10.0, std::round(std::log10(tick)))) continue;  // decades only
            for (int m = 2; m <= 9; ++m)
                if (!ticks.contains(m * tick)) sub.push_back(m * tick);
        }
        return sub;
    }
    QString getTickLabel(double tick, const QLocale& locale, QChar, int) override {
        return locale.toString(tick, 'g', 6);
    }
};

void LogAxis(QCPAxis* axis, const QString& label) {
    axis->setScaleType(QCPAxis::stLogarithmic);
    axis->setTicker(QSharedPointer<LogTicker>::create());
    axis->setLabel(label);
    axis->grid()->setVisible(true);
    axis->grid()->setSubGridVisible(true);
}

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
    LogAxis(plot->xAxis, QStringLiteral("Frequency (Hz)"));
    LogAxis(plot->yAxis, QStringLiteral("Density (nV/rtHz)"));

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
