#include "analysis/allan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

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
    if (n < 3) return points;
    // Running sums make each average a difference of two sums; taken about the first reading so
    // that a large offset (codes near mid-scale) costs no precision.
    std::vector<double> sums(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i)
        sums[i + 1] = sums[i] + (readings[i] - readings[0]);
    for (size_t m = 1; 3 * m <= n; m *= 2) {
        const size_t terms = n - 2 * m + 1;
        double total = 0;
        for (size_t i = 0; i < terms; ++i) {
            const double d = (sums[i + 2 * m] - 2 * sums[i + m] + sums[i]) / static_cast<double>(m);
            total += d * d;
        }
        points.push_back({static_cast<int>(m), static_cast<double>(m) * tau0,
                          std::sqrt(total / (2.0 * static_cast<double>(terms)))});
    }
    return points;
}

std::string FormatLogTime(Clock::time_point time) {
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

std::optional<Clock::time_point> ParseLogTime(std::string_view text) {
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

    nanoseconds fraction{0};
    if (Expect(text, at, '.')) {
        long long scale = 100'000'000;
        const size_t start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += nanoseconds((text[at] - '0') * scale);
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
    const auto local = sys_days{date} + hours{*h} + minutes{*mi} + seconds{*s} + fraction;
    return time_point_cast<Clock::duration>(local - offset);
}

std::optional<DriftSeries> ParseDriftLog(std::string_view text, std::string& error) {
    DriftSeries series;
    std::vector<Clock::time_point> times, lineTimes;
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
        if (!lineTimes.empty() && *time < lineTimes.back()) {
            error = where + "the time goes backwards";
            return std::nullopt;
        }
        lineTimes.push_back(*time);
        if (*status != "ok") {
            ++series.skipped;
            continue;
        }
        times.push_back(*time);
        series.volts.push_back(*volts);
    }
    if (!header) {
        error = "not a drift log (no header " + std::string(DriftLogHeader) + ")";
        return std::nullopt;
    }
    if (times.size() < 3) {
        error = "the log holds " + std::to_string(times.size()) +
                " ok lines; the Allan deviation needs at least three";
        return std::nullopt;
    }
    for (const auto time : times)
        series.seconds.push_back(duration<double>(time - times.front()).count());
    // The logging interval, from every line: a failed line still took its turn.
    std::vector<double> steps;
    for (size_t i = 1; i < lineTimes.size(); ++i)
        steps.push_back(duration<double>(lineTimes[i] - lineTimes[i - 1]).count());
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                     steps.end());
    series.tau0 = steps[steps.size() / 2];
    if (!(series.tau0 > 0)) {
        error = "the lines' times do not advance";
        return std::nullopt;
    }
    return series;
}

}  // namespace kx::allan
