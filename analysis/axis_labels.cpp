#include "analysis/axis_labels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace kx::axis {

namespace {

double Decade(double value) {
    return std::pow(10.0, std::floor(std::log10(value)));
}

// floor(log10(value)) that a decade itself (1000, 0.001) does not miss by rounding.
int ExponentOf(double value) {
    return static_cast<int>(std::floor(std::log10(value) + 1e-9));
}

std::string Superscript(int exponent) {
    static const std::array<const char*, 10> digits = {"⁰", "¹", "²", "³", "⁴",
                                                       "⁵", "⁶", "⁷", "⁸", "⁹"};
    std::string text = exponent < 0 ? "⁻" : "";
    for (const char c : std::to_string(std::abs(exponent)))
        text += digits[static_cast<size_t>(c - '0')];
    return text;
}

bool InView(double tick, double lower, double upper) {
    return tick >= lower * (1 - 1e-12) && tick <= upper * (1 + 1e-12);
}

// Labelled multiples of each decade, and how many decades apart labelled decades are.
struct LogPlan {
    std::vector<int> multiples;
    int decadeStep = 1;
};

LogPlan PlanFor(double lower, double upper) {
    const double ratio = upper / lower;
    if (ratio <= 10) return {{1, 2, 3, 4, 5, 6, 7, 8, 9}, 1};
    if (ratio <= 1000) return {{1, 2, 5}, 1};
    const int decades = ExponentOf(upper) - ExponentOf(lower) + 1;
    return {{1}, std::max(1, (decades + 10) / 11)};
}

}  // namespace

int StepDecimals(double step) {
    step = std::fabs(step);
    if (!(step > 0) || !std::isfinite(step)) return 0;
    double scaled = step;
    for (int decimals = 0; decimals <= 15; ++decimals, scaled *= 10) {
        if (scaled >= 0.5 && std::fabs(scaled - std::round(scaled)) <= 1e-9 * scaled)
            return decimals;
    }
    return std::clamp(2 - static_cast<int>(std::floor(std::log10(step))), 0, 15);
}

std::string TickLabel(double value, double step) {
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", StepDecimals(step), value);
    std::string label = text;
    // A value that rounds to zero prints as zero, not "-0".
    if (label.front() == '-' && label.find_first_not_of("-0.") == std::string::npos)
        label.erase(0, 1);
    return label;
}

double ReadableStep(double span, int intervals) {
    const double exact = std::fabs(span) / std::max(intervals, 1);
    if (!(exact > 0) || !std::isfinite(exact)) return 1;
    const double decade = Decade(exact);
    const double m = exact / decade;
    return decade * (m < 1.5 ? 1 : m < 2.25 ? 2 : m < 3.5 ? 2.5 : m < 7.5 ? 5 : 10);
}

double WholeStep(double span, int intervals) {
    const double exact = std::fabs(span) / std::max(intervals, 1);
    if (!(exact > 1) || !std::isfinite(exact)) return 1;
    const double decade = Decade(exact);
    const double m = exact / decade;
    return decade * (m < 1.5 ? 1 : m < 3.5 ? 2 : m < 7.5 ? 5 : 10);
}

Unit VoltsUnit(double lower, double upper) {
    static constexpr std::array<Unit, 4> units = {
        {{1.0, "V"}, {1e-3, "mV"}, {1e-6, "uV"}, {1e-9, "nV"}}};
    const double span = std::fabs(upper - lower);
    size_t at = units.size() - 1;
    for (size_t i = 0; i < units.size(); ++i) {
        if (span >= units[i].scale) {
            at = i;
            break;
        }
    }
    const double largest = std::max(std::fabs(lower), std::fabs(upper));
    while (at > 0 && largest / units[at].scale >= 1e4)
        --at;
    return units[at];
}

Unit TimeUnit(double span) {
    span = std::fabs(span);
    if (span < 300) return {1, "s"};
    if (span < 5 * 3600) return {60, "min"};
    return {3600, "h"};
}

DecadeStyle DecadeStyleFor(double lower, double upper) {
    if (!(lower > 0) || !(upper > 0)) return DecadeStyle::Plain;
    return ExponentOf(lower) >= -3 && ExponentOf(upper) <= 5 ? DecadeStyle::Plain
                                                             : DecadeStyle::Power;
}

std::string LogTickLabel(double tick, DecadeStyle style) {
    if (!(tick > 0)) return {};
    const int exponent = ExponentOf(tick);
    if (style == DecadeStyle::Plain) return TickLabel(tick, tick);
    const long multiple = std::lround(tick / std::pow(10.0, exponent));
    const std::string power = "10" + Superscript(exponent);
    return multiple == 1 ? power : std::to_string(multiple) + "×" + power;
}

std::vector<double> LogTicks(double lower, double upper) {
    std::vector<double> ticks;
    if (!(lower > 0) || !(upper > lower)) return ticks;
    const LogPlan plan = PlanFor(lower, upper);
    const int first = ExponentOf(lower);
    for (int e = first; e <= ExponentOf(upper); ++e) {
        if ((e - first) % plan.decadeStep != 0) continue;
        for (const int m : plan.multiples) {
            const double tick = m * std::pow(10.0, e);
            if (InView(tick, lower, upper)) ticks.push_back(tick);
        }
    }
    return ticks;
}

std::vector<double> LogMinorTicks(double lower, double upper) {
    std::vector<double> minor;
    if (!(lower > 0) || !(upper > lower)) return minor;
    const std::vector<double> labelled = LogTicks(lower, upper);
    const bool wide = PlanFor(lower, upper).decadeStep > 1;
    for (int e = ExponentOf(lower); e <= ExponentOf(upper); ++e) {
        for (int m = 1; m <= 9; ++m) {
            // Across many decades only the decades left unlabelled are marked.
            if (wide && m > 1) break;
            const double tick = m * std::pow(10.0, e);
            const bool isLabelled = std::any_of(labelled.begin(), labelled.end(), [tick](double t) {
                return std::fabs(t - tick) <= 1e-9 * tick;
            });
            if (!isLabelled && InView(tick, lower, upper)) minor.push_back(tick);
        }
    }
    return minor;
}

View ClampView(View view, View full, double minSpan, bool log) {
    if (log) {
        if (!(full.lower > 0) || !(view.lower > 0) || !(view.upper > 0)) return full;
        const View inLogs = ClampView({std::log10(view.lower), std::log10(view.upper)},
                                      {std::log10(full.lower), std::log10(full.upper)},
                                      std::log10(MinLogRatio), false);
        if (inLogs == View{std::log10(view.lower), std::log10(view.upper)}) return view;
        return {std::pow(10.0, inLogs.lower), std::pow(10.0, inLogs.upper)};
    }
    const double fullSpan = full.upper - full.lower;
    double span = view.upper - view.lower;
    if (!(span <= fullSpan)) return full;  // NaN too
    const double least = std::min(minSpan, fullSpan);
    if (span < least) {
        const double centre = (view.lower + view.upper) / 2;
        view = {centre - least / 2, centre + least / 2};
        span = least;
    }
    if (view.lower < full.lower) view = {full.lower, full.lower + span};
    if (view.upper > full.upper) view = {full.upper - span, full.upper};
    return view;
}

}  // namespace kx::axis
