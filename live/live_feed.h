#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/noise_stats.h"
#include "maths/spectrum.h"

// What the live view keeps of a continuous read, in plain C++: the codes handed from the board's
// worker to the window's thread, the last ten minutes of them, and for each window of the strip
// chart (5 s ... all) the statistics, the count of each code and the averaged noise density,
// all kept up to date as codes come and go, so a redraw costs the same whatever the window.
// Memory is fixed by the update rate: ten minutes of codes, and summaries for the rest.

namespace kx::live {

enum class Span { Seconds5, Seconds30, Minutes2, Minutes10, All };
inline constexpr std::array<Span, 5> Spans{Span::Seconds5, Span::Seconds30, Span::Minutes2,
                                           Span::Minutes10, Span::All};
// 5, 30, 120, 600; 0 for all.
double SpanSeconds(Span span);
// "5 s", "30 s", "2 min", "10 min", "all"
const char* SpanName(Span span);
inline constexpr double LongestSpanSeconds = 600;

// The codes on their way from the worker to the window's thread. The worker pushes each code as
// it is read; the window takes what has come at each redraw. Any thread may read `pushed`.
class CodeQueue {
public:
    void push(int32_t code);
    // Appends every code waiting to `into` and empties the queue.
    void takeAll(std::vector<int32_t>& into);
    uint64_t pushed() const { return pushed_.load(std::memory_order_relaxed); }

private:
    std::mutex mutex_;
    std::vector<int32_t> codes_;
    std::atomic<uint64_t> pushed_{0};
};

// The statistics of a window as codes enter and leave it: exact integer sums of each code's
// distance from the first one seen (no rounding creeps in however long it runs), and how often
// each code occurs (the histogram, and the extremes).
class WindowStats {
public:
    void add(int32_t code);
    void remove(int32_t code);
    int64_t count() const { return count_; }
    // Mean, sample deviation, extremes, effective resolution and noise-free bits; all zero
    // without codes.
    noise::NoiseStatistics statistics() const;
    const std::map<int32_t, int64_t>& counts() const { return counts_; }

private:
    std::map<int32_t, int64_t> counts_;
    int64_t count_ = 0;
    bool haveOrigin_ = false;
    int32_t origin_ = 0;
    int64_t sum_ = 0;
    __int128 squares_ = 0;
};

// One bucket of the strip chart: the lowest and highest code at `seconds` before the latest code.
struct EnvelopePoint {
    double seconds = 0;  // 0 for the latest code, negative before it
    int32_t low = 0;
    int32_t high = 0;
};

// The points a segment of the density is made of: a power of two near three quarters of a second
// of codes, 64 to 1024, so that the density follows the signal at every rate.
int SegmentFor(double rateHz);

class LiveHistory {
public:
    // A read at `rateHz`, its codes `lsbVolts` apart (for the density in volts).
    LiveHistory(double rateHz, double lsbVolts);

    void append(std::span<const int32_t> codes);

    double rateHz() const { return rate_; }
    int64_t total() const { return total_; }
    // Codes in a window: its seconds at the rate, or every code for all.
    int64_t windowCount(Span span) const;
    const WindowStats& stats(Span span) const { return stats_[static_cast<size_t>(span)]; }
    // The latest codes of a window, at most `most` of them, oldest first.
    std::vector<int32_t> latest(Span span, size_t most) const;
    // The window in at most about 2 x `buckets` points: every code while they are few, else the
    // extremes of each bucket.
    std::vector<EnvelopePoint> envelope(Span span, int buckets) const;
    // The average of the density segments that lie wholly in the window (Welch's method over the
    // window, segments counted from the first code); nullopt before the first segment is whole.
    std::optional<spectrum::Density> density(Span span) const;
    int segment() const { return segment_; }

private:
    int32_t at(int64_t index) const;
    int64_t limit(Span span) const;
    void addSegment(int64_t start);

    double rate_;
    double lsbVolts_;
    std::vector<int32_t> ring_;
    int64_t total_ = 0;
    std::array<WindowStats, Spans.size()> stats_;

    // Extremes of blocks of BlockCodes codes, block b holding codes b x BlockCodes onwards, kept
    // for the codes in the ring; and for the whole read, blocks that double in size as it grows.
    static constexpr int BlockCodes = 64;
    std::vector<int32_t> blockLow_, blockHigh_;
    struct LongBlock {
        int32_t low, high;
    };
    std::vector<LongBlock> long_;
    int64_t longSize_ = BlockCodes;  // codes per long block
    LongBlock longOpen_{0, 0};       // the block being filled

    // The density: each segment's one-sided power density, V^2/Hz x 1e18 (nV^2/Hz).
    int segment_;
    struct Segment {
        int64_t start;
        std::vector<double> power;
    };
    std::deque<Segment> segments_;
    std::vector<double> allPower_;
    int allSegments_ = 0;
};

}  // namespace kx::live
