#include "maths/allan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kx::allan {

namespace {

using namespace std::chrono;

// Exactly `digits` decimal digits at text[at...]; advances at.
std::optional<int> Digits(std::string_view text, size_t& at, size_t digits) {
    if (at + digits > text.size()) return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    at += digits;
    return value;
}

bool Expect(std::string_view text, size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The status field: everything after the fourth comma, unquoted when it is a quoted CSV field.
std::optional<std::string> Status(std::string_view field) {
    if (field.empty() || field.front() != '"') return std::string(field);
    if (field.size() < 2 || field.back() != '"') return std::nullopt;
    std::string text;
    for (size_t i = 1; i + 1 < field.size(); ++i) {
        text += field[i];
        if (field[i] == '"') {
            if (i + 2 >= field.size() || field[i + 1] != '"') return std::nullopt;
            ++i;
        }
    }
    return text;
}

}  // namespace

std::vector<AllanPoint> OverlappingDeviation(std::span<const double> readings, double tau0) {
    const size_t n = readings.size();
    std::vector<AllanPoint> points;
    // Running sums make each average a difference of two sums, and running counts of missing
    // readings say whether a term holds one; taken about the first reading so that a large
    // offset (codes near mid-scale) costs no precision.
    const auto first =
        std::find_if(readings.begin(), readings.end(), [](double y) { return !std::isnan(y); });
    if (first == readings.end()) return points;
    const double origin = *first;
    std::vector<double> sums(n + 1, 0.0);
    std::vector<size_t> missing(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const bool gap = std::isnan(readings[i]);
        sums[i + 1] = sums[i] + (gap ? 0.0 : readings[i] - origin);
        missing[i + 1] = missing[i] + (gap ? 1 : 0);
    }
    for (size_t m = 1; 3 * m <= n; m *= 2) {
        double total = 0;
        size_t terms = 0;
        for (size_t i = 0; i + 2 * m <= n; ++i) {
            if (missing[i + 2 * m] != missing[i]) continue;
            const double d = (sums[i + 2 * m] - 2 * sums[i + m] + sums[i]) / static_cast<double>(m);
            total += d * d;
            ++terms;
        }
        if (terms < m + 1) break;
        points.push_back({static_cast<int>(m), static_cast<double>(m) * tau0,
                          std::sqrt(total / (2.0 * static_cast<double>(terms))), terms});
    }
    return points;
}

std::string FormatLogTime(LogTime time) {
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()),
                  int(clock.subseconds().count()));
    return text;
}

std::string FormatLogTime(Clock::time_point time) {
    return FormatLogTime(floor<microseconds>(time));
}

std::optional<LogTime> ParseLogTime(std::string_view text) {
    size_t at = 0;
    const auto y = Digits(text, at, 4);
    if (!y || !Expect(text, at, '-')) return std::nullopt;
    const auto mo = Digits(text, at, 2);
    if (!mo || !Expect(text, at, '-')) return std::nullopt;
    const auto d = Digits(text, at, 2);
    if (!d || !(Expect(text, at, 'T') || Expect(text, at, ' '))) return std::nullopt;
    const auto h = Digits(text, at, 2);
    if (!h || !Expect(text, at, ':')) return std::nullopt;
    const auto mi = Digits(text, at, 2);
    if (!mi || !Expect(text, at, ':')) return std::nullopt;
    const auto s = Digits(text, at, 2);
    if (!s) return std::nullopt;
    const year_month_day date{year{*y}, month{unsigned(*mo)}, day{unsigned(*d)}};
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;

    microseconds fraction{0};
    if (Expect(text, at, '.')) {
        long long scale = 100'000;
        const size_t start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += microseconds((text[at] - '0') * scale);
        if (at == start) return std::nullopt;
    }
    minutes offset{0};
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at++] == '+' ? 1 : -1;
        const auto oh = Digits(text, at, 2);
        if (!oh || !Expect(text, at, ':')) return std::nullopt;
        const auto om = Digits(text, at, 2);
        if (!om || *oh > 23 || *om > 59) return std::nullopt;
        offset = minutes(sign * (*oh * 60 + *om));
    } else {
        Expect(text, at, 'Z');
    }
    if (at != text.size()) return std::nullopt;
    return LogTime{sys_days{date}} + hours{*h} + minutes{*mi} + seconds{*s} + fraction - offset;
}

namespace {

struct LogLine {
    LogTime time;
    std::optional<double> volts;  // an ok line's reading
    size_t number = 0;            // in the file
};

// The log's lines with their times, checked; nullopt with "line N: why" in error.
std::optional<std::vector<LogLine>> ReadLines(std::string_view text, std::string& error) {
    std::vector<LogLine> lines;
    bool header = false;
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const bool cutShort = end == text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const auto where = "line " + std::to_string(number) + ": ";
        if (!header) {
            if (line != DriftLogHeader) {
                error = where + "not a drift log (expected the header " + DriftLogHeader + ")";
                return std::nullopt;
            }
            header = true;
            continue;
        }
        // time, mean_code, volts, rms_codes: then the status, which may hold commas.
        std::string_view fields[4];
        size_t at = 0;
        bool complete = true;
        for (auto& field : fields) {
            const size_t comma = line.find(',', at);
            if (comma == std::string_view::npos) {
                complete = false;
                break;
            }
            field = line.substr(at, comma - at);
            at = comma + 1;
        }
        const auto time = complete ? ParseLogTime(fields[0]) : std::nullopt;
        const auto status = complete ? Status(line.substr(at)) : std::nullopt;
        const auto volts = status == "ok" ? Number(fields[2]) : std::optional<double>(0.0);
        if (!time || !status || !volts) {
            if (cutShort) break;  // the line being written when the run stopped
            error = where + (!complete ? "expected five fields"
                             : !time   ? "the time is not ISO 8601"
                             : !status ? "the status is not a CSV field"
                                       : "the voltage is not a number");
            return std::nullopt;
        }
        if (!(std::fabs(*volts) <= MaxReadingVolts)) {
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", MaxReadingVolts);
            error = where + "the voltage " + std::string(fields[2]) +
                    " is outside the span of any range (-" + limit + " to " + limit + " V)";
            return std::nullopt;
        }
        if (!lines.empty() && *time < lines.back().time) {
            error = where + "the time goes backwards";
            return std::nullopt;
        }
        lines.push_back({*time, status == "ok" ? volts : std::nullopt, number});
    }
    if (!header) {
        error = "not a drift log (no header " + std::string(DriftLogHeader) + ")";
        return std::nullopt;
    }
    return lines;
}

