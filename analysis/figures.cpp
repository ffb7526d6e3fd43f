#include "analysis/figures.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "converter/adc_control_fields.h"

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
    // Values later steps compute with: the LSB in double precision.
    const noise::NoiseFigures f = noise::FiguresOf(a.stats, count, Scaling::Of(adcControl, ref));
    return {{"codes", f.codes},
            {"timeouts", a.timeouts},
            {"mean_code", f.meanCode},
            {"rms_codes", f.rmsCodes},
            {"rms_codes_whole", f.rmsCodesWhole},
            {"peak_to_peak_codes", f.peakToPeakCodes},
            {"min_code", f.minCode},
            {"max_code", f.maxCode},
            {"lsb_volts", f.lsbVolts},
            {"rms_volts", f.rmsVolts},
            {"peak_to_peak_volts", f.peakToPeakVolts},
            {"mean_volts", f.meanVolts},
            {"range_volts", f.rangeVolts},
            {"bipolar", f.bipolar},
            {"ref_volts", ref},
            {"effective_resolution_bits", Number(f.effectiveResolutionBits)},
            {"noise_free_bits", Number(f.noiseFreeBits)}};
}

nlohmann::json Analysis(const noise::NoiseAnalysis& a) {
    const int32_t adcControl = a.scaling.rangeCode | (a.scaling.unipolar ? adc::UnipolarBit : 0);
    return {{"labels", AnalysisLabels(a.texts)},
            {"values", AnalysisValues(a, a.codes, adcControl, a.scaling.referenceVolts)}};
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
