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
};

// Overlapping Allan deviation of readings taken every tau0 seconds, at the averaging factors
// 1, 2, 4, ... up to a third of the readings:
//   adev(m)^2 = sum over i of (mean of y[i+m .. i+2m-1] - mean of y[i .. i+m-1])^2 / (2 (N-2m+1)).
// White noise of deviation s gives s / sqrt(m). Empty for fewer than three readings.
std::vector<AllanPoint> OverlappingDeviation(std::span<const double> readings, double tau0);

// The drift log, as kx3105-cli log writes it: the header line
//   time,mean_code,volts,rms_codes,status
// then one line per reading, the time in ISO 8601 with milliseconds
// (2026-12-08T01:02:03.456Z), status "ok" or the message of what failed (quoted as CSV when it
// holds a comma or a quote).
inline constexpr const char* DriftLogHeader = "time,mean_code,volts,rms_codes,status";

using Clock = std::chrono::system_clock;

// "YYYY-MM-DDTHH:MM:SS.mmmZ", UTC.
std::string FormatLogTime(Clock::time_point time);
// ISO 8601 date and time: 'T' or a blank between them, seconds with any number of decimals or
// none, then "Z", "+HH:MM", "-HH:MM" or nothing (taken as UTC). nullopt for anything else.
std::optional<Clock::time_point> ParseLogTime(std::string_view text);

struct DriftSeries {
    std::vector<double> volts;    // the ok lines' readings, in file order
    std::vector<double> seconds;  // their times, from the first ok line
    double tau0 = 0;              // the median interval between consecutive lines, all counted
    size_t skipped = 0;           // lines whose status is not ok
};

// Reads a drift log. Lines whose status is not "ok" are skipped (counted), leaving no gap in the
// series; blank lines are ignored, and so is a last line cut short (no line end) that does not
// parse. nullopt, with "line
// N: why" in error, for a missing header, a line that does not parse, times that go backwards or do
// not advance, or fewer than three ok lines.
std::optional<DriftSeries> ParseDriftLog(std::string_view text, std::string& error);

}  // namespace kx::allan
