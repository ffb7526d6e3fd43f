#pragma once

#include <optional>
#include <string>

// What a plot or histogram command asks the chart renderer for. Plain C++.

namespace kx::cli {

enum class Chart { NoisePlot, Histogram };

struct ChartRequest {
    Chart chart = Chart::NoisePlot;
    std::string input;  // a run file, "-" for standard input
    bool hex = false;
    std::string output;  // .png, .pdf or .csv; "-" is PNG on standard output
    int width = 800;
    int height = 500;
    std::optional<std::string> title;
};

struct LoadedRun;

// Loads the run to draw (at least 10 codes, as for the analysis); false after saying why.
bool LoadChartRun(const ChartRequest& request, LoadedRun& run);

}  // namespace kx::cli
