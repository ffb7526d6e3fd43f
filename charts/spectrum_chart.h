#pragma once

#include "analysis/spectrum_view.h"

class QCustomPlot;

namespace kx {

inline constexpr const char* SpectrumTitle = "Noise Spectral Density";

// The density on log-log axes with grid, from the lowest bin above 0 Hz to half the update rate,
// with the white-noise level as a dashed line. Bins at 0 Hz or without density are left out of
// the drawing (a log axis has no room for them). Clears whatever the plot held before.
void SetupSpectrumPlot(QCustomPlot* plot, const SpectrumView& view);

}  // namespace kx
