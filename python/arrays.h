#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

// numpy arrays in and out of the module: a result vector becomes an array that owns its buffer
// (no copy on the way out), and an argument of codes is seen as a span of int32 without a copy
// when it already is one.

namespace kx::python {

namespace py = pybind11;

// The vector moves into a capsule that the array keeps alive; the array reads its buffer in place.
template <typename T>
py::array_t<T, py::array::c_style> OwnedArray(std::vector<T>&& values) {
    auto owned = std::make_unique<std::vector<T>>(std::move(values));
    const std::vector<T>& held = *owned;
    py::capsule owner(owned.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    owned.release();
    return py::array_t<T, py::array::c_style>(static_cast<py::ssize_t>(held.size()), held.data(),
                                              owner);
}

// Codes from any one-dimensional array-like of whole numbers: an int32 array in C order as it is,
// any other integer array converted once its values are known to fit 32 bits. A float array is
// refused (a run of volts is no run of codes), as is anything of another shape: ValueError.
py::array_t<int32_t, py::array::c_style> CodesArray(const py::handle& codes);

inline std::span<const int32_t> SpanOf(const py::array_t<int32_t, py::array::c_style>& codes) {
    return {codes.data(), static_cast<size_t>(codes.size())};
}

}  // namespace kx::python
