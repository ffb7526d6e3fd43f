#include "cli/stop_signals.h"

#include <csignal>

#include "cli/tool.h"

namespace kx::cli {

namespace {

// What a signal handler may touch: a lock-free atomic and a sig_atomic_t.
std::atomic<bool> stop{false};
volatile std::sig_atomic_t stopSignal = 0;

void Stop(int signal) {
    stopSignal = signal;
    stop = true;
}

}  // namespace

StopSignals::StopSignals() {
    stop = false;
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = Stop;
    action.sa_flags = SA_RESETHAND;  // a second signal ends the tool at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void StopSignals::Release() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

const std::atomic<bool>& StopSignals::flag() const {
    return stop;
}

int StopSignals::exitStatus() const {
    return stopSignal == SIGTERM ? ExitSigterm : ExitSigint;
}

}  // namespace kx::cli
