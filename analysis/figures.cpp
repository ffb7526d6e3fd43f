#include "analysis/figures.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace kx::figures {

namespace {

nlohmann::json Number(double value) {
    return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

}  // namespace

nlohmann::json AnalysisLabels(const noise::NoiseTexts& t) {
    return {{"ref_voltage", t.ref},  {"lsb_size", t.lsb},           {"input_range", t.range},
            {"codes_read", t.codes}, {"rms_noise_codes", t.rmsLsb}, {"average_code", t.average},
            {"code_span", t.span},   {"max_code", t.max},           {"min_code", t.min},
            {"rms_noise", t.rms},    {"pk_pk_noise", t.pkPk},       {"average_value", t.avValue}};
}

nlohmann::json AnalysisValues(const noise::NoiseAnalysis& a, size_t count, int32_t adcControl,
                              float ref) {
    const noise::NoiseStatistics& s = a.stats;
    // Values later steps compute with: the LSB in double precision.
    const Scaling scaling = Scaling::Of(adcControl, ref);
    const double lsb = scaling.lsbVolts;
    return {{"codes", count},
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
            {"range_volts", scaling.nominalRangeVolts()},
            {"bipolar", !scaling.unipolar},
            {"ref_volts", ref},
            {"effective_resolution_bits", Number(s.effectiveResolutionBits)},
            {"noise_free_bits", Number(s.noiseFreeBits)}};
}

nlohmann::json SpectrumFigures(const spectrum::Spectrum& s) {
    nlohmann::json spurs = nlohmann::json::array();
    for (const auto& spur : s.figures.spurs)
        spurs.push_back({{"hz", spur.hz}, {"uv_rms", spur.uvRms}});
    nlohmann::json tone = nullptr;
    if (const auto& t = s.figures.tone)
        tone = {{"hz", t->hz},
                {"uv_rms", t->uvRms},
                {"snr_db", Number(t->snrDb)},
                {"thd_db", Number(t->thdDb)},
                {"sinad_db", Number(t->sinadDb)},
                {"sfdr_db", Number(t->sfdrDb)},
                {"enob", Number(t->enob)},
                {"enob_full_scale", Number(t->enobFullScale)}};
    return {{"rate_hz", s.density.rateHz},
            {"segment", s.density.segment},
            {"window", spectrum::WindowName(s.density.window)},
            {"white_nsd_nv_per_rthz", Number(s.figures.whiteNvPerRtHz)},
            {"spurs", spurs},
            {"tone", tone}};
}

}  // namespace kx::figures
