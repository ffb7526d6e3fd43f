#pragma once

#include <optional>
#include <vector>

#include "analysis/noise_stats.h"

namespace kx {

// The codes of the shared sample buffer, read number 1 first: CodeCount of them, or fewer when
// the buffer holds fewer.
std::vector<double> SharedRun();

// The scaling the noise analysis last used: InputRange, Polarity and ReferenceVoltage as it left
// them. nullopt while they name no range, no polarity or no positive reference (no analysis yet).
std::optional<noise::Scaling> SharedScaling();

// The input voltage of a code: bipolar codes count from 800000 hex (0 V), unipolar ones from 0,
// in steps of the scaling's LSB (lsbNanovolts, as the average value is scaled).
double CodeToVolts(double code, const noise::Scaling& scaling);

}  // namespace kx
