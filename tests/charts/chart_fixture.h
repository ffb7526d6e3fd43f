#pragma once

#include <qcustomplot.h>

#include <QLabel>
#include <QString>
#include <vector>

#include "core/globals.h"

// The shared run as the noise analysis leaves it for the plot and the histogram.
inline void UseRun(const std::vector<double>& codes, int32_t minCode, int32_t maxCode) {
    kx::ResetGlobals();
    SampleBuffer = {0.0};
    SampleBuffer.insert(SampleBuffer.end(), codes.begin(), codes.end());
    CodeCount = static_cast<int16_t>(codes.size());
    MinCode = minCode;
    MaxCode = maxCode;
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
