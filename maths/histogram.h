#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The histogram of a run, counted in one pass into a table of the codes that occur: its size
// follows the number of samples, never the span between the smallest and largest code, so a run
// over the whole 24-bit range (or one holding the time-out marker) costs no more than a quiet one.

namespace kx {

struct CodeHistogram {
    int32_t minCode = 0;  // the bins run from minCode to maxCode, one per code
    int32_t maxCode = 0;
    std::vector<int32_t> codes;  // the codes that occur, ascending
    std::vector<int> counts;     // occurrences of codes[i]
    int peak = 0;                // the largest count

    // Number of bins, maxCode - minCode + 1 (0 when the range is empty).
    int64_t BinCount() const;
    // Occurrences of a code; 0 for a code inside the range that no sample hits, and outside it.
    int CountOf(int64_t code) const;
};

// Counts the samples that equal a whole code from minCode to maxCode exactly; fractions,
// non-finite values and codes outside the range fall in no bin.
CodeHistogram CountCodes(std::span<const double> codes, int32_t minCode, int32_t maxCode);

// The bins a chart draws: `width` codes each (a power of two), aligned on multiples of the
// width, so bin k holds the codes k x width to (k + 1) x width - 1. Width 1 is one bin per code
// from minCode to maxCode, as the table itself. Only bins that hold a sample are listed.
struct BinnedHistogram {
    int64_t width = 1;
    int64_t firstCode = 0;        // the first code of minCode's bin
    int64_t lastCode = -1;        // the last code of maxCode's bin
    std::vector<int64_t> starts;  // the first code of each bin that holds a sample, ascending
    std::vector<int> counts;      // samples in starts[i]'s bin
    int peak = 0;                 // the largest count

    // Bins from firstCode to lastCode, empty ones included.
    int64_t BinCount() const;
    // The first code of the bin that holds `code`.
    int64_t BinStart(int64_t code) const;
    // Samples in the bin that holds `code`; 0 outside the bins.
    int CountAt(int64_t code) const;
};

// One bin per code while the span fits MaxAutoBins bins (the chart as it always was); beyond
// that the smallest power of two that brings the bins within MaxAutoBins.
inline constexpr int64_t MaxAutoBins = 500;
int64_t AutoBinWidth(int32_t minCode, int32_t maxCode);
// Largest bin width a user may ask for: the converter's whole code range in one bin.
inline constexpr int64_t MaxBinWidth = int64_t{1} << 24;

// The table's codes gathered into bins of `width` (a power of two; anything else is taken as 1).
BinnedHistogram GroupBins(const CodeHistogram& histogram, int64_t width);

// A bin width as typed: "auto" (any case, the default) gives 0, a power of two from 1 to
// MaxBinWidth itself; anything else nullopt.
std::optional<int64_t> ParseBinWidth(std::string_view text);

// The counts a normal distribution of the run's mean and standard deviation puts into bins of
// `width` codes, as (code, count) points from `from` to `to`; none when the deviation is 0.
std::vector<std::pair<double, double>> GaussianCounts(double mean, double deviation, size_t samples,
                                                      int64_t width, double from, double to,
                                                      int points = 400);

// One axis of a chart in plot units.
struct AxisRange {
    double lower = 0;
    double upper = 0;
    bool operator==(const AxisRange&) const = default;
};

// The code axis of the noise plot: exactly minCode to maxCode; when all codes are equal, half a
// code either side, so the flat line shows inside the plot and the only whole tick is the code.
AxisRange NoisePlotCodeRange(int32_t minCode, int32_t maxCode);
// The read-number axis: exactly 1 to count.
AxisRange NoisePlotReadRange(int count);
// The histogram's code axis: the bins minCode to maxCode drawn whole (half a bin beyond each end).
AxisRange HistogramCodeRange(int32_t minCode, int32_t maxCode);
// The histogram's count axis: 0 to the peak (0 to 1 for an empty table).
AxisRange HistogramCountRange(const CodeHistogram& histogram);
// The same for bins: every bin drawn whole, counts from 0 to the peak.
AxisRange BinnedCodeRange(const BinnedHistogram& bins);
AxisRange BinnedCountRange(const BinnedHistogram& bins);

// The cursor snaps to the nearest sample: the read number (1..count) nearest to x, and the bin
// code (minCode..maxCode) nearest to x.
int NearestReadNumber(double x, int count);
int64_t NearestCode(double x, int32_t minCode, int32_t maxCode);

// The data as text for a report: tab-separated, a heading line, then one line per row, each
// ending in a line feed. The noise plot gives read number and code; the histogram gives code and
// occurrences, every bin while there are at most HistogramTextAllBinsLimit of them, else only the
// codes that occur (a full-span run would otherwise give 16 million lines of zeros).
inline constexpr int64_t HistogramTextAllBinsLimit = 65536;
std::string NoisePlotText(std::span<const double> codes);
std::string HistogramText(const CodeHistogram& histogram);
// Bins wider than one code: the first and last code of each bin that holds a sample, and its
// count.
std::string BinnedText(const BinnedHistogram& bins);

}  // namespace kx
