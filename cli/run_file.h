#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Runs of codes as files: the data file (the program's format), and the capture's CSV and JSON
// forms, which carry the converter's settings. Any length. Plain C++.

namespace kx::cli {

enum class RunFormat { Dat, Csv, Json };

// What a CSV or JSON capture says about how it was taken.
struct CaptureSettings {
    int32_t mode = 0;
    int32_t adcControl = 0;
    int32_t filter = 0;
    float ref = 2.5f;
    std::string started;  // ISO 8601, UTC
};

// The volts of a code at an ADC control byte and reference: one LSB is
// ref * 1.024 * polarity / (gain * 2^24), and a bipolar code 800000 hex is 0 V.
double CodeVolts(double code, int32_t adcControl, double ref);
double LsbVolts(int32_t adcControl, double ref);

// The whole text of a run in a format; seconds (from the first conversion) only for CSV.
std::string RunText(RunFormat format, bool hex, const std::vector<int32_t>& codes,
                    const std::vector<double>& seconds, const CaptureSettings& settings);

// A run loaded for the analysis or a chart: codes in buffer[1..count].
struct LoadedRun {
    std::vector<double> buffer{0.0};
    int count = 0;
    std::optional<int32_t> adcControl;  // from a CSV or JSON capture
    std::optional<float> ref;
    std::optional<double> rateHz;  // from a CSV or JSON capture taken at a known rate
};

// The whole of a plain file, or of standard input for "-". False with the reason, naming the
// file; a FIFO or device is refused, since it may never end.
bool ReadInputText(const std::string& path, std::string& text, std::string& why);

// Reads a run from a file, "-" being standard input, in whichever format it is written: JSON when
// it starts with '{', CSV when with "# kx3105 capture" or "index,", else the data file in the form
// `hex` says. False with the reason, naming the file.
bool LoadRun(const std::string& path, bool hex, LoadedRun& run, std::string& why);

}  // namespace kx::cli
