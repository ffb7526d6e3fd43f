#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "acquisition/run.h"

// The small caption a saved chart carries: the conditions its run was taken under, so an image
// pasted into a report still says what it shows. Plain C++.

namespace kx {

struct ChartConditions {
    std::optional<Scaling> scaling;  // range, coding and reference the codes were scaled with
    bool scalingAssumed = false;     // the power-on settings, since nothing said otherwise
    std::optional<double> rateHz;
    size_t codes = 0;
    std::optional<std::chrono::system_clock::time_point> taken;
    std::string board;  // "simulated KX3105 board", "/dev/parport0"; empty when not known
};

// What a run says of itself; the scaling and the board come from the caller.
ChartConditions ConditionsOf(const Run& run, const std::optional<Scaling>& scaling,
                             const std::string& board);

// One line: "± 2.56V bipolar, ref 2.50 V, 19.79 Hz, 1000 codes, 2025-12-08 10:15, simulated
// KX3105 board". What is not known is said so ("rate not recorded"); an assumed range says
// "(assumed)". Local time.
std::string ConditionsCaption(const ChartConditions& conditions);

}  // namespace kx
