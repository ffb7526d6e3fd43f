#include "board/port_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#ifdef __unix__
#include <fcntl.h>
#include <unistd.h>
#endif

#include "board/port.h"
#include "core/messages.h"

namespace kx {

bool portTraceActive = false;

namespace {

std::FILE* traceFile = nullptr;
std::string tracePath;
std::string pendingWarning;
std::ostream* diagnostics = nullptr;
bool hooksInstalled = false;

// The trace is a help, not the program's work: a trace that cannot be written is said once and
// dropped, and the program goes on.
void TraceFailed(int error, bool closed) {
    const std::string reason = std::strerror(error ? error : EIO);
    portTraceActive = false;
    if (!closed) std::fclose(traceFile);
    traceFile = nullptr;
    (diagnostics ? *diagnostics : std::cerr) << "kx3105: cannot write the trace " << tracePath
                                             << ": " << reason << "; tracing stopped\n";
    pendingWarning = "The port trace could not be written to " + tracePath + ": " + reason +
                     ".\rTracing has stopped.";
}

void WriteLine(char kind, int32_t address, int value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char line[24];
    int n = 0;
    line[n++] = kind;
    line[n++] = ' ';
    char a[8];
    int an = 0;
    auto ua = static_cast<uint32_t>(address);
    do {
        a[an++] = digits[ua & 0xF];
        ua >>= 4;
    } while (ua != 0);
    while (an > 0)
        line[n++] = a[--an];
    line[n++] = ' ';
    line[n++] = digits[(value >> 4) & 0xF];
    line[n++] = digits[value & 0xF];
    line[n++] = '\n';
    errno = 0;
    if (std::fwrite(line, 1, n, traceFile) != static_cast<size_t>(n)) TraceFailed(errno, false);
}

std::FILE* OpenTarget(const std::string& path, TraceStart& outcome, std::string& error) {
#ifdef __unix__
    // Opened without waiting, so a FIFO nobody reads is refused rather than hanging start-up;
    // then made blocking again, so a slow reader is waited for, not dropped.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int e = errno;
        outcome = e == ENXIO ? TraceStart::WouldBlock : TraceStart::Failed;
        error = e == ENXIO ? "nothing reads it, so writing would wait for ever" : std::strerror(e);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) ::close(fd);
#else
    std::FILE* file = std::fopen(path.c_str(), "w");
#endif
    if (!file) {
        outcome = TraceStart::Failed;
        error = std::strerror(errno);
    }
    return file;
}

}  // namespace

TraceStart OpenPortTrace(const std::string& path, std::string& error) {
    StopPortTrace();
    pendingWarning.clear();
    TraceStart outcome = TraceStart::Started;
    traceFile = OpenTarget(path, outcome, error);
    if (!traceFile) return outcome;
    tracePath = path;
    std::setvbuf(traceFile, nullptr, _IOFBF, 1 << 16);
    portTraceActive = true;
    if (!hooksInstalled) {
        hooksInstalled = true;
        AddUserWaitHook(FlushPortTrace);
        std::atexit(StopPortTrace);
    }
    return TraceStart::Started;
}

bool StartPortTrace(const std::string& path, std::string& error) {
    return OpenPortTrace(path, error) == TraceStart::Started;
}

void FlushPortTrace() {
    // The trace belongs to the port: a worker that holds it writes it, and flushes it when done.
    if (!PortOwnedHere()) return;
    errno = 0;
    if (traceFile && std::fflush(traceFile) != 0) TraceFailed(errno, false);
}

void StopPortTrace() {
    portTraceActive = false;
    if (traceFile) {
        errno = 0;
        const bool closed = std::fclose(traceFile) == 0;
        if (!closed) TraceFailed(errno, true);
        traceFile = nullptr;
    }
}

void SetPortTraceDiagnostics(std::ostream* stream) {
    diagnostics = stream;
}

std::string TakePortTraceWarning() {
    if (!PortOwnedHere()) return {};
    return std::exchange(pendingWarning, {});
}

void TraceRead(int32_t address, int value) {
    if (traceFile) WriteLine('R', address, value);
}

void TraceWrite(int32_t address, int value) {
    if (traceFile) WriteLine('W', address, value);
}

}  // namespace kx
