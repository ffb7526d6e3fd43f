#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <functional>
#include <memory>

#include "acquisition/board.h"

// Board work that Ctrl-C can stop: it runs on a thread of its own while the Python thread, without
// the GIL, waits for it and looks for signals.

namespace kx::python {

namespace py = pybind11;

// A Python error taken off the thread while the work it stopped is wound up (no Python call may
// run with an error pending), and raised again with the run read so far on it.
class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // `run`, unless None, becomes the error's attribute of that name.
    [[noreturn]] void Raise(py::object run = py::none());

private:
    PyObject* type_ = nullptr;
    PyObject* value_ = nullptr;
    PyObject* trace_ = nullptr;
};

// Runs `work` on a thread of its own, the calling thread waiting without the GIL and looking for
// signals every 20 ms. A signal's handler that raises (Ctrl-C: KeyboardInterrupt) sets `stop`,
// which the capture loop and every wait on the ready line look at, so the work ends within one
// poll; the error is then handed back, taken off the thread. The worker owns the board's link
// while it works; an exception of the work is thrown again here.
std::unique_ptr<Interruption> Watched(Board& board, std::atomic<bool>& stop,
                                      const std::function<void()>& work);

}  // namespace kx::python
