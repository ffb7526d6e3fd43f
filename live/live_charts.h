#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "acquisition/run.h"
#include "maths/spectrum.h"
#include "live/live_feed.h"

class QCustomPlot;

// The live view's three charts: the strip chart of the window (codes at the left, volts at the
// right, seconds before the latest code along the bottom), the histogram of its codes and its
// averaged noise density with the white level. Each is set up once; a redraw hands it the
// window's data. Every chart carries a title that says since when it shows what.

namespace kx::live {

void SetupStripChart(QCustomPlot* plot);
void SetupLiveHistogram(QCustomPlot* plot);
void SetupDensityChart(QCustomPlot* plot);

// A new read: the volts axes follow the new scaling.
void SetChartScaling(QCustomPlot* strip, QCustomPlot* histogram, const Scaling& scaling);

void SetChartTitle(QCustomPlot* plot, const QString& title);

// `seconds`: the window's length, 0 for all (the chart then spans what there is).
void ShowStrip(QCustomPlot* plot, const std::vector<EnvelopePoint>& points, double seconds);
// Up to MaxHistogramBars bars: one per code while the codes span no more, else bins of codes.
inline constexpr int MaxHistogramBars = 256;
void ShowHistogram(QCustomPlot* plot, const std::map<int32_t, int64_t>& counts);
void ShowDensity(QCustomPlot* plot, const std::optional<spectrum::Density>& density);

}  // namespace kx::live
