#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run.h"

// What a plot or histogram command asks the chart renderer for. Plain C++.

namespace kx::cli {

enum class Chart { NoisePlot, Histogram, Curve };

// A curve on log axes (the noise spectrum, the Allan deviation): points with x > 0 and y > 0.
struct CurveData {
    std::string title;
    std::string xLabel;
    std::string yLabel;
    std::vector<double> x;
    std::vector<double> y;
};

struct ChartRequest {
    Chart chart = Chart::NoisePlot;
    std::string input;  // a run file, "-" for standard input
    bool hex = false;
    std::string output;  // .png, .pdf or .csv; "-" is PNG on standard output
    int width = 800;
    int height = 500;
    std::optional<std::string> title;
    // Chart::Curve: run by the renderer to make the curve (the command's own work, its printing
    // included); its exit status, 0 when `curve` was filled.
    std::function<int(CurveData& curve)> makeCurve;
};

// Loads the run to draw (at least 10 codes, as for the analysis); false after saying why.
bool LoadChartRun(const ChartRequest& request, Run& run);

}  // namespace kx::cli
