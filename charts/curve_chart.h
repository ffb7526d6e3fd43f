#pragma once

#include <QString>
#include <vector>

class QCustomPlot;

namespace kx {

// One curve on log-log axes with grid and a title above: the points with x > 0 and y > 0 (a log
// axis shows no zero), marked when there are few of them. A flat curve still gets a decade to sit
// in, and the end points keep clear of the frame.
void SetupLogCurve(QCustomPlot* plot, const std::vector<double>& x, const std::vector<double>& y,
                   const QString& title, const QString& xLabel, const QString& yLabel);

// Readings over time on linear axes with grid and a title above: seconds from the first reading
// (the axis in s, min or h as the span asks) against volts (V, mV, uV or nV as the span asks).
// A NaN reading is a gap in the line.
void SetupSeriesChart(QCustomPlot* plot, const std::vector<double>& seconds,
                      const std::vector<double>& volts, const QString& title);

}  // namespace kx
