#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run.h"
#include "files/datafile.h"

// Runs of codes as files: the data file (the program's format), and the capture's CSV and JSON
// forms, which carry the converter's settings (the run's ADC control, mode and filter registers,
// reference and start). Any length. Plain C++.

namespace kx::files {

enum class RunFormat { Dat, Csv, Json };

// What a capture says of how it was taken, as its CSV header line and its JSON name them: range,
// polarity, ref, rate_hz, filter, chop, channel and started (registers the run does not know
// count as 0).
nlohmann::json CaptureSettings(const Run& run);

// A run written as it is read, so that a capture of any length holds no more than a buffer: the
// form's head (the CSV header, the JSON's settings) first, each code's line as it comes, the end
// of the form at Finish. The text goes to `sink` in pieces of about 64 KiB; a sink that returns
// false ends the writing (its failure is the sink's to say).
class RunWriter {
public:
    using Sink = std::function<bool(std::string_view text)>;
    // The settings are the run's (registers, reference, start); its codes are not written.
    RunWriter(RunFormat format, bool hex, const Run& settings, Sink sink);
    // One code; `seconds` from the first conversion goes into the CSV form only.
    bool Add(int32_t code, double seconds = 0);
    // The rest of the buffer and the end of the form.
    bool Finish();

private:
    bool Flush();

    RunFormat format_;
    bool hex_;
    Scaling scaling_;
    Sink sink_;
    std::string buffer_;
    std::string tail_;  // what closes the form
    int64_t written_ = 0;
    bool failed_ = false;
};

// The whole text of a run in a format; seconds (from the first conversion) only for CSV. The CSV
// and JSON forms need the run's registers (a capture's).
std::string RunText(RunFormat format, bool hex, const Run& run, const std::vector<double>& seconds);

// The whole of a plain file, or of standard input for "-". False with the reason, naming the
// file; a FIFO or device is refused, since it may never end.
bool ReadInputText(const std::string& path, std::string& text, std::string& why);

// The rates a run may be said to be taken at (--rate, a capture's rate_hz): beyond them the
// figures are only overflow and underflow.
inline constexpr double MinRunRateHz = 1e-3;
inline constexpr double MaxRunRateHz = 1e6;

// Reads a run from a file, "-" being standard input, in whichever format it is written: JSON when
// it starts with '{', CSV when with "# kx3105 capture" or "index,", else the data file in the form
// `hex` says. A capture gives its ADC control register, reference and rate as it names them; a
// data file only its codes. A capture's values are held to the bounds of the options of their
// names, its codes to the converter's (0 to 2^24 - 1, and the time-out marker). False with the
// reason, naming the file and, for a value refused, its line.
bool LoadRun(const std::string& path, bool hex, Run& run, std::string& why);
// The same from the text itself; `name` names it in the reason.
bool RunFromText(const std::string& text, const std::string& name, bool hex, Run& run,
                 std::string& why);

// The same, the codes handed to `onCodes` as they are read rather than kept in `run`: a data file
// of any length is never held whole (a capture is read whole, then handed on). `sizeHint`, when
// given, receives the file's size (0 for standard input).
bool StreamRun(const std::string& path, bool hex, Run& run, const datafile::CodeBatch& onCodes,
               std::string& why, uint64_t* sizeHint = nullptr);

}  // namespace kx::files
