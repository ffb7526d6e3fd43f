#include "live/live_feed.h"

#include <algorithm>
#include <cmath>

namespace kx::live {

double SpanSeconds(Span span) {
    switch (span) {
        case Span::Seconds5:
            return 5;
        case Span::Seconds30:
            return 30;
        case Span::Minutes2:
            return 120;
        case Span::Minutes10:
            return LongestSpanSeconds;
        case Span::All:
            break;
    }
    return 0;
}

const char* SpanName(Span span) {
    static const char* const names[] = {"5 s", "30 s", "2 min", "10 min", "all"};
    return names[static_cast<size_t>(span)];
}

void CodeQueue::push(int32_t code) {
    {
        std::lock_guard lock(mutex_);
        codes_.push_back(code);
    }
    pushed_.fetch_add(1, std::memory_order_relaxed);
}

void CodeQueue::takeAll(std::vector<int32_t>& into) {
    std::lock_guard lock(mutex_);
    into.insert(into.end(), codes_.begin(), codes_.end());
    codes_.clear();
}

void WindowStats::add(int32_t code) {
    if (!haveOrigin_) {
        origin_ = code;
        haveOrigin_ = true;
    }
    const int64_t d = static_cast<int64_t>(code) - origin_;
    ++counts_[code];
    ++count_;
    sum_ += d;
    squares_ += static_cast<__int128>(d) * d;
}

void WindowStats::remove(int32_t code) {
    const auto it = counts_.find(code);
    if (it == counts_.end()) return;
    if (--it->second == 0) counts_.erase(it);
    const int64_t d = static_cast<int64_t>(code) - origin_;
    --count_;
    sum_ -= d;
    squares_ -= static_cast<__int128>(d) * d;
}

noise::NoiseStatistics WindowStats::statistics() const {
    if (count_ == 0) return {};
    const auto n = static_cast<__int128>(count_);
    // n(n-1) var = n sum d^2 - (sum d)^2, exact in integers.
    const __int128 spread = n * squares_ - static_cast<__int128>(sum_) * sum_;
    const double variance = count_ < 2
                                ? 0.0
                                : static_cast<double>(static_cast<long double>(spread) /
                                                      (static_cast<long double>(n) * (count_ - 1)));
    const double mean = origin_ + static_cast<double>(static_cast<long double>(sum_) / count_);
    return noise::StatisticsOf(mean, std::sqrt(std::max(variance, 0.0)), counts_.begin()->first,
                               counts_.rbegin()->first);
}

int SegmentFor(double rateHz) {
    int segment = 64;
    while (segment < 1024 && 2.0 * segment <= rateHz * 0.75)
        segment *= 2;
    return segment;
}

LiveHistory::LiveHistory(double rateHz, double lsbVolts)
    : rate_(rateHz), lsbVolts_(lsbVolts), segment_(SegmentFor(rateHz)) {
    const auto capacity = static_cast<size_t>(std::llround(LongestSpanSeconds * rate_)) + 1;
    // Allocated once: the memory of a read does not grow with its length.
    ring_.resize(capacity);
    blockLow_.resize(capacity / BlockCodes + 2);
    blockHigh_.resize(blockLow_.size());
    long_.reserve(4097);
}

int64_t LiveHistory::limit(Span span) const {
    if (span == Span::All) return INT64_MAX;
    return std::max<int64_t>(1, std::llround(SpanSeconds(span) * rate_));
}

int64_t LiveHistory::windowCount(Span span) const {
    return std::min(total_, limit(span));
}

int32_t LiveHistory::at(int64_t index) const {
    return ring_[static_cast<size_t>(index) % ring_.size()];
}

void LiveHistory::append(std::span<const int32_t> codes) {
    for (const int32_t code : codes) {
        const int64_t i = total_;
        ring_[static_cast<size_t>(i) % ring_.size()] = code;
        const size_t block = static_cast<size_t>(i / BlockCodes) % blockLow_.size();
        if (i % BlockCodes == 0) {
            blockLow_[block] = blockHigh_[block] = code;
        } else {
            blockLow_[block] = std::min(blockLow_[block], code);
            blockHigh_[block] = std::max(blockHigh_[block], code);
        }
        // The whole read in blocks that double when there are too many of them.
        if (i % longSize_ == 0)
            longOpen_ = {code, code};
        else
            longOpen_ = {std::min(longOpen_.low, code), std::max(longOpen_.high, code)};
        if ((i + 1) % longSize_ == 0) {
            long_.push_back(longOpen_);
            if (long_.size() == 4096) {
                for (size_t k = 0; k < 2048; ++k)
                    long_[k] = {std::min(long_[2 * k].low, long_[2 * k + 1].low),
                                std::max(long_[2 * k].high, long_[2 * k + 1].high)};
                long_.resize(2048);
                longSize_ *= 2;
            }
        }
        ++total_;
        for (const Span span : Spans) {
            WindowStats& s = stats_[static_cast<size_t>(span)];
            s.add(code);
            if (total_ > limit(span)) s.remove(at(total_ - 1 - limit(span)));
        }
        const int64_t step = segment_ - segment_ / 2;
        if (total_ >= segment_ && (total_ - segment_) % step == 0) addSegment(total_ - segment_);
    }
}

void LiveHistory::addSegment(int64_t start) {
    std::vector<double> codes(static_cast<size_t>(segment_));
    for (int k = 0; k < segment_; ++k)
        codes[static_cast<size_t>(k)] = at(start + k);
    std::string error;
    const auto d =
        spectrum::WelchDensity(codes, lsbVolts_, rate_, {spectrum::Window::Hann, segment_}, error);
    if (!d) return;
    Segment s{start, {}};
    s.power.reserve(d->nvPerRtHz.size());
    for (const double v : d->nvPerRtHz)
        s.power.push_back(v * v);
    if (allPower_.empty()) allPower_.assign(s.power.size(), 0.0);
    for (size_t k = 0; k < s.power.size(); ++k)
        allPower_[k] += s.power[k];
    ++allSegments_;
    segments_.push_back(std::move(s));
    // Only segments that a window of at most ten minutes can still hold are kept.
    while (!segments_.empty() && segments_.front().start < total_ - limit(Span::Minutes10))
        segments_.pop_front();
}

std::optional<spectrum::Density> LiveHistory::density(Span span) const {
    std::vector<double> power;
    int count = 0;
    if (span == Span::All) {
        power = allPower_;
        count = allSegments_;
    } else {
        const int64_t first = total_ - windowCount(span);
        for (const Segment& s : segments_) {
            if (s.start < first) continue;
            if (power.empty()) power.assign(s.power.size(), 0.0);
            for (size_t k = 0; k < power.size(); ++k)
                power[k] += s.power[k];
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    spectrum::Density d;
    d.rateHz = rate_;
    d.window = spectrum::Window::Hann;
    d.segment = segment_;
    d.segments = count;
    d.binHz = rate_ / segment_;
    d.nvPerRtHz.reserve(power.size());
    for (const double p : power)
        d.nvPerRtHz.push_back(std::sqrt(p / count));
    return d;
}

std::vector<int32_t> LiveHistory::latest(Span span, size_t most) const {
    const int64_t n = std::min<int64_t>(
        {windowCount(span), static_cast<int64_t>(most), static_cast<int64_t>(ring_.size())});
    std::vector<int32_t> codes;
    codes.reserve(static_cast<size_t>(n));
    for (int64_t i = total_ - n; i < total_; ++i)
        codes.push_back(at(i));
    return codes;
}

std::vector<EnvelopePoint> LiveHistory::envelope(Span span, int buckets) const {
    std::vector<EnvelopePoint> points;
    const int64_t n = windowCount(span);
    if (n == 0 || buckets < 1) return points;
    const int64_t last = total_ - 1;
    auto seconds = [&](double index) { return (index - static_cast<double>(last)) / rate_; };
    if (n > static_cast<int64_t>(ring_.size())) {
        // Older than the ring holds: the whole read's blocks, and the one being filled.
        points.reserve(long_.size() + 1);
        for (size_t k = 0; k < long_.size(); ++k)
            points.push_back(
                {seconds((static_cast<double>(k) + 0.5) * longSize_), long_[k].low, long_[k].high});
        if (total_ % longSize_ != 0) points.push_back({0.0, longOpen_.low, longOpen_.high});
        return points;
    }
    const int64_t first = total_ - n;
    if (n <= 2 * static_cast<int64_t>(buckets)) {
        points.reserve(static_cast<size_t>(n));
        for (int64_t i = first; i < total_; ++i)
            points.push_back({seconds(static_cast<double>(i)), at(i), at(i)});
        return points;
    }
    const int64_t size = (n + buckets - 1) / buckets;
    points.reserve(static_cast<size_t>(buckets) + 1);
    for (int64_t s = first; s < total_; s += size) {
        const int64_t e = std::min(total_, s + size);
        int32_t low = at(s), high = at(s);
        int64_t i = s;
        while (i < e) {
            if (i % BlockCodes == 0 && i + BlockCodes <= e) {
                const size_t b = static_cast<size_t>(i / BlockCodes) % blockLow_.size();
                low = std::min(low, blockLow_[b]);
                high = std::max(high, blockHigh_[b]);
                i += BlockCodes;
            } else {
                low = std::min(low, at(i));
                high = std::max(high, at(i));
                ++i;
            }
        }
        points.push_back({seconds(0.5 * static_cast<double>(s + e - 1)), low, high});
    }
    return points;
}

}  // namespace kx::live
