#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "cli/chart_request.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "core/safe_file.h"
#include "files/run_file.h"

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
};

// The plotted data: read number and code, or code and count for the codes that occur.
std::string ChartCsv(Chart chart, const Run& run) {
    std::string text;
    if (chart == Chart::NoisePlot) {
        text = "read,code\n";
        for (size_t i = 0; i < run.codes.size(); ++i)
            text += std::to_string(i + 1) + "," + std::to_string(run.codes[i]) + "\n";
        return text;
    }
    std::map<long long, long long> counts;
    for (const int32_t code : run.codes)
        ++counts[code];
    text = "code,count\n";
    for (const auto& [code, n] : counts)
        text += std::to_string(code) + "," + std::to_string(n) + "\n";
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
    const std::string text = ChartCsv(chart, run);
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
            ? CommandText{"plot", "plot FILE [--hex] -o OUT [--size WxH] [--title TEXT]",
                          "noise plot of a run, PNG, PDF or CSV",
                          "Draws the noise plot of a run (code against read number) as the plot\n"
                          "screen does, to OUT: PDF when its name ends in .pdf, PNG when in .png\n"
                          "or when OUT is - (standard output); a name ending in .csv gets the\n"
                          "plotted data instead, read,code. FILE is a data file or a capture of\n"
                          "any length, - for standard input.\n"
                          "\n"
                          "  --hex          the data file holds hexadecimal codes\n"
                          "  --size WxH     picture size in pixels (default 800x500)\n"
                          "  --title TEXT   the chart's title\n"}
            : CommandText{"histogram", "histogram FILE [--hex] -o OUT [--size WxH] [--title TEXT]",
                          "histogram of a run, PNG, PDF or CSV",
                          "Draws the histogram of a run as the histogram screen does, to OUT: PDF\n"
                          "when its name ends in .pdf, PNG when in .png or when OUT is -\n"
                          "(standard output); a name ending in .csv gets the plotted data\n"
                          "instead, code,count for each code that occurs. FILE is a data file or\n"
                          "a capture of any length, - for standard input.\n"
                          "\n"
                          "  --hex          the data file holds hexadecimal codes\n"
                          "  --size WxH     picture size in pixels (default 800x500)\n"
                          "  --title TEXT   the chart's title\n"},
        [chart, &o, charts] { return RunChart(chart, o, charts); });
    c->add_option("FILE", o.file)->required();
    c->add_flag("--hex", o.hex);
    c->add_option("-o,--output", o.output);
    c->add_option("--size", o.size);
    c->add_option("--title", o.title);
}

}  // namespace

void RegisterCharts(Tool& tool, const ChartRunner& charts) {
    AddChart(tool, Chart::NoisePlot, charts);
    AddChart(tool, Chart::Histogram, charts);
}

}  // namespace kx::cli
