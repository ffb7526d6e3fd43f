#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "cli/chart_request.h"
#include "cli/tool.h"

// Where `spectrum` and `drift` put their curve: -o OUT.png or .pdf (a chart on log axes, drawn
// by the chart renderer), -o OUT.csv (the points), -o - (PNG on standard output), or nowhere.
// Plain C++.

namespace kx::cli {

struct CurveOutput {
    std::optional<std::string> output;
    std::optional<std::string> size;
    std::optional<std::string> title;

    void AddTo(CLI::App* command);
    // Throws UsageError for a name that is not .png, .pdf or .csv, or a bad --size; fails (exit
    // 1, said) for a target that cannot be saved to.
    int Check(const char* command) const;
    bool picture() const;  // a chart is asked for
    bool toStdout() const { return output && *output == "-"; }

    // Hands the chart to the renderer: `make` runs there (the whole command) and fills the curve.
    int Draw(const ChartRunner& charts, std::function<int(CurveData&)> make) const;
    // Writes the points under `header` ("tau_s,adev_uv") to the CSV output, y printed with
    // yFormat; a NaN y is an empty field.
    int WriteCsv(const std::string& header, const CurveData& curve,
                 const char* yFormat = "%.6g") const;
};

}  // namespace kx::cli
