#include "analysis/chart_run.h"

#include <algorithm>

#include "core/globals.h"

namespace kx {

std::vector<double> SharedRun() {
    const size_t held = SampleBuffer.empty() ? 0 : SampleBuffer.size() - 1;
    const size_t n = std::min(static_cast<size_t>(std::max<int>(CodeCount, 0)), held);
    return {SampleBuffer.begin() + (n ? 1 : 0), SampleBuffer.begin() + (n ? 1 + n : 0)};
}

}  // namespace kx
