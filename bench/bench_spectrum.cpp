// The noise spectrum of a 1,000,000-code run, the size the command-line tool is measured on
// against scipy.signal.welch (bench/welch_scipy.py): the Welch density alone (default segment,
// 131072 points, 14 segments, Hann), the tone figures (one transform of the whole run, windowed
// in frequency as its peak needs), and everything the tool prints.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "maths/spectrum.h"

namespace {

constexpr size_t Count = 1'000'000;
constexpr double Rate = 4096.0 / 3;  // filter word 3, chopping disabled
constexpr double Lsb = 2.5 * 1.024 * 2 / 16777216;

// Codes around bipolar zero: 16 codes of white noise and a 50 Hz tone of 65 codes RMS.
const std::vector<double>& Codes() {
    static const std::vector<double> codes = [] {
        std::mt19937_64 engine(1);
        std::normal_distribution<double> gauss(0.0, 16.0);
        std::vector<double> c(Count);
        for (size_t i = 0; i < Count; ++i)
            c[i] =
                std::round(8388608.0 + gauss(engine) +
                           std::numbers::sqrt2 * 65 *
                               std::sin(2 * std::numbers::pi * 50 * static_cast<double>(i) / Rate));
        return c;
    }();
    return codes;
}

void BM_WelchDensity(benchmark::State& state) {
    const auto& codes = Codes();
    std::string error;
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::spectrum::WelchDensity(codes, Lsb, Rate, {}, error));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Count));
}
BENCHMARK(BM_WelchDensity)->Unit(benchmark::kMillisecond);

void BM_ToneFigures(benchmark::State& state) {
    const auto& codes = Codes();
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::spectrum::ToneFigures(codes, Lsb, Rate));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Count));
}
BENCHMARK(BM_ToneFigures)->Unit(benchmark::kMillisecond);

void BM_AnalyseSpectrum(benchmark::State& state) {
    const auto& codes = Codes();
    std::string error;
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::spectrum::AnalyseSpectrum(codes, Lsb, Rate, {}, error));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Count));
}
BENCHMARK(BM_AnalyseSpectrum)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
