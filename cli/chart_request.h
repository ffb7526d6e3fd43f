#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run.h"

// What a plot or histogram command asks the chart renderer for. Plain C++.

namespace kx::cli {

enum class Chart { NoisePlot, Histogram, Curve };

// A curve on log axes (the noise spectrum, the Allan deviation: points with x > 0 and y > 0), or
// a series over time (a drift log: seconds from its first reading against volts, NaN where a
// reading is missing) on linear axes.
struct CurveData {
    std::string title;
    std::string xLabel;
    std::string yLabel;
    std::vector<double> x;
    std::vector<double> y;
    bool series = false;
    std::string caption;  // the conditions line under the chart; none when empty
};

struct ChartRequest {
    Chart chart = Chart::NoisePlot;
    std::string input;  // a run file, "-" for standard input
    bool hex = false;
    std::string output;  // .png, .pdf or .csv; "-" is PNG on standard output
    int width = 800;
    int height = 500;
    std::optional<std::string> title;
    int64_t binWidth = 0;  // the histogram's bins: a power of two, 0 for automatic
    // The volts axis of plot and histogram: options given, else the capture's, else power-on.
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<float> ref;
    // Chart::Curve: run by the renderer to make the curve (the command's own work, its printing
    // included); its exit status, 0 when `curve` was filled.
    std::function<int(CurveData& curve)> makeCurve;
};

// Loads the run to draw (at least 10 codes, as for the analysis); false after saying why.
bool LoadChartRun(const ChartRequest& request, Run& run);

}  // namespace kx::cli
