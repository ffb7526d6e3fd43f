#include "analysis/histogram.h"

#include <algorithm>
#include <cmath>

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

}  // namespace kx
