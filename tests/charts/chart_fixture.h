#pragma once

#include <qcustomplot.h>

#include <QLabel>
#include <QString>
#include <vector>

#include "analysis/noise_stats.h"
#include "core/globals.h"

// A run as the noise analysis hands it to the plot and the histogram (no scaling: no volts axis).
inline kx::AnalysedRun UseRun(const std::vector<double>& codes, int32_t minCode, int32_t maxCode) {
    kx::ResetGlobals();
    kx::AnalysedRun run;
    for (const double code : codes)
        run.run.codes.push_back(static_cast<int32_t>(code));
    run.minCode = minCode;
    run.maxCode = maxCode;
    return run;
}

// A chart caption as "text@x,y", its position in fractions of the chart.
inline QString Caption(QCustomPlot* plot, int slot) {
    auto* item = plot->findChild<QCPItemText*>(QStringLiteral("Caption%1").arg(slot));
    return item ? QStringLiteral("%1@%2,%3")
                      .arg(item->text())
                      .arg(item->position->coords().x())
                      .arg(item->position->coords().y())
                : QStringLiteral("<none>");
}

inline QString Text(const QWidget& form, const char* label) {
    return form.findChild<QLabel*>(label)->text();
}
