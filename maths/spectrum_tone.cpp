#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <numeric>

#include "core/large_pages.h"
#include "maths/spectrum_common.h"

// The figures of a test tone from one transform of the whole run.

namespace kx::spectrum {

namespace common {

namespace {

constexpr int HighestHarmonic = 6;

double Db(double ratio) {
    return 10.0 * std::log10(ratio);
}

// The whole run's transform, once, without a window: a cosine-sum window multiplies the run by a
// few cosines of whole periods, so its transform is a sum of a few neighbouring bins of this one.
class RunTransform {
public:
    // `release` is told when the codes are held here, before the plan is made; `planned`, a
    // transform of the run's length planned ahead, is used when given.
    template <typename Code>
    RunTransform(std::span<const Code> codes, const std::function<void()>& release,
                 std::unique_ptr<RealTransform> planned)
        : n_(codes.size()), fft_(planned ? std::move(planned) : PlanRunTransform(n_, false)) {
        const double mean = SumOf(codes.data(), n_) / double(n_);
        double* in = fft_->input();
        for (size_t i = 0; i < n_; ++i)
            in[i] = double(codes[i]) - mean;
        if (release) release();
        fft_->run();
        fft_->forgetPlan();
    }

    size_t size() const { return n_; }

    // Power per bin in V^2, one-sided, bins 0 to n / 2: a sine's bins add up to its mean square,
    // and every bin holds the same share of white noise, whatever the window.
    void power(const CosineWindow& w, double lsbVolts, std::vector<double>& s) const {
        const size_t last = n_ / 2;
        if (s.capacity() < last + 1) {
            s.reserve(last + 1);
            AdviseLargePages(s.data(), s.capacity() * sizeof(double));
        }
        s.resize(last + 1);
        double square = w.a[0] * w.a[0];
        for (size_t m = 1; m < w.a.size(); ++m)
            square += w.a[m] * w.a[m] / 2;
        const double scale = lsbVolts * lsbVolts / (double(n_) * double(n_) * square);
        const size_t terms = w.a.size();
        std::array<double, 8> c{};
        for (size_t m = 0; m < terms; ++m)
            c[m] = m == 0 ? w.a[0] : (m % 2 ? -0.5 : 0.5) * w.a[m];
        InTwoHalves(last + 1, ParallelFrom / 2, [&](int, size_t from, size_t to) {
            for (size_t k = from; k < to; ++k) {
                std::complex<double> y = c[0] * fft_->bin(k);
                if (k >= terms && k + terms <= last) {
                    // Away from DC and Nyquist the neighbours are bins of the transform as they
                    // are.
                    for (size_t m = 1; m < terms; ++m)
                        y += c[m] * (fft_->bin(k - m) + fft_->bin(k + m));
                } else {
                    for (size_t m = 1; m < terms; ++m)
                        y += c[m] * (at(long(k) - long(m)) + at(long(k + m)));
                }
                s[k] = std::norm(y) * scale * OneSided(k, n_);
            }
        });
    }

private:
    // Bin k of the two-sided transform, any k.
    std::complex<double> at(long k) const {
        const long n = long(n_);
        k %= n;
        if (k < 0) k += n;
        return k <= n / 2 ? fft_->bin(size_t(k)) : std::conj(fft_->bin(size_t(n - k)));
    }

