#pragma once

#include <pybind11/pybind11.h>

#include <optional>

#include "acquisition/settings.h"

// Python's values for the converter's settings read by the settings' rule book: text as the tool
// takes it, or numbers (a range in volts, a channel by its code, a filter word, a rate in hertz),
// True/False for the switches. A refusal is a ValueError in the rule book's words.

namespace kx::python {

namespace py = pybind11;

[[noreturn]] void RaiseRefusal(const SettingRefusal& refusal);

struct SettingArgs {
    py::object channel = py::none();
    py::object range = py::none();
    py::object polarity = py::none();
    py::object rate = py::none();
    py::object filter = py::none();
    py::object chop = py::none();
    py::object buffer = py::none();
};

// The settings the arguments give; ValueError or TypeError for a value the rule book refuses.
ConverterSettings SettingsOf(const SettingArgs& args);

// The reference in volts as the tool reads --ref (two decimals, single precision, positive).
float ReferenceOf(const py::handle& ref);

}  // namespace kx::python
