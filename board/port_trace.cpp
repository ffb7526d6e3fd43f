#include "board/port_trace.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

#ifdef __unix__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kx {

namespace {

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

PortTrace::~PortTrace() {
    Close();
}

// The trace is a help, not the program's work: a trace that cannot be written is said once and
// dropped, and the work goes on.
void PortTrace::Failed(int error, bool closed) {
    const std::string reason = std::strerror(error ? error : EIO);
    if (!closed) std::fclose(file_);
    file_ = nullptr;
    (diagnostics_ ? *diagnostics_ : std::cerr)
        << "kx3105: cannot write the trace " << path_ << ": " << reason << "; tracing stopped\n";
    warning_ = "The port trace could not be written to " + path_ + ": " + reason +
               ".\rTracing has stopped.";
}

void PortTrace::Line(char kind, int32_t address, int value) {
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
    if (std::fwrite(line, 1, n, file_) != static_cast<size_t>(n)) Failed(errno, false);
}

TraceStart PortTrace::Open(const std::string& path, std::string& error) {
    Close();
    warning_.clear();
    TraceStart outcome = TraceStart::Started;
    file_ = OpenTarget(path, outcome, error);
    if (!file_) return outcome;
    path_ = path;
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return TraceStart::Started;
}

void PortTrace::Read(int32_t address, int value) {
    if (file_) Line('R', address, value);
}

void PortTrace::Write(int32_t address, int value) {
    if (file_) Line('W', address, value);
}

void PortTrace::Flush() {
    errno = 0;
    if (file_ && std::fflush(file_) != 0) Failed(errno, false);
}

void PortTrace::Close() {
    if (!file_) return;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    if (!closed) Failed(errno, true);
    file_ = nullptr;
}

std::string PortTrace::TakeWarning() {
    return std::exchange(warning_, {});
}

}  // namespace kx
