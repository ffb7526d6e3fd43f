#pragma once

#include <functional>
#include <string>

#include "cli/chart_request.h"

class QCustomPlot;

// The plot and histogram pictures: the only part of the tool that starts a GUI platform
// (offscreen), to draw the charts exactly as their screens set them up.

namespace kx::cli {

// Loads the run and draws the chart: PNG to standard output for "-", PDF for a name ending in
// .pdf, else PNG. Returns an exit status.
int RenderChart(const ChartRequest& request);
// The same for Chart::Curve (curve_chart.cpp).
int RenderCurve(const ChartRequest& request);
// Starts the offscreen platform, lets `setup` draw on a fresh plot and writes it as RenderChart
// says, with `caption` (the conditions) in a line under the chart. Returns an exit status.
int DrawChart(const ChartRequest& request, const std::function<void(QCustomPlot&)>& setup,
              const std::string& caption);

}  // namespace kx::cli
