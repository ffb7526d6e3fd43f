#include "maths/histogram.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "core/numtext.h"

namespace kx {

int64_t CodeHistogram::BinCount() const {
    return maxCode < minCode ? 0 : int64_t{maxCode} - minCode + 1;
}

int CodeHistogram::CountOf(int64_t code) const {
    if (code < minCode || code > maxCode) return 0;
    const auto it = std::lower_bound(codes.begin(), codes.end(), code);
    return it != codes.end() && *it == code ? counts[static_cast<size_t>(it - codes.begin())] : 0;
}

CodeHistogram CountCodes(std::span<const double> codes, int32_t minCode, int32_t maxCode) {
    CodeHistogram h;
    h.minCode = minCode;
    h.maxCode = maxCode;
    std::vector<int32_t> hits;
    hits.reserve(codes.size());
    for (const double x : codes) {
        // A bin holds the samples equal to its code exactly; NaN fails both comparisons.
        if (x >= minCode && x <= maxCode && x == std::floor(x))
            hits.push_back(static_cast<int32_t>(x));
    }
    // Sorted, equal codes stand together: one row per run of them.
    std::sort(hits.begin(), hits.end());
    for (auto it = hits.begin(); it != hits.end();) {
        const auto end = std::upper_bound(it, hits.end(), *it);
        const int n = static_cast<int>(end - it);
        h.codes.push_back(*it);
        h.counts.push_back(n);
        h.peak = std::max(h.peak, n);
        it = end;
    }
    return h;
}

namespace {

bool PowerOfTwo(int64_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// Rounds down to a multiple of the width, negative codes (the time-out marker) included.
int64_t FloorTo(int64_t code, int64_t width) {
    int64_t q = code / width;
    if (code % width != 0 && code < 0) --q;
    return q * width;
}

}  // namespace

int64_t BinnedHistogram::BinCount() const {
    return lastCode < firstCode ? 0 : (lastCode - firstCode + 1) / width;
}

int64_t BinnedHistogram::BinStart(int64_t code) const {
    return width == 1 ? code : FloorTo(code, width);
}

int BinnedHistogram::CountAt(int64_t code) const {
    if (code < firstCode || code > lastCode) return 0;
    const int64_t start = BinStart(code);
    const auto it = std::lower_bound(starts.begin(), starts.end(), start);
    return it != starts.end() && *it == start ? counts[static_cast<size_t>(it - starts.begin())]
                                              : 0;
}

int64_t AutoBinWidth(int32_t minCode, int32_t maxCode) {
    const int64_t span = int64_t{std::max(minCode, maxCode)} - std::min(minCode, maxCode) + 1;
    if (span <= MaxAutoBins) return 1;
    // Aligned bins may take one more than the span divides into.
    int64_t width = 2;
    while ((span + width - 1) / width + 1 > MaxAutoBins)
        width *= 2;
    return width;
}

BinnedHistogram GroupBins(const CodeHistogram& histogram, int64_t width) {
    BinnedHistogram bins;
    bins.width = PowerOfTwo(width) ? width : 1;
    if (histogram.maxCode < histogram.minCode) return bins;
    bins.firstCode = bins.BinStart(histogram.minCode);
    bins.lastCode = bins.BinStart(histogram.maxCode) + bins.width - 1;
    for (size_t i = 0; i < histogram.codes.size(); ++i) {
        const int64_t start = bins.BinStart(histogram.codes[i]);
        if (bins.starts.empty() || bins.starts.back() != start) {
            bins.starts.push_back(start);
            bins.counts.push_back(0);
        }
        bins.counts.back() += histogram.counts[i];
        bins.peak = std::max(bins.peak, bins.counts.back());
    }
    return bins;
}

std::optional<int64_t> ParseBinWidth(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "auto") return 0;
    if (lower.empty() || lower.size() > 9 ||
        lower.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int64_t width = std::stoll(lower);
    if (!PowerOfTwo(width) || width > MaxBinWidth) return std::nullopt;
    return width;
}

std::vector<std::pair<double, double>> GaussianCounts(double mean, double deviation, size_t samples,
                                                      int64_t width, double from, double to,
                                                      int points) {
    std::vector<std::pair<double, double>> curve;
    if (!(deviation > 0) || !std::isfinite(mean) || !(to > from) || points < 2) return curve;
    // Expected samples per bin: the density at the code times the bin's width in codes.
    const double scale = static_cast<double>(samples) * static_cast<double>(width) /
                         (deviation * std::sqrt(2 * std::numbers::pi));
    for (int i = 0; i < points; ++i) {
        const double x = from + (to - from) * i / (points - 1);
        const double z = (x - mean) / deviation;
        curve.emplace_back(x, scale * std::exp(-0.5 * z * z));
    }
    return curve;
}

AxisRange NoisePlotCodeRange(int32_t minCode, int32_t maxCode) {
    const double lower = std::min(minCode, maxCode);
    const double upper = std::max(minCode, maxCode);
    if (lower == upper) return {lower - 0.5, upper + 0.5};
    return {lower, upper};
}

AxisRange NoisePlotReadRange(int count) {
    return {1.0, static_cast<double>(std::max(count, 2))};
}

AxisRange HistogramCodeRange(int32_t minCode, int32_t maxCode) {
    return {std::min(minCode, maxCode) - 0.5, std::max(minCode, maxCode) + 0.5};
}

AxisRange HistogramCountRange(const CodeHistogram& histogram) {
    return {0.0, static_cast<double>(std::max(histogram.peak, 1))};
}

AxisRange BinnedCodeRange(const BinnedHistogram& bins) {
    return {static_cast<double>(bins.firstCode) - 0.5, static_cast<double>(bins.lastCode) + 0.5};
}

AxisRange BinnedCountRange(const BinnedHistogram& bins) {
    return {0.0, static_cast<double>(std::max(bins.peak, 1))};
}

int NearestReadNumber(double x, int count) {
    if (count < 1 || std::isnan(x)) return 1;
    return static_cast<int>(std::lround(std::clamp(x, 1.0, static_cast<double>(count))));
}

int64_t NearestCode(double x, int32_t minCode, int32_t maxCode) {
    if (std::isnan(x) || maxCode < minCode) return minCode;
    return std::llround(std::clamp(x, static_cast<double>(minCode), static_cast<double>(maxCode)));
}

std::string NoisePlotText(std::span<const double> codes) {
    std::string text = "Read No.\tCode\n";
    for (size_t i = 0; i < codes.size(); ++i) {
        text += std::to_string(i + 1);
        text += '\t';
        text += FormatGeneral(codes[i]);
        text += '\n';
    }
    return text;
}

std::string HistogramText(const CodeHistogram& histogram) {
    std::string text = "Code\tOccurence\n";
    auto row = [&text](int64_t code, int n) {
        text += std::to_string(code);
        text += '\t';
        text += std::to_string(n);
        text += '\n';
    };
    if (histogram.BinCount() <= HistogramTextAllBinsLimit) {
        size_t next = 0;
        for (int64_t code = histogram.minCode; code <= histogram.maxCode; ++code) {
            const bool hit = next < histogram.codes.size() && histogram.codes[next] == code;
            row(code, hit ? histogram.counts[next++] : 0);
        }
    } else {
        for (size_t i = 0; i < histogram.codes.size(); ++i)
            row(histogram.codes[i], histogram.counts[i]);
    }
    return text;
}

std::string BinnedText(const BinnedHistogram& bins) {
    std::string text = "Code from\tCode to\tOccurence\n";
    for (size_t i = 0; i < bins.starts.size(); ++i) {
        text += std::to_string(bins.starts[i]);
        text += '\t';
        text += std::to_string(bins.starts[i] + bins.width - 1);
        text += '\t';
        text += std::to_string(bins.counts[i]);
        text += '\n';
    }
    return text;
}

}  // namespace kx
