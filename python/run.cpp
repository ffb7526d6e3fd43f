#include "python/run.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "acquisition/settings.h"
#include "board/serial.h"
#include "core/safe_file.h"
#include "files/run_file.h"
#include "python/arrays.h"
#include "python/module.h"

namespace kx::python {

PyRun PyRun::From(Run&& run, std::vector<double>&& times) {
    PyRun r;
    const bool timed = !times.empty() && times.size() == run.codes.size();
    r.codes = OwnedArray(std::move(run.codes));
    if (timed) r.times = OwnedArray(std::move(times));
    r.taken = std::move(run);
    r.taken.codes = {};
    return r;
}

std::span<const int32_t> PyRun::span() const {
    return SpanOf(codes);
}

Run PyRun::Whole() const {
    Run run = taken;
    const auto codes = span();
    run.codes.assign(codes.begin(), codes.end());
    return run;
}

const PyRun* AsRun(const py::handle& object) {
    return py::isinstance<PyRun>(object) ? &object.cast<const PyRun&>() : nullptr;
}

namespace {

// What the run knows of how it was taken, under the names of a capture's JSON.
py::object SettingsOf(const Run& run) {
    nlohmann::json s = files::CaptureSettings(run);
    if (!run.adcControl)
        for (const char* key : {"range", "polarity", "channel"})
            s.erase(key);
    if (!run.filter) s.erase("filter");
    if (!run.mode) s.erase("chop");
    if (run.rateHz)
        s["rate_hz"] = *run.rateHz;
    else
        s.erase("rate_hz");
    if (!run.taken) s.erase("started");
    return ToPython(s);
}

std::optional<int32_t> Register8(const std::optional<int>& value, const char* name) {
    if (value && (*value < 0 || *value > 0xFF))
        throw py::value_error(std::string(name) + " takes a byte, 0 to 255, not " +
                              std::to_string(*value));
    return value;
}

PyRun MakeRun(const py::handle& codes, std::optional<int> adcControl, std::optional<int> mode,
              std::optional<int> filter, double ref, std::optional<double> rateHz,
              const py::object& times) {
    PyRun r;
    r.codes = CodesArray(codes);
    r.taken.adcControl = Register8(adcControl, "adc_control");
    r.taken.mode = Register8(mode, "mode");
    r.taken.filter = Register8(filter, "filter");
    if (!(ref > 0) || !std::isfinite(ref) || ref > std::numeric_limits<float>::max())
        throw py::value_error("ref takes a positive number of volts, not " + std::to_string(ref));
    r.taken.referenceVolts = static_cast<float>(ref);
    if (rateHz && (!(*rateHz > 0) || !std::isfinite(*rateHz)))
        throw py::value_error("rate_hz takes a positive number of hertz");
    r.taken.rateHz = rateHz;
    if (!times.is_none()) {
        auto seconds =
            py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(times);
        if (!seconds || seconds.ndim() != 1 || seconds.size() != r.codes.size())
            throw py::value_error("times must be one number of seconds for each code");
        r.times = seconds;
    }
    return r;
}

py::array_t<double, py::array::c_style> Volts(const PyRun& run) {
    const auto scaling = ScalingOf(run.taken);
    if (!scaling)
        throw py::value_error(
            "the run does not know its range and polarity (a data file's): give adc_control to "
            "kx3105.Run, or range and polarity to kx3105.analyse");
    const auto codes = run.span();
    std::vector<double> volts(codes.size());
    std::transform(codes.begin(), codes.end(), volts.begin(), [&](int32_t code) {
        return code == TimeoutMarker ? std::nan("") : scaling->CodeToVolts(code);
    });
    return OwnedArray(std::move(volts));
}

void Save(const PyRun& run, const std::filesystem::path& file, const std::string& format,
          bool hex) {
    const std::string path = file.string();
    files::RunFormat as;
    if (format == "dat")
        as = files::RunFormat::Dat;
    else if (format == "csv")
        as = files::RunFormat::Csv;
    else if (format == "json")
        as = files::RunFormat::Json;
    else
        throw py::value_error("format takes dat, csv or json, not '" + format + "'");
    if (hex && as != files::RunFormat::Dat) throw py::value_error("hex is for the dat format only");
    if (as != files::RunFormat::Dat && !run.taken.adcControl)
        throw py::value_error(
            "a run that does not know its range and polarity (a data file's) is saved as dat");
    const Run whole = run.Whole();
    std::vector<double> seconds;
    if (as == files::RunFormat::Csv && !run.times.is_none()) {
        const auto times = run.times.cast<py::array_t<double, py::array::c_style>>();
        seconds.assign(times.data(), times.data() + times.size());
    }
    std::string failure;
    {
        py::gil_scoped_release release;
        const std::string text = files::RunText(as, hex, whole, seconds);
        // As kx3105-cli capture saves: nothing under the name until the whole file is written.
        files::AtomicFile file;
        if (!file.Open(path))
            failure = "Error Creating File: cannot create " + path + ": " + file.error();
        else if (!file.Write(text) || !file.Commit())
            failure = "Error Creating File: cannot write " + path + ": " + file.error();
    }
    if (!failure.empty()) RaiseBoardError(failure);
}

PyRun Load(const std::filesystem::path& file, bool hex) {
    const std::string path = file.string();
    Run run;
    std::string why;
    bool loaded = false;
    {
        py::gil_scoped_release release;
        loaded = files::LoadRun(path, hex, run, why);
    }
    if (!loaded) RaiseBoardError(why);
    return PyRun::From(std::move(run));
}

std::string Describe(const PyRun& run) {
    std::string text = "<kx3105.Run of " + std::to_string(run.codes.size()) + " codes";
    if (const auto scaling = ScalingOf(run.taken))
        text +=
            ", " + RangeName(scaling->rangeCode) + (scaling->unipolar ? " unipolar" : " bipolar");
    if (run.taken.rateHz) {
        char rate[32];
        std::snprintf(rate, sizeof rate, ", %.2f Hz", *run.taken.rateHz);
        text += rate;
    }
    return text + ">";
}

}  // namespace

void AddRun(py::module_& m) {
    py::class_<PyRun>(m, "Run",
                      "A run of conversion codes and what is known of how it was taken: a\n"
                      "capture's registers, reference, update rate and start, or a file's.")
        .def(py::init(&MakeRun), py::arg("codes"), py::kw_only(),
             py::arg("adc_control") = py::none(), py::arg("mode") = py::none(),
             py::arg("filter") = py::none(), py::arg("ref") = DefaultReferenceVolts,
             py::arg("rate_hz") = py::none(), py::arg("times") = py::none(),
             "A run of your own codes (whole numbers; an int32 array is used as it is). The\n"
             "registers (bytes) scale and describe it as a capture's would: adc_control gives\n"
             "the range, polarity and channel, mode the chopping, filter the filter word.")
        .def_readonly("codes", &PyRun::codes,
                      "The codes in the order read: a numpy int32 array that owns them.")
        .def_readonly("times", &PyRun::times,
                      "Seconds of each code from the first (float64; on the converter's clock for\n"
                      "the simulated board), for a captured run; else None.")
        .def_property_readonly("volts", &Volts,
                               "The codes in volts (float64) at the run's range, polarity and\n"
                               "reference; NaN for a time-out marker. ValueError for a run that\n"
                               "does not know its range and polarity.")
        .def_property_readonly(
            "rate_hz", [](const PyRun& r) { return r.taken.rateHz; },
            "The update rate the run was taken at, in hertz, when known; else None.")
        .def_property_readonly(
            "ref", [](const PyRun& r) { return static_cast<double>(r.taken.referenceVolts); },
            "The reference voltage, in volts.")
        .def_property_readonly(
            "adc_control", [](const PyRun& r) { return r.taken.adcControl; },
            "The ADC control register the codes were taken with, when known; else None.")
        .def_property_readonly(
            "mode", [](const PyRun& r) { return r.taken.mode; },
            "The mode register the codes were taken with, when known; else None.")
        .def_property_readonly(
            "filter", [](const PyRun& r) { return r.taken.filter; },
            "The filter word the codes were taken with, when known; else None.")
        .def_property_readonly(
            "settings", [](const PyRun& r) { return SettingsOf(r.taken); },
            "How the run was taken, named as in a capture's JSON: range,\n"
            "polarity, channel, ref, rate_hz, filter, chop and started, as far\n"
            "as the run knows them.")
        .def_property_readonly(
            "timeouts",
            [](const PyRun& r) {
                const auto codes = r.span();
                return std::count(codes.begin(), codes.end(), TimeoutMarker);
            },
            "How many codes are the time-out marker of a failed read (-2147483648).")
        .def("__len__", [](const PyRun& r) { return r.codes.size(); })
        .def("__repr__", &Describe)
        .def("save", &Save, py::arg("path"), py::arg("format") = "dat", py::kw_only(),
             py::arg("hex") = false,
             "Writes the run as the program's data file (dat: one code per line, CR LF; hex=True\n"
             "for hexadecimal) or as kx3105-cli's CSV or JSON capture, which carry the settings.\n"
             "Nothing is left under the name unless the whole file was written: BoardError.");
    m.def("load", &Load, py::arg("path"), py::kw_only(), py::arg("hex") = false,
          "Loads a run from the program's data file (hex=True: hexadecimal codes) or a CSV or\n"
          "JSON capture, told apart by their content, as kx3105-cli does; BoardError with the\n"
          "tool's message when the file cannot be read.");
}

}  // namespace kx::python
