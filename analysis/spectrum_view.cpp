#include "analysis/spectrum_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "board/registers.h"
#include "converter/filter_logic.h"
#include "maths/spectrum.h"

namespace kx {
namespace {

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string DisplayWindowName(const std::string& window) {
    if (window == "hann") return "Hann";
    if (window == "blackman-harris") return "Blackman-Harris";
    return window;
}

}  // namespace

std::optional<double> BoardUpdateRate(BoardLink& link) {
    Register mode = Register::For(link, RegisterMap::Mode);
    Register filter = Register::For(link, RegisterMap::Filter);
    const auto modeValue = static_cast<int32_t>(mode.ReadReg());
    const int word = static_cast<int>(filter.ReadReg());
    if (word <= 0) return std::nullopt;
    return UpdateRate(word, ChopEnabledIn(modeValue));
}

std::optional<SpectrumView> ComputeRunSpectrum(std::span<const int32_t> codes, double rateHz,
                                               const Scaling& scaling, std::string& error) {
    const auto result = spectrum::AnalyseSpectrum(CodesAsDoubles(codes), scaling.lsbVolts, rateHz,
                                                  spectrum::WelchOptions{}, error);
    if (!result) return std::nullopt;
    const spectrum::Density& density = result->density;
    SpectrumView view;
    view.rateHz = density.rateHz;
    view.segment = density.segment;
    view.window = spectrum::WindowName(density.window);
    for (const spectrum::DensityRow& row : spectrum::DensityRows(density)) {
        view.frequencyHz.push_back(row.hz);
        view.nsdNvPerRtHz.push_back(row.nvPerRtHz);
    }
    view.whiteNsdNvPerRtHz = result->figures.whiteNvPerRtHz;
    view.spurs = result->figures.spurs;
    view.tone = result->figures.tone;
    return view;
}

std::optional<SpectrumView> AnalysedRunSpectrum(const AnalysedRun& run, BoardLink& board,
                                                std::string& error) {
    const std::optional<double> rate = run.run.rateHz ? run.run.rateHz : BoardUpdateRate(board);
    if (!rate) {
        error = "Error Reading from KX3105";
        return std::nullopt;
    }
    std::optional<Scaling> scaling = run.scaling;
    if (!scaling && run.run.adcControl)
        scaling = Scaling::Shown(*run.run.adcControl, run.run.referenceVolts);
    if (!scaling) {
        Register control = Register::For(board, RegisterMap::AdcControl);
        const auto value = static_cast<int32_t>(control.ReadReg());
        scaling = Scaling::Shown(value, run.run.referenceVolts);
    }
    std::string reason;
    auto view = ComputeRunSpectrum(run.run.codes, *rate, *scaling, reason);
    if (!view) error = "No spectrum: " + reason;
    return view;
}

std::string SpectrumNumber(double value) {
    if (!std::isfinite(value)) return "-";
    if (std::fabs(value) >= 1e4 && std::fabs(value) < 1e6) return Printf("%.0f", value);
    return Printf("%.4g", value);
}

std::vector<SpectrumFigure> SpectrumFigures(const SpectrumView& view) {
    std::vector<SpectrumFigure> figures{
        {"RateLabel", "Update Rate", SpectrumNumber(view.rateHz) + " Hz"},
        {"SegmentLabel", "Segment",
         std::to_string(view.segment) + " points, " + DisplayWindowName(view.window)},
        {"WhiteLabel", "White Noise", SpectrumNumber(view.whiteNsdNvPerRtHz) + " nV/rtHz"}};
    for (size_t i = 0; i < 5; ++i) {
        std::string text;
        if (i < view.spurs.size())
            text = SpectrumNumber(view.spurs[i].hz) + " Hz, " +
                   SpectrumNumber(view.spurs[i].uvRms) + " uV";
        const std::string n = std::to_string(i + 1);
        figures.push_back({"Spur" + n + "Label", "Spur " + n, text});
    }
    const SpectrumTone* tone = view.tone ? &*view.tone : nullptr;
    const auto figure = [tone](const char* format, double SpectrumTone::*field) {
        return tone ? Printf(format, tone->*field) : std::string();
    };
    figures.push_back(
        {"ToneLabel", "Tone",
         tone ? SpectrumNumber(tone->hz) + " Hz, " + SpectrumNumber(tone->uvRms) + " uV"
              : "no tone"});
    figures.push_back({"SNRLabel", "SNR", figure("%.2f dB", &SpectrumTone::snrDb)});
    // No harmonic clear of the noise leaves THD at minus infinity.
    figures.push_back({"THDLabel", "THD",
                       tone && std::isinf(tone->thdDb) ? "below the noise"
                                                       : figure("%.2f dB", &SpectrumTone::thdDb)});
    figures.push_back({"SINADLabel", "SINAD", figure("%.2f dB", &SpectrumTone::sinadDb)});
    figures.push_back({"SFDRLabel", "SFDR", figure("%.2f dB", &SpectrumTone::sfdrDb)});
    figures.push_back({"ENOBLabel", "ENOB", figure("%.2f bits", &SpectrumTone::enob)});
    figures.push_back({"ENOBFullScaleLabel", "ENOB (full scale)",
                       figure("%.2f bits", &SpectrumTone::enobFullScale)});
    return figures;
}

int NearestSpectrumRow(const SpectrumView& view, double hz) {
    int best = -1;
    double bestDistance = 0;
    const size_t rows = std::min(view.frequencyHz.size(), view.nsdNvPerRtHz.size());
    if (!(hz > 0)) return -1;
    for (size_t i = 0; i < rows; ++i) {
        if (!(view.frequencyHz[i] > 0)) continue;
        const double distance = std::fabs(std::log(view.frequencyHz[i] / hz));
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

std::string SpectrumText(const SpectrumView& view) {
    std::string text = "Frequency (Hz)\tDensity (nV/rtHz)\n";
    const size_t rows = std::min(view.frequencyHz.size(), view.nsdNvPerRtHz.size());
    for (size_t i = 0; i < rows; ++i)
        text += Printf("%.10g", view.frequencyHz[i]) + '\t' +
                Printf("%.10g", view.nsdNvPerRtHz[i]) + '\n';
    return text;
}

}  // namespace kx
