#include <cstdio>

#include "analysis/allan.h"
#include "cli/commands.h"
#include "cli/curve_output.h"
#include "cli/output.h"
#include "files/run_file.h"

// `drift`: the overlapping Allan deviation of a drift log, against averaging time.

namespace kx::cli {

namespace {

struct DriftOptions {
    std::string file;
    CurveOutput out;
};

int Analyse(const DriftOptions& o, CurveData& curve) {
    std::string text;
    std::string why;
    if (!files::ReadInputText(o.file, text, why)) return Failure(why);
    const std::string name = o.file == "-" ? std::string("standard input") : o.file;
    const auto series = allan::ParseDriftLog(text, why);
    if (!series) return Failure(name + " is not a drift log: " + why);
    const auto points = allan::OverlappingDeviation(series->volts, series->tau0);

    char line[96];
    std::snprintf(line, sizeof line, "Readings: %zu ok, %zu skipped, every %.3f s\n",
                  series->volts.size(), series->skipped, series->tau0);
    std::string report = line;
    report += "tau (s)         Allan deviation (uV)\n";
    curve.title = "Allan Deviation";
    curve.xLabel = "Averaging time (s)";
    curve.yLabel = "Allan deviation (uV)";
    for (const auto& p : points) {
        const double uv = p.deviation * 1e6;
        std::snprintf(line, sizeof line, "%-15.6g %.6g\n", p.tauSeconds, uv);
        report += line;
        curve.x.push_back(p.tauSeconds);
        curve.y.push_back(uv);
    }
    // Standard output carries the curve when -o is -.
    return o.out.toStdout() ? ExitOk : WriteStdout(report);
}

int RunDrift(const DriftOptions& o, const ChartRunner& charts) {
    if (const int status = o.out.Check("drift"); status != ExitOk) return status;
    if (o.out.picture()) return o.out.Draw(charts, [&o](CurveData& c) { return Analyse(o, c); });
    CurveData curve;
    if (const int status = Analyse(o, curve); status != ExitOk) return status;
    return o.out.output ? o.out.WriteCsv("tau_s,adev_uv", curve) : ExitOk;
}

}  // namespace

void RegisterDrift(Tool& tool, const ChartRunner& charts) {
    static DriftOptions o;
    CLI::App* c = tool.Add(
        {"drift", "drift FILE.csv [-o OUT.png|.pdf|.csv] [--size WxH] [--title TEXT]",
         "the overlapping Allan deviation of a drift log",
         "Reads a drift log written by log (- for standard input) and prints the overlapping\n"
         "Allan deviation of its readings, in uV, at the averaging factors 1, 2, 4, ... up to a\n"
         "third of the readings: white noise falls as 1/sqrt(tau), drift makes it rise again.\n"
         "Lines whose status is not ok are left out; the interval is the median of the log's.\n"
         "\n"
         "  -o OUT             a chart on log axes (.png, .pdf; - is PNG on standard output,\n"
         "                     the table then not printed) or the points (.csv: tau_s,adev_uv)\n"
         "  --size WxH         chart size in pixels (default 800x500)\n"
         "  --title TEXT       the chart's title\n"},
        [charts] { return RunDrift(o, charts); });
    c->add_option("FILE", o.file)->required();
    o.out.AddTo(c);
}

}  // namespace kx::cli
