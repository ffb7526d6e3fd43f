// Building and first painting of the noise plot and histogram screens for 5000 codes, offscreen:
// a quiet run (span about 20 codes) and a run spread over the whole 24-bit range. The histogram's
// table follows the samples, so the full-span run should cost about what the quiet one does.
// peak_rss_MiB is the process's peak resident set after the benchmark; run one benchmark per
// process (--benchmark_filter) to read it for that case alone.

#include <benchmark/benchmark.h>
#include <qcustomplot.h>
#include <sys/resource.h>

#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <random>

#include "charts/graphform.h"
#include "charts/histform.h"

namespace {

enum Run { Quiet, FullSpan };

kx::AnalysedRun MakeRun(Run kind) {
    std::mt19937 random(5);
    std::normal_distribution<double> quiet(8388708.0, 3.0);
    std::uniform_int_distribution<int> wide(0, 0xFFFFFF);
    kx::AnalysedRun run;
    for (int i = 0; i < 5000; ++i)
        run.run.codes.push_back(kind == Quiet ? static_cast<int32_t>(std::round(quiet(random)))
                                              : wide(random));
    const auto [lowest, highest] = std::minmax_element(run.run.codes.begin(), run.run.codes.end());
    run.minCode = *lowest;
    run.maxCode = *highest;
    run.scaling = kx::Scaling::Shown(0x07, kx::DefaultReferenceVolts);
    return run;
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

template <typename Form>
void BuildAndPaint(benchmark::State& state) {
    const kx::AnalysedRun run = MakeRun(static_cast<Run>(state.range(0)));
    for (auto _ : state) {
        Form form(run);
        form.show();
        // Renders the whole screen, chart included, as the first paint does.
        QPixmap shot = form.grab();
        benchmark::DoNotOptimize(shot);
    }
    state.counters["span"] = run.maxCode - run.minCode;
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_GraphForm(benchmark::State& state) {
    BuildAndPaint<GraphForm>(state);
}
void BM_HistForm(benchmark::State& state) {
    BuildAndPaint<HistForm>(state);
}
BENCHMARK(BM_GraphForm)
    ->ArgName("full_span")
    ->Arg(Quiet)
    ->Arg(FullSpan)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistForm)
    ->ArgName("full_span")
    ->Arg(Quiet)
    ->Arg(FullSpan)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
