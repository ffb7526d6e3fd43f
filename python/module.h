#pragma once

#include <pybind11/pybind11.h>

#include <nlohmann/json_fwd.hpp>
#include <string>

// What the parts of the module share: its exception, named values turned into Python objects,
// and the functions that add each part to the module.

namespace kx::python {

namespace py = pybind11;

// kx3105.BoardError: the board or a file failed, with the tool's message. `run` (None unless
// given) keeps the codes a failed capture had read.
[[noreturn]] void RaiseBoardError(const std::string& message, py::object run = py::none());

// A message of the tool's in this module's terms: each option it names becomes the keyword
// ("--sim-seed takes ..." is "sim_seed takes ...", "use --simulate" is "use simulate=True").
std::string InPythonTerms(const std::string& message);

// A JSON value as Python: dict, list, str, int, float, bool or None.
py::object ToPython(const nlohmann::json& value);

void AddRun(py::module_& m);
void AddAnalysis(py::module_& m);
void AddBoard(py::module_& m);

}  // namespace kx::python
