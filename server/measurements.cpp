#include "server/measurements.h"

#include <cmath>
#include <limits>

#include "acquisition/run.h"
#include "analysis/noise_stats.h"
#include "maths/spectrum.h"
#include "server/scpi_values.h"

namespace kx::server {

namespace {

std::string Joined(std::initializer_list<double> values) {
    std::string text;
    for (const double v : values) {
        if (!text.empty()) text += ',';
        text += scpi::FormatNumber(v);
    }
    return text;
}

}  // namespace

std::string NoiseFigures(const Run& run) {
    // As kx3105-cli analyse: the statistics of the noise analysis, the figures in double
    // precision.
    const int32_t adcControl = run.adcControl.value_or(PowerOnAdcControl);
    const auto a = noise::AnalyseRun(run.codes, Scaling::Shown(adcControl, run.referenceVolts));
    const noise::NoiseFigures f =
        noise::FiguresOf(a.stats, run.codes.size(), Scaling::Of(adcControl, run.referenceVolts));
    return Joined({static_cast<double>(f.codes), f.meanCode, f.rmsCodes,
                   static_cast<double>(f.peakToPeakCodes), static_cast<double>(f.minCode),
                   static_cast<double>(f.maxCode), f.lsbVolts, f.rmsVolts, f.peakToPeakVolts,
                   f.meanVolts, f.effectiveResolutionBits, f.noiseFreeBits});
}

std::optional<std::string> SpectrumFigures(const Run& run, std::string& why) {
    const auto rate = run.rateHz;
    if (!rate) {
        why = "no update rate for filter word " + std::to_string(run.filter.value_or(0));
        return std::nullopt;
    }
    // As kx3105-cli spectrum: the LSB in double precision, Welch's defaults.
    const double lsb =
        Scaling::Of(run.adcControl.value_or(PowerOnAdcControl), run.referenceVolts).lsbVolts;
    const auto spectrum = spectrum::AnalyseSpectrum(CodesAsDoubles(run.codes), lsb, *rate, {}, why);
    if (!spectrum) return std::nullopt;
    // A figure that does not exist (no tone; THD where no harmonic stands clear of the noise) is
    // not a number, where kx3105-cli spectrum --json writes null.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto figure = [&](double v) { return std::isfinite(v) ? v : nan; };
    const auto& f = spectrum->figures;
    const spectrum::Tone tone =
        f.tone.value_or(spectrum::Tone{nan, nan, nan, nan, nan, nan, nan, nan});
    return Joined({*rate, f.whiteNvPerRtHz, figure(tone.hz), figure(tone.uvRms), figure(tone.snrDb),
                   figure(tone.thdDb), figure(tone.sinadDb), figure(tone.sfdrDb), figure(tone.enob),
                   figure(tone.enobFullScale)});
}

}  // namespace kx::server
