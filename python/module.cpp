#include <pybind11/pybind11.h>

#include "python/arrays.h"

// kx3105: the board, its runs as numpy arrays and the analysis, for notebooks and test scripts.

PYBIND11_MODULE(kx3105, m) {
    namespace py = pybind11;
    m.doc() =
        "The KX3105 evaluation board from Python: open the board, program it, capture runs of\n"
        "codes straight into numpy arrays, and analyse them as kx3105-cli does.";
    py::register_exception<std::runtime_error>(m, "BoardError");
}
