#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/run.h"
#include "analysis/noise_stats.h"
#include "maths/spectrum.h"

// The running figures of the live view's window, as text: mean, RMS and peak-to-peak noise in
// codes and volts, effective resolution and noise-free bits, the white level of the density, and
// how many codes the window holds. Plain C++.

namespace kx::live {

struct FigureTexts {
    std::string meanCodes, meanVolts;  // "8388708.4", "30.552 uV"
    std::string rmsCodes, rmsVolts;    // "2.49", "759.80 nV"
    std::string pkPkCodes, pkPkVolts;  // "14", "4.272 uV"
    std::string effectiveResolution;   // "22.68 bits"
    std::string noiseFree;             // "20.19 bits"
    std::string whiteLevel;            // "20.3 nV/sqrt(Hz)"
    std::string codes;                 // "40960 codes, 30.00 s at 1365.33 Hz"
};

// Volts in the unit their size calls for, three decimals: "-30.518 uV", "1.250 V".
std::string VoltsText(double volts);

// `count` codes at `rateHz`; no density yet leaves the white level "-", as a figure that does not
// exist (a window of equal codes has no effective resolution).
FigureTexts LiveFigureTexts(const noise::NoiseStatistics& stats, int64_t count,
                            const Scaling& scaling, const std::optional<spectrum::Density>& density,
                            double rateHz);

}  // namespace kx::live
