#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run.h"

// Runs of codes as files: the data file (the program's format), and the capture's CSV and JSON
// forms, which carry the converter's settings (the run's ADC control, mode and filter registers,
// reference and start). Any length. Plain C++.

namespace kx::files {

enum class RunFormat { Dat, Csv, Json };

// What a capture says of how it was taken, as its CSV header line and its JSON name them: range,
// polarity, ref, rate_hz, filter, chop, channel and started (registers the run does not know
// count as 0).
nlohmann::json CaptureSettings(const Run& run);

// The whole text of a run in a format; seconds (from the first conversion) only for CSV. The CSV
// and JSON forms need the run's registers (a capture's).
std::string RunText(RunFormat format, bool hex, const Run& run, const std::vector<double>& seconds);

// The whole of a plain file, or of standard input for "-". False with the reason, naming the
// file; a FIFO or device is refused, since it may never end.
bool ReadInputText(const std::string& path, std::string& text, std::string& why);

// Reads a run from a file, "-" being standard input, in whichever format it is written: JSON when
// it starts with '{', CSV when with "# kx3105 capture" or "index,", else the data file in the form
// `hex` says. A capture gives its ADC control register, reference and rate as it names them; a
// data file only its codes. False with the reason, naming the file.
bool LoadRun(const std::string& path, bool hex, Run& run, std::string& why);

}  // namespace kx::files
