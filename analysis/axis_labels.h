#pragma once

#include <string>
#include <vector>

// What every chart's axes print, in plain C++: the step between ticks, a tick's label with as
// many decimals as that step needs, the unit prefix of a volts or time axis, and the labels of a
// log axis. The charts of the screens and of kx3105-cli label every axis through these.

namespace kx::axis {

// The fewest decimals (0 to 15) with which every multiple of `step` prints exactly: 0.25 needs
// two, 0.1 and 2.5 one, 50 none. A step that no decimal count holds exactly gets enough for its
// first three significant digits.
int StepDecimals(double step);

// A tick's label: `value` with the decimals `step` needs, never in exponent notation, and zero
// without a sign ("0.00", not "-0.00").
std::string TickLabel(double value, double step);

// A readable step giving about `intervals` intervals over `span`: 1, 2, 2.5 or 5 times a power
// of ten. WholeStep is the same for codes, counts and read numbers: never below 1, and never 2.5.
double ReadableStep(double span, int intervals);
double WholeStep(double span, int intervals);

// The unit an axis prints its values in: the values are divided by `scale`.
struct Unit {
    double scale = 1;
    const char* name = "";
    bool operator==(const Unit&) const = default;
};

// Volts: the prefix (V, mV, uV, nV) follows the span in view, then moves up while a label would
// need five digits before the point (100050 uV reads 100.05 mV).
Unit VoltsUnit(double lower, double upper);

// Seconds: s for spans under 5 minutes, min under 5 hours, h beyond.
Unit TimeUnit(double span);

// Log axes. Decades print in one style on an axis: plain decimals when every decade in view lies
// within 0.001 to 100000, else powers of ten ("10⁶", "2×10⁻⁴"; UTF-8).
enum class DecadeStyle { Plain, Power };
DecadeStyle DecadeStyleFor(double lower, double upper);
std::string LogTickLabel(double tick, DecadeStyle style);

// The labelled ticks of a log axis from lower to upper (both above 0): every whole multiple of a
// decade while the view spans at most one decade, 1, 2 and 5 times each decade up to three
// decades, each decade beyond that (every second or third when more than eleven are in view). A
// view of at least a factor of MinLogRatio always holds two.
std::vector<double> LogTicks(double lower, double upper);
// The unlabelled minor ticks between them: the whole multiples of each decade not labelled.
std::vector<double> LogMinorTicks(double lower, double upper);
inline constexpr double MinLogRatio = 4.0;

// A view of an axis held within its full view: never wider than it, never narrower than
// `minSpan` (on a log axis, a factor of MinLogRatio), panned back inside it whole. A view that
// is already inside comes back unchanged.
struct View {
    double lower = 0;
    double upper = 0;
    bool operator==(const View&) const = default;
};
View ClampView(View view, View full, double minSpan, bool log);

}  // namespace kx::axis
