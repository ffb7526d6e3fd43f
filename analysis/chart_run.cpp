#include "analysis/chart_run.h"

#include <algorithm>

#include "core/globals.h"

namespace kx {

std::vector<double> SharedRun() {
    const size_t held = SampleBuffer.empty() ? 0 : SampleBuffer.size() - 1;
    const size_t n = std::min(static_cast<size_t>(std::max<int>(CodeCount, 0)), held);
    return {SampleBuffer.begin() + (n ? 1 : 0), SampleBuffer.begin() + (n ? 1 + n : 0)};
}

std::optional<noise::Scaling> SharedScaling() {
    if ((Polarity != 1 && Polarity != 2) || !(ReferenceVoltage > 0.0f)) return std::nullopt;
    for (int rangeCode = 0; rangeCode < 8; ++rangeCode) {
        const noise::Scaling s = noise::ScalingFor(rangeCode, Polarity, ReferenceVoltage);
        if (s.inputRange == InputRange) return s;
    }
    return std::nullopt;
}

double CodeToVolts(double code, const noise::Scaling& scaling) {
    const double zero = scaling.polarity == 2 ? 8388608.0 : 0.0;
    return (code - zero) * scaling.lsbNanovolts * 1e-9;
}

}  // namespace kx
