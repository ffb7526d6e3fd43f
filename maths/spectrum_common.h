#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "maths/spectrum.h"

// What the density and the tone figures share inside the spectrum library: the windows, one
// real transform, and the statistics of noise bins. Not for callers outside it.

namespace kx::spectrum::common {

inline constexpr double TimeoutCode = -2147483648.0;
// Chance that noise alone makes a spur or a tone somewhere in the band.
inline constexpr double FalseAlarm = 1e-3;
// A component's leakage counts as its skirt while it exceeds this share of the noise in a bin.
inline constexpr double SkirtShare = 0.1;

// A cosine-sum window, w[i] = sum over m of (-1)^m a[m] cos(2 pi m i / n), periodic (period n).
struct CosineWindow {
    std::span<const double> a;
    // Bins on either side of a peak that still hold its power: the main lobe's half width (one
    // bin per term) and one more for a frequency between two bins.
    size_t lobeBins;
    // The highest side lobe, as a power ratio to the peak.
    double sideLobe;
};

const CosineWindow& Hann();
const CosineWindow& BlackmanHarris4();
// Seven terms, side lobes near -180 dB: below a 24-bit converter's noise in one bin.
const CosineWindow& BlackmanHarris7();
const CosineWindow& WindowOf(Window window);

std::vector<double> MakeWindow(const CosineWindow& window, size_t n);
// Noise bandwidth in bins: n sum(w^2) / (sum w)^2.
double NoiseBandwidth(const CosineWindow& window);
// Upper bound of the power a sine leaks into a bin `distance` bins away, over its peak.
double Leakage(const CosineWindow& window, double distance);
// Bins on either side of a peak `peakOverNoise` times the noise in a bin that its leakage holds
// above SkirtShare of the noise: at least the main lobe (lobeBins), at most `most`.
size_t SkirtBins(const CosineWindow& window, double peakOverNoise, size_t most);

// Runs of at least this many points are worked on two threads.
inline constexpr size_t ParallelFrom = size_t(1) << 20;
// Transforms of at least this many points are made as half-size complex ones.
inline constexpr size_t LongTransformFrom = size_t(1) << 16;

// One real-to-complex transform of a fixed size, in place (the n inputs, then the n / 2 + 1 bins
// over them: one buffer, so that a run of 10^7 codes costs 80 MB, not 160), aligned as FFTW likes
// it. The plan is made at the first run (FFTW_ESTIMATE leaves the input as it is) and may be let
// go before the bins are read: for 10^7 points it holds another 86 MB. FFTW's planner is guarded;
// plans, once made, may run on any thread.
class RealTransform {
public:
    // How the real transform is made: FFTW's own, or (for an even n) a complex transform of n / 2
    // points over the same buffer, its bins then separated (Cooley and Tukey's real-input
    // split), whose plan costs half the time and memory of FFTW's for a run of 10^7 points and a
    // tenth of the time for 2^21, and whose runs are faster.
    enum class Method { Real, HalfComplex };
    // `threads`: how many threads FFTW runs the transform on (for millions of points).
    explicit RealTransform(size_t n, int threads = 1, Method method = Method::Real);
    ~RealTransform();
    RealTransform(const RealTransform&) = delete;
    RealTransform& operator=(const RealTransform&) = delete;

    double* input() { return data_; }
    void plan();
    void run();
    // Runs the plan of another transform of the same size on this one's buffer, so that
    // transforms on several threads share one plan.
    void runWith(const RealTransform& planned);
    void forgetPlan();
    double power(size_t k) const { return out()[k][0] * out()[k][0] + out()[k][1] * out()[k][1]; }
    std::complex<double> bin(size_t k) const { return {out()[k][0], out()[k][1]}; }
    size_t bins() const { return n_ / 2 + 1; }

private:
    const double (*out() const)[2] { return reinterpret_cast<const double(*)[2]>(data_); }

    void separate();

    size_t n_;
    int threads_;
    Method method_;
    double* data_;
    void* plan_ = nullptr;
};

// Runs work(half, from, to) for the halves 0 and 1 of [0, count), the second on a thread of its
// own where the work is large (count >= parallelFrom) and the machine has a second processor. The
// halves are the same either way, so the figures do not depend on the machine.
void InTwoHalves(size_t count, size_t parallelFrom,
                 const std::function<void(int half, size_t from, size_t to)>& work);

// The sum of codes: whole codes exactly in 64 bits, which the processor adds many at a time.
inline double SumOf(const int32_t* x, size_t n) {
    int64_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += x[i];
    return static_cast<double>(sum);
}
inline double SumOf(const double* x, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += x[i];
    return sum;
}

// One-sided: every bin but DC and (for an even length) Nyquist stands for two.
inline double OneSided(size_t k, size_t n) {
    return (k == 0 || (n % 2 == 0 && k == n / 2)) ? 1.0 : 2.0;
}

// The checks every spectrum makes of its run; false with a one-line reason in error.
bool CheckRun(std::span<const double> codes, double lsbVolts, double rateHz, std::string& error);
bool CheckRun(std::span<const int32_t> codes, double lsbVolts, double rateHz, std::string& error);

double Median(std::vector<double> values);
// The same (the element at half the count, in order) of values none of which is negative,
// without a copy of them all: millions of bins cost two passes and a little memory.
double MedianOfPositive(std::span<const double> values);
// The normal deviate exceeded with chance p (p < 0.5).
double NormalDeviate(double p);
// Quantile at normal deviate z of a chi-squared variable with nu degrees of freedom over nu.
double ChiSquareQuantile(double nu, double z);

// The tone figures with what the density's figures need of them: the noise density, and the
// power of the tone and of each harmonic that stands clear of the noise, for their bands.
struct Component {
    double hz = 0;
    double power = 0;  // V^2
};
struct ToneAnalysis {
    Tone tone;
    double noiseDensity = 0;  // V^2 / Hz, one-sided
    Component fundamental;
    std::vector<Component> harmonics;
};
std::optional<ToneAnalysis> AnalyseTone(std::span<const double> codes, double lsbVolts,
                                        double rateHz);
std::optional<ToneAnalysis> AnalyseTone(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz);
// The same, `release` called once the codes are no longer needed (held by the transform), before
// its plan is made: the caller may free them then. `planned`, when given, is the whole run's
// transform made ahead by PlanRunTransform.
std::optional<ToneAnalysis> AnalyseTone(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz, const std::function<void()>& release,
                                        std::unique_ptr<RealTransform> planned = {});
// The whole run's transform of n points, planned now or at its first run: made ahead, on another
// thread, while the density is made. Its buffer is not touched until the codes are put in.
std::unique_ptr<RealTransform> PlanRunTransform(size_t n, bool planNow = true);

}  // namespace kx::spectrum::common
