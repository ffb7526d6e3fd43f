#pragma once

#include <cstdint>
#include <span>

// The noise statistics of a run of codes: plain numbers of plain inputs, for every face.

namespace kx {
// Codes in the converter's full scale (2^24).
inline constexpr double CodesInFullScale = 16777216.0;
}  // namespace kx

namespace kx::noise {

// Extremes, mean and sample standard deviation of a run's codes. Sums are formed in double
// precision and the span in 64 bits, so a run holding -2147483648 (the time-out marker, loaded
// from a file) is handled like any other code.
struct NoiseStatistics {
    int32_t maxCode = 0;
    int32_t minCode = 0;
    // Mean code in double precision: a single-precision mean near mid-scale is already rounded
    // to a whole code, which moves the RMS and the average value. Rounded only for display.
    double averageCode = 0;
    double rmsExactCodes = 0;   // sample standard deviation, unrounded
    int32_t rmsNoiseCodes = 0;  // the same rounded half to even, as the labels show it
    int64_t span = 0;           // maxCode - minCode
    // What converter data sheets quote: log2(2^24 / RMS) and log2(2^24 / span); NaN when the
    // divisor is 0.
    double effectiveResolutionBits = 0;
    double noiseFreeBits = 0;
};

// No codes give all zeros; one code gives RMS 0.
NoiseStatistics ComputeNoiseStatistics(std::span<const int32_t> codes);
// The same from a run's mean, unrounded deviation and extremes, for a caller that keeps those as
// codes come and go (the live view's windows).
NoiseStatistics StatisticsOf(double averageCode, double rmsExactCodes, int32_t minCode,
                             int32_t maxCode);

// The same statistics gathered one code at a time, in one pass and without keeping the codes, for
// a run of any length read as it comes. The sums are exact (whole numbers in 128 bits, taken from
// the first code), so the mean and the deviation are rounded only once, however long the run.
class NoiseSums {
public:
    void Add(int32_t code) {
        if (count_ == 0) origin_ = min_ = max_ = code;
        min_ = code < min_ ? code : min_;
        max_ = code > max_ ? code : max_;
        const int64_t d = int64_t(code) - origin_;
        sum_ += d;
        squares_ += Wide(d) * d;
        ++count_;
    }
    void Add(std::span<const int32_t> codes) {
        for (const int32_t code : codes)
            Add(code);
    }
    uint64_t count() const { return count_; }
    NoiseStatistics Statistics() const;

private:
    __extension__ typedef __int128 Wide;
    int32_t origin_ = 0;
    int32_t min_ = 0;
    int32_t max_ = 0;
    uint64_t count_ = 0;
    Wide sum_ = 0;
    Wide squares_ = 0;
};

}  // namespace kx::noise
