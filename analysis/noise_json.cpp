#include <cmath>
#include <nlohmann/json.hpp>

#include "analysis/noise_stats.h"
#include "converter/adc_control_fields.h"

namespace kx::noise {

namespace {

nlohmann::json Number(double value) {
    return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

}  // namespace

std::string AnalysisJson(const NoiseAnalysis& a) {
    const NoiseStatistics& s = a.stats;
    const NoiseTexts& t = a.texts;
    const nlohmann::json labels = {
        {"ref_voltage", t.ref},  {"lsb_size", t.lsb},           {"input_range", t.range},
        {"codes_read", t.codes}, {"rms_noise_codes", t.rmsLsb}, {"average_code", t.average},
        {"code_span", t.span},   {"max_code", t.max},           {"min_code", t.min},
        {"rms_noise", t.rms},    {"pk_pk_noise", t.pkPk},       {"average_value", t.avValue}};
    // Values later steps compute with: the LSB in double precision.
    const float ref = a.scaling.referenceVolts;
    const Scaling scaling =
        Scaling::Of(a.scaling.rangeCode | (a.scaling.unipolar ? adc::UnipolarBit : 0), ref);
    const double lsb = scaling.lsbVolts;
    // The range follows the reference: the nominal one at the default reference.
    const double range = scaling.nominalRangeVolts() * (double(ref) / DefaultReferenceVolts);
    const nlohmann::json values = {{"codes", a.codes},
                                   {"timeouts", a.timeouts},
                                   {"mean_code", s.averageCode},
                                   {"rms_codes", s.rmsExactCodes},
                                   {"rms_codes_whole", s.rmsNoiseCodes},
                                   {"peak_to_peak_codes", s.span},
                                   {"min_code", s.minCode},
                                   {"max_code", s.maxCode},
                                   {"lsb_volts", lsb},
                                   {"rms_volts", s.rmsExactCodes * lsb},
                                   {"peak_to_peak_volts", static_cast<double>(s.span) * lsb},
                                   {"mean_volts", scaling.CodeToVolts(s.averageCode)},
                                   {"range_volts", range},
                                   {"bipolar", !scaling.unipolar},
                                   {"ref_volts", ref},
                                   {"effective_resolution_bits", Number(s.effectiveResolutionBits)},
                                   {"noise_free_bits", Number(s.noiseFreeBits)}};
    return nlohmann::json{{"labels", labels}, {"values", values}}.dump(2) + "\n";
}

}  // namespace kx::noise
