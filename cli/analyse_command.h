#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "analysis/noise_stats.h"
#include "files/datafile.h"

// Loading a data file for the analysis, plot and histogram commands, and the analysis output.
// Plain C++.

namespace kx::cli {

// Loads a data file into the shared run as the read-from-file screen does, then applies the
// analysis run-length gate (10 to 5000 codes, with its message). False after a failure, which has
// been reported on `errors` or through kx::ShowMessage.
bool LoadRunForAnalysis(const std::string& path, datafile::Form form, std::ostream& errors);

// The noise analysis of the shared run as the screen computes it, with range and polarity from
// the ADC control byte given, or read from the board when there is none. ReferenceVoltage must
// hold the reference.
noise::NoiseAnalysis AnalyseRun(std::optional<int32_t> adcControl);

// "Caption: text" lines, captions as the screen shows them; the values of the "Results in
// LSB's" frame carry the frame's "Hex" unit caption.
void PrintAnalysis(const noise::NoiseAnalysis& analysis, std::ostream& out);

// One JSON object: the label texts and the data-sheet figures.
void PrintAnalysisJson(const noise::NoiseAnalysis& analysis, std::ostream& out);

}  // namespace kx::cli
