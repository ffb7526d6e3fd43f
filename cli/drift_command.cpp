#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "maths/allan.h"
#include "cli/commands.h"
#include "cli/curve_output.h"
#include "cli/output.h"
#include "files/run_file.h"

// `drift`: the overlapping Allan deviation of a drift log, against averaging time.

namespace kx::cli {

namespace {

struct DriftOptions {
    std::string file;
    bool json = false;
    bool series = false;
    CurveOutput out;
};

// The time of the log's first reading, as it is written; empty when it cannot be found.
std::string FirstTime(const std::string& text) {
    const size_t header = text.find('\n');
    if (header == std::string::npos) return {};
    const size_t end = text.find_first_of(",\r\n", header + 1);
    const std::string first = text.substr(header + 1, end - header - 1);
    return allan::ParseLogTime(first) ? first : std::string();
}

// The caption under a drift chart: what the log holds, since a log names no range or board.
std::string Caption(const allan::DriftSeries& series, const std::string& firstTime) {
    char line[200];
    std::snprintf(line, sizeof line, "drift log: %zu readings every %.3f s, %zu failed, %zu gaps",
                  series.readings, series.tau0, series.failed, series.gaps);
    return std::string(line) + (firstTime.empty() ? "" : ", from " + firstTime);
}

// What went into the figures: the readings and the gaps on the log's clock.
std::string Used(const allan::DriftSeries& series) {
    char line[160];
    std::snprintf(line, sizeof line, "Readings: %zu ok, %zu failed, every %.3f s\n",
                  series.readings, series.failed, series.tau0);
    std::string text = line;
    if (series.gaps == 0) return text + "Gaps: none\n";
    std::snprintf(line, sizeof line, "Gaps: %zu, %zu readings missing\n", series.gaps,
                  series.missing);
    return text + line;
}

std::string Json(const allan::DriftSeries& series, const std::vector<allan::AllanPoint>& points) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& p : points)
        rows.push_back(
            {{"tau_s", p.tauSeconds}, {"adev_uv", p.deviation * 1e6}, {"terms", p.terms}});
    const nlohmann::json j = {{"interval_s", series.tau0}, {"readings", series.readings},
                              {"failed", series.failed},   {"gaps", series.gaps},
                              {"missing", series.missing}, {"points", rows}};
    return j.dump(2) + "\n";
}

int Analyse(const DriftOptions& o, CurveData& curve) {
    std::string text;
    std::string why;
    if (!files::ReadInputText(o.file, text, why)) return Failure(why);
    const std::string name = o.file == "-" ? std::string("standard input") : Quoted(o.file);
    const auto series = allan::ParseDriftLog(text, why);
    if (!series) return Failure("no Allan deviation of " + name + ": " + why);
    const auto points = allan::OverlappingDeviation(series->volts, series->tau0);

    char line[96];
    std::string report = Used(*series) + "tau (s)         Allan deviation (uV)\n";
    curve.caption = Caption(*series, FirstTime(text));
    curve.series = o.series;
    if (o.series) {
        curve.title = "Drift Log";
        curve.xLabel = "Time (s)";
        curve.yLabel = "Input (V)";
        for (size_t i = 0; i < series->volts.size(); ++i) {
            curve.x.push_back(static_cast<double>(i) * series->tau0);
            curve.y.push_back(series->volts[i]);
        }
    } else {
        curve.title = "Allan Deviation";
        curve.xLabel = "Averaging time (s)";
        curve.yLabel = "Allan deviation (uV)";
    }
    for (const auto& p : points) {
        const double uv = p.deviation * 1e6;
        std::snprintf(line, sizeof line, "%-15.6g %.6g\n", p.tauSeconds, uv);
        report += line;
        if (o.series) continue;
        curve.x.push_back(p.tauSeconds);
        curve.y.push_back(uv);
    }
    // Standard output carries the curve when -o is -.
    if (o.out.toStdout()) return ExitOk;
    return WriteStdout(o.json ? Json(*series, points) : report);
}

int RunDrift(const DriftOptions& o, const ChartRunner& charts) {
    if (const int status = o.out.Check("drift"); status != ExitOk) return status;
    if (o.out.picture()) return o.out.Draw(charts, [&o](CurveData& c) { return Analyse(o, c); });
    CurveData curve;
    if (const int status = Analyse(o, curve); status != ExitOk) return status;
    if (!o.out.output) return ExitOk;
    // Volts to the microvolt and beyond: a reading's digits matter in a drift.
    return o.series ? o.out.WriteCsv("time_s,volts", curve, "%.9g")
                    : o.out.WriteCsv("tau_s,adev_uv", curve);
}

}  // namespace

// The help states the span.
static_assert(allan::MaxReadingVolts == 5.12);

void RegisterDrift(Tool& tool, const ChartRunner& charts) {
    static DriftOptions o;
    CLI::App* c = tool.Add(
        {"drift",
         "drift FILE.csv [--json] [--series] [-o OUT.png|.pdf|.csv] [--size WxH] [--title TEXT]",
         "the overlapping Allan deviation of a drift log",
         "Reads a drift log written by log (- for standard input) and prints the overlapping\n"
         "Allan deviation of its readings, in uV, at the averaging factors 1, 2, 4, ... while a\n"
         "factor m has m + 1 differences (up to a third of the readings when none is missing):\n"
         "white noise falls as 1/sqrt(tau), drift makes it rise again. Each line is placed on\n"
         "the log's clock (its interval: the mean step of about one interval): a line that is\n"
         "not ok, and an interval with no line, is a missing reading, and a difference that\n"
         "holds one is skipped rather than the readings around it joined. A log whose interval\n"
         "changes part way is refused with the line it changes at; so are volts outside any\n"
         "range's span (5.12 V either way) and times that go backwards. Prints first the\n"
         "readings used, the failed lines, the interval and the gaps with the readings they\n"
         "miss.\n"
         "\n"
         "  --json             one JSON object instead: interval_s, readings, failed, gaps,\n"
         "                     missing, points [{tau_s, adev_uv, terms}]\n"
         "  -o OUT             a chart on log axes (.png, .pdf; - is PNG on standard output,\n"
         "                     the table then not printed) or the points (.csv: tau_s,adev_uv);\n"
         "                     a chart carries what the log holds in a line under it\n"
         "  --series           -o gets the log itself instead: the readings over time (a chart\n"
         "                     of volts against time from the first reading, a missing reading\n"
         "                     a gap; .csv: time_s,volts, empty volts where one is missing)\n"
         "  --size WxH         chart size in pixels (default 800x500)\n"
         "  --title TEXT       the chart's title\n"},
        [charts] { return RunDrift(o, charts); });
    c->add_option("FILE", o.file)->required();
    c->add_flag("--json", o.json);
    c->add_flag("--series", o.series);
    o.out.AddTo(c);
}

}  // namespace kx::cli
