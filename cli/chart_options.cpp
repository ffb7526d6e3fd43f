#include <strings.h>

#include <algorithm>
#include <cstring>

#include "cli/chart_request.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "core/safe_file.h"
#include "files/run_file.h"
#include "maths/histogram.h"

// `plot` and `histogram`: their options, checked here; the picture is drawn by the chart
// renderer, the plotted data as CSV written here (no Qt needed for it).

namespace kx::cli {

namespace {

constexpr size_t MinChartCodes = 10;

bool EndsWith(const std::string& path, const char* ending) {
    const size_t n = std::strlen(ending);
    return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ending) == 0;
}

struct ChartOptions {
    std::string file;
    bool hex = false;
    std::optional<std::string> output;
    std::optional<std::string> size;
    std::optional<std::string> title;
    std::string binWidth = "auto";
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<std::string> ref;
};

// The plotted data: read number and code; or code and count for the codes that occur, or first
// code, last code and count for each bin that holds a sample when bins are wider than a code.
std::string ChartCsv(Chart chart, const Run& run, int64_t binWidth) {
    std::string text;
    if (chart == Chart::NoisePlot) {
        text = "read,code\n";
        for (size_t i = 0; i < run.codes.size(); ++i)
            text += std::to_string(i + 1) + "," + std::to_string(run.codes[i]) + "\n";
        return text;
    }
    const auto [low, high] = std::minmax_element(run.codes.begin(), run.codes.end());
    const CodeHistogram table = CountCodes(CodesAsDoubles(run.codes), *low, *high);
    const BinnedHistogram bins =
        GroupBins(table, binWidth > 0 ? binWidth : AutoBinWidth(*low, *high));
    if (bins.width == 1) {
        text = "code,count\n";
        for (size_t i = 0; i < table.codes.size(); ++i)
            text += std::to_string(table.codes[i]) + "," + std::to_string(table.counts[i]) + "\n";
        return text;
    }
    text = "first_code,last_code,count\n";
    for (size_t i = 0; i < bins.starts.size(); ++i)
        text += std::to_string(bins.starts[i]) + "," +
                std::to_string(bins.starts[i] + bins.width - 1) + "," +
                std::to_string(bins.counts[i]) + "\n";
    return text;
}

int RunChart(Chart chart, const ChartOptions& o, const ChartRunner& charts) {
    const char* name = chart == Chart::NoisePlot ? "plot" : "histogram";
    if (!o.output)
        throw UsageError{std::string(name) + " needs -o OUT (a .png, .pdf or .csv file)"};
    const std::string& out = *o.output;
    const bool csv = EndsWith(out, ".csv");
    if (out != "-" && !csv && !EndsWith(out, ".png") && !EndsWith(out, ".pdf"))
        throw UsageError{"the output name must end in .png, .pdf or .csv: " + out};
    ChartRequest request;
    request.chart = chart;
    request.input = o.file;
    request.hex = o.hex;
    request.output = out;
    request.title = o.title;
    const auto width = ParseBinWidth(o.binWidth);
    if (!width)
        throw UsageError{"--bin-width takes auto or a power of two from 1 to 16777216, not '" +
                         o.binWidth + "'"};
    request.binWidth = *width;
    SettingOptions named;
    named.range = request.range = o.range;
    named.polarity = request.polarity = o.polarity;
    named.Read();
    if (o.ref) request.ref = ParseReferenceOption(*o.ref);
    if (o.size) {
        int w = 0;
        int h = 0;
        char extra = 0;
        if (std::sscanf(o.size->c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w < 50 || h < 50 ||
            w > 10000 || h > 10000)
            throw UsageError{"--size takes WIDTHxHEIGHT in pixels (50 to 10000), not '" + *o.size +
                             "'"};
        request.width = w;
        request.height = h;
    }

    if (out != "-") {
        std::string why;
        if (!files::IsSaveTarget(out, &why, files::Streams::Written))
            return Failure("cannot write " + Quoted(out) + (why.empty() ? "" : ": " + why));
    }
    // Standard input is read once: by the renderer, when it draws.
    if (!csv && o.file == "-") return charts(request);
    Run run;
    if (!LoadChartRun(request, run)) return ExitFailure;
    if (!csv) return charts(request);
    const std::string text = ChartCsv(chart, run, request.binWidth);
    if (out == "-") return WriteStdout(text);
    const std::string why = files::SaveAtomically(out, text, files::Streams::Written);
    return why.empty() ? ExitOk : Failure("cannot write " + Quoted(out) + ": " + why);
}

}  // namespace

bool LoadChartRun(const ChartRequest& request, Run& run) {
    std::string why;
    if (!files::LoadRun(request.input, request.hex, run, why)) {
        Note(why);
        return false;
    }
    if (run.codes.size() >= MinChartCodes) return true;
    Note(std::string(request.chart == Chart::NoisePlot ? "plot" : "histogram") +
         " needs at least 10 codes, " +
         (request.input == "-" ? std::string("standard input") : request.input) + " holds " +
         std::to_string(run.codes.size()));
    return false;
}

namespace {

void AddChart(Tool& tool, Chart chart, const ChartRunner& charts) {
    static ChartOptions options[2];
    ChartOptions& o = options[chart == Chart::NoisePlot ? 0 : 1];
    const bool plot = chart == Chart::NoisePlot;
    CLI::App* c = tool.Add(
        plot
            ? CommandText{"plot",
                          "plot FILE [--hex] -o OUT [--size WxH] [--title TEXT] [--range RANGE "
                          "--polarity POL] [--ref VOLTS]",
                          "noise plot of a run, PNG, PDF or CSV",
                          "Draws the noise plot of a run (code against read number, the input in\n"
                          "volts at the right) as the plot screen does, to OUT: PDF when its name\n"
                          "ends in .pdf, PNG when in .png or when OUT is - (standard output); a\n"
                          "name ending in .csv gets the plotted data instead, read,code. FILE is "
                          "a\n"
                          "data file or a capture of any length, - for standard input. A picture\n"
                          "carries the run's conditions in a line under the chart.\n"
                          "\n"
                          "  --hex            the data file holds hexadecimal codes\n"
                          "  --size WxH       picture size in pixels (default 800x500)\n"
                          "  --title TEXT     the chart's title\n"
                          "  --range RANGE    the volts axis's range (default: the capture's, "
                          "else\n"
                          "  --polarity POL   {power-on-settings}, the power-on settings, said on\n"
                          "                   standard error)\n"
                          "  --ref VOLTS      reference voltage (default: the capture's, else "
                          "2.5)\n"}
            : CommandText{"histogram",
                          "histogram FILE [--hex] -o OUT [--bin-width auto|N] [--size WxH] "
                          "[--title TEXT] [--range RANGE --polarity POL] [--ref VOLTS]",
                          "histogram of a run, PNG, PDF or CSV",
                          "Draws the histogram of a run as the histogram screen does (the input "
                          "in\n"
                          "volts along the top), to OUT: PDF when its name ends in .pdf, PNG when\n"
                          "in .png or when OUT is - (standard output); a name ending in .csv gets\n"
                          "the plotted data instead: code,count for each code that occurs, or\n"
                          "first_code,last_code,count for each bin that holds a sample when bins\n"
                          "are wider than one code. FILE is a data file or a capture of any\n"
                          "length, - for standard input. A picture carries the run's conditions\n"
                          "in a line under the chart.\n"
                          "\n"
                          "  --hex            the data file holds hexadecimal codes\n"
                          "  --bin-width N    codes per bin, a power of two from 1 to 16777216;\n"
                          "                   auto (the default) keeps one code per bin while the\n"
                          "                   span is at most 500 codes, else the smallest power\n"
                          "                   of two that gives at most 500 bins; the chart\n"
                          "                   states the width\n"
                          "  --size WxH       picture size in pixels (default 800x500)\n"
                          "  --title TEXT     the chart's title\n"
                          "  --range RANGE    the volts axis's range (default: the capture's, "
                          "else\n"
                          "  --polarity POL   {power-on-settings}, the power-on settings, said on\n"
                          "                   standard error)\n"
                          "  --ref VOLTS      reference voltage (default: the capture's, else "
                          "2.5)\n"},
        [chart, &o, charts] { return RunChart(chart, o, charts); });
    c->add_option("FILE", o.file)->required();
    c->add_flag("--hex", o.hex);
    c->add_option("-o,--output", o.output);
    c->add_option("--size", o.size);
    c->add_option("--title", o.title);
    c->add_option("--range", o.range);
    c->add_option("--polarity", o.polarity);
    c->add_option("--ref", o.ref);
    if (!plot) c->add_option("--bin-width", o.binWidth);
}

}  // namespace

void RegisterCharts(Tool& tool, const ChartRunner& charts) {
    AddChart(tool, Chart::NoisePlot, charts);
    AddChart(tool, Chart::Histogram, charts);
}

}  // namespace kx::cli
