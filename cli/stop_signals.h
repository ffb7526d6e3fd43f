#pragma once

#include <atomic>

// SIGINT and SIGTERM as a stop request for the long commands (capture, sweep, log): while a
// StopSignals lives (until Release), either signal sets its flag, and a second one ends the tool
// at once; then both signals are handled by default again. One at a time. Plain C++ (POSIX).

namespace kx::cli {

class StopSignals {
public:
    StopSignals();
    ~StopSignals() { Release(); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Set by the first signal; ReadCodes and the commands' waits look at it.
    const std::atomic<bool>& flag() const;
    bool stopped() const { return flag().load(); }
    // The exit status of a command a signal stopped: 130 for SIGINT, 143 for SIGTERM.
    int exitStatus() const;
    // Both signals are handled by default again from here on (what the command writes after its
    // reading is no longer a stop); the flag keeps its state.
    void Release();
};

}  // namespace kx::cli
