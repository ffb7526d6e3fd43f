#include "maths/statistics.h"

#include <algorithm>
#include <cmath>

#include "core/numtext.h"

namespace kx::noise {

NoiseStatistics ComputeNoiseStatistics(std::span<const int32_t> codes) {
    NoiseSums sums;
    sums.Add(codes);
    return sums.Statistics();
}

NoiseStatistics NoiseSums::Statistics() const {
    NoiseStatistics s;
    if (count_ == 0) return s;
    s.minCode = min_;
    s.maxCode = max_;
    const auto n = static_cast<double>(count_);
    // Means and sums in double precision (a single-precision sum of 5000 mid-scale codes loses
    // whole codes once it passes 2^24); the spread exact: n * sum(d^2) - sum(d)^2, which fits 128
    // bits for every 32-bit code up to 2^31 codes.
    s.averageCode = origin_ + static_cast<double>(sum_) / n;
    if (count_ >= 2) {
        double spread = 0;
        if (count_ < (uint64_t(1) << 31)) {
            spread = static_cast<double>(Wide(count_) * squares_ - sum_ * sum_);
        } else {
            const auto mean = static_cast<long double>(sum_) / count_;
            spread = static_cast<double>((static_cast<long double>(squares_) - mean * sum_) * n);
        }
        s.rmsExactCodes = std::sqrt(std::max(spread, 0.0) / (n * (n - 1)));
    }
    return StatisticsOf(s.averageCode, s.rmsExactCodes, s.minCode, s.maxCode);
}

NoiseStatistics StatisticsOf(double averageCode, double rmsExactCodes, int32_t minCode,
                             int32_t maxCode) {
    NoiseStatistics s;
    s.minCode = minCode;
    s.maxCode = maxCode;
    s.averageCode = averageCode;
    s.rmsExactCodes = rmsExactCodes;
    s.rmsNoiseCodes = RoundHalfEven(s.rmsExactCodes);
    s.span = static_cast<int64_t>(s.maxCode) - s.minCode;
    s.effectiveResolutionBits =
        s.rmsExactCodes > 0 ? std::log2(CodesInFullScale / s.rmsExactCodes) : std::nan("");
    s.noiseFreeBits =
        s.span > 0 ? std::log2(CodesInFullScale / static_cast<double>(s.span)) : std::nan("");
    return s;
}

}  // namespace kx::noise
