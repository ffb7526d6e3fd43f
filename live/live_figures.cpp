#include "live/live_figures.h"

#include <cmath>

#include "core/numtext.h"

namespace kx::live {

std::string VoltsText(double volts) {
    const double m = std::fabs(volts);
    if (m < 1e-6) return FormatPattern(volts * 1e9, "0.000") + " nV";
    if (m < 1e-3) return FormatPattern(volts * 1e6, "0.000") + " uV";
    if (m < 1.0) return FormatPattern(volts * 1e3, "0.000") + " mV";
    return FormatPattern(volts, "0.000") + " V";
}

FigureTexts LiveFigureTexts(const noise::NoiseStatistics& stats, int64_t count,
                            const Scaling& scaling, const std::optional<spectrum::Density>& density,
                            double rateHz) {
    FigureTexts t;
    const std::string none = "-";
    auto bits = [&](double b) { return std::isnan(b) ? none : FormatPattern(b, "0.00") + " bits"; };
    if (count > 0) {
        t.meanCodes = FormatPattern(stats.averageCode, "0.0");
        t.meanVolts = VoltsText(scaling.CodeToVolts(stats.averageCode));
        t.rmsCodes = FormatPattern(stats.rmsExactCodes, "0.00");
        t.rmsVolts = VoltsText(stats.rmsExactCodes * scaling.lsbVolts);
        t.pkPkCodes = std::to_string(stats.span);
        t.pkPkVolts = VoltsText(static_cast<double>(stats.span) * scaling.lsbVolts);
        t.effectiveResolution = bits(stats.effectiveResolutionBits);
        t.noiseFree = bits(stats.noiseFreeBits);
    } else {
        t.meanCodes = t.meanVolts = t.rmsCodes = t.rmsVolts = t.pkPkCodes = t.pkPkVolts = none;
        t.effectiveResolution = t.noiseFree = none;
    }
    t.whiteLevel = none;
    if (density) {
        const double white = spectrum::WhiteLevel(*density);
        if (!std::isnan(white)) t.whiteLevel = FormatPattern(white, "0.0") + " nV/sqrt(Hz)";
    }
    t.codes = std::to_string(count) + " codes, " +
              FormatPattern(rateHz > 0 ? static_cast<double>(count) / rateHz : 0.0, "0.00") +
              " s at " + FormatPattern(rateHz, "0.00") + " Hz";
    return t;
}

}  // namespace kx::live
