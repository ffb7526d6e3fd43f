#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "acquisition/run.h"
#include "maths/statistics.h"

// Noise statistics of a run of codes and every text the noise analysis shows. Plain functions of
// their inputs, so the screen and the command-line tool print the same texts.

namespace kx::noise {

// The texts of every result label. The scaling is the noise analysis's (Scaling::Shown): its LSB
// in single precision, as the labels are figured.
struct NoiseTexts {
    std::string ref;      // RefLabel       "2.50 V"
    std::string lsb;      // LSBLabel       "305.176 nV"
    std::string range;    // RangeLabel     "± 2.56V", "20 mV"
    std::string codes;    // CodesLabel     "5000"
    std::string rmsLsb;   // RMSLabelLSB    "2"       (hex)
    std::string average;  // AverageLabel   "800064"  (hex)
    std::string span;     // SpanLabel      "E"       (hex)
    std::string max;      // MaxLabel               (hex)
    std::string min;      // MinLabel               (hex)
    std::string rms;      // RMSLabel       "610.35 nV"
    std::string pkPk;     // PkPkLabel      "4.272 uV"
    std::string avValue;  // AvValueLabel   "30.518 uV"
};

NoiseTexts NoiseResultTexts(const NoiseStatistics& stats, const Scaling& scaling, size_t codeCount);

// The single label texts, for callers that want one of them. "±" is U+00B1 in UTF-8.
std::string ReferenceText(float referenceVoltage);           // "2.50 V", ".50 V"
std::string RangeText(float inputRange, int16_t polarity);   // "± 1.28V", "640 mV"
std::string LsbText(float lsbVolts);                         // "305.176 nV", "4.883 uV"
std::string RmsText(float lsbVolts, int32_t rmsNoiseCodes);  // "610.35 nV"
std::string PkPkText(int64_t span, double lsbNanovolts);     // "4.272 uV"
std::string AverageValueText(double averageCode, const Scaling& scaling);  // "-30.518 uV"
// The mean in volts as it is, with the LSB in double precision: in the unit of its size, to a
// hundredth of an LSB ("30.631 uV", "1.234567891 V").
std::string ExactMeanText(double averageCode, const Scaling& scaling);

// The figures converter data sheets quote, from the unrounded deviation: the screen shows them
// below the labels above, kx3105-cli --json prints the numbers. Two decimals; "-" where a figure
// does not exist (a run of equal codes).
struct DataSheetTexts {
    std::string rmsCodes;             // "2.49"
    std::string rms;                  // "759.80 nV", in the bands of RMSLabel
    std::string effectiveResolution;  // "22.68" (bits)
    std::string noiseFree;            // "20.19" (bits)
    std::string mean;                 // "30.631 uV": the mean itself, not its whole code below
};
DataSheetTexts DataSheetResultTexts(const NoiseStatistics& stats, const Scaling& scaling);

// The whole analysis of a run's codes, any number of them, scaled as the noise analysis scales:
// the statistics, every label text and the data-sheet figures.
struct NoiseAnalysis {
    NoiseStatistics stats;
    Scaling scaling;
    NoiseTexts texts;
    DataSheetTexts dataSheet;
    uint64_t codes = 0;     // codes the statistics are of
    uint64_t timeouts = 0;  // time-out markers of failed reads left out of them
};
NoiseAnalysis AnalyseRun(std::span<const int32_t> codes, const Scaling& scaling);
// The same of codes gathered in sums, `timeouts` markers having been left out of them.
NoiseAnalysis AnalyseSums(const NoiseSums& sums, const Scaling& scaling, uint64_t timeouts = 0);

// The analysis as numbers in base units, for scripts (kx3105-cli analyse --json, the instrument's
// MEASure:NOISe?): the statistics with the volts of the LSB in double precision
// (`Scaling::Of`), not the rounded one of the labels.
struct NoiseFigures {
    size_t codes = 0;
    double meanCode = 0;
    double rmsCodes = 0;  // sample standard deviation
    int32_t rmsCodesWhole = 0;
    int64_t peakToPeakCodes = 0;
    int32_t minCode = 0;
    int32_t maxCode = 0;
    double lsbVolts = 0;
    double rmsVolts = 0;
    double peakToPeakVolts = 0;
    double meanVolts = 0;
    double rangeVolts = 0;  // what the codes span: 2.56 at 2.5 V, 1.28 at 1.25 V
    bool bipolar = true;
    double refVolts = 0;
    double effectiveResolutionBits = 0;  // NaN for a run that does not vary
    double noiseFreeBits = 0;
};
NoiseFigures FiguresOf(const NoiseStatistics& stats, size_t codes, const Scaling& scaling);

}  // namespace kx::noise

namespace kx {

// What the noise analysis hands the noise plot, the histogram and the spectrum: the run, the
// extremes it found, and the scaling it used (none where no analysis scaled the run).
struct AnalysedRun {
    Run run;
    int32_t minCode = 0;
    int32_t maxCode = 0;
    std::optional<Scaling> scaling;
};

}  // namespace kx