    size_t n_;
    std::unique_ptr<RealTransform> fft_;
};

// The window a run's tone is measured with, and what it shows.
struct Pick {
    const CosineWindow* window = nullptr;
    std::vector<double> s;
    size_t peak = 0;
    double noiseMean = 0;  // of one bin, from the median
};

// The narrowest window whose side lobes lie 10 dB under the noise in a bin for the largest peak
// (its leakage then shows nowhere); the widest that fits the run when none does. A window that
// leaks shows a peak only as far above the noise as its side lobes let it, so each is judged on
// its own transform.
std::optional<Pick> PickWindow(const RunTransform& run, double lsbVolts) {
    const size_t last = run.size() / 2;
    std::optional<Pick> pick;
    // One power per bin at a time: a wider window replaces the narrower one's.
    for (const CosineWindow* window : {&Hann(), &BlackmanHarris4(), &BlackmanHarris7()}) {
        const size_t lobe = window->lobeBins;
        if (last < 4 * lobe + 2) break;
        if (!pick) pick.emplace();
        Pick& p = *pick;
        p.window = window;
        run.power(*window, lsbVolts, p.s);
        // From two main lobes above DC, so that noise can be seen on both sides of the tone.
        const auto from = p.s.begin() + std::ptrdiff_t(2 * lobe + 2);
        p.peak = size_t(std::max_element(from, p.s.end()) - p.s.begin());
        // One transform: each noise bin's power is exponential, its median ln 2 times its mean.
        p.noiseMean = MedianOfPositive(std::span(p.s).subspan(lobe + 1)) / std::numbers::ln2;
        const double peakOverNoise = p.s[p.peak] / p.noiseMean;
        if (peakOverNoise * window->sideLobe <= SkirtShare) break;
    }
    return pick;
}

// The peak must stand clear of the noise over the band and of the bins as far away on either
// side, so that drift or noise rising towards DC is not taken for a tone.
bool StandsClear(const Pick& p) {
    const size_t lobe = p.window->lobeBins, last = p.s.size() - 1, k0 = p.peak;
    const double clear = std::log(double(last - lobe) / FalseAlarm);
    const size_t reach = std::min(3 * lobe, k0 - lobe - 1);
    std::vector<double> around;
    for (size_t k = k0 - reach; k <= std::min(k0 + reach, last); ++k)
        if (k + lobe < k0 || k > k0 + lobe) around.push_back(p.s[k]);
    const double localMean = Median(std::move(around)) / std::numbers::ln2;
    return p.s[k0] > clear * std::max(p.noiseMean, localMean);
}

// The tone's window and bins, from the whole run's transform, which is gone when this returns.
template <typename Code>
std::optional<Pick> PickFor(std::span<const Code> codes, double lsbVolts, double rateHz,
                            const std::function<void()>& release = {},
                            std::unique_ptr<RealTransform> planned = {}) {
    std::string error;
    if (!CheckRun(codes, lsbVolts, rateHz, error)) return std::nullopt;
    const RunTransform run(codes, release, std::move(planned));
    return PickWindow(run, lsbVolts);
}

std::optional<ToneAnalysis> AnalysePick(const std::optional<Pick>& pick, size_t n, double lsbVolts,
                                        double rateHz) {
    if (!pick || !StandsClear(*pick)) return std::nullopt;
    const std::vector<double>& s = pick->s;
    const CosineWindow& window = *pick->window;
    const size_t last = n / 2, lobe = window.lobeBins, k0 = pick->peak;
    const double binHz = rateHz / double(n);
    // What a bin counts for in the band: DC and Nyquist are half a bin of noise.
    const auto weight = [n](size_t k) { return OneSided(k, n) / 2; };

    // The noise a skirt is measured against: the median's, or the mean outside DC and the tone's
    // main lobe where that is larger (noise that is mostly a few lines has a median near 0).
    double outside = 0, outsideBins = 0;
    for (size_t k = lobe + 1; k <= last; ++k)
        if (k + lobe < k0 || k > k0 + lobe) {
            outside += s[k];
            outsideBins += weight(k);
        }
    const double reference = std::max(pick->noiseMean, outside / std::max(outsideBins, 1.0));

    // Who owns each bin: 0 noise, 1 DC, 2 the tone, h a harmonic (3 to 6 for harmonics 2 to 6).
    std::vector<uint8_t> owner(last + 1, 0);
    std::fill(owner.begin(), owner.begin() + std::ptrdiff_t(lobe + 1), 1);
    const auto claim = [&](size_t centre, double peak, uint8_t who) {
        const size_t half = SkirtBins(window, peak / reference, last);
        for (size_t k = centre - std::min(centre, half); k <= std::min(centre + half, last); ++k)
            if (owner[k] == 0) owner[k] = who;
    };
    claim(k0, s[k0], 2);
    double moment = 0, lobePower = 0;
    for (size_t k = k0 - lobe; k <= std::min(k0 + lobe, last); ++k) {
        moment += s[k] * double(k);
        lobePower += s[k];
    }
    const double toneHz = moment / lobePower * binHz;
    // A harmonic is taken out of the noise only when its peak (the bins next to where it lands)
    // stands clear of the noise, as a tone's must; a harmonic lost in the noise is noise.
    const double harmonicClear = std::log(3 * (HighestHarmonic - 1) / FalseAlarm);
    std::vector<double> harmonicHz;
    for (int h = 2; h <= HighestHarmonic; ++h) {
        // Where harmonic h lands after sampling: folded into 0..rate/2.
        double folded = std::fmod(h * toneHz, rateHz);
        if (folded > rateHz / 2) folded = rateHz - folded;
        harmonicHz.push_back(folded);
        const auto centre = size_t(std::llround(folded / binHz));
        const auto from = s.begin() + std::ptrdiff_t(centre - std::min<size_t>(centre, 1));
        const auto to = s.begin() + std::ptrdiff_t(std::min(centre + 1, last) + 1);
        const double peak = *std::max_element(from, to);
        if (peak > harmonicClear * reference) claim(centre, peak, uint8_t(h + 1));
    }

    // Sums of power and counted weight per owner.
    std::vector<double> sum(HighestHarmonic + 2, 0.0), bins(HighestHarmonic + 2, 0.0);
    for (size_t k = 0; k <= last; ++k) {
        sum[owner[k]] += s[k];
        bins[owner[k]] += weight(k);
    }
    if (!(bins[0] > 0)) return std::nullopt;
    // The mean noise in a bin, and the noise of the whole band at that mean.
    const double perBin = sum[0] / bins[0];
    const double noisePower = perBin * double(n) / 2;
    const double signal = std::max(sum[2] - perBin * bins[2], 0.0);
    if (!(signal >= std::pow(10.0, ToneMarginDb / 10) * perBin)) return std::nullopt;

    ToneAnalysis result;
    result.fundamental = {toneHz, signal};
    double harmonicPower = 0, largestSpur = 0;
    for (int h = 2; h <= HighestHarmonic; ++h) {
        const double excess = sum[size_t(h + 1)] - perBin * bins[size_t(h + 1)];
        if (!(excess > 0)) continue;
        harmonicPower += excess;
        largestSpur = std::max(largestSpur, excess);
        result.harmonics.push_back({harmonicHz[size_t(h - 2)], excess});
    }
    // The largest other component: a harmonic, or any main lobe's worth of noise bins.
    double window2 = 0;
    const auto noiseAt = [&](size_t k) { return owner[k] == 0 ? s[k] : 0.0; };
    for (size_t k = 0; k <= last; ++k) {
        window2 += noiseAt(k);
        if (k >= 2 * lobe + 1) window2 -= noiseAt(k - 2 * lobe - 1);
        largestSpur = std::max(largestSpur, window2);
    }

    Tone& tone = result.tone;
    tone.hz = toneHz;
    tone.uvRms = std::sqrt(signal) * 1e6;
    tone.snrDb = Db(signal / noisePower);
    tone.thdDb =
        harmonicPower > 0 ? Db(harmonicPower / signal) : -std::numeric_limits<double>::infinity();
    tone.sinadDb = Db(signal / (noisePower + harmonicPower));
    tone.sfdrDb = Db(signal / largestSpur);
    tone.enob = (tone.sinadDb - 1.76) / 6.02;
    const double nadCodes = std::sqrt(noisePower + harmonicPower) / lsbVolts;
    tone.enobFullScale = std::log2(FullScaleCodes / (nadCodes * std::sqrt(12.0)));
    result.noiseDensity = noisePower / (rateHz / 2);
    return result;
}

}  // namespace

std::optional<ToneAnalysis> AnalyseTone(std::span<const double> codes, double lsbVolts,
                                        double rateHz) {
    return AnalysePick(PickFor(codes, lsbVolts, rateHz), codes.size(), lsbVolts, rateHz);
}

std::optional<ToneAnalysis> AnalyseTone(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz) {
    return AnalysePick(PickFor(codes, lsbVolts, rateHz), codes.size(), lsbVolts, rateHz);
}

std::optional<ToneAnalysis> AnalyseTone(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz, const std::function<void()>& release,
                                        std::unique_ptr<RealTransform> planned) {
    const size_t n = codes.size();
    return AnalysePick(PickFor(codes, lsbVolts, rateHz, release, std::move(planned)), n, lsbVolts,
                       rateHz);
}

std::unique_ptr<RealTransform> PlanRunTransform(size_t n, bool planNow) {
    // Millions of points: FFTW's threads, and the half-size complex transform, whose plan costs
    // half the time and memory.
    auto transform = std::make_unique<RealTransform>(
        n, n >= ParallelFrom ? 2 : 1,
        n >= LongTransformFrom ? RealTransform::Method::HalfComplex : RealTransform::Method::Real);
    if (planNow) transform->plan();
    return transform;
}

}  // namespace common

std::optional<Tone> ToneFigures(std::span<const double> codes, double lsbVolts, double rateHz) {
    auto analysis = common::AnalyseTone(codes, lsbVolts, rateHz);
    if (!analysis) return std::nullopt;
    return analysis->tone;
}

std::optional<Tone> ToneFigures(std::span<const int32_t> codes, double lsbVolts, double rateHz) {
    auto analysis = common::AnalyseTone(codes, lsbVolts, rateHz);
    if (!analysis) return std::nullopt;
    return analysis->tone;
}

}  // namespace kx::spectrum
