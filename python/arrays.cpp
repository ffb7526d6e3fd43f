#include "python/arrays.h"

#include <limits>
#include <string>

namespace kx::python {

py::array_t<int32_t, py::array::c_style> CodesArray(const py::handle& codes) {
    using Int32Array = py::array_t<int32_t, py::array::c_style>;
    if (Int32Array::check_(codes)) {
        auto array = py::reinterpret_borrow<Int32Array>(codes);
        if (array.ndim() != 1)
            throw py::value_error("codes must be one-dimensional, not of " +
                                  std::to_string(array.ndim()) + " dimensions");
        return array;
    }
    py::array array = py::module_::import("numpy").attr("asarray")(codes);
    if (array.ndim() != 1)
        throw py::value_error("codes must be one-dimensional, not of " +
                              std::to_string(array.ndim()) + " dimensions");
    if (array.size() == 0) return Int32Array(0);
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u')
        throw py::value_error("codes must be whole numbers, not an array of " +
                              std::string(py::str(array.dtype())));
    // Exact in double: the bounds are 32-bit numbers.
    const auto low = array.attr("min")().cast<double>();
    const auto high = array.attr("max")().cast<double>();
    if (low < std::numeric_limits<int32_t>::min() || high > std::numeric_limits<int32_t>::max())
        throw py::value_error("codes must fit 32 bits (a converter code or the time-out marker)");
    // Every value fits: the cast loses nothing.
    const auto cast =
        py::array_t<int32_t, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!cast) throw py::error_already_set();
    return py::reinterpret_borrow<Int32Array>(cast);
}

}  // namespace kx::python
