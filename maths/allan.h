#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The overlapping Allan deviation of a series of readings, and the drift log it is read from.
// Plain C++, no Qt.

namespace kx::allan {

struct AllanPoint {
    int factor = 0;         // averaging factor m: readings per average
    double tauSeconds = 0;  // m * tau0
    double deviation = 0;   // in the unit of the readings
    size_t terms = 0;       // differences of adjacent averages that went into it
};

// Overlapping Allan deviation of readings taken every tau0 seconds, NaN for a reading missing
// from the clock, at the averaging factors 1, 2, 4, ...:
//   adev(m)^2 = sum over i of (mean of y[i+m .. i+2m-1] - mean of y[i .. i+m-1])^2 / (2 terms),
// a term skipped when any reading in it is missing, as gap-aware tools do. A factor is given
// while it has at least m + 1 terms (for a log without gaps: up to a third of the readings).
// White noise of deviation s gives s / sqrt(m).
std::vector<AllanPoint> OverlappingDeviation(std::span<const double> readings, double tau0);

// The drift log, as kx3105-cli log writes it: the header line
//   time,mean_code,volts,rms_codes,status
// then one line per reading, the time in ISO 8601 with milliseconds
// (2026-12-08T01:02:03.456Z), status "ok" or the message of what failed (quoted as CSV when it
// holds a comma or a quote).
inline constexpr const char* DriftLogHeader = "time,mean_code,volts,rms_codes,status";

// A reading's volts lie within the span of the widest range (2.56 V at a 2.5 V reference) at the
// highest reference the converter's 5 V supply allows.
inline constexpr double MaxReadingVolts = 5.12;

using Clock = std::chrono::system_clock;
// A log's time: microseconds hold every four-digit year, where the clock's nanoseconds end in 2262.
using LogTime = std::chrono::sys_time<std::chrono::microseconds>;

// "YYYY-MM-DDTHH:MM:SS.mmmZ", UTC.
std::string FormatLogTime(LogTime time);
std::string FormatLogTime(Clock::time_point time);
// ISO 8601 date and time, years 0000 to 9999: 'T' or a blank between them, seconds with any
// number of decimals (to the microsecond) or none, then "Z", "+HH:MM", "-HH:MM" or nothing (taken
// as UTC). nullopt for anything else.
std::optional<LogTime> ParseLogTime(std::string_view text);

struct DriftSeries {
    // One reading per interval of the log's clock, from the first line's: NaN where there is no
    // ok reading (a failed line, or no line at all).
    std::vector<double> volts;
    double tau0 = 0;      // the interval: the mean step of about one interval
    size_t readings = 0;  // ok readings placed
    size_t failed = 0;    // lines whose status is not ok
    size_t gaps = 0;      // stretches of the clock with no line
    size_t missing = 0;   // intervals in those stretches
};

// Reads a drift log and places each line on its clock: a line goes in the interval after the
// previous line's, or as many intervals on as the time between them says (rounded, half down),
// so that lines the log lacks leave gaps rather than joining what is around them. Blank lines are
// ignored, and so is a last line cut short (no line end) that does not parse. nullopt, with
// "line N: why" in error, for a missing header, a line that does not parse, volts beyond
// MaxReadingVolts, times that go backwards, an interval that changes part way (the median step of
// the eight steps after a line against the eight before differs by more than a quarter), or
// fewer than three ok lines.
std::optional<DriftSeries> ParseDriftLog(std::string_view text, std::string& error);

}  // namespace kx::allan