double MedianOf(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Whether the values from b on differ from those before b: the median of IntervalWindow of them
// after against that of as many before (at least three each), so that a gap is no change.
constexpr size_t IntervalWindow = 8;
bool Differs(const std::vector<double>& values, size_t b, size_t end_before, double& before,
             double& after) {
    const auto at = [&](size_t i) { return values.begin() + static_cast<std::ptrdiff_t>(i); };
    if (end_before < 3 || b + 3 > values.size()) return false;
    before = MedianOf({at(end_before - std::min(end_before, IntervalWindow)), at(end_before)});
    after = MedianOf({at(b), at(std::min(values.size(), b + IntervalWindow))});
    return std::fabs(after - before) > 0.25 * std::min(before, after);
}

// The step (index into steps) where the interval changes for good, or npos, named at the first
// step nearer the new interval. A line stamped late lengthens one step and shortens the next, so
// on longer logs the mean step over IntervalSpan steps must change too: lateness cancels over a
// span, where a real change adds up.
constexpr size_t IntervalSpan = 4;
size_t IntervalChange(const std::vector<double>& steps) {
    std::vector<double> spans;  // spans[i]: the mean of steps i to i + IntervalSpan - 1
    for (size_t i = 0; steps.size() >= 4 * IntervalSpan && i + IntervalSpan <= steps.size(); ++i) {
        double sum = 0;
        for (size_t k = i; k < i + IntervalSpan; ++k)
            sum += steps[k];
        spans.push_back(sum / double(IntervalSpan));
    }
    for (size_t b = 3; b + 3 <= steps.size(); ++b) {
        double before = 0, after = 0, spanBefore = 0, spanAfter = 0;
        if (!Differs(steps, b, b, before, after)) continue;
        // Within a few lines of either end of a longer log too few spans lie on one side: such
        // lines stay on the clock as they fall, a change there is not named.
        if (!spans.empty() && !Differs(spans, b, b + 1 - IntervalSpan, spanBefore, spanAfter))
            continue;
        for (size_t j = b; j < steps.size(); ++j)
            if (std::fabs(steps[j] - after) < std::fabs(steps[j] - before)) return j;
        return b;
    }
    return std::string::npos;
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", s);
    return text;
}

}  // namespace

std::optional<DriftSeries> ParseDriftLog(std::string_view text, std::string& error) {
    const auto lines = ReadLines(text, error);
    if (!lines) return std::nullopt;
    DriftSeries series;
    for (const LogLine& line : *lines)
        (line.volts ? series.readings : series.failed) += 1;
    if (series.readings < 3) {
        error = "the log holds " + std::to_string(series.readings) +
                " ok lines; the Allan deviation needs at least three";
        return std::nullopt;
    }
    std::vector<double> steps;
    for (size_t i = 1; i < lines->size(); ++i)
        steps.push_back(duration<double>((*lines)[i].time - (*lines)[i - 1].time).count());
    // The interval: the mean of the steps of about one interval (their median's), so that the
    // clock holds over a long gap however the times were rounded.
    const double median = MedianOf(steps);
    if (!(median > 0)) {
        error = "the lines' times do not advance";
        return std::nullopt;
    }
    double sum = 0;
    size_t count = 0;
    for (const double step : steps)
        if (step >= 0.5 * median && step < 1.5 * median) {
            sum += step;
            ++count;
        }
    series.tau0 = sum / static_cast<double>(count);
    if (const size_t j = IntervalChange(steps); j != std::string::npos) {
        const double before = MedianOf({steps.begin(), steps.begin() + std::ptrdiff_t(j)});
        error = "line " + std::to_string((*lines)[j + 1].number) + ": the interval changes from " +
                Seconds(before) + " to " + Seconds(steps[j]) +
                "; the Allan deviation takes one interval (split the log there)";
        return std::nullopt;
    }

    // Each line's interval on the clock, from the first line's.
    const size_t most = std::max<size_t>(10'000'000, 4 * lines->size());
    std::vector<size_t> slot{0};
    for (size_t i = 0; i < steps.size(); ++i) {
        const double intervals = std::ceil(steps[i] / series.tau0 - 0.5);
        if (!(intervals < double(most - slot.back()))) {
            error = "line " + std::to_string((*lines)[i + 1].number) + ": the log resumes " +
                    Seconds(steps[i]) + " later, more intervals than " + std::to_string(most) +
                    " of its clock";
            return std::nullopt;
        }
        const auto step = std::max<size_t>(1, static_cast<size_t>(intervals));
        if (step > 1) {
            ++series.gaps;
            series.missing += step - 1;
        }
        slot.push_back(slot.back() + step);
    }
    series.volts.assign(slot.back() + 1, std::numeric_limits<double>::quiet_NaN());
    for (size_t i = 0; i < lines->size(); ++i)
        if ((*lines)[i].volts) series.volts[slot[i]] = *(*lines)[i].volts;
    return series;
}

}  // namespace kx::allan
