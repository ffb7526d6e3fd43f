#pragma once

#include <cstdint>
#include <span>
#include <string>
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

}  // namespace kx
