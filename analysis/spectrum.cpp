#include "analysis/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <numbers>
#include <numeric>

namespace kx::spectrum {

namespace {

constexpr double TimeoutCode = -2147483648.0;
// Chance that noise alone makes a spur or a tone somewhere in the band.
constexpr double FalseAlarm = 1e-3;
// A spur stands at least this far above the local noise (power ratio, 6 dB), however well the
// noise is averaged.
constexpr double SpurMinimumRatio = 4.0;
// The local noise of a bin: the median of this many bins around it, taken every FloorStep bins.
constexpr size_t FloorSpan = 65;
constexpr size_t FloorStep = 16;

// FFTW's planner is not reentrant; plans, once made, may run anywhere.
std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

// One real-to-complex transform of a fixed size, its buffers aligned as FFTW likes them.
class RealTransform {
public:
    explicit RealTransform(size_t n)
        : n_(n), in_(fftw_alloc_real(n)), out_(fftw_alloc_complex(n / 2 + 1)) {
        std::lock_guard lock(PlannerMutex());
        plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(n), in_, out_, FFTW_ESTIMATE);
    }
    ~RealTransform() {
        std::lock_guard lock(PlannerMutex());
        fftw_destroy_plan(plan_);
        fftw_free(in_);
        fftw_free(out_);
    }
    RealTransform(const RealTransform&) = delete;
    RealTransform& operator=(const RealTransform&) = delete;

