#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "acquisition/run.h"

// kx3105.Run: a run as the module hands it out. The codes live in a numpy array that owns them;
// the rest is what kx::Run knows of how the run was taken, and the time of each code when it was
// captured.

namespace kx::python {

namespace py = pybind11;

struct PyRun {
    py::array_t<int32_t, py::array::c_style> codes;
    py::object times = py::none();  // float64 seconds from the first code, or None
    Run taken;                      // everything but the codes

    // The codes move into the array, the times into one of their own.
    static PyRun From(Run&& run, std::vector<double>&& times = {});
    std::span<const int32_t> span() const;
    // A kx::Run with a copy of the codes, for the files.
    Run Whole() const;
};

// The run of a Run, or nullptr for anything else.
const PyRun* AsRun(const py::handle& object);

}  // namespace kx::python
