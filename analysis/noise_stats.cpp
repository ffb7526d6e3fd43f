#include "analysis/noise_stats.h"

#include <algorithm>
#include <cmath>

#include "board/registers.h"
#include "board/serial.h"
#include "converter/adc_control_fields.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/numtext.h"

namespace kx::noise {

namespace {

constexpr double TwoTo23 = 8388608.0;
constexpr double TwoTo24 = 16777216.0;
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

NoiseStatistics ComputeNoiseStatistics(const std::vector<double>& buffer, int count) {
    NoiseStatistics s;
    // Only whole elements of the buffer are read, whatever the count says.
    count = std::min(count, static_cast<int>(buffer.size()) - 1);
    if (count < 1) return s;
    // Codes as the nearest 32-bit integer; values beyond it (only from a damaged file) clamp.
    s.maxCode = RoundHalfEven(buffer[1]);
    s.minCode = s.maxCode;
    double sum = 0;
    for (int i = 1; i <= count; ++i) {
        const double x = buffer[static_cast<size_t>(i)];
        if (x > s.maxCode) s.maxCode = RoundHalfEven(x);
        if (x < s.minCode) s.minCode = RoundHalfEven(x);
        sum += x;
    }
    // The sum in double precision: a single-precision running sum of 5000 mid-scale codes loses
    // whole codes once it passes 2^24.
    s.averageCode = sum / count;
    double squares = 0;
    for (int i = 1; i <= count; ++i) {
        const double d = buffer[static_cast<size_t>(i)] - s.averageCode;
        squares += d * d;
    }
    s.rmsExactCodes = count < 2 ? 0.0 : std::sqrt(squares / (count - 1));
    s.rmsNoiseCodes = RoundHalfEven(s.rmsExactCodes);
    s.span = static_cast<int64_t>(s.maxCode) - s.minCode;
    s.effectiveResolutionBits =
        s.rmsExactCodes > 0 ? std::log2(TwoTo24 / s.rmsExactCodes) : std::nan("");
    s.noiseFreeBits = s.span > 0 ? std::log2(TwoTo24 / static_cast<double>(s.span)) : std::nan("");
    return s;
}

Scaling ScalingFor(int rangeCode, int16_t polarity, float referenceVoltage) {
    Scaling s;
    s.inputRange = adc::RangeVolts(rangeCode);
    s.rangeGain = static_cast<int16_t>(adc::RangeGain(rangeCode));
    s.polarity = polarity;
    s.lsbVolts = static_cast<float>(static_cast<double>(referenceVoltage) * 1.024 * polarity /
                                    (s.rangeGain * TwoTo24));
    s.lsbNanovolts = static_cast<double>(s.lsbVolts) * 1e9;
    return s;
}

std::string ReferenceText(float referenceVoltage) {
    return FormatPattern(referenceVoltage, "##.00") + " V";
}

std::string RangeText(float inputRange, int16_t polarity) {
    const std::string prefix = polarity == 1 ? "" : PlusMinus;
    if (inputRange == 1.28f) return prefix + "1.28V";
    if (inputRange == 2.56f) return prefix + "2.56V";
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

std::string AverageValueText(double averageCode, int16_t polarity, double lsbNanovolts) {
    double codes = std::floor(averageCode);
    if (polarity == 2) codes -= TwoTo23;
    const auto a = static_cast<float>(codes * lsbNanovolts);
    return InBands(a, "00.000", "00.000", "0.000", "0.000");
}

DataSheetTexts DataSheetResultTexts(const NoiseStatistics& stats, const Scaling& scaling) {
    const auto twoDecimals = [](double value) {
        return std::isfinite(value) ? FormatPattern(value, "0.00") : std::string("-");
    };
    DataSheetTexts t;
    t.rmsCodes = twoDecimals(stats.rmsExactCodes);
    const auto r =
        static_cast<float>(static_cast<double>(scaling.lsbVolts) * stats.rmsExactCodes * 1e9);
    t.rms = InBands(r, "0.00", "0.00", "0.00", "0.00");
    t.effectiveResolution = twoDecimals(stats.effectiveResolutionBits);
    t.noiseFree = twoDecimals(stats.noiseFreeBits);
    return t;
}

NoiseTexts NoiseResultTexts(const NoiseStatistics& stats, const Scaling& scaling,
                            float referenceVoltage, int codeCount) {
    NoiseTexts t;
    t.ref = ReferenceText(referenceVoltage);
    t.lsb = LsbText(scaling.lsbVolts);
    t.range = RangeText(scaling.inputRange, scaling.polarity);
    t.codes = std::to_string(codeCount);
    t.rmsLsb = Hex(stats.rmsNoiseCodes);
    t.average = Hex(RoundHalfEven(stats.averageCode));
    t.span = Hex(stats.span);
    t.max = Hex(stats.maxCode);
    t.min = Hex(stats.minCode);
    t.rms = RmsText(scaling.lsbVolts, stats.rmsNoiseCodes);
    t.pkPk = PkPkText(stats.span, scaling.lsbNanovolts);
    t.avValue = AverageValueText(stats.averageCode, scaling.polarity, scaling.lsbNanovolts);
    return t;
}

NoiseAnalysis AnalyseSharedRun() {
    WriteSerial(RegisterMap::AdcControl.readByte, PortAddress, 8);
    return AnalyseSharedRun(ReadSerial(8, PortAddress) & 0xFF);
}

NoiseAnalysis AnalyseSharedRun(int32_t adcControl) {
    NoiseAnalysis a;
    a.adcControl = adcControl;
    const int rangeCode = adc::RangeCode(a.adcControl);
    InputRange = adc::RangeVolts(rangeCode);
    Polarity = adc::PolarityOf(a.adcControl);

    a.stats = ComputeNoiseStatistics(SampleBuffer, CodeCount);
    MaxCode = a.stats.maxCode;
    MinCode = a.stats.minCode;
    a.scaling = ScalingFor(rangeCode, Polarity, ReferenceVoltage);
    a.texts = NoiseResultTexts(a.stats, a.scaling, ReferenceVoltage, CodeCount);
    a.dataSheet = DataSheetResultTexts(a.stats, a.scaling);
    return a;
}

NoiseAnalysis AnalyseRun(const std::vector<double>& buffer, int count, int32_t adcControl,
                         float referenceVoltage) {
    NoiseAnalysis a;
    a.adcControl = adcControl;
    const int rangeCode = adc::RangeCode(adcControl);
    a.stats = ComputeNoiseStatistics(buffer, count);
    a.scaling = ScalingFor(rangeCode, adc::PolarityOf(adcControl), referenceVoltage);
    a.texts = NoiseResultTexts(a.stats, a.scaling, referenceVoltage, count);
    return a;
}

}  // namespace kx::noise
