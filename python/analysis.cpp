#include <pybind11/stl.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "acquisition/read_run.h"
#include "acquisition/settings.h"
#include "analysis/figures.h"
#include "analysis/noise_stats.h"
#include "files/run_file.h"
#include "maths/allan.h"
#include "maths/spectrum.h"
#include "python/arrays.h"
#include "python/module.h"
#include "python/run.h"
#include "python/settings_args.h"

// kx3105.analyse, kx3105.spectrum and kx3105.allan: the tool's analyses of a run or of any array
// of codes, with the tool's figures under the tool's names.

namespace kx::python {

namespace {

// The codes to analyse and how they are scaled, found as kx3105-cli finds them for a file: the
// ADC control byte given, else the run's, else range and polarity alone; range and polarity
// given change that byte; the reference given, else the run's.
struct Scaled {
    py::array_t<int32_t, py::array::c_style> codes;  // keeps the span's memory alive
    std::span<const int32_t> span;
    int32_t adcControl = 0;
    float ref = DefaultReferenceVolts;
    std::optional<double> rateHz;  // the run's
};

Scaled ScaledCodes(const std::string& what, const py::handle& source, const py::object& range,
                   const py::object& polarity, const py::object& ref,
                   const std::optional<int>& adcControl) {
    Scaled s;
    const PyRun* run = AsRun(source);
    s.codes = run ? run->codes : CodesArray(source);
    s.span = SpanOf(s.codes);
    SettingArgs args;
    args.range = range;
    args.polarity = polarity;
    const ConverterSettings given = SettingsOf(args);
    if (adcControl && (*adcControl < 0 || *adcControl > 0xFF))
        throw py::value_error("adc_control takes a byte, 0 to 255, not " +
                              std::to_string(*adcControl));
    std::optional<int32_t> byte = adcControl;
    if (!byte && run) byte = run->taken.adcControl;
    if (!byte && given.range && given.unipolar) byte = 0;
    if (!byte)
        throw py::value_error(what + " needs the range and polarity of codes that do not carry " +
                              "them: give range= and polarity= (or adc_control=)");
    s.adcControl = given.ControlByte(*byte);
    s.ref = run ? run->taken.referenceVolts : DefaultReferenceVolts;
    if (!ref.is_none()) s.ref = ReferenceOf(ref);
    if (run) s.rateHz = run->taken.rateHz;
    return s;
}

std::string Holds(size_t count) {
    return "the run holds " + std::to_string(count);
}

py::object Analyse(const py::handle& source, const py::object& range, const py::object& polarity,
                   const py::object& ref, const std::optional<int>& adcControl) {
    const Scaled s = ScaledCodes("analyse", source, range, polarity, ref, adcControl);
    if (s.span.size() < 10)
        throw py::value_error("analyse needs at least 10 codes, " + Holds(s.span.size()));
    nlohmann::json values;
    {
        py::gil_scoped_release release;
        const auto a = noise::AnalyseRun(s.span, Scaling::Shown(s.adcControl, s.ref));
        values = figures::AnalysisValues(a, s.span.size(), s.adcControl, s.ref);
    }
    return ToPython(values);
}

py::object Spectrum(const py::handle& source, const std::optional<double>& rate,
                    const py::object& range, const py::object& polarity, const py::object& ref,
                    const std::optional<int>& adcControl, const std::string& window,
                    const std::optional<int>& segment) {
    const Scaled s = ScaledCodes("spectrum", source, range, polarity, ref, adcControl);
    spectrum::WelchOptions welch;
    const auto shape = spectrum::ParseWindow(window);
    if (!shape) throw py::value_error("window takes hann or blackman-harris, not '" + window + "'");
    welch.window = *shape;
    if (segment) {
        if (*segment < spectrum::MinSegment)
            throw py::value_error("segment takes a number of points from 16, not " +
                                  std::to_string(*segment));
        welch.segment = *segment;
    }
    if (rate && !(*rate >= 1e-3 && *rate <= 1e6))
        throw py::value_error("rate takes a number of hertz from 0.001 to 1000000");
    const std::optional<double> hz = rate ? rate : s.rateHz;
    if (!hz)
        throw py::value_error(
            "spectrum needs the update rate of codes that do not carry it: give rate=");
    if (s.span.size() < spectrum::MinCodes)
        throw py::value_error("spectrum needs at least 64 codes, " + Holds(s.span.size()));
    if (static_cast<size_t>(welch.segment) > s.span.size())
        throw py::value_error("segment " + std::to_string(welch.segment) +
                              " is longer than the run's " + std::to_string(s.span.size()) +
                              " codes");

    std::optional<spectrum::Spectrum> result;
    std::string why;
    {
        py::gil_scoped_release release;
        const Scaling scaling = Scaling::Of(s.adcControl, s.ref);
        result =
            spectrum::AnalyseSpectrum(CodesAsDoubles(s.span), scaling.lsbVolts, *hz, welch, why);
    }
    if (!result) throw py::value_error("no spectrum of the run: " + why);
    std::vector<double> hertz;
    std::vector<double> density;
    for (const auto& row : spectrum::DensityRows(result->density)) {
        hertz.push_back(row.hz);
        density.push_back(row.nvPerRtHz);
    }
    py::dict out = ToPython(figures::SpectrumFigures(*result));
    out["frequency_hz"] = OwnedArray(std::move(hertz));
    out["nsd_nv_per_rthz"] = OwnedArray(std::move(density));
    return out;
}

py::dict AllanPoints(std::span<const double> readings, double tau0) {
    if (readings.size() < 3)
        throw py::value_error("allan needs at least three readings, not " +
                              std::to_string(readings.size()));
    if (!(tau0 > 0) || !std::isfinite(tau0))
        throw py::value_error("tau0 takes a positive number of seconds");
    std::vector<allan::AllanPoint> points;
    {
        py::gil_scoped_release release;
        points = allan::OverlappingDeviation(readings, tau0);
    }
    std::vector<int64_t> factor;
    std::vector<double> tau;
    std::vector<double> deviation;
    for (const auto& p : points) {
        factor.push_back(p.factor);
        tau.push_back(p.tauSeconds);
        deviation.push_back(p.deviation);
    }
    py::dict out;
    out["factor"] = OwnedArray(std::move(factor));
    out["tau_s"] = OwnedArray(std::move(tau));
    out["deviation"] = OwnedArray(std::move(deviation));
    return out;
}

py::dict Allan(const py::handle& source, const std::optional<double>& tau0) {
    if (py::isinstance<py::str>(source) ||
        py::isinstance(source, py::module_::import("os").attr("PathLike"))) {
        // A drift log, as kx3105-cli drift reads it.
        const std::string path = py::str(py::module_::import("os").attr("fspath")(source));
        std::string text;
        std::string why;
        if (!files::ReadInputText(path, text, why)) RaiseBoardError(why);
        const auto series = allan::ParseDriftLog(text, why);
        if (!series) RaiseBoardError(path + " is not a drift log: " + why);
        return AllanPoints(series->volts, tau0.value_or(series->tau0));
    }
    if (const PyRun* run = AsRun(source)) {
        const auto step = tau0                ? tau0
                          : run->taken.rateHz ? std::optional<double>(1.0 / *run->taken.rateHz)
                                              : std::nullopt;
        if (!step) throw py::value_error("allan needs tau0= for a run that does not know its rate");
        const auto volts = py::cast(*run).attr("volts").cast<py::array_t<double>>();
        return AllanPoints({volts.data(), static_cast<size_t>(volts.size())}, *step);
    }
    if (!tau0) throw py::value_error("allan needs tau0=, the seconds between readings");
    const auto readings =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(source);
    if (!readings || readings.ndim() != 1)
        throw py::value_error("readings must be a one-dimensional array of numbers");
    return AllanPoints({readings.data(), static_cast<size_t>(readings.size())}, *tau0);
}

}  // namespace

void AddAnalysis(py::module_& m) {
    m.def("analyse", &Analyse, py::arg("run"), py::kw_only(), py::arg("range") = py::none(),
          py::arg("polarity") = py::none(), py::arg("ref") = py::none(),
          py::arg("adc_control") = py::none(),
          "The noise analysis of a Run or of any array of codes (at least 10): a dict with the\n"
          "keys and numbers of `kx3105-cli analyse --json`'s \"values\" (codes, mean_code,\n"
          "rms_codes, rms_codes_whole, peak_to_peak_codes, min_code, max_code, lsb_volts,\n"
          "rms_volts, peak_to_peak_volts, mean_volts, range_volts, bipolar, ref_volts,\n"
          "effective_resolution_bits, noise_free_bits). Range and polarity come from\n"
          "adc_control, else the run's own, else range (a range's name or its volts, as for\n"
          "Board.configure) and polarity (\"bipolar\", \"unipolar\"), which also override the\n"
          "others; ref (volts, rounded to two decimals) from the argument, else the run's, else\n"
          "the default reference.");
    m.def("spectrum", &Spectrum, py::arg("run"), py::kw_only(), py::arg("rate") = py::none(),
          py::arg("range") = py::none(), py::arg("polarity") = py::none(),
          py::arg("ref") = py::none(), py::arg("adc_control") = py::none(),
          py::arg("window") = "hann", py::arg("segment") = py::none(),
          "The noise spectral density of a Run or of any array of codes (at least 64) by\n"
          "Welch's method, as `kx3105-cli spectrum --json`: a dict with the arrays\n"
          "frequency_hz and nsd_nv_per_rthz (nV/rtHz, DC included) and the tool's figures\n"
          "(rate_hz, segment, window, white_nsd_nv_per_rthz, spurs, tone). The rate (hertz) is\n"
          "the argument's, else the run's; scaling as for analyse. window: hann or\n"
          "blackman-harris; segment: points per segment (default: the largest power of two not\n"
          "above a quarter of the run).");
    m.def("allan", &Allan, py::arg("readings"), py::arg("tau0") = py::none(),
          "The overlapping Allan deviation at averaging factors 1, 2, 4, ... up to a third of\n"
          "the readings: a dict of arrays factor, tau_s and deviation (in the readings' unit).\n"
          "readings: a Run (its volts, tau0 one update period), a drift log's path (as\n"
          "`kx3105-cli drift` reads it: volts, its median interval) or any array of numbers\n"
          "with tau0, the seconds between them.");
}

}  // namespace kx::python
