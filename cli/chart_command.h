#pragma once

#include <string>

// The plot and histogram commands: the only ones that start a GUI platform (offscreen), to draw
// the charts exactly as their screens set them up.

namespace kx::cli {

enum class Chart { NoisePlot, Histogram };

// Draws the chart of the shared run (SampleBuffer, CodeCount), between its smallest and largest
// code, to path: PDF for a name ending in .pdf, else PNG. Returns an exit status.
int RenderChart(Chart chart, const std::string& path);

}  // namespace kx::cli
