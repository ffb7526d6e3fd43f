#include "analysis/noise_stats.h"

#include "acquisition/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "board/registers.h"
#include "board/serial.h"
#include "converter/adc_control_fields.h"
#include "core/hex.h"
#include "core/numtext.h"

namespace kx::noise {

namespace {

constexpr const char* PlusMinus = "\u00B1 ";

// Nanovolts in the band of their magnitude; `patterns` per band nV, uV, mV, V. Values of 10^9 nV
// or more have no band of their own on the screen: they show in volts rather than not at all.
std::string InBands(float nanovolts, const char* nv, const char* uv, const char* mv,
                    const char* v) {
    const float m = std::fabs(nanovolts);
    if (m < 1000.0f) return FormatPattern(nanovolts, nv) + " nV";
    if (m < 1e6f) return FormatPattern(nanovolts / 1000.0, uv) + " uV";
    if (m < 1e9f) return FormatPattern(nanovolts / 1e6, mv) + " mV";
    return FormatPattern(nanovolts / 1e9, v) + " V";
}

}  // namespace

std::string ExactMeanText(double averageCode, const Scaling& scaling) {
    const Scaling exact =
        Scaling::Of(scaling.rangeCode | (scaling.unipolar ? 0x08 : 0), scaling.referenceVolts);
    const double volts = exact.CodeToVolts(averageCode);
    const double size = std::fabs(volts);
    const auto [unit, name] = size < 1e-6   ? std::pair{1e-9, " nV"}
                              : size < 1e-3 ? std::pair{1e-6, " uV"}
                              : size < 1    ? std::pair{1e-3, " mV"}
                                            : std::pair{1.0, " V"};
    const double hundredth = exact.lsbVolts / 100 / unit;
    const int decimals =
        hundredth > 0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(hundredth))), 3, 9) : 3;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, volts / unit);
    return text + std::string(name);
}

std::string ReferenceText(float referenceVoltage) {
    return FormatPattern(referenceVoltage, "##.00") + " V";
}

std::string RangeText(float inputRange, int16_t polarity) {
    const std::string prefix = polarity == 1 ? "" : PlusMinus;
    // The ranges of a volt and more by their names, no blank before the V.
    for (int code = 0; code < RangeCount; ++code)
        if (adc::NominalRangeVolts(code) >= 1 && inputRange == adc::RangeVolts(code))
            return prefix + RangeName(code);
    return prefix + ShortestFloat(inputRange * 1000.0f) + " mV";
}

std::string LsbText(float lsbVolts) {
    // Exactly 1 uV belongs to no band of the original screen; it reads best as "1. uV".
    if (std::fabs(lsbVolts) >= 1e-6f) return FormatPattern(lsbVolts * 1e6, "0.###") + " uV";
    return FormatPattern(lsbVolts * 1e9, "0.###") + " nV";
}

std::string RmsText(float lsbVolts, int32_t rmsNoiseCodes) {
    const auto r = static_cast<float>(static_cast<double>(lsbVolts) * rmsNoiseCodes * 1e9);
    return InBands(r, "0.00", "0.00", "0.00", "0.00");
}

std::string PkPkText(int64_t span, double lsbNanovolts) {
    const auto k = static_cast<float>(static_cast<double>(span) * lsbNanovolts);
    return InBands(k, "0.000", "0.000", "0.000", "0.000");
}

std::string AverageValueText(double averageCode, const Scaling& scaling) {
    // The whole code below the mean, as the screen has always scaled it.
    const auto a = static_cast<float>(scaling.CodeToVolts(std::floor(averageCode)) * 1e9);
    return InBands(a, "00.000", "00.000", "0.000", "0.000");
}

DataSheetTexts DataSheetResultTexts(const NoiseStatistics& stats, const Scaling& scaling) {
    const auto twoDecimals = [](double value) {
        return std::isfinite(value) ? FormatPattern(value, "0.00") : std::string("-");
    };
    DataSheetTexts t;
    t.rmsCodes = twoDecimals(stats.rmsExactCodes);
    const auto r = static_cast<float>(scaling.lsbVolts * stats.rmsExactCodes * 1e9);
    t.rms = InBands(r, "0.00", "0.00", "0.00", "0.00");
    t.effectiveResolution = twoDecimals(stats.effectiveResolutionBits);
    t.noiseFree = twoDecimals(stats.noiseFreeBits);
    t.mean = ExactMeanText(stats.averageCode, scaling);
    return t;
}

NoiseTexts NoiseResultTexts(const NoiseStatistics& stats, const Scaling& scaling,
                            size_t codeCount) {
    const auto lsb = static_cast<float>(scaling.lsbVolts);
    NoiseTexts t;
    t.ref = ReferenceText(scaling.referenceVolts);
    t.lsb = LsbText(lsb);
    t.range = RangeText(scaling.inputRange(), scaling.polarity());
    t.codes = std::to_string(codeCount);
    t.rmsLsb = Hex(stats.rmsNoiseCodes);
    t.average = Hex(RoundHalfEven(stats.averageCode));
    t.span = Hex(stats.span);
    t.max = Hex(stats.maxCode);
    t.min = Hex(stats.minCode);
    t.rms = RmsText(lsb, stats.rmsNoiseCodes);
    t.pkPk = PkPkText(stats.span, scaling.lsbVolts * 1e9);
    t.avValue = AverageValueText(stats.averageCode, scaling);
    return t;
}

NoiseFigures FiguresOf(const NoiseStatistics& s, size_t codes, const Scaling& scaling) {
    NoiseFigures f;
    const double lsb = scaling.lsbVolts;
    f.codes = codes;
    f.meanCode = s.averageCode;
    f.rmsCodes = s.rmsExactCodes;
    f.rmsCodesWhole = s.rmsNoiseCodes;
    f.peakToPeakCodes = s.span;
    f.minCode = s.minCode;
    f.maxCode = s.maxCode;
    f.lsbVolts = lsb;
    f.rmsVolts = s.rmsExactCodes * lsb;
    f.peakToPeakVolts = static_cast<double>(s.span) * lsb;
    f.meanVolts = scaling.CodeToVolts(s.averageCode);
    // What the codes span: the nominal range at the default reference, scaled with the reference.
    f.rangeVolts =
        scaling.nominalRangeVolts() * (double(scaling.referenceVolts) / DefaultReferenceVolts);
    f.bipolar = !scaling.unipolar;
    f.refVolts = scaling.referenceVolts;
    f.effectiveResolutionBits = s.effectiveResolutionBits;
    f.noiseFreeBits = s.noiseFreeBits;
    return f;
}

namespace {

NoiseAnalysis Analysis(const NoiseStatistics& stats, uint64_t codes, const Scaling& scaling) {
    NoiseAnalysis a;
    a.stats = stats;
    a.scaling = scaling;
    a.codes = codes;
    a.texts = NoiseResultTexts(a.stats, scaling, codes);
    a.dataSheet = DataSheetResultTexts(a.stats, scaling);
    return a;
}

}  // namespace

NoiseAnalysis AnalyseRun(std::span<const int32_t> codes, const Scaling& scaling) {
    return Analysis(ComputeNoiseStatistics(codes), codes.size(), scaling);
}

NoiseAnalysis AnalyseSums(const NoiseSums& sums, const Scaling& scaling, uint64_t timeouts) {
    NoiseAnalysis a = Analysis(sums.Statistics(), sums.count(), scaling);
    a.timeouts = timeouts;
    return a;
}

}  // namespace kx::noise
