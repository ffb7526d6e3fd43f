#include "cli/curve_output.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/output.h"
#include "core/safe_file.h"

namespace kx::cli {

namespace {

bool EndsWith(const std::string& path, const char* ending) {
    const size_t n = std::strlen(ending);
    return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ending) == 0;
}

}  // namespace

void CurveOutput::AddTo(CLI::App* command) {
    command->add_option("-o,--output", output);
    command->add_option("--size", size);
    command->add_option("--title", title);
}

bool CurveOutput::picture() const {
    return output && !EndsWith(*output, ".csv");
}

int CurveOutput::Check(const char* command) const {
    if (output && *output != "-" && !EndsWith(*output, ".csv") && !EndsWith(*output, ".png") &&
        !EndsWith(*output, ".pdf"))
        throw UsageError{std::string(command) +
                         ": the output name must end in .png, .pdf or .csv: " + *output};
    if (size) {
        int w = 0;
        int h = 0;
        char extra = 0;
        if (std::sscanf(size->c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w < 50 || h < 50 ||
            w > 10000 || h > 10000)
            throw UsageError{"--size takes WIDTHxHEIGHT in pixels (50 to 10000), not '" + *size +
                             "'"};
    }
    if (output && *output != "-") {
        std::string why;
        if (!files::IsSaveTarget(*output, &why, files::Streams::Written))
            return Failure("cannot write " + Quoted(*output) + (why.empty() ? "" : ": " + why));
    }
    return ExitOk;
}

int CurveOutput::Draw(const ChartRunner& charts, std::function<int(CurveData&)> make) const {
    ChartRequest request;
    request.chart = Chart::Curve;
    request.output = *output;
    request.title = title;
    if (size) std::sscanf(size->c_str(), "%dx%d", &request.width, &request.height);
    request.makeCurve = std::move(make);
    return charts(request);
}

int CurveOutput::WriteCsv(const std::string& header, const CurveData& curve,
                          const char* yFormat) const {
    std::string text = header + "\n";
    char field[64];
    for (size_t i = 0; i < curve.x.size(); ++i) {
        std::snprintf(field, sizeof field, "%.9g,", curve.x[i]);
        text += field;
        if (std::isfinite(curve.y[i])) {
            std::snprintf(field, sizeof field, yFormat, curve.y[i]);
            text += field;
        }
        text += '\n';
    }
    if (toStdout()) return WriteStdout(text);
    const std::string why = files::SaveAtomically(*output, text, files::Streams::Written);
    return why.empty() ? ExitOk : Failure("cannot write " + Quoted(*output) + ": " + why);
}

}  // namespace kx::cli
