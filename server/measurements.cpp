#include "server/measurements.h"

#include <cmath>
#include <limits>

#include "analysis/characterise.h"
#include "analysis/noise_density.h"
#include "analysis/noise_stats.h"
#include "registers/adc_control_fields.h"
#include "server/scpi_values.h"

namespace kx::server {

namespace {

constexpr float ReferenceVolts = 2.5f;

std::string Joined(std::initializer_list<double> values) {
    std::string text;
    for (const double v : values) {
        if (!text.empty()) text += ',';
        text += scpi::FormatNumber(v);
    }
    return text;
}

// PROVISIONAL: until the shared scaling lands below every face.
double LsbVolts(int32_t adcControl) {
    const int gain = adc::RangeGain(adc::RangeCode(adcControl));
    return ReferenceVolts * 1.024 * adc::PolarityOf(adcControl) / (gain * 16777216.0);
}

}  // namespace

std::string NoiseFigures(const std::vector<int32_t>& codes, int32_t adcControl) {
    std::vector<double> buffer(codes.size() + 1, 0.0);
    for (size_t i = 0; i < codes.size(); ++i)
        buffer[i + 1] = codes[i];
    const auto a =
        noise::AnalyseRun(buffer, static_cast<int>(codes.size()), adcControl, ReferenceVolts);
    const noise::NoiseStatistics& s = a.stats;
    const double lsb = LsbVolts(adcControl);
    const double zero = adc::IsUnipolar(adcControl) ? 0.0 : 8388608.0;
    return Joined({static_cast<double>(codes.size()), s.averageCode, s.rmsExactCodes,
                   static_cast<double>(s.span), static_cast<double>(s.minCode),
                   static_cast<double>(s.maxCode), lsb, s.rmsExactCodes * lsb,
                   static_cast<double>(s.span) * lsb, (s.averageCode - zero) * lsb,
                   s.effectiveResolutionBits, s.noiseFreeBits});
}

std::optional<std::string> SpectrumFigures(const std::vector<int32_t>& codes, int32_t adcControl,
                                           int32_t mode, int32_t filter, std::string& why) {
    const auto rate = characterise::UpdateRateOf(mode, filter);
    if (!rate) {
        why = "no update rate for filter word " + std::to_string(filter);
        return std::nullopt;
    }
    std::vector<double> values(codes.begin(), codes.end());
    const auto spectrum = spectrum::AnalyseSpectrum(values, LsbVolts(adcControl), *rate, {}, why);
    if (!spectrum) return std::nullopt;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto& f = spectrum->figures;
    const spectrum::Tone tone = f.tone.value_or(spectrum::Tone{nan, nan, nan, nan, nan, nan, nan});
    return Joined({*rate, f.whiteNvPerRtHz, tone.hz, tone.uvRms, tone.snrDb, tone.thdDb,
                   tone.sinadDb, tone.sfdrDb, tone.enob});
}

}  // namespace kx::server