    double* input() { return in_; }
    void run() { fftw_execute(plan_); }
    double power(size_t k) const { return out_[k][0] * out_[k][0] + out_[k][1] * out_[k][1]; }
    size_t bins() const { return n_ / 2 + 1; }

private:
    size_t n_;
    double* in_;
    fftw_complex* out_;
    fftw_plan plan_ = nullptr;
};

// Periodic windows, as spectral analysis uses them (the period is n, not n - 1).
std::vector<double> MakeWindow(Window window, size_t n) {
    std::vector<double> w(n);
    const double step = 2.0 * std::numbers::pi / static_cast<double>(n);
    for (size_t i = 0; i < n; ++i) {
        // One cosine per point: cos 2a and cos 3a from cos a.
        const double c = std::cos(step * static_cast<double>(i));
        if (window == Window::Hann)
            w[i] = 0.5 - 0.5 * c;
        else
            w[i] =
                0.35875 - 0.48829 * c + 0.14128 * (2 * c * c - 1) - 0.01168 * c * (4 * c * c - 3);
    }
    return w;
}

// Bins on either side of a peak that still hold its power: the main lobe's half width (2 for
// Hann, 4 for Blackman-Harris) and one more for a frequency between two bins. The same number of
// bins above DC is left out as DC.
size_t LobeBins(Window window) {
    return window == Window::Hann ? 3 : 5;
}

// One-sided: every bin but DC and (for an even length) Nyquist stands for two.
double OneSided(size_t k, size_t n) {
    return (k == 0 || (n % 2 == 0 && k == n / 2)) ? 1.0 : 2.0;
}

bool CheckRun(std::span<const double> codes, double lsbVolts, double rateHz, std::string& error) {
    if (codes.size() < MinCodes) {
        error = "the run holds " + std::to_string(codes.size()) +
                " codes; a spectrum needs at least " + std::to_string(MinCodes);
        return false;
    }
    if (!(rateHz > 0) || !std::isfinite(rateHz)) {
        error = "the update rate must be a positive number of hertz";
        return false;
    }
    if (!(lsbVolts > 0) || !std::isfinite(lsbVolts)) {
        error = "the size of a code step must be a positive number of volts";
        return false;
    }
    if (std::find(codes.begin(), codes.end(), TimeoutCode) != codes.end()) {
        error = "the run holds a failed read (-2147483648)";
        return false;
    }
    return true;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The normal deviate exceeded with chance p (p < 0.5), by bisection of the tail.
double NormalDeviate(double p) {
    double low = 0, high = 40;
    for (int i = 0; i < 100; ++i) {
        const double mid = (low + high) / 2;
        (0.5 * std::erfc(mid / std::numbers::sqrt2) > p ? low : high) = mid;
    }
    return (low + high) / 2;
}

// An averaged periodogram bin over its mean is chi-squared with nu degrees of freedom divided by
// nu; Wilson and Hilferty's cube-root approximation gives its quantiles.
double ChiSquareQuantile(double nu, double z) {
    const double c = 2.0 / (9.0 * nu);
    return std::pow(std::max(1.0 - c + z * std::sqrt(c), 0.0), 3.0);
}

// Degrees of freedom of the Welch average: two per segment, less what half-overlapping segments
// share (Welch 1967, the correlation of the window with itself shifted by half).
double DegreesOfFreedom(const Density& density) {
    const auto n = static_cast<size_t>(density.segment);
    const auto w = MakeWindow(density.window, n);
    const size_t step = n / 2;
    double shared = 0, energy = 0;
    for (size_t i = 0; i < n; ++i) {
        energy += w[i] * w[i];
        if (i + step < n) shared += w[i] * w[i + step];
    }
    const double rho = shared / energy;
    const double k = density.segments;
    return 2.0 * k / (1.0 + 2.0 * rho * rho * (k - 1.0) / k);
}

std::vector<double> PowerDensity(const Density& density) {
    std::vector<double> p(density.nvPerRtHz.size());
    std::transform(density.nvPerRtHz.begin(), density.nvPerRtHz.end(), p.begin(), [](double nv) {
        const double v = nv * 1e-9;
        return v * v;
    });
    return p;
}

// The local noise (mean power density) of bins first..last: medians of FloorSpan bins around
// every FloorStep-th bin, kept inside the band, over the median's share of the mean.
std::vector<double> LocalNoise(const std::vector<double>& p, size_t first, size_t last,
                               double medianShare) {
    std::vector<double> floor(p.size(), 0.0);
    const size_t bins = last - first + 1;
    const size_t span = std::min(FloorSpan, bins);
    for (size_t centre = first; centre <= last; centre += FloorStep) {
        const size_t blockEnd = std::min(centre + FloorStep - 1, last);
        const size_t middle = (centre + blockEnd) / 2;
        size_t from = middle >= first + span / 2 ? middle - span / 2 : first;
        from = std::min(from, last + 1 - span);
        const double level = Median({p.begin() + static_cast<std::ptrdiff_t>(from),
                                     p.begin() + static_cast<std::ptrdiff_t>(from + span)}) /
                             medianShare;
        std::fill(floor.begin() + static_cast<std::ptrdiff_t>(centre),
                  floor.begin() + static_cast<std::ptrdiff_t>(blockEnd + 1), level);
    }
    std::fill(floor.begin(), floor.begin() + static_cast<std::ptrdiff_t>(first), floor[first]);
    return floor;
}

double Db(double ratio) {
    return 10.0 * std::log10(ratio);
}

}  // namespace

std::optional<Window> ParseWindow(std::string_view name) {
    if (name == "hann") return Window::Hann;
    if (name == "blackman-harris") return Window::BlackmanHarris;
    return std::nullopt;
}

std::string WindowName(Window window) {
    return window == Window::Hann ? "hann" : "blackman-harris";
}

int DefaultSegment(size_t count) {
    size_t segment = 64;
    while (segment * 2 <= count / 4)
        segment *= 2;
    return static_cast<int>(std::min<size_t>(segment, std::numeric_limits<int>::max()));
}

std::optional<Density> WelchDensity(std::span<const double> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error) {
    if (!CheckRun(codes, lsbVolts, rateHz, error)) return std::nullopt;
    const size_t count = codes.size();
    const int segment = options.segment > 0 ? options.segment : DefaultSegment(count);
    if (segment < MinSegment || static_cast<size_t>(segment) > count) {
        error = "the segment must be " + std::to_string(MinSegment) + " to " +
                std::to_string(count) + " points";
        return std::nullopt;
    }
    const auto n = static_cast<size_t>(segment);
    const size_t step = n / 2;

    Density density;
    density.rateHz = rateHz;
    density.window = options.window;
    density.segment = segment;
    density.segments = static_cast<int>((count - n) / step + 1);
    density.binHz = rateHz / static_cast<double>(n);

    const auto w = MakeWindow(options.window, n);
    const double energy = std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    RealTransform fft(n);
    std::vector<double> sum(fft.bins(), 0.0);
    for (int s = 0; s < density.segments; ++s) {
        const double* x = codes.data() + static_cast<size_t>(s) * step;
        const double mean = std::accumulate(x, x + n, 0.0) / static_cast<double>(n);
        double* in = fft.input();
        for (size_t i = 0; i < n; ++i)
            in[i] = (x[i] - mean) * w[i];
        fft.run();
        for (size_t k = 0; k < sum.size(); ++k)
            sum[k] += fft.power(k);
    }
    const double scale = lsbVolts * lsbVolts / (rateHz * energy * density.segments);
    density.nvPerRtHz.resize(sum.size());
    for (size_t k = 0; k < sum.size(); ++k)
        density.nvPerRtHz[k] = std::sqrt(sum[k] * scale * OneSided(k, n)) * 1e9;
    return density;
}

std::vector<DensityRow> DensityRows(const Density& density) {
    std::vector<DensityRow> rows;
    rows.reserve(density.nvPerRtHz.size());
    for (size_t k = 0; k < density.nvPerRtHz.size(); ++k)
        rows.push_back({density.hz(k), density.nvPerRtHz[k]});
    return rows;
}

double WhiteLevel(const Density& density) {
    const size_t first = LobeBins(density.window) + 1;
    if (density.nvPerRtHz.size() <= first) return 0;
    const double median = Median(
        {density.nvPerRtHz.begin() + static_cast<std::ptrdiff_t>(first), density.nvPerRtHz.end()});
    // The density is the square root of a power: the median moves with it, its share does not.
    const double share = ChiSquareQuantile(DegreesOfFreedom(density), 0.0);
    return median / std::sqrt(share);
}

std::vector<Spur> LargestSpurs(const Density& density, size_t count) {
    const auto p = PowerDensity(density);
    const size_t lobe = LobeBins(density.window);
    const size_t first = lobe + 1;
    if (p.size() <= first + 1) return {};
    const size_t last = p.size() - 1;

    const double nu = DegreesOfFreedom(density);
    const double share = ChiSquareQuantile(nu, 0.0);
    const auto noise = LocalNoise(p, first, last, share);
    const double bins = static_cast<double>(last - first + 1);
    const double ratio =
        std::max(ChiSquareQuantile(nu, NormalDeviate(FalseAlarm / bins)), SpurMinimumRatio);

    std::vector<Spur> spurs;
    size_t k = first;
    while (k <= last) {
        if (!(p[k] > ratio * noise[k])) {
            ++k;
            continue;
        }
        // Neighbouring bins above the noise, and the lobes at either end, are one spur.
        size_t end = k;
        while (true) {
            while (end + 1 <= last && p[end + 1] > ratio * noise[end + 1])
                ++end;
            size_t next = end + 1;
            while (next <= std::min(end + 2 * lobe, last) && !(p[next] > ratio * noise[next]))
                ++next;
            if (next > std::min(end + 2 * lobe, last)) break;
            end = next;
        }
        const size_t from = k - lobe;
        const size_t to = std::min(end + lobe, last);
        // Drift and noise rising towards DC are no spur: the peak must also stand clear of the
        // bins just below its lobe (a spur within two lobes of DC has none to show).
        const auto at = [&](size_t bin) { return p.begin() + static_cast<std::ptrdiff_t>(bin); };
        const size_t below = std::max(lobe, from > 2 * lobe ? from - 2 * lobe : 0);
        const double top = *std::max_element(at(k), at(end + 1));
        if (from <= lobe || !(top > ratio * Median({at(below), at(from)}) / share)) {
            k = to + 1;
            continue;
        }
        double power = 0, above = 0, moment = 0;
        for (size_t j = from; j <= to; ++j) {
            const double excess = p[j] - noise[j];
            power += excess;
            above += std::max(excess, 0.0);
            moment += std::max(excess, 0.0) * static_cast<double>(j);
        }
        if (power > 0)
            spurs.push_back(
                {moment / above * density.binHz, std::sqrt(power * density.binHz) * 1e6});
        k = to + 1;
    }
    std::sort(spurs.begin(), spurs.end(),
              [](const Spur& a, const Spur& b) { return a.uvRms > b.uvRms; });
    if (spurs.size() > count) spurs.resize(count);
    return spurs;
}

std::optional<Tone> ToneFigures(std::span<const double> codes, double lsbVolts, double rateHz) {
    std::string error;
    if (!CheckRun(codes, lsbVolts, rateHz, error)) return std::nullopt;
    const size_t n = codes.size();
    const size_t lobe = LobeBins(Window::BlackmanHarris);
    const size_t last = n / 2;
    if (last < 4 * lobe + 2) return std::nullopt;

    const auto w = MakeWindow(Window::BlackmanHarris, n);
    const double energy = std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    const double mean = std::accumulate(codes.begin(), codes.end(), 0.0) / static_cast<double>(n);
    RealTransform fft(n);
    for (size_t i = 0; i < n; ++i)
        fft.input()[i] = (codes[i] - mean) * w[i];
    fft.run();
    // Power per bin in V^2: a sine's bins add up to its mean square.
    const double scale = lsbVolts * lsbVolts / (static_cast<double>(n) * energy);
    std::vector<double> s(last + 1);
    for (size_t k = 0; k <= last; ++k)
        s[k] = fft.power(k) * scale * OneSided(k, n);

    // The tone is looked for from two main lobes above DC, so that noise can be seen on both
    // sides of it.
    const size_t lowest = 2 * lobe + 2;
    const auto peak = std::max_element(s.begin() + static_cast<std::ptrdiff_t>(lowest), s.end());
    const auto k0 = static_cast<size_t>(peak - s.begin());
    // One transform: each noise bin's power is exponential, its median ln 2 times its mean. The
    // peak must stand clear of the noise over the band and of the bins as far away on either
    // side, so that drift or noise rising towards DC is not taken for a tone.
    const double clear = std::log(static_cast<double>(last - lobe) / FalseAlarm);
    const double noiseMean =
        Median({s.begin() + static_cast<std::ptrdiff_t>(lobe + 1), s.end()}) / std::numbers::ln2;
    const size_t reach = std::min(3 * lobe, k0 - lobe - 1);
    std::vector<double> around;
    for (size_t k = k0 - reach; k <= std::min(k0 + reach, last); ++k)
        if (k + lobe < k0 || k > k0 + lobe) around.push_back(s[k]);
    const double localMean = Median(std::move(around)) / std::numbers::ln2;
    if (!(*peak > clear * std::max(noiseMean, localMean))) return std::nullopt;

    enum Kind : uint8_t { Noise, Dc, Fundamental, Harmonic };
    std::vector<uint8_t> kind(last + 1, Noise);
    std::fill(kind.begin(), kind.begin() + static_cast<std::ptrdiff_t>(lobe + 1), Dc);
    double tonePower = 0, moment = 0;
    size_t toneBins = 0;
    for (size_t k = k0 - std::min(k0, lobe); k <= std::min(k0 + lobe, last); ++k) {
        if (kind[k] != Noise) continue;
        kind[k] = Fundamental;
        tonePower += s[k];
        moment += s[k] * static_cast<double>(k);
        ++toneBins;
    }
    const double binHz = rateHz / static_cast<double>(n);
    const double toneHz = moment / tonePower * binHz;

    double harmonicPower = 0, largestHarmonic = 0;
    for (int h = 2; h <= 6; ++h) {
        // Where harmonic h lands after sampling: folded into 0..rate/2.
        double folded = std::fmod(h * toneHz, rateHz);
        if (folded > rateHz / 2) folded = rateHz - folded;
        const auto centre = static_cast<size_t>(std::llround(folded / binHz));
        double power = 0;
        for (size_t k = centre - std::min(centre, lobe); k <= std::min(centre + lobe, last); ++k) {
            if (kind[k] != Noise) continue;
            kind[k] = Harmonic;
            power += s[k];
        }
        harmonicPower += power;
        largestHarmonic = std::max(largestHarmonic, power);
    }

    double noiseSum = 0;
    size_t noiseBins = 0;
    for (size_t k = 0; k <= last; ++k)
        if (kind[k] == Noise) {
            noiseSum += s[k];
            ++noiseBins;
        }
    if (noiseBins == 0) return std::nullopt;
    const double perBin = noiseSum / static_cast<double>(noiseBins);
    const double noisePower = noiseSum + perBin * static_cast<double>(toneBins);
    const double signal =
        std::max(tonePower - perBin * static_cast<double>(toneBins), tonePower * 1e-12);

    // The largest other component: a harmonic, or any lobe's worth of noise bins.
    double largestSpur = largestHarmonic;
    double window = 0;
    auto noiseAt = [&](size_t k) { return kind[k] == Noise ? s[k] : 0.0; };
    for (size_t k = 0; k <= last; ++k) {
        window += noiseAt(k);
        if (k >= 2 * lobe + 1) window -= noiseAt(k - 2 * lobe - 1);
        largestSpur = std::max(largestSpur, window);
    }

    Tone tone;
    tone.hz = toneHz;
    tone.uvRms = std::sqrt(signal) * 1e6;
    tone.snrDb = Db(signal / noisePower);
    tone.thdDb =
        harmonicPower > 0 ? Db(harmonicPower / signal) : -std::numeric_limits<double>::infinity();
    tone.sinadDb = Db(signal / (noisePower + harmonicPower));
    tone.sfdrDb = Db(signal / largestSpur);
    tone.enob = (tone.sinadDb - 1.76) / 6.02;
    return tone;
}

std::optional<Spectrum> AnalyseSpectrum(std::span<const double> codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error) {
    auto density = WelchDensity(codes, lsbVolts, rateHz, options, error);
    if (!density) return std::nullopt;
    Spectrum spectrum{std::move(*density), {}};
    spectrum.figures.whiteNvPerRtHz = WhiteLevel(spectrum.density);
    spectrum.figures.spurs = LargestSpurs(spectrum.density);
    spectrum.figures.tone = ToneFigures(codes, lsbVolts, rateHz);
    return spectrum;
}

}  // namespace kx::spectrum
