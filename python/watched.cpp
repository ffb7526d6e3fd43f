#include "python/watched.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <mutex>
#include <thread>

namespace kx::python {

Interruption::Interruption() {
    PyErr_Fetch(&type_, &value_, &trace_);
    PyErr_NormalizeException(&type_, &value_, &trace_);
}

Interruption::~Interruption() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(trace_);
}

void Interruption::Raise(py::object run) {
    if (value_ && !run.is_none()) PyObject_SetAttrString(value_, "run", run.ptr());
    PyErr_Restore(type_, value_, trace_);
    type_ = value_ = trace_ = nullptr;
    throw py::error_already_set();
}

std::unique_ptr<Interruption> Watched(Board& board, std::atomic<bool>& stop,
                                      const std::function<void()>& work) {
    BoardLink& link = board.link();
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr failure;
    std::thread worker;
    {
        py::gil_scoped_release release;
        worker = std::thread([&] {
            // Signals are the Python thread's to handle.
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            link.HandTo(std::this_thread::get_id());
            link.SetStopFlag(&stop);
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            link.SetStopFlag(nullptr);
            board.FlushTrace();
            link.HandTo(std::thread::id{});
            {
                std::lock_guard lock(mutex);
                done = true;
            }
            ended.notify_all();
        });
    }
    std::unique_ptr<Interruption> interruption;
    for (;;) {
        {
            py::gil_scoped_release release;
            std::unique_lock lock(mutex);
            if (ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) break;
        }
        if (PyErr_CheckSignals() != 0) {
            interruption = std::make_unique<Interruption>();
            stop = true;
            break;
        }
    }
    {
        py::gil_scoped_release release;
        worker.join();
    }
    if (failure && !interruption) std::rethrow_exception(failure);
    return interruption;
}

}  // namespace kx::python
