#include "maths/spectrum.h"

#include "maths/spectrum_common.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <numbers>
#include <numeric>
#include <thread>

namespace kx::spectrum {

namespace {

using namespace common;

// A spur stands at least this far above the local noise (power ratio, 6 dB), however well the
// noise is averaged.
constexpr double SpurMinimumRatio = 4.0;
// The local noise of a bin: the median of this many free bins around it, taken every FloorStep
// free bins.
constexpr size_t FloorSpan = 65;
constexpr size_t FloorStep = 16;

// Degrees of freedom of the Welch average: two per segment, less what overlapping segments share
// (Welch 1967, the correlation of the window with itself shifted by one step).
// The correlation of a window with itself shifted by one step of the segments, as the density
// was made with it. The density, the white level and the spurs ask in turn of the same window:
// it is worked out once.
struct Overlap {
    Window window = Window::Hann;
    size_t n = 0;
    double rho = 0;
};
thread_local Overlap lastOverlap;

double OverlapOf(Window window, size_t n, const std::vector<double>* made = nullptr) {
    if (lastOverlap.n == n && lastOverlap.window == window) return lastOverlap.rho;
    std::vector<double> own;
    const std::vector<double>& w = made ? *made : (own = MakeWindow(WindowOf(window), n));
    const size_t step = n - n / 2;
    double shared = 0, energy = 0;
    for (size_t i = 0; i < n; ++i) {
        energy += w[i] * w[i];
        if (i + step < n) shared += w[i] * w[i + step];
    }
    lastOverlap = {window, n, shared / energy};
    return lastOverlap.rho;
}

double DegreesOfFreedom(const Density& density) {
    const double rho = OverlapOf(density.window, static_cast<size_t>(density.segment));
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

// Which bins of the density a band holds: 0 for none, else the band's number from 1.
std::vector<size_t> BandOf(const Density& density, std::span<const Band> bands) {
    std::vector<size_t> of(density.nvPerRtHz.size(), 0);
    for (size_t b = 0; b < bands.size(); ++b) {
        const double low = std::max(0.0, std::ceil(bands[b].lowHz / density.binHz));
        const double high = std::floor(bands[b].highHz / density.binHz);
        for (auto k = static_cast<size_t>(low); k < of.size() && double(k) <= high; ++k)
            if (of[k] == 0) of[k] = b + 1;
    }
    return of;
}

// The local noise (mean power density) of every bin from `first`: medians of FloorSpan free bins
// around every FloorStep-th free bin, over the median's share of the mean; a bin in a band takes
// the level of the free bin before it (or after, near DC). Empty when no bin is free.
std::vector<double> LocalNoise(const std::vector<double>& p, size_t first,
                               const std::vector<size_t>& band, double medianShare) {
    std::vector<size_t> free;
    for (size_t k = first; k < p.size(); ++k)
        if (band[k] == 0) free.push_back(k);
    if (free.empty()) return {};
    std::vector<double> level(free.size());
    const size_t span = std::min(FloorSpan, free.size());
    // Tens of thousands of medians, each in place, on two threads for a long density.
    const size_t blocks = (free.size() + FloorStep - 1) / FloorStep;
    InTwoHalves(blocks, ParallelFrom / FloorStep / 4, [&](int, size_t fromBlock, size_t toBlock) {
        std::vector<double> values(span);
        const auto middleOf = values.begin() + std::ptrdiff_t(span / 2);
        for (size_t block = fromBlock; block < toBlock; ++block) {
            const size_t centre = block * FloorStep;
            const size_t blockEnd = std::min(centre + FloorStep, free.size()) - 1;
            const size_t middle = (centre + blockEnd) / 2;
            size_t from = middle >= span / 2 ? middle - span / 2 : 0;
            from = std::min(from, free.size() - span);
            for (size_t i = 0; i < span; ++i)
                values[i] = p[free[from + i]];
            std::nth_element(values.begin(), middleOf, values.end());
            std::fill(level.begin() + std::ptrdiff_t(centre),
                      level.begin() + std::ptrdiff_t(blockEnd + 1), *middleOf / medianShare);
        }
    });
    std::vector<double> floor(p.size(), level.front());
    size_t next = 0;
    for (size_t k = first; k < p.size(); ++k) {
        while (next + 1 < free.size() && free[next + 1] <= k)
            ++next;
        floor[k] = level[next];
    }
    return floor;
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

namespace {

template <typename Code>
std::optional<Density> Welch(std::span<const Code> codes, double lsbVolts, double rateHz,
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
    // Segments overlap by half a segment rounded down, as scipy.signal.welch's do.
    const size_t step = n - n / 2;

    Density density;
    density.rateHz = rateHz;
    density.window = options.window;
    density.segment = segment;
    density.segments = static_cast<int>((count - n) / step + 1);
    density.binHz = rateHz / static_cast<double>(n);

    const auto w = MakeWindow(WindowOf(options.window), n);
    const double energy = std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    OverlapOf(options.window, n, &w);
    // The segments in two halves, each summed in a transform of its own on one plan; a long run's
    // halves on two threads.
    const auto segments = static_cast<size_t>(density.segments);
    const auto method =
        LongTransformFrom <= n ? RealTransform::Method::HalfComplex : RealTransform::Method::Real;
    RealTransform first(n, 1, method);
    first.plan();
    std::vector<double> sum(first.bins(), 0.0);
    std::vector<double> secondSum(sum.size(), 0.0);
    InTwoHalves(segments, std::max<size_t>(2, ParallelFrom / n),
                [&](int half, size_t from, size_t to) {
                    if (from == to) return;
                    std::optional<RealTransform> own;
                    RealTransform& fft = half == 0 ? first : own.emplace(n, 1, method);
                    std::vector<double>& total = half == 0 ? sum : secondSum;
                    for (size_t s = from; s < to; ++s) {
                        const Code* x = codes.data() + s * step;
                        const double mean = SumOf(x, n) / static_cast<double>(n);
                        double* in = fft.input();
                        for (size_t i = 0; i < n; ++i)
                            in[i] = (double(x[i]) - mean) * w[i];
                        fft.runWith(first);
                        for (size_t k = 0; k < total.size(); ++k)
                            total[k] += fft.power(k);
                    }
                });
    for (size_t k = 0; k < secondSum.size(); ++k)
        sum[k] += secondSum[k];
    const double scale = lsbVolts * lsbVolts / (rateHz * energy * density.segments);
    density.nvPerRtHz.resize(sum.size());
    for (size_t k = 0; k < sum.size(); ++k)
        density.nvPerRtHz[k] = std::sqrt(sum[k] * scale * OneSided(k, n)) * 1e9;
    return density;
}

}  // namespace

std::optional<Density> WelchDensity(std::span<const double> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error) {
    return Welch(codes, lsbVolts, rateHz, options, error);
}

std::optional<Density> WelchDensity(std::span<const int32_t> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error) {
    return Welch(codes, lsbVolts, rateHz, options, error);
}

std::vector<DensityRow> DensityRows(const Density& density) {
    std::vector<DensityRow> rows;
    rows.reserve(density.nvPerRtHz.size());
    for (size_t k = 0; k < density.nvPerRtHz.size(); ++k)
        rows.push_back({density.hz(k), density.nvPerRtHz[k]});
    return rows;
}

double WhiteLevel(const Density& density, std::span<const Band> leftOut) {
    const size_t first = WindowOf(density.window).lobeBins + 1;
    const auto band = BandOf(density, leftOut);
    std::vector<double> free;
    for (size_t k = first; k < density.nvPerRtHz.size(); ++k)
        if (band[k] == 0) free.push_back(density.nvPerRtHz[k]);
    if (free.empty()) return std::numeric_limits<double>::quiet_NaN();
    // The density is the square root of a power: the median moves with it, its share does not.
    const double share = ChiSquareQuantile(DegreesOfFreedom(density), 0.0);
    return Median(std::move(free)) / std::sqrt(share);
}

std::vector<Spur> LargestSpurs(const Density& density, size_t count, std::span<const Band> bands) {
    const auto p = PowerDensity(density);
    const size_t lobe = WindowOf(density.window).lobeBins;
    const size_t first = lobe + 1;
    if (p.size() <= first + 1) return {};
    const size_t last = p.size() - 1;
    const auto band = BandOf(density, bands);

    const double nu = DegreesOfFreedom(density);
    const double share = ChiSquareQuantile(nu, 0.0);
    const auto noise = LocalNoise(p, first, band, share);
    if (noise.empty()) return {};
    const double bins = static_cast<double>(last - first + 1);
    const double ratio =
        std::max(ChiSquareQuantile(nu, NormalDeviate(FalseAlarm / bins)), SpurMinimumRatio);
    const auto above = [&](size_t k) { return p[k] > ratio * noise[k]; };
    const auto at = [&](size_t bin) { return p.begin() + static_cast<std::ptrdiff_t>(bin); };

    std::vector<Spur> spurs;
    // The power above the noise under bins from..to, and the centre of what is above it.
    const auto add = [&](size_t from, size_t to) {
        double power = 0, positive = 0, moment = 0;
        for (size_t j = from; j <= to; ++j) {
            const double excess = p[j] - noise[j];
            power += excess;
            positive += std::max(excess, 0.0);
            moment += std::max(excess, 0.0) * static_cast<double>(j);
        }
        if (power > 0)
            spurs.push_back(
                {moment / positive * density.binHz, std::sqrt(power * density.binHz) * 1e6});
    };
    size_t k = first;
    while (k <= last) {
        if (band[k] != 0) {
            // A band is one component: one spur when it may be one and stands above the noise.
            size_t end = k;
            while (end + 1 <= last && band[end + 1] == band[k])
                ++end;
            const size_t top =
                static_cast<size_t>(std::max_element(at(k), at(end + 1)) - p.begin());
            if (bands[band[k] - 1].spur && above(top)) add(k, end);
            k = end + 1;
            continue;
        }
        if (!above(k)) {
            ++k;
            continue;
        }
        // Neighbouring bins above the noise, and the lobes at either end, are one spur; bins of
        // a band are not.
        const auto freeUpTo = [&](size_t from, size_t most) {
            size_t to = from;
            while (to + 1 <= std::min(most, last) && band[to + 1] == 0)
                ++to;
            return to;
        };
        size_t end = k;
        while (true) {
            while (end + 1 <= last && band[end + 1] == 0 && above(end + 1))
                ++end;
            const size_t reach = freeUpTo(end, end + 2 * lobe);
            size_t next = end + 1;
            while (next <= reach && !above(next))
                ++next;
            if (next > reach) break;
            end = next;
        }
        size_t from = k;
        while (from > k - lobe && band[from - 1] == 0)
            --from;
        const size_t to = freeUpTo(end, end + lobe);
        // Drift and noise rising towards DC are no spur: the peak must also stand clear of the
        // bins just below its lobe (a spur within two lobes of DC has none to show).
        const size_t below = std::max(lobe, from > 2 * lobe ? from - 2 * lobe : 0);
        const double top = *std::max_element(at(k), at(end + 1));
        if (from > lobe && top > ratio * Median({at(below), at(from)}) / share) add(from, to);
        k = to + 1;
    }
    std::sort(spurs.begin(), spurs.end(),
              [](const Spur& a, const Spur& b) { return a.uvRms > b.uvRms; });
    if (spurs.size() > count) spurs.resize(count);
    return spurs;
}

namespace {

// The bands of the tone and of its harmonics in the density: the main lobe and as far as the
// density window's leakage of each still shows above the noise.
std::vector<Band> ToneBands(const ToneAnalysis& tone, const Density& density) {
    const CosineWindow& window = WindowOf(density.window);
    const double noiseInBin = tone.noiseDensity * density.binHz;
    const auto most = density.nvPerRtHz.size();
    const auto band = [&](const Component& c, bool spur) {
        const double peak = c.power / NoiseBandwidth(window);
        const double half =
            static_cast<double>(SkirtBins(window, peak / noiseInBin, most)) * density.binHz;
        return Band{c.hz - half, c.hz + half, spur};
    };
    std::vector<Band> bands{band(tone.fundamental, false)};
    for (const Component& h : tone.harmonics)
        bands.push_back(band(h, true));
    return bands;
}

// `tone` makes the tone figures of the run once its density is made.
template <typename Code, typename ToneOf>
std::optional<Spectrum> Analyse(std::span<const Code> codes, double lsbVolts, double rateHz,
                                const WelchOptions& options, std::string& error,
                                const ToneOf& toneOf) {
    auto density = WelchDensity(codes, lsbVolts, rateHz, options, error);
    if (!density) return std::nullopt;
    Spectrum spectrum{std::move(*density), {}};
    const auto tone = toneOf();
    const auto bands = tone ? ToneBands(*tone, spectrum.density) : std::vector<Band>{};
    Figures& f = spectrum.figures;
    f.whiteNvPerRtHz = WhiteLevel(spectrum.density, bands);
    // A tone whose leakage covers the whole density: the noise under it is the tone transform's.
    if (std::isnan(f.whiteNvPerRtHz) && tone)
        f.whiteNvPerRtHz = std::sqrt(tone->noiseDensity) * 1e9;
    f.spurs = LargestSpurs(spectrum.density, 5, bands);
    if (tone) f.tone = tone->tone;
    return spectrum;
}

}  // namespace

std::optional<Spectrum> AnalyseSpectrum(std::span<const double> codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error) {
    return Analyse(codes, lsbVolts, rateHz, options, error,
                   [&] { return AnalyseTone(codes, lsbVolts, rateHz); });
}

std::optional<Spectrum> AnalyseSpectrum(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error) {
    return Analyse(codes, lsbVolts, rateHz, options, error,
                   [&] { return AnalyseTone(codes, lsbVolts, rateHz); });
}

std::optional<Spectrum> AnalyseSpectrum(std::vector<int32_t>&& codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error) {
    const std::span<const int32_t> run(codes);
    // A long run's transform is planned while its density is made.
    std::future<std::unique_ptr<RealTransform>> planned;
    if (run.size() >= ParallelFrom && std::thread::hardware_concurrency() > 1)
        planned = std::async(std::launch::async, [n = run.size()] { return PlanRunTransform(n); });
    return Analyse(run, lsbVolts, rateHz, options, error, [&] {
        return AnalyseTone(
            run, lsbVolts, rateHz, [&codes] { std::vector<int32_t>().swap(codes); },
            planned.valid() ? planned.get() : nullptr);
    });
}

}  // namespace kx::spectrum
