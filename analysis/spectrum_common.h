#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/spectrum.h"

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

// One real-to-complex transform of a fixed size, its buffers aligned as FFTW likes them. FFTW's
// planner is guarded; plans, once made, may run on any thread.
class RealTransform {
public:
    explicit RealTransform(size_t n);
    ~RealTransform();
    RealTransform(const RealTransform&) = delete;
    RealTransform& operator=(const RealTransform&) = delete;

    double* input() { return in_; }
    void run();
    double power(size_t k) const { return out_[k][0] * out_[k][0] + out_[k][1] * out_[k][1]; }
    std::complex<double> bin(size_t k) const { return {out_[k][0], out_[k][1]}; }
    size_t bins() const { return n_ / 2 + 1; }

private:
    size_t n_;
    double* in_;
    double (*out_)[2];
    void* plan_ = nullptr;
};

// One-sided: every bin but DC and (for an even length) Nyquist stands for two.
double OneSided(size_t k, size_t n);

// The checks every spectrum makes of its run; false with a one-line reason in error.
bool CheckRun(std::span<const double> codes, double lsbVolts, double rateHz, std::string& error);

double Median(std::vector<double> values);
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

}  // namespace kx::spectrum::common
